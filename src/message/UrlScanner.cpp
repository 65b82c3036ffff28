#include "message/UrlScanner.h"

#include <cstring>
#include <vector>

namespace message {

namespace {

bool IsAsciiAlnum(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
bool IsSchemeChar(unsigned char c) { return IsAsciiAlnum(c) || c == '+' || c == '.' || c == '-'; }
bool IsUrlChar(unsigned char c)
{
    return IsAsciiAlnum(c) || (c != 0 && std::strchr("+.-%;/?:@=&#$_*'(~,|", c) != nullptr);
}
bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Marks the second byte of each Shift_JIS double-byte character, so that a
// scheme is never taken from the middle of one.
std::vector<bool> TrailBytes(std::string_view text)
{
    std::vector<bool> trail(text.size(), false);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (IsSjisLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            trail[i + 1] = true;
            ++i;
        }
    return trail;
}

} // namespace

bool IsUrlCandidate(std::string_view text)
{
    return text.size() >= 3 && text.find("://") != std::string_view::npos;
}

bool AppendWithUrls(BodySink& sink, std::string_view text, TextRole role, Colour colour,
                    Colour linkColour)
{
    const std::vector<bool> trail = TrailBytes(text);
    bool marked = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t sep = text.find("://", pos);
        if (sep == std::string_view::npos)
            break;
        std::size_t start = sep;
        while (start > pos && IsSchemeChar(static_cast<unsigned char>(text[start - 1])) &&
               !trail[start - 1])
            --start;
        if (start == sep)
            break;
        sink.Append(text.substr(pos, start - pos), role, colour, false);
        std::size_t end = start;
        while (end < text.size() && IsUrlChar(static_cast<unsigned char>(text[end])))
            ++end;
        sink.Append(text.substr(start, end - start), TextRole::Url, linkColour, false);
        marked = true;
        pos = end;
    }
    sink.Append(text.substr(pos), role, colour, false);
    return marked;
}

} // namespace message
