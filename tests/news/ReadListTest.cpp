#include "news/Article.h"
#include "news/GroupTable.h"
#include "news/ReadList.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

std::string Text(CReadList list, bool normalize = false)
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

TEST(ReadList, ParseAsTheConversionReadsTokens)
{
    EXPECT_EQ(Parsed("").GetCount(), 0u);
    CReadList list = Parsed(" 1-5, 7");          // leading blank as older files wrote it
    EXPECT_EQ(list.Sets(), (std::vector<CReadSet>{{1, 5}, {7, 7}}));
    EXPECT_EQ(Text(list), "1-5,7");
    list = Parsed("30-31,,1-120,125");
    EXPECT_EQ(Text(list), "30-31,1-120,125");    // never sorted

    list = Parsed("-7,12-,abc,4x-9y");
    EXPECT_EQ(list.Sets(), (std::vector<CReadSet>{{0, 7}, {12, 0}, {0, 0}, {4, 9}}));
    EXPECT_EQ(Text(Parsed(": 3:4,5!6")), "3,4,5"); // ':' and '!' end only the first token

    // Numbers beyond 32 bits are held at the limit, not wrapped.
    EXPECT_EQ(Parsed("1-99999999999").Sets()[0], CReadSet(1, INT32_MAX));
    EXPECT_EQ(ReadMarkNumber("-99999999999"), INT32_MIN);
}

TEST(ReadList, AddTestsStartThenEndOfEachRangeAndNeverJoins)
{
    CReadList list = Parsed("1-5,7");
    EXPECT_TRUE(list.Add(6));
    EXPECT_EQ(Text(list), "1-6,7");
    EXPECT_EQ(Text(list, true), "1-7");

    list = Parsed("10-12,3");
    EXPECT_TRUE(list.Add(9));    // the start of 10-12 matches before the end of 3 is looked at
    EXPECT_TRUE(list.Add(4));
    EXPECT_TRUE(list.Add(11));   // already read
    EXPECT_EQ(Text(list), "9-12,3-4");

    CReadList empty;
    EXPECT_TRUE(empty.Add(0));
    EXPECT_FALSE(empty.Add(-1));
    EXPECT_EQ(Text(empty), "0");

    CReadList top = Parsed("2147483646");
    EXPECT_TRUE(top.Add(INT32_MAX));
    EXPECT_EQ(Text(top), "2147483646-2147483647");
}

TEST(ReadList, NormalizeMakesOnePassAndDropsNegatives)
{
    CReadList list = Parsed("10-12,1-5,6-9");
    EXPECT_EQ(Text(list, true), "6-12,1-5");
    list = Parsed("1-3,-5,2-8,9,20-25,15-19,0");
    EXPECT_EQ(Text(list, true), "0-9,15-25");
    list = Parsed("1-2147483647,5");
    EXPECT_EQ(Text(list, true), "1-2147483647");
    list = Parsed("5-6,30,1-10");                  // a later range holding an earlier one
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
    list = Parsed("15-30");
    EXPECT_EQ(list.CountUnread(10, 20), 0);       // the part above hi counts too
    list = Parsed("0-9");
    EXPECT_EQ(list.CountUnread(0, INT32_MAX), std::int64_t(INT32_MAX) + 1 - 10);
}

TEST(ReadList, HasUnread)
{
    CNewsGroup g;
    g.m_nFirst = g.m_nLast = 10;
    EXPECT_FALSE(HasUnread(g));                   // one unread article, still "none"
    g.m_nFirst = 1;
    g.m_nLast = 100;
    for (const char* marks : {"60-100,1-59", "0-200", "12-,1-100"}) {
        g.m_strReadList = marks;
        EXPECT_FALSE(HasUnread(g)) << marks;
    }
    for (const char* marks : {"1-50,51-99", "1-40,42-100", "2-100", ""}) {
        g.m_strReadList = marks;
        EXPECT_TRUE(HasUnread(g)) << marks;
    }
    // Answered from the ranges, not number by number.
    g.m_nLast = INT32_MAX;
    g.m_strReadList = "1-2147483646";
    EXPECT_TRUE(HasUnread(g));
    g.m_strReadList = "1-2147483647";
    EXPECT_FALSE(HasUnread(g));
}

TEST(GroupTable, KeepsFirstEntryOrderAndReplacesByName)
{
    CGroupTable table;
    for (const char* name : {"b.x", "a.y", "c.z", "a.y"}) {
        auto g = std::make_unique<CNewsGroup>();
        g->m_strName = name;
        g->m_strReadList = name;
        table.Set(std::move(g));
    }
    std::string order;
    table.ForEach([&](const CNewsGroup& g) { order += g.m_strName + ";"; });
    EXPECT_EQ(order, "b.x;a.y;c.z;");
    ASSERT_NE(table.Find("a.y"), nullptr);
    EXPECT_EQ(table.Find("a.y")->m_strName, "a.y");
    EXPECT_EQ(table.Find("A.Y"), nullptr);
}

TEST(Article, IdsRunFromTheLastAngleBracket)
{
    EXPECT_EQ(CArticle::FromLastAngle("Taro <x@y> <p@q>"), "<p@q>");
    EXPECT_EQ(CArticle::FromLastAngle("<1@a>\r\n\t<2@b>"), "<2@b>");
    EXPECT_EQ(CArticle::FromLastAngle("no brackets"), "");
}

} // namespace
