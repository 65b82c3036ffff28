#pragma once
// What an NZB download left: one line per file (name, bytes, missing and
// damaged segments, what went wrong) under a headline for all of them.

#include "news/Nzb.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

namespace dialogs {

class NzbSummaryDialog : public QDialog {
    Q_OBJECT
public:
    NzbSummaryDialog(const news::NzbSummary& summary, const QString& folder, QWidget* parent = nullptr);
    QLabel* Headline() const { return headline_; }
    QTreeWidget* Files() const { return files_; }

    // "All saved", or how many of them lack segments; then a cancel or a
    // broken connection.
    static QString HeadlineText(const news::NzbSummary& summary);

private:
    QLabel* headline_;
    QTreeWidget* files_;
};

} // namespace dialogs
