#include "widgets/SjisText.h"

#include <QString>

#include <gtest/gtest.h>

#include <string>

using namespace widgets;

TEST(SjisText, RoundTripAndErrors)
{
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\xb1\x87\x40\x5c"; // 日本語ｱ①backslash
    bool ok = false;
    const QString text = FromSjis(sjis, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, QStringLiteral("日本語ｱ①\\"));
    EXPECT_EQ(ToSjis(text, &ok), sjis);
    EXPECT_TRUE(ok);
    // 0x8160 is the wave dash of the Windows mapping.
    EXPECT_EQ(FromSjis("\x81\x60"), QString(QChar(0xFF5E)));

    FromSjis("\x82", &ok); // a lead byte with nothing after it
    EXPECT_FALSE(ok);
    // Characters CP932 lacks cross as escapes, both ways.
    const QString korean = QStringLiteral("a한국어😀b");
    EXPECT_EQ(FromSjis(ToSjis(korean, &ok)), korean);
    EXPECT_FALSE(ok);

    // Bad bytes leave nothing behind for the next text.
    FromSjis("\x82", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(FromSjis(sjis, &ok), QStringLiteral("日本語ｱ①\\"));
    EXPECT_TRUE(ok);
}

