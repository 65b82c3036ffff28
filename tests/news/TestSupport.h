#pragma once
// Scratch folders, file helpers and a message-recording host for the tests.

#include "news/DocumentHost.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace newstest {

using Ids = std::vector<unsigned>;

struct TempDir {
    std::filesystem::path path = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "lumetra-news-XXXXXX").string();
        ::chmod(::mkdtemp(templ.data()), 0755); // lets a test run parts as another user
        return std::filesystem::path(templ);
    }();
    ~TempDir()
    {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(path, ec))
            ::chmod(e.path().c_str(), 0755);
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path operator/(const std::string& name) const { return path / name; }
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Records the ids of stop messages (0 for other icons) and their arguments.
struct RecordingHost : DocumentHost {
    Ids ids;
    std::vector<std::vector<std::string>> args;
    int ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& a) override
    {
        ids.push_back(icon == MessageIcon::Stop ? id : 0);
        args.push_back(a);
        return 1;
    }
};

} // namespace newstest
