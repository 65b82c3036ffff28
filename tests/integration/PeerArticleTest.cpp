// Articles posted by tin and slrn themselves (their own encoded words and
// folds, follow-ups with References), read as the body pane shows them and
// compared with Python's email package.
#include "ServerSupport.h"
#include "message/HeaderFields.h"
#include "textcodec/Charsets.h"

namespace {

// The characters the body pane shows: Windows forms where the JIS and the
// Windows tables differ (〜 as ～, — as ―).
std::string Shown(const std::string& utf8) { return textcodec::SjisToUtf8(textcodec::Utf8ToSjis(utf8)); }

std::string Unescaped(std::string s)
{
    for (std::size_t at = 0; (at = s.find("\\n", at)) != std::string::npos;)
        s.replace(at, 2, "\n"), ++at;
    return s;
}

class PeerArticle : public ::testing::TestWithParam<const char*> {};

TEST_P(PeerArticle, ReadAsPythonReadsIt)
{
    REQUIRE_SERVER();
    const std::string reader = GetParam();
    REQUIRE_PEER(reader);
    const std::string tag = inttest::Tag();
    // Each follow-up answers the article before it, so References grows.
    const struct {
        std::string subject; // empty: the reader's own "Re:"
        std::string body;
        bool followUp;
    } rows[] = {
        {"日本語の件名は長いと折り返されます " + tag + " 波〜ダッシュ— 終わり", "本文の一行目\n二行目 です", false},
        {"", "返信です。", true},
        {"件名を変えた返信 " + tag, "もう一度 返信", true},
    };
    testutil::ScratchDir dir;
    const std::string port = std::to_string(server->port);
    std::string parent, references;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body);
        std::vector<std::string> args = {"post", reader, server->host, port, "local.test", row.subject, row.body};
        if (row.followUp)
            args.push_back(parent);
        std::string id = inttest::PeerReaders(args);
        ASSERT_TRUE(id.starts_with("<") && id.ends_with(">\n")) << id;
        id.pop_back();
        const auto file = dir / "article";
        auto python = inttest::ReadBack(*server, id, file);
        EXPECT_EQ(python["error"] + python["defects"], "0");
        const std::string raw = testutil::ReadFile(file);
        const std::string shown =
            testutil::Shell(LUMETRA_BINARY_DIR "/tools/lumetra-tool render --message " + testutil::Quote(file));
        references += (references.empty() ? "" : " ") + parent;
        EXPECT_EQ(python["references"], row.followUp ? references : "");
        EXPECT_EQ(message::GetHeaderField(raw.substr(0, raw.find("\r\n\r\n") + 2), "References", false),
                  python["references"]);
        if (!row.subject.empty()) {
            EXPECT_EQ(python["subject"], row.subject);
        }
        // The long subject reaches the reader folded, as the peers send it.
        const std::size_t end = raw.find("\r\n", raw.find("\r\nSubject:") + 2);
        if (!row.followUp) {
            EXPECT_TRUE(raw[end + 2] == ' ' || raw[end + 2] == '\t') << raw;
        }
        EXPECT_NE(shown.find("\nSubject: " + Shown(python["subject"]) + "\n"), std::string::npos) << shown;
        // Python keeps the blank between an encoded display name's words
        // as well as the one encoded inside them.
        EXPECT_NE(inttest::Squeezed(shown).find("From:" + inttest::Squeezed(python["from"])), std::string::npos)
            << shown;
        EXPECT_NE(shown.find("\n\n" + Shown(Unescaped(python["body"]))), std::string::npos) << shown;
        EXPECT_NE(Unescaped(python["body"]).find(row.body), std::string::npos);
        parent = id;
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerArticle, ::testing::Values("tin", "slrn"));

} // namespace
