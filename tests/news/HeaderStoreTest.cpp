// The header store: what goes in comes out per server and group, files it
// cannot trust are set aside, a writer killed at any moment leaves a usable
// store, and groups nobody opens expire.
#include "news/HeaderStore.h"

#include "platform/Registry.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <tuple>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace news;
using testutil::ReadFile;
using testutil::WriteFile;

namespace {

// Shift_JIS subjects with a NUL and every byte value a header may hold.
std::vector<HeaderRecord> Records(int from, int to)
{
    std::vector<HeaderRecord> out;
    for (int n = from; n <= to; ++n) {
        HeaderRecord& r = out.emplace_back();
        r.number = n;
        r.messageId = "<" + std::to_string(n) + "@example.jp>";
        r.references = "<root@example.jp> <" + std::to_string(n - 1) + "@example.jp>";
        r.subject = std::string("\x93\xfa\x96\x7b\x8c\xea\0\xff ", 9) + std::to_string(n);
        r.from = "user" + std::to_string(n % 7) + "@example.jp";
        r.xref = n % 2 ? "host fj.test:" + std::to_string(n) : "";
        r.date = 1700000000 + n;
    }
    return out;
}

auto Fields(const HeaderRecord& r) { return std::tie(r.number, r.messageId, r.references, r.subject, r.from, r.xref, r.date); }
bool Same(const HeaderRecord& a, const HeaderRecord& b) { return Fields(a) == Fields(b); }

// Runs SQL on the file with SQLite itself, as another program would.
void Sql(const std::filesystem::path& file, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

const std::string kServer = HeaderStore::ServerKey("news.example.jp", 119);

struct HeaderStoreTest : ::testing::Test {
    testutil::ScratchDir dir;
    std::filesystem::path file = dir / "cache" / "headers.sqlite";
    HeaderStore store;

    // A closed store holding n records of fj.test.
    void MakeStore(int n)
    {
        ASSERT_TRUE(store.Open(file)) << store.LastError();
        ASSERT_TRUE(store.Add(kServer, "fj.test", Records(1, n)));
        store.Close();
    }
};

} // namespace

TEST_F(HeaderStoreTest, KeepsRecordsPerServerAndGroup)
{
    ASSERT_TRUE(store.Open(file)) << store.LastError();
    EXPECT_EQ(store.SetAsideReason(), "");
    const std::string other = HeaderStore::ServerKey("news.example.jp", 563);
    ASSERT_TRUE(store.Add(kServer, "fj.test", Records(1, 100)));
    ASSERT_TRUE(store.Add(other, "fj.test", Records(50, 60)));
    std::vector<HeaderRecord> again = Records(45, 45);
    again.push_back(Records(0, 0)[0]); // no number: skipped
    again[0].subject = "changed";
    ASSERT_TRUE(store.Add(kServer, "fj.test", again));
    ASSERT_TRUE(store.DropBelow(kServer, "fj.test", 40));

    struct Row {
        std::string server, group;
        int first, last, highest;
    } rows[] = {
        {kServer, "fj.test", 40, 100, 100},
        {other, "fj.test", 50, 60, 60},
        {kServer, "fj.test.one", 0, -1, 0},
    };
    store.Close();
    ASSERT_TRUE(store.Open(file)); // what was written survives closing
    for (const Row& r : rows) {
        SCOPED_TRACE(r.server + " " + r.group);
        const auto got = store.Load(r.server, r.group);
        auto want = Records(r.first, r.last);
        if (r.server == kServer && r.group == "fj.test")
            want[45 - 40].subject = "changed"; // the later record replaced the earlier
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(Same(got[i], want[i])) << got[i].number;
        EXPECT_EQ(store.Highest(r.server, r.group), r.highest);
    }
    // The article list's record and back: the parent is the last reference,
    // and the whole chain comes back (threading falls back along it).
    const CArticle a = ArticleOf(Records(9, 9)[0]);
    EXPECT_EQ(a.m_strParentID, "<8@example.jp>");
    EXPECT_FALSE(a.m_bRead);
    EXPECT_EQ(RecordOf(a).references, Records(9, 9)[0].references);
    EXPECT_TRUE(Same(RecordOf(a, Records(9, 9)[0].references), Records(9, 9)[0]));
}

TEST_F(HeaderStoreTest, UntrustedFilesAreSetAsideAndRebuilt)
{
    struct Row {
        const char* name;
        std::function<void(HeaderStoreTest&)> make;
        const char* reason;
    } rows[] = {
        {"not a database",
         [](HeaderStoreTest& t) {
             std::filesystem::create_directories(t.file.parent_path());
             WriteFile(t.file, std::string(8192, 'x'));
         },
         "not a sound database"},
        {"cut short",
         [](HeaderStoreTest& t) {
             t.MakeStore(3000);
             std::filesystem::resize_file(t.file, std::filesystem::file_size(t.file) / 2);
         },
         ""},
        {"pages overwritten",
         [](HeaderStoreTest& t) {
             t.MakeStore(3000);
             std::string bytes = ReadFile(t.file);
             for (std::size_t i = 4096 * 3; i < 4096 * 6 && i < bytes.size(); ++i)
                 bytes[i] = static_cast<char>(i * 131);
             WriteFile(t.file, bytes);
         },
         ""},
        {"newer version",
         [](HeaderStoreTest& t) {
             t.MakeStore(10);
             Sql(t.file, ("PRAGMA user_version=" + std::to_string(HeaderStore::kSchemaVersion + 1)).c_str());
         },
         "newer version"},
        {"older layout",
         [](HeaderStoreTest& t) {
             t.MakeStore(10);
             Sql(t.file, ("PRAGMA user_version=" + std::to_string(HeaderStore::kSchemaVersion - 1)).c_str());
         },
         "older layout"},
        {"another program's",
         [](HeaderStoreTest& t) {
             std::filesystem::create_directories(t.file.parent_path());
             Sql(t.file, "CREATE TABLE groups(x); INSERT INTO groups VALUES(1)");
         },
         "another program"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::remove_all(file.parent_path());
        r.make(*this);
        const std::string before = ReadFile(file);
        ASSERT_TRUE(store.Open(file)) << store.LastError();
        EXPECT_NE(store.SetAsideReason(), "");
        EXPECT_NE(store.SetAsideReason().find(r.reason), std::string::npos) << store.SetAsideReason();
        EXPECT_EQ(ReadFile(std::filesystem::path(file) += ".damaged"), before);
        EXPECT_TRUE(store.Load(kServer, "fj.test").empty());
        // The new store works and is trusted next time.
        ASSERT_TRUE(store.Add(kServer, "fj.test", Records(1, 3)));
        store.Close();
        ASSERT_TRUE(store.Open(file));
        EXPECT_EQ(store.SetAsideReason(), "");
        EXPECT_EQ(store.Load(kServer, "fj.test").size(), 3u);
        store.Close();
    }
}

TEST_F(HeaderStoreTest, AWriterKilledAtAnyMomentLeavesAUsableStore)
{
    constexpr int kBatch = 2000;
    // Commits the writer announces before it is killed, in the middle of the next.
    for (const int commits : {0, 1, 4, 12}) {
        SCOPED_TRACE(commits);
        std::filesystem::remove_all(file.parent_path());
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            HeaderStore writer;
            if (!writer.Open(file))
                ::_exit(2);
            for (int i = 0;; ++i) {
                if (!writer.Add(kServer, "fj.test", Records(i * kBatch + 1, (i + 1) * kBatch)))
                    ::_exit(3);
                if (::write(ready[1], "c", 1) != 1)
                    ::_exit(4);
            }
        }
        ::close(ready[1]);
        char c;
        for (int i = 0; i < commits; ++i)
            ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;

        ASSERT_TRUE(store.Open(file)) << store.LastError();
        EXPECT_EQ(store.SetAsideReason(), "");
        const auto got = store.Load(kServer, "fj.test");
        // Whole batches only, at least every one announced, numbered without a gap.
        EXPECT_EQ(got.size() % kBatch, 0u);
        EXPECT_GE(got.size(), std::size_t(commits) * kBatch);
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i].number, static_cast<int>(i) + 1);
        EXPECT_TRUE(store.Add(kServer, "fj.test", Records(1, 1)));
        store.Close();
    }
}

TEST_F(HeaderStoreTest, GroupsNotOpenedForTheSetDaysExpire)
{
    constexpr std::int64_t kNow = 1750000000, kDay = 86400;
    ASSERT_TRUE(store.Open(file));
    struct Row {
        const char* group;
        std::int64_t opened;
        bool kept; // after Expire(kNow, 30)
    } rows[] = {
        {"old.group", kNow - 40 * kDay, false},
        {"just.over", kNow - 30 * kDay - 1, false},
        {"just.under", kNow - 30 * kDay + 1, true},
        {"today", kNow, true},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(store.Add(kServer, r.group, Records(1, 50)));
        ASSERT_TRUE(store.Touch(kServer, r.group, r.opened));
    }
    EXPECT_EQ(store.Expire(kNow, 30), 2);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.group);
        EXPECT_EQ(store.Load(kServer, r.group).size(), r.kept ? 50u : 0u);
        EXPECT_EQ(store.LastOpened(kServer, r.group), r.kept ? r.opened : 0);
    }
    EXPECT_EQ(store.Expire(kNow, 30), 0);

    // The setting, with values out of range giving the default.
    platform::Registry registry(dir / "registry");
    struct Setting {
        std::optional<int> stored;
        int used;
    } settings[] = {{std::nullopt, 30}, {7, 7}, {0, 30}, {-3, 30}, {3650, 3650}, {99999, 30}};
    for (const Setting& s : settings) {
        if (s.stored)
            registry.WriteInt("HeaderStore", "nExpireDays", *s.stored);
        EXPECT_EQ(HeaderStoreExpiryDays(registry), s.used);
    }
}
