#include "ScriptedHost.h"

#include "../net/FakeServer.h"

#include "platform/Registry.h"
#include "tools/ToolCommands.h"

#include <gtest/gtest.h>


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
// the terminal, and a list that trickles on forever ends with the time budget.
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
    };
    const std::pair<int, const char*> expected[] = {{0, "1\t--/-- --:--\t?]0;owned? x\t?[2J\n"}, {1, ""}};
    for (int i = 0; i < 2; ++i) {
        ScratchDir dir;
        FakeServer server(scripts[i], true);
        WriteFile(dir / "a.lum", "[config]\r\nstrNntpServer=127.0.0.1\r\nnNntpPort=" + std::to_string(server.port()) +
                                     "\r\nstrMarkFile=news.rc\r\n");
        WriteFile(dir / "news.rc", "a.b: 5\n");
        std::ostringstream out, err;
        platform::Registry registry(dir / "registry");
        EXPECT_EQ(tools::OpenCommand(registry, {"--config", (dir / "a.lum").string(), "--timeout", "1", "--save", "a.b"}, out, err),
                  expected[i].first)
            << err.str();
        EXPECT_EQ(out.str(), expected[i].second);
        if (i == 1) {
            EXPECT_NE(err.str().find("time budget ran out"), std::string::npos);
            EXPECT_EQ(ReadFile(dir / "news.rc"), "a.b: 5\n");
        }
        server.Join();
    }
}
