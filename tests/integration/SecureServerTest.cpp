// The document over TLS and with a login, against the INN of
// scripts/inn-server.sh: the certificates it must question, the login at the
// start and on a 480, posting the same way, and the password kept out of the
// log and of every file written.
#include "ServerSupport.h"

#include "net/Log.h"
#include "news/LumeDoc.h"
#include "news/PostArticle.h"
#include "platform/Registry.h"
#include "platform/WinsockError.h"

using namespace news;
using net::CertificateProblem;
using net::Security;
using newstest::ScriptedHost;
using testutil::ReadFile;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "lumetra-secret";

struct SecureServer : ::testing::Test {
    fs::path innDir;
    int plainPort = 0, tlsPort = 0;
    testutil::ScratchDir dir;
    ScriptedHost host;
    std::unique_ptr<platform::Registry> registry;
    std::string log;  // before doc: its QUIT on destruction still logs
    std::optional<testutil::CertificateLock> certificate; // before doc: held until it has quit
    std::unique_ptr<CLumeDoc> doc;

    void SetUp() override
    {
        const char* d = std::getenv("LUMETRA_TEST_NNTP_DIR");
        const auto server = inttest::TestServer();
        if (!server || !d || !fs::exists(fs::path(d) / "tls-port"))
            GTEST_SKIP() << NO_SERVER_MESSAGE << " (and LUMETRA_TEST_NNTP_DIR)";
        innDir = d;
        certificate.emplace(innDir, true);
        plainPort = server->port;
        tlsPort = std::stoi(ReadFile(innDir / "tls-port"));
        registry = std::make_unique<platform::Registry>(dir / "registry");
        doc = std::make_unique<CLumeDoc>(&host, *registry);
        doc->Nntp().Tcp().SetCaFile((innDir / "tls" / "ca.pem").string());
        doc->Log().SetSink([this](std::string_view l) { log += l; });
        // Any name reaches the IPv4 loopback the TLS reader listens on.
        host.connect = [](const std::string&, int port) { return ScriptedHost::PlainConnect("127.0.0.1", port); };
    }
    void TearDown() override
    {
        if (!innDir.empty())
            Serve("good");
    }
    void Serve(const std::string& cert)
    {
        ASSERT_TRUE(testutil::RunShell("bash " LUMETRA_SOURCE_DIR "/scripts/inn-server.sh cert " +
                                       testutil::Quote(innDir) + " " + cert));
    }
    // Goes online afresh, the host's records emptied and its answers given.
    bool Online(const std::string& name, Security security, const std::string& user = "",
                std::deque<std::pair<std::string, std::string>> logins = {}, bool trust = false)
    {
        doc->GoOffline();
        LumeConfig& c = doc->Config();
        c.strNntpServer = name;
        c.nSecurity = static_cast<int>(security);
        c.nNntpPort = security == Security::Tls ? tlsPort : plainPort;
        c.strUserName = user;
        host = ScriptedHost();
        host.connect = [](const std::string&, int port) { return ScriptedHost::PlainConnect("127.0.0.1", port); };
        host.logins = std::move(logins);
        host.trustCertificates = trust;
        return doc->GoOnline({});
    }
};

// What is questioned, what the user's trust keeps, and a changed certificate
// questioned again. One test: the rows share the server's certificate.
TEST_F(SecureServer, CertificatesAreCheckedAndPinned)
{
    struct Row {
        const char* cert;
        const char* name;
        Security security;
        bool trust;
        bool online;
        CertificateProblem asked; // None: not asked
    };
    const Row rows[] = {
        {"good", "localhost", Security::Tls, false, true, CertificateProblem::None},
        {"good", "localhost", Security::StartTls, false, true, CertificateProblem::None},
        {"good", "127.0.0.1", Security::Tls, false, false, CertificateProblem::WrongHost},
        {"expired", "localhost", Security::StartTls, false, false, CertificateProblem::Expired},
        {"unknown", "localhost", Security::Tls, false, false, CertificateProblem::UnknownIssuer},
        {"self", "localhost", Security::StartTls, true, true, CertificateProblem::SelfSigned},
        {"self", "localhost", Security::Tls, false, true, CertificateProblem::None}, // pinned
        {"other", "localhost", Security::Tls, false, true, CertificateProblem::None}, // a good one needs no pin
        {"unknown", "localhost", Security::Tls, false, false, CertificateProblem::UnknownIssuer}, // changed
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.cert) + " " + r.name + " " + std::to_string(static_cast<int>(r.security)));
        Serve(r.cert);
        doc->SetModifiedFlag(false);
        const std::string pinned = doc->Config().strTrustedCertificate;
        EXPECT_EQ(Online(r.name, r.security, "", {}, r.trust), r.online);
        EXPECT_EQ(doc->IsConnected(), r.online);
        ASSERT_EQ(host.certificates.size(), r.asked == CertificateProblem::None ? 0u : 1u);
        if (r.online)
            EXPECT_NE(doc->Groups().Find("local.test"), nullptr);
        else
            EXPECT_EQ(host.StopIds(), std::vector<unsigned>{platform::IDS_61331});
        if (host.certificates.empty())
            continue;
        const net::CertificateInfo& info = host.certificates[0];
        EXPECT_EQ(info.problem, r.asked);
        // The fingerprint is the one openssl gives for the file.
        const std::string peer = testutil::Shell("openssl x509 -noout -fingerprint -sha256 -in " +
                                                 testutil::Quote(innDir / "tls" / (std::string(r.cert) + ".pem")));
        EXPECT_NE(peer.find("=" + info.sha256), std::string::npos) << peer;
        EXPECT_EQ(doc->Config().strTrustedCertificate, r.trust ? info.sha256 : pinned);
        EXPECT_EQ(doc->IsModified(), r.trust);
    }
}

// The port of the other kind of connection: the failure says which setting
// fits, in front of the usual text, within the configured wait; Cancel in
// the session start's window ends the wait at once, with nothing to say.
TEST_F(SecureServer, WrongPortSaysWhichSettingFits)
{
    struct Row {
        Security security;
        bool tlsPort;
        unsigned reason; // 0: online
        const char* designText;
    };
    const Row rows[] = {
        {Security::None, true, platform::IDS_61350, "Connect Error!! 10060:"},
        {Security::StartTls, true, platform::IDS_61350, "Connect Error!! 10060:"},
        {Security::Tls, false, platform::IDS_61351, "wrong version number"},
        {Security::None, false, 0, ""},
        {Security::Tls, true, 0, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(r.security)) + (r.tlsPort ? " on the TLS port" : " on the plain port"));
        doc->GoOffline();
        LumeConfig& c = doc->Config();
        c.strNntpServer = "localhost";
        c.nSecurity = static_cast<int>(r.security);
        c.nNntpPort = r.tlsPort ? tlsPort : plainPort;
        c.nTcpWaitSec = 2;
        c.nTcpRetryCount = 1;
        doc->ApplyTransportSettings();
        host = ScriptedHost();
        host.connect = [](const std::string&, int port) { return ScriptedHost::PlainConnect("127.0.0.1", port); };
        EXPECT_EQ(doc->GoOnline({}), r.reason == 0);
        ASSERT_FALSE(host.progress.empty());
        EXPECT_EQ(host.progress[0]->caption, platform::IDS_61352);
        EXPECT_TRUE(host.texts.empty());
        if (r.reason == 0) {
            EXPECT_TRUE(host.messages.empty());
            continue;
        }
        ASSERT_EQ(host.StopIds(), std::vector<unsigned>{r.reason});
        ASSERT_EQ(host.messages[0].args.size(), 1u);
        EXPECT_NE(host.messages[0].args[0].find(r.designText), std::string::npos) << host.messages[0].args[0];
    }

    // A silent server and a long wait: Cancel ends it.
    doc->GoOffline();
    doc->Config().nSecurity = static_cast<int>(Security::StartTls);
    doc->Config().nNntpPort = tlsPort;
    doc->Config().nTcpWaitSec = 600;
    doc->ApplyTransportSettings();
    host = ScriptedHost();
    host.connect = [](const std::string&, int port) { return ScriptedHost::PlainConnect("127.0.0.1", port); };
    host.onPump = [this](int pumps) {
        if (pumps == 20 && !host.progress.empty())
            host.progress.back()->cancel = true;
    };
    EXPECT_FALSE(doc->GoOnline({}));
    EXPECT_EQ(doc->Nntp().Tcp().LastError(), platform::WSAEINTR);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.texts.empty());
    EXPECT_TRUE(host.progress[0]->closed);
    // The waits are the transport's for the whole run: back to the defaults.
    doc->Config().nTcpWaitSec = LumeConfig().nTcpWaitSec;
    doc->Config().nTcpRetryCount = LumeConfig().nTcpRetryCount;
    doc->ApplyTransportSettings();
}

// A login right, wrong then given up, and one asked for by the 480 that
// opening a protected group gets; the password never reaches the log or a
// file Lumetra writes.
TEST_F(SecureServer, LoginAtStartAndOnDemand)
{
    ASSERT_TRUE(Online("localhost", Security::Tls)); // no user: no login
    EXPECT_TRUE(host.loginRequests.empty());

    ASSERT_TRUE(Online("localhost", Security::Tls, "tester", {{"tester", kPassword}}));
    EXPECT_TRUE(doc->Nntp().LoggedIn());
    EXPECT_NE(doc->Groups().Find("local.secret"), nullptr); // listed only after the login

    EXPECT_FALSE(Online("localhost", Security::StartTls, "tester", {{"tester", "wrong"}, {"tester", "wrong again"}}));
    ASSERT_EQ(host.loginRequests.size(), 3u);
    EXPECT_EQ(host.loginRequests[0].user, "tester");
    EXPECT_FALSE(host.loginRequests[0].failedBefore);
    EXPECT_TRUE(host.loginRequests[1].failedBefore && host.loginRequests[1].serverReply.starts_with("481"));
    EXPECT_EQ(host.StopIds(), std::vector<unsigned>{platform::IDS_61334});
    EXPECT_FALSE(doc->IsConnected());

    // No user configured: the group's 480 asks, and GROUP is sent again.
    ASSERT_TRUE(Online("localhost", Security::Tls));
    host.logins = {{"tester", kPassword}};
    CNewsGroup* secret = doc->Groups().Find("local.secret"); // kept from the logged-in session
    ASSERT_NE(secret, nullptr);
    doc->SetCurrentGroup(secret);
    EXPECT_TRUE(doc->OpenCurrentGroup());
    EXPECT_EQ(host.loginRequests.size(), 1u);
    EXPECT_TRUE(host.StopIds().empty());
    EXPECT_TRUE(doc->Nntp().LoggedIn());

    // Posting logs in the same way, through the document's own questions.
    doc->Config().strMailAddress = "tester@example.invalid";
    doc->Config().strUserName = "tester";
    doc->OnCommand(platform::cmd::NewArticle);
    ASSERT_EQ(host.postParams.size(), 1u);
    PostForm form;
    form.newsgroups = "local.secret";
    form.subject = "secure " + inttest::Tag();
    form.body = "body\r\n";
    host.logins = {{"tester", kPassword}};
    PostHooks hooks;
    hooks.caFile = (innDir / "tls" / "ca.pem").string();
    const PostOutcome posted = PostArticle(form, host.postParams[0], hooks);
    EXPECT_TRUE(posted.posted) << posted.serverReply;

    ASSERT_TRUE(doc->OnSaveDocument(dir / "secure.lum"));
    EXPECT_NE(log.find(">> AUTHINFO PASS ****"), std::string::npos);
    EXPECT_EQ(log.find(kPassword), std::string::npos);
    for (const auto& f : fs::recursive_directory_iterator(dir.path()))
        if (f.is_regular_file()) {
            EXPECT_EQ(ReadFile(f.path()).find(kPassword), std::string::npos) << f.path();
        }
    EXPECT_NE(ReadFile(dir / "secure.lum").find("strUserName=tester\r\n"), std::string::npos);
}

} // namespace
