#pragma once
// Scratch folders, whole-file reads and writes, and the shell, for every test program.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

// A fresh folder, removed with everything in it, also what a test made
// read-only. Others may enter it, so a test can run parts as another user.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "lumetra-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        ::chmod(tmpl.c_str(), 0755);
        path_ = tmpl;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        ::chmod(path_.c_str(), 0755);
        // Links are skipped: chmod would reach whatever they point at.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (!it->is_symlink(ec))
                ::chmod(it->path().c_str(), 0755);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// One folder for the whole test program, for tests that only need a place.
inline const ScratchDir& Scratch()
{
    static ScratchDir dir;
    return dir;
}

inline std::string ReadFile(const std::filesystem::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

inline bool WriteFile(const std::filesystem::path& p, std::string_view bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// LF line ends to CR LF.
inline std::string Crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Lines without their LF; a last line without one counts.
inline std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t lf = std::min(text.find('\n', pos), text.size());
        lines.emplace_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

inline std::string Join(const std::vector<std::string>& lines)
{
    std::string s;
    for (std::size_t i = 0; i < lines.size(); ++i)
        s += (i ? "\n" : "") + lines[i];
    return s;
}

inline std::string Hex(std::string_view s)
{
    static const char* d = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : s) {
        if (!h.empty())
            h += ' ';
        h += d[c >> 4];
        h += d[c & 15];
    }
    return h;
}

inline std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

// An environment variable set (or, given null, unset) for a scope; a new TZ
// takes effect at once.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            saved_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* value)
    {
        value ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str());
        ::tzset();
    }
    std::string name_;
    std::optional<std::string> saved_;
};

// A shell word that stays one word whatever the path holds.
inline std::string Quote(const std::filesystem::path& p)
{
    std::string s = "'";
    for (char c : p.string())
        s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
}

// Standard output of a shell command.
inline std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* f = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            out.append(buf, n);
        ::pclose(f);
    }
    return out;
}

// Whether a shell command exited with status 0.
inline bool RunShell(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// The test server's certificate: held alone by a test that serves others in
// its place, shared by every test that reaches the server over TLS, so that
// tests run side by side never meet a certificate they did not expect.
class CertificateLock {
public:
    CertificateLock(const std::filesystem::path& innDir, bool alone)
    {
        const auto name = "lumetra-certificate-" + std::to_string(std::hash<std::string>{}(innDir.string())) + ".lock";
        fd_ = ::open((std::filesystem::temp_directory_path() / name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            ::flock(fd_, alone ? LOCK_EX : LOCK_SH);
    }
    ~CertificateLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    CertificateLock(const CertificateLock&) = delete;
    CertificateLock& operator=(const CertificateLock&) = delete;

private:
    int fd_ = -1;
};

inline bool HaveProgram(const std::string& name) { return RunShell("command -v " + name + " >/dev/null 2>&1"); }

#define REQUIRE_PEER(name)                                                                                             \
    do {                                                                                                               \
        if (!::testutil::HaveProgram(name))                                                                            \
            GTEST_SKIP() << "peer program " << name << " not installed";                                               \
    } while (0)

} // namespace testutil
