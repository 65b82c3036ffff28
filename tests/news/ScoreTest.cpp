// The score file: parsing (slrn's documented format), matching decoded
// Japanese text, damaged files, and the rules the commands write.

#include "news/Article.h"
#include "news/ScoreBook.h"
#include "news/ScoreFile.h"
#include "news/ScoreMatch.h"
#include "news/ScoreWrite.h"
#include "platform/Registry.h"
#include "support/TestFiles.h"
#include "textcodec/Charsets.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace news;

// 2026-12-07 12:00 UTC.
constexpr std::int64_t kNow = 1796644800;
const std::int64_t kToday = DayOf(kNow);

std::unique_ptr<CArticle> Article(std::int32_t n, const char* subject, const char* from, const char* refs,
                                  std::int64_t ageDays, std::int64_t lines = 10, const char* xref = "")
{
    auto a = std::make_unique<CArticle>();
    a->m_nNumber = n;
    a->m_strSubject = textcodec::Utf8ToSjis(subject);
    a->m_strFrom = textcodec::Utf8ToSjis(from);
    a->m_strReferences = refs;
    a->m_strMessageID = "<" + std::to_string(n) + "@example.jp>";
    a->m_strXref = xref;
    a->m_nLines = lines;
    a->m_nBytes = lines * 60;
    a->m_timeDate = kNow - ageDays * 86400;
    return a;
}

class ScoreRulesTest : public ::testing::Test {
protected:
    ScoreRulesTest()
    {
        articles_.push_back(Article(1, "日本語の質問です", "山田太郎 <taro@example.jp>", "", 1));
        articles_.push_back(Article(2, "Re: 日本語の質問です", "鈴木花子 <hanako@example.jp>", "<1@example.jp>", 2, 400));
        articles_.push_back(Article(3, "BUY CHEAP WATCHES NOW", "spam <s@spam.example>", "", 30, 3,
                                    "news.example fj.test:3 fj.misc:9 japan.test:2"));
        articles_.push_back(Article(4, "ｶﾀｶﾅ 半角の件名", "Someone <x@example.com>", "<0@old.example> <1@example.jp>", 400));
    }
    // The numbers of the articles the one-rule file gives a nonzero score.
    std::vector<int> Hits(const std::string& tests)
    {
        const ScoreRules rules = ParseScoreText("[fj.test]\nScore: -10\n" + tests, "t");
        EXPECT_TRUE(rules.problems.empty()) << DescribeProblems(rules);
        const GroupScorer scorer(rules, "fj.test", kNow);
        std::vector<int> hits;
        for (const auto& a : articles_)
            if (scorer.Score(ScoreInputOf(*a)) != 0)
                hits.push_back(a->m_nNumber);
        return hits;
    }
    std::vector<std::unique_ptr<CArticle>> articles_;
};

TEST_F(ScoreRulesTest, EachExpressionKind)
{
    const struct {
        const char* tests;
        std::vector<int> hits;
    } rows[] = {
        {"Subject: 質問", {1, 2}},
        {"Subject: ^質問", {}},
        {"~Subject: 質問", {3, 4}},
        {"Subject: buy cheap", {3}},              // case is ignored
        {"Subject: ｶﾀｶﾅ", {4}},                    // half-width kana survive the round trip
        {"Subject: \\<re\\>", {2}},               // slrn's word boundaries
        {"From: 山田", {1}},
        {"From: ^鈴木花子 <hanako@", {2}},
        {"~From: example\\.jp", {3, 4}},
        {"References: <1@example\\.jp>", {2, 4}},
        {"~References: .", {1, 3}},
        {"Message-ID: ^<3@", {3}},
        {"Xref: fj\\.misc:", {3}},
        {"Newsgroup: ^fj\\.test$", {1, 2, 3, 4}},
        {"Lines: 100", {2}},                      // more than 100 lines
        {"~Lines: 3", {3}},                        // three lines or fewer
        {"Bytes: 1000", {2}},
        {"Age: 2", {1, 2}},                       // at most two days old
        {"~Age: 30", {4}},
        {"Subject: 質問\nFrom: 鈴木", {2}},          // all tests
        {"{::\nFrom: 山田\nFrom: spam\n}", {1, 3}}, // any of a nested block
    };
    for (const auto& r : rows)
        EXPECT_EQ(Hits(r.tests), r.hits) << r.tests;
}

// Written from slrn's score.txt: several groups per section, wildcards,
// AND and OR rules, "=" scores and the special values, comments, dates in
// both forms, nested blocks.
constexpr const char* kSlrnFile = R"(% Kill all articles with "swap" in the subject in the linux groups
[comp.os.linux.*, fj.os.linux]
   Score: -10
   Expires: 12/31/2030
   Subject: swap

   Score: =-9999
   Expires: 1-1-2020
   % Expired long ago: never applies.
   Subject: linux

[*]
   Score:: 20
   From: larry@
   From: tux@
   Score: -3
   Lines: 500
   ~Subject: \<FAQ\>
   Score: 9999
   From: linus@
   Score: 5
   From: linus@

[fj.*]
   Score: 7
   {:
     Subject: kernel
     {::
        From: a@
        From: b@
     }
   }
)";

TEST(ScoreFile, SlrnDocumentedFile)
{
    const ScoreRules rules = ParseScoreText(kSlrnFile, "Score");
    ASSERT_TRUE(rules.problems.empty()) << DescribeProblems(rules);
    ASSERT_EQ(rules.rules.size(), 7u);
    EXPECT_EQ(rules.rules[0].groups, (std::vector<std::string>{"comp.os.linux.*", "fj.os.linux"}));
    EXPECT_EQ(rules.rules[0].expires, ParseScoreDate("12/31/2030"));
    EXPECT_EQ(rules.rules[1].expires, ParseScoreDate("01/01/2020"));
    EXPECT_EQ(rules.rules[1].firstLine, 7);
    EXPECT_EQ(rules.rules[1].endLine, 11);

    const struct {
        const char* group;
        const char* subject;
        const char* from;
        std::int64_t lines;
        int score;
    } rows[] = {
        {"comp.os.linux.misc", "swap space", "x@y", 10, -10},
        {"comp.os.linux.misc", "linux swap", "x@y", 10, -10}, // the "=" rule has expired
        {"fj.os.linux", "swap", "larry@z", 10, 10},
        {"rec.arts", "swap", "tux@z", 900, 17},
        {"rec.arts", "The FAQ", "x@y", 900, 0},                // word FAQ: the negated test fails
        {"rec.arts", "FAQs", "x@y", 900, -3},
        {"rec.arts", "hello", "linus@z", 10, 9999},           // special value: later rules do not count
        {"fj.comp", "kernel", "b@z", 10, 7},
        {"fj.comp", "kernel", "c@z", 10, 0},
    };
    for (const auto& r : rows) {
        CArticle a;
        a.m_strSubject = r.subject;
        a.m_strFrom = r.from;
        a.m_nLines = r.lines;
        EXPECT_EQ(GroupScorer(rules, r.group, kNow).Score(ScoreInputOf(a)), r.score) << r.group << " " << r.subject;
    }
}

TEST(ScoreFile, DamagedFilesAreReportedByLine)
{
    const struct {
        std::string text;
        std::vector<int> lines; // of the problems
        std::size_t rules;      // that still apply
    } rows[] = {
        {"[a]\nScore: 1\nSubject: (unclosed\nScore: 2\nSubject: ok\n", {3}, 1},
        {"[a]\nScore: 1\nOrganization: x\nScore: 2\nFrom: ok\n", {3}, 1},
        {"[a]\nScore: 1\nExpires: 13/45/2020\nSubject: x\nScore: 1\nExpires: 2/29/2023\nSubject: y\n", {3, 6}, 0},
        {"[a]\nScore: lots\nSubject: x\n", {2}, 0},
        {"[a]\nScore: 99999999999\nSubject: x\n", {2}, 0},
        {"[a]\nScore: 1\nLines: many\n", {3}, 0},
        {"Score: 1\nSubject: x\n", {1}, 0},
        {"[a\nScore: 1\nSubject: x\n", {1, 2}, 0},
        {"[a]\nSubject: x\nScore: 1\n", {2, 3}, 0},
        {"[a]\nScore: 1\n}\nSubject: x\n", {3}, 0},
        {"[a]\nScore: 1\n~: x\nScore: 2\nSubject: y\n", {3}, 1},
        {"[a]\nScore: 1\nSubject: \xff\xfe\n", {3}, 0},           // not UTF-8
        {std::string("[a]\nScore: 1\nSubj\0ect: x\n", 24), {3}, 0},
        {"[a]\nScore: 1\nSubject: (a+)+$\nScore: 2\nSubject: \\\n", {5}, 1},
        {"[a]\ninclude /nonexistent/score\nScore: 1\nFrom: x\n", {2}, 1},
    };
    for (const auto& r : rows) {
        const ScoreRules rules = ParseScoreText(r.text, "/home/u/score");
        std::vector<int> lines;
        for (const ScoreProblem& p : rules.problems) {
            lines.push_back(p.line);
            EXPECT_EQ(p.file, "/home/u/score");
        }
        EXPECT_EQ(lines, r.lines) << r.text;
        EXPECT_EQ(rules.rules.size(), r.rules) << r.text;
    }
}

// Patterns of one field are first searched together; each must still count
// exactly as it does alone, back references and quoting included.
TEST(ScoreFile, PatternsSearchedTogetherCountAsAlone)
{
    const char* patterns[] = {"(.)\\1", "\\Qa.b", "^Re:", "質問$", "x|y", "\\<z\\>"};
    std::string text = "[*]\n";
    for (std::size_t i = 0; i < std::size(patterns); ++i)
        text += "Score: " + std::to_string(1 << i) + "\nSubject: " + patterns[i] + "\n";
    const ScoreRules rules = ParseScoreText(text, "t");
    ASSERT_EQ(rules.rules.size(), std::size(patterns)) << DescribeProblems(rules);
    const GroupScorer together(rules, "g", kNow);
    for (const char* subject : {"aab", "a.b", "axb", "Re: 質問", "yes", "a z b", "zz", "none", ""}) {
        CArticle a;
        a.m_strSubject = textcodec::Utf8ToSjis(subject);
        int alone = 0;
        for (const ScoreRule& r : rules.rules) {
            ScoreRules one;
            one.rules.push_back(r);
            alone += GroupScorer(one, "g", kNow).Score(ScoreInputOf(a));
        }
        EXPECT_EQ(together.Score(ScoreInputOf(a)), alone) << subject;
    }
}

TEST(ScoreFile, CatastrophicPatternGivesUp)
{
    const ScoreRules rules = ParseScoreText("[a]\nScore: 1\nSubject: ^(a|aa)+$\n", "t");
    ASSERT_EQ(rules.rules.size(), 1u);
    CArticle a;
    a.m_strSubject = std::string(5000, 'a') + "b";
    EXPECT_EQ(GroupScorer(rules, "a", kNow).Score(ScoreInputOf(a)), 0);
}

TEST(ScoreFile, GarbageAndHugeFilesStayBounded)
{
    std::mt19937 random(33);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    const ScoreRules fromGarbage = ParseScoreText(garbage, "g");
    EXPECT_LE(fromGarbage.problems.size(), ScoreLimits{}.maxProblems);
    EXPECT_GT(fromGarbage.problems.size() + fromGarbage.problemsDropped, 0u);

    // 100 MB: one line without an end, then rule after rule.
    testutil::ScratchDir dir;
    const auto path = dir / "score";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 20; ++i)
            out << chunk;
        out << "\n[*]\n";
        const std::string rule = "Score: -1\nSubject: spam\n";
        for (std::size_t written = 0; written < 80u << 20; written += rule.size())
            out << rule;
    }
    ScoreLimits limits;
    limits.maxRules = 5'000;
    const ScoreRules big = LoadScoreFile(path, limits);
    EXPECT_EQ(big.rules.size(), limits.maxRules);
    ASSERT_EQ(big.problems.size(), 2u);
    EXPECT_EQ(big.problems[0].line, 1); // the overlong line
    EXPECT_GT(big.problems[1].line, 10'000);
}

TEST(ScoreFile, IncludedFilesAndTheirBounds)
{
    testutil::ScratchDir dir;
    ASSERT_TRUE(testutil::WriteFile(dir / "main", "[fj.*]\ninclude more\nScore: 1\nFrom: a\n"));
    ASSERT_TRUE(testutil::WriteFile(dir / "more", "Score: 2\nFrom: b\n[x]\nScore: 3\nFrom: c\n"));
    ASSERT_TRUE(testutil::WriteFile(dir / "loop", "[*]\nScore: 1\nFrom: a\ninclude loop\ninclude loop\n"));
    const ScoreRules rules = LoadScoreFile(dir / "main");
    ASSERT_TRUE(rules.problems.empty()) << DescribeProblems(rules);
    ASSERT_EQ(rules.rules.size(), 3u);
    // The included file starts in the including section; its own sections end there.
    EXPECT_EQ(rules.rules[0].source, dir / "more");
    EXPECT_EQ(rules.rules[0].groups, std::vector<std::string>{"fj.*"});
    EXPECT_EQ(rules.rules[2].groups, std::vector<std::string>{"fj.*"});

    ScoreLimits limits;
    limits.maxIncludeDepth = 4;
    const ScoreRules loop = LoadScoreFile(dir / "loop", limits);
    EXPECT_EQ(loop.rules.size(), 31u); // 1 + 2 + 4 + 8 + 16 files read
    ASSERT_FALSE(loop.problems.empty());
    EXPECT_EQ(loop.problems.front().text, "includes nested too deep");
}

TEST(ScoreFile, Dates)
{
    EXPECT_EQ(ParseScoreDate("1/1/1970"), 0);
    EXPECT_EQ(ParseScoreDate("12/07/2026"), kToday);
    EXPECT_EQ(ParseScoreDate("7-12-2026"), kToday);
    EXPECT_EQ(FormatScoreDate(kToday), "12/7/2026");
    for (const char* bad : {"", "12/7", "0/1/2020", "2/30/2024", "1/1/1969", "a/b/c", "1/1/2020x"})
        EXPECT_EQ(ParseScoreDate(bad), -1) << bad;
}

TEST(ScoreFile, GroupPatterns)
{
    const struct {
        const char* pattern;
        const char* group;
        bool match;
    } rows[] = {
        {"*", "fj.test", true},       {"fj.*", "fj.test", true},  {"fj.*", "fjx.test", false},
        {"FJ.Test", "fj.test", true}, {"*.test", "fj.test", true}, {"fj.*.x", "fj.a.b.x", true},
        {"fj.test", "fj.tests", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ScoreGroupMatches(r.pattern, r.group), r.match) << r.pattern << " " << r.group;
}

// The commands' rules go to the file, read back, apply, and expire.
TEST(ScoreWrite, CommandRulesRoundTrip)
{
    testutil::ScratchDir dir;
    const auto path = dir / "conf" / "score";
    const std::string own = "% my own rules\n[fj.*]\nScore: 5\nSubject: 質問\n";
    ASSERT_TRUE(std::filesystem::create_directories(path.parent_path()));
    ASSERT_TRUE(testutil::WriteFile(path, own));

    const auto author = Article(1, "x", "山田太郎 <taro+news@example.jp>", "", 1);
    const auto reply = Article(2, "Re: x", "b", "<root@x> <1@example.jp>", 1);
    const auto root = Article(3, "x", "c", "", 1);
    root->m_strMessageID = "<root@x>";
    std::string error;
    ASSERT_TRUE(AppendScoreEntry(path, IgnoreAuthorEntry("fj.test", author->m_strFrom, kToday + 30), error)) << error;
    ASSERT_TRUE(AppendScoreEntry(path, ThreadEntry("fj.test", ThreadRootOf(reply->m_strReferences, ""), 100,
                                                   kToday - 1), error)) << error;
    const std::string text = testutil::ReadFile(path);
    EXPECT_EQ(text.rfind(own, 0), 0u) << text;
    EXPECT_NE(text.find("From: ^山田太郎 <taro\\+news@example\\.jp>$"), std::string::npos) << text;

    const ScoreRules rules = LoadScoreFile(path);
    ASSERT_TRUE(rules.problems.empty()) << DescribeProblems(rules);
    ASSERT_EQ(rules.rules.size(), 3u);
    const GroupScorer today(rules, "fj.test", kNow);
    EXPECT_EQ(today.Score(ScoreInputOf(*author)), -9999);
    EXPECT_EQ(today.Score(ScoreInputOf(*reply)), 0); // the watch rule expired yesterday
    const GroupScorer before(rules, "fj.test", kNow - 2 * 86400);
    EXPECT_EQ(before.Score(ScoreInputOf(*reply)), 100);
    EXPECT_EQ(before.Score(ScoreInputOf(*root)), 100);
    EXPECT_EQ(GroupScorer(rules, "fj.test", kNow + 31 * 86400).Score(ScoreInputOf(*author)), 0);
    EXPECT_EQ(GroupScorer(rules, "fj.other", kNow).Score(ScoreInputOf(*author)), 0);

    // Changing a rule moves it to the end; the user's own lines stay as they were.
    ScoreEntry changed = EntryOfRule(rules.rules[1]);
    changed.value = -50;
    changed.set = false;
    ASSERT_TRUE(ReplaceScoreRule(rules.rules[1], changed, error)) << error;
    const ScoreRules after = LoadScoreFile(path);
    ASSERT_EQ(after.rules.size(), 3u) << DescribeProblems(after);
    EXPECT_EQ(after.rules[2].value, -50);
    EXPECT_EQ(testutil::ReadFile(path).rfind(own, 0), 0u);
    EXPECT_EQ(GroupScorer(after, "fj.test", kNow).Score(ScoreInputOf(*author)), -50);

    // A rule read before the file changed is not removed blindly.
    ASSERT_TRUE(RemoveScoreRule(after.rules[1], error)) << error;
    EXPECT_FALSE(RemoveScoreRule(after.rules[2], error));
    EXPECT_EQ(LoadScoreFile(path).rules.size(), 2u);
}

// A changed rule keeps the tests the editor does not show, nested blocks included.
TEST(ScoreWrite, ChangingKeepsTheOtherTests)
{
    testutil::ScratchDir dir;
    const auto path = dir / "score";
    ASSERT_TRUE(testutil::WriteFile(path, "[fj.*]\nScore:: 5\n  % why\n  Subject: a\n  Expires: 1/1/2030\n"
                                          "  {:\n    From: b\n    ~Lines: 3\n  }\nScore: 1\nFrom: z\n"));
    const ScoreRules rules = LoadScoreFile(path);
    ASSERT_EQ(rules.rules.size(), 2u) << DescribeProblems(rules);
    ScoreEntry e = EntryOfRule(rules.rules[0]);
    EXPECT_TRUE(e.any);
    EXPECT_EQ(e.expires, ParseScoreDate("1/1/2030"));
    ASSERT_EQ(e.tests.size(), 1u);
    EXPECT_EQ(e.tests[0].pattern, "a");
    e.tests[0].pattern = "c";
    std::string error;
    ASSERT_TRUE(ReplaceScoreRule(rules.rules[0], e, error)) << error;
    const ScoreRules after = LoadScoreFile(path);
    ASSERT_EQ(after.rules.size(), 2u) << DescribeProblems(after);
    const ScoreRule& r = after.rules[1];
    EXPECT_FALSE(r.test.all);
    EXPECT_EQ(r.expires, ParseScoreDate("1/1/2030"));
    ASSERT_EQ(r.test.exprs.size(), 1u);
    EXPECT_EQ(r.test.exprs[0].pattern, "c");
    ASSERT_EQ(r.test.blocks.size(), 1u);
    EXPECT_EQ(r.test.blocks[0].exprs.size(), 2u);
    EXPECT_NE(testutil::ReadFile(path).find("% why"), std::string::npos);
}

TEST(ScoreWrite, EntriesThatWouldBreakTheFileAreRefused)
{
    const ScoreEntry good{"fj.test", -5, false, false, 0, {{"Subject", false, "a"}}, {}};
    EXPECT_EQ(CheckScoreEntry(good), "");
    const struct {
        ScoreEntry entry;
    } rows[] = {
        {{"fj]test", -5, false, false, 0, {{"Subject", false, "a"}}, {}}},
        {{"fj.test", -5, false, false, 0, {{"Subject", false, "a\nScore: 9999"}}, {}}},
        {{"fj.test", -5, false, false, 0, {{"Subject", false, "(a"}}, {}}},
        {{"fj.test", -5, false, false, 0, {{"Sub ject", false, "a"}}, {}}},
        {{"fj.test", -5, false, false, 0, {}, {}}},
    };
    for (const auto& r : rows)
        EXPECT_NE(CheckScoreEntry(r.entry), "") << FormatScoreEntry(r.entry);
}

class OfferedRulesTest : public ::testing::Test {
protected:
    OfferedRulesTest() : registry_(dir_ / "registry") {}
    testutil::ScratchDir dir_;
    platform::Registry registry_;
};

TEST_F(OfferedRulesTest, OffUntilChosen)
{
    const struct {
        const char* subject;
        bool capitals;
    } rows[] = {
        {"BUY CHEAP WATCHES", true}, {"Re: FREE MONEY!!", true}, {"ＦＲＥＥ　ＭＯＮＥＹ", true},
        {"NASA news", false},        {"ABC 日本語", false},       {"Ｆｒｅｅ ＭＯＮＥＹ", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SubjectInCapitals(r.subject), r.capitals) << r.subject;

    ScoreSettings settings = ScoreSettings::Read(registry_);
    settings.file = dir_ / "none";
    ScoreBook book(registry_);
    ASSERT_TRUE(book.SetSettings(settings));
    std::vector<std::unique_ptr<CArticle>> list;
    list.push_back(Article(1, "BUY CHEAP WATCHES", "a", "", 1, 3, "h a:1 b:1 c:1 d:1 e:1 f:1 g:1"));
    list.push_back(Article(2, "Re: old", "b", "<9@example.jp>", 1));
    list.push_back(Article(9, "old", "c", "", 500));
    for (int i = 0; i < 4; ++i)
        list.push_back(Article(20 + i, "flood", "f", "", 0));
    auto scores = [&] {
        book.OpenGroup("fj.test", kNow, true);
        std::vector<int> out;
        for (const auto& a : list)
            book.Apply(*a);
        book.ApplyToList(list);
        for (const auto& a : list)
            out.push_back(a->m_bKilled ? a->m_nScore : 0);
        return out;
    };
    EXPECT_EQ(scores(), std::vector<int>(7, 0));

    settings.offered = {true, 365, true, true, 5, true, 3, -9999};
    ASSERT_TRUE(book.SetSettings(settings));
    EXPECT_EQ(ScoreSettings::Read(registry_).offered.floodPerDay, 3);
    EXPECT_EQ(scores(), (std::vector<int>{-19998, -9999, 0, -9999, -9999, -9999, -9999}));

    // A file written meanwhile is read at the next group opening.
    settings.offered = {};
    settings.file = dir_ / "score";
    ASSERT_TRUE(book.SetSettings(settings));
    EXPECT_EQ(scores(), std::vector<int>(7, 0));
    ASSERT_TRUE(testutil::WriteFile(settings.file, "[fj.*]\nScore: =-9999\nSubject: old$\n"));
    EXPECT_EQ(scores(), (std::vector<int>{0, -9999, -9999, 0, 0, 0, 0}));
    EXPECT_EQ(book.TakeProblems(), "");
    ASSERT_TRUE(testutil::WriteFile(settings.file, "[fj.*]\nScore: =-9999\nSubject: ((old\n"));
    EXPECT_EQ(scores(), std::vector<int>(7, 0));
    EXPECT_NE(book.TakeProblems().find("score:3: bad pattern"), std::string::npos);
    EXPECT_EQ(book.TakeProblems(), "");
}

} // namespace
