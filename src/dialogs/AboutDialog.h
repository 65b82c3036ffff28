#pragma once
// The version window (dialog 100).

#include <QDialog>

namespace dialogs {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace dialogs
