#include "dialogs/ArticleDialogs.h"

#include "widgets/DialogButton.h"
#include "widgets/SjisText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {
constexpr int kOk = 1;
constexpr int kCancel = 2;

} // namespace

ArticleMarkReadDialog::ArticleMarkReadDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg115"));
    setWindowTitle(QStringLiteral("記事を読み込み済みにする"));
    setFont(JapaneseFont());
    auto* prompt = new QLabel(QStringLiteral("読み込み済みにする記事の範囲を指定してください。"), this);
    group_ = new QButtonGroup(this);
    const struct { int id; const char16_t* text; } radios[] = {
        {1024, u"選択記事から上の全て"},
        {1026, u"選択記事を含むスレッド"},
        {1028, u"グループの全ての記事"},
    };
    auto* column = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromUtf16(radios[i].text), this);
        r->setObjectName(QStringLiteral("ctl%1").arg(radios[i].id));
        group_->addButton(r, i);
        column->addWidget(r);
    }
    SetValue(Thread);
    auto* ok = DialogButton(this, QStringLiteral("OK"), 1);
    ok->setDefault(true);
    auto* cancel = DialogButton(this, QStringLiteral("キャンセル"), 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(prompt);
    left->addLayout(column);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
}

int ArticleMarkReadDialog::Value() const { return group_->checkedId(); }

void ArticleMarkReadDialog::SetValue(int value)
{
    if (QAbstractButton* b = group_->button(value))
        b->setChecked(true);
}

int ArticleMarkReadDialog::Ask(QWidget* parent, int& range)
{
    range = Thread;
    ArticleMarkReadDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return kCancel;
    range = dialog.Value();
    return kOk;
}

ArticleSearchDialog::ArticleSearchDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg133"));
    setWindowTitle(QStringLiteral("文字列の検索"));
    setFont(JapaneseFont());
    auto* label = new QLabel(QStringLiteral("検索文字列(&S):"), this);
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("ctl1007"));
    text_->setMinimumWidth(220);
    label->setBuddy(text_);
    noCase_ = new QCheckBox(QStringLiteral("大文字小文字を区別しない(&C)"), this);
    noCase_->setObjectName(QStringLiteral("ctl1048"));
    auto* up = DialogButton(this, QStringLiteral("上検索(&P)"), 1055);
    auto* down = DialogButton(this, QStringLiteral("下検索(&N)"), 1056);
    down->setDefault(true);
    down->setAutoDefault(true);
    auto* cancel = DialogButton(this, QStringLiteral("キャンセル"), 2);
    connect(up, &QPushButton::clicked, this, [this] { Search(true); });
    connect(down, &QPushButton::clicked, this, [this] { Search(false); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(text_, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(row);
    left->addWidget(noCase_);
    left->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(up);
    buttons->addWidget(down);
    buttons->addWidget(cancel);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
}

void ArticleSearchDialog::Search(bool upwards)
{
    if (text_->text().isEmpty()) {
        QApplication::beep();
        return;
    }
    upwards_ = upwards;
    accept();
}

int ArticleSearchDialog::Ask(QWidget* parent, Request& request)
{
    ArticleSearchDialog dialog(parent);
    dialog.text_->setText(FromSjis(request.text));
    dialog.text_->selectAll();
    dialog.noCase_->setChecked(request.noCase);
    if (dialog.exec() != QDialog::Accepted)
        return kCancel;
    request.text = ToSjis(dialog.text_->text());
    request.noCase = dialog.noCase_->isChecked();
    request.upwards = dialog.upwards_;
    return kOk;
}

} // namespace dialogs
