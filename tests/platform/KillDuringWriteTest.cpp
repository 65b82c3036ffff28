// A writer killed at an arbitrary moment must leave either the old or the new
// complete file behind, never a cut or empty one.

#include "platform/ProfileFile.h"
#include "platform/Registry.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRounds = 25;

// Runs writer in a child process in an endless loop and kills it after a
// random pause; check() then inspects what the child left.
template <class Writer, class Check>
void KillRepeatedly(Writer writer, Check check)
{
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pause(0, 40000);
    for (int round = 0; round < kRounds; ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (unsigned i = 0;; ++i)
                writer(i);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        check(round);
        if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure())
            return;
    }
}

TEST(KillDuringWrite, ProfileFileIsOldOrNewNeverCut)
{
    testutil::ScratchDir dir;
    const auto f = dir / "config.lum";
    const std::string a(300000, 'a'), b(200000, 'b');
    // The two complete forms the file may take.
    ASSERT_TRUE(platform::WriteProfileString(f, "config", "nNntpPort", std::string_view("119")));
    ASSERT_TRUE(platform::WriteProfileString(f, "config", "strSignature0", a));
    const std::string withA = testutil::ReadFile(f);
    ASSERT_TRUE(platform::WriteProfileString(f, "config", "strSignature0", b));
    const std::string withB = testutil::ReadFile(f);

    KillRepeatedly(
        [&](unsigned i) { platform::WriteProfileString(f, "config", "strSignature0", i % 2 ? a : b); },
        [&](int round) {
            const std::string now = testutil::ReadFile(f);
            EXPECT_TRUE(now == withA || now == withB) << "round " << round << ": " << now.size() << " bytes";
        });
}

TEST(KillDuringWrite, RegistryIsOldOrNewNeverCut)
{
    testutil::ScratchDir dir;
    const auto f = dir / "registry";
    const std::vector<std::uint8_t> a(150000, 0xA5), b(100000, 0x5A);
    {
        platform::Registry r(f);
        ASSERT_TRUE(r.WriteInt("MainWindow", "nGroupPaneWidth", 80));
        ASSERT_TRUE(r.WriteBinary("Signature", "sign0", a.data(), a.size()));
    }
    KillRepeatedly(
        [&](unsigned i) {
            platform::Registry r(f);
            const auto& v = i % 2 ? a : b;
            r.WriteBinary("Signature", "sign0", v.data(), v.size());
        },
        [&](int round) {
            platform::Registry r(f);
            ASSERT_EQ(r.LoadError(), "") << "round " << round;
            std::vector<std::uint8_t> got;
            const std::size_t n = r.GetBinary("Signature", "sign0", got);
            EXPECT_TRUE(got == a || got == b) << "round " << round << ": " << n << " bytes";
            EXPECT_EQ(r.GetInt("MainWindow", "nGroupPaneWidth", 0), 80);
        });
}

} // namespace
