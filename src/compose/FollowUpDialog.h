#pragma once
// Dialog 118: the groups to post the follow-up to and how to quote. And the
// follow-up preparation of a fresh post window, which asks it.

#include "news/DocumentHost.h"
#include "news/FollowUp.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;

namespace platform { class Registry; }
namespace dialogs { class Dialogs; }

namespace compose {

class CNewsPostWnd;

class FollowUpDialog : public QDialog {
    Q_OBJECT
public:
    FollowUpDialog(const news::FollowUpChoice& choice, dialogs::Dialogs& dialogs, QWidget* parent = nullptr);
    // What the user chose: the groups as offered, with their selection.
    news::FollowUpChoice Choice() const;

private:
    news::FollowUpChoice offered_;
    QListWidget* groups_ = nullptr;
    QLineEdit* quote_ = nullptr;
    QComboBox* language_ = nullptr;
    QCheckBox* nameQuote_ = nullptr;
    QCheckBox* includeBody_ = nullptr;
};

// Asks dialog 118 over window and fills it from the followed article; false
// when the user cancelled.
bool BuildFollowUp(CNewsPostWnd& window, const news::FollowUpSource& source, platform::Registry& registry,
                   dialogs::Dialogs& dialogs);

} // namespace compose
