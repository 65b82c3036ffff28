#include "platform/Registry.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <random>

using platform::Registry;
using testutil::ReadFile;
using testutil::WriteFile;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> l) { return {l.begin(), l.end()}; }

struct RegistryStore : ::testing::Test {
    testutil::ScratchDir dir;
    const std::filesystem::path f = dir / "registry";
};

TEST_F(RegistryStore, ValuesOfEveryKindSurviveReopening)
{
    const auto sub = dir / "sub" / "registry"; // the folder is made on the first write
    std::string allBytes;
    for (int c = 0; c < 256; ++c)
        allBytes += static_cast<char>(c);
    const std::string tricky = "a=b [x] \\x41 \r\n\x95\x5c\xe3\x81\x82";
    const auto rect = Bytes({10, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0x20, 3, 0, 0, 0x58, 2, 0, 0});
    const std::pair<const char*, std::string> strings[] = {{"path", tricky}, {"all", allBytes}, {"", ""}};
    {
        Registry r(sub);
        for (const auto& [key, value] : strings)
            ASSERT_TRUE(r.WriteString("Signature", key, value));
        ASSERT_TRUE(r.WriteInt("MainWindow", "min", INT_MIN));
        ASSERT_TRUE(r.WriteInt("MainWindow", "max", INT_MAX));
        ASSERT_TRUE(r.WriteBinary("MainWindow", "rcWindowRect", rect.data(), rect.size()));
        ASSERT_TRUE(r.WriteBinary("Signature", "empty", nullptr, 0));
    }
    Registry r(sub);
    EXPECT_EQ(r.LoadError(), "");
    for (const auto& [key, value] : strings)
        EXPECT_EQ(r.GetString("Signature", key, "dflt"), value) << key;
    EXPECT_EQ(r.GetInt("MainWindow", "min", 0), INT_MIN);
    EXPECT_EQ(r.GetInt("MainWindow", "max", 0), INT_MAX);
    std::vector<std::uint8_t> got;
    EXPECT_EQ(r.GetBinary("MainWindow", "rcWindowRect", got), 16u);
    EXPECT_EQ(got, rect);
    EXPECT_EQ(r.TypeOf("Signature", "empty"), Registry::Type::Binary);
    // Every line of the store is one entry whatever the values hold.
    const std::string text = ReadFile(sub);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11) << text;
}

TEST_F(RegistryStore, ReadsMatchNamesInAnyCaseAndCheckTypeAndSize)
{
    Registry r(f);
    ASSERT_TRUE(r.WriteInt("MainWindow", "nArticlePaneHeight", 100));
    ASSERT_TRUE(r.WriteInt("MAINWINDOW", "NARTICLEPANEHEIGHT", 120));
    EXPECT_EQ(r.GetInt("mainwindow", "narticlepaneheight", 0), 120);
    EXPECT_NE(ReadFile(f).find("[MainWindow]\nnArticlePaneHeight=int:120\n"), std::string::npos);

    ASSERT_TRUE(r.WriteString("Signature", "sign0", "text"));
    ASSERT_TRUE(r.WriteInt("Signature", "nSelect", 2));
    std::vector<std::uint8_t> got = Bytes({1, 2, 3});
    EXPECT_EQ(r.GetBinary("Signature", "sign0", got), 0u);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(r.GetInt("Signature", "sign0", 7), 7);
    EXPECT_EQ(r.GetString("Signature", "nSelect", "d"), "d");
    EXPECT_EQ(r.TypeOf("Signature", "nSelect"), Registry::Type::Integer);
    EXPECT_EQ(r.TypeOf("Signature", "nothing"), std::nullopt);

    // A binary write replaces an entry of any type under the same name.
    const auto sig = Bytes({0x82, 0xa0, 0});
    ASSERT_TRUE(r.WriteBinary("SIGNATURE", "Sign0", sig.data(), sig.size()));
    EXPECT_EQ(r.TypeOf("Signature", "sign0"), Registry::Type::Binary);
    EXPECT_EQ(r.GetBinary("Signature", "sign0", got), 3u);
    EXPECT_EQ(got, sig);

    // Fixed-size records are read only at their exact size.
    const std::int32_t rect[4] = {10, 20, 810, 620};
    ASSERT_TRUE(r.WriteBinary("MainWindow", "rcWindowRect", rect, sizeof rect));
    ASSERT_TRUE(r.WriteBinary("MainWindow", "short", rect, 12));
    std::int32_t out[4] = {-1, -1, -1, -1};
    EXPECT_FALSE(r.GetBinaryExact("MainWindow", "short", out, sizeof out));
    EXPECT_EQ(out[0], -1);
    EXPECT_FALSE(r.GetBinaryExact("MainWindow", "nArticlePaneHeight", out, sizeof out));
    ASSERT_TRUE(r.GetBinaryExact("MainWindow", "rcWindowRect", out, sizeof out));
    EXPECT_EQ(out[2], 810);
}

// Old leftovers of a killed writer are cleared; deletes reach the file; failed
// writes change neither the file nor memory.
TEST_F(RegistryStore, LeftoversDeletesAndFailedWrites)
{
    const auto old = dir / ".registry.tmp-aaaaaa", fresh = dir / ".registry.tmp-bbbbbb", other = dir / ".other.tmp-c";
    for (const auto& p : {old, fresh, other})
        WriteFile(p, "partial");
    const auto past = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(old, past);
    std::filesystem::last_write_time(other, past);
    Registry r(f);
    // A fresh one may be another process's write in progress.
    EXPECT_EQ(std::tuple(exists(old), exists(fresh), exists(other)), std::tuple(false, true, true));

    ASSERT_TRUE(r.WriteInt("FollowUp", "bNameQuote", 1));
    ASSERT_TRUE(r.WriteInt("FollowUp", "CommentLang", 1));
    EXPECT_TRUE(r.DeleteValue("followup", "BNAMEQUOTE") && r.DeleteValue("FollowUp", "never-there"));
    EXPECT_EQ(Registry(f).TypeOf("FollowUp", "bNameQuote"), std::nullopt);
    EXPECT_EQ(Registry(f).GetInt("FollowUp", "CommentLang", 0), 1);
    EXPECT_TRUE(r.DeleteValue("FollowUp", "CommentLang"));
    EXPECT_EQ(ReadFile(f), "LUMETRA-SETTINGS 1\nEND\n");

    std::filesystem::remove(f);
    std::filesystem::create_directory(f); // exists, cannot be read as a file
    Registry unreadable(f);
    EXPECT_NE(unreadable.LoadError(), "");
    EXPECT_FALSE(unreadable.WriteInt("MainWindow", "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(f));
    WriteFile(dir / "plainfile", "x");
    Registry noFolder(dir / "plainfile" / "registry"); // its folder can never be made
    EXPECT_EQ(noFolder.LoadError(), "");
    EXPECT_FALSE(noFolder.WriteBinary("Settings", "b", "ab", 2));
    EXPECT_EQ(noFolder.TypeOf("Settings", "b"), std::nullopt);
}

TEST_F(RegistryStore, DamagedFilesAreKeptAsideNeverEmptied)
{
    const std::string damaged[] = {
        "garbage\n",
        "",
        "LUMETRA-SETTINGS 1\n[MainWindow]\nnGroupPaneWidth=int:80\n",     // cut before its end mark
        "LUMETRA-SETTINGS 1\n[MainWindow]\nnGroupPaneWidth=int:8",        // cut inside a line
        "LUMETRA-SETTINGS 1\n[MainWindow]\nx=int:12z\nEND\n",
        "LUMETRA-SETTINGS 1\n[MainWindow]\nx=bin:abc\nEND\n",
        "LUMETRA-SETTINGS 1\n[MainWindow]\nx=str:\\x4\nEND\n",
        "LUMETRA-SETTINGS 1\n[MainWindow]\nx=dword:1\nEND\n",
        "LUMETRA-SETTINGS 1\nx=int:1\nEND\n",
        "LUMETRA-SETTINGS 1\nEND\nmore\n",
    };
    int n = 0;
    for (const auto& content : damaged) {
        ++n;
        WriteFile(f, content);
        Registry r(f);
        const auto aside = dir / ("registry.damaged-" + std::to_string(n));
        EXPECT_NE(r.LoadError().find(aside.string()), std::string::npos) << n << ": " << r.LoadError();
        EXPECT_EQ(ReadFile(aside), content) << n;
        EXPECT_EQ(r.TypeOf("MainWindow", "nGroupPaneWidth"), std::nullopt);
        // The store works again from empty.
        EXPECT_TRUE(r.WriteInt("MainWindow", "nGroupPaneWidth", 90));
        EXPECT_EQ(Registry(f).GetInt("MainWindow", "nGroupPaneWidth", 0), 90);
        std::filesystem::remove(f);
    }
    // CR LF line ends, as an editor may leave them, are still a sound file.
    WriteFile(f, "LUMETRA-SETTINGS 1\r\n[A]\r\nk=str:v\r\nEND\r\n");
    Registry ok(f);
    EXPECT_EQ(ok.LoadError(), "");
    EXPECT_EQ(ok.GetString("a", "K"), "v");
}

TEST_F(RegistryStore, UserStoreFollowsXdgConfigHome)
{
    {
        testutil::ScopedEnv xdg("XDG_CONFIG_HOME", "/somewhere/cfg");
        EXPECT_EQ(Registry::UserStorePath(), "/somewhere/cfg/Quorvane/Lumetra/registry");
    }
    testutil::ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg"); // ignored, as XDG asks
    if (const char* home = std::getenv("HOME")) {
        EXPECT_EQ(Registry::UserStorePath(), std::filesystem::path(home) / ".config/Quorvane/Lumetra/registry");
    }
}

TEST_F(RegistryStore, AppPathsLookUpByExecutableNameIgnoringCase)
{
    WriteFile(dir / "apppaths", "# registered programs\n"
                                 "postela.exe = /opt/postela/bin/postela\r\n"
                                 "other.exe=\"/usr/bin/with blank\"\n"
                                 "broken line\n");
    testutil::ScopedEnv paths("LUMETRA_APP_PATHS", (dir / "apppaths").c_str());
    EXPECT_EQ(platform::AppPathLookup("POSTELA.EXE"), "/opt/postela/bin/postela");
    EXPECT_EQ(platform::AppPathLookup("other.exe"), "/usr/bin/with blank");
    EXPECT_EQ(platform::AppPathLookup("missing.exe"), "");
    testutil::ScopedEnv none("LUMETRA_APP_PATHS", (dir / "none").c_str());
    EXPECT_EQ(platform::AppPathLookup("postela.exe"), "");
}

// Mutated stores either load whole or are set aside byte for byte; a sound
// store written back after loading reads the same again.
TEST_F(RegistryStore, MutatedStoresLoadOrAreSetAside)
{
    {
        Registry r(f);
        r.WriteString("Signature", "str", "a=b\\[c]\x95\x5c");
        r.WriteInt("Signature", "nSelect", -3);
        const std::uint8_t bytes[] = {0, 1, 0xfe, 0xff};
        r.WriteBinary("MainWindow", "bin", bytes, sizeof bytes);
    }
    const std::string good = ReadFile(f);
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::string bad = good;
        for (int k = 1 + static_cast<int>(rng() % 3); k > 0; --k) {
            const std::size_t at = rng() % bad.size();
            switch (rng() % 3) {
            case 0: bad[at] = static_cast<char>(rng() % 256); break;
            case 1: bad.erase(at, 1 + rng() % 4); break;
            default: bad.insert(at, 1, "=:\\[]\nx0"[rng() % 8]); break;
            }
            if (bad.empty())
                bad = "x";
        }
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            std::filesystem::remove(e.path());
        WriteFile(f, bad);
        Registry r(f);
        if (r.LoadError().empty()) {
            ASSERT_TRUE(r.WriteInt("Check", "round", round));
            Registry again(f);
            EXPECT_EQ(again.LoadError(), "") << round;
            EXPECT_EQ(again.GetInt("Check", "round", -1), round);
        } else {
            EXPECT_EQ(ReadFile(dir / "registry.damaged-1"), bad) << round;
        }
    }
}

} // namespace
