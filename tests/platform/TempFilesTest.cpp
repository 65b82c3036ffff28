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

TEST(TempFiles, NamesLieInOnePrivateFolder)
{
    const fs::path dir = platform::TempDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(platform::TempDirectory(), dir);
    struct stat st {};
    ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());

    // Number zero creates a fresh empty file each time.
    std::set<fs::path> seen;
    for (int i = 0; i < 50; ++i) {
        const fs::path p = platform::MakeTempFileName("hirxyz", 0);
        EXPECT_EQ(p.parent_path(), dir);
        EXPECT_TRUE(std::regex_match(p.filename().string(), std::regex("hir[0-9A-F]+\\.tmp"))) << p;
        EXPECT_TRUE(fs::is_regular_file(p) && fs::file_size(p) == 0) << p;
        EXPECT_TRUE(seen.insert(p).second) << p;
    }
    for (const auto& p : seen)
        fs::remove(p);

    // A given number is used as is, and no file is made.
    EXPECT_EQ(platform::MakeTempFileName("hir", 1), dir / "hir1.tmp");
    EXPECT_FALSE(fs::exists(dir / "hir1.tmp"));
    EXPECT_EQ(platform::MakeTempFileName("hex", 0xBEEF).filename(), "hexBEEF.tmp");
    // A prefix cannot lead out of the folder.
    EXPECT_EQ(platform::MakeTempFileName("../x", 3).parent_path(), dir);
}

TEST(TempFiles, ANameTakenByAnotherFileIsSkipped)
{
    // Fill the next few names and check that a fresh name avoids them and leaves them alone.
    const fs::path first = platform::MakeTempFileName("bin", 0);
    std::set<fs::path> planted;
    const std::string hex = first.filename().string().substr(3, first.filename().string().size() - 7);
    const unsigned n = std::stoul(hex, nullptr, 16);
    for (unsigned k = 1; k <= 5; ++k) {
        const fs::path p = platform::MakeTempFileName("bin", (n + k) & 0xFFFF);
        testutil::WriteFile(p, "keep");
        planted.insert(p);
    }
    const fs::path next = platform::MakeTempFileName("bin", 0);
    EXPECT_EQ(planted.count(next), 0u);
    for (const auto& p : planted)
        EXPECT_EQ(testutil::ReadFile(p), "keep");
}

TEST(TempFiles, FolderAndContentGoAtExitButNotWithAForkedChild)
{
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A process of its own: make the folder, put a file in it, and report its name.
        ::close(pipeFd[0]);
        const fs::path p = platform::MakeTempFileName("mes", 0);
        testutil::WriteFile(p, "cache");
        const std::string name = p.parent_path().string();
        if (::write(pipeFd[1], name.data(), name.size()) < 0)
            std::_Exit(2);
        ::close(pipeFd[1]);
        // A grandchild that exits normally must leave the folder to its parent.
        const pid_t inner = ::fork();
        if (inner == 0)
            std::exit(0);
        ::waitpid(inner, nullptr, 0);
        std::exit(fs::exists(p) ? 0 : 3);
    }
    ::close(pipeFd[1]);
    std::string name;
    char buf[512];
    ssize_t got;
    while ((got = ::read(pipeFd[0], buf, sizeof buf)) > 0)
        name.append(buf, static_cast<std::size_t>(got));
    ::close(pipeFd[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_FALSE(name.empty());
    EXPECT_NE(fs::path(name), platform::TempDirectory());
    EXPECT_FALSE(fs::exists(name));
}

} // namespace
