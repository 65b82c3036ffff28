#include "message/UrlScanner.h"

#include <cctype>
#include <string>

#include "platform/Sjis.h"


namespace message {

namespace {

struct CharTable {
    bool scheme[256] = {};
    bool url[256] = {};
    constexpr CharTable()
    {
        for (int c = 0; c < 256; ++c) {
            const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            scheme[c] = alnum || c == '+' || c == '.' || c == '-';
            url[c] = alnum;
        }
        for (const char* p = "+.-%;/?:@=&#$_*'(~,|"; *p; ++p)
            url[static_cast<unsigned char>(*p)] = true;
    }
};
constexpr CharTable kChars;

// True when the byte at index is the second byte of a Shift_JIS double-byte
// character, so that a scheme is never taken from the middle of one.
bool IsTrailByte(std::string_view text, std::size_t index)
{
    for (std::size_t i = 0; i < index; ++i)
        if (platform::IsSjisLeadByte(static_cast<unsigned char>(text[i])) && ++i == index)
            return true;
    return false;
}

} // namespace

namespace {
// The next "://", or the ":" of a "news:" link (RFC 5538 writes group and
// article links without "//").
std::size_t NextSeparator(std::string_view text, std::size_t pos)
{
    for (std::size_t colon = text.find(':', pos); colon != std::string_view::npos; colon = text.find(':', colon + 1)) {
        if (text.compare(colon, 3, "://") == 0)
            return colon;
        if (colon >= 4 && colon + 1 < text.size() && text[colon + 1] != ' ' &&
            kChars.url[static_cast<unsigned char>(text[colon + 1])]) {
            std::string scheme(text.substr(colon - 4, 4));
            for (char& c : scheme)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            if (scheme == "news" && (colon == 4 || !kChars.scheme[static_cast<unsigned char>(text[colon - 5])]))
                return colon;
        }
    }
    return std::string_view::npos;
}
} // namespace

bool IsUrlCandidate(std::string_view text)
{
    return text.size() >= 3 && NextSeparator(text, 0) != std::string_view::npos;
}

bool AppendWithUrls(BodySink& sink, std::string_view text, TextRole role, Colour colour,
                    Colour linkColour)
{
    bool marked = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t sep = NextSeparator(text, pos);
        if (sep == std::string_view::npos)
            break;
        std::size_t start = sep;
        while (start > pos && kChars.scheme[static_cast<unsigned char>(text[start - 1])])
            --start;
        // Letters that end a double-byte character before the scheme are not part of it.
        while (start < sep && IsTrailByte(text, start))
            ++start;
        if (start == sep)
            break;
        sink.Append(text.substr(pos, start - pos), role, colour, false);
        std::size_t end = sep;
        while (end < text.size() && kChars.url[static_cast<unsigned char>(text[end])])
            ++end;
        sink.Append(text.substr(start, end - start), TextRole::Url, linkColour, false);
        marked = true;
        pos = end;
    }
    sink.Append(text.substr(pos), role, colour, false);
    return marked;
}

} // namespace message
