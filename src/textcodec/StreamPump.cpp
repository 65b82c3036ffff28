#include "textcodec/StreamPump.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

#include "textcodec/FileIo.h"

namespace textcodec {

PumpStatus PumpBlocks(const BlockReader& read, StreamCodec& codec, const ByteSink& out, bool stopOnProblem,
                      size_t block)
{
    std::vector<char> buf(block);
    std::string given;
    auto deliver = [&] {
        const bool ok = given.empty() || !out || out(given);
        given.clear();
        return ok;
    };
    for (;;) {
        size_t n = 0;
        if (!read(buf.data(), buf.size(), n))
            return PumpStatus::ReadFailed;
        if (n == 0)
            break;
        codec.Put(std::string_view(buf.data(), n), given);
        if (!deliver())
            return PumpStatus::WriteFailed;
        if (stopOnProblem && codec.Failed())
            return PumpStatus::Stopped;
    }
    codec.Finish(given);
    if (!deliver())
        return PumpStatus::WriteFailed;
    return stopOnProblem && codec.Failed() ? PumpStatus::Stopped : PumpStatus::Ok;
}

namespace {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

FilePumpStatus FromPump(PumpStatus s)
{
    switch (s) {
    case PumpStatus::Ok: return FilePumpStatus::Ok;
    case PumpStatus::ReadFailed: return FilePumpStatus::InputFailed;
    case PumpStatus::WriteFailed: return FilePumpStatus::OutputFailed;
    case PumpStatus::Stopped: return FilePumpStatus::Stopped;
    }
    return FilePumpStatus::InputFailed;
}

} // namespace

PumpStatus PumpStream(std::FILE* in, StreamCodec& codec, const ByteSink& out, bool stopOnProblem, size_t block)
{
    auto read = [in](char* buf, size_t size, size_t& n) {
        n = std::fread(buf, 1, size, in);
        return !std::ferror(in);
    };
    return PumpBlocks(read, codec, out, stopOnProblem, block);
}

PumpStatus PumpText(std::string_view in, StreamCodec& codec, const ByteSink& out, bool stopOnProblem, size_t block)
{
    auto read = [&in](char* buf, size_t size, size_t& n) {
        n = std::min(size, in.size());
        std::copy_n(in.data(), n, buf);
        in.remove_prefix(n);
        return true;
    };
    return PumpBlocks(read, codec, out, stopOnProblem, block);
}

AtomicOutput::~AtomicOutput()
{
    if (!f_)
        return;
    std::fclose(f_);
    Discard();
}

bool AtomicOutput::Write(std::string_view bytes)
{
    if (!f_ && !Open())
        return false;
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f_) == bytes.size();
}

bool AtomicOutput::Keep()
{
    if (!Write({}))
        return false;
    bool ok = std::fflush(f_) == 0;
    ok = (std::fclose(f_) == 0) && ok;
    f_ = nullptr;
    std::error_code ec;
    if (ok && !temp_.empty())
        std::filesystem::rename(temp_, keepAs_.empty() ? path_ : keepAs_, ec);
    if (!ok || ec)
        Discard();
    return ok && !ec;
}

bool AtomicOutput::Open()
{
    // Only a plain file (or none yet) is replaced.
    struct stat st {};
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

void AtomicOutput::Discard()
{
    std::error_code ec;
    if (!temp_.empty())
        std::filesystem::remove(temp_, ec);
    temp_.clear();
}

FilePumpStatus PumpFile(const std::filesystem::path& input, StreamCodec& codec, AtomicOutput& out,
                        const std::filesystem::path& output, bool stopOnProblem, uint64_t offset)
{
    if (SameFile(input, output)) {
        const auto text = detail::ReadFileBytes(input, offset);
        if (!text)
            return FilePumpStatus::InputFailed;
        return FromPump(PumpText(*text, codec, out.Sink(), stopOnProblem));
    }
    std::FILE* f = std::fopen(input.c_str(), "rb");
    if (!f)
        return FilePumpStatus::InputFailed;
    if (offset && fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) {
        std::fclose(f);
        return FilePumpStatus::InputFailed;
    }
    const PumpStatus s = PumpStream(f, codec, out.Sink(), stopOnProblem);
    std::fclose(f);
    return FromPump(s);
}

} // namespace textcodec
