#pragma once
// Base64 (RFC 2045 alphabet) for article lines and attached files: faces over
// the one engine, Base64Encoder and Base64Decoder (Base64Codec.h).

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "textcodec/StreamPump.h"

namespace textcodec {

// Decodes one line of Base64 (no line break in it; decoding stops at a NUL)
// into out, replacing its contents. Groups of 4 give 3 bytes less the "="
// in the last group; a short last group of 2 or 3 characters gives 1 or 2
// bytes. Characters outside the alphabet count as value 0. Returns the
// number of bytes.
size_t Base64DecodeLine(std::string& out, std::string_view text);

// Encodes data ("=" padded) and appends LF. Empty data gives just LF.
std::string Base64EncodeLine(std::string_view data);

// The whole encoded form of a file's bytes: lines of 72 characters (54
// bytes each), each ending in LF.
std::string Base64EncodeText(std::string_view data);

// Encodes a file into a new file of 72-character lines, a block at a time.
// True on success; on any read or write failure nothing is written over
// the output and the result is false.
bool Base64EncodeFile(const std::filesystem::path& input, const std::filesystem::path& output);

// Bytes of Base64 text the decoder reads at a time.
inline constexpr size_t kBase64TextBlock = kPumpBlock;

// Decodes a file of Base64 text into a new file, a block at a time: line
// ends, blanks and tabs are skipped and the rest is one run, decoded as
// Base64DecodeLine would decode it whole. Any other byte outside the
// alphabet and "=" makes it NotBase64. The result is written beside the
// output and renamed over it only when Ok, so a file already there stays
// as it was otherwise. A file decoded (or encoded) onto itself is read
// whole first.
enum class Base64FileStatus { Ok, InputFailed, NotBase64, OutputFailed };
Base64FileStatus Base64DecodeFile(const std::filesystem::path& input, const std::filesystem::path& output);

} // namespace textcodec
