#pragma once
// MIME encoded words (=?ISO-2022-JP?B?...?= and the Q form) in header values.

#include <optional>
#include <string>
#include <string_view>

#include "textcodec/JapaneseCodes.h"

namespace textcodec {

// Decodes the ISO-2022-JP encoded words of a header value. The result is
// still ISO-2022-JP (convert it with ConvertToSjis). A B word without its
// closing "?=" leaves the whole value unchanged.
std::string MimeHeaderDecode(std::string_view text);

// Decodes every encoded word of a header value to Shift_JIS: ISO-2022-JP
// words and the text around them as MimeHeaderDecode and ConvertToSjis do;
// words of other charsets from their charset, adjacent words of one charset
// joined first so a character split between them survives.
std::string DecodeHeaderToSjis(std::string_view text);
// A header value already in Shift_JIS (a cached header line) with each
// encoded word decoded as text in charset, whatever charset the word names:
// the reader's choice when the labels are wrong. Adjacent words are joined
// before conversion; the text around them stays as it is.
std::string DecodeHeaderWordsAs(std::string_view sjis, std::string_view charset);
// True when the value holds an encoded word of a charset other than ISO-2022-JP.
bool HasOtherCharsetWords(std::string_view text);

// Encodes an ISO-2022-JP header value (as made by ConvertFromSjis with
// KanjiCode::Jis) as EncodeHeaderValue does, folded as FoldHeaderLine does
// (a piece that cannot fit stays on a long line).
std::string MimeHeaderEncode(std::string_view jisText);

// A Shift_JIS header value or line as it goes out, unfolded: each run of
// words that are not plain ASCII (or that look like encoded words) becomes
// B words in the code's charset (ISO-2022-JP for the Japanese codes, UTF-8),
// the blanks between those words inside the encoded text. Each word holds
// whole characters, is at most 75 characters long, and an ISO-2022-JP word
// ends in ASCII. Words are separated by one blank from each other and from
// other text (RFC 2047 5(1)). Characters the charset cannot carry become
// GETA MARK.
std::string EncodeHeaderValue(std::string_view sjis, KanjiCode code);

// An unfolded header line ("Name: value", no line end) folded with CR LF
// before blanks, to 78 characters where possible; nothing when a piece
// without blanks would pass 998 octets.
std::optional<std::string> FoldHeaderLine(std::string_view line);

// UTF-8 header text with its runs of non-ASCII words as B words
// (=?UTF-8?B?...?=) of at most 75 characters holding whole characters,
// folded with CR LF and a blank. ASCII words stay as they are.
std::string EncodeUtf8HeaderWords(std::string_view utf8);

// Copying forms: dest receives the result.
void DecodeHeaderWords(std::string& dest, std::string_view source);
void EncodeHeaderWords(std::string& dest, std::string_view source);

} // namespace textcodec
