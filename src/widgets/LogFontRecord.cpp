#include "widgets/LogFontRecord.h"

#include "platform/Registry.h"
#include "platform/Sjis.h"
#include "widgets/SjisText.h"

#include <cstring>

namespace widgets {

namespace {
void Put32(std::uint8_t* p, std::int32_t value)
{
    const auto v = std::uint32_t(value);
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::int32_t Get32(const std::uint8_t* p)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(p[i]) << (8 * i);
    return std::int32_t(v);
}

constexpr std::size_t kFace = 28;
constexpr std::size_t kFaceSize = 32;
constexpr std::uint8_t kShiftJisCharset = 128;
} // namespace

LogFontRecord RecordFromFont(const QFont& font)
{
    LogFontRecord r{};
    // A negative height is the character height in pixels.
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = int(font.pointSizeF() * 96.0 / 72.0 + 0.5);
    Put32(&r[0], -pixels);
    Put32(&r[16], font.weight());
    r[20] = font.italic() ? 1 : 0;
    r[21] = font.underline() ? 1 : 0;
    r[22] = font.strikeOut() ? 1 : 0;
    r[23] = kShiftJisCharset;
    r[27] = font.fixedPitch() ? 0x31 : 0x00; // fixed pitch, modern family
    const std::string face = ToSjis(font.family());
    // Whole characters only, and room for the NUL.
    std::size_t n = 0;
    while (n < face.size()) {
        const std::size_t len = platform::IsSjisLeadByte(static_cast<unsigned char>(face[n])) ? 2 : 1;
        if (n + len > kFaceSize - 1)
            break;
        n += len;
    }
    std::memcpy(&r[kFace], face.data(), n);
    return r;
}

std::optional<QFont> FontFromRecord(const LogFontRecord& r)
{
    std::size_t len = 0;
    while (len < kFaceSize && r[kFace + len] != 0)
        ++len;
    if (len == 0 || len == kFaceSize)
        return std::nullopt;
    const QString family = FromSjis(std::string_view(reinterpret_cast<const char*>(&r[kFace]), len));
    const std::int32_t height = Get32(&r[0]);
    // Heights beyond any screen font are a damaged record.
    if (height == 0 || height < -1000 || height > 1000)
        return std::nullopt;
    QFont font(family);
    font.setPixelSize(height < 0 ? -height : height);
    const std::int32_t weight = Get32(&r[16]);
    if (weight >= 1 && weight <= 1000)
        font.setWeight(QFont::Weight(weight));
    font.setItalic(r[20] != 0);
    font.setUnderline(r[21] != 0);
    font.setStrikeOut(r[22] != 0);
    return font;
}

std::optional<QFont> ReadFontSetting(const platform::Registry& registry, const char* section)
{
    LogFontRecord r{};
    if (!registry.GetBinaryExact(section, "lfFont", r.data(), r.size()))
        return std::nullopt;
    return FontFromRecord(r);
}

bool WriteFontSetting(platform::Registry& registry, const char* section, const QFont& font)
{
    const LogFontRecord r = RecordFromFont(font);
    return registry.WriteBinary(section, "lfFont", r.data(), r.size());
}

} // namespace widgets
