#pragma once
// MIME encoded words (=?ISO-2022-JP?B?...?= and the Q form) in header values.

#include <string>
#include <string_view>

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
// True when the value holds an encoded word of a charset other than ISO-2022-JP.
bool HasOtherCharsetWords(std::string_view text);

// Encodes the double-byte runs of an ISO-2022-JP header value (as made by
// ConvertFromSjis with KanjiCode::Jis) as B words folded with CR LF TAB. Plain
// ASCII stays as it is. The result grows as needed.
std::string MimeHeaderEncode(std::string_view jisText);

// UTF-8 header text with its runs of non-ASCII words as B words
// (=?UTF-8?B?...?=) of at most 75 characters holding whole characters,
// folded with CR LF and a blank. ASCII words stay as they are.
std::string EncodeUtf8HeaderWords(std::string_view utf8);

// Copying forms: dest receives the result.
void DecodeHeaderWords(std::string& dest, std::string_view source);
void EncodeHeaderWords(std::string& dest, std::string_view source);

} // namespace textcodec
