#include "textcodec/Uuencode.h"

#include <sys/stat.h>

#include <cstdio>

#include "textcodec/FileIo.h"
#include "textcodec/StreamPump.h"

namespace textcodec {

using namespace detail;

namespace {

constexpr size_t kLineBytes = 45;

char UuChar(unsigned v) { return v == 0 ? '`' : static_cast<char>((v & 63) + 0x20); }

bool IsBeginLine(std::string_view line)
{
    if (!line.starts_with("begin "))
        return false;
    size_t w = line.find_first_not_of(" \t", 6);
    return w != std::string_view::npos;
}

void EncodeLine(const unsigned char* p, size_t n, std::string& out)
{
    out += UuChar(static_cast<unsigned>(n));
    for (size_t k = 0; k < n; k += 3) {
        // Bytes past the data are zero, so nothing stray is posted.
        unsigned a = p[k];
        unsigned b = k + 1 < n ? p[k + 1] : 0;
        unsigned c = k + 2 < n ? p[k + 2] : 0;
        out += UuChar(a >> 2);
        out += UuChar((a << 4 | b >> 4) & 63);
        out += UuChar((b << 2 | c >> 6) & 63);
        out += UuChar(c & 63);
    }
    out += '\n';
}

// Decodes one data line; false when it ends the data (empty, or a count of 0).
bool DecodeLine(std::string_view line, std::string& out)
{
    if (line.empty())
        return false;
    auto val = [&](size_t i) -> unsigned {
        // Characters missing from a short line count as zero.
        if (i >= line.size())
            return 0;
        char c = line[i] == '`' ? ' ' : line[i];
        return (static_cast<unsigned char>(c) - 0x20) & 63;
    };
    unsigned count = val(0);
    if (count < 1)
        return false;
    for (size_t i = 1; count > 0; i += 4) {
        unsigned a = val(i), b = val(i + 1), c = val(i + 2), d = val(i + 3);
        char bytes[3] = {static_cast<char>(a << 2 | b >> 4), static_cast<char>(b << 4 | c >> 2),
                         static_cast<char>(c << 6 | d)};
        unsigned n = count < 3 ? count : 3;
        out.append(bytes, n);
        count -= n;
    }
    return true;
}

} // namespace

UuencodeEncoder::UuencodeEncoder(unsigned mode, std::string_view name)
{
    char head[32];
    std::snprintf(head, sizeof head, "begin %o ", mode & 0777);
    head_ = head;
    head_ += name;
    head_ += '\n';
}

void UuencodeEncoder::Begin(std::string& out)
{
    out += head_;
    head_.clear();
}

void UuencodeEncoder::Put(std::string_view in, std::string& out)
{
    Begin(out);
    out.reserve(out.size() + in.size() / kLineBytes * 62 + 64);
    if (!carry_.empty()) {
        if (!FillCarry(carry_, in, kLineBytes))
            return;
        EncodeLine(reinterpret_cast<const unsigned char*>(carry_.data()), kLineBytes, out);
        carry_.clear();
    }
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const size_t whole = in.size() / kLineBytes * kLineBytes;
    for (size_t i = 0; i < whole; i += kLineBytes)
        EncodeLine(p + i, kLineBytes, out);
    carry_.assign(in.substr(whole));
}

void UuencodeEncoder::Finish(std::string& out)
{
    Begin(out);
    if (!carry_.empty())
        EncodeLine(reinterpret_cast<const unsigned char*>(carry_.data()), carry_.size(), out);
    carry_.clear();
    out += "`\nend\n";
}

void UudecodeDecoder::TakeLine(std::string_view line, std::string& out)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    switch (state_) {
    case State::SeekBegin:
        if (IsBeginLine(line)) {
            state_ = State::Data;
            result_ = UUD_NO_END;
        }
        break;
    case State::Data:
        if (!DecodeLine(line, out))
            state_ = State::WantEnd;
        break;
    case State::WantEnd:
        result_ = line == "end" ? UUD_OK : UUD_NO_END;
        state_ = State::Done;
        break;
    case State::Done:
        break;
    }
}

void UudecodeDecoder::Put(std::string_view in, std::string& out)
{
    while (!in.empty() && state_ != State::Done) {
        const size_t lf = in.find('\n');
        if (lf == std::string_view::npos) {
            line_.append(in);
            return;
        }
        if (line_.empty()) {
            TakeLine(in.substr(0, lf), out);
        } else {
            line_.append(in.substr(0, lf));
            TakeLine(line_, out);
            line_.clear();
        }
        in.remove_prefix(lf + 1);
    }
}

void UudecodeDecoder::Finish(std::string& out)
{
    if (!line_.empty() && state_ != State::Done)
        TakeLine(line_, out);
    line_.clear();
    if (result_ == UUD_NO_BEGIN)
        SetProblem("no \"begin\" line");
    else if (result_ == UUD_NO_END)
        SetProblem("no \"end\" line after the data");
}

std::string Uuencode(std::string_view data, unsigned mode, std::string_view name)
{
    UuencodeEncoder encoder(mode, name);
    return RunCodec(encoder, data);
}

int Uudecode(std::string_view text, std::string& data)
{
    data.clear();
    UudecodeDecoder decoder;
    decoder.Put(text, data);
    decoder.Finish(data);
    return decoder.Result();
}

int UuencodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    struct stat st {};
    unsigned mode = 0644;
    if (::stat(input.c_str(), &st) == 0)
        mode = st.st_mode & 0777;
    UuencodeEncoder encoder(mode, BaseName(input.string()));
    AtomicOutput out(output);
    switch (PumpFile(input, encoder, out, output)) {
    case FilePumpStatus::Ok: break;
    case FilePumpStatus::InputFailed: return UU_INPUT_FAILED;
    default: return UU_OUTPUT_FAILED;
    }
    return out.Keep() ? UU_OK : UU_OUTPUT_FAILED;
}

int UudecodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    UudecodeDecoder decoder;
    AtomicOutput out(output);
    switch (PumpFile(input, decoder, out, output)) {
    case FilePumpStatus::Ok: break;
    case FilePumpStatus::InputFailed: return UUD_INPUT_FAILED;
    default: return UUD_OUTPUT_FAILED;
    }
    // No begin line: no output is made. Data before a missing end stays.
    if (decoder.Result() == UUD_NO_BEGIN)
        return UUD_NO_BEGIN;
    return out.Keep() ? decoder.Result() : UUD_OUTPUT_FAILED;
}

} // namespace textcodec
