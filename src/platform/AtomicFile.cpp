#include "platform/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::string ErrnoText(const char* what, const std::filesystem::path& p, int err)
{
    return std::string(what) + " " + p.string() + ": " + std::strerror(err);
}

} // namespace

bool WriteAll(int fd, std::string_view data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFileAtomically(const std::filesystem::path& fileIn, std::string_view data, unsigned mode,
                         std::string* error)
{
    std::error_code ec;
    std::filesystem::path file = fileIn;
    // Replacing a link would cut it; write through to what it names.
    if (std::filesystem::is_symlink(file, ec)) {
        auto target = std::filesystem::weakly_canonical(file, ec);
        if (!ec)
            file = target;
    }
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");

    struct stat old {};
    const bool existed = ::stat(file.c_str(), &old) == 0;
    mode_t finalMode;
    if (existed) {
        finalMode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        finalMode = static_cast<mode_t>(mode) & ~mask & 07777;
    }

    std::string tmpl = (dir / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        if (error)
            *error = ErrnoText("cannot create a temporary file beside", file, errno);
        return false;
    }
    auto fail = [&](const char* what) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        if (error)
            *error = ErrnoText(what, file, err);
        errno = err;
        return false;
    };
    if (!WriteAll(fd, data))
        return fail("cannot write the new content of");
    if (::fchmod(fd, finalMode) != 0)
        return fail("cannot set the mode of the new content of");
    // Someone else's file edited with more rights (root) stays theirs; for
    // anybody else this fails harmlessly and the file becomes the writer's.
    if (existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        (void)!::fchown(fd, old.st_uid, old.st_gid);
    if (::fsync(fd) != 0)
        return fail("cannot flush the new content of");
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        if (error)
            *error = ErrnoText("cannot close the new content of", file, err);
        return false;
    }
    if (::rename(tmpl.c_str(), file.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        if (error)
            *error = ErrnoText("cannot replace", file, err);
        return false;
    }
    // The rename itself must reach the disk, or a crash could bring back the old name.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void RemoveStaleTemporaries(const std::filesystem::path& file)
{
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const std::string prefix = "." + file.filename().string() + ".tmp-";
    const auto limit = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::error_code ec2;
        if (it->is_regular_file(ec2) && it->last_write_time(ec2) < limit && !ec2)
            std::filesystem::remove(it->path(), ec2);
    }
}

bool ReadAll(int fd, std::string& out)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(out.size() + static_cast<std::size_t>(st.st_size) + 1);
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, int* errorCode)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errorCode)
            *errorCode = errno;
        return std::nullopt;
    }
    std::string out;
    const bool ok = ReadAll(fd, out);
    const int err = ok ? 0 : errno;
    ::close(fd);
    if (errorCode)
        *errorCode = err;
    if (!ok)
        return std::nullopt;
    return out;
}

bool IsReadableRegularFile(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

} // namespace platform
