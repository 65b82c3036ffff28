#include "message/BodySink.h"

#include "platform/Sjis.h"

namespace message {

namespace {
void AppendWithoutCr(std::string& out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
}
} // namespace

const char* RoleTag(TextRole role)
{
    switch (role) {
    case TextRole::Text: return "text";
    case TextRole::HeaderName: return "hname";
    case TextRole::HeaderValue: return "hvalue";
    case TextRole::Boundary: return "boundary";
    case TextRole::Marker: return "marker";
    case TextRole::Url: return "url";
    }
    return "?";
}

void RecordingSink::Clear()
{
    runs_.clear();
    urls_.clear();
}

void RecordingSink::Append(std::string_view text, TextRole role, Colour colour, bool underline)
{
    if (text.empty())
        return;
    if (role == TextRole::Url)
        urls_.emplace_back(text);
    if (!runs_.empty() && role != TextRole::Url && runs_.back().role == role &&
        runs_.back().colour == colour && runs_.back().underline == underline) {
        runs_.back().text += text;
        return;
    }
    runs_.push_back(Run{role, colour, underline, std::string(text)});
}

std::string RecordingSink::PlainText() const
{
    std::string out;
    for (const Run& r : runs_)
        out += r.text;
    std::string plain;
    AppendWithoutCr(plain, out);
    return plain;
}

std::string RecordingSink::Tagged() const
{
    std::string all;
    const Run* previous = nullptr;
    for (const Run& r : runs_) {
        if (!previous || previous->role != r.role || r.role == TextRole::Url) {
            all += '[';
            all += RoleTag(r.role);
            all += ']';
        }
        for (std::size_t i = 0; i < r.text.size(); ++i) {
            // The second byte of a double-byte character may look like '['.
            if (platform::SjisCharLength(r.text, i) == 2) {
                all += r.text[i];
                all += r.text[++i];
                continue;
            }
            if (r.text[i] == '[')
                all += '[';
            all += r.text[i];
        }
        previous = &r;
    }
    std::string out;
    AppendWithoutCr(out, all);
    return out;
}

} // namespace message
