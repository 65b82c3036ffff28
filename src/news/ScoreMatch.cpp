#include "news/ScoreMatch.h"

#include "news/Article.h"
#include "textcodec/Charsets.h"

namespace news {

namespace {
bool IsAscii(std::string_view s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}
int TextIndex(ScoreField f)
{
    switch (f) {
    case ScoreField::Subject: return 0;
    case ScoreField::From: return 1;
    case ScoreField::References: return 2;
    case ScoreField::MessageId: return 3;
    case ScoreField::Xref: return 4;
    default: return -1;
    }
}

const std::string& TextOf(int index, const ScoreInput& in)
{
    const std::string* texts[] = {&in.subject, &in.from, &in.references, &in.messageId, &in.xref};
    return *texts[index];
}

void Collect(const ScoreTest& test, std::array<std::string, 5>& joined, std::array<int, 5>& counts)
{
    for (const ScoreExpr& e : test.exprs) {
        const int i = TextIndex(e.field);
        if (i < 0 || !e.joinable)
            continue;
        joined[static_cast<std::size_t>(i)] += (counts[static_cast<std::size_t>(i)]++ ? "|(?:" : "(?:") + e.pattern + ")";
    }
    for (const ScoreTest& block : test.blocks)
        Collect(block, joined, counts);
}

// Identifiers and Xref are ASCII in practice; only stray 8-bit bytes pay for a conversion.
std::string AsUtf8(std::string_view sjis) { return IsAscii(sjis) ? std::string(sjis) : textcodec::SjisToUtf8(sjis); }
} // namespace

ScoreInput ScoreInputOf(const CArticle& article)
{
    ScoreInput in;
    in.subject = AsUtf8(article.m_strSubject);
    in.from = AsUtf8(article.m_strFrom);
    in.references = AsUtf8(article.m_strReferences);
    in.messageId = AsUtf8(article.m_strMessageID);
    in.xref = AsUtf8(article.m_strXref);
    in.lines = article.m_nLines;
    in.bytes = article.m_nBytes;
    in.date = article.m_timeDate;
    return in;
}

GroupScorer::GroupScorer(const ScoreRules& rules, std::string group, std::int64_t now)
    : group_(AsUtf8(group)), now_(now)
{
    const std::int64_t today = DayOf(now);
    for (const ScoreRule& rule : rules.rules)
        if ((rule.expires == 0 || rule.expires >= today) && RuleAppliesToGroup(rule, group_))
            rules_.push_back(&rule);
    JoinPatterns();
}

void GroupScorer::JoinPatterns()
{
    std::array<std::string, 5> joined;
    std::array<int, 5> counts{};
    for (const ScoreRule* rule : rules_)
        Collect(rule->test, joined, counts);
    for (std::size_t i = 0; i < joined.size(); ++i) {
        // A single pattern gains nothing; one that does not compile joined is simply not used.
        if (counts[i] < 2)
            continue;
        std::string error;
        joined_[i] = ScoreRegex::Compile(joined[i], error);
    }
}

int GroupScorer::Score(const ScoreInput& input) const
{
    long long score = 0;
    FieldHits hits;
    hits.fill(-1);
    for (const ScoreRule* rule : rules_) {
        if (!Passes(rule->test, input, hits))
            continue;
        if (rule->set || rule->value == kScoreKill || rule->value == kScoreWatch)
            return rule->value;
        score += rule->value;
    }
    if (score > 1'000'000'000)
        return 1'000'000'000;
    if (score < -1'000'000'000)
        return -1'000'000'000;
    return static_cast<int>(score);
}

bool GroupScorer::Passes(const ScoreRule& rule, const ScoreInput& input) const
{
    FieldHits hits;
    hits.fill(-1);
    return Passes(rule.test, input, hits);
}

bool GroupScorer::Passes(const ScoreTest& test, const ScoreInput& input, FieldHits& hits) const
{
    // Counts before patterns: they are cheap and often settle the rule.
    for (const bool patterns : {false, true})
        for (const ScoreExpr& e : test.exprs) {
            if (static_cast<bool>(e.regex) != patterns)
                continue;
            const bool hit = Matches(e, input, hits) != e.negate;
            if (hit != test.all)
                return hit;
        }
    for (const ScoreTest& block : test.blocks) {
        const bool hit = Passes(block, input, hits);
        if (hit != test.all)
            return hit;
    }
    return test.all;
}

bool GroupScorer::Matches(const ScoreExpr& e, const ScoreInput& input, FieldHits& hits) const
{
    const int text = TextIndex(e.field);
    if (text >= 0 && e.joinable) {
        const auto i = static_cast<std::size_t>(text);
        if (joined_[i]) {
            if (hits[i] < 0)
                hits[i] = joined_[i]->MayMatch(TextOf(text, input)) ? 1 : 0;
            if (!hits[i])
                return false;
        }
    }
    switch (e.field) {
    case ScoreField::Subject: return e.regex->Search(input.subject);
    case ScoreField::From: return e.regex->Search(input.from);
    case ScoreField::References: return e.regex->Search(input.references);
    case ScoreField::MessageId: return e.regex->Search(input.messageId);
    case ScoreField::Xref: return e.regex->Search(input.xref);
    case ScoreField::Newsgroup: return e.regex->Search(group_);
    case ScoreField::Lines: return input.lines > e.number;
    case ScoreField::Bytes: return input.bytes > e.number;
    case ScoreField::Age:
        // An undated article has no age to be young by.
        return input.date > 0 && (now_ - input.date) / 86400 <= e.number;
    case ScoreField::Other: break;
    }
    return false;
}

} // namespace news
