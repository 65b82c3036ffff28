#include "textcodec/ConvertStream.h"

#include "textcodec/CodeConverter.h"

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

    std::vector<char> buf(kStreamBlock);
    size_t used = 0;
    auto flush = [&] {
        bool ok = used == 0 || std::fwrite(buf.data(), 1, used, out) == used;
        used = 0;
        return ok;
    };
    bool raw = false; // the converter gave up: the rest passes unchanged
    cv.MoreInputFollows(true);
    for (;;) {
        char* at = cv.InputRoom(room);
        if (!source.Read(at, std::min(room, kStreamBlock), n))
            return fail(StreamStatus::ReadFailed);
        if (n == 0)
            cv.MoreInputFollows(false);
        if (cv.Append(n) != 0)
            return fail(StreamStatus::ConvertFailed);
        while (!raw) {
            if (buf.size() - used < 64 && !flush())
                return fail(StreamStatus::WriteFailed);
            size_t got = cv.Get(buf.data() + used, buf.size() - used);
            used += got;
            result.badBytes = result.badBytes || cv.Error() == TC_ERR_BADCODE;
            raw = cv.Error() == TC_ERR_UNDECIDED;
            if (got == 0)
                break;
        }
        if (raw || n == 0) {
            // What is left of the input (bytes of a cut sequence) as it is.
            for (;;) {
                if (buf.size() - used < 64 && !flush())
                    return fail(StreamStatus::WriteFailed);
                size_t got = cv.GetRest(buf.data() + used, buf.size() - used);
                used += got;
                if (got == 0)
                    break;
            }
        }
        if (n == 0)
            break;
    }
    if (!flush())
        return fail(StreamStatus::WriteFailed);
    return result;
}

} // namespace textcodec
