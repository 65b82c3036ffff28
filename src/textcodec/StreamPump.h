#pragma once
// Moving a file, a FILE* or a text through a StreamCodec a block at a time:
// the one loop every file codec uses, so memory stays the same for any size.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>

#include "textcodec/StreamCodec.h"

namespace textcodec {

// Bytes read at a time.
inline constexpr size_t kPumpBlock = 1 << 20;

// Takes what the codec gives; false stops the pump.
using ByteSink = std::function<bool(std::string_view)>;

enum class PumpStatus {
    Ok,          // input read to its end and Finish called (the codec may still have a problem)
    ReadFailed,
    WriteFailed, // the sink refused
    Stopped,     // the codec's problem stopped it (with stopOnProblem)
};

// Fills buf with up to size bytes and sets n (0 at the end); false when
// reading failed.
using BlockReader = std::function<bool(char* buf, size_t size, size_t& n)>;

// Feeds what read gives (to its end) and then Finish; with stopOnProblem the
// first problem ends it without Finish. The others are this over a FILE* or
// a text.
PumpStatus PumpBlocks(const BlockReader& read, StreamCodec& codec, const ByteSink& out, bool stopOnProblem = false,
                      size_t block = kPumpBlock);
PumpStatus PumpStream(std::FILE* in, StreamCodec& codec, const ByteSink& out, bool stopOnProblem = false,
                      size_t block = kPumpBlock);
PumpStatus PumpText(std::string_view in, StreamCodec& codec, const ByteSink& out, bool stopOnProblem = false,
                    size_t block = kPumpBlock);

// The output file of a codec: written under a fresh name beside it and
// renamed over it only by Keep, so bad input found late, a full disk or a
// crash never destroys a file that was already there. A link, device or
// pipe (/dev/stdout, a FIFO) is written through as named. Nothing is made
// before the first Write or Keep; without Keep it is all thrown away.
class AtomicOutput {
public:
    explicit AtomicOutput(const std::filesystem::path& path) : path_(path) {}
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    bool Write(std::string_view bytes);
    ByteSink Sink()
    {
        return [this](std::string_view bytes) { return Write(bytes); };
    }
    bool Keep();
    // Keep renames to path instead (a file beside the first, as a damaged
    // file's name); an output written through as named stays where it is.
    void KeepAs(const std::filesystem::path& path) { keepAs_ = path; }

private:
    bool Open();
    void Discard();
    std::filesystem::path path_;
    std::filesystem::path temp_;
    std::filesystem::path keepAs_;
    std::FILE* f_ = nullptr;
};

// Runs the file input (from offset on) through codec into out. A file that
// is also the output is read whole first, so writing cannot overtake the
// reading. InputFailed covers a file that cannot be opened or read.
enum class FilePumpStatus { Ok, InputFailed, OutputFailed, Stopped };
FilePumpStatus PumpFile(const std::filesystem::path& input, StreamCodec& codec, AtomicOutput& out,
                        const std::filesystem::path& output, bool stopOnProblem = false, uint64_t offset = 0);

} // namespace textcodec
