#include "textcodec/Base64.h"

#include "textcodec/Base64Alphabet.h"
#include "textcodec/FileIo.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <system_error>
#include <vector>

namespace textcodec {

using namespace detail;

namespace {
// Each character's value already shifted to its place in a group of four;
// characters outside the alphabet count as zero.
struct DecodeTables {
    uint32_t d0[256], d1[256], d2[256], d3[256];
    DecodeTables()
    {
        for (int c = 0; c < 256; ++c) {
            uint32_t v = kBase64Values.v[c] == 0xFF ? 0 : kBase64Values.v[c];
            d0[c] = v << 18;
            d1[c] = v << 12;
            d2[c] = v << 6;
            d3[c] = v;
        }
    }
};
const DecodeTables& Tables()
{
    static const DecodeTables t;
    return t;
}

// Whole groups of four, pads counting as zero; returns the end of out.
char* DecodeGroups(const unsigned char* p, size_t full, char* o)
{
    const DecodeTables& t = Tables();
    for (size_t i = 0; i < full; i += 4) {
        uint32_t g = t.d0[p[i]] | t.d1[p[i + 1]] | t.d2[p[i + 2]] | t.d3[p[i + 3]];
        o[0] = static_cast<char>(g >> 16);
        o[1] = static_cast<char>(g >> 8);
        o[2] = static_cast<char>(g);
        o += 3;
    }
    return o;
}
} // namespace

size_t Base64DecodeLine(std::string& out, std::string_view text)
{
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    const DecodeTables& t = Tables();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t full = text.size() / 4 * 4;
    size_t rest = text.size() - full;
    out.resize(full / 4 * 3 + 3);
    DecodeGroups(p, full, out.data());
    size_t n = full / 4 * 3;
    if (rest == 0 && full >= 4) {
        // Pads count only in the last group's third and fourth positions.
        if (p[full - 1] == '=')
            --n;
        if (p[full - 2] == '=')
            --n;
    } else if (rest >= 2) {
        uint32_t g = t.d0[p[full]] | t.d1[p[full + 1]] | (rest == 3 ? t.d2[p[full + 2]] : 0);
        out[n++] = static_cast<char>(g >> 16);
        if (rest == 3 && p[full + 2] != '=')
            out[n++] = static_cast<char>(g >> 8);
    }
    out.resize(n);
    return n;
}

namespace {
// Lines of 54 bytes as 72 characters and LF; returns the end of out, which
// needs n / 54 * 73 + 74 bytes.
char* EncodeLines(const unsigned char* p, size_t n, char* o)
{
    for (size_t i = 0; i < n; i += 54) {
        const size_t len = n - i < 54 ? n - i : 54;
        const unsigned char* q = p + i;
        size_t j = 0;
        for (; j + 3 <= len; j += 3) {
            const uint32_t g = q[j] << 16 | q[j + 1] << 8 | q[j + 2];
            o[0] = kBase64Alphabet[g >> 18];
            o[1] = kBase64Alphabet[g >> 12 & 63];
            o[2] = kBase64Alphabet[g >> 6 & 63];
            o[3] = kBase64Alphabet[g & 63];
            o += 4;
        }
        if (len - j) {
            const uint32_t g = q[j] << 16 | (len - j == 2 ? q[j + 1] << 8 : 0);
            o[0] = kBase64Alphabet[g >> 18];
            o[1] = kBase64Alphabet[g >> 12 & 63];
            o[2] = len - j == 2 ? kBase64Alphabet[g >> 6 & 63] : '=';
            o[3] = '=';
            o += 4;
        }
        *o++ = '\n';
    }
    return o;
}

void EncodeInto(std::string& out, const unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t g = p[i] << 16 | p[i + 1] << 8 | p[i + 2];
        out += kBase64Alphabet[g >> 18];
        out += kBase64Alphabet[g >> 12 & 63];
        out += kBase64Alphabet[g >> 6 & 63];
        out += kBase64Alphabet[g & 63];
    }
    if (n - i == 1) {
        uint32_t g = p[i] << 16;
        out += kBase64Alphabet[g >> 18];
        out += kBase64Alphabet[g >> 12 & 63];
        out += "==";
    } else if (n - i == 2) {
        uint32_t g = p[i] << 16 | p[i + 1] << 8;
        out += kBase64Alphabet[g >> 18];
        out += kBase64Alphabet[g >> 12 & 63];
        out += kBase64Alphabet[g >> 6 & 63];
        out += '=';
    }
}
} // namespace

std::string Base64EncodeLine(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4 + 1);
    EncodeInto(out, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    out += '\n';
    return out;
}

std::string Base64EncodeText(std::string_view data)
{
    std::string out(data.size() / 54 * 73 + 74, '\0');
    const char* end = EncodeLines(reinterpret_cast<const unsigned char*>(data.data()), data.size(), out.data());
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

namespace {

constexpr size_t kLinesPerBlock = 16384;

// The output file of a block-wise codec: written under a fresh name beside
// it and renamed over it only once whole, so bad text found late, a full
// disk or a crash never destroys a file that was already there.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& path) : path_(path) {}
    ~OutputFile()
    {
        if (!f_)
            return;
        std::fclose(f_);
        Discard();
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Write(const char* data, size_t n)
    {
        if (!f_ && !Open())
            return false;
        return n == 0 || std::fwrite(data, 1, n, f_) == n;
    }
    bool Keep()
    {
        if (!Write(nullptr, 0))
            return false;
        bool ok = std::fflush(f_) == 0;
        ok = (std::fclose(f_) == 0) && ok;
        f_ = nullptr;
        std::error_code ec;
        if (ok && !temp_.empty())
            std::filesystem::rename(temp_, path_, ec);
        if (!ok || ec)
            Discard();
        return ok && !ec;
    }

private:
    bool Open()
    {
        // Only a plain file (or none yet) is replaced; a link, device or pipe
        // (/dev/stdout, a FIFO) is written through as the user named it.
        struct stat st{};
        if (::lstat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            f_ = std::fopen(path_.c_str(), "wb");
            return f_ != nullptr;
        }
        std::string name = path_.string() + ".XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0)
            return false;
        // A new file gets the usual permissions, not mkstemp's private ones.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        temp_ = name;
        if (!(f_ = ::fdopen(fd, "wb"))) {
            ::close(fd);
            Discard();
            return false;
        }
        return true;
    }
    void Discard()
    {
        std::error_code ec;
        if (!temp_.empty())
            std::filesystem::remove(temp_, ec);
    }

    std::filesystem::path path_;
    std::filesystem::path temp_;
    std::FILE* f_ = nullptr;
};

struct InputFile {
    explicit InputFile(const std::filesystem::path& path) : f(std::fopen(path.c_str(), "rb")) {}
    ~InputFile()
    {
        if (f)
            std::fclose(f);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    std::FILE* f;
};

// What the decoder does with each byte: skip it, take it, or give up.
struct ByteKinds {
    uint8_t take[256];
    uint8_t bad[256];
    ByteKinds()
    {
        for (int c = 0; c < 256; ++c) {
            const bool skip = c == '\r' || c == '\n' || c == ' ' || c == '\t';
            const bool ok = c == '=' || kBase64Values.v[c] != 0xFF;
            take[c] = ok;
            bad[c] = !ok && !skip;
        }
    }
};

// Writing a file over itself block by block would destroy what is still to
// be read: such a file is read whole first.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

} // namespace

bool Base64EncodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    if (SameFile(input, output)) {
        auto data = ReadFileBytes(input);
        return data && WriteFileBytes(output, Base64EncodeText(*data)) == WriteResult::Ok;
    }
    InputFile in(input);
    if (!in.f)
        return false;
    OutputFile out(output);
    std::vector<unsigned char> data(kLinesPerBlock * 54);
    std::vector<char> text(kLinesPerBlock * 73 + 74);
    size_t n;
    while ((n = std::fread(data.data(), 1, data.size(), in.f)) > 0) {
        const char* end = EncodeLines(data.data(), n, text.data());
        if (!out.Write(text.data(), static_cast<size_t>(end - text.data())))
            return false;
    }
    return !std::ferror(in.f) && out.Keep();
}

Base64FileStatus Base64DecodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    static const ByteKinds kinds;
    if (SameFile(input, output)) {
        auto text = ReadFileBytes(input);
        if (!text)
            return Base64FileStatus::InputFailed;
        std::string chars, data;
        for (char c : *text) {
            if (kinds.bad[static_cast<unsigned char>(c)])
                return Base64FileStatus::NotBase64;
            if (kinds.take[static_cast<unsigned char>(c)])
                chars += c;
        }
        Base64DecodeLine(data, chars);
        return WriteFileBytes(output, data) == WriteResult::Ok ? Base64FileStatus::Ok : Base64FileStatus::OutputFailed;
    }
    InputFile in(input);
    if (!in.f)
        return Base64FileStatus::InputFailed;
    OutputFile out(output);
    std::vector<unsigned char> text(kBase64TextBlock);
    // The characters taken so far; the last group waits, as it may be the
    // final one whose pads count.
    std::vector<unsigned char> chars(kBase64TextBlock + 4);
    std::vector<char> bytes(kBase64TextBlock / 4 * 3 + 3);
    size_t held = 0, n;
    while ((n = std::fread(text.data(), 1, text.size(), in.f)) > 0) {
        unsigned char* w = chars.data() + held;
        uint8_t bad = 0;
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = text[i];
            *w = c;
            w += kinds.take[c];
            bad |= kinds.bad[c];
        }
        if (bad)
            return Base64FileStatus::NotBase64;
        const size_t have = static_cast<size_t>(w - chars.data());
        const size_t keep = have % 4 ? have % 4 : (have < 4 ? have : 4);
        const size_t whole = have - keep;
        const char* end = DecodeGroups(chars.data(), whole, bytes.data());
        if (!out.Write(bytes.data(), static_cast<size_t>(end - bytes.data())))
            return Base64FileStatus::OutputFailed;
        std::copy(chars.data() + whole, chars.data() + have, chars.data());
        held = keep;
    }
    if (std::ferror(in.f))
        return Base64FileStatus::InputFailed;
    std::string last;
    Base64DecodeLine(last, std::string_view(reinterpret_cast<const char*>(chars.data()), held));
    if (!out.Write(last.data(), last.size()) || !out.Keep())
        return Base64FileStatus::OutputFailed;
    return Base64FileStatus::Ok;
}

} // namespace textcodec
