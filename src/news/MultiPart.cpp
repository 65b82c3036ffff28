#include "news/MultiPart.h"

#include <algorithm>
#include <unordered_map>

#include "news/Article.h"

namespace news {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// A number of at most 6 digits (leading zeros aside) at s[i]; i moves past it.
bool ReadCount(std::string_view s, std::size_t& i, unsigned& value)
{
    const std::size_t start = i;
    unsigned v = 0;
    std::size_t significant = 0;
    for (; i < s.size() && Digit(s[i]); ++i) {
        if (v == 0 && s[i] == '0')
            continue;
        if (++significant > 6)
            return false;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
    }
    value = v;
    return i > start;
}

bool IsFollowUp(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s.size() >= 3 && (s[0] == 'R' || s[0] == 'r') && (s[1] == 'E' || s[1] == 'e') && s[2] == ':';
}

} // namespace

std::optional<PartSubject> ParsePartSubject(std::string_view subject)
{
    if (IsFollowUp(subject))
        return std::nullopt;
    std::optional<PartSubject> found;
    std::size_t at = 0, length = 0;
    for (std::size_t i = 0; i < subject.size(); ++i) {
        const char open = subject[i];
        if (open != '(' && open != '[')
            continue;
        std::size_t j = i + 1;
        unsigned k = 0, n = 0;
        if (!ReadCount(subject, j, k) || j >= subject.size() || subject[j] != '/')
            continue;
        ++j;
        if (!ReadCount(subject, j, n) || j >= subject.size() || subject[j] != (open == '(' ? ')' : ']'))
            continue;
        // Resume after the counter: each byte is looked at a bounded number of times.
        const std::size_t end = j + 1;
        if (k >= 1 && n >= 2 && k <= n && n <= kMaxParts) {
            found = PartSubject{{}, k, n};
            at = i;
            length = end - i;
        }
        i = j;
    }
    if (!found)
        return found;
    std::string stem(subject.substr(0, at));
    stem.append(subject.substr(at + length));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '\t'))
        stem.pop_back();
    stem.erase(0, std::min(stem.find_first_not_of(" \t"), stem.size()));
    found->stem = std::move(stem);
    return found;
}

unsigned PartFile::Present() const
{
    unsigned count = 0, last = 0;
    for (const PartArticle& a : articles)
        if (a.part != last)
            ++count, last = a.part;
    return count;
}

std::vector<unsigned> PartFile::Missing() const
{
    std::vector<unsigned> missing;
    unsigned next = 1;
    for (const PartArticle& a : articles) {
        for (; next < a.part; ++next)
            missing.push_back(next);
        next = std::max(next, a.part + 1);
    }
    for (; next <= total; ++next)
        missing.push_back(next);
    return missing;
}

std::string PartFile::Name() const
{
    const std::size_t open = stem.find('"');
    const std::size_t close = open == std::string::npos ? open : stem.find('"', open + 1);
    if (close != std::string::npos && close > open + 1)
        return stem.substr(open + 1, close - open - 1);
    return stem;
}

std::vector<PartFile> GroupPartFiles(const std::vector<std::unique_ptr<CArticle>>& articles)
{
    std::vector<PartFile> files;
    std::unordered_map<std::string, std::size_t> index;
    for (const auto& article : articles) {
        std::optional<PartSubject> s = ParsePartSubject(article->m_strSubject);
        if (!s)
            continue;
        std::string key = s->stem;
        key.append(1, '\0').append(article->m_strFrom).append(1, '\0').append(std::to_string(s->total));
        auto [it, fresh] = index.try_emplace(std::move(key), files.size());
        if (fresh)
            files.push_back(PartFile{std::move(s->stem), article->m_strFrom, s->total, {}});
        files[it->second].articles.push_back({s->part, article->m_nNumber, article->m_strMessageID});
    }
    for (PartFile& f : files)
        std::stable_sort(f.articles.begin(), f.articles.end(), [](const PartArticle& a, const PartArticle& b) {
            return a.part != b.part ? a.part < b.part : a.number < b.number;
        });
    return files;
}

} // namespace news
