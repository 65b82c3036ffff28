#include "dialogs/GroupReadDialogs.h"

#include "widgets/DialogButton.h"
#include "widgets/SjisText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kYes = 6;
constexpr int kNo = 7;

// A field that takes only digits, as a number edit field does.
QLineEdit* NumberField(QWidget* parent, int id, int value)
{
    auto* field = new QLineEdit(QString::number(value), parent);
    field->setObjectName(QStringLiteral("ctl%1").arg(id));
    field->setValidator(new QIntValidator(0, 2147483647, field));
    field->setMinimumWidth(100);
    field->selectAll();
    return field;
}

// The number in a field; an empty field reads as 0.
int NumberOf(const QLineEdit* field)
{
    bool ok = false;
    const int n = field->text().toInt(&ok);
    return ok ? n : 0;
}

} // namespace

ReadLimitDialog::ReadLimitDialog(int count, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg135"));
    setWindowTitle(QStringLiteral("読み込み記事数が設定を越えました"));
    setFont(JapaneseFont());
    auto* text = new QLabel(
        QStringLiteral("継続して記事を読み込みますか？読み込む場合は、読み込む記事数を入力してください。"), this);
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    auto* label = new QLabel(QStringLiteral("読み込む記事数(&C):"), this);
    count_ = NumberField(this, 1052, count);
    label->setBuddy(count_);
    auto* yes = DialogButton(this, QStringLiteral("はい(&Y)"), kYes);
    auto* no = DialogButton(this, QStringLiteral("いいえ(&N)"), kNo);
    no->setDefault(true);
    no->setAutoDefault(true);
    connect(yes, &QPushButton::clicked, this, [this] { done(kYes); });
    connect(no, &QPushButton::clicked, this, [this] { done(kNo); });

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(count_);
    row->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(yes);
    buttons->addWidget(no);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(row);
    layout->addLayout(buttons);
}

int ReadLimitDialog::Count() const { return NumberOf(count_); }

int ReadLimitDialog::Ask(QWidget* parent, int& count)
{
    ReadLimitDialog dialog(count, parent);
    // Escape and the title bar's close button are the hidden Cancel.
    const int answer = dialog.exec();
    if (answer != kYes)
        return answer == kNo ? kNo : kCancel;
    count = dialog.Count();
    return kYes;
}

ReloadRangeDialog::ReloadRangeDialog(int start, int end, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg122"));
    setWindowTitle(QStringLiteral("記事の再読み込み"));
    setFont(JapaneseFont());
    auto* startLabel = new QLabel(QStringLiteral("開始記事番号(&S):"), this);
    auto* endLabel = new QLabel(QStringLiteral("終了記事番号(&E):"), this);
    start_ = NumberField(this, 1034, start);
    end_ = NumberField(this, 1035, end);
    startLabel->setBuddy(start_);
    endLabel->setBuddy(end_);
    auto* ok = DialogButton(this, QStringLiteral("OK"), kOk);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    auto* cancel = DialogButton(this, QStringLiteral("キャンセル"), kCancel);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(startLabel, 0, 0);
    fields->addWidget(start_, 0, 1);
    fields->addWidget(endLabel, 1, 0);
    fields->addWidget(end_, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
}

int ReloadRangeDialog::Ask(QWidget* parent, int& start, int& end)
{
    ReloadRangeDialog dialog(start, end, parent);
    if (dialog.exec() != QDialog::Accepted)
        return kCancel;
    start = NumberOf(dialog.start_);
    end = NumberOf(dialog.end_);
    return kOk;
}

} // namespace dialogs
