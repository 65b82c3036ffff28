#pragma once
// Scoring one article against the rules of its group.

#include "news/ScoreFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace news {

struct CArticle;

// What the tests look at: the header texts as UTF-8 (valid, whatever the
// article held), the counts and the date.
struct ScoreInput {
    std::string subject, from, references, messageId, xref;
    std::int64_t lines = 0;
    std::int64_t bytes = 0;
    std::int64_t date = 0; // seconds since 1970; 0 unknown
};
ScoreInput ScoreInputOf(const CArticle& article);

// The unexpired rules of one group, in file order. Holds pointers into the
// rules, which must outlive it.
class GroupScorer {
public:
    GroupScorer() = default;
    GroupScorer(const ScoreRules& rules, std::string group, std::int64_t now);
    int Score(const ScoreInput& input) const;
    bool Passes(const ScoreRule& rule, const ScoreInput& input) const;
    std::size_t RuleCount() const { return rules_.size(); }

private:
    // Per article: for each text field, unknown (-1), or whether any of the
    // group's joinable patterns of that field can match (the alternation of
    // them all is searched once, so most patterns never run).
    using FieldHits = std::array<signed char, 5>;
    bool Passes(const ScoreTest& test, const ScoreInput& input, FieldHits& hits) const;
    bool Matches(const ScoreExpr& e, const ScoreInput& input, FieldHits& hits) const;
    void JoinPatterns();

    std::vector<const ScoreRule*> rules_;
    std::array<std::shared_ptr<ScoreRegex>, 5> joined_;
    std::string group_;
    std::int64_t now_ = 0;
};

// slrn's special values: a rule giving one of them ends the scoring.
inline constexpr int kScoreKill = -9999;
inline constexpr int kScoreWatch = 9999;

} // namespace news
