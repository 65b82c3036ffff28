#pragma once
// "ニュースサーバへのログイン": the user name and password a server asks for.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

namespace dialogs {

// What the window shows and returns.
struct LoginForm {
    QString server;   // "host:port"
    QString reply;    // the server's words that asked or refused
    QString user;
    QString password;
    bool remember = false;
};

// These values go into AUTHINFO command lines: a field refuses any text with
// CR, LF or NUL, typed or pasted.
void RefuseLineBreaks(QLineEdit* field);

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(const LoginForm& form, QWidget* parent = nullptr);
    QLineEdit* UserField() const { return user_; }
    QLineEdit* PasswordField() const { return password_; }
    QCheckBox* RememberBox() const { return remember_; }
    void Take(LoginForm& form) const;

    // Runs the window: true after OK with form filled, false on キャンセル.
    static bool Ask(QWidget* parent, LoginForm& form);

private:
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* remember_;
};

} // namespace dialogs
