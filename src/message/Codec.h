#pragma once
// The few text codec services the message code needs, in the shapes it uses
// them. Everything here forwards to the textcodec library.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "textcodec/JapaneseCodes.h"

namespace message::codec {

enum InputCode { Auto = 1, AutoSjis = 16 };

// Japanese text in any supported code to Shift_JIS; the text unchanged when
// it cannot be converted.
std::string ToSjis(std::string_view text, InputCode code);
// One header value piece: encoded words decoded, then converted to Shift_JIS.
std::string DecodeHeaderValue(std::string_view text);
// Shift_JIS to ISO-2022-JP or EUC-JP; Shift_JIS stays unchanged.
std::string FromSjis(std::string_view text, textcodec::KanjiCode code);
// ISO-2022-JP header text to encoded words where needed.
std::string EncodeHeaderWords(std::string_view jisText);

// Decodes one Base64 line (no line end in it) to bytes.
std::string Base64DecodeLine(std::string_view text);

// 0 on success, the codec's negative code otherwise.
int UudecodeFile(const std::filesystem::path& in, const std::filesystem::path& out);
// The decoded BinHex file name (may be empty) on success.
std::optional<std::string> BinHexDecodeFile(const std::filesystem::path& in,
                                            const std::filesystem::path& intermediate,
                                            const std::filesystem::path& out);
std::optional<std::string> BinHexReadHeader(const std::filesystem::path& in,
                                            const std::filesystem::path& intermediate);

} // namespace message::codec
