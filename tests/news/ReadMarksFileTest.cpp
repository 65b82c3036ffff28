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

using Ids = std::vector<unsigned>;

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

std::string Listing(const CGroupTable& table)
{
    std::string out;
    table.ForEach([&](const CNewsGroup& g) {
        out += g.m_strName + (g.m_bSubscribed ? "|S|" : "|U|") + g.m_strReadList + (g.m_bNew ? "|new" : "") + "\n";
    });
    return out;
}

TEST(ReadMarksFile, LoadsSeparatorsAndLineEndsAndWritesTheCanonicalForm)
{
    TempDir dir;
    const fs::path rc = dir / "news.rc";
    WriteFile(rc, "a.b: 1-5\r\nc.d!\r\nx.y 10-20\nbareword\r\n\r\na.b:  1-1200,1203\r\nlast! 9");
    CGroupTable table = Loaded(rc);
    // A later line of the same name wins; no CR is left on any marks text.
    EXPECT_EQ(Listing(table), "a.b|S|  1-1200,1203\nc.d|U|\nx.y|U|10-20\nlast|U| 9\n");

    const std::string canonical = "a.b: 1-1200,1203\r\nc.d! \r\nx.y! 10-20\r\nlast! 9\r\n";
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(rc), canonical);
    CGroupTable again = Loaded(rc);
    ASSERT_TRUE(SaveReadMarksFile(rc, again, nullptr));
    EXPECT_EQ(ReadFile(rc), canonical);

    // Names that would read back as another group are not written.
    AddGroup(again, "bad name", true, "1");
    AddGroup(again, "bad\nname", true, "1");
    ASSERT_TRUE(SaveReadMarksFile(rc, again, nullptr));
    EXPECT_EQ(ReadFile(rc), canonical);
}

TEST(ReadMarksFile, LongLinesLoadWhole)
{
    TempDir dir;
    std::string marks;
    for (int i = 0; i < 20000; ++i)
        marks += (i ? "," : "") + std::to_string(i * 10) + "-" + std::to_string(i * 10 + 3);
    const std::string file = "big.group: " + marks + "\r\nsmall.group! 1\r\n";
    WriteFile(dir / "news.rc", file);
    CGroupTable table = Loaded(dir / "news.rc");
    EXPECT_EQ(table.Find("big.group")->m_strReadList, " " + marks);
    ASSERT_TRUE(SaveReadMarksFile(dir / "news.rc", table, nullptr));
    EXPECT_EQ(ReadFile(dir / "news.rc"), file);
}

TEST(ReadMarksFile, MissingEmptyAndUnreadableFiles)
{
    TempDir dir;
    CGroupTable untouched = OneGroup();
    EXPECT_EQ(LoadReadMarksFile(dir / "missing.rc", untouched, nullptr), ReadMarksLoad::NoFile);
    EXPECT_EQ(untouched.GetCount(), 1u);

    WriteFile(dir / "empty.rc", "no-separators\nnor.here\n");
    Loaded(dir / "empty.rc", ReadMarksLoad::NoGroups);

    fs::create_directory(dir / "dir.rc");
    RecordingHost host;
    EXPECT_EQ(LoadReadMarksFile(dir / "dir.rc", untouched, &host), ReadMarksLoad::ReadError);
    EXPECT_EQ(host.ids, Ids{msg::ReadFileFailed});
    EXPECT_EQ(host.args[0][0], (dir / "dir.rc").string());
}

TEST(ReadMarksFile, SideFileNamesComeFromTheFileNameOnly)
{
    auto side = [](const char* p) {
        const auto s = SideFilesOf(p);
        return s.tmp.string() + " " + s.bak.string();
    };
    EXPECT_EQ(side("/home/u/news.rc"), "/home/u/news.tmp /home/u/news.bak");
    EXPECT_EQ(side("/home/u/.config/x/marks"), "/home/u/.config/x/marks.tmp /home/u/.config/x/marks.bak");
    EXPECT_EQ(side("/home/u/.newsrc"), "/home/u/.newsrc.tmp /home/u/.newsrc.bak");
    EXPECT_EQ(side("/d/x.tmp"), "/d/x.tmp.tmp /d/x.tmp.bak");
    EXPECT_EQ(side("/d/x.bak"), "/d/x.bak.tmp /d/x.bak.bak");
}

TEST(ReadMarksFile, SaveKeepsThePreviousFileAsBackup)
{
    TempDir dir;
    const fs::path rc = dir / "news.rc";
    CGroupTable empty;
    EXPECT_TRUE(SaveReadMarksFile(rc, empty, nullptr));   // nothing to write: no file made
    EXPECT_FALSE(fs::exists(rc));

    CGroupTable table = OneGroup("1-5");
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));    // no backup exists yet
    fs::permissions(rc, fs::perms(0600));
    table.Find("new")->m_strReadList = "1-6";
    ASSERT_TRUE(SaveReadMarksFile(rc, table, nullptr));
    EXPECT_EQ(ReadFile(dir / "news.bak"), "new: 1-5\r\n");
    EXPECT_EQ(ReadFile(rc), "new: 1-6\r\n");
    EXPECT_EQ(fs::status(rc).permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_FALSE(fs::exists(dir / "news.tmp"));

    EXPECT_TRUE(SaveReadMarksFile(rc, empty, nullptr));
    EXPECT_EQ(ReadFile(rc), "new: 1-6\r\n");
}

TEST(ReadMarksFile, BackupThatCannotGoStopsTheSave)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "old: 1\r\n");
    WriteFile(dir / "news.bak", "older: 1\r\n");
    fs::permissions(dir / "news.bak", fs::perms(0444));
    RecordingHost host;
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", OneGroup(), &host));
    EXPECT_EQ(host.ids, Ids{msg::DeleteFileFailed});
    EXPECT_EQ(host.args[0][0], (dir / "news.bak").string());
    EXPECT_EQ(ReadFile(dir / "news.rc"), "old: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.bak"), "older: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "new: 2\r\n");

    // A backup that cannot be made: no message here (the caller reports it).
    fs::remove(dir / "news.bak");
    fs::create_directories(dir / "news.bak" / "in-the-way");
    host.ids.clear();
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", OneGroup(), &host));
    EXPECT_TRUE(host.ids.empty());
    EXPECT_EQ(ReadFile(dir / "news.rc"), "old: 1\r\n");
}

TEST(ReadMarksFile, WhateverLiesAtTheTemporaryNameIsReplacedNotFollowed)
{
    TempDir dir;
    WriteFile(dir / "victim", "precious\n");
    fs::create_symlink(dir / "victim", dir / "news.tmp");
    ASSERT_TRUE(SaveReadMarksFile(dir / "news.rc", OneGroup(), nullptr));
    EXPECT_EQ(ReadFile(dir / "victim"), "precious\n");

    fs::create_directory(dir / "news.tmp");
    RecordingHost host;
    EXPECT_FALSE(SaveReadMarksFile(dir / "news.rc", OneGroup("3"), &host));
    EXPECT_EQ(host.ids, Ids{msg::OpenCreateFailed});
    EXPECT_EQ(ReadFile(dir / "news.rc"), "new: 2\r\n");
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

// A full disk: the write fails part way (the file size limit takes the same
// path as ENOSPC without a small file system).
TEST(ReadMarksFile, WriteFailingPartWayLeavesTheFileAlone)
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
        return !SaveReadMarksFile(dir / "news.rc", table, &host) && host.ids == Ids{msg::OpenCreateFailed} ? 0 : 1;
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
        RecordingHost host;
        if (SaveReadMarksFile(dir / "ro" / "news.rc", OneGroup(), &host) || host.ids != Ids{msg::OpenCreateFailed})
            return 1;
        return host.args[0][0] == (dir / "ro" / "news.tmp").string() ? 0 : 3;
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
