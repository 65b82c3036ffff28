// COMPRESS DEFLATE against INN, in the clear, after STARTTLS and under
// implicit TLS: what arrives compressed, one command at a time or sent
// ahead, is byte for byte what arrives plain.
#include "ServerSupport.h"

#include "net/Log.h"
#include "net/Nntp.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace net;

namespace {

// Posts an article long enough to need many reads, over a raw connection.
bool PostLong(const inttest::Server& s, const std::string& tag)
{
    const int fd = newstest::ScriptedHost::PlainConnect(s.host, s.port);
    if (fd < 0)
        return false;
    auto line = [fd] {
        std::string l;
        for (char c = 0; c != '\n' && ::recv(fd, &c, 1, 0) == 1;)
            l += c;
        return l;
    };
    auto send = [fd](const std::string& text) { return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) > 0; };
    std::string body;
    for (int n = 0; n < 6000; ++n)
        body += "line " + std::to_string(n * 7919 % 100003) + " \x1b$BF|K\\8l\x1b(B " + std::to_string(n) + "\r\n";
    bool ok = line().starts_with("200") && send("POST\r\n") && line().starts_with("340") &&
              send("From: tester@example.invalid\r\nNewsgroups: local.test\r\nSubject: " + tag +
                   "\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" + body + ".\r\n") &&
              line().starts_with("240");
    send("QUIT\r\n");
    ::close(fd);
    return ok;
}

} // namespace

TEST(CompressServer, SameArticleCompressedInTheClearAndUnderTls)
{
    REQUIRE_SERVER();
    const char* d = std::getenv("LUMETRA_TEST_NNTP_DIR");
    if (!d || !fs::exists(fs::path(d) / "tls-port"))
        GTEST_SKIP() << NO_SERVER_MESSAGE << " (and LUMETRA_TEST_NNTP_DIR)";
    const int tlsPort = std::stoi(testutil::ReadFile(fs::path(d) / "tls-port"));
    const testutil::CertificateLock certificate(d, false);
    const std::string tag = "compress-" + inttest::Tag();
    ASSERT_TRUE(PostLong(*server, tag));
    inttest::Poster poster(*server);
    const auto [first, last] = poster.Range("local.test");
    const auto found = poster.Find("local.test", first, last, tag);
    ASSERT_EQ(found.size(), 1u);

    std::string log;
    ProtocolLog protocolLog;
    protocolLog.SetSink([&log](std::string_view l) { log += l; });
    struct Row {
        const char* name;
        Security security;
        bool compress;
        const char* user;
        bool compressed;
    } rows[] = {
        {"clear, switched off", Security::None, false, "tester", false},
        {"clear", Security::None, true, "tester", true},
        {"clear, not logged in", Security::None, true, "", false},
        {"starttls", Security::StartTls, true, "tester", true},
        {"implicit tls", Security::Tls, true, "tester", true},
    };
    std::string plain;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        log.clear();
        const int port = r.security == Security::Tls ? tlsPort : server->port;
        CNntp nntp;
        nntp.SetLog(&protocolLog);
        nntp.Attach(newstest::ScriptedHost::PlainConnect("127.0.0.1", port));
        nntp.SetServer("localhost", port);
        nntp.Tcp().SetCaFile((fs::path(d) / "tls" / "ca.pem").string());
        // INN offers AUTHINFO and refuses it once compressing: only a session
        // that logged in first compresses.
        SecuritySettings s;
        s.security = r.security;
        s.compress = r.compress;
        s.user = r.user;
        s.allowPlainPassword = true;
        nntp.SetSecurity(s);
        nntp.SetLoginHandler([](const LoginRequest&, std::string& user, std::string& password) {
            user = "tester";
            password = "lumetra-secret";
            return true;
        });
        ASSERT_EQ(nntp.StartSession(true), 1) << log;
        EXPECT_EQ(nntp.Tcp().IsCompressed(), r.compressed) << log;
        EXPECT_EQ(nntp.Tcp().IsSecure(), r.security != Security::None);
        std::string reply, text;
        int count = 0, lo = 0, hi = 0, code = 0;
        ASSERT_EQ(nntp.Group("local.test", reply, count, lo, hi), 1);
        // Several commands in a row, so both directions stay in step.
        for (int round = 0; round < 3; ++round) {
            text.clear();
            ASSERT_EQ(nntp.Article(found[0], code), 1);
            ASSERT_TRUE(nntp.ReadData(text));
        }
        EXPECT_GT(text.size(), 150000u);
        // Every header of the group with commands sent ahead: deflated
        // commands the socket has not taken must move while replies are awaited.
        std::size_t next = lo;
        while (next <= static_cast<std::size_t>(hi) || nntp.CommandsAhead() > 0) {
            while (next <= static_cast<std::size_t>(hi) && nntp.RoomAhead(64))
                ASSERT_TRUE(nntp.SendAhead("HEAD " + std::to_string(next++)));
            ASSERT_EQ(nntp.ReadAhead(true), CNntp::Ahead::Reply);
            text += nntp.LastReply();
            if (nntp.ReplyCode() == 221) {
                ASSERT_TRUE(nntp.ReadData(text));
            }
        }
        if (plain.empty())
            plain = text;
        EXPECT_TRUE(text == plain);
        nntp.Quit();
    }
}
