// news: and nntp: links: how they are read, and what following one does in
// the window and through the installed program, against the test server.

#include "app/LumeApp.h"
#include "app/NewsLink.h"
#include "app/PaneFactory.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"
#include "widgets/CBodyText.h"
#include "ui/CBodyView.h"
#include "ui/MainFrame.h"
#include "ui/RecentFiles.h"

#include "WaitFor.h"
#include "WindowFixture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

extern char** environ;

namespace {

using app::NewsLink;
using Kind = NewsLink::Kind;

struct LinkRow {
    const char* text;
    bool valid;
    Kind kind = Kind::Group;
    const char* host = "";
    int port = 0;
    const char* group = "";
    const char* messageId = "";
    int number = 0;
};

TEST(NewsLinkParse, LinksAndWhatTheyName)
{
    const LinkRow rows[] = {
        {"news:fj.test", true, Kind::Group, "", 0, "fj.test"},
        {"NEWS:fj.test", true, Kind::Group, "", 0, "fj.test"},
        {"news:demo-1@example.jp", true, Kind::MessageId, "", 0, "", "<demo-1@example.jp>"},
        {"news:<demo-1@example.jp>", true, Kind::MessageId, "", 0, "", "<demo-1@example.jp>"},
        {"news:%3Cdemo-1%40example.jp%3E", true, Kind::MessageId, "", 0, "", "<demo-1@example.jp>"},
        {"news://news.example:1119/fj.test", true, Kind::Group, "news.example", 1119, "fj.test"},
        {"news://news.example/demo-1@example.jp", true, Kind::MessageId, "news.example", 0, "", "<demo-1@example.jp>"},
        {"news://[::1]:119/fj.test", true, Kind::Group, "::1", 119, "fj.test"},
        {"nntp://news.example/fj.test/12", true, Kind::Number, "news.example", 0, "fj.test", "", 12},
        {"nntp://news.example/fj.test/12;x=1", true, Kind::Number, "news.example", 0, "fj.test", "", 12},
        {"nntp://news.example/fj.test", true, Kind::Group, "news.example", 0, "fj.test"},
        {"news:fj.test?x#y", true, Kind::Group, "", 0, "fj.test"},
        // Nothing that could end or split the command it goes into.
        {"news:a%0D%0AQUIT@example.jp", false},
        {"news:fj.test%0D%0AQUIT", false},
        {"news:a b@example.jp", false},
        {"news:fj.*", false},
        {"news:", false},
        {"news:%zz", false},
        {"news:%4", false},
        {"news:@example.jp", false},
        {"news:demo@", false},
        {"news:<a@b", false},
        {"nntp:fj.test/1", false},
        {"nntp://news.example/fj.test/0", false},
        {"nntp://news.example/fj.test/-1", false},
        {"nntp://news.example/fj.test/x", false},
        {"nntp://news.example/fj.test/99999999999", false},
        {"news://news.example:99999/fj.test", false},
        {"news://news.example:/fj.test", true, Kind::Group, "news.example", 0, "fj.test"},
        {"news://[::1/fj.test", false},
        {"http://news.example/fj.test", false},
    };
    for (const LinkRow& row : rows) {
        const auto link = app::ParseNewsLink(row.text);
        ASSERT_EQ(link.has_value(), row.valid) << row.text;
        if (!link)
            continue;
        EXPECT_EQ(link->kind, row.kind) << row.text;
        EXPECT_EQ(link->host, row.host) << row.text;
        EXPECT_EQ(link->port, row.port) << row.text;
        EXPECT_EQ(link->group, row.group) << row.text;
        EXPECT_EQ(link->messageId, row.messageId) << row.text;
        EXPECT_EQ(link->number, row.number) << row.text;
    }
    EXPECT_TRUE(app::IsNewsLink("Nntp://x"));
    EXPECT_FALSE(app::IsNewsLink("/home/taro/news:x.lum"));
}

// ---------------------------------------------------------------- in the window

class LinkWindow : public uitest::WindowFixture {
protected:
    void SetUp() override { dialogs_.answer = news::IDNO; }
    void TearDown() override
    {
        if (lume_) {
            Doc().SetModifiedFlag(false);
            lume_->Frame()->close();
            lume_->ExitInstance();
        }
        lume_.reset();
    }
    void Start()
    {
        const auto config = Config(100, "bShowAllGroup=YES\n");
        lume_ = std::make_unique<app::CLumeApp>(*registry_, *document_, dialogs_,
                                                app::MakePanes(*document_, *registry_, dialogs_));
        ASSERT_TRUE(lume_->InitInstance(QString::fromStdString(config.string())));
    }
    QString BodyText() const
    {
        auto* body = dynamic_cast<ui::CBodyView*>(lume_->Frame()->View(ui::CMainFrame::BodyPane));
        return body ? body->Body()->toPlainText() : QString();
    }

    std::unique_ptr<app::CLumeApp> lume_;
};

TEST_F(LinkWindow, EachLinkOpensItsGroupOrArticleOrSaysWhyNot)
{
    SERVER_OR_SKIP();
    const std::string server = std::string(inn_.host) + ":" + inn_.port;
    struct Row {
        std::string link;
        bool opened;
        const char* group;   // the open group afterwards
        QString body;        // shown in the body pane
        QString message;     // the one message box
        bool online;
    };
    const Row rows[] = {
        {"news:fj.test", true, "fj.test", {}, {}, true},
        {"news:demo-3@example.jp", true, nullptr, QStringLiteral("漢字もかなも大丈夫"), {}, true},
        {"nntp://" + server + "/fj.test/3", true, "fj.test", QStringLiteral("漢字もかなも大丈夫"), {}, true},
        {"news:<missing-article@example.jp>", false, nullptr, {},
         QStringLiteral("記事 <missing-article@example.jp> はサーバーにありません"), true},
        {"news:no.such.group", false, nullptr, {}, QStringLiteral("ニュースグループ no.such.group はサーバーにありません"), true},
        {"nntp://elsewhere.example/fj.test/3", false, nullptr, {}, QStringLiteral("開いている設定のサーバー"), false},
        {"news:fj.*", false, nullptr, {}, QStringLiteral("ニュースのリンクとして読めません"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        NewDocument();
        messages.clear();
        Start();
        EXPECT_EQ(lume_->OpenLink(QString::fromStdString(row.link)), row.opened);
        EXPECT_EQ(Doc().IsConnected(), row.online);
        const news::CNewsGroup* group = Doc().GetCurrentGroup();
        EXPECT_EQ(group ? group->m_strName : "", row.group ? row.group : "");
        if (!row.body.isEmpty()) {
            EXPECT_TRUE(BodyText().contains(row.body)) << BodyText().left(200).toStdString();
        }
        ASSERT_EQ(messages.size(), row.message.isEmpty() ? 0 : 1);
        if (!row.message.isEmpty()) {
            EXPECT_TRUE(messages[0].contains(row.message)) << messages[0].toStdString();
        }
        TearDown();
    }
}

TEST_F(LinkWindow, AnArticleByNumberCountsAsRead)
{
    SERVER_OR_SKIP();
    Start();
    const std::string link = "nntp://" + std::string(inn_.host) + ":" + inn_.port + "/fj.test/3";
    ASSERT_TRUE(lume_->OpenLink(QString::fromStdString(link)));
    EXPECT_TRUE(Doc().ReadList().IsRead(3));
}

TEST_F(LinkWindow, ANewsLinkClickedInTheBodyOpensHere)
{
    SERVER_OR_SKIP();
    Start();
    ASSERT_TRUE(lume_->OpenLink(QStringLiteral("news:demo-1@example.jp")));
    auto* body = dynamic_cast<ui::CBodyView*>(lume_->Frame()->View(ui::CMainFrame::BodyPane));
    ASSERT_NE(body, nullptr);
    const std::string link = "news://" + std::string(inn_.host) + ":" + inn_.port + "/fj.test.one";
    emit body->Body()->UrlActivated(QString::fromStdString(link));
    EXPECT_TRUE(WaitFor([&] {
        const news::CNewsGroup* group = Doc().GetCurrentGroup();
        return group && group->m_strName == "fj.test.one";
    }));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

// ---------------------------------------------------------------- the program

// A relay between the program and the server that keeps what the program sent.
class CommandRelay {
public:
    CommandRelay(const char* host, int port)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        target_.sin_family = AF_INET;
        target_.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, host, &target_.sin_addr);
        thread_ = std::thread([this] { Run(); });
    }
    ~CommandRelay()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }
    int Port() const { return port_; }
    std::string Sent() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }
    int Connections() const { return connections_; }

private:
    void Run()
    {
        std::vector<std::pair<int, int>> links; // client, server
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (const auto& [client, server] : links)
                fds.push_back({client, POLLIN, 0}), fds.push_back({server, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 50) <= 0)
                continue;
            const std::size_t polled = links.size(); // a link accepted now has no poll entry yet
            if (fds[0].revents & POLLIN) {
                const int client = ::accept(listener_, nullptr, nullptr);
                const int server = ::socket(AF_INET, SOCK_STREAM, 0);
                if (::connect(server, reinterpret_cast<const sockaddr*>(&target_), sizeof target_) == 0) {
                    links.emplace_back(client, server);
                    ++connections_;
                } else {
                    ::close(client), ::close(server);
                }
            }
            std::vector<std::pair<int, int>> open;
            for (std::size_t i = 0; i < links.size(); ++i) {
                bool closed = false;
                for (int side = 0; side < 2 && !closed && i < polled; ++side) {
                    if (!(fds[1 + 2 * i + side].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                    const int from = side == 0 ? links[i].first : links[i].second;
                    const int to = side == 0 ? links[i].second : links[i].first;
                    char buffer[65536];
                    const ssize_t n = ::read(from, buffer, sizeof buffer);
                    closed = n <= 0 || ::write(to, buffer, n) != n;
                    if (!closed && side == 0) {
                        std::lock_guard<std::mutex> lock(mutex_);
                        sent_.append(buffer, n);
                    }
                }
                if (closed)
                    ::close(links[i].first), ::close(links[i].second);
                else
                    open.push_back(links[i]);
            }
            links.swap(open);
        }
        for (const auto& [client, server] : links)
            ::close(client), ::close(server);
    }

    int listener_ = -1;
    int port_ = 0;
    sockaddr_in target_{};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::string sent_;
};

class LinkProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(program_.c_str(), X_OK) != 0)
            GTEST_SKIP() << program_ << " not built";
        SERVER_OR_SKIP();
        relay_ = std::make_unique<CommandRelay>(inn_.host, std::atoi(inn_.port));
        ASSERT_NE(relay_->Port(), 0);
        config_ = uitest::WriteConfig(dir_ / "links.lum", "127.0.0.1", std::to_string(relay_->Port()), 100);
        std::filesystem::create_directories(dir_ / "run");
        std::filesystem::create_directories(dir_ / "tmp");
        // The configuration a link uses when none is open: the most recent one.
        platform::Registry registry(dir_ / "config" / "Quorvane" / "Lumetra" / "registry");
        ui::RecentFileList recent;
        recent.Add(config_.string());
        recent.Save(registry);
    }
    void TearDown() override
    {
        for (pid_t pid : running_) {
            ::kill(pid, SIGTERM);
            int status = 0;
            if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30000))
                ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
        }
    }
    // The program with one argument, its stderr into a file of the scratch folder.
    pid_t Launch(const std::string& argument, const std::string& errName)
    {
        const std::string run = (dir_ / "run").string(), tmp = (dir_ / "tmp").string(),
                          config = (dir_ / "config").string();
        testutil::ScopedEnv r("XDG_RUNTIME_DIR", run.c_str()), t("TMPDIR", tmp.c_str()),
            c("XDG_CONFIG_HOME", config.c_str()), d("DISPLAY", nullptr), w("WAYLAND_DISPLAY", nullptr),
            q("QT_QPA_PLATFORM", "offscreen");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        const std::string err = (dir_ / errName).string();
        ::posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string arg = argument;
        std::vector<char*> argv = {program_.data(), arg.data(), nullptr};
        pid_t pid = -1;
        ::posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    pid_t Start(const std::string& argument)
    {
        const pid_t pid = Launch(argument, "stderr-" + std::to_string(started_++));
        if (pid > 0)
            running_.push_back(pid);
        return pid;
    }
    std::string Stderr(int index) const { return testutil::ReadFile(dir_ / ("stderr-" + std::to_string(index))); }
    bool SentSoon(const std::string& command) const
    {
        return WaitFor([&] { return relay_->Sent().find(command + "\r\n") != std::string::npos; }, 60000);
    }
    bool Listening() const
    {
        return WaitFor([&] {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(dir_ / "run", ec))
                if (e.path().filename().string().starts_with("lumetra-") && e.is_socket(ec))
                    return true;
            return false;
        }, 60000);
    }

    std::string program_ = LUMETRA_BINARY_DIR "/src/app/lumetra";
    uitest::TestServer inn_;
    testutil::ScratchDir dir_;
    std::unique_ptr<CommandRelay> relay_;
    std::filesystem::path config_;
    std::vector<pid_t> running_;
    int started_ = 0;
};

TEST_F(LinkProgram, LinksOnTheCommandLineReachTheServer)
{
    struct Row { const char* link; const char* command; const char* complaint; };
    const Row rows[] = {
        {"news:fj.test", "GROUP fj.test", nullptr},
        {"news:demo-2@example.jp", "ARTICLE <demo-2@example.jp>", nullptr},
        {"news:<missing-article@example.jp>", "ARTICLE <missing-article@example.jp>",
         "記事 <missing-article@example.jp> はサーバーにありません"},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        ASSERT_GT(Start(row.link), 0);
        EXPECT_TRUE(SentSoon(row.command)) << relay_->Sent();
        if (row.complaint) {
            EXPECT_TRUE(WaitFor([&] { return Stderr(index).find(row.complaint) != std::string::npos; }, 30000))
                << Stderr(index);
        }
        TearDown();
        running_.clear();
        // Marks left by the signal would be asked about before the next link.
        std::filesystem::remove(dir_ / "news.rc.unsaved");
        if (!row.complaint) {
            EXPECT_EQ(Stderr(index).find("lumetra:"), std::string::npos) << Stderr(index);
        }
        ++index;
    }
}

TEST_F(LinkProgram, ASecondStartHandsItsLinkToTheRunningOne)
{
    ASSERT_GT(Start(config_.string()), 0);
    ASSERT_TRUE(Listening());
    const pid_t second = Launch("news:fj.test.one", "stderr-second");
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return ::waitpid(second, &status, WNOHANG) == second; }, 60000));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(SentSoon("GROUP fj.test.one")) << relay_->Sent();
    // The running one went online for it; the second never connected.
    EXPECT_EQ(relay_->Connections(), 1);
}

} // namespace
