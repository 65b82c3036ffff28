#pragma once
// Text in any charset the system's iconv knows, to and from the Shift_JIS
// (CP932) the program keeps in memory.
//
// A character CP932 lacks is kept as an escape: two codes of the CP932
// user-defined area (lead bytes 0xF0-0xF9), a high code from leads 0xF0-0xF4
// and a low code from leads 0xF5-0xF9, together the code point. Inbound
// conversion never leaves user-area codes of its own, so the Qt boundary can
// turn each pair back into the character. Code points beyond the escape's
// range, and a half pair, show as GETA MARK (0x81AC).

#include <optional>
#include <string>
#include <string_view>

namespace textcodec {

// Upper-case iconv name of a declared charset, its common aliases resolved
// ("x-sjis" and "Windows-31J" read as "SHIFT_JIS", "utf8" as "UTF-8"); blanks,
// quotes and an RFC 2231 language suffix ignored. Empty when iconv does not
// know it.
std::string CanonicalCharset(std::string_view name);

// Bytes in the named charset to Shift_JIS; nullopt when the charset is
// unknown. Bytes invalid in the charset come out as GETA MARK.
std::optional<std::string> CharsetToSjis(std::string_view bytes, std::string_view charset);

// Pieces of one text in one charset, converted one after another with the
// converter opened once (a body part read line by line). Each piece comes
// out as CharsetToSjis gives it, except that a stateful charset's shift
// state carries over from one piece to the next.
class CharsetReader {
public:
    // Not usable (Usable() false) when the charset is unknown.
    explicit CharsetReader(std::string_view charset);
    ~CharsetReader();
    CharsetReader(const CharsetReader&) = delete;
    CharsetReader& operator=(const CharsetReader&) = delete;

    bool Usable() const { return kind_ != Kind::Unknown; }
    // The piece in Shift_JIS; unchanged when the reader is not usable.
    std::string ToSjis(std::string_view bytes);

private:
    enum class Kind { Unknown, Ascii, Utf8, Japanese, Iconv };
    Kind kind_ = Kind::Unknown;
    int japaneseCode_ = 0;
    void* iconv_ = nullptr;
    std::string buffer_;
};

std::string Utf8ToSjis(std::string_view utf8);
// Shift_JIS with escapes back to UTF-8; a byte that is no character becomes
// the replacement (GETA MARK unless told otherwise).
std::string SjisToUtf8(std::string_view sjis, char32_t replacement = 0x3013);

// Valid UTF-8 holding at least one multi-byte character: raw 8-bit text sent
// as UTF-8 rather than in a Japanese code, which rarely passes the test.
bool IsMultibyteUtf8(std::string_view text);

inline constexpr char kGeta[] = "\x81\xAC";
constexpr bool IsUserAreaLead(unsigned char c) { return c >= 0xF0 && c <= 0xF9; }
// Code point of the escape pair at text[i] (four bytes); 0 when there is none.
char32_t EscapedCodePoint(std::string_view text, size_t i);

} // namespace textcodec
