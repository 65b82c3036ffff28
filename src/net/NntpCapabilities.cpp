#include "net/NntpCapabilities.h"

#include <algorithm>
#include <cctype>

namespace net {

namespace {

std::string Upper(std::string_view word)
{
    std::string out(word);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

void NntpCapabilities::Add(std::string_view line)
{
    if (entries_.size() >= kMaxEntries)
        return;
    line = line.substr(0, kMaxLine);
    std::vector<std::string> words;
    std::size_t p = 0;
    while (p < line.size()) {
        while (p < line.size() && (line[p] == ' ' || line[p] == '\t' || line[p] == '\r' || line[p] == '\n'))
            ++p;
        std::size_t start = p;
        while (p < line.size() && line[p] != ' ' && line[p] != '\t' && line[p] != '\r' && line[p] != '\n')
            ++p;
        if (p > start)
            words.push_back(Upper(line.substr(start, p - start)));
    }
    if (!words.empty())
        entries_.push_back(std::move(words));
}

bool NntpCapabilities::Has(std::string_view label) const
{
    const std::string want = Upper(label);
    return std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e[0] == want; });
}

bool NntpCapabilities::Has(std::string_view label, std::string_view argument) const
{
    const std::string want = Upper(label), arg = Upper(argument);
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& e) { return e[0] == want && std::find(e.begin() + 1, e.end(), arg) != e.end(); });
}

} // namespace net
