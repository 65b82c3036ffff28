// A score file parsed, its rules applied to a few articles, and each rule
// turned back into an entry: nothing may crash, the bounds must hold, and a
// rule's lines must lie inside the file.
#include "news/Article.h"
#include "news/ScoreFile.h"
#include "news/ScoreMatch.h"
#include "news/ScoreWrite.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace news;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ScoreLimits limits;
    limits.maxRules = 200;
    limits.maxTests = 400;
    limits.maxProblems = 50;
    limits.maxLineBytes = 4096;
    limits.maxIncludeDepth = 0;
    const ScoreRules rules = ParseScoreText(text, "fuzz");
    const ScoreRules bounded = ParseScoreText(text, "fuzz", limits);
    if (bounded.rules.size() > limits.maxRules || bounded.problems.size() > limits.maxProblems)
        std::abort();
    std::size_t lines = 1;
    for (const char c : text)
        lines += c == '\n';
    for (const ScoreRule& r : rules.rules) {
        if (r.firstLine < 1 || r.endLine <= r.firstLine || static_cast<std::size_t>(r.endLine) > lines + 1)
            std::abort();
        if (r.test.exprs.empty() && r.test.blocks.empty())
            std::abort();
    }
    CArticle articles[3];
    articles[0].m_strSubject = "\x93\xfa\x96\x7b\x8c\xea BUY NOW";
    articles[0].m_strFrom = "Taro <t@example.jp>";
    articles[1].m_strSubject = std::string(text.substr(0, 200));
    articles[1].m_strReferences = "<a@b> <c@d>";
    articles[1].m_nLines = 1000;
    articles[2].m_strXref = "h a.b:1 c.d:2";
    articles[2].m_timeDate = 1'700'000'000;
    for (const char* group : {"fj.test", "comp.os.linux.misc"}) {
        const GroupScorer scorer(rules, group, 1'800'000'000);
        for (const CArticle& a : articles)
            (void)scorer.Score(ScoreInputOf(a));
    }
    std::size_t n = 0;
    for (const ScoreRule& r : rules.rules) {
        if (++n > 8)
            break;
        const ScoreEntry e = EntryOfRule(r);
        if (CheckScoreEntry(e).empty() && ParseScoreText(FormatScoreEntry(e), "again").rules.size() != 1)
            std::abort();
    }
    return 0;
}
