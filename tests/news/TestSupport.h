#pragma once
// Scratch folders, file helpers and a message-recording host for the tests.

#include "news/DocumentHost.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <utility>
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
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        for (auto& e : std::filesystem::recursive_directory_iterator(m_path, ec))
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct RecordingHost : DocumentHost {
    struct Shown {
        unsigned id;
        MessageIcon icon;
        std::vector<std::string> args;
    };
    std::vector<Shown> shown;

    int ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& args) override
    {
        shown.push_back({id, icon, args});
        return 1;
    }
    std::vector<unsigned> Ids() const
    {
        std::vector<unsigned> ids;
        for (const auto& s : shown)
            ids.push_back(s.id);
        return ids;
    }
};

} // namespace newstest
