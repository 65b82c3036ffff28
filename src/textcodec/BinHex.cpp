#include "textcodec/BinHex.h"

#include <cstdio>
#include <system_error>

#include "textcodec/FileIo.h"

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

// Groups bytes in threes and writes them as four characters, 64 to a line.
class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    void Start()
    {
        out_ += ':';
        column_ = 1;
    }
    // A byte of the stream after run-length escaping.
    void Raw(unsigned char b)
    {
        group_[count_++] = b;
        if (count_ == 3)
            Flush();
    }
    // A data byte: the run marker itself is escaped as 0x90 0x00.
    void Byte(unsigned char b)
    {
        Raw(b);
        if (b == kRunMarker)
            Raw(0);
    }
    void Pad()
    {
        while (count_ != 0)
            Raw(0);
    }

private:
    void Char(char c)
    {
        out_ += c;
        if (++column_ == 64) {
            out_ += '\n';
            column_ = 0;
        }
    }
    void Flush()
    {
        Char(kAlphabet[group_[0] >> 2]);
        Char(kAlphabet[(group_[0] << 4 | group_[1] >> 4) & 63]);
        Char(kAlphabet[(group_[1] << 2 | group_[2] >> 6) & 63]);
        Char(kAlphabet[group_[2] & 63]);
        count_ = 0;
    }
    std::string& out_;
    unsigned char group_[3] = {};
    int count_ = 0;
    int column_ = 0;
};

// Reads the run-length encoded stream.
class Expander {
public:
    explicit Expander(std::string_view s) : s_(s) {}
    // False at the end of the stream.
    bool Next(unsigned char& b)
    {
        if (repeat_ > 0) {
            --repeat_;
            b = last_;
            return true;
        }
        for (;;) {
            if (pos_ >= s_.size())
                return false;
            unsigned char c = static_cast<unsigned char>(s_[pos_++]);
            if (c != kRunMarker) {
                last_ = b = c;
                return true;
            }
            if (pos_ >= s_.size())
                return false;
            unsigned n = static_cast<unsigned char>(s_[pos_++]);
            if (n == 0) {
                last_ = b = kRunMarker;
                return true;
            }
            if (n == 1)
                continue; // a run of one: the byte was already returned
            repeat_ = n - 2;
            b = last_;
            return true;
        }
    }
    bool Read(std::string& into, size_t n)
    {
        unsigned char b;
        for (size_t i = 0; i < n; ++i) {
            if (!Next(b))
                return false;
            into += static_cast<char>(b);
        }
        return true;
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
    unsigned repeat_ = 0;
    unsigned char last_ = 0;
};

uint32_t Be32(const std::string& s, size_t i)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(s[i])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[i + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[i + 2])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[i + 3]));
}

// The 6-bit characters between the start colon and the end colon, as bytes.
bool Unpack(std::string_view text, std::string& bytes)
{
    // Skip lines to the start line, then find a colon at a line start.
    size_t pos = 0;
    bool found = false;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(pos, end - pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;
        if (line.starts_with(kStartLine)) {
            found = true;
            break;
        }
    }
    if (!found)
        return false;
    found = false;
    bool lineStart = true;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == ':' && lineStart) {
            found = true;
            ++pos;
            break;
        }
        lineStart = c == '\n' || c == '\r';
    }
    if (!found)
        return false;
    bytes.reserve((text.size() - pos) / 4 * 3);
    unsigned char g[4];
    int n = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '\r' || c == '\n')
            continue;
        if (c == ':')
            break;
        g[n++] = kValues.v[static_cast<unsigned char>(c)];
        if (n == 4) {
            bytes += static_cast<char>(g[0] << 2 | g[1] >> 4);
            bytes += static_cast<char>(g[1] << 4 | g[2] >> 2);
            bytes += static_cast<char>(g[2] << 6 | g[3]);
            n = 0;
        }
    }
    return true;
}

} // namespace

uint16_t BinHexCrc(std::string_view bytes, uint16_t crc)
{
    for (unsigned char b : bytes)
        crc = static_cast<uint16_t>(crc << 8 ^ kCrc.t[(crc >> 8) ^ b]);
    return crc;
}

std::string BinHexEncode(std::string_view data, std::string_view name)
{
    if (name.size() > 255)
        name = name.substr(0, 255); // the length is one byte
    std::string header;
    header += static_cast<char>(name.size());
    header += name;
    header += '\0';
    header += "????????";
    header += std::string(2, '\0');
    uint32_t len = static_cast<uint32_t>(data.size());
    for (int s = 24; s >= 0; s -= 8)
        header += static_cast<char>(len >> s);
    header += std::string(4, '\0');
    uint16_t crc = BinHexCrc(header);
    header += static_cast<char>(crc >> 8);
    header += static_cast<char>(crc);

    std::string out;
    out.reserve(data.size() * 4 / 3 + data.size() / 48 + 128);
    out += kIntro;
    out += "\n\n";
    Writer w(out);
    w.Start();
    for (unsigned char b : header)
        w.Byte(b);
    for (unsigned char b : data)
        w.Byte(b);
    uint16_t dataCrc = BinHexCrc(data);
    w.Byte(static_cast<unsigned char>(dataCrc >> 8));
    w.Byte(static_cast<unsigned char>(dataCrc));
    w.Pad();
    out += "!!!!:\n";
    return out;
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
    std::string bytes;
    if (!Unpack(text, bytes))
        return BinHexStatus::NoStart;
    Expander ex(bytes);
    std::string h;
    if (!ex.Read(h, 1))
        return BinHexStatus::BadHeader;
    size_t n = static_cast<unsigned char>(h[0]);
    if (!ex.Read(h, n + 21))
        return BinHexStatus::BadHeader;
    uint16_t stored = static_cast<uint16_t>(static_cast<unsigned char>(h[n + 20]) << 8 |
                                            static_cast<unsigned char>(h[n + 21]));
    if (BinHexCrc(std::string_view(h).substr(0, n + 20)) != stored)
        return BinHexStatus::BadHeader;
    BinHexHeader hd;
    hd.name = h.substr(1, n);
    hd.type = h.substr(n + 2, 4);
    hd.creator = h.substr(n + 6, 4);
    hd.flags = static_cast<uint16_t>(static_cast<unsigned char>(h[n + 10]) << 8 |
                                     static_cast<unsigned char>(h[n + 11]));
    hd.dataLength = Be32(h, n + 12);
    hd.resourceLength = Be32(h, n + 16);
    hd.headerCrc = stored;
    header = hd;
    if (!sink)
        return BinHexStatus::Ok;

    // Run-length coding expands a hundredfold and more: the data goes out in
    // pieces, so memory stays bounded whatever the expansion.
    constexpr size_t kPiece = 64 * 1024;
    std::string piece;
    piece.reserve(kPiece + 2);
    bool text_ = hd.type == "TEXT";
    uint16_t crc = 0;
    unsigned char b;
    BinHexStatus status = BinHexStatus::Ok;
    for (uint32_t i = 0; i < hd.dataLength; ++i) {
        if (!ex.Next(b)) {
            status = BinHexStatus::Truncated;
            break;
        }
        crc = static_cast<uint16_t>(crc << 8 ^ kCrc.t[(crc >> 8) ^ b]);
        piece += static_cast<char>(b);
        if (text_ && b == '\r')
            piece += '\n';
        if (piece.size() >= kPiece) {
            if (!sink(piece))
                return BinHexStatus::WriteFailed;
            piece.clear();
        }
    }
    if (!piece.empty() && !sink(piece))
        return BinHexStatus::WriteFailed;
    if (status != BinHexStatus::Ok)
        return status;
    std::string c;
    if (!ex.Read(c, 2))
        return BinHexStatus::Truncated;
    uint16_t dataCrc = static_cast<uint16_t>(static_cast<unsigned char>(c[0]) << 8 |
                                             static_cast<unsigned char>(c[1]));
    return dataCrc == crc ? BinHexStatus::Ok : BinHexStatus::BadDataCrc;
}

bool BinHexEncodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    auto data = ReadFileBytes(input);
    if (!data)
        return false;
    std::string text = BinHexEncode(*data, BaseName(input.string()));
    return WriteFileBytes(output, text) == WriteResult::Ok;
}

namespace {
void RemoveIntermediate(const std::filesystem::path& path)
{
    if (!path.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
}
} // namespace

std::optional<BinHexHeader> BinHexReadHeader(const std::filesystem::path& input, uint64_t byteOffset,
                                             const std::filesystem::path& intermediatePath)
{
    RemoveIntermediate(intermediatePath);
    auto text = ReadFileBytes(input, byteOffset);
    if (!text)
        return std::nullopt;
    BinHexHeader header;
    if (BinHexDecode(*text, header, nullptr) != BinHexStatus::Ok)
        return std::nullopt;
    return header;
}

std::optional<BinHexHeader> BinHexDecodeFile(const std::filesystem::path& input, uint64_t byteOffset,
                                             const std::filesystem::path& intermediatePath,
                                             const std::filesystem::path& output)
{
    RemoveIntermediate(intermediatePath);
    auto text = ReadFileBytes(input, byteOffset);
    if (!text)
        return std::nullopt;
    BinHexHeader header;
    BinHexStatus st = BinHexDecodeToFile(*text, header, output);
    if (st != BinHexStatus::Ok)
        return std::nullopt;
    return header;
}

BinHexStatus BinHexDecodeToFile(std::string_view text, BinHexHeader& header, const std::filesystem::path& output)
{
    BinHexStatus st = BinHexDecodeTo(text, header, BinHexSink());
    if (st != BinHexStatus::Ok)
        return st;
    std::FILE* f = std::fopen(output.c_str(), "wb");
    if (!f)
        return BinHexStatus::WriteFailed;
    st = BinHexDecodeTo(text, header, [f](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
    });
    if (std::fclose(f) != 0 && st != BinHexStatus::WriteFailed)
        st = BinHexStatus::WriteFailed;
    if (st == BinHexStatus::WriteFailed) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(output, ec)))
            std::filesystem::remove(output, ec);
    }
    return st;
}

} // namespace textcodec
