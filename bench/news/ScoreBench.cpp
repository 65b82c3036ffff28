// Scoring 100 000 articles against 200 rules, against the floor of the same
// patterns matched by bare PCRE2 over ready UTF-8 texts, in one run; and the
// heap the scoring takes (times are CPU time), which must not grow with the articles.
//   bench_score [ARTICLES] [RULES]

#include "news/Article.h"
#include "news/ScoreFile.h"
#include "news/ScoreMatch.h"
#include "textcodec/Charsets.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <malloc.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace news;

namespace {

// CPU time of this process: the machine is shared, and waiting for a core is not our cost.
struct Clock {
    static double Now()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    }
};
using TimePoint = double;
double Since(TimePoint t) { return Clock::Now() - t; }

std::size_t Heap() { return mallinfo2().uordblks; }

const char* const kWords[] = {"日本語", "質問", "Linux", "カーネル", "お知らせ", "BUY", "cheap", "ニュース",
                              "テスト", "返信", "watch", "sale", "募集", "感想", "update"};

std::string Rules(int count)
{
    std::string text = "[fj.*, japan.*]\n";
    for (int i = 0; i < count; ++i) {
        const std::string w = kWords[i % std::size(kWords)];
        text += "Score: " + std::to_string(-(i % 7) - 1) + "\n";
        switch (i % 5) {
        case 0: text += "Subject: " + w + std::to_string(i) + "\n"; break;
        case 1: text += "From: ^user" + std::to_string(i) + "@\n"; break;
        case 2: text += "Subject: \\<" + w + "\\>\nLines: " + std::to_string(i) + "\n"; break;
        case 3: text += "~Subject: ^Re:\nReferences: <thread" + std::to_string(i) + "@\n"; break;
        default: text += "Xref: japan\\.test" + std::to_string(i) + ":\n"; break;
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const int articles = argc > 1 ? std::atoi(argv[1]) : 100'000;
    const int ruleCount = argc > 2 ? std::atoi(argv[2]) : 200;

    std::vector<CArticle> list(static_cast<std::size_t>(articles));
    for (int i = 0; i < articles; ++i) {
        CArticle& a = list[static_cast<std::size_t>(i)];
        a.m_nNumber = i + 1;
        const std::string w = kWords[i % std::size(kWords)];
        a.m_strSubject = textcodec::Utf8ToSjis((i % 3 ? "Re: " : "") + w + " についての話 " + std::to_string(i % 977));
        a.m_strFrom = textcodec::Utf8ToSjis("投稿者" + std::to_string(i % 5000) + " <user" + std::to_string(i % 5000) +
                                            "@example.jp>");
        a.m_strMessageID = "<" + std::to_string(i) + "@example.jp>";
        a.m_strReferences = i % 3 ? "<thread" + std::to_string(i % 400) + "@example.jp>" : "";
        a.m_strXref = "news.example fj.test:" + std::to_string(i) + " japan.test" + std::to_string(i % 50) + ":1";
        a.m_nLines = i % 300;
        a.m_timeDate = 1'790'000'000 - i * 60LL;
    }

    const std::string text = Rules(ruleCount);
    const std::size_t heap0 = Heap();
    auto t = Clock::Now();
    const ScoreRules rules = ParseScoreText(text, "bench");
    const double loadMs = Since(t);
    const std::size_t heapRules = Heap() - heap0;
    if (!rules.problems.empty()) {
        std::fprintf(stderr, "%s", DescribeProblems(rules).c_str());
        return 1;
    }

    const GroupScorer scorer(rules, "fj.test", 1'790'000'000);
    const std::size_t heap1 = Heap();
    std::size_t heapPeak = 0;
    t = Clock::Now();
    long long total = 0;
    for (const CArticle& a : list) {
        total += scorer.Score(ScoreInputOf(a));
        if ((a.m_nNumber & 0x3fff) == 0)
            heapPeak = std::max(heapPeak, Heap() - heap1);
    }
    const double scoreMs = Since(t);

    // The floor: every pattern over every article's subject, from UTF-8 already made.
    std::vector<pcre2_code*> codes;
    for (const ScoreRule& r : rules.rules)
        for (const ScoreExpr& e : r.test.exprs)
            if (e.regex) {
                int err = 0;
                PCRE2_SIZE off = 0;
                const std::string p = TranslateSlrnPattern(e.pattern);
                pcre2_code* c = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.data()), p.size(),
                                              PCRE2_UTF | PCRE2_CASELESS, &err, &off, nullptr);
                pcre2_jit_compile(c, PCRE2_JIT_COMPLETE);
                codes.push_back(c);
            }
    std::vector<std::string> subjects;
    for (const CArticle& a : list)
        subjects.push_back(textcodec::SjisToUtf8(a.m_strSubject));
    pcre2_match_data* md = pcre2_match_data_create(1, nullptr);
    t = Clock::Now();
    long long hits = 0;
    for (const std::string& s : subjects)
        for (pcre2_code* c : codes)
            hits += pcre2_jit_match(c, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, md, nullptr) >= 0;
    const double floorMs = Since(t);
    pcre2_match_data_free(md);
    for (pcre2_code* c : codes)
        pcre2_code_free(c);

    std::printf("rules %zu (%d asked), articles %d\n", rules.rules.size(), ruleCount, articles);
    std::printf("load and compile     %8.1f ms, heap %zu KB (%.1f KB a rule)\n", loadMs, heapRules / 1024,
                heapRules / 1024.0 / static_cast<double>(rules.rules.size()));
    std::printf("score all articles   %8.1f ms CPU (total score %lld)\n", scoreMs, total);
    std::printf("bare PCRE2 floor     %8.1f ms (%zu patterns x subjects, %lld hits)\n", floorMs, codes.size(), hits);
    std::printf("ratio to the floor   %8.2f\n", scoreMs / floorMs);
    std::printf("heap growth while scoring: %zu bytes\n", heapPeak);
    return scoreMs < 1000.0 ? 0 : 2;
}
