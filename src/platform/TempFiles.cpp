#include "platform/TempFiles.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct PrivateFolder {
    std::filesystem::path path;
    pid_t owner = 0;
};

PrivateFolder& Folder()
{
    static PrivateFolder folder;
    return folder;
}

} // namespace

void RemoveTempDirectory()
{
    const PrivateFolder& f = Folder();
    // A forked child that exits normally must not take its parent's files with it.
    if (f.path.empty() || f.owner != ::getpid())
        return;
    std::error_code ec;
    std::filesystem::remove_all(f.path, ec);
}

namespace {

void RemoveFolderAtExit() { RemoveTempDirectory(); }

std::filesystem::path MakeFolder()
{
    std::filesystem::path base = "/tmp";
    if (const char* env = std::getenv("TMPDIR"); env && env[0] == '/')
        base = env;
    std::string tmpl = (base / "lumetra-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        if (base == "/tmp")
            return {};
        tmpl = "/tmp/lumetra-XXXXXX";
        if (!::mkdtemp(tmpl.data()))
            return {};
    }
    PrivateFolder& f = Folder();
    f.path = tmpl;
    f.owner = ::getpid();
    std::atexit(RemoveFolderAtExit);
    return f.path;
}

} // namespace

std::filesystem::path TempDirectory()
{
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    const PrivateFolder& f = Folder();
    if (!f.path.empty() && f.owner == ::getpid()) {
        std::error_code ec;
        if (std::filesystem::is_directory(f.path, ec))
            return f.path;
        // Something removed it while we ran; take the name back if nobody else did.
        if (::mkdir(f.path.c_str(), 0700) == 0)
            return f.path;
    }
    return MakeFolder();
}

std::filesystem::path MakeTempFileName(std::string_view prefix, unsigned number)
{
    const std::filesystem::path dir = TempDirectory();
    if (dir.empty())
        return {};
    std::string stem(prefix.substr(0, 3));
    for (char& c : stem)
        if (c == '/' || c == '\0')
            c = '_';
    auto nameFor = [&](unsigned n) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", n);
        return dir / (stem + hex + ".tmp");
    };
    if (number != 0)
        return nameFor(number);

    static std::atomic<unsigned> next{static_cast<unsigned>(::getpid())};
    for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
        const unsigned n = next.fetch_add(1) & 0xFFFF;
        if (n == 0)
            continue;
        const auto path = nameFor(n);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace platform
