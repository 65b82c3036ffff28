#include "TestSupport.h"

#include "news/ReadMarksFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace newstest;
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

std::string Listing(const CGroupTable& table)
{
    std::string out;
    table.ForEach([&](const CNewsGroup& g) {
        out += g.m_strName + (g.m_bSubscribed ? "|S|" : "|U|") + g.m_strReadList + (g.m_bNew ? "|new" : "") + "\n";
    });
    return out;
}

TEST(ReadMarksFile, LoadsSeparatorsAndWritesTheCanonicalForm)
{
    TempDir dir;
    const fs::path rc = dir / "news.rc";
    WriteFile(rc, "a.b: 1-5\r\nc.d!\r\nx.y 10-20\r\nbareword\r\n\r\nfj.comp.lang.c:  1-1200,1203\r\n");
    CGroupTable table = Loaded(rc);
    EXPECT_EQ(Listing(table), "a.b|S| 1-5\nc.d|U|\nx.y|U|10-20\nfj.comp.lang.c|S|  1-1200,1203\n");
    const CNewsGroup* g = table.Find("a.b");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->m_nFirst, 0);
    EXPECT_EQ(g->m_nLast, 0);
    EXPECT_TRUE(g->m_bPostAllowed);

    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(rc), "a.b: 1-5\r\nc.d! \r\nx.y! 10-20\r\nfj.comp.lang.c: 1-1200,1203\r\n");

    // What we write reads back to the same bytes.
    CGroupTable again = Loaded(rc);
    ASSERT_TRUE(SaveReadMarksFile(rc, again, nullptr));
    EXPECT_EQ(ReadFile(rc), "a.b: 1-5\r\nc.d! \r\nx.y! 10-20\r\nfj.comp.lang.c: 1-1200,1203\r\n");
}

TEST(ReadMarksFile, AcceptsLfAndCrLfAndALastLineWithoutEnd)
{
    TempDir dir;
    WriteFile(dir / "lf", "a.b: 1-5\nc.d! 7\ne.f: 9");
    WriteFile(dir / "crlf", "a.b: 1-5\r\nc.d! 7\r\ne.f: 9");
    const std::string expect = "a.b|S| 1-5\nc.d|U| 7\ne.f|S| 9\n";
    EXPECT_EQ(Listing(Loaded(dir / "lf")), expect);
    EXPECT_EQ(Listing(Loaded(dir / "crlf")), expect);
    // No stray CR: the marks of an empty unsubscribed line stay empty.
    WriteFile(dir / "cr", "c.d!\r\n");
    EXPECT_EQ(Loaded(dir / "cr").Find("c.d")->m_strReadList, "");
}

TEST(ReadMarksFile, LongLinesLoadWhole)
{
    TempDir dir;
    std::string marks;
    for (int i = 0; i < 20000; ++i)
        marks += (i ? "," : "") + std::to_string(i * 10) + "-" + std::to_string(i * 10 + 3);
    ASSERT_GT(marks.size(), 200000u);
    const std::string file = "big.group: " + marks + "\r\nsmall.group! 1\r\n";
    WriteFile(dir / "news.rc", file);
    CGroupTable table = Loaded(dir / "news.rc");
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.Find("big.group")->m_strReadList, " " + marks);
    ASSERT_TRUE(SaveReadMarksFile(dir / "news.rc", table, nullptr));
    EXPECT_EQ(ReadFile(dir / "news.rc"), file);
}

TEST(ReadMarksFile, LaterDuplicateWinsAndMissingOrEmptyFilesLoadNothing)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "a.b: 1\nc.d: 2\na.b! 3\n");
    CGroupTable table = Loaded(dir / "news.rc");
    EXPECT_EQ(Listing(table), "a.b|U| 3\nc.d|S| 2\n");

    CGroupTable untouched;
    AddGroup(untouched, "keep.me", true, "1");
    EXPECT_EQ(LoadReadMarksFile(dir / "missing.rc", untouched, nullptr), ReadMarksLoad::NoFile);
    EXPECT_EQ(untouched.GetCount(), 1u);

    WriteFile(dir / "empty.rc", "no-separators-here\nnor.here\n");
    Loaded(dir / "empty.rc", ReadMarksLoad::NoGroups);
}

TEST(ReadMarksFile, ReadErrorIsReported)
{
    TempDir dir;
    fs::create_directory(dir / "news.rc");
    RecordingHost host;
    CGroupTable table;
    EXPECT_EQ(LoadReadMarksFile(dir / "news.rc", table, &host), ReadMarksLoad::ReadError);
    ASSERT_EQ(host.Ids(), std::vector<unsigned>{msg::ReadFileFailed});
    EXPECT_EQ(host.shown[0].args, std::vector<std::string>{(dir / "news.rc").string()});
    EXPECT_EQ(host.shown[0].icon, MessageIcon::Stop);
}

TEST(ReadMarksFile, SideFileNamesComeFromTheFileNameOnly)
{
    auto side = [](const char* p) {
        const auto s = SideFilesOf(p);
        return s.tmp.string() + " " + s.bak.string();
    };
    EXPECT_EQ(side("/home/u/news.rc"), "/home/u/news.tmp /home/u/news.bak");
    EXPECT_EQ(side("/home/u/marks"), "/home/u/marks.tmp /home/u/marks.bak");
    EXPECT_EQ(side("/home/u/.config/lumetra/marks"), "/home/u/.config/lumetra/marks.tmp /home/u/.config/lumetra/marks.bak");
    EXPECT_EQ(side("/home/u/.newsrc"), "/home/u/.newsrc.tmp /home/u/.newsrc.bak");
    EXPECT_EQ(side("news.rc"), "news.tmp news.bak");
    EXPECT_EQ(side("/d/x.tmp"), "/d/x.tmp.tmp /d/x.tmp.bak");
    EXPECT_EQ(side("/d/x.bak"), "/d/x.bak.tmp /d/x.bak.bak");
}

TEST(ReadMarksFile, SaveKeepsThePreviousFileAsBackup)
{
    TempDir dir;
    const fs::path rc = dir / "news.rc";
    CGroupTable table;
    AddGroup(table, "a.b", true, "1-5");

    // No file and no backup yet.
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(rc), "a.b: 1-5\r\n");
    EXPECT_FALSE(fs::exists(dir / "news.bak"));
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));

    fs::permissions(rc, fs::perms(0600));
    table.Find("a.b")->m_strReadList = "1-6";
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(dir / "news.bak"), "a.b: 1-5\r\n");
    EXPECT_EQ(ReadFile(rc), "a.b: 1-6\r\n");
    EXPECT_EQ(fs::status(rc).permissions() & fs::perms::all, fs::perms(0600));

    table.Find("a.b")->m_bSubscribed = false;
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(dir / "news.bak"), "a.b: 1-6\r\n");
    EXPECT_EQ(ReadFile(rc), "a.b! 1-6\r\n");
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));

    // A name that would read back as another group is not written.
    AddGroup(table, "bad name", true, "1");
    AddGroup(table, "bad:name", true, "1");
    AddGroup(table, "bad\nname", true, "1");
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(rc), "a.b! 1-6\r\n");
}

TEST(ReadMarksFile, EmptyTableWritesNothing)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "a.b: 1\n");
    CGroupTable empty;
    EXPECT_TRUE(SaveReadMarksFile(dir / "news.rc", empty, nullptr));
    EXPECT_EQ(ReadFile(dir / "news.rc"), "a.b: 1\n");
    EXPECT_FALSE(fs::exists(dir / "news.bak"));
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));
}

TEST(ReadMarksFile, WriteProtectedBackupStopsTheSave)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "old: 1\r\n");
    WriteFile(dir / "news.bak", "older: 1\r\n");
    fs::permissions(dir / "news.bak", fs::perms(0444));
    CGroupTable table;
    AddGroup(table, "new", true, "2");
    RecordingHost host;
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", table, &host));
    ASSERT_EQ(host.Ids(), std::vector<unsigned>{msg::DeleteFileFailed});
    EXPECT_EQ(host.shown[0].args, std::vector<std::string>{(dir / "news.bak").string()});
    EXPECT_EQ(ReadFile(dir / "news.rc"), "old: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.bak"), "older: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "new: 2\r\n");
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

TEST(ReadMarksFile, WhateverLiesAtTheTemporaryNameIsReplacedNotFollowed)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "old: 1\r\n");
    WriteFile(dir / "victim", "precious\n");
    fs::create_symlink(dir / "victim", dir / "news.tmp");
    CGroupTable table;
    AddGroup(table, "new", true, "2");
    ASSERT_TRUE(SaveReadMarksFile(dir / "news.rc", table, nullptr));
    EXPECT_EQ(ReadFile(dir / "victim"), "precious\n");
    EXPECT_EQ(ReadFile(dir / "news.rc"), "new: 2\r\n");

    // A folder there cannot be replaced: reported, the file stays.
    fs::create_directory(dir / "news.tmp");
    RecordingHost host;
    table.Find("new")->m_strReadList = "3";
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", table, &host));
    EXPECT_EQ(host.Ids(), std::vector<unsigned>{msg::OpenCreateFailed});
    EXPECT_EQ(ReadFile(dir / "news.rc"), "new: 2\r\n");
}

TEST(ReadMarksFile, BackupThatCannotBeMadeStopsTheSave)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "old: 1\r\n");
    fs::create_directories(dir / "news.bak" / "in-the-way");
    CGroupTable table;
    AddGroup(table, "new", true, "2");
    RecordingHost host;
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", table, &host));
    EXPECT_TRUE(host.shown.empty());   // the caller reports the failed save
    EXPECT_EQ(ReadFile(dir / "news.rc"), "old: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "new: 2\r\n");
}

// A full disk: the write fails part way (the file size limit gives the same
// error path as ENOSPC without needing a small file system).
TEST(ReadMarksFile, FileSizeLimitMidWriteLeavesTheFileAlone)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "old: 1\r\n");
    WriteFile(dir / "news.bak", "older: 1\r\n");
    const int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        CGroupTable table;
        for (int i = 0; i < 1000; ++i)
            AddGroup(table, "group." + std::to_string(i), true, "1-100");
        RecordingHost host;
        const bool ok = SaveReadMarksFile(dir / "news.rc", table, &host);
        return !ok && host.Ids() == std::vector<unsigned>{msg::OpenCreateFailed} ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "news.rc"), "old: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.bak"), "older: 1\r\n");
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));
}

TEST(ReadMarksFile, UnwritableFolderIsReported)
{
    TempDir dir;
    fs::create_directory(dir / "ro");
    WriteFile(dir / "ro" / "news.rc", "old: 1\r\n");
    fs::permissions(dir / "ro", fs::perms(0555));
    const int status = InChild([&] {
        // Permissions do not bind root; test as an ordinary user then.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 2;
        CGroupTable table;
        AddGroup(table, "new", true, "2");
        RecordingHost host;
        const bool ok = SaveReadMarksFile(dir / "ro" / "news.rc", table, &host);
        if (ok || host.Ids() != std::vector<unsigned>{msg::OpenCreateFailed})
            return 1;
        return host.shown[0].args[0] == (dir / "ro" / "news.tmp").string() ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "ro" / "news.rc"), "old: 1\r\n");
}

// A save killed at any moment leaves the old file or the new one, complete.
TEST(ReadMarksFile, KilledSaveLeavesACompleteFile)
{
    TempDir dir;
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
        if (pid == 0) {
            for (int i = 0;; ++i)
                SaveReadMarksFile(rc, i % 2 ? a : b, nullptr);
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(rng));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = ReadFile(rc);
        ASSERT_TRUE(now == contentA || now == contentB) << "round " << round << ": " << now.size() << " bytes";
    }
}

} // namespace
