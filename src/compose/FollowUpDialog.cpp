#include "compose/FollowUpDialog.h"

#include "compose/CNewsPostWnd.h"
#include "widgets/DialogButton.h"
#include "dialogs/Dialogs.h"
#include "widgets/SjisText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace compose {

FollowUpDialog::FollowUpDialog(const news::FollowUpChoice& choice, dialogs::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), offered_(choice)
{
    setObjectName(QStringLiteral("dlg118"));
    setWindowTitle(QStringLiteral("フォローアップ"));
    auto* grid = new QGridLayout(this);

    groups_ = new QListWidget(this);
    groups_->setObjectName(QStringLiteral("ctl1044"));
    groups_->setSelectionMode(QAbstractItemView::MultiSelection);
    for (std::size_t i = 0; i < choice.groups.size(); ++i) {
        auto* item = new QListWidgetItem(widgets::FromSjis(choice.groups[i]), groups_);
        item->setSelected(i < choice.selected.size() && choice.selected[i]);
    }
    auto* groupsLabel = new QLabel(QStringLiteral("投稿先(&N):"), this);
    groupsLabel->setBuddy(groups_);
    grid->addWidget(groupsLabel, 0, 0, 1, 2);
    grid->addWidget(groups_, 1, 0, 1, 2);

    quote_ = new QLineEdit(widgets::FromSjis(choice.options.strQuoteString), this);
    quote_->setObjectName(QStringLiteral("ctl130"));
    auto* quoteLabel = new QLabel(QStringLiteral("引用符(&Q):"), this);
    quoteLabel->setBuddy(quote_);
    grid->addWidget(quoteLabel, 2, 0);
    grid->addWidget(quote_, 2, 1);

    language_ = new QComboBox(this);
    language_->setObjectName(QStringLiteral("ctl1037"));
    language_->addItems({QStringLiteral("English"), QStringLiteral("Japanease"), QStringLiteral("なし")});
    language_->setCurrentIndex(choice.options.CommentLang >= 0 && choice.options.CommentLang <= 2
                                   ? choice.options.CommentLang : 0);
    auto* languageLabel = new QLabel(QStringLiteral("引用のコメント(&C):"), this);
    languageLabel->setBuddy(language_);
    grid->addWidget(languageLabel, 3, 0);
    grid->addWidget(language_, 3, 1);

    nameQuote_ = new QCheckBox(QStringLiteral("名前付き引用(&U)"), this);
    nameQuote_->setObjectName(QStringLiteral("ctl133"));
    nameQuote_->setChecked(choice.options.bNameQuote);
    includeBody_ = new QCheckBox(QStringLiteral("本文を引用(&I)"), this);
    includeBody_->setObjectName(QStringLiteral("ctl1035"));
    includeBody_->setChecked(choice.options.bIncludeBody);
    grid->addWidget(nameQuote_, 4, 0, 1, 2);
    grid->addWidget(includeBody_, 5, 0, 1, 2);

    auto* ok = widgets::DialogButton(this, QStringLiteral("OK"), 1);
    ok->setDefault(true);
    auto* cancel = widgets::DialogButton(this, QStringLiteral("ｷｬﾝｾﾙ"), 2);
    auto* help = widgets::DialogButton(this, QStringLiteral("ﾍﾙﾌﾟ(&H)"), 57670);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    grid->addLayout(buttons, 6, 0, 1, 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this, &dialogs] { dialogs.ShowHelp(this, QStringLiteral("posting.html#followup")); });
}

news::FollowUpChoice FollowUpDialog::Choice() const
{
    news::FollowUpChoice choice = offered_;
    for (int i = 0; i < groups_->count() && std::size_t(i) < choice.selected.size(); ++i)
        choice.selected[std::size_t(i)] = groups_->item(i)->isSelected();
    choice.options.strQuoteString = widgets::ToSjis(quote_->text());
    choice.options.CommentLang = language_->currentIndex();
    choice.options.bNameQuote = nameQuote_->isChecked();
    choice.options.bIncludeBody = includeBody_->isChecked();
    return choice;
}

bool BuildFollowUp(CNewsPostWnd& window, const news::FollowUpSource& source, platform::Registry& registry,
                   dialogs::Dialogs& dialogs)
{
    const auto fields = news::BuildFollowUp(source.header, source.body, registry, [&](news::FollowUpChoice& choice) {
        FollowUpDialog dialog(choice, dialogs, &window);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        choice = dialog.Choice();
        return true;
    });
    if (!fields)
        return false;
    window.SetFollowUpFields(fields->distribution, fields->subject, fields->newsgroups, fields->followupTo,
                             fields->references, fields->body);
    return true;
}

} // namespace compose
