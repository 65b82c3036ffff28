#pragma once
// Japanese code conversion of a whole stream in blocks, with the same bytes
// as one Put of all of it: memory stays the same for any length.

#include <cstddef>
#include <cstdio>

namespace textcodec {

// Bytes read at a time.
inline constexpr std::size_t kStreamBlock = 1 << 20;

enum class StreamStatus { Ok, StartFailed, ConvertFailed, ReadFailed, WriteFailed };

struct StreamResult {
    StreamStatus status = StreamStatus::Ok;
    int error = 0;        // the converter's error code for StartFailed/ConvertFailed
    bool badBytes = false; // invalid sequences were passed through
};

// Reads in to its end and writes the converted text to out (not flushed).
// Detecting codes read the text twice: a file again from where it started,
// anything else (a pipe) from a temporary copy of what detection needed.
StreamResult ConvertStream(std::FILE* in, std::FILE* out, int inputCode, int outputCode, bool widenKana);

} // namespace textcodec
