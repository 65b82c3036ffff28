// The start of a session against scripted servers: what is refused rather
// than sent in the clear, MODE READER, the login and its place in the log,
// and TLS peers that stall, talk garbage or drop.
#include "NetTest.h"

#include "net/NntpReply.h"
#include "platform/WinsockError.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

using namespace net;

namespace {

struct Row {
    const char* name;
    FakeServer::Script script;
    SecuritySettings settings;
    int result;
    SessionFailure failure;
    const char* commands; // what the server read, in order
};

SecuritySettings Settings(Security s, const char* user = "", bool plain = false)
{
    SecuritySettings r;
    r.security = s;
    r.user = user;
    r.allowPlainPassword = plain;
    return r;
}

const char* const kCaps = "101 caps\r\nVERSION 2\r\nREADER\r\n";

TEST_F(NetTest, SessionStartRefusesTheClearAndFollowsTheServer)
{
    const Row rows[] = {
        {"starttls not offered",
         [](FakePeer& p) { p.Send("200 hi\r\n"), p.Reply(std::string(kCaps) + ".\r\n"), p.ReadToEnd(); },
         Settings(Security::StartTls, "u"), 0, SessionFailure::NoStartTls, "CAPABILITIES\r\n"},
        {"starttls refused",
         [](FakePeer& p) {
             p.Send("200 hi\r\n"), p.Reply(std::string(kCaps) + "STARTTLS\r\n.\r\n");
             p.Reply("580 no tls today\r\n"), p.ReadToEnd();
         },
         Settings(Security::StartTls, "u", true), 0, SessionFailure::NoStartTls, "CAPABILITIES\r\nSTARTTLS\r\n"},
        {"no password in the clear",
         [](FakePeer& p) { p.Greet("200 hi\r\n"), p.ReadToEnd(); },
         Settings(Security::None, "u"), 0, SessionFailure::PlainPassword, "CAPABILITIES\r\n"},
        {"plain password allowed, mode reader offered",
         [](FakePeer& p) {
             p.Send("201 transit\r\n"), p.Reply("101 caps\r\nMODE-READER\r\n.\r\n");
             p.Reply("200 reader\r\n"), p.Reply("101 caps\r\nREADER\r\n.\r\n");
             p.Reply("381 more\r\n"), p.Reply("281 ok\r\n"), p.ReadToEnd();
         },
         Settings(Security::None, "u s\r\ner", true), 1, SessionFailure::None,
         "CAPABILITIES\r\nMODE READER\r\nCAPABILITIES\r\nAUTHINFO USER u s  er\r\nAUTHINFO PASS pw\r\n"},
        {"transit server found by its refusal",
         [](FakePeer& p) {
             p.Greet("200 hi\r\n"), p.Reply("502 reader commands need MODE READER\r\n");
             p.Reply("200 reader\r\n"), p.Reply("211 3 1 3 a.b\r\n"), p.ReadToEnd();
         },
         Settings(Security::None), 1, SessionFailure::None, "CAPABILITIES\r\nGROUP a.b\r\nMODE READER\r\nGROUP a.b\r\n"},
        {"login asked by 480",
         [](FakePeer& p) {
             p.Greet("200 hi\r\n"), p.Reply("480 who are you\r\n"), p.Reply("381 more\r\n");
             p.Reply("281 ok\r\n"), p.Reply("211 3 1 3 a.b\r\n"), p.ReadToEnd();
         },
         Settings(Security::None, "", true), 1, SessionFailure::None,
         "CAPABILITIES\r\nGROUP a.b\r\nAUTHINFO USER u\r\nAUTHINFO PASS pw\r\nGROUP a.b\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        log.clear();
        FakeServer server(r.script);
        CNntp nntp;
        Use(nntp);
        nntp.Attach(server.TakeClient());
        nntp.SetServer("news.example", 119);
        nntp.SetSecurity(r.settings);
        nntp.SetLoginHandler([](const LoginRequest& request, std::string& user, std::string& password) {
            user = request.user.empty() ? "u" : request.user;
            password = "pw";
            return true;
        });
        std::vector<SessionFailure> reported;
        nntp.SetFailureHandler([&](SessionFailure f, const std::string&) { reported.push_back(f); });
        EXPECT_EQ(nntp.StartSession(true), r.result);
        EXPECT_EQ(nntp.LastFailure(), r.failure);
        EXPECT_EQ(reported.size(), r.failure == SessionFailure::None ? 0u : 1u);
        std::string reply;
        int count = 0, first = 0, last = 0;
        if (r.result && std::string_view(r.commands).find("GROUP") != std::string_view::npos) {
            EXPECT_EQ(nntp.Group("a.b", reply, count, first, last), 1);
        }
        nntp.MarkBroken();
        server.Join();
        std::string received = server.received();
        EXPECT_EQ(received, r.commands);
        if (received.find("AUTHINFO PASS") != std::string::npos) {
            EXPECT_TRUE(Logged("NNTP: >> AUTHINFO PASS ****\r\n"));
        }
        for (const std::string& l : log)
            EXPECT_EQ(l.find("PASS pw"), std::string::npos) << l;
    }
}

// A TLS server on the peer's socket with a throw-away self-signed key: it
// greets, reads one command, then sends the start of a record and closes.
void GreetThenDropInsideARecord(FakePeer& p)
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_pubkey(cert, key);
    X509_gmtime_adj(X509_getm_notBefore(cert), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("news.example"), -1, -1, 0);
    X509_set_issuer_name(cert, X509_get_subject_name(cert));
    X509_sign(cert, key, EVP_sha256());
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx, cert);
    SSL_CTX_use_PrivateKey(ctx, key);
    SSL* ssl = SSL_new(ctx);
    SSL_set_fd(ssl, p.Fd());
    char command[64];
    if (SSL_accept(ssl) == 1 && SSL_write(ssl, "200 hi\r\n", 8) == 8 && SSL_read(ssl, command, sizeof command) > 0)
        p.Send(std::string("\x17\x03\x03\x04\x00partial", 12));
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    X509_free(cert);
    EVP_PKEY_free(key);
}

// TLS peers that stall, answer with garbage or drop in the middle of a
// record fail within the wait; nothing is sent in the clear.
TEST_F(NetTest, HostileTlsPeersFailWithinTheWait)
{
    ShortWait();
    const FakeServer::Script scripts[] = {
        [](FakePeer& p) { p.ReadToEnd(); },
        [](FakePeer& p) { p.Send("200 not tls at all\r\n"), p.ReadToEnd(); },
        [](FakePeer& p) { p.Send(std::string("\x16\x03\x03\x40\x00\x02\x00", 7)), p.Close(); },
        GreetThenDropInsideARecord,
        [](FakePeer& p) { p.ReadToEnd(); }, // stalls until Cancel
    };
    const SessionFailure failures[] = {SessionFailure::Tls, SessionFailure::Tls, SessionFailure::Tls,
                                       SessionFailure::Connection, SessionFailure::Tls};
    int row = 0;
    for (const auto& script : scripts) {
        if (row == 4)
            timeouts.waitSec = 3600;
        FakeServer server(script);
        CNntp nntp;
        Use(nntp);
        nntp.Attach(server.TakeClient());
        nntp.SetServer("news.example", kNntpsPort);
        nntp.SetSecurity(Settings(Security::Tls, "u", false));
        nntp.SetTrustHandler([](const CertificateInfo& info) { return info.problem == CertificateProblem::SelfSigned; });
        int pumps = 0;
        if (row == 4)
            nntp.SetPump([&pumps] { ++pumps == 3 ? CancelBlockingCall() : void(); });
        EXPECT_EQ(nntp.StartSession(true), 0);
        EXPECT_EQ(nntp.LastFailure(), failures[row++]);
        EXPECT_FALSE(nntp.IsConnected());
        if (row == 5) {
            EXPECT_EQ(nntp.Tcp().LastError(), platform::WSAEINTR);
        }
        server.Join();
        EXPECT_EQ(server.received().find("AUTHINFO"), std::string::npos);
    }
}

} // namespace
