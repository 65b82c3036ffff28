#pragma once
// The document's scoring: the settings, the loaded score file, the scorer
// of the open group and the offered rules. Memory grows with the rules, not
// with the articles scored.

#include "news/ScoreMatch.h"
#include "news/ScoreWrite.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace platform { class Registry; }

namespace news {

struct CArticle;

// Built-in rules, each off until the user turns it on.
struct OfferedRules {
    bool oldThreads = false;
    int oldThreadDays = 365;   // a reply this long after its thread began
    bool capitals = false;     // subjects in capitals only
    bool crossposts = false;
    int crosspostGroups = 5;   // more groups than this in Xref
    bool floods = false;
    int floodPerDay = 20;      // more articles than this by one author on one day
    int score = -9999;         // what each one adds
};

struct ScoreSettings {
    std::filesystem::path file;
    int killThreshold = -9999;
    OfferedRules offered;

    static constexpr const char* kSection = "Score";
    static std::filesystem::path DefaultFile();
    static ScoreSettings Read(const platform::Registry& registry);
    bool Write(platform::Registry& registry) const;
};

// Subject of at least five letters (ASCII or full-width), none of them small.
bool SubjectInCapitals(std::string_view utf8Subject);

class ScoreBook {
public:
    // registry: where the settings live (the user's own when null).
    explicit ScoreBook(platform::Registry& registry);
    ~ScoreBook();

    const ScoreSettings& Settings() const { return settings_; }
    // Stores the settings and loads the (maybe other) file.
    bool SetSettings(const ScoreSettings& settings);

    // Loads the file when it changed on disk since it was read.
    void Refresh();
    void Reload();
    const ScoreRules& Rules() const { return *rules_; }
    // Problems of the last load not reported yet; empty after it was taken.
    std::string TakeProblems();

    // From now on articles are scored for this group at this time. A fresh
    // list forgets which articles the list rules already counted.
    void OpenGroup(const std::string& group, std::int64_t now, bool freshList);
    const std::string& Group() const { return group_; }
    const GroupScorer& Scorer() const { return scorer_; }

    // Score and kill state of one arriving article.
    void Apply(CArticle& article) const;
    // The offered rules that need the whole list (old threads, floods);
    // each article is counted once per group opening. Returns the articles
    // newly killed.
    std::vector<CArticle*> ApplyToList(const std::vector<std::unique_ptr<CArticle>>& articles);

    // Edits of the file; each loads it again. False with error set when refused.
    bool Add(const ScoreEntry& entry, std::string& error);
    bool Remove(const ScoreRule& rule, std::string& error);
    bool Replace(const ScoreRule& rule, const ScoreEntry& entry, std::string& error);

private:
    void SetKilled(CArticle& article) const;

    platform::Registry& registry_;
    ScoreSettings settings_;
    std::unique_ptr<ScoreRules> rules_;
    // What the file was when read: an edit changes one of them (a rename over it the inode).
    struct Stamp {
        bool exists = false;
        std::uint64_t inode = 0, size = 0;
        std::int64_t seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const std::filesystem::path& file);
    Stamp stamp_;
    bool problemsTaken_ = true;
    std::string group_;
    std::int64_t now_ = 0;
    GroupScorer scorer_;
    std::unordered_set<std::int32_t> listHits_;
};

} // namespace news
