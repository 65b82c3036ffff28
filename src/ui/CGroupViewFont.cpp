#include "ui/CGroupViewFont.h"

#include "ui/CSelListBox.h"
#include "ui/SjisText.h"

#include <cmath>
#include <string>

namespace ui {

namespace {
constexpr int kFaceOffset = 28;
constexpr std::size_t kFaceSize = 32;
constexpr int kScreenDpi = 96;

void Put32(LogFontRecord& r, int offset, std::int32_t v)
{
    const auto u = std::uint32_t(v);
    for (int i = 0; i < 4; ++i)
        r[std::size_t(offset + i)] = std::uint8_t(u >> (8 * i));
}

std::int32_t Get32(const LogFontRecord& r, int offset)
{
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= std::uint32_t(r[std::size_t(offset + i)]) << (8 * i);
    return std::int32_t(u);
}
} // namespace

LogFontRecord FontToLogFont(const QFont& font)
{
    LogFontRecord r{};
    // A negative height is the character height in pixels.
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = int(std::lround(font.pointSizeF() * kScreenDpi / 72.0));
    Put32(r, 0, -pixels);
    Put32(r, 16, font.weight());
    r[20] = font.italic() ? 1 : 0;
    r[21] = font.underline() ? 1 : 0;
    r[22] = font.strikeOut() ? 1 : 0;
    r[23] = 128; // Shift_JIS character set
    r[27] = font.fixedPitch() ? 0x31 : 0x00;
    std::string face = ToSjis(font.family());
    // Cut on a whole character, leaving room for the terminating NUL.
    std::size_t len = 0;
    while (len < face.size()) {
        const std::size_t step = CSelListBox::IsSjisLeadByte(std::uint8_t(face[len])) ? 2 : 1;
        if (len + step > kFaceSize - 1)
            break;
        len += step;
    }
    for (std::size_t i = 0; i < len && i < face.size(); ++i)
        r[kFaceOffset + i] = std::uint8_t(face[i]);
    return r;
}

std::optional<QFont> FontFromLogFont(const LogFontRecord& r)
{
    std::string face;
    for (std::size_t i = 0; i < kFaceSize && r[kFaceOffset + i]; ++i)
        face.push_back(char(r[kFaceOffset + i]));
    const std::int32_t height = Get32(r, 0);
    if (face.empty() || height == 0 || height == INT32_MIN)
        return std::nullopt;
    const int pixels = std::abs(height);
    if (pixels > 1000)
        return std::nullopt;
    QFont font(FromSjis(face));
    font.setPixelSize(pixels);
    const std::int32_t weight = Get32(r, 16);
    if (weight >= 1 && weight <= 1000)
        font.setWeight(QFont::Weight(weight));
    font.setItalic(r[20] != 0);
    font.setUnderline(r[21] != 0);
    font.setStrikeOut(r[22] != 0);
    return font;
}

} // namespace ui
