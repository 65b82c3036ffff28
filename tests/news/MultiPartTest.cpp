// Part counters in subjects, and the articles of one file gathered.
#include <gtest/gtest.h>

#include "news/Article.h"
#include "news/MultiPart.h"

using news::ParsePartSubject;

TEST(MultiPart, SubjectCounters)
{
    const struct {
        const char* subject;
        const char* stem; // null: not a part
        unsigned part, total;
    } rows[] = {
        {"holiday.jpg (3/15)", "holiday.jpg", 3, 15},
        {"[02/10] notes.txt", "notes.txt", 2, 10},
        {"\"f.bin\" yEnc (01/20)", "\"f.bin\" yEnc", 1, 20},
        {"[1/5] - \"a.rar\" yEnc (07/300)", "[1/5] - \"a.rar\" yEnc", 7, 300},  // the last counter is the part
        {"game.zip (1/3) uuencoded", "game.zip  uuencoded", 1, 3},
        {"f (100000/100000)", "f", 100000, 100000},
        {"Re: holiday.jpg (3/15)", nullptr, 0, 0},   // a follow-up
        {"f (0/15)", nullptr, 0, 0},                 // the description post
        {"f (16/15)", nullptr, 0, 0},
        {"f (1/0)", nullptr, 0, 0},
        {"f (1/1)", nullptr, 0, 0},
        {"f (1/100001)", nullptr, 0, 0},
        {"f (1/99999999999999999999)", nullptr, 0, 0},
        {"f (1/2]", nullptr, 0, 0},
        {"f ( 1/2)", nullptr, 0, 0},
        {"f (/2)", nullptr, 0, 0},
        {"(((((((1/", nullptr, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.subject);
        const auto s = ParsePartSubject(row.subject);
        ASSERT_EQ(s.has_value(), row.stem != nullptr);
        if (s) {
            EXPECT_EQ(s->stem, row.stem);
            EXPECT_EQ(s->part, row.part);
            EXPECT_EQ(s->total, row.total);
        }
    }
    // Hostile lengths stay linear: a megabyte of openers and digits.
    std::string hostile;
    for (int i = 0; i < 100000; ++i)
        hostile += "(0000000001/";
    EXPECT_FALSE(ParsePartSubject(hostile));
    EXPECT_EQ(ParsePartSubject(hostile + "(2/4)")->part, 2u);
}

TEST(MultiPart, GroupsByStemPosterAndTotal)
{
    std::vector<std::unique_ptr<news::CArticle>> articles;
    auto add = [&](int number, const char* subject, const char* from) {
        auto a = std::make_unique<news::CArticle>();
        a->m_nNumber = number;
        a->m_strSubject = subject;
        a->m_strFrom = from;
        a->m_strMessageID = "<" + std::to_string(number) + "@x>";
        articles.push_back(std::move(a));
    };
    add(10, "f.bin yEnc (3/4)", "p");
    add(11, "f.bin yEnc (1/4)", "p");
    add(12, "f.bin yEnc (3/4)", "p"); // posted twice
    add(13, "f.bin yEnc (2/4)", "q"); // another poster's file
    add(14, "other (1/2)", "p");
    add(15, "Re: f.bin yEnc (2/4)", "p");
    const auto files = news::GroupPartFiles(articles);
    ASSERT_EQ(files.size(), 3u);
    const news::PartFile& f = files[0];
    EXPECT_EQ(f.stem, "f.bin yEnc");
    ASSERT_EQ(f.articles.size(), 3u);
    EXPECT_EQ(f.articles[0].number, 11);
    EXPECT_EQ(f.articles[1].number, 10);
    EXPECT_EQ(f.articles[2].number, 12);
    EXPECT_EQ(f.Present(), 2u);
    EXPECT_EQ(f.Missing(), (std::vector<unsigned>{2, 4}));
    EXPECT_EQ(files[1].poster, "q");
    EXPECT_EQ(files[1].Present(), 1u);
    news::PartFile quoted{"[1/5] - \"a.rar\" yEnc", "p", 2, {}};
    EXPECT_EQ(quoted.Name(), "a.rar");
}
