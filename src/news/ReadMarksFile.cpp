#include "news/ReadMarksFile.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace news {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { if (fd_ >= 0) ::close(fd_); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Close and report its result (a delayed write error shows up here).
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

void SyncFolderOf(const fs::path& path)
{
    fs::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A copy of from at to (which must not exist yet), synced. Used as the backup
// when the file system has no hard links.
bool CopyFileTo(const fs::path& from, const fs::path& to, mode_t mode)
{
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.ok())
        return false;
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!out.ok())
        return false;
    bool ok = true;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!platform::WriteAll(out.get(), std::string_view(buf, static_cast<std::size_t>(n)))) {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out.get()) == 0;
    ok = out.Close() && ok;
    if (!ok)
        ::unlink(to.c_str());
    return ok;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

bool IsStorableGroupName(std::string_view name)
{
    return name.find_first_of(":! \r\n") == std::string_view::npos;
}

ReadMarksLoad LoadReadMarksFile(const fs::path& path, CGroupTable& table, DocumentHost* host)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return ReadMarksLoad::NoFile;

    try {
        std::string text;
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        const bool readOk = fd.ok() && platform::ReadAll(fd.get(), text);

        table.Reserve(table.GetCount() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);

        // Whatever was read is entered, also after a read error.
        const char* p = text.data();
        const char* const end = p + text.size();
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* lineEnd = nl ? nl : end;
            std::string_view line(p, static_cast<std::size_t>(lineEnd - p));
            p = nl ? nl + 1 : end;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);

            const std::size_t sep = line.find_first_of(":! ");
            if (sep == std::string_view::npos)
                continue;
            auto group = std::make_unique<CNewsGroup>();
            group->m_strName.assign(line.substr(0, sep));
            group->m_strReadList.assign(line.substr(sep + 1));
            group->m_bNew = false;
            group->m_bSubscribed = line[sep] == ':';
            table.Set(std::move(group));
        }
        if (!readOk) {
            ReportError(host, msg::ReadFileFailed, {path.string()});
            return ReadMarksLoad::ReadError;
        }
    } catch (const std::bad_alloc&) {
        ReportError(host, msg::OutOfMemory);
        return ReadMarksLoad::ReadError;
    }
    return table.IsEmpty() ? ReadMarksLoad::NoGroups : ReadMarksLoad::Loaded;
}

ReadMarksSideFiles SideFilesOf(const fs::path& path)
{
    fs::path tmp = path, bak = path;
    tmp.replace_extension(".tmp");
    bak.replace_extension(".bak");
    if (tmp == path || bak == path) {
        tmp = path;
        tmp += ".tmp";
        bak = path;
        bak += ".bak";
    }
    return {tmp, bak};
}

std::string ReadMarksText(const CGroupTable& table)
{
    std::string text;
    text.reserve(table.GetCount() * 48);
    table.ForEach([&](const CNewsGroup& g) {
        if (!IsStorableGroupName(g.m_strName))
            return;
        text += g.m_strName;
        text += g.m_bSubscribed ? ": " : "! ";
        std::string_view marks = g.m_strReadList;
        while (!marks.empty() && IsBlank(marks.front()))
            marks.remove_prefix(1);
        text += marks;
        text += "\r\n";
    });
    return text;
}

fs::path RecoveryFileOf(const fs::path& path)
{
    fs::path recovery = path;
    recovery += ".unsaved";
    return recovery;
}

bool SaveReadMarksFile(const fs::path& path, const CGroupTable& table, DocumentHost* host, bool replace)
{
    // Nothing read and nothing fetched: keep the file as it is.
    if (table.IsEmpty())
        return true;

    const ReadMarksSideFiles side = SideFilesOf(path);

    std::string text;
    try {
        text = ReadMarksText(table);
    } catch (const std::bad_alloc&) {
        ReportError(host, msg::OutOfMemory);
        return false;
    }

    // The new file keeps the permissions of the one it replaces.
    struct stat old {};
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    const mode_t mode = hadFile ? (old.st_mode & 07777) : 0666;

    {
        // Always a fresh file of our own: whatever lay at the temporary name
        // (an old leftover, a link planted there) is neither followed nor kept.
        if (::unlink(side.tmp.c_str()) != 0 && errno != ENOENT && errno != EISDIR) {
            ReportError(host, msg::OpenCreateFailed, {side.tmp.string()});
            return false;
        }
        Fd fd(::open(side.tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        bool ok = fd.ok();
        if (!ok) {
            ReportError(host, msg::OpenCreateFailed, {side.tmp.string()});
            return false;
        }
        if (hadFile)
            ::fchmod(fd.get(), mode);
        ok = ok && platform::WriteAll(fd.get(), text);
        ok = ok && ::fsync(fd.get()) == 0;
        ok = fd.Close() && ok;
        if (!ok) {
            // A short temporary file is of no use to anyone; it only takes space.
            ::unlink(side.tmp.c_str());
            ReportError(host, msg::OpenCreateFailed, {side.tmp.string()});
            return false;
        }
    }
    if (!replace)
        return false;

    // The previous backup goes. One without write permission was protected on
    // purpose: the save stops rather than delete it.
    struct stat bst {};
    if (::lstat(side.bak.c_str(), &bst) == 0) {
        bool denied = !S_ISLNK(bst.st_mode) && !S_ISDIR(bst.st_mode) && (bst.st_mode & 0222) == 0;
        if (!denied && ::unlink(side.bak.c_str()) != 0)
            denied = errno == EACCES || errno == EPERM || errno == EROFS;
        if (denied) {
            ReportError(host, msg::DeleteFileFailed, {side.bak.string()});
            return false;
        }
    }

    // The current file becomes the backup while it stays in place, so there is
    // never a moment without a complete read-marks file.
    if (hadFile && ::link(path.c_str(), side.bak.c_str()) != 0) {
        if (!CopyFileTo(path, side.bak, mode))
            return false;
    }

    if (::rename(side.tmp.c_str(), path.c_str()) != 0)
        return false;
    SyncFolderOf(path);
    return true;
}

} // namespace news
