#include "news/Article.h"
#include "news/GroupTable.h"
#include "news/ReadList.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

std::string Text(CReadList& list, bool normalize = false)
{
    std::string out;
    list.Format(out, normalize);
    return out;
}

CReadList Parsed(std::string_view text)
{
    CReadList list;
    list.Parse(text);
    return list;
}

TEST(ReadList, ParseAndFormatKeepTextAndOrder)
{
    CReadList list;
    EXPECT_TRUE(list.Parse(""));
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(Text(list), "");

    // Leading blank as older files wrote it, doubled separators vanish.
    list = Parsed(" 1-5, 7");
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.Sets()[0], CReadSet(1, 5));
    EXPECT_EQ(list.Sets()[1], CReadSet(7, 7));
    EXPECT_EQ(Text(list), "1-5,7");

    list = Parsed("30-31,,1-120,125");
    EXPECT_EQ(Text(list), "30-31,1-120,125");   // never sorted
    std::string out;
    EXPECT_EQ(list.Format(out, false), 3u);
}

TEST(ReadList, ParseMalformedTokensAsTheConversionReadsThem)
{
    CReadList list = Parsed("-7,12-,abc,4x-9y");
    ASSERT_EQ(list.GetCount(), 4u);
    EXPECT_EQ(list.Sets()[0], CReadSet(0, 7));
    EXPECT_EQ(list.Sets()[1], CReadSet(12, 0));
    EXPECT_EQ(list.Sets()[2], CReadSet(0, 0));
    EXPECT_EQ(list.Sets()[3], CReadSet(4, 9));

    // ':' and '!' end only the first token.
    list = Parsed(": 3:4,5!6");
    EXPECT_EQ(Text(list), "3,4,5");

    // Numbers beyond 32 bits are held at the limit, not wrapped.
    list = Parsed("1-99999999999,-99999999999");
    EXPECT_EQ(list.Sets()[0], CReadSet(1, INT32_MAX));
    EXPECT_EQ(list.Sets()[1], CReadSet(0, INT32_MAX));
    EXPECT_EQ(ReadMarkNumber("-99999999999"), INT32_MIN);
    EXPECT_EQ(ReadMarkNumber(" \t+42z"), 42);
}

TEST(ReadList, AddTestsStartThenEndOfEachRangeAndNeverJoins)
{
    CReadList list = Parsed("1-5,7");
    EXPECT_TRUE(list.Add(6));
    EXPECT_EQ(Text(list), "1-6,7");
    EXPECT_EQ(Text(list, true), "1-7");

    list = Parsed("10-12,3");
    EXPECT_TRUE(list.Add(9));   // start of 10-12 matches before the end of 3 is looked at
    EXPECT_EQ(Text(list), "9-12,3");
    EXPECT_TRUE(list.Add(4));
    EXPECT_EQ(Text(list), "9-12,3-4");
    EXPECT_TRUE(list.Add(11));  // already read: unchanged
    EXPECT_EQ(Text(list), "9-12,3-4");

    CReadList empty;
    EXPECT_TRUE(empty.Add(0));
    EXPECT_EQ(Text(empty), "0");
    EXPECT_FALSE(empty.Add(-1));
    EXPECT_EQ(Text(empty), "0");

    // The largest article number does not overflow the neighbour tests.
    CReadList top = Parsed("2147483646");
    EXPECT_TRUE(top.Add(INT32_MAX));
    EXPECT_EQ(Text(top), "2147483646-2147483647");
    EXPECT_TRUE(top.IsRead(INT32_MAX));
    EXPECT_FALSE(top.IsRead(0));
}

TEST(ReadList, NormalizeMakesOnePassAndDropsNegatives)
{
    CReadList list = Parsed("10-12,1-5,6-9");
    list.Normalize();
    EXPECT_EQ(Text(list), "6-12,1-5");

    list = Parsed("1-3,-5,2-8,9,20-25,15-19,0");
    EXPECT_EQ(Text(list, true), "0-9,15-25");

    list = Parsed("1-2147483647,5");
    EXPECT_EQ(Text(list, true), "1-2147483647");

    // A later range holding a whole earlier one takes its place.
    list = Parsed("5-6,30,1-10");
    EXPECT_EQ(Text(list, true), "1-10,30");
}

TEST(ReadList, CountUnreadSubtractsWholeRangesAndTrimsBelow)
{
    CReadList list = Parsed("1-50,90-120,150-150");
    EXPECT_EQ(list.CountUnread(100, 200), 79);
    EXPECT_EQ(Text(list), "100-120,150");

    list = Parsed("1-50");
    EXPECT_EQ(list.CountUnread(5, 4), 0);
    EXPECT_EQ(Text(list), "1-50");

    // Whole ranges count, also above hi, and the result stops at zero.
    list = Parsed("10-100");
    EXPECT_EQ(list.CountUnread(10, 20), 0);
    list = Parsed("15-30");
    EXPECT_EQ(list.CountUnread(10, 20), 0);
    list = Parsed("15-17");
    EXPECT_EQ(list.CountUnread(10, 20), 8);

    // The whole 32-bit range: no overflow, nothing trimmed wrongly.
    list = Parsed("0-9");
    EXPECT_EQ(list.CountUnread(0, INT32_MAX), std::int64_t(INT32_MAX) + 1 - 10);
    EXPECT_EQ(Text(list), "0-9");
}

TEST(ReadList, HasUnread)
{
    CNewsGroup g;
    g.m_nFirst = g.m_nLast = 10;
    EXPECT_FALSE(HasUnread(g));   // one unread article, still "none"

    g.m_nFirst = 1;
    g.m_nLast = 100;
    g.m_strReadList = "1-50,51-99";
    EXPECT_TRUE(HasUnread(g));
    g.m_strReadList = "60-100,1-59";
    EXPECT_FALSE(HasUnread(g));
    g.m_strReadList = "1-40,42-100";
    EXPECT_TRUE(HasUnread(g));
    g.m_strReadList = "0-200";
    EXPECT_FALSE(HasUnread(g));
    g.m_strReadList = "12-,1-100";
    EXPECT_FALSE(HasUnread(g));

    // A huge range is answered from the ranges, not number by number.
    g.m_nFirst = 1;
    g.m_nLast = INT32_MAX;
    g.m_strReadList = "1-2147483647";
    EXPECT_FALSE(HasUnread(g));
    g.m_strReadList = "1-2147483646";
    EXPECT_TRUE(HasUnread(g));

    g.m_nFirst = 5;
    g.m_nLast = 3;   // reversed server range: nothing to test
    g.m_strReadList = "";
    EXPECT_FALSE(HasUnread(g));
}

TEST(GroupTable, KeepsFirstEntryOrderAndReplacesByName)
{
    CGroupTable table;
    for (const char* name : {"b.x", "a.y", "c.z"}) {
        auto g = std::make_unique<CNewsGroup>();
        g->m_strName = name;
        table.Set(std::move(g));
    }
    auto again = std::make_unique<CNewsGroup>();
    again->m_strName = "a.y";
    again->m_strReadList = "1-3";
    table.Set(std::move(again));

    std::string order;
    table.ForEach([&](const CNewsGroup& g) { order += g.m_strName + ";"; });
    EXPECT_EQ(order, "b.x;a.y;c.z;");
    EXPECT_EQ(table.GetCount(), 3u);
    ASSERT_NE(table.Find("a.y"), nullptr);
    EXPECT_EQ(table.Find("a.y")->m_strReadList, "1-3");
    EXPECT_EQ(table.Find("A.Y"), nullptr);
    table.RemoveAll();
    EXPECT_TRUE(table.IsEmpty());
}

TEST(Article, IdsRunFromTheLastAngleBracket)
{
    EXPECT_EQ(CArticle::FromLastAngle("<a@b>"), "<a@b>");
    EXPECT_EQ(CArticle::FromLastAngle("Taro <x@y> <p@q>"), "<p@q>");
    EXPECT_EQ(CArticle::FromLastAngle("<1@a>\r\n\t<2@b>"), "<2@b>");
    EXPECT_EQ(CArticle::FromLastAngle("no brackets"), "");
    EXPECT_EQ(CArticle::FromLastAngle(""), "");
}

} // namespace
