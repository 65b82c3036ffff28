#include "message/UrlScanner.h"

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

bool IsUrlCandidate(std::string_view text)
{
    return text.size() >= 3 && text.find("://") != std::string_view::npos;
}

bool AppendWithUrls(BodySink& sink, std::string_view text, TextRole role, Colour colour,
                    Colour linkColour)
{
    bool marked = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t sep = text.find("://", pos);
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
