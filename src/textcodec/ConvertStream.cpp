#include "textcodec/ConvertStream.h"

#include "textcodec/CodeConverter.h"
#include "textcodec/StreamPump.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace textcodec {

namespace {

// Where the second reading comes from: the file itself, or the copy of what
// the first reading took from a pipe followed by the rest of the pipe.
class Rereader {
public:
    explicit Rereader(std::FILE* in) : in_(in)
    {
        struct stat st {};
        start_ = ::fstat(fileno(in), &st) == 0 && S_ISREG(st.st_mode) ? ftello(in) : -1;
    }
    ~Rereader()
    {
        if (copy_)
            std::fclose(copy_);
    }
    Rereader(const Rereader&) = delete;
    Rereader& operator=(const Rereader&) = delete;

    bool Seekable() const { return start_ >= 0; }
    // First reading. False on a read or copy failure.
    bool ReadFirst(char* buf, size_t size, size_t& n)
    {
        n = std::fread(buf, 1, size, in_);
        if (std::ferror(in_))
            return false;
        if (start_ >= 0 || n == 0)
            return true;
        if (!copy_ && !(copy_ = std::tmpfile()))
            return false;
        return std::fwrite(buf, 1, n, copy_) == n;
    }
    bool Rewind()
    {
        if (start_ >= 0)
            return fseeko(in_, start_, SEEK_SET) == 0;
        if (copy_ && (std::fflush(copy_) != 0 || fseeko(copy_, 0, SEEK_SET) != 0))
            return false;
        return true;
    }
    // Second reading (or the only one).
    bool Read(char* buf, size_t size, size_t& n)
    {
        n = 0;
        if (copy_) {
            n = std::fread(buf, 1, size, copy_);
            if (std::ferror(copy_))
                return false;
            if (n)
                return true;
            std::fclose(copy_);
            copy_ = nullptr;
        }
        n = std::fread(buf, 1, size, in_);
        return !std::ferror(in_);
    }

private:
    std::FILE* in_;
    off_t start_ = -1;
    std::FILE* copy_ = nullptr;
};

// Whether a byte above 0x7F, SO or ESC ( I occurs in the bytes, or the
// last begins in the two before.
bool HasShiftOrHigh(const char (&before)[2], const char* p, size_t n)
{
    uint64_t any = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        any |= w;
    }
    for (; i < n; ++i)
        any |= static_cast<unsigned char>(p[i]);
    if (any & 0x8080808080808080ull)
        return true;
    if (std::memchr(p, 0x0E, n))
        return true;
    const char edge[4] = {before[0], before[1], n > 0 ? p[0] : '\0', n > 1 ? p[1] : '\0'};
    if ((edge[0] == '\x1B' && edge[1] == '(' && edge[2] == 'I') || (edge[1] == '\x1B' && edge[2] == '(' && edge[3] == 'I'))
        return true;
    // By its rare last byte: the escape itself comes every few characters.
    const char* end = p + n;
    for (const char* q = p + 2; q < end && (q = static_cast<const char*>(std::memchr(q, 'I', size_t(end - q)))); ++q)
        if (q[-1] == '(' && q[-2] == '\x1B')
            return true;
    return false;
}

} // namespace

StreamResult ConvertStream(std::FILE* in, std::FILE* out, int inputCode, int outputCode, bool widenKana)
{
    StreamResult result;
    CodeConverter cv;
    auto fail = [&](StreamStatus status) {
        result.status = status;
        result.error = cv.Error();
        return result;
    };
    if (cv.Init(kStreamBlock + 16) != 0 || cv.SetCode(inputCode, outputCode) != 0)
        return fail(StreamStatus::StartFailed);
    cv.KeepHalfKana(!widenKana);
    cv.ComposeMarks(widenKana);

    Rereader source(in);
    size_t room = 0, n = 0;
    if (cv.Phase() != 3) {
        // Most texts settle early, or leave only kana shifts and high bytes
        // to look for: a plain search then does for the rest of a file, and
        // one found means reading it once more with the exact walk.
        bool quick = false, exact = !source.Seekable();
        char before[2] = {0, 0};
        do {
            char* at = cv.InputRoom(room);
            if (!source.ReadFirst(at, std::min(room, kStreamBlock), n))
                return fail(StreamStatus::ReadFailed);
            if (quick && HasShiftOrHigh(before, at, n)) {
                if (!source.Rewind() || cv.Init(kStreamBlock + 16) != 0 || cv.SetCode(inputCode, outputCode) != 0)
                    return fail(StreamStatus::ReadFailed);
                quick = false;
                exact = true;
                n = 1;
                continue;
            }
            if (n >= 2) {
                before[0] = at[n - 2];
                before[1] = at[n - 1];
            } else if (n == 1) {
                before[0] = before[1];
                before[1] = at[0];
            }
            if (!quick) {
                cv.AppendScan(n);
                quick = !exact && cv.ScanSettled(true);
            }
        } while (n > 0 && !cv.ScanSettled());
        if (!source.Rewind())
            return fail(StreamStatus::ReadFailed);
        if (cv.EndScan() != 0)
            return fail(StreamStatus::ConvertFailed);
    }

    JapaneseConvertCodec codec(cv);
    auto read = [&source](char* buf, size_t size, size_t& n) { return source.Read(buf, size, n); };
    auto write = [out](std::string_view bytes) { return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size(); };
    const PumpStatus pumped = PumpBlocks(read, codec, write, true, kStreamBlock);
    result.badBytes = codec.BadBytes();
    switch (pumped) {
    case PumpStatus::Ok: return result;
    case PumpStatus::ReadFailed: return fail(StreamStatus::ReadFailed);
    case PumpStatus::WriteFailed: return fail(StreamStatus::WriteFailed);
    case PumpStatus::Stopped: break;
    }
    result.status = StreamStatus::ConvertFailed;
    result.error = codec.Error();
    return result;
}

JapaneseConvertCodec::JapaneseConvertCodec(CodeConverter& converter) : cv_(converter)
{
    cv_.MoreInputFollows(true);
}

void JapaneseConvertCodec::Drain(std::string& out, bool atEnd)
{
    constexpr size_t kMargin = 64;
    size_t used = out.size();
    auto room = [&](size_t want) {
        if (out.size() - used < kMargin)
            out.resize(used + want);
        return out.size() - used;
    };
    const size_t grow = kStreamBlock / 2;
    while (!raw_) {
        const size_t got = cv_.Get(out.data() + used, room(grow));
        used += got;
        badBytes_ = badBytes_ || cv_.Error() == TC_ERR_BADCODE;
        raw_ = cv_.Error() == TC_ERR_UNDECIDED;
        if (got == 0)
            break;
    }
    if (atEnd && !raw_)
        used += cv_.GetLoneLead(out.data() + used, room(grow));
    if (raw_ || atEnd) {
        // What is left of the input (bytes of a cut sequence) as it is.
        for (;;) {
            const size_t got = cv_.GetRest(out.data() + used, room(grow));
            used += got;
            if (got == 0)
                break;
        }
    }
    out.resize(used);
}

void JapaneseConvertCodec::Put(std::string_view in, std::string& out)
{
    while (!in.empty() && !Failed()) {
        size_t room = 0;
        cv_.InputRoom(room);
        const size_t n = std::min(in.size(), room);
        // Used in place when nothing is left over from before.
        if (cv_.PutView(in.data(), n) != 0) {
            error_ = cv_.Error();
            SetProblem(tcErrorText(error_));
            return;
        }
        in.remove_prefix(n);
        Drain(out, false);
        // A cut sequence left over goes to the converter's own buffer, as in
        // goes away after this call.
        cv_.InputRoom(room);
    }
}

void JapaneseConvertCodec::Finish(std::string& out)
{
    cv_.MoreInputFollows(false);
    Drain(out, true);
}

} // namespace textcodec
