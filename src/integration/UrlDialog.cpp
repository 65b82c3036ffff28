#include "integration/UrlDialog.h"

#include "integration/BrowserHandoff.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace integration {

CUrlDialog::CUrlDialog(const QString& initial, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg113"));
    setWindowTitle(QStringLiteral("URLの設定"));
    setFont(QFont(QStringLiteral("IPAGothic"), 9));

    auto* label = new QLabel(QStringLiteral("URL(&U):"), this);
    edit_ = new QLineEdit(initial, this);
    edit_->setObjectName(QStringLiteral("ctl1038"));
    edit_->setMinimumWidth(320);
    label->setBuddy(edit_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edit_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
}

void CUrlDialog::accept()
{
    url_ = CompleteUrl(edit_->text());
    QDialog::accept();
}

QString CompleteUrl(const QString& typed)
{
    if (typed.startsWith(QLatin1String("www.")))
        return QStringLiteral("http://") + typed;
    if (typed.startsWith(QLatin1String("ftp.")))
        return QStringLiteral("ftp://") + typed;
    return typed;
}

std::optional<QString> AskUrl(QWidget* parent, const QString& initial)
{
    CUrlDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Url();
}

std::optional<QString> UrlToOpen(QWidget* parent, const QString& selection, const UrlAsker& ask)
{
    if (!selection.isEmpty() && selection.contains(QLatin1String("://")))
        return selection;
    return ask(parent, selection);
}

bool JumpToUrl(QWidget* mainWindow, const QString& selection, const UrlAsker& ask, platform::Registry& registry,
               const BrowserMessageHandler& report)
{
    const std::optional<QString> url = UrlToOpen(mainWindow, selection, ask);
    return url && OpenUrl(mainWindow, *url, registry, report);
}

} // namespace integration
