// The limit (135) and reload (122) questions as the user answers them.
#include "ui/Dialogs.h"
#include "ui/GroupReadDialogs.h"
#include "ui/LumeDocument.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace ui;

namespace {

// Runs act on the dialog once it is up (the dialog runs its own loop).
void WhenShown(const std::function<void(QDialog&)>& act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

void Retype(QLineEdit* field, const QString& text)
{
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

TEST(ReadLimitQuestion, YesTakesTheNumberEnteredNoAndEscapeKeepIt)
{
    QtDialogs dialogs;
    NewsHost host(dialogs);
    int count = 5;
    WhenShown([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("読み込み記事数が設定を越えました"));
        auto* field = d.findChild<QLineEdit*>(QStringLiteral("ctl1052"));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(), QStringLiteral("5"));
        Retype(field, QStringLiteral("3x7"));
        EXPECT_EQ(field->text(), QStringLiteral("37")) << "only digits are taken";
        d.findChild<QPushButton*>(QStringLiteral("ctl6"))->click();
    });
    EXPECT_EQ(host.AskReadLimit(count), 6);
    EXPECT_EQ(count, 37);

    count = 5;
    WhenShown([](QDialog& d) {
        Retype(d.findChild<QLineEdit*>(QStringLiteral("ctl1052")), QStringLiteral("9"));
        QTest::keyClick(&d, Qt::Key_Return); // いいえ is the default button
    });
    EXPECT_EQ(host.AskReadLimit(count), 7);
    EXPECT_EQ(count, 5);

    WhenShown([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_EQ(host.AskReadLimit(count), 2);
    EXPECT_EQ(count, 5);

    // An emptied field reads as 0, which the document takes as No.
    WhenShown([](QDialog& d) {
        Retype(d.findChild<QLineEdit*>(QStringLiteral("ctl1052")), QString());
        d.findChild<QPushButton*>(QStringLiteral("ctl6"))->click();
    });
    EXPECT_EQ(host.AskReadLimit(count), 6);
    EXPECT_EQ(count, 0);
}

TEST(ReloadRangeQuestion, OkTakesBothNumbersCancelKeepsThem)
{
    QtDialogs dialogs;
    NewsHost host(dialogs);
    int start = 10, end = 250;
    WhenShown([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("記事の再読み込み"));
        auto* first = d.findChild<QLineEdit*>(QStringLiteral("ctl1034"));
        auto* last = d.findChild<QLineEdit*>(QStringLiteral("ctl1035"));
        ASSERT_TRUE(first && last);
        EXPECT_EQ(first->text(), QStringLiteral("10"));
        EXPECT_EQ(last->text(), QStringLiteral("250"));
        Retype(first, QStringLiteral("200"));
        Retype(last, QStringLiteral("-5"));
        QTest::keyClick(&d, Qt::Key_Return); // OK is the default button
    });
    EXPECT_EQ(host.AskReloadRange(start, end), 1);
    EXPECT_EQ(start, 200);
    EXPECT_EQ(end, 5) << "a minus sign is not a digit";

    WhenShown([](QDialog& d) {
        Retype(d.findChild<QLineEdit*>(QStringLiteral("ctl1034")), QStringLiteral("1"));
        d.findChild<QPushButton*>(QStringLiteral("ctl2"))->click();
    });
    EXPECT_EQ(host.AskReloadRange(start, end), 2);
    EXPECT_EQ(start, 200);
    EXPECT_EQ(end, 5);
}

} // namespace
