#include "net/Overview.h"

#include <algorithm>
#include <charconv>

namespace net {

namespace {

// The fields every overview starts with; their names on the wire vary.
// The last two are metadata (":bytes", ":lines"); they become Bytes and Lines
// lines, which the score rules read.
constexpr std::string_view kFixed[] = {"Subject", "From", "Date", "Message-ID", "References", "Bytes", "Lines"};
constexpr std::size_t kNamedFixed = 5;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool ParseNumber(std::string_view s, std::int32_t& out)
{
    std::int32_t n = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || n < 1)
        return false;
    out = n;
    return true;
}

// A value goes into one header line: nothing in it may end the line. clean:
// the overview line holds no CR, LF or NUL, so there is nothing to replace.
void AppendField(std::string& header, std::string_view name, std::string_view value, bool clean)
{
    value = Trim(value);
    if (value.empty())
        return;
    header += name;
    header += ": ";
    const std::size_t at = header.size();
    header += value;
    if (!clean)
        for (std::size_t i = at; i < header.size(); ++i)
            if (header[i] == '\r' || header[i] == '\n' || header[i] == '\0')
                header[i] = ' ';
    header += "\r\n";
}

} // namespace

OverviewFormat::OverviewFormat()
{
    for (std::string_view name : kFixed)
        fields_.push_back({std::string(name), false});
}

bool OverviewFormat::Parse(const std::vector<std::string>& lines)
{
    std::vector<Field> fields;
    for (const std::string& raw : lines) {
        std::string_view line = Trim(raw);
        if (line.empty())
            continue;
        Field f;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return false;
        if (colon == 0) {
            // ":bytes", ":lines": metadata, never a header.
            if (fields.size() < kNamedFixed)
                return false;
        } else {
            f.name = std::string(line.substr(0, colon));
            // A field name becomes a header line: printable ASCII only (RFC 5322 ftext).
            if (std::any_of(f.name.begin(), f.name.end(), [](char c) { return c < '!' || c > '~'; }))
                return false;
            f.full = SameNoCase(Trim(line.substr(colon + 1)), "full");
        }
        fields.push_back(std::move(f));
        if (fields.size() > 64)
            return false;
    }
    if (fields.size() < std::size(kFixed))
        return false;
    for (std::size_t i = 0; i < std::size(kFixed); ++i)
        fields[i] = {std::string(kFixed[i]), false};
    fields_ = std::move(fields);
    return true;
}

bool OverviewFormat::Has(std::string_view header) const
{
    return std::any_of(fields_.begin(), fields_.end(),
                       [&](const Field& f) { return SameNoCase(f.name, header); });
}

bool ParseOverviewLine(std::string_view line, const OverviewFormat& format, OverviewRecord& out)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    out.header.clear();
    // The names and line ends add less than this to the line's own length.
    out.header.reserve(line.size() + 128);
    const bool clean = line.find('\r') == std::string_view::npos && line.find('\n') == std::string_view::npos &&
                       line.find('\0') == std::string_view::npos;
    std::size_t tab = line.find('\t');
    if (!ParseNumber(line.substr(0, tab), out.number))
        return false;
    std::size_t field = 0;
    const auto& fields = format.Fields();
    while (tab != std::string_view::npos) {
        const std::size_t start = tab + 1;
        tab = line.find('\t', start);
        const std::string_view value = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (field < fields.size() && !fields[field].name.empty()) {
            const auto& f = fields[field];
            std::string_view v = value;
            if (f.full) {
                // "Xref: host a.b:3"; anything else is not this field.
                const std::size_t colon = v.find(':');
                if (colon == std::string_view::npos || !SameNoCase(Trim(v.substr(0, colon)), f.name))
                    v = {};
                else
                    v.remove_prefix(colon + 1);
            }
            AppendField(out.header, f.name, v, clean);
        }
        ++field;
    }
    return field >= kNamedFixed;
}

bool ParseHeaderLine(std::string_view line, std::int32_t& number, std::string& value)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    const std::size_t blank = line.find_first_of(" \t");
    if (!ParseNumber(line.substr(0, blank), number))
        return false;
    const std::string_view rest = blank == std::string_view::npos ? std::string_view() : Trim(line.substr(blank));
    value = rest == "(none)" ? std::string() : std::string(rest);
    return true;
}

} // namespace net
