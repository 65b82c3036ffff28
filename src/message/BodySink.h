#pragma once
// What article rendering writes to. The body control of the window implements
// it; RecordingSink keeps the output as plain text with style tags for tests
// and tools.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace message {

// 0x00BBGGRR, as the settings store keeps colours.
using Colour = std::uint32_t;

// What a run of text is, so that a sink can style it without knowing colours.
enum class TextRole : std::uint8_t { Text, HeaderName, HeaderValue, Boundary, Marker, Url };

class BodySink {
public:
    virtual ~BodySink() = default;
    // Empties the control (text and recorded URLs).
    virtual void Clear() = 0;
    // Appends text (Shift_JIS, CR LF line ends). A Url run is recorded as a link.
    virtual void Append(std::string_view text, TextRole role, Colour colour, bool underline) = 0;
    // Redrawing off during a fill, on again afterwards (caret to the start).
    virtual void SetRedraw(bool on) { (void)on; }
};

class RecordingSink : public BodySink {
public:
    struct Run {
        TextRole role;
        Colour colour;
        bool underline;
        std::string text;
    };

    void Clear() override;
    void Append(std::string_view text, TextRole role, Colour colour, bool underline) override;

    const std::vector<Run>& Runs() const { return runs_; }
    const std::vector<std::string>& Urls() const { return urls_; }
    // All text, CR LF turned into LF.
    std::string PlainText() const;
    // As PlainText, with "[role]" written wherever the role changes
    // (text, hname, hvalue, boundary, marker, url); a literal "[" is doubled.
    std::string Tagged() const;

private:
    std::vector<Run> runs_;
    std::vector<std::string> urls_;
};

const char* RoleTag(TextRole role);

} // namespace message
