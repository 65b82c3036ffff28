#include "ScriptedHost.h"

#include "news/ReadMarksFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace newstest;
using namespace news;
namespace fs = std::filesystem;

namespace {

CGroupTable Loaded(const fs::path& path, ReadMarksLoad expect = ReadMarksLoad::Loaded)
{
    CGroupTable table;
    EXPECT_EQ(LoadReadMarksFile(path, table, nullptr), expect);
    return table;
}

void AddGroup(CGroupTable& table, std::string name, bool subscribed, std::string marks)
{
    auto g = std::make_unique<CNewsGroup>();
    g->m_strName = std::move(name);
    g->m_bSubscribed = subscribed;
    g->m_strReadList = std::move(marks);
    table.Set(std::move(g));
}

CGroupTable OneGroup(const char* marks = "2")
{
    CGroupTable table;
    AddGroup(table, "new", true, marks);
    return table;
}

// Runs f in a child process and returns its exit status (-1 if it died).
template <class F> int InChild(F f)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(f());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReadMarksFile, LoadsSeparatorsAndLineEndsAndWritesTheCanonicalForm)
{
    ScratchDir dir;
    const fs::path rc = dir / "news.rc";
    WriteFile(rc, "a.b: 1-5\r\nc.d!\r\nx.y 10-20\nbareword\r\n\r\na.b:  1-1200,1203\r\nlast! 9");
    CGroupTable table = Loaded(rc);
    std::string listing;
    table.ForEach([&](const CNewsGroup& g) {
        listing += g.m_strName + (g.m_bSubscribed ? "|S|" : "|U|") + g.m_strReadList + (g.m_bNew ? "|new\n" : "\n");
    });
    // A later line of the same name wins; no CR is left on any marks text.
    EXPECT_EQ(listing, "a.b|S|  1-1200,1203\nc.d|U|\nx.y|U|10-20\nlast|U| 9\n");

    const std::string canonical = "a.b: 1-1200,1203\r\nc.d! \r\nx.y! 10-20\r\nlast! 9\r\n";
    AddGroup(table, "bad name", true, "1");   // would read back as another group: not written
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(rc), canonical);
    ASSERT_TRUE(SaveReadMarksFile(rc, Loaded(rc), nullptr));
    EXPECT_EQ(ReadFile(rc), canonical);

    std::string marks;   // far beyond any line buffer
    for (int i = 0; i < 20000; ++i)
        marks += std::to_string(i * 10) + "-" + std::to_string(i * 10 + 3) + ",";
    WriteFile(rc, "big: " + marks + "9\r\n");
    ASSERT_TRUE(SaveReadMarksFile(rc, Loaded(rc), nullptr));
    EXPECT_EQ(ReadFile(rc), "big: " + marks + "9\r\n");
}

TEST(ReadMarksFile, MissingEmptyAndUnreadableFiles)
{
    ScratchDir dir;
    CGroupTable untouched = OneGroup();
    EXPECT_EQ(LoadReadMarksFile(dir / "missing.rc", untouched, nullptr), ReadMarksLoad::NoFile);
    EXPECT_EQ(untouched.GetCount(), 1u);
    WriteFile(dir / "empty.rc", "no-separators\nnor.here\n");
    Loaded(dir / "empty.rc", ReadMarksLoad::NoGroups);
    fs::create_directory(dir / "dir.rc");
    ScriptedHost host;
    EXPECT_EQ(LoadReadMarksFile(dir / "dir.rc", untouched, &host), ReadMarksLoad::ReadError);
    EXPECT_EQ(host.StopIds(), Ids{msg::ReadFileFailed});
    EXPECT_EQ(host.messages[0].args[0], (dir / "dir.rc").string());
}

TEST(ReadMarksFile, SideFileNamesComeFromTheFileNameOnly)
{
    for (auto [path, tmp, bak] : {std::tuple{"/u/news.rc", "/u/news.tmp", "/u/news.bak"},
                                  {"/u/.config/x/marks", "/u/.config/x/marks.tmp", "/u/.config/x/marks.bak"},
                                  {"/u/.newsrc", "/u/.newsrc.tmp", "/u/.newsrc.bak"}, {"/d/x.tmp", "/d/x.tmp.tmp", "/d/x.tmp.bak"}})
        EXPECT_EQ(std::pair(SideFilesOf(path).tmp, SideFilesOf(path).bak), std::pair(fs::path(tmp), fs::path(bak)));
}

TEST(ReadMarksFile, SaveKeepsThePreviousFileAsBackup)
{
    ScratchDir dir;
    const fs::path rc = dir / "news.rc";
    EXPECT_TRUE(SaveReadMarksFile(rc, CGroupTable(), nullptr));   // nothing to write: no file made
    EXPECT_FALSE(fs::exists(rc));
    ASSERT_TRUE(SaveReadMarksFile(rc, OneGroup("1-5"), nullptr));  // no backup exists yet
    fs::permissions(rc, fs::perms(0600));
    ASSERT_TRUE(SaveReadMarksFile(rc, OneGroup("1-6"), nullptr));
    EXPECT_EQ(ReadFile(dir / "news.bak"), "new: 1-5\r\n");
    EXPECT_EQ(ReadFile(rc), "new: 1-6\r\n");
    EXPECT_EQ(fs::status(rc).permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));

    // Something planted at the temporary name is replaced, not written through.
    WriteFile(dir / "victim", "precious\n");
    fs::create_symlink(dir / "victim", dir / "news.tmp");
    ASSERT_TRUE(SaveReadMarksFile(rc, OneGroup("1-7"), nullptr));
    EXPECT_EQ(ReadFile(dir / "victim"), "precious\n");
}

// A write-protected backup, a full disk (the file size limit takes the same
// path as ENOSPC) and an unwritable folder each stop the save with the old file kept.
TEST(ReadMarksFile, FailedSavesLeaveTheFileAlone)
{
    ScratchDir dir;
    WriteFile(dir / "news.rc", "old: 1\r\n");
    WriteFile(dir / "news.bak", "older: 1\r\n");
    fs::permissions(dir / "news.bak", fs::perms(0444));
    ScriptedHost host;
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", OneGroup(), &host));
    EXPECT_EQ(host.StopIds(), Ids{msg::DeleteFileFailed});
    EXPECT_EQ(host.messages[0].args[0], (dir / "news.bak").string());
    EXPECT_EQ(ReadFile(dir / "news.bak"), "older: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "new: 2\r\n");
    fs::remove(dir / "news.bak");

    EXPECT_EQ(InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        CGroupTable table;
        for (int i = 0; i < 1000; ++i)
            AddGroup(table, "group." + std::to_string(i), true, "1-100");
        ScriptedHost host;
        return !SaveReadMarksFile(dir / "news.rc", table, &host) && host.StopIds() == Ids{msg::OpenCreateFailed} ? 0 : 1;
    }), 0);
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));

    fs::permissions(dir.path(), fs::perms(0555));
    EXPECT_EQ(InChild([&] {
        // Permissions do not bind root; test as an ordinary user then.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 2;
        ScriptedHost host;
        const bool saved = SaveReadMarksFile(dir / "news.rc", OneGroup(), &host);
        return !saved && host.StopIds() == Ids{msg::OpenCreateFailed} &&
                       host.messages[0].args[0] == (dir / "news.tmp").string() ? 0 : 1;
    }), 0);
    fs::permissions(dir.path(), fs::perms(0755));
    EXPECT_EQ(ReadFile(dir / "news.rc"), "old: 1\r\n");
}

// A save killed at any moment leaves the old file or the new one, complete.
TEST(ReadMarksFile, KilledSaveLeavesACompleteFile)
{
    ScratchDir dir;
    const fs::path rc = dir / "news.rc";
    CGroupTable a, b;
    for (int i = 0; i < 20000; ++i) {
        AddGroup(a, "alpha.group." + std::to_string(i), true, "1-" + std::to_string(i));
        AddGroup(b, "beta.group." + std::to_string(i), i % 2 == 0, "5-" + std::to_string(i + 7) + ",9000");
    }
    ASSERT_TRUE(SaveReadMarksFile(rc, a, nullptr));
    const std::string contentA = ReadFile(rc);
    ASSERT_TRUE(SaveReadMarksFile(rc, b, nullptr));
    const std::string contentB = ReadFile(rc);

    std::mt19937 rng(12345);
    for (int round = 0; round < 40; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0)
            for (int i = 0;; ++i)
                SaveReadMarksFile(rc, i % 2 ? a : b, nullptr);
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(rng));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = ReadFile(rc);
        ASSERT_TRUE(now == contentA || now == contentB) << "round " << round << ": " << now.size() << " bytes";
    }
}

} // namespace
