#pragma once
// Scratch folder, file I/O and peer programs for the codec tests.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

#include "textcodec/ConvertToSjis.h"

namespace tctest {

class ScratchDir {
public:
    ScratchDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tctest.XXXXXX").string();
        if (char* made = ::mkdtemp(tmpl.data()))
            path_ = made;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::filesystem::path& p, std::string_view bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

#define REQUIRE_PEER(name)                                                   \
    do {                                                                     \
        if (!tctest::HaveProgram(name))                                      \
            GTEST_SKIP() << "peer program " << name << " not installed";     \
    } while (0)

inline std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0, lf;
    while ((lf = text.find('\n', pos)) != std::string::npos) {
        lines.push_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
    if (pos < text.size())
        lines.push_back(text.substr(pos));
    return lines;
}

inline std::string Join(const std::vector<std::string>& lines)
{
    std::string s;
    for (size_t i = 0; i < lines.size(); ++i)
        s += (i ? "\n" : "") + lines[i];
    return s;
}

inline std::string ToSjis(std::string_view in, int code)
{
    std::string out;
    EXPECT_TRUE(ConvertToSjis(out, in, in.size() + 16, code));
    return out;
}

inline bool HaveProgram(const std::string& name)
{
    std::string cmd = "command -v " + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

inline bool RunShell(const std::string& command)
{
    int rc = std::system(command.c_str());
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

inline std::string Quote(const std::filesystem::path& p)
{
    std::string s = "'";
    for (char c : p.string()) {
        if (c == '\'')
            s += "'\\''";
        else
            s += c;
    }
    return s + "'";
}

inline std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen() & 0xFF);
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

} // namespace tctest
