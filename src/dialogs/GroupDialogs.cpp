#include "dialogs/GroupDialogs.h"

#include "widgets/SjisText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

GroupSubscribeDialog::GroupSubscribeDialog(bool unsubscribe, const QString& path, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(unsubscribe ? QStringLiteral("dlg105") : QStringLiteral("dlg112"));
    setWindowTitle(unsubscribe ? QStringLiteral("購読を止める") : QStringLiteral("購読する"));
    setFont(JapaneseFont());
    auto* field = new QLineEdit(path, this);
    field->setObjectName(QStringLiteral("ctl1047"));
    field->setReadOnly(true);
    field->setMinimumWidth(260);
    only_ = new QRadioButton(unsubscribe ? QStringLiteral("選択したグループだけ購読を止める")
                                         : QStringLiteral("選択したグループだけ購読する"),
                             this);
    only_->setObjectName(QStringLiteral("ctl1004"));
    subtree_ = new QRadioButton(unsubscribe ? QStringLiteral("サブグループごと購読を止める")
                                            : QStringLiteral("サブグループごと購読する"),
                                this);
    subtree_->setObjectName(QStringLiteral("ctl1003"));
    auto* radios = new QButtonGroup(this);
    radios->addButton(only_);
    radios->addButton(subtree_);
    SetChoice(1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    auto* all = new QPushButton(QStringLiteral("以降全て(&A)"), this);
    all->setObjectName(QStringLiteral("ctl1058"));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    connect(ok, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(all, &QPushButton::clicked, this, [this] { done(kAllFollowing); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(QStringLiteral("Group名:"), this));
    name->addWidget(field, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(name);
    left->addWidget(only_);
    left->addWidget(subtree_);
    left->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(all);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
}

int GroupSubscribeDialog::Choice() const { return subtree_->isChecked() ? 1 : 0; }

void GroupSubscribeDialog::SetChoice(int choice)
{
    (choice ? subtree_ : only_)->setChecked(true);
}

GroupFindDialog::GroupFindDialog(const QString& text, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg139"));
    setWindowTitle(QStringLiteral("グループの検索"));
    setFont(JapaneseFont());
    edit_ = new QLineEdit(text, this);
    edit_->setObjectName(QStringLiteral("ctl1007"));
    edit_->setMinimumWidth(220);
    auto* label = new QLabel(QStringLiteral("検索グループ名(&S):"), this);
    label->setBuddy(edit_);
    auto* up = new QPushButton(QStringLiteral("上検索(&P)"), this);
    up->setObjectName(QStringLiteral("ctl1055"));
    auto* down = new QPushButton(QStringLiteral("下検索(&N)"), this);
    down->setObjectName(QStringLiteral("ctl1056"));
    down->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    connect(up, &QPushButton::clicked, this, [this] { Search(kUp); });
    connect(down, &QPushButton::clicked, this, [this] { Search(kDown); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edit_, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(down);
    buttons->addWidget(up);
    buttons->addWidget(cancel);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addLayout(buttons);
}

QString GroupFindDialog::Text() const { return edit_->text(); }

void GroupFindDialog::Search(int button)
{
    if (edit_->text().isEmpty()) {
        QApplication::beep();
        return;
    }
    done(button);
}

} // namespace dialogs
