// The outgoing header encoder: the first byte picks the posting code, the
// rest is a Shift_JIS value. No folded line passes 998 octets, unfolding
// gives back the line, and a value the code can carry decodes back to itself.
#include <cstdint>
#include <string>

#include "platform/Sjis.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/HeaderWords.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const KanjiCode codes[] = {KanjiCode::Jis, KanjiCode::Sjis, KanjiCode::Euc, KanjiCode::Utf8};
    const KanjiCode code = codes[data[0] % 4];
    const std::string value =
        platform::OneLineValue(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    const std::string encoded = EncodeHeaderValue(value, code);

    // Words are ISO-2022-JP for every code but UTF-8, and JIS has no
    // half-width kana: they go out full-width, so they do not come back as written.
    // Readers take ESC, SO and SI for the escapes and shift codes of 7-bit
    // JIS: control characters are not text that comes back as written.
    bool halfWidthKana = false, controls = false;
    for (std::size_t i = 0; i < value.size(); i += platform::SjisCharLength(value, i)) {
        const auto c = static_cast<unsigned char>(value[i]);
        halfWidthKana |= c >= 0xA1 && c <= 0xDF;
        controls |= c < 0x20 && c != '\t';
    }
    const bool carried = FindUncarried(value, code) == std::string::npos &&
                         (code != KanjiCode::Utf8 || FindUncarried(value, KanjiCode::Sjis) == std::string::npos) &&
                         (code == KanjiCode::Utf8 || !halfWidthKana) && !controls;
    if (carried) {
        std::string back = DecodeHeaderToSjis(encoded);
        std::string want = value;
        // Our reader keeps the blank between two ISO-2022-JP words, as older
        // posters meant it (RFC 2047 readers drop it): compare those without blanks.
        if (encoded.find("?= =?ISO-2022-JP?") != std::string::npos) {
            std::erase(back, ' ');
            std::erase(want, ' ');
        }
        if (back != want)
            __builtin_trap();
    }

    const std::string line = "Subject: " + encoded;
    const std::optional<std::string> folded = FoldHeaderLine(line);
    if (!folded)
        return 0;
    std::string unfolded;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = folded->find("\r\n", start);
        const std::size_t length = (end == std::string::npos ? folded->size() : end) - start;
        if (length > 998)
            __builtin_trap();
        unfolded.append(*folded, start, length);
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    if (unfolded != line)
        __builtin_trap();
    return 0;
}
