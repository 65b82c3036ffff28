#include "platform/TempFiles.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(TempFiles, FreshNamesLieInOnePrivateFolderAndSkipTakenOnes)
{
    const fs::path dir = platform::TempDirectory();
    struct stat st {};
    ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700 && st.st_uid == ::getuid());

    // Number zero creates a fresh empty file each time, never one already there.
    const fs::path first = platform::MakeTempFileName("bin", 0);
    const unsigned n = std::stoul(first.filename().string().substr(3), nullptr, 16);
    std::set<fs::path> seen{first}, planted;
    for (unsigned k = 1; k <= 5; ++k) {
        planted.insert(platform::MakeTempFileName("bin", (n + k) & 0xFFFF));
        testutil::WriteFile(*planted.rbegin(), "keep");
    }
    for (int i = 0; i < 20; ++i) {
        const fs::path p = platform::MakeTempFileName("binxyz", 0);
        EXPECT_EQ(p.parent_path(), dir);
        EXPECT_TRUE(std::regex_match(p.filename().string(), std::regex("bin[0-9A-F]+\\.tmp"))) << p;
        EXPECT_TRUE(fs::is_regular_file(p) && fs::file_size(p) == 0) << p;
        EXPECT_TRUE(seen.insert(p).second && !planted.count(p)) << p;
    }
    for (const auto& p : planted)
        EXPECT_EQ(testutil::ReadFile(p), "keep");

    // A given number is used as is and makes no file; a prefix cannot lead out of the folder.
    EXPECT_EQ(platform::MakeTempFileName("hex", 0xBEEF), dir / "hexBEEF.tmp");
    EXPECT_FALSE(fs::exists(dir / "hexBEEF.tmp"));
    EXPECT_EQ(platform::MakeTempFileName("../x", 3).parent_path(), dir);
}

TEST(TempFiles, FolderAndContentGoAtExitButNotWithAForkedChild)
{
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipeFd[0]);
        const fs::path p = platform::MakeTempFileName("mes", 0);
        testutil::WriteFile(p, "cache");
        const std::string name = p.parent_path().string();
        if (::write(pipeFd[1], name.data(), name.size()) < 0)
            std::_Exit(2);
        ::close(pipeFd[1]);
        // A grandchild that exits normally must leave the folder to its parent.
        if (::fork() == 0)
            std::exit(0);
        ::wait(nullptr);
        std::exit(fs::exists(p) ? 0 : 3);
    }
    ::close(pipeFd[1]);
    char buf[512];
    const ssize_t got = ::read(pipeFd[0], buf, sizeof buf);
    ::close(pipeFd[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_GT(got, 0);
    const fs::path name(std::string(buf, static_cast<std::size_t>(got)));
    EXPECT_NE(name, platform::TempDirectory());
    EXPECT_FALSE(fs::exists(name));
}

} // namespace
