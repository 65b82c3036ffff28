#include "dialogs/LoginDialog.h"

#include "widgets/DialogButton.h"
#include "widgets/SjisText.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
// A server's reply is one line, but a hostile one may be long.
constexpr int kReplyShown = 300;

class NoLineBreaks : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        for (const QChar c : input)
            if (c == u'\r' || c == u'\n' || c == u'\0')
                return Invalid;
        return Acceptable;
    }
};

// Text from the server shown as it is, never as markup.
QLabel* PlainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

void RefuseLineBreaks(QLineEdit* field) { field->setValidator(new NoLineBreaks(field)); }

LoginDialog::LoginDialog(const LoginForm& form, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg150"));
    setWindowTitle(QStringLiteral("ニュースサーバへのログイン"));
    setFont(JapaneseFont());
    user_ = new QLineEdit(form.user, this);
    user_->setObjectName(QStringLiteral("ctl1071"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("ctl1072"));
    password_->setEchoMode(QLineEdit::Password);
    RefuseLineBreaks(user_);
    RefuseLineBreaks(password_);
    remember_ = new QCheckBox(QStringLiteral("パスワードを保存する(&S)"), this);
    remember_->setObjectName(QStringLiteral("ctl1073"));
    remember_->setChecked(form.remember);

    auto* server = PlainLabel(form.server, this);
    server->setObjectName(QStringLiteral("ctl1075"));
    QString reply = form.reply.trimmed();
    if (reply.size() > kReplyShown)
        reply = reply.left(kReplyShown) + QStringLiteral("…");
    auto* replyLabel = PlainLabel(reply, this);
    replyLabel->setObjectName(QStringLiteral("ctl1076"));
    replyLabel->setVisible(!reply.isEmpty());

    auto* ok = DialogButton(this, QStringLiteral("OK"), kOk);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    auto* cancel = DialogButton(this, QStringLiteral("キャンセル"), kCancel);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // AUTHINFO USER needs a name.
    ok->setEnabled(!form.user.isEmpty());
    connect(user_, &QLineEdit::textChanged, ok, [ok](const QString& text) { ok->setEnabled(!text.isEmpty()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("サーバ:"), server);
    fields->addRow(QStringLiteral("サーバの応答:"), replyLabel);
    if (reply.isEmpty())
        fields->setRowVisible(replyLabel, false);
    fields->addRow(QStringLiteral("ユーザ名(&U):"), user_);
    fields->addRow(QStringLiteral("パスワード(&P):"), password_);
    fields->addRow(remember_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("このサーバを使うにはログインが必要です。"), this));
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    (form.user.isEmpty() ? user_ : password_)->setFocus();
}

void LoginDialog::Take(LoginForm& form) const
{
    form.user = user_->text();
    form.password = password_->text();
    form.remember = remember_->isChecked();
}

bool LoginDialog::Ask(QWidget* parent, LoginForm& form)
{
    LoginDialog dialog(form, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.Take(form);
    return true;
}

} // namespace dialogs
