#include "ScriptedHost.h"

#include "../net/FakeServer.h"

#include "platform/Registry.h"
#include "tools/ToolCommands.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>


using namespace newstest;

TEST(NewsTool, NewsrcAndConfigListings)
{
    ScratchDir dir;
    WriteFile(dir / "news.rc", "a.b: 10-12,1-5,6-9\r\nc.d!\r\nx.y 3,1-2\n");
    WriteFile(dir / "a.lum", "[config]\r\nstrOrganization=\"A B\"\r\n");
    std::ostringstream out, err;
    EXPECT_EQ(tools::NewsrcCommand({(dir / "news.rc").string()}, out, err), 0);
    EXPECT_EQ(out.str(), "a.b\tsubscribed\t6-12,1-5\nc.d\tunsubscribed\t\nx.y\tunsubscribed\t1-3\n");
    EXPECT_EQ(tools::ConfigCommand({(dir / "a.lum").string()}, out, err), 0);
    EXPECT_NE(out.str().find("\nstrOrganization=A B\n"), std::string::npos);
    EXPECT_EQ(tools::NewsrcCommand({(dir / "missing").string()}, out, err), 1);
    EXPECT_EQ(tools::ConfigCommand({dir.path().string()}, out, err), 1);
    EXPECT_EQ(tools::NewsrcCommand({}, out, err), 2);
}

// Against a scripted server: escape sequences in From and Subject never reach
// the terminal, a list that trickles on forever ends with the time budget, and
// a login asked for without a user name says so.
TEST(NewsTool, OpenShowsNoControlCharactersAndHonoursItsTimeBudget)
{
    const std::function<void(FakePeer&)> scripts[] = {
        [](FakePeer& p) {
            p.Greet("200 ready\r\n");
            p.Reply("215 list\r\na.b 1 1 y\r\n.\r\n");
            p.Reply("211 1 1 1 a.b\r\n");
            p.Reply("221 1 <a@b>\r\nFrom: \x1b]0;owned\x07 x\r\nSubject: \x1b[2J\r\n.\r\n");
            p.AnswerQuit();
        },
        [](FakePeer& p) {
            p.Greet("200 ready\r\n");
            p.Reply("215 list\r\n");
            for (int i = 0; i < 50; ++i, FakePeer::Pause(50)) // slow lines past the budget, no end
                p.Send("g" + std::to_string(i) + " 1 1 y\r\n");
        },
        [](FakePeer& p) {
            p.Greet("200 ready\r\n");
            p.Reply("480 who are you\r\n");
            p.AnswerQuit();
        },
    };
    const std::tuple<int, const char*, const char*> expected[] = {
        {0, "1\t--/-- --:--\t?]0;owned? x\t?[2J\n", ""},
        {1, "", "time budget ran out"},
        {1, "", "ユーザ名が設定されていません。\n480 who are you\n(--user NAME)"}};
    // Nobody at a terminal answers the login questions.
    const int terminal = ::dup(STDIN_FILENO), none = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::dup2(none, STDIN_FILENO);
    ::close(none);
    for (int i = 0; i < 3; ++i) {
        ScratchDir dir;
        FakeServer server(scripts[i], true);
        WriteFile(dir / "a.lum", "[config]\r\nstrNntpServer=127.0.0.1\r\nnNntpPort=" + std::to_string(server.port()) +
                                     "\r\nstrMarkFile=news.rc\r\n");
        WriteFile(dir / "news.rc", "a.b: 5\n");
        std::ostringstream out, err;
        platform::Registry registry(dir / "registry");
        const auto& [rc, shown, said] = expected[i];
        EXPECT_EQ(tools::OpenCommand(registry, {"--config", (dir / "a.lum").string(), "--timeout", "1", "--save",
                                                "--allow-plain-password", "a.b"}, out, err), rc)
            << err.str();
        EXPECT_EQ(out.str(), shown);
        EXPECT_NE(err.str().find(said), std::string::npos) << err.str();
        if (rc != 0) {
            EXPECT_EQ(ReadFile(dir / "news.rc"), "a.b: 5\n");
        }
        server.Join();
    }
    ::dup2(terminal, STDIN_FILENO);
    ::close(terminal);
}
