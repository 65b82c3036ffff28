#include "message/HeaderFields.h"

#include "textcodec/Charsets.h"
#include "textcodec/HeaderWords.h"

#include "message/Codec.h"
#include "platform/Clock.h"
#include "platform/Sjis.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace textcodec;

namespace message {

namespace {

int HexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string_view TrimBlanks(std::string_view s)
{
    s = SkipBlanks(s);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits at ';' outside double quotes, so a quoted boundary or file name may hold one.
std::vector<std::string_view> SplitParameters(std::string_view value)
{
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '"')
            quoted = !quoted;
        else if (value[i] == ';' && !quoted) {
            parts.push_back(value.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    parts.push_back(value.substr(begin));
    return parts;
}

// Text between the first double quote and the next one (or the end).
std::string_view Unquote(std::string_view s, std::size_t firstQuote)
{
    std::string_view rest = s.substr(firstQuote + 1);
    std::size_t close = rest.find('"');
    return close == std::string_view::npos ? rest : rest.substr(0, close);
}

// atoi-like: optional blanks and one sign, then digits; saturates instead of overflowing.
long long LeadingNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        n = std::min<long long>(n * 10 + (s[i] - '0'), 1'000'000'000'000LL);
    return negative ? -n : n;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, long long m, long long d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Zone {
    const char* name;
    int hours;
};
constexpr Zone kZones[] = {
    {"UT", 0},  {"GMT", 0}, {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
    {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}, {"JST", 9},  {"Z", 0},
};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    if (a == b) // names are mostly written as the RFCs spell them
        return true;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}


std::optional<std::size_t> ScanHeaderField(std::string_view header, std::string_view name,
                                           std::size_t start, bool decode, std::string& value)
{
    // The name with its colon, without building that string for every call.
    const bool hasColon = name.find(':') != std::string_view::npos;
    const std::size_t keySize = name.size() + (hasColon ? 0 : 1);
    value.clear();
    std::size_t pos = start;
    // Find the line that starts with the name; the header ends at an empty line.
    for (;;) {
        if (pos >= header.size() || header[pos] == '\n' || header[pos] == '\r')
            return std::nullopt;
        const std::string_view line = header.substr(pos);
        if (StartsWithNoCase(line, name) && (hasColon || (line.size() > name.size() && line[name.size()] == ':')))
            break;
        std::size_t lf = header.find('\n', pos);
        if (lf == std::string_view::npos)
            return std::nullopt;
        pos = lf + 1;
    }
    pos += keySize;
    while (pos < header.size() && IsBlank(header[pos]))
        ++pos;
    // Unfolding takes out only the line break: the blank that starts the
    // next line stays, so words either side of a fold stay apart (the
    // decoder drops it again between two encoded words). A continuation
    // holding nothing but blanks still belongs to the field.
    std::string raw;
    std::string_view first; // the value while it has no fold: no copy is made
    for (bool folded = false;;) {
        // The line ends at the first CR or LF: two searches the library
        // vectorises instead of a loop over every byte.
        const std::size_t lf = std::min(header.find('\n', pos), header.size());
        const std::size_t end = std::min(header.substr(0, lf).find('\r', pos), lf);
        if (folded)
            raw += header.substr(pos, end - pos);
        else
            first = header.substr(pos, end - pos);
        pos = end;
        std::size_t next = pos;
        if (next < header.size() && header[next] == '\r')
            ++next;
        if (next >= header.size() || header[next] != '\n')
            break;
        ++next;
        pos = next;
        if (next >= header.size() || !IsBlank(header[next]))
            break;
        if (!folded)
            raw = first;
        folded = true;
    }
    const std::string_view text = raw.empty() ? first : std::string_view(raw);
    if (decode)
        value = codec::DecodeHeaderValue(text);
    else
        value.assign(text);
    if (value.find('\t') != std::string::npos)
        std::replace(value.begin(), value.end(), '\t', ' ');
    return pos;
}

void LocateHeaderFields(std::string_view header, const std::string_view* names, std::size_t count,
                        std::size_t* starts)
{
    std::fill(starts, starts + count, std::string_view::npos);
    std::size_t left = count;
    // The same lines ScanHeaderField looks at, up to the empty line.
    for (std::size_t pos = 0; left > 0 && pos < header.size() && header[pos] != '\n' && header[pos] != '\r';) {
        const std::string_view line = header.substr(pos);
        const char first = Lower(line[0]);
        for (std::size_t i = 0; i < count; ++i)
            if (starts[i] == std::string_view::npos && !names[i].empty() && Lower(names[i][0]) == first &&
                StartsWithNoCase(line, names[i])) {
                starts[i] = pos;
                --left;
                break;
            }
        const std::size_t lf = header.find('\n', pos);
        if (lf == std::string_view::npos)
            break;
        pos = lf + 1;
    }
}

std::string GetHeaderField(std::string_view header, std::string_view name, bool decode)
{
    std::string value;
    if (!ScanHeaderField(header, name, 0, decode, value))
        return {};
    return value;
}

bool GetHeaderFieldAll(std::string_view header, std::string_view name, std::vector<std::string>& values)
{
    values.clear();
    std::size_t pos = 0;
    std::string value;
    while (auto next = ScanHeaderField(header, name, pos, true, value)) {
        values.push_back(value);
        pos = *next; // the start of the line after the value
    }
    return !values.empty();
}

void ExtractAddress(std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    text.erase(0, i);
    std::size_t lt = text.find('<');
    if (lt != std::string::npos) {
        text.erase(0, lt + 1);
        std::size_t gt = text.find('>');
        if (gt != std::string::npos)
            text.erase(gt);
        return;
    }
    std::size_t cut = text.find_first_of("(),;:\\[] ");
    if (cut != std::string::npos)
        text.erase(cut);
}

void SplitAddressList(std::string_view text, std::vector<std::string>& list)
{
    std::string work;
    work.reserve(text.size());
    // Comments go first: from "(" to the next ")" or to the end.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') {
            std::size_t close = text.find(')', i);
            if (close == std::string_view::npos)
                break;
            i = close;
            continue;
        }
        work += text[i];
    }
    std::size_t colon = work.find(':');
    if (colon != std::string::npos)
        work.erase(0, colon + 1);
    bool quoted = false;
    std::size_t begin = 0;
    auto take = [&](std::size_t end) {
        std::string address = work.substr(begin, end - begin);
        ExtractAddress(address);
        if (!address.empty() && std::find(list.begin(), list.end(), address) == list.end())
            list.push_back(address);
    };
    for (std::size_t i = 0; i < work.size(); ++i) {
        if (work[i] == '"')
            quoted = !quoted;
        else if (work[i] == ',' && !quoted) {
            take(i);
            begin = i + 1;
        }
    }
    take(work.size());
}

std::string LocalZoneText()
{
    int minutes = platform::LocalZoneOffsetMinutes();
    if (minutes == 0)
        return "GMT";
    char sign = minutes < 0 ? '-' : '+';
    int a = minutes < 0 ? -minutes : minutes;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%02d%02d", sign, (a / 60) % 100, a % 60);
    return buf;
}

std::int64_t ParseDate(std::string_view text)
{
    std::size_t comma = text.find(',');
    if (comma != std::string_view::npos)
        text.remove_prefix(comma + 1);
    // Day, month, year, time and zone; words after them are not read.
    std::string_view parts[5];
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size() && count < std::size(parts);) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        std::size_t b = i;
        while (i < text.size() && text[i] != ' ')
            ++i;
        if (i > b)
            parts[count++] = text.substr(b, i - b);
    }
    if (count < 4)
        return 0;

    const long long day = LeadingNumber(parts[0]);
    int month = 0;
    for (int m = 0; m < 12; ++m)
        if (parts[1].size() >= 3 && EqualsNoCase(parts[1].substr(0, 3), kMonths[m])) {
            month = m + 1;
            break;
        }
    if (month == 0)
        return 0;
    long long year = LeadingNumber(parts[2]);
    const std::size_t yearDigits = std::find_if(parts[2].begin(), parts[2].end(),
                                                [](char c) { return c < '0' || c > '9'; }) - parts[2].begin();
    // Two-digit years as RFC 5322 reads them; three digits count from 1900; four are as written.
    if (yearDigits <= 2 && year >= 0 && year < 50)
        year += 2000;
    else if (yearDigits <= 3 && year >= 0 && year < 1000)
        year += 1900;
    if (year < 1900 || year > 9999)
        return 0;
    long long hms[3] = {0, 0, 0};
    {
        std::string_view t = parts[3];
        for (int k = 0; k < 3; ++k) {
            std::size_t c = t.find(':');
            hms[k] = LeadingNumber(t.substr(0, c));
            if (c == std::string_view::npos)
                break;
            t.remove_prefix(c + 1);
        }
    }
    // A field out of range is no date at all: clamping it would show a made-up one.
    static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day < 1 || day > kMonthDays[month - 1] - (month == 2 && !leap) || hms[0] < 0 || hms[0] > 23 ||
        hms[1] < 0 || hms[1] > 59 || hms[2] < 0 || hms[2] > 60)
        return 0;
    const long long dayClamped = day;

    long long utc;
    if (count >= 5) {
        std::string_view zone = parts[4];
        long long offsetMinutes = 0;
        if (!zone.empty()) {
            char c = zone[0];
            if (c != '-' && c != '+' && !(c >= '0' && c <= '9')) {
                for (const Zone& z : kZones)
                    if (EqualsNoCase(zone, z.name)) {
                        offsetMinutes = z.hours * 60;
                        break;
                    }
            } else {
                const long long n = LeadingNumber(zone);
                if (n > 9999 || n < -9999 || std::abs(n % 100) > 59)
                    return 0;
                offsetMinutes = (n / 100) * 60 + n % 100;
            }
        }
        long long days = DaysFromCivil(year, month, 1) + dayClamped - 1;
        utc = days * 86400 + hms[0] * 3600 + hms[1] * 60 + hms[2] - offsetMinutes * 60;
    } else {
        // No zone: the machine's local time on that date, daylight saving included.
        std::tm tm{};
        tm.tm_year = static_cast<int>(year - 1900);
        tm.tm_mon = month - 1;
        tm.tm_mday = static_cast<int>(dayClamped);
        tm.tm_hour = static_cast<int>(hms[0]);
        tm.tm_min = static_cast<int>(hms[1]);
        tm.tm_sec = static_cast<int>(hms[2]);
        tm.tm_isdst = -1;
        std::time_t t = std::mktime(&tm);
        if (t == static_cast<std::time_t>(-1))
            return 0;
        utc = static_cast<long long>(t);
    }
    // The zone may carry a date at the end of 9999 into a five-digit year.
    constexpr long long kYear10000 = 253402300800LL;
    return utc < 0 || utc >= kYear10000 ? 0 : utc;
}

std::string MakeReplySubject(std::string_view header)
{
    std::string s = GetHeaderField(header, "Subject", true);
    if (s.empty())
        return {};
    if (StartsWithNoCase(s, "Re:"))
        return s;
    return "Re: " + s;
}

int GetMimeVersion(std::string_view header)
{
    std::string v = GetHeaderField(header, "Mime-Version", false);
    long long n = LeadingNumber(v);
    return static_cast<int>(std::clamp<long long>(n, -1'000'000, 1'000'000));
}

bool IsMultipart(std::string_view header, std::string& boundary)
{
    boundary.clear();
    std::vector<std::string> types;
    if (!GetHeaderFieldAll(header, "Content-Type", types))
        return false;
    if (std::none_of(types.begin(), types.end(),
                     [](const std::string& t) { return StartsWithNoCase(t, "multipart"); }))
        return false;
    boundary.assign(1, '-');
    for (const std::string& type : types) {
        for (std::string_view param : SplitParameters(type)) {
            param = SkipBlanks(param);
            if (!StartsWithNoCase(param, "boundary"))
                continue;
            std::size_t quote = param.find('"');
            if (quote != std::string_view::npos) {
                boundary = std::string(Unquote(param, quote));
            } else {
                std::size_t eq = param.find('=');
                std::string_view v = eq == std::string_view::npos ? std::string_view{} : SkipBlanks(param.substr(eq + 1));
                boundary = std::string(v.substr(0, v.find(' ')));
            }
            return true;
        }
    }
    return true;
}

bool ParseParameter(std::string_view text, std::string& name, std::string& value)
{
    name.clear();
    value.clear();
    if (text.empty())
        return false;
    std::size_t eq = text.find('=', 1);
    if (eq == std::string_view::npos)
        return false;
    std::string_view n = SkipBlanks(text.substr(0, eq));
    n = n.substr(0, n.find_first_of(" \t"));
    name = std::string(n);
    std::string_view v = SkipBlanks(text.substr(eq + 1));
    std::size_t quote = v.find('"');
    if (quote != std::string_view::npos)
        value = std::string(Unquote(v, quote));
    else
        value = std::string(TrimBlanks(v));
    return true;
}

bool ParseContentType(std::string_view value, std::string& type, std::string& subtype,
                      std::vector<std::string>& names, std::vector<std::string>& values)
{
    type.clear();
    subtype.clear();
    if (value.empty())
        return false;
    std::vector<std::string_view> parts = SplitParameters(value);
    std::string_view first = TrimBlanks(parts[0]);
    std::size_t slash = first.find('/');
    if (slash != std::string_view::npos) {
        type = std::string(TrimBlanks(first.substr(0, slash)));
        subtype = std::string(TrimBlanks(first.substr(slash + 1)));
    } else {
        type = std::string(first);
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string n, v;
        if (ParseParameter(parts[i], n, v)) {
            names.push_back(std::move(n));
            values.push_back(std::move(v));
        }
    }
    return true;
}

std::string GetParameter(std::string_view value, std::string_view name)
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    if (!ParseContentType(value, type, subtype, names, values))
        return {};
    for (std::size_t i = 0; i < names.size(); ++i)
        if (EqualsNoCase(names[i], name))
            return values[i];
    return {};
}

std::string GetNameParameter(std::string_view value, std::string_view name)
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    if (!ParseContentType(value, type, subtype, names, values))
        return {};
    // Pieces by number; "name*" alone is piece 0. Encoded pieces end in '*'.
    std::vector<std::pair<std::string, bool>> pieces;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view n = names[i];
        if (!StartsWithNoCase(n, name) || n.size() <= name.size() || n[name.size()] != '*')
            continue;
        n.remove_prefix(name.size() + 1);
        const bool encoded = n.ends_with('*') || n.empty();
        if (n.ends_with('*'))
            n.remove_suffix(1);
        std::size_t index = 0;
        for (char c : n)
            index = c >= '0' && c <= '9' ? index * 10 + static_cast<std::size_t>(c - '0') : 1000;
        if (index >= 1000)
            continue;
        if (pieces.size() <= index)
            pieces.resize(index + 1);
        pieces[index] = {values[i], encoded};
    }
    if (pieces.empty() || pieces[0].first.empty())
        return GetParameter(value, name);
    std::string charset, bytes;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        std::string_view text = pieces[k].first;
        if (!pieces[k].second) {
            bytes += text;
            continue;
        }
        if (k == 0) {
            const std::size_t q1 = text.find('\''), q2 = q1 == std::string_view::npos ? q1 : text.find('\'', q1 + 1);
            if (q2 != std::string_view::npos) {
                charset = std::string(text.substr(0, q1));
                text.remove_prefix(q2 + 1);
            }
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            const int hi = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (text[i] == '%' && hi >= 0 && lo >= 0) {
                bytes += static_cast<char>(hi << 4 | lo);
                i += 2;
            } else {
                bytes += text[i];
            }
        }
    }
    if (charset.empty())
        return codec::ToSjis(bytes, codec::AutoSjis);
    return textcodec::CharsetToSjis(bytes, charset).value_or(bytes);
}

bool IsUuencodeName(std::string_view token)
{
    return token == "x-uuencode" || token == "uuencode" || token == "x-uue";
}

std::string MimeToken(std::string_view value)
{
    std::string out;
    int depth = 0;
    for (char c : value) {
        if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
        else if (depth == 0 && c != '"' && c != ' ' && c != '\t' && c != '\r' && c != '\n')
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    return out;
}

std::string DeclaredCharset(std::string_view contentType)
{
    const std::string name = GetParameter(contentType, "charset");
    return name.empty() ? std::string() : textcodec::CanonicalCharset(MimeToken(name));
}

bool IsLegacyCharset(std::string_view canonical)
{
    return canonical.empty() || canonical == "ISO-2022-JP" || canonical == "US-ASCII";
}

std::string ComposeHeaderLine(std::string_view name, std::string_view value, KanjiCode code, bool encode)
{
    if (name.empty())
        return {};
    std::string line(name);
    if (name.find(':') == std::string_view::npos)
        line += ": ";
    else if (name.back() == ':')
        line += ' ';
    line += value;
    // A value must never start a second header line or end the article.
    line = platform::OneLineValue(line);
    line = encode ? textcodec::EncodeHeaderValue(line, code) : codec::FromSjis(line, code);
    std::optional<std::string> folded = textcodec::FoldHeaderLine(line);
    if (!folded)
        return {};
    *folded += "\r\n";
    return *folded;
}

std::string MakeBoundary(bool withTag)
{
    std::string b = "---------";
    if (withTag)
        b += "XK";
    b += std::to_string(static_cast<long long>(std::time(nullptr)));
    b += '-';
    b += std::to_string(platform::GetTickCount() & 0xFFFFFFFFu);
    return b;
}

} // namespace message
