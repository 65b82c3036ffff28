#pragma once
// The score file: slrn's format, which Pan reads too. Sections name groups
// ("[comp.*, fj.*]"); in each, "Score: N" (all tests must pass) or
// "Score:: N" (any one) starts a rule, "=N" sets instead of adding,
// "Expires:" ends it on a date, and "Field: regex" lines (with "~" to
// negate, "{:"/"{::" ... "}" to nest) are its tests. The file is UTF-8;
// "%" and "#" start comments; "include FILE" reads another file.
//
// Loading compiles every pattern once. A line that cannot be used is
// reported with its file and line and its rule skipped; the rest apply.

#include "news/ScoreRegex.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace news {

enum class ScoreField { Subject, From, References, MessageId, Xref, Newsgroup, Lines, Bytes, Age, Other };

struct ScoreExpr {
    ScoreField field = ScoreField::Subject;
    std::string name;    // the keyword as written ("Subject", "X-Foo")
    std::string pattern; // as written, UTF-8
    bool negate = false;
    std::int64_t number = 0;            // Lines, Bytes, Age
    std::shared_ptr<ScoreRegex> regex;  // the text fields
    // The pattern means the same inside an alternation of others (no back
    // references, options or verbs), so one search of the field can rule it out.
    bool joinable = false;
};

// A test block: every expression and sub-block must pass (all), or one (!all).
struct ScoreTest {
    bool all = true;
    std::vector<ScoreExpr> exprs;
    std::vector<ScoreTest> blocks;
};

struct ScoreRule {
    std::vector<std::string> groups; // the section's group patterns
    int value = 0;
    bool set = false;                // "=N": the article gets N and no later rule counts
    std::int64_t expires = 0;        // last day it applies (days since 1970), 0 never
    ScoreTest test;
    std::filesystem::path source;    // the file it was read from
    int firstLine = 0;               // its Score line, 1-based
    int endLine = 0;                 // one past its last line
    int firstTestLine = 0;           // the line of test.exprs[0] when it is at the top level
    std::string text;                // its lines as read, to check the file before rewriting them
};

struct ScoreProblem {
    std::filesystem::path file;
    int line = 0; // 0: the file as a whole
    std::string text;
};

struct ScoreRules {
    std::vector<ScoreRule> rules;  // in file order, expired ones included
    std::vector<ScoreProblem> problems;
    std::size_t problemsDropped = 0; // beyond the ones kept
};

// Bounds that keep a huge or hostile file from holding the program.
struct ScoreLimits {
    // Each pattern holds its compiled (JIT) code, a few KB.
    std::size_t maxRules = 20'000;
    std::size_t maxTests = 60'000; // patterns in all rules together
    std::size_t maxProblems = 200;
    std::size_t maxLineBytes = 64 * 1024;
    int maxIncludeDepth = 8;
};

// Parses text read from `source` (used in problems and rules, and to find
// included files).
ScoreRules ParseScoreText(std::string_view text, const std::filesystem::path& source,
                          const ScoreLimits& limits = {});
// Reads and parses the file; a missing file is an empty set without problems.
ScoreRules LoadScoreFile(const std::filesystem::path& file, const ScoreLimits& limits = {});

// "MM/DD/YYYY" or "DD-MM-YYYY" as days since 1970; -1 when it is no date.
std::int64_t ParseScoreDate(std::string_view text);
// Days since 1970 as "MM/DD/YYYY", the form both slrn and Pan read.
std::string FormatScoreDate(std::int64_t day);
// The day (since 1970, UTC) of a time.
inline std::int64_t DayOf(std::int64_t seconds) { return seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400; }

// slrn's group wildcard: '*' any run, case ignored.
bool ScoreGroupMatches(std::string_view pattern, std::string_view group);
bool RuleAppliesToGroup(const ScoreRule& rule, std::string_view group);

// One line per problem, "file:line: text".
std::string DescribeProblems(const ScoreRules& rules);

} // namespace news
