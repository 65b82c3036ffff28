#include "platform/MessageFormat.h"

namespace platform {

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        unsigned min = 0;
        unsigned value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, value = c & 0x07;
        } else {
            return false;
        }
        if (bytes.size() - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (t & 0x3F);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::vector<MessagePiece> FormatMessagePieces(std::string_view entry, const std::vector<std::string>& args)
{
    std::vector<MessagePiece> pieces;
    std::string literal;
    auto flush = [&] {
        if (!literal.empty())
            pieces.push_back({std::move(literal), TextCode::ShiftJis});
        literal.clear();
    };
    std::size_t next = 0;
    // '%' is never the second byte of a Shift_JIS character, so a byte scan is safe.
    for (std::size_t i = 0; i < entry.size(); ++i) {
        if (entry[i] != '%' || i + 1 >= entry.size()) {
            literal += entry[i];
            continue;
        }
        if (entry[i + 1] == '%') {
            literal += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        const bool left = entry[j] == '-';
        if (left)
            ++j;
        std::size_t width = 0;
        while (j < entry.size() && entry[j] >= '0' && entry[j] <= '9' && width < 1000)
            width = width * 10 + std::size_t(entry[j++] - '0');
        if (j >= entry.size() || (entry[j] != 's' && entry[j] != 'd')) {
            literal += entry[i];
            continue;
        }
        flush();
        std::string value = next < args.size() ? args[next] : std::string();
        ++next;
        const TextCode code = IsValidUtf8(value) ? TextCode::Utf8 : TextCode::ShiftJis;
        if (value.size() < width)
            value.insert(left ? value.size() : 0, width - value.size(), ' ');
        pieces.push_back({std::move(value), code});
        i = j;
    }
    flush();
    return pieces;
}

std::string FormatSjisMessage(std::string_view entry, const std::vector<std::string>& args)
{
    std::string text;
    for (const MessagePiece& piece : FormatMessagePieces(entry, args))
        text += piece.text;
    return text;
}

} // namespace platform
