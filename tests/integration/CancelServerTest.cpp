// Taking back what one posted, against INN (2.7, built with libcanlock, so it
// checks a cancel's Cancel-Key against the article's Cancel-Lock): the
// article is gone after a cancel with the right key, replaced after a
// supersede, and kept when the key is wrong. Our lock and key are checked
// against Python's hmac and Debian's canlock.
#include "ServerSupport.h"
#include "message/HeaderFields.h"
#include "net/PostText.h"
#include "support/TestFiles.h"
#include "tools/ToolCommands.h"

#include <cstdlib>
#include <sstream>

namespace {

struct ToolRun {
    int rc;
    std::string out, err;
};

ToolRun Tool(const inttest::Server& s, const std::string& secret, std::vector<std::string> args, const std::string& body)
{
    ::setenv("LUMETRA_CANCEL_SECRET", secret.c_str(), 1);
    args.insert(args.end(), {"--server", s.host, "--port", std::to_string(s.port), "--group", "local.test", "--from",
                             "taro@example.invalid"});
    std::istringstream in(body);
    std::ostringstream out, err;
    const int rc = tools::PostCommand(args, in, out, err);
    ::unsetenv("LUMETRA_CANCEL_SECRET");
    return {rc, out.str(), err.str()};
}

// The article by Message-ID as INN serves it, or "" after a 430.
std::string Article(const inttest::Server& s, const std::string& id)
{
    const std::string out = testutil::Shell("python3 " LUMETRA_SOURCE_DIR "/tests/integration/read_back.py " + s.host +
                                            " " + std::to_string(s.port) + " '" + id + "' 2>&1");
    return out == "no such article\n" ? "" : out;
}

std::string Head(const inttest::Server& s, const std::string& id)
{
    return testutil::Shell("printf 'HEAD %s\\r\\nQUIT\\r\\n' '" + id + "' | nc -q 2 " + s.host + " " +
                           std::to_string(s.port));
}

std::string PostedId(const ToolRun& run)
{
    return run.out.starts_with("posted <") ? run.out.substr(7, run.out.find('>') - 6) : "";
}

TEST(CancelOnServer, CancelAndSupersedeOnlyWithTheRightKey)
{
    REQUIRE_SERVER();
    const struct {
        const char* what;
        bool supersede;
        const char* keySecret; // the secret the cancel or supersede is sent with
        bool taken;            // the old article is gone afterwards
    } rows[] = {
        {"cancel, right key", false, "own-secret", true},
        {"cancel, wrong key", false, "someone-else", false},
        {"supersede, right key", true, "own-secret", true},
        {"supersede, wrong key", true, "someone-else", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string tag = inttest::Tag();
        const ToolRun posted = Tool(*server, "own-secret", {"--subject", "original " + tag}, "old text\n");
        ASSERT_EQ(posted.rc, 0) << posted.err;
        const std::string id = PostedId(posted);
        ASSERT_FALSE(id.empty()) << posted.out;
        ASSERT_NE(Article(*server, id), "");

        // The lock INN keeps is RFC 8315's, computed here without our code.
        const std::string head = Head(*server, id);
        const std::string lock = message::GetHeaderField(head.substr(head.find('\n') + 1), "Cancel-Lock", false);
        const std::string python = testutil::Shell(
            "python3 -c 'import base64,hashlib,hmac,sys; k=base64.b64encode(hmac.new(b\"own-secret\", sys.argv[1].encode(), "
            "hashlib.sha256).digest()); print(\"sha256:\"+base64.b64encode(hashlib.sha256(k).digest()).decode())' '" +
            id + "'");
        EXPECT_EQ(lock + "\n", python);

        const ToolRun taken = row.supersede
                                  ? Tool(*server, row.keySecret, {"--supersede", id, "--subject", "new " + tag}, "new text\n")
                                  : Tool(*server, row.keySecret, {"--cancel", id}, "");
        ASSERT_EQ(taken.rc, 0) << taken.err;
        // INN acts on control articles as they arrive; give it a moment.
        for (int i = 0; i < 20 && Article(*server, id).empty() != row.taken; ++i)
            testutil::Shell("sleep 0.1");
        EXPECT_EQ(Article(*server, id).empty(), row.taken);
        if (row.supersede) {
            const std::string replacement = Head(*server, PostedId(taken));
            EXPECT_NE(replacement.find("\nSupersedes: " + id + "\r\n"), std::string::npos) << replacement;
        }
    }
}

// Our Cancel-Key opens our Cancel-Lock as Debian's canlock sees it, and the
// key for another id or secret does not.
TEST(CancelLock, CanlockToolAgrees)
{
    if (testutil::Shell("command -v canlock").empty())
        GTEST_SKIP() << "canlock is not installed";
    const struct {
        const char* keySecret;
        const char* keyId;
        const char* verdict;
    } rows[] = {
        {"s3cret", "<a@example.invalid>", "Good"},
        {"s3cret", "<b@example.invalid>", "Mismatch"},
        {"other", "<a@example.invalid>", "Mismatch"},
    };
    const std::string lock = net::CancelLock("s3cret", "<a@example.invalid>");
    for (const auto& row : rows) {
        const std::string key = net::CancelKey(row.keySecret, row.keyId);
        const std::string out = testutil::Shell("canlock -c '" + key + "," + lock + "' 2>&1");
        EXPECT_NE(out.find(row.verdict), std::string::npos) << row.keySecret << " " << row.keyId << ": " << out;
        EXPECT_EQ(testutil::Shell("printf %s '" + std::string(row.keySecret) + "' | canlock -a sha256 -k '" + row.keyId + "'"),
                  key + "\n");
    }
}

} // namespace
