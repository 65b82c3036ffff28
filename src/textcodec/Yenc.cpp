#include "textcodec/Yenc.h"

#include <zlib.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "textcodec/StreamPump.h"

namespace textcodec {

namespace {

// The value of "key=" on a keyword line; name= takes the rest of the line,
// so other keys are looked for only before it.
bool Field(std::string_view line, std::string_view key, std::string_view& value)
{
    const size_t nameAt = line.find(" name=");
    const std::string_view head = key == "name" ? line : line.substr(0, nameAt);
    for (size_t at = 0; (at = head.find(key, at)) != std::string_view::npos; at += key.size()) {
        const size_t eq = at + key.size();
        if (at == 0 || (head[at - 1] != ' ' && head[at - 1] != '\t') || eq >= head.size() || head[eq] != '=')
            continue;
        value = head.substr(eq + 1);
        if (key != "name")
            value = value.substr(0, value.find_first_of(" \t"));
        return true;
    }
    return false;
}

bool Number(std::string_view line, std::string_view key, std::uint64_t& n)
{
    std::string_view v;
    if (!Field(line, key, v) || v.empty())
        return false;
    std::uint64_t r = 0;
    for (char c : v) {
        if (c < '0' || c > '9' || r > (UINT64_MAX - 9) / 10)
            return false;
        r = r * 10 + static_cast<unsigned>(c - '0');
    }
    n = r;
    return true;
}

unsigned Small(std::string_view line, std::string_view key)
{
    std::uint64_t n = 0;
    return Number(line, key, n) && n <= UINT32_MAX ? static_cast<unsigned>(n) : 0;
}

bool Hex(std::string_view line, std::string_view key, std::uint32_t& crc)
{
    std::string_view v;
    if (!Field(line, key, v) || v.empty())
        return false;
    // Some posters write more than eight digits; the low 32 bits count.
    std::uint32_t r = 0;
    for (char c : v) {
        unsigned d;
        if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        r = r << 4 | d;
    }
    crc = r;
    return true;
}

std::string Crc8(std::uint32_t crc)
{
    char b[12];
    std::snprintf(b, sizeof b, "%08x", crc);
    return b;
}

} // namespace

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes)
{
    // zlib takes a uInt length; feed big texts in slices.
    while (!bytes.empty()) {
        const size_t n = std::min<size_t>(bytes.size(), 1u << 30);
        crc = static_cast<std::uint32_t>(
            ::crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(n)));
        bytes.remove_prefix(n);
    }
    return crc;
}

void YencDecoder::Fail(YencStatus status, std::string text)
{
    if (status_ == YencStatus::Ok)
        status_ = status;
    SetProblem(std::move(text));
}

void YencDecoder::BeginPart(std::string_view line)
{
    if (inPart_) {
        FoldPart();
        Fail(YencStatus::NoEnd, "part " + std::to_string(current_.part) + " has no \"=yend\" line");
    }
    YencHeader h;
    std::string_view name;
    if (Field(line, "name", name)) {
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.remove_suffix(1);
        h.name = name;
    }
    Number(line, "size", h.size);
    h.line = Small(line, "line");
    h.part = Small(line, "part");
    h.total = Small(line, "total");
    if (h.part == 0) {
        h.begin = 1;
        h.end = h.size;
    }
    current_ = h;
    wantPart_ = h.part != 0;
    inPart_ = true;
    partDecoded_ = 0;
    partCrc_ = 0;
    if (parts_ == 0) {
        header_ = h;
        status_ = YencStatus::Ok;
    }
    ++parts_;
}

void YencDecoder::FoldPart()
{
    inPart_ = false;
    crc_ = static_cast<std::uint32_t>(::crc32_combine(crc_, partCrc_, static_cast<z_off_t>(partDecoded_)));
    decoded_ += partDecoded_;
}

void YencDecoder::EndPart(std::string_view line)
{
    const std::string which = current_.part ? "part " + std::to_string(current_.part) : std::string("the block");
    std::uint64_t endSize = 0;
    if (Number(line, "size", endSize) && endSize != partDecoded_)
        Fail(YencStatus::BadSize, which + ": " + std::to_string(partDecoded_) + " bytes decoded, \"=yend\" says " +
                                      std::to_string(endSize));
    else if (current_.end >= current_.begin && current_.begin > 0 &&
             current_.end - current_.begin + 1 != partDecoded_ && (current_.part || current_.size))
        Fail(YencStatus::BadSize, which + ": " + std::to_string(partDecoded_) + " bytes decoded, the header says " +
                                      std::to_string(current_.end - current_.begin + 1));
    std::uint32_t want = 0;
    if (Hex(line, "pcrc32", want) && want != partCrc_)
        Fail(YencStatus::BadCrc, which + ": CRC32 " + Crc8(partCrc_) + ", \"=yend\" says " + Crc8(want));
    FoldPart();
    // The whole file's crc32 can be checked only once all of it is here.
    const bool whole = header_.begin <= 1 && decoded_ == header_.size && current_.end == header_.size;
    if (whole) {
        sawEnd_ = true;
        if (Hex(line, "crc32", want) && want != crc_)
            Fail(YencStatus::BadCrc, "CRC32 of the file " + Crc8(crc_) + ", \"=yend\" says " + Crc8(want));
    } else if (current_.part == 0 || (current_.total && current_.part == current_.total && header_.begin <= 1)) {
        Fail(YencStatus::BadSize, std::to_string(decoded_) + " bytes decoded, the file has " +
                                      std::to_string(header_.size));
    }
}

void YencDecoder::Keyword(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.starts_with("=ybegin ")) {
        BeginPart(line);
        state_ = State::LineStart;
        return;
    }
    if (!inPart_) {
        state_ = State::SeekLine;
        return;
    }
    if (wantPart_ && line.starts_with("=ypart ")) {
        wantPart_ = false;
        Number(line, "begin", current_.begin);
        Number(line, "end", current_.end);
        if (parts_ == 1) {
            header_.begin = current_.begin;
            header_.end = current_.end;
        } else if (current_.begin != decoded_ + 1) {
            Fail(YencStatus::OutOfOrder, "part " + std::to_string(current_.part) + " starts at byte " +
                                             std::to_string(current_.begin) + ", not " + std::to_string(decoded_ + 1));
        }
        state_ = State::LineStart;
        return;
    }
    if (line.starts_with("=yend")) {
        EndPart(line);
        state_ = State::SeekLine;
        return;
    }
    // An unknown keyword line is skipped.
    state_ = State::LineStart;
}

void YencDecoder::DecodeData(std::string_view& in, std::string& out)
{
    const size_t start = out.size();
    out.resize(start + in.size());
    char* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* e = p + in.size();
    State s = state_;
    while (p < e) {
        if (s == State::Data) {
#ifdef __SSE2__
            // Sixteen bytes at a time up to the first special one. The store
            // may run past the plain bytes, never past the room resized for
            // all of in, as each byte out was at least one byte in.
            const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), eq = _mm_set1_epi8('=');
            while (e - p >= 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                const int special = _mm_movemask_epi8(
                    _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, eq)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_sub_epi8(v, _mm_set1_epi8(42)));
                const int plain = special ? __builtin_ctz(static_cast<unsigned>(special)) : 16;
                p += plain;
                o += plain;
                if (special)
                    break;
            }
#endif
            // The hot loop: most bytes are plain data.
            while (p < e) {
                const unsigned char c = *p;
                if (c == '\n' || c == '\r' || c == '=')
                    break;
                *o++ = static_cast<char>(c - 42);
                ++p;
            }
            if (p == e)
                break;
        }
        const unsigned char c = *p++;
        if (c == '\r')
            continue;
        if (c == '\n') {
            s = State::LineStart;
            continue;
        }
        switch (s) {
        case State::LineStart:
            if (c == '=') {
                s = State::LineStartEq;
                break;
            }
            *o++ = static_cast<char>(c - 42);
            s = State::Data;
            break;
        case State::LineStartEq:
            if (c == 'y') {
                s = State::Keyword;
                break;
            }
            *o++ = static_cast<char>(c - 106);
            s = State::Data;
            break;
        case State::Escape:
            *o++ = static_cast<char>(c - 106);
            s = State::Data;
            break;
        default: // Data meeting '='
            s = State::Escape;
            break;
        }
        // A keyword line ends the run; Put reads it as a line.
        if (s == State::Keyword)
            break;
    }
    const size_t consumed = static_cast<size_t>(reinterpret_cast<const char*>(p) - in.data());
    const size_t n = static_cast<size_t>(o - (out.data() + start));
    out.resize(start + n);
    partCrc_ = Crc32(partCrc_, std::string_view(out).substr(start));
    partDecoded_ += n;
    state_ = s;
    in.remove_prefix(consumed);
}

void YencDecoder::Put(std::string_view in, std::string& out)
{
    while (!in.empty()) {
        switch (state_) {
        case State::SeekText: {
            const size_t lf = in.find('\n');
            if (lf == std::string_view::npos)
                return;
            in.remove_prefix(lf + 1);
            state_ = State::SeekLine;
            break;
        }
        case State::SeekLine:
            if (keyword_.empty() && in.front() != '=') {
                state_ = State::SeekText;
                break;
            }
            [[fallthrough]];
        case State::Keyword: {
            const size_t lf = in.find('\n');
            const std::string_view piece = in.substr(0, lf);
            if (keyword_.size() < kYencMaxKeywordLine)
                keyword_.append(piece.substr(0, kYencMaxKeywordLine - keyword_.size()));
            if (lf == std::string_view::npos)
                return;
            in.remove_prefix(lf + 1);
            std::string line;
            line.swap(keyword_);
            if (state_ == State::SeekLine) {
                if (line.starts_with("=ybegin "))
                    Keyword(line);
            } else {
                Keyword(line);
            }
            break;
        }
        default: {
            // Data: decoded up to a keyword line or the end of this input.
            DecodeData(in, out);
            if (state_ == State::Keyword)
                keyword_ = "=y";
            break;
        }
        }
    }
}

void YencDecoder::Finish(std::string&)
{
    if (!keyword_.empty() && (state_ == State::Keyword || state_ == State::SeekLine)) {
        std::string line;
        line.swap(keyword_);
        if (state_ == State::Keyword || line.starts_with("=ybegin "))
            Keyword(line);
    }
    if (parts_ == 0) {
        SetProblem("no \"=ybegin\" line");
        return;
    }
    if (inPart_) {
        FoldPart();
        Fail(YencStatus::NoEnd, "no \"=yend\" line after the data");
    }
}

YencEncoder::YencEncoder(YencPartInfo info) : info_(std::move(info))
{
    if (info_.lineLength < 2)
        info_.lineLength = 2;
}

void YencEncoder::Head(std::string& out)
{
    if (headDone_)
        return;
    headDone_ = true;
    const std::string name(info_.name);
    char b[200];
    if (info_.part) {
        std::snprintf(b, sizeof b, "=ybegin part=%u total=%u line=%u size=%" PRIu64 " name=", info_.part,
                      info_.total, info_.lineLength, info_.fileSize);
        out += b;
        out += name;
        out += info_.lineEnd;
        std::snprintf(b, sizeof b, "=ypart begin=%" PRIu64 " end=%" PRIu64, info_.begin,
                      info_.begin + info_.partSize - 1);
        out += b;
    } else {
        std::snprintf(b, sizeof b, "=ybegin line=%u size=%" PRIu64 " name=", info_.lineLength, info_.fileSize);
        out += b;
        out += name;
    }
    out += info_.lineEnd;
}

void YencEncoder::Put(std::string_view in, std::string& out)
{
    Head(out);
    out.reserve(out.size() + in.size() + in.size() / 32 + 64);
    // The last byte is held back: a blank that ends the data is escaped.
    if (in.empty())
        return;
    std::string_view all = in;
    if (held_) {
        Emit(static_cast<unsigned char>(heldByte_), false, out);
        held_ = false;
    }
    for (size_t i = 0; i + 1 < all.size(); ++i)
        Emit(static_cast<unsigned char>(all[i]), false, out);
    heldByte_ = all.back();
    held_ = true;
    crc_ = Crc32(crc_, in);
    size_ += in.size();
}

void YencEncoder::Emit(unsigned char byte, bool last, std::string& out)
{
    const unsigned char c = static_cast<unsigned char>(byte + 42);
    const bool first = column_ == 0;
    const bool ends = last || column_ + 1 >= info_.lineLength;
    bool escape = c == 0 || c == '\n' || c == '\r' || c == '=';
    if ((c == '\t' || c == ' ') && (first || ends))
        escape = true;
    if (c == '.' && first)
        escape = true;
    if (escape) {
        out += '=';
        out += static_cast<char>(c + 64);
        column_ += 2;
    } else {
        out += static_cast<char>(c);
        ++column_;
    }
    if (column_ >= info_.lineLength) {
        out += info_.lineEnd;
        column_ = 0;
    }
}

void YencEncoder::Finish(std::string& out)
{
    Head(out);
    if (held_) {
        Emit(static_cast<unsigned char>(heldByte_), true, out);
        held_ = false;
    }
    if (column_ != 0)
        out += info_.lineEnd;
    column_ = 0;
    char b[200];
    if (info_.part) {
        std::snprintf(b, sizeof b, "=yend size=%" PRIu64 " part=%u pcrc32=%08x", size_, info_.part, crc_);
        out += b;
        if (info_.haveFileCrc)
            out += " crc32=" + Crc8(info_.fileCrc);
        else if (info_.begin == 1 && size_ == info_.fileSize)
            out += " crc32=" + Crc8(crc_); // the part is the whole file
    } else {
        std::snprintf(b, sizeof b, "=yend size=%" PRIu64 " crc32=%08x", size_, crc_);
        out += b;
    }
    out += info_.lineEnd;
}

std::string YencEncode(std::string_view data, YencPartInfo info)
{
    if (info.part == 0)
        info.fileSize = data.size();
    else if (info.partSize == 0)
        info.partSize = data.size();
    YencEncoder encoder(std::move(info));
    return RunCodec(encoder, data);
}

std::string YencProblemText(const YencDecoder& decoder)
{
    return decoder.Problem();
}

std::string DamagedFileName(std::string_view name)
{
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.rfind('.');
    // A leading dot ("dot file") or none after the last slash: add at the end.
    if (dot == std::string_view::npos || dot == 0 || (slash != std::string_view::npos && dot <= slash + 1))
        return std::string(name) + ".damaged";
    return std::string(name.substr(0, dot)) + ".damaged" + std::string(name.substr(dot));
}

YencFileStatus YencDecodeFile(const std::filesystem::path& input, const std::filesystem::path& output,
                              YencDecoder& decoder)
{
    AtomicOutput out(output);
    switch (PumpFile(input, decoder, out, output)) {
    case FilePumpStatus::Ok: break;
    case FilePumpStatus::InputFailed: return YencFileStatus::InputFailed;
    default: return YencFileStatus::OutputFailed;
    }
    if (!decoder.Started())
        return YencFileStatus::NoBegin;
    const bool damaged = decoder.Status() != YencStatus::Ok;
    if (damaged)
        out.KeepAs(DamagedFileName(output.string()));
    if (!out.Keep())
        return YencFileStatus::OutputFailed;
    return damaged ? YencFileStatus::Damaged : YencFileStatus::Ok;
}

} // namespace textcodec
