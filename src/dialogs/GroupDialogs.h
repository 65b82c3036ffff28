#pragma once
// The group pane's dialogs: subscribing or unsubscribing a node that has
// subgroups (105 and 112), and the group search (139).

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace dialogs {

class GroupSubscribeDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kAllFollowing = 1058;

    // unsubscribe selects dialog 105, else 112. path is shown as it is.
    GroupSubscribeDialog(bool unsubscribe, const QString& path, QWidget* parent = nullptr);
    // 0: only the selected group, 1: with all subgroups.
    int Choice() const;
    void SetChoice(int choice);

private:
    QRadioButton* only_;
    QRadioButton* subtree_;
};

class GroupFindDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kUp = 1055;
    static constexpr int kDown = 1056;

    explicit GroupFindDialog(const QString& text, QWidget* parent = nullptr);
    QString Text() const;

private:
    void Search(int button);
    QLineEdit* edit_;
};

} // namespace dialogs
