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
}

int GroupScorer::Score(const ScoreInput& input) const
{
    long long score = 0;
    for (const ScoreRule* rule : rules_) {
        if (!Passes(rule->test, input))
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

bool GroupScorer::Passes(const ScoreRule& rule, const ScoreInput& input) const { return Passes(rule.test, input); }

bool GroupScorer::Passes(const ScoreTest& test, const ScoreInput& input) const
{
    for (const ScoreExpr& e : test.exprs) {
        const bool hit = Matches(e, input) != e.negate;
        if (hit != test.all)
            return hit;
    }
    for (const ScoreTest& block : test.blocks) {
        const bool hit = Passes(block, input);
        if (hit != test.all)
            return hit;
    }
    return test.all;
}

bool GroupScorer::Matches(const ScoreExpr& e, const ScoreInput& input) const
{
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
