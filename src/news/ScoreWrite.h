#pragma once
// Rules written into the score file: the commands' kill and watch rules and
// the editor's changes. What is written stays readable by slrn and Pan; a
// change never touches lines of the file other than the rule's own.

#include "news/ScoreFile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace news {

struct ScoreEntryTest {
    std::string field;   // "Subject", "From", ...
    bool negate = false;
    std::string pattern; // UTF-8
};

struct ScoreEntry {
    std::string group;   // the section's group pattern(s), "fj.*" or "a.b, c.*"
    int value = 0;
    bool set = false;    // "=N"
    bool any = false;    // "Score::": one test suffices
    std::int64_t expires = 0; // last day, days since 1970; 0 never
    std::vector<ScoreEntryTest> tests;
    std::vector<std::string> extraLines; // further lines of a changed rule, kept as they were
};

// The entry as a block of the file, between %BOS and %EOS marks.
std::string FormatScoreEntry(const ScoreEntry& entry);
// Empty when the entry parses into exactly one rule; else what is wrong.
std::string CheckScoreEntry(const ScoreEntry& entry);

// Adds the entry at the end of file (made when missing); false with error set when refused.
bool AppendScoreEntry(const std::filesystem::path& file, const ScoreEntry& entry, std::string& error);
// Takes the rule's lines out of its file, after checking they are still what was read.
bool RemoveScoreRule(const ScoreRule& rule, std::string& error);
// The rule's lines out and the entry at the end (a rule in the middle of a
// section cannot change its group there).
bool ReplaceScoreRule(const ScoreRule& rule, const ScoreEntry& entry, std::string& error);

// The entry an existing rule reads as: its first top-level test is the
// editable one; the other lines go to extraLines.
ScoreEntry EntryOfRule(const ScoreRule& rule);

// The commands' rules. group is the open group's name, texts are Shift_JIS
// as the article list holds them.
ScoreEntry IgnoreAuthorEntry(const std::string& group, const std::string& fromSjis, std::int64_t expires);
ScoreEntry ThreadEntry(const std::string& group, const std::string& threadRootId, int value, std::int64_t expires);

// The Message-ID a thread is known by: the first of the References chain, or its own.
std::string ThreadRootOf(const std::string& references, const std::string& messageId);

} // namespace news
