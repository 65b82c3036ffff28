#include "textcodec/BinHex.h"

#include <cstdio>
#include <system_error>

#include "textcodec/FileIo.h"
#include "textcodec/StreamPump.h"

namespace textcodec {

using namespace detail;

namespace {

constexpr char kAlphabet[] = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
constexpr std::string_view kIntro = "(This file must be converted with BinHex 4.0)";
constexpr std::string_view kStartLine = "(This file must be converted with BinHex";
constexpr unsigned char kRunMarker = 0x90;

struct Values {
    uint8_t v[256];
    constexpr Values() : v()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = 0; // outside the alphabet: value 0, never an out-of-range index
        for (int i = 0; i < 64; ++i)
            v[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
    }
};
constexpr Values kValues{};

struct CrcTable {
    uint16_t t[256];
    constexpr CrcTable() : t()
    {
        for (int i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i << 8);
            for (int k = 0; k < 8; ++k)
                c = static_cast<uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1);
            t[i] = c;
        }
    }
};
constexpr CrcTable kCrc{};

uint32_t Be32(const std::string& s, size_t i)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(s[i])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[i + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[i + 2])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[i + 3]));
}

uint16_t CrcStep(uint16_t crc, unsigned char b) { return static_cast<uint16_t>(crc << 8 ^ kCrc.t[(crc >> 8) ^ b]); }

// Text handed to a decoder at a time by the whole-text faces: run-length
// coding expands a hundredfold and more, so each piece given stays bounded.
constexpr size_t kTextSlice = 16 * 1024;

} // namespace

uint16_t BinHexCrc(std::string_view bytes, uint16_t crc)
{
    for (unsigned char b : bytes)
        crc = static_cast<uint16_t>(crc << 8 ^ kCrc.t[(crc >> 8) ^ b]);
    return crc;
}

BinHexEncoder::BinHexEncoder(std::string_view name, uint32_t dataLength) : dataLength_(dataLength)
{
    if (name.size() > 255)
        name = name.substr(0, 255); // the length is one byte
    std::string header;
    header += static_cast<char>(name.size());
    header += name;
    header += '\0';
    header += "????????";
    header += std::string(2, '\0');
    for (int s = 24; s >= 0; s -= 8)
        header += static_cast<char>(dataLength >> s);
    header += std::string(4, '\0');
    const uint16_t crc = BinHexCrc(header);
    header += static_cast<char>(crc >> 8);
    header += static_cast<char>(crc);
    head_ = header;
}

void BinHexEncoder::Char(char c, std::string& out)
{
    out += c;
    if (++column_ == 64) {
        out += '\n';
        column_ = 0;
    }
}

// A byte of the stream after run-length escaping: grouped in threes and
// written as four characters, 64 to a line.
void BinHexEncoder::Raw(unsigned char b, std::string& out)
{
    group_[count_++] = b;
    if (count_ < 3)
        return;
    Char(kAlphabet[group_[0] >> 2], out);
    Char(kAlphabet[(group_[0] << 4 | group_[1] >> 4) & 63], out);
    Char(kAlphabet[(group_[1] << 2 | group_[2] >> 6) & 63], out);
    Char(kAlphabet[group_[2] & 63], out);
    count_ = 0;
}

// A data byte: the run marker itself is escaped as 0x90 0x00.
void BinHexEncoder::Byte(unsigned char b, std::string& out)
{
    Raw(b, out);
    if (b == kRunMarker)
        Raw(0, out);
}

void BinHexEncoder::Put(std::string_view in, std::string& out)
{
    if (!head_.empty()) {
        out += kIntro;
        out += "\n\n:";
        column_ = 1;
        for (unsigned char b : head_)
            Byte(b, out);
        head_.clear();
    }
    out.reserve(out.size() + in.size() * 4 / 3 + in.size() / 48 + 8);
    for (unsigned char b : in) {
        crc_ = CrcStep(crc_, b);
        Byte(b, out);
    }
    seen_ += static_cast<uint32_t>(in.size());
}

void BinHexEncoder::Finish(std::string& out)
{
    Put({}, out);
    Byte(static_cast<unsigned char>(crc_ >> 8), out);
    Byte(static_cast<unsigned char>(crc_), out);
    while (count_ != 0)
        Raw(0, out);
    out += "!!!!:\n";
    if (seen_ != dataLength_)
        SetProblem("data length differs from the header's");
}

void BinHexDecoder::End(BinHexStatus status)
{
    status_ = status;
    fork_ = Fork::Done;
    state_ = State::Ended;
}

void BinHexDecoder::HeaderComplete()
{
    const std::string& h = forkBytes_;
    const size_t n = static_cast<unsigned char>(h[0]);
    const uint16_t stored = static_cast<uint16_t>(static_cast<unsigned char>(h[n + 20]) << 8 |
                                                  static_cast<unsigned char>(h[n + 21]));
    if (BinHexCrc(std::string_view(h).substr(0, n + 20)) != stored)
        return End(BinHexStatus::BadHeader);
    header_.name = h.substr(1, n);
    header_.type = h.substr(n + 2, 4);
    header_.creator = h.substr(n + 6, 4);
    header_.flags = static_cast<uint16_t>(static_cast<unsigned char>(h[n + 10]) << 8 |
                                          static_cast<unsigned char>(h[n + 11]));
    header_.dataLength = Be32(h, n + 12);
    header_.resourceLength = Be32(h, n + 16);
    header_.headerCrc = stored;
    headerSound_ = true;
    if (headerOnly_)
        return End(BinHexStatus::Ok);
    text_ = header_.type == "TEXT";
    dataLeft_ = header_.dataLength;
    forkBytes_.clear();
    fork_ = dataLeft_ ? Fork::Data : Fork::Crc;
}

// A byte of the expanded stream: header, data fork, its CRC.
void BinHexDecoder::Expanded(unsigned char b, std::string& out)
{
    switch (fork_) {
    case Fork::Header:
        forkBytes_ += static_cast<char>(b);
        if (forkBytes_.size() == static_cast<unsigned char>(forkBytes_[0]) + 22u)
            HeaderComplete();
        return;
    case Fork::Data:
        crc_ = CrcStep(crc_, b);
        out += static_cast<char>(b);
        if (text_ && b == '\r')
            out += '\n';
        if (--dataLeft_ == 0)
            fork_ = Fork::Crc;
        return;
    case Fork::Crc:
        forkBytes_ += static_cast<char>(b);
        if (forkBytes_.size() == 2) {
            const uint16_t stored = static_cast<uint16_t>(static_cast<unsigned char>(forkBytes_[0]) << 8 |
                                                          static_cast<unsigned char>(forkBytes_[1]));
            End(stored == crc_ ? BinHexStatus::Ok : BinHexStatus::BadDataCrc);
        }
        return;
    case Fork::Done:
        return;
    }
}

// A byte of the run-length coded stream.
void BinHexDecoder::Unpacked(unsigned char b, std::string& out)
{
    if (marker_) {
        marker_ = false;
        if (b == 0) {
            last_ = kRunMarker;
            Expanded(kRunMarker, out);
            return;
        }
        // A run of n holds the byte already given and n - 1 more.
        for (unsigned i = 1; i < b && fork_ != Fork::Done; ++i)
            Expanded(last_, out);
        return;
    }
    if (b == kRunMarker) {
        marker_ = true;
        return;
    }
    last_ = b;
    Expanded(b, out);
}

void BinHexDecoder::Put(std::string_view in, std::string& out)
{
    size_t i = 0;
    while (i < in.size() && state_ != State::Ended) {
        const char c = in[i++];
        switch (state_) {
        case State::SeekStart:
            if (c == '\n') {
                lineHead_.clear();
            } else if (lineHead_.size() < kStartLine.size()) {
                lineHead_ += c;
                if (lineHead_ == kStartLine)
                    state_ = State::StartLine;
            }
            break;
        case State::StartLine:
            if (c == '\n')
                state_ = State::SeekColon;
            break;
        case State::SeekColon:
            if (c == ':' && lineStart_)
                state_ = State::Data;
            lineStart_ = c == '\n' || c == '\r';
            break;
        case State::Data:
            if (c == '\r' || c == '\n')
                break;
            if (c == ':') {
                state_ = State::Ended;
                break;
            }
            group_[count_++] = kValues.v[static_cast<unsigned char>(c)];
            if (count_ == 4) {
                count_ = 0;
                Unpacked(static_cast<unsigned char>(group_[0] << 2 | group_[1] >> 4), out);
                Unpacked(static_cast<unsigned char>(group_[1] << 4 | group_[2] >> 2), out);
                Unpacked(static_cast<unsigned char>(group_[2] << 6 | group_[3]), out);
            }
            break;
        case State::Ended:
            break;
        }
    }
}

void BinHexDecoder::Finish(std::string&)
{
    if (fork_ != Fork::Done) {
        if (state_ != State::Data && state_ != State::Ended)
            status_ = BinHexStatus::NoStart;
        else if (fork_ == Fork::Header)
            status_ = BinHexStatus::BadHeader;
        else
            status_ = BinHexStatus::Truncated;
        fork_ = Fork::Done;
        state_ = State::Ended;
    }
    switch (status_) {
    case BinHexStatus::Ok: break;
    case BinHexStatus::NoStart: SetProblem("no BinHex 4.0 block"); break;
    case BinHexStatus::BadHeader: SetProblem("BinHex header damaged"); break;
    case BinHexStatus::Truncated: SetProblem("BinHex data cut short"); break;
    case BinHexStatus::BadDataCrc: SetProblem("BinHex data CRC wrong"); break;
    case BinHexStatus::WriteFailed: SetProblem("BinHex data not written"); break;
    case BinHexStatus::ReadFailed: SetProblem("BinHex text not read"); break;
    }
}

std::string BinHexEncode(std::string_view data, std::string_view name)
{
    BinHexEncoder encoder(name, static_cast<uint32_t>(data.size()));
    return RunCodec(encoder, data);
}

BinHexStatus BinHexDecode(std::string_view text, BinHexHeader& header, std::string* data)
{
    if (!data)
        return BinHexDecodeTo(text, header, BinHexSink());
    data->clear();
    return BinHexDecodeTo(text, header, [data](std::string_view piece) {
        data->append(piece);
        return true;
    });
}

BinHexStatus BinHexDecodeTo(std::string_view text, BinHexHeader& header, const BinHexSink& sink)
{
    BinHexDecoder decoder(!sink);
    const PumpStatus st = PumpText(text, decoder, sink, false, kTextSlice);
    if (decoder.HeaderSound())
        header = decoder.Header();
    return st == PumpStatus::WriteFailed ? BinHexStatus::WriteFailed : decoder.Status();
}

namespace {

// Writes output only once the header is sound, and keeps what was written
// when the data is cut short or its CRC is wrong.
BinHexStatus KeepDecoded(FilePumpStatus pumped, const BinHexDecoder& decoder, AtomicOutput& out)
{
    if (pumped == FilePumpStatus::OutputFailed)
        return BinHexStatus::WriteFailed;
    if (!decoder.HeaderSound())
        return decoder.Status();
    return out.Keep() ? decoder.Status() : BinHexStatus::WriteFailed;
}

void RemoveIntermediate(const std::filesystem::path& path)
{
    if (!path.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
}

} // namespace

BinHexStatus BinHexDecodeToFile(std::string_view text, BinHexHeader& header, const std::filesystem::path& output)
{
    BinHexDecoder decoder;
    AtomicOutput out(output);
    const PumpStatus pumped = PumpText(text, decoder, out.Sink(), false, kTextSlice);
    if (decoder.HeaderSound())
        header = decoder.Header();
    return KeepDecoded(pumped == PumpStatus::WriteFailed ? FilePumpStatus::OutputFailed : FilePumpStatus::Ok, decoder,
                       out);
}

bool BinHexEncodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(input, ec);
    if (ec || size > UINT32_MAX)
        return false;
    BinHexEncoder encoder(BaseName(input.string()), static_cast<uint32_t>(size));
    AtomicOutput out(output);
    return PumpFile(input, encoder, out, output) == FilePumpStatus::Ok && !encoder.Failed() && out.Keep();
}

std::optional<BinHexHeader> BinHexReadHeader(const std::filesystem::path& input, uint64_t byteOffset,
                                             const std::filesystem::path& intermediatePath)
{
    RemoveIntermediate(intermediatePath);
    BinHexDecoder decoder(true);
    AtomicOutput none({});
    if (PumpFile(input, decoder, none, {}, false, byteOffset) != FilePumpStatus::Ok ||
        decoder.Status() != BinHexStatus::Ok)
        return std::nullopt;
    return decoder.Header();
}

BinHexStatus BinHexDecodeFileTo(const std::filesystem::path& input, uint64_t byteOffset, BinHexHeader& header,
                                const std::filesystem::path& output)
{
    BinHexDecoder decoder;
    AtomicOutput out(output);
    const FilePumpStatus pumped = PumpFile(input, decoder, out, output, false, byteOffset);
    if (pumped == FilePumpStatus::InputFailed)
        return BinHexStatus::ReadFailed;
    if (decoder.HeaderSound())
        header = decoder.Header();
    return KeepDecoded(pumped, decoder, out);
}

std::optional<BinHexHeader> BinHexDecodeFile(const std::filesystem::path& input, uint64_t byteOffset,
                                             const std::filesystem::path& intermediatePath,
                                             const std::filesystem::path& output)
{
    RemoveIntermediate(intermediatePath);
    BinHexHeader header;
    if (BinHexDecodeFileTo(input, byteOffset, header, output) != BinHexStatus::Ok)
        return std::nullopt;
    return header;
}

} // namespace textcodec
