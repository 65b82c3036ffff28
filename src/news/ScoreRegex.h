#pragma once
// One compiled score pattern (PCRE2, UTF-8, caseless, JIT when available).
// Matching is bounded so that a pathological pattern cannot hang the list.

#include <memory>
#include <string>
#include <string_view>

namespace news {

class ScoreRegex {
public:
    // nullptr and error set when the pattern does not compile.
    static std::unique_ptr<ScoreRegex> Compile(std::string_view pattern, std::string& error);
    ~ScoreRegex();
    ScoreRegex(const ScoreRegex&) = delete;
    ScoreRegex& operator=(const ScoreRegex&) = delete;

    // text must be valid UTF-8. A match that runs past the limit counts as no match.
    bool Search(std::string_view text) const;
    // Search, except that a match given up at the limit counts as possible.
    bool MayMatch(std::string_view text) const;

private:
    int Run(std::string_view text) const;
    struct Impl;
    explicit ScoreRegex(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// slrn writes word boundaries as \< and \>; PCRE2 would take them as the
// literal characters.
std::string TranslateSlrnPattern(std::string_view pattern);
// The pattern that matches text literally, with every special character
// escaped by a backslash (slrn and Pan both read it so).
std::string EscapeScorePattern(std::string_view text);

} // namespace news
