// Merging the server's group list into the group table.
#include "news/GroupListParser.h"
#include "news/GroupTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace news;

namespace {

CNewsGroup* Known(CGroupTable& table, const std::string& name, const std::string& marks, bool subscribed = true)
{
    auto g = std::make_unique<CNewsGroup>();
    g->m_strName = name;
    g->m_strReadList = marks;
    g->m_bSubscribed = subscribed;
    g->m_bNew = false;
    return table.Set(std::move(g));
}

TEST(GroupList, KnownGroupsTakeTheServerRangeAndUnknownOnesArriveNew)
{
    CGroupTable table;
    Known(table, "a.b", "1-10");
    Known(table, "c.d", "1-10,95-105,130,2-3", false);
    // Marks below the range go, a straddling range is clipped, order and text
    // are kept; the subscription is the file's.
    struct {
        const char *line, *name, *marks;
        bool subscribed, isNew, post;
        int first, last;
    } cases[] = {
        {"a.b 120 100 y\r\n", "a.b", "", true, false, true, 100, 120},
        {"c.d 0000000200 0000000100 n", "c.d", "100-105,130", false, false, false, 100, 200},
        {"x.y 5 1 y\r\n", "x.y", "", true, true, true, 1, 5},
        {"x.y 6 1 y", "x.y", "", true, false, true, 1, 6}, // listed again: no longer new
    };
    for (const auto& c : cases) {
        const CNewsGroup* g = MergeGroupListLine(table, c.line);
        ASSERT_TRUE(g && g == table.Find(c.name)) << c.line;
        EXPECT_EQ(std::tuple(g->m_strReadList, g->m_bSubscribed, g->m_bNew, g->m_bPostAllowed, g->m_nFirst, g->m_nLast),
                  std::tuple(std::string(c.marks), c.subscribed, c.isNew, c.post, c.first, c.last))
            << c.line;
    }
    std::vector<std::string> order;
    table.ForEach([&](const CNewsGroup& x) { order.push_back(x.m_strName); });
    EXPECT_EQ(order, (std::vector<std::string>{"a.b", "c.d", "x.y"}));
    EXPECT_EQ(table.Find("X.Y"), nullptr); // names are case-sensitive
}

TEST(GroupList, PostingFlagAndShortLines)
{
    struct Case {
        const char* line;
        bool post;
        int last, first;
    } cases[] = {
        {"c.d 50 40 m", true, 50, 40},  {"c.d 50 40 =", false, 50, 40}, {"c.d 50 40 n", false, 50, 40},
        {"c.d 50 40 N", false, 50, 40}, {"c.d 50 40 Y", true, 50, 40},  {"c.d 50 40 x", true, 50, 40},
        {"c.d 50 40 =other.group", false, 50, 40},
        {"c.d 50 40", true, 50, 40},    {"c.d 50", true, 50, 0},        {"c.d\r\n", true, 0, 0},
        {"c.d\t50\t40\tn\r\n", false, 50, 40},
    };
    for (const auto& c : cases) {
        GroupListLine out;
        ASSERT_TRUE(ParseGroupListLine(c.line, out)) << c.line;
        EXPECT_EQ(out.name, "c.d") << c.line;
        EXPECT_EQ(out.postAllowed, c.post) << c.line;
        EXPECT_EQ(std::pair(out.last, out.first), std::pair(c.last, c.first)) << c.line;
    }
}

TEST(GroupList, NumbersAreHeldToTheArticleRange)
{
    GroupListLine out;
    for (auto [line, last, first] : {std::tuple{"big 99999999999 2147483648 y", INT32_MAX, INT32_MAX},
                                     {"neg -5 -2147483649 y", 0, 0}, {"junk 12abc zz y", 12, 0}}) {
        ASSERT_TRUE(ParseGroupListLine(line, out)) << line;
        EXPECT_EQ(std::pair(out.last, out.first), std::pair(last, first)) << line;
    }
}

TEST(GroupList, NamesTheReadMarksFileCannotHoldAreSkipped)
{
    CGroupTable table;
    for (const char* line : {"", "\r\n", "   ", "a:b 1 1 y", "a!b 1 1 y", "a\rb 1 1 y", "a.b 1 1\r y"}) {
        EXPECT_EQ(MergeGroupListLine(table, line), nullptr) << line;
    }
    EXPECT_EQ(MergeGroupListLine(table, std::string_view("a\0b 1 1 y", 9)), nullptr);
    EXPECT_TRUE(table.IsEmpty());
    // High bytes (UTF-8 names) are fine.
    EXPECT_NE(MergeGroupListLine(table, "fj.\xe6\x97\xa5 3 1 y\r\n"), nullptr);
}

} // namespace
