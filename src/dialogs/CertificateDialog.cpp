#include "dialogs/CertificateDialog.h"

#include "widgets/DialogButton.h"
#include "widgets/SjisText.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {

constexpr int kTrust = 1;
constexpr int kCancel = 2;

// Certificate fields come from the server: shown as text, never as markup.
QLabel* Field(const QString& text, const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

// The TLS library's texts are UTF-8; a host name typed by the user is Shift_JIS.
QString Text(const std::string& s)
{
    const QString utf8 = QString::fromUtf8(s.data(), qsizetype(s.size()));
    return utf8.contains(QChar::ReplacementCharacter) ? FromSjis(s) : utf8;
}

} // namespace

QString CertificateDialog::Reason(const net::CertificateInfo& info)
{
    using P = net::CertificateProblem;
    switch (info.problem) {
    case P::Expired:
        return QStringLiteral("証明書の有効期限が切れています。");
    case P::NotYetValid:
        return QStringLiteral("証明書の有効期間がまだ始まっていません。");
    case P::WrongHost:
        return QStringLiteral("証明書のホスト名が接続先(%1)と一致しません。").arg(Text(info.host));
    case P::UnknownIssuer:
        return QStringLiteral("証明書の発行者が不明です。信頼できる認証局の署名がありません。");
    case P::SelfSigned:
        return QStringLiteral("自己署名の証明書です。発行者が証明書自身になっています。");
    case P::None:
    case P::Other:
        break;
    }
    const QString detail = Text(info.detail).trimmed();
    return detail.isEmpty() ? QStringLiteral("証明書を確認できませんでした。")
                            : QStringLiteral("証明書を確認できませんでした(%1)。").arg(detail);
}

CertificateDialog::CertificateDialog(const net::CertificateInfo& info, QWidget* parent, Mode mode) : QDialog(parent)
{
    const bool show = mode == Mode::Show;
    setObjectName(QStringLiteral("dlg151"));
    setWindowTitle(QStringLiteral("サーバ証明書の確認"));
    setFont(JapaneseFont());

    auto* icon = new QLabel(this);
    icon->setPixmap(style()
                        ->standardIcon(show ? QStyle::SP_MessageBoxInformation : QStyle::SP_MessageBoxWarning)
                        .pixmap(32, 32));
    auto* head = Field((show ? QStringLiteral("ニュースサーバ %1:%2 とは暗号化して接続しています。")
                             : QStringLiteral("ニュースサーバ %1:%2 の証明書を確認できないため、接続を中止しました。"))
                           .arg(Text(info.host))
                           .arg(info.port),
                       "head", this);
    // A certificate in use passed, or was trusted by the user before.
    auto* reason = Field(show ? (info.problem == net::CertificateProblem::None
                                     ? QStringLiteral("証明書は確認できました。")
                                     : QStringLiteral("この証明書は以前に信頼したものです。") + Reason(info))
                              : Reason(info),
                         "reason", this);
    QFont bold = reason->font();
    bold.setBold(true);
    reason->setFont(bold);

    auto* fingerprint = Field(Text(info.sha256), "sha256", this);
    fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Compared by eye with the one the server's operator gives: one unbroken line.
    fingerprint->setWordWrap(false);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("発行先:"), Field(Text(info.subject), "subject", this));
    fields->addRow(QStringLiteral("発行者:"), Field(Text(info.issuer), "issuer", this));
    fields->addRow(QStringLiteral("有効期間:"),
                   Field(QStringLiteral("%1 から %2 まで").arg(Text(info.notBefore), Text(info.notAfter)), "validity",
                         this));
    fields->addRow(QStringLiteral("SHA-256 指紋:"), fingerprint);

    auto* note = Field(QStringLiteral("この証明書が確かにこのサーバのものだとわかる場合だけ信頼してください。"),
                       "note", this);
    auto* trust = DialogButton(this, QStringLiteral("この証明書をこのサーバで信頼する(&T)"), kTrust);
    auto* cancel = DialogButton(this, show ? QStringLiteral("閉じる") : QStringLiteral("キャンセル"), kCancel);
    note->setVisible(!show);
    trust->setVisible(!show);
    cancel->setDefault(true);
    cancel->setAutoDefault(true);
    connect(trust, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(head);
    texts->addWidget(reason);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(trust);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(fields);
    layout->addWidget(note);
    layout->addLayout(buttons);
    setMinimumWidth(560);
    cancel->setFocus();
}

bool CertificateDialog::Ask(QWidget* parent, const net::CertificateInfo& info)
{
    CertificateDialog dialog(info, parent);
    return dialog.exec() == QDialog::Accepted;
}

void CertificateDialog::Show(QWidget* parent, const net::CertificateInfo& info)
{
    CertificateDialog dialog(info, parent, Mode::Show);
    dialog.setWindowTitle(QStringLiteral("サーバ証明書"));
    dialog.exec();
}

} // namespace dialogs
