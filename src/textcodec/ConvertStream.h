#pragma once
// Japanese code conversion of a whole stream in blocks, with the same bytes
// as one Put of all of it: memory stays the same for any length.

#include <cstddef>
#include <cstdio>

#include "textcodec/StreamCodec.h"

namespace textcodec {

// Bytes read at a time.
inline constexpr std::size_t kStreamBlock = 1 << 20;

class CodeConverter;

// The conversion of a converter already converting (a concrete input code,
// or one settled by a scan): the stream form of CodeConverter, giving the
// bytes one Put of the whole text gives. Its carry is a cut sequence.
class JapaneseConvertCodec : public StreamCodec {
public:
    explicit JapaneseConvertCodec(CodeConverter& converter);
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;
    // The converter's error code when it failed.
    int Error() const { return error_; }
    // Invalid sequences were passed through.
    bool BadBytes() const { return badBytes_; }

private:
    void Drain(std::string& out, bool atEnd);
    CodeConverter& cv_;
    int error_ = 0;
    bool badBytes_ = false;
    bool raw_ = false; // the converter gave up: the rest passes unchanged
};

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
