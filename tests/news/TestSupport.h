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

class TempDir {
public:
    TempDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "lumetra-news-XXXXXX").string();
        m_path = ::mkdtemp(templ.data());
        ::chmod(m_path.c_str(), 0755); // lets a test run parts as another user
    }
    ~TempDir()
    {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
            ::chmod(e.path().c_str(), 0755);
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct RecordingHost : DocumentHost {
    std::vector<unsigned> ids;
    std::vector<std::vector<std::string>> args;
    int ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& a) override
    {
        ids.push_back(icon == MessageIcon::Stop ? id : 0);
        args.push_back(a);
        return 1;
    }
};

} // namespace newstest
