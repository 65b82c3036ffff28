#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/NameFold.h"
#include "platform/Sjis.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace platform {
namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Lines without their line end; a lone CR before LF belongs to the line end.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.emplace_back(text, start, stop - start);
        if (last)
            break;
        start = end + 1;
    }
    return lines;
}

bool SectionName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return false;
    line.remove_prefix(1);
    // ']' (0x5D) may be the second byte of a double-byte character.
    std::size_t close = 0;
    while (close < line.size() && line[close] != ']')
        close += IsSjisLeadByte(static_cast<unsigned char>(line[close])) ? 2 : 1;
    name = Trim(line.substr(0, std::min(close, line.size())));
    return true;
}

bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return false;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

// Index of the first line of the named section's header, or npos.
std::size_t FindSection(const std::vector<std::string>& lines, const std::string& folded)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionName(lines[i], name) && FoldName(name) == folded)
            return i;
    }
    return std::string::npos;
}

std::size_t SectionEnd(const std::vector<std::string>& lines, std::size_t header)
{
    std::string_view name;
    std::size_t i = header + 1;
    while (i < lines.size() && !SectionName(lines[i], name))
        ++i;
    return i;
}

std::optional<std::string> ReadValue(const std::filesystem::path& file, std::string_view section,
                                     std::string_view key)
{
    const auto text = ReadWholeFile(file);
    if (!text)
        return std::nullopt;
    const auto lines = SplitLines(*text);
    const std::size_t header = FindSection(lines, FoldName(section));
    if (header == std::string::npos)
        return std::nullopt;
    const std::string foldedKey = FoldName(key);
    const std::size_t end = SectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view k, v;
        if (KeyValue(lines[i], k, v) && FoldName(k) == foldedKey) {
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
    }
    return std::nullopt;
}

// A line end inside a name or value would split it into lines of its own.
std::string OneLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

} // namespace

std::string GetProfileString(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::string_view def)
{
    auto v = ReadValue(file, section, key);
    return v ? std::move(*v) : std::string(def);
}

int GetProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                  int def)
{
    const auto v = ReadValue(file, section, key);
    if (!v || v->empty())
        return def;
    std::string_view s = Trim(*v);
    bool negative = false;
    if (!s.empty() && s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    long long n = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + (c - '0');
        if (n > static_cast<long long>(INT_MAX) + 1)
            n = static_cast<long long>(INT_MAX) + 1; // saturate instead of wrapping
    }
    if (negative)
        n = -n;
    if (n > INT_MAX)
        n = INT_MAX;
    return static_cast<int>(n);
}

namespace {

// Applies one write to the lines of a file; false when nothing was to be done.
bool ApplyWrite(std::vector<std::string>& lines, std::string_view section, std::string_view key,
                std::optional<std::string_view> value)
{
    const std::string cleanSection = OneLine(Trim(section));
    const std::string cleanKey = OneLine(Trim(key));
    const std::string foldedKey = FoldName(cleanKey);
    const std::size_t header = FindSection(lines, FoldName(cleanSection));

    if (header == std::string::npos) {
        if (!value)
            return false;
        lines.push_back("[" + cleanSection + "]");
        lines.push_back(cleanKey + "=" + OneLine(*value));
        return true;
    }
    const std::size_t end = SectionEnd(lines, header);
    std::size_t lastContent = header;
    std::vector<std::size_t> matches;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (!Trim(lines[i]).empty())
            lastContent = i;
        std::string_view k, v;
        if (KeyValue(lines[i], k, v) && FoldName(k) == foldedKey)
            matches.push_back(i);
    }
    if (!value) {
        if (matches.empty())
            return false;
        // Every copy goes, or a later duplicate would come back on read.
        for (auto it = matches.rbegin(); it != matches.rend(); ++it)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));
    } else if (!matches.empty()) {
        lines[matches.front()] = cleanKey + "=" + OneLine(*value);
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1),
                     cleanKey + "=" + OneLine(*value));
    }
    return true;
}

} // namespace

bool WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                         const std::vector<std::pair<std::string, std::optional<std::string>>>& entries)
{
    int err = 0;
    auto text = ReadWholeFile(file, &err);
    if (!text) {
        if (err != ENOENT && err != ENOTDIR)
            return false; // never replace a file that could not be read
        text.emplace();
    }
    auto lines = SplitLines(*text);
    bool changed = false;
    for (const auto& [key, value] : entries)
        changed |= ApplyWrite(lines, section, key,
                              value ? std::optional<std::string_view>(*value) : std::optional<std::string_view>());
    if (!changed)
        return true;

    std::string out;
    std::size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    // Nothing to change: spare the disk, and keep a file we could not replace anyway.
    if (out == *text)
        return true;
    return WriteFileAtomically(file, out);
}

bool WriteProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                        std::optional<std::string_view> value)
{
    std::vector<std::pair<std::string, std::optional<std::string>>> one;
    one.emplace_back(std::string(key), value ? std::optional<std::string>(std::string(*value)) : std::nullopt);
    return WriteProfileStrings(file, section, one);
}

} // namespace platform
