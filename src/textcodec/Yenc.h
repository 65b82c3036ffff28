#pragma once
// yEnc: "=ybegin" (and "=ypart") lines, bytes shifted by 42 with '=' escapes,
// an "=yend" line with the sizes and CRC32s. Lines may be of any length.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "textcodec/StreamCodec.h"

namespace textcodec {

// What the keyword lines of a block say; 0 (or empty) where they say nothing.
struct YencHeader {
    std::string name;      // as given, not yet made safe as a file name
    std::uint64_t size = 0; // of the whole file
    unsigned line = 0;
    unsigned part = 0;     // 0 for a single-part post
    unsigned total = 0;
    std::uint64_t begin = 0; // 1-based offset of this part in the file
    std::uint64_t end = 0;
};

enum class YencStatus {
    Ok,
    NoBegin,    // no "=ybegin" line; nothing was decoded
    NoEnd,      // the data stopped before "=yend" (what came is kept)
    BadSize,    // the sizes the lines give disagree with the data
    BadCrc,     // a pcrc32 or crc32 does not match the data
    OutOfOrder, // a later part does not start where the one before ended
};

// Decodes the yEnc block(s) in a text: the first "=ybegin" starts it; more
// parts of the same file may follow one after another, each after its
// "=yend". Other text before and between blocks passes unused. The carry is
// a keyword line (cut at kYencMaxKeywordLine) and an escape, so a data line
// of any length costs nothing.
class YencDecoder : public StreamCodec {
public:
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

    // The first part's "=ybegin"/"=ypart" (the last part's "=yend" values in
    // endSize/endCrc below).
    const YencHeader& Header() const { return header_; }
    bool Started() const { return parts_ > 0; }
    unsigned Parts() const { return parts_; }
    // Valid once finished.
    YencStatus Status() const { return status_; }
    std::uint64_t Decoded() const { return decoded_; }
    // CRC32 of everything decoded.
    std::uint32_t Crc() const { return crc_; }

private:
    enum class State { SeekLine, SeekText, LineStart, LineStartEq, Data, Escape, Keyword };
    void Keyword(std::string_view line);
    void BeginPart(std::string_view line);
    void EndPart(std::string_view line);
    void FoldPart();
    void Fail(YencStatus status, std::string text);
    void DecodeData(std::string_view& in, std::string& out);

    State state_ = State::SeekLine;
    std::string keyword_;       // a keyword line, or a line read while seeking
    bool keywordCut_ = false;
    YencHeader header_;
    YencHeader current_;        // the part being decoded
    bool wantPart_ = false;     // "=ybegin" named a part: "=ypart" comes next
    unsigned parts_ = 0;
    std::uint64_t decoded_ = 0;
    std::uint64_t partDecoded_ = 0;
    std::uint32_t crc_ = 0;
    std::uint32_t partCrc_ = 0;
    bool inPart_ = false;
    bool sawEnd_ = false;       // the file's last part ended
    YencStatus status_ = YencStatus::NoBegin;
};

inline constexpr size_t kYencMaxKeywordLine = 4096;

// The encoder: one part of data per call sequence. With part 0 a single-part
// block ("=ybegin line= size= name=" ... "=yend size= crc32="); otherwise
// "=ybegin part= total=", "=ypart begin= end=" and "=yend ... pcrc32=" (and
// crc32= of the whole file when fileCrc is given, or when the part is all of it).
struct YencPartInfo {
    std::string name;
    std::uint64_t fileSize = 0;
    unsigned part = 0;
    unsigned total = 0;
    std::uint64_t begin = 1; // 1-based
    std::uint64_t partSize = 0;
    unsigned lineLength = 128;
    bool haveFileCrc = false;
    std::uint32_t fileCrc = 0;
    std::string lineEnd = "\n";
};

class YencEncoder : public StreamCodec {
public:
    explicit YencEncoder(YencPartInfo info);
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    void Head(std::string& out);
    void Emit(unsigned char byte, bool last, std::string& out);
    YencPartInfo info_;
    bool held_ = false;
    char heldByte_ = 0;
    bool headDone_ = false;
    unsigned column_ = 0;
    std::uint64_t size_ = 0;
    std::uint32_t crc_ = 0;
};

// CRC32 (the one of zlib, gzip and yEnc) over bytes, continuing from crc.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

// Encodes data as one yEnc block (a convenience for short data and tests).
std::string YencEncode(std::string_view data, YencPartInfo info);

// A one-line account of a decoder's outcome, empty when it is Ok.
std::string YencProblemText(const YencDecoder& decoder);

// The name a damaged file is saved under: "photo.jpg" -> "photo.damaged.jpg".
std::string DamagedFileName(std::string_view name);

// Decodes a file holding yEnc text. The output is written even when the
// block is damaged (NoEnd, BadSize, BadCrc, OutOfOrder), so what came can be
// looked at; NoBegin makes nothing.
enum class YencFileStatus { Ok, InputFailed, OutputFailed, NoBegin, Damaged };
YencFileStatus YencDecodeFile(const std::filesystem::path& input, const std::filesystem::path& output,
                              YencDecoder& decoder);

} // namespace textcodec
