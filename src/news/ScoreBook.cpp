#include "news/ScoreBook.h"

#include "news/Article.h"
#include "platform/Registry.h"
#include "textcodec/Charsets.h"

#include <algorithm>
#include <optional>
#include <sys/stat.h>
#include <map>
#include <unordered_map>

namespace news {

std::filesystem::path ScoreSettings::DefaultFile()
{
    return platform::Registry::UserStorePath().parent_path() / "score";
}

ScoreSettings ScoreSettings::Read(const platform::Registry& r)
{
    ScoreSettings s;
    const std::string file = r.GetString(kSection, "strFile");
    s.file = file.empty() ? DefaultFile() : std::filesystem::path(file);
    s.killThreshold = r.GetInt(kSection, "nKillThreshold", s.killThreshold);
    OfferedRules& o = s.offered;
    auto days = [](int v, int def) { return v >= 1 && v <= 100'000 ? v : def; };
    o.oldThreads = r.GetInt(kSection, "bOldThreads", 0) != 0;
    o.oldThreadDays = days(r.GetInt(kSection, "nOldThreadDays", o.oldThreadDays), o.oldThreadDays);
    o.capitals = r.GetInt(kSection, "bCapitals", 0) != 0;
    o.crossposts = r.GetInt(kSection, "bCrossposts", 0) != 0;
    o.crosspostGroups = days(r.GetInt(kSection, "nCrosspostGroups", o.crosspostGroups), o.crosspostGroups);
    o.floods = r.GetInt(kSection, "bFloods", 0) != 0;
    o.floodPerDay = days(r.GetInt(kSection, "nFloodPerDay", o.floodPerDay), o.floodPerDay);
    o.score = r.GetInt(kSection, "nOfferedScore", o.score);
    return s;
}

bool ScoreSettings::Write(platform::Registry& r) const
{
    bool ok = r.WriteString(kSection, "strFile", file == DefaultFile() ? std::string() : file.string());
    ok &= r.WriteInt(kSection, "nKillThreshold", killThreshold);
    ok &= r.WriteInt(kSection, "bOldThreads", offered.oldThreads);
    ok &= r.WriteInt(kSection, "nOldThreadDays", offered.oldThreadDays);
    ok &= r.WriteInt(kSection, "bCapitals", offered.capitals);
    ok &= r.WriteInt(kSection, "bCrossposts", offered.crossposts);
    ok &= r.WriteInt(kSection, "nCrosspostGroups", offered.crosspostGroups);
    ok &= r.WriteInt(kSection, "bFloods", offered.floods);
    ok &= r.WriteInt(kSection, "nFloodPerDay", offered.floodPerDay);
    ok &= r.WriteInt(kSection, "nOfferedScore", offered.score);
    return ok;
}

bool SubjectInCapitals(std::string_view s)
{
    // Replies keep their "Re:" whatever the subject's case.
    while (s.size() >= 3 && (s[0] == 'R' || s[0] == 'r') && (s[1] == 'E' || s[1] == 'e') && s[2] == ':') {
        s.remove_prefix(3);
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
    }
    int capitals = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'a' && c <= 'z')
            return false;
        if (c >= 'A' && c <= 'Z')
            ++capitals;
        // Full-width Ａ-Ｚ (EF BC A1-BA) and ａ-ｚ (EF BD 81-9A).
        if (c == 0xEF && i + 2 < s.size()) {
            const auto b = static_cast<unsigned char>(s[i + 1]), t = static_cast<unsigned char>(s[i + 2]);
            if (b == 0xBC && t >= 0xA1 && t <= 0xBA)
                ++capitals;
            if (b == 0xBD && t >= 0x81 && t <= 0x9A)
                return false;
        }
    }
    return capitals >= 5;
}

ScoreBook::ScoreBook(platform::Registry& registry)
    : registry_(registry), settings_(ScoreSettings::Read(registry)),
      rules_(std::make_unique<ScoreRules>())
{
}

ScoreBook::~ScoreBook() = default;

bool ScoreBook::SetSettings(const ScoreSettings& settings)
{
    settings_ = settings;
    const bool ok = settings_.Write(registry_);
    Reload();
    return ok;
}

ScoreBook::Stamp ScoreBook::StampOf(const std::filesystem::path& file)
{
    struct stat st {};
    Stamp s;
    if (::stat(file.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.inode = st.st_ino;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.seconds = st.st_mtim.tv_sec;
    s.nanoseconds = st.st_mtim.tv_nsec;
    return s;
}

void ScoreBook::Refresh()
{
    if (StampOf(settings_.file) != stamp_)
        Reload();
}

void ScoreBook::Reload()
{
    stamp_ = StampOf(settings_.file);
    // The scorer points into the old rules.
    scorer_ = GroupScorer();
    rules_ = std::make_unique<ScoreRules>(LoadScoreFile(settings_.file));
    problemsTaken_ = false;
    if (!group_.empty())
        scorer_ = GroupScorer(*rules_, group_, now_);
}

std::string ScoreBook::TakeProblems()
{
    if (problemsTaken_)
        return {};
    problemsTaken_ = true;
    return DescribeProblems(*rules_);
}

void ScoreBook::OpenGroup(const std::string& group, std::int64_t now, bool freshList)
{
    if (freshList || group != group_)
        listHits_.clear();
    group_ = group;
    now_ = now;
    Refresh();
    scorer_ = GroupScorer(*rules_, group_, now_);
}

void ScoreBook::SetKilled(CArticle& a) const { a.m_bKilled = a.m_nScore <= settings_.killThreshold; }

void ScoreBook::Apply(CArticle& article) const
{
    const OfferedRules& o = settings_.offered;
    // The fields' UTF-8 copies are most of the cost: made only when a rule reads them.
    std::optional<ScoreInput> input;
    auto in = [&]() -> const ScoreInput& {
        if (!input)
            input = ScoreInputOf(article);
        return *input;
    };
    long long score = scorer_.RuleCount() ? scorer_.Score(in()) : 0;
    if (o.capitals && SubjectInCapitals(in().subject))
        score += o.score;
    if (o.crossposts && ParseXref(article.m_strXref).size() > static_cast<std::size_t>(o.crosspostGroups))
        score += o.score;
    article.m_nScore = static_cast<int>(std::clamp<long long>(score, -1'000'000'000, 1'000'000'000));
    SetKilled(article);
}

std::vector<CArticle*> ScoreBook::ApplyToList(const std::vector<std::unique_ptr<CArticle>>& articles)
{
    const OfferedRules& o = settings_.offered;
    std::vector<CArticle*> killed;
    if (!o.oldThreads && !o.floods)
        return killed;
    std::vector<CArticle*> hits;
    if (o.oldThreads) {
        std::unordered_map<std::string_view, std::int64_t> dates;
        for (const auto& a : articles)
            if (a->m_timeDate > 0 && !a->m_strMessageID.empty())
                dates.emplace(a->m_strMessageID, a->m_timeDate);
        const std::int64_t limit = static_cast<std::int64_t>(o.oldThreadDays) * 86400;
        for (const auto& a : articles) {
            if (a->m_strReferences.empty() || a->m_timeDate <= 0)
                continue;
            // The thread began no later than its oldest article still listed.
            std::int64_t began = a->m_timeDate;
            std::string_view chain = a->m_strReferences;
            while (!chain.empty()) {
                const std::size_t blank = chain.find(' ');
                const auto it = dates.find(chain.substr(0, blank));
                if (it != dates.end())
                    began = std::min(began, it->second);
                if (blank == std::string_view::npos)
                    break;
                chain.remove_prefix(blank + 1);
            }
            if (a->m_timeDate - began > limit)
                hits.push_back(a.get());
        }
    }
    if (o.floods) {
        std::map<std::pair<std::string_view, std::int64_t>, int> perDay;
        for (const auto& a : articles)
            if (a->m_timeDate > 0)
                ++perDay[{a->m_strFrom, DayOf(a->m_timeDate)}];
        for (const auto& a : articles)
            if (a->m_timeDate > 0 && perDay[{a->m_strFrom, DayOf(a->m_timeDate)}] > o.floodPerDay)
                hits.push_back(a.get());
    }
    for (CArticle* a : hits) {
        if (!listHits_.insert(a->m_nNumber).second)
            continue;
        const bool was = a->m_bKilled;
        a->m_nScore = static_cast<int>(
            std::clamp<long long>(static_cast<long long>(a->m_nScore) + o.score, -1'000'000'000, 1'000'000'000));
        SetKilled(*a);
        if (a->m_bKilled && !was)
            killed.push_back(a);
    }
    return killed;
}

bool ScoreBook::Add(const ScoreEntry& entry, std::string& error)
{
    const bool ok = AppendScoreEntry(settings_.file, entry, error);
    Reload();
    return ok;
}

bool ScoreBook::Remove(const ScoreRule& rule, std::string& error)
{
    const ScoreRule copy = rule; // rule lives in the rules the reload replaces
    const bool ok = RemoveScoreRule(copy, error);
    Reload();
    return ok;
}

bool ScoreBook::Replace(const ScoreRule& rule, const ScoreEntry& entry, std::string& error)
{
    const ScoreRule copy = rule;
    const bool ok = ReplaceScoreRule(copy, entry, error);
    Reload();
    return ok;
}

} // namespace news
