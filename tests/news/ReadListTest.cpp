#include "news/Article.h"
#include "news/GroupTable.h"
#include "news/ReadList.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>

using namespace news;

namespace {

CReadList Parsed(std::string_view text)
{
    CReadList list;
    list.Parse(text);
    return list;
}

std::string Text(CReadList list, bool normalize = false)
{
    std::string out;
    list.Format(out, normalize);
    return out;
}

TEST(ReadList, ParseAddNormalizeFormat)
{
    EXPECT_EQ(Text(Parsed(" 1-5, 7")), "1-5,7");                // leading blank of older files
    EXPECT_EQ(Text(Parsed("30-31,,1-120,125")), "30-31,1-120,125"); // never sorted
    EXPECT_EQ(Parsed("-7,12-,abc").Sets(), (std::vector<CReadSet>{{0, 7}, {12, 0}, {0, 0}}));
    EXPECT_EQ(Text(Parsed(": 3:4,5!6")), "3,4,5");              // ':' and '!' end only the first token
    EXPECT_EQ(Parsed("1-99999999999").Sets()[0], CReadSet(1, INT32_MAX)); // held, not wrapped

    CReadList list = Parsed("1-5,7");
    EXPECT_TRUE(list.Add(6));                                   // the first range's end matches first
    EXPECT_EQ(Text(list), "1-6,7");
    EXPECT_EQ(Text(list, true), "1-7");
    list = Parsed("10-12,3");
    EXPECT_TRUE(list.Add(9) && list.Add(4) && list.Add(11));   // start before end; 11 already read
    EXPECT_EQ(Text(list), "9-12,3-4");
    EXPECT_FALSE(list.Add(-1));
    list = Parsed("2147483646");
    EXPECT_TRUE(list.Add(INT32_MAX));
    EXPECT_EQ(Text(list), "2147483646-2147483647");

    EXPECT_EQ(Text(Parsed("10-12,1-5,6-9"), true), "6-12,1-5");   // one pass only
    EXPECT_EQ(Text(Parsed("1-3,-5,2-8,9,20-25,15-19,0"), true), "0-9,15-25");
    EXPECT_EQ(Text(Parsed("1-2147483647,5"), true), "1-2147483647");
    EXPECT_EQ(Text(Parsed("5-6,30,1-10"), true), "1-10,30");      // a later range holding an earlier one
}

TEST(ReadList, CountUnreadAndHasUnread)
{
    CReadList list = Parsed("1-50,90-120,150-150");
    EXPECT_EQ(list.CountUnread(100, 200), 79);
    EXPECT_EQ(Text(list), "100-120,150");
    EXPECT_EQ(list.CountUnread(5, 4), 0);
    EXPECT_EQ(Text(list), "100-120,150");
    list = Parsed("15-30");
    EXPECT_EQ(list.CountUnread(10, 20), 0);                     // the part above hi counts too
    list = Parsed("0-9");
    EXPECT_EQ(list.CountUnread(0, INT32_MAX), std::int64_t(INT32_MAX) - 9);

    CNewsGroup g;
    g.m_nFirst = g.m_nLast = 10;
    EXPECT_FALSE(HasUnread(g));                                  // one unread article, still "none"
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
    g.m_nLast = INT32_MAX;                                       // answered from the ranges
    g.m_strReadList = "1-2147483646";
    EXPECT_TRUE(HasUnread(g));
    EXPECT_EQ(CountUnread(g), 1);
    g.m_strReadList = "5-20,10-30,90-200";                       // overlaps count once
    g.m_nLast = 100;
    EXPECT_EQ(CountUnread(g), 4 + 59);
}

TEST(ReadList, RemoveSplitsRanges)
{
    const struct { const char* marks; int n; const char* after; bool removed; } rows[] = {
        {"1-10", 5, "1-4,6-10", true}, {"1-10", 1, "2-10", true}, {"1-10", 10, "1-9", true},
        {"3,1-10,3", 3, "1-2,4-10", true}, {"1-10", 11, "1-10", false}, {"12-", 5, "12-0", false},
    };
    for (const auto& r : rows) {
        CReadList list = Parsed(r.marks);
        EXPECT_EQ(list.Remove(r.n), r.removed) << r.marks;
        EXPECT_EQ(Text(list), r.after) << r.marks << " - " << r.n;
    }
}

TEST(ReadList, LongListsAnswerAsTheirRanges)
{
    // Many scattered ranges, changed between questions, against a plain set.
    CReadList list;
    std::set<int> model;
    std::mt19937 rng(11);
    for (int step = 0; step < 4000; ++step) {
        const int n = int(rng() % 3000), op = int(rng() % 10);
        if (op < 5) {
            list.Add(n);
            model.insert(n);
        } else if (op == 5) {
            list.Remove(n);
            model.erase(n);
        } else if (op == 6 && step % 50 == 0) {
            list.Parse(Text(list) + ",5-0," + std::to_string(n) + "-" + std::to_string(n + 20));
            for (int k = n; k <= n + 20; ++k)
                model.insert(k);
        }
        const int q = int(rng() % 3100);
        ASSERT_EQ(list.IsRead(q), model.count(q) == 1) << step << " " << q;
        int runStart = q;
        while (model.count(q) && model.count(runStart - 1))
            --runStart;
        ASSERT_EQ(list.ReadRunStart(q), runStart) << step << " " << q;
    }
}

TEST(ReadList, XrefEntries)
{
    using Entries = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(ParseXref("news.example fj.test:1 fj.test.one:12"), (Entries{{"fj.test", 1}, {"fj.test.one", 12}}));
    EXPECT_EQ(ParseXref(" host\ta:1  b:x c: :4 d:0 e:99999999999 f:3"), (Entries{{"a", 1}, {"f", 3}}));
}

} // namespace
