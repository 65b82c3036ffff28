#pragma once
// BinHex 4.0 (data fork only on writing; the resource fork is skipped on
// reading).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "textcodec/StreamCodec.h"

namespace textcodec {

struct BinHexHeader {
    std::string name;
    std::string type;    // 4 characters
    std::string creator; // 4 characters
    uint16_t flags = 0;
    uint32_t dataLength = 0;
    uint32_t resourceLength = 0;
    uint16_t headerCrc = 0;
};

enum class BinHexStatus {
    Ok,
    NoStart,     // no "(This file must be converted with BinHex" line and ":" line start
    BadHeader,   // header short or its CRC wrong
    Truncated,   // the data fork or its CRC is cut short
    BadDataCrc,  // the data fork's CRC is wrong
    WriteFailed, // the sink (or output file) refused the data
    ReadFailed,  // the input file could not be opened or read
};

// The encoded text of a data fork of dataLength bytes under name, with LF
// line ends. A different length given is a problem (the text is then wrong).
class BinHexEncoder : public StreamCodec {
public:
    BinHexEncoder(std::string_view name, uint32_t dataLength);
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    void Raw(unsigned char b, std::string& out);
    void Byte(unsigned char b, std::string& out);
    void Char(char c, std::string& out);
    std::string head_; // the intro and the header until they are given out
    uint32_t dataLength_;
    uint32_t seen_ = 0;
    uint16_t crc_ = 0;
    unsigned char group_[3] = {};
    int count_ = 0;
    int column_ = 0;
};

// Gives the data fork of the first block (after the start line, from a ":"
// at a line start to the next ":"); the resource fork is skipped. When the
// type is "TEXT" every CR of the data fork is followed by an inserted LF.
// The problem, once finished, is Status's text.
class BinHexDecoder : public StreamCodec {
public:
    // headerOnly: nothing is given; the decoding ends with the header.
    explicit BinHexDecoder(bool headerOnly = false) : headerOnly_(headerOnly) {}
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;
    BinHexStatus Status() const { return status_; }
    // Set once the header's CRC is right.
    bool HeaderSound() const { return headerSound_; }
    const BinHexHeader& Header() const { return header_; }

private:
    enum class State { SeekStart, StartLine, SeekColon, Data, Ended };
    enum class Fork { Header, Data, Crc, Done };
    void Unpacked(unsigned char b, std::string& out);
    void Expanded(unsigned char b, std::string& out);
    void HeaderComplete();
    void End(BinHexStatus status);
    bool headerOnly_;
    State state_ = State::SeekStart;
    Fork fork_ = Fork::Header;
    BinHexStatus status_ = BinHexStatus::NoStart;
    bool headerSound_ = false;
    BinHexHeader header_;
    std::string lineHead_; // the start of a line, to find the start line
    bool lineStart_ = true;
    unsigned char group_[4] = {};
    int count_ = 0;
    bool marker_ = false; // a run marker waits for its count
    unsigned char last_ = 0;
    std::string forkBytes_; // the header, then the data fork's CRC
    uint32_t dataLeft_ = 0;
    uint16_t crc_ = 0;
    bool text_ = false;
};

// Takes the decoded data fork piece by piece; false stops the decoding.
using BinHexSink = std::function<bool(std::string_view)>;

// CRC of BinHex 4.0 (polynomial 0x1021, initial 0, two zero bytes fed in).
uint16_t BinHexCrc(std::string_view bytes, uint16_t crc = 0);

// The encoded text of data under name, with LF line ends.
std::string BinHexEncode(std::string_view data, std::string_view name);
// Decodes text (the block must follow the "(This file must ..." line).
// With data null only the header is decoded. When the type is "TEXT" every
// CR of the data fork is followed by an inserted LF.
BinHexStatus BinHexDecode(std::string_view text, BinHexHeader& header, std::string* data);
// The same with the data handed to sink in bounded pieces (a null sink: header only).
BinHexStatus BinHexDecodeTo(std::string_view text, BinHexHeader& header, const BinHexSink& sink);
// Decodes into output, written only when the header is sound; what was
// written stays when the data is cut short or its CRC is wrong.
BinHexStatus BinHexDecodeToFile(std::string_view text, BinHexHeader& header, const std::filesystem::path& output);

// File forms. BinHexEncodeFile: true on success (false also removes the
// output). The decoders read from byteOffset on, remove intermediatePath
// (kept in the interface; decoding needs no intermediate file) and return
// the header, or nothing on failure. BinHexDecodeFile writes output only
// when the header is sound, and keeps what it wrote when the data fork is
// cut short or its CRC is wrong (the result is then nothing).
bool BinHexEncodeFile(const std::filesystem::path& input, const std::filesystem::path& output);
std::optional<BinHexHeader> BinHexReadHeader(const std::filesystem::path& input, uint64_t byteOffset,
                                             const std::filesystem::path& intermediatePath);
// The same with the outcome: from byteOffset on, written as BinHexDecodeToFile
// writes it.
BinHexStatus BinHexDecodeFileTo(const std::filesystem::path& input, uint64_t byteOffset, BinHexHeader& header,
                                const std::filesystem::path& output);
std::optional<BinHexHeader> BinHexDecodeFile(const std::filesystem::path& input, uint64_t byteOffset,
                                             const std::filesystem::path& intermediatePath,
                                             const std::filesystem::path& output);

} // namespace textcodec
