// Articles posted to INN and read back by Python's email package with strict
// decoders: each row reads back exactly as written, or is refused with a
// message before the server is reached.
#include "ServerSupport.h"
#include "news/PostArticle.h"
#include "platform/StringIds.h"
#include "support/TestFiles.h"
#include "textcodec/Charsets.h"

#include <algorithm>
#include <cctype>

using namespace news;
using textcodec::KanjiCode;

namespace {

struct Row {
    const char* what;
    KanjiCode code;
    std::string subject; // UTF-8
    std::string body;    // UTF-8, one line
    std::string attachName;
    int encoding = 0;
    unsigned refusal = 0; // the message when the row is refused
};

std::string Sjis(const std::string& utf8) { return textcodec::Utf8ToSjis(utf8); }

} // namespace

TEST(PostReadBack, EveryRowReadsBackExactlyOrIsRefused)
{
    REQUIRE_SERVER();
    const std::string longSubject = [] {
        std::string s;
        for (int i = 0; i < 12; ++i)
            s += "日本語の 長い 件名 word" + std::to_string(i) + " ";
        return s + "終わり";
    }();
    std::vector<Row> rows;
    const std::pair<const char*, KanjiCode> codes[] = {
        {"jis", KanjiCode::Jis}, {"sjis", KanjiCode::Sjis}, {"euc", KanjiCode::Euc}, {"utf8", KanjiCode::Utf8}};
    for (const auto& [name, code] : codes) {
        // What Linux input methods type, and what only UTF-8 can carry.
        rows.push_back({name, code, "波 〜 と − と ‖ ¢£¬", "本文 〜 − です", "", 0, 0});
        const unsigned refused = code == KanjiCode::Utf8 ? 0 : platform::IDS_61340;
        rows.push_back({name, code, "丸数字 ①", "①", "", 0, refused});
        rows.push_back({name, code, "café", "café", "", 0, refused});
        rows.push_back({name, code, longSubject, "x", "", 0, 0});
        rows.push_back({name, code, "Qt6日本語 空白  二つ", "長い行 " + std::string(2000, 'a'), "", 0, 0});
        rows.push_back({name, code, "長い行だけ", std::string(700, 'x') + std::string(700, 'y') + "い", "", 0, 0});
        for (int encoding : {0, 2})
            rows.push_back({name, code, "添付", "資料です", "資料 \"見積\" 2024年版の少し長めのファイル名.txt", encoding, 0});
    }
    rows.push_back({"huge", KanjiCode::Jis, std::string(100000, 'a'), "x", "", 0, platform::IDS_61341});

    testutil::ScratchDir dir;
    const std::string data = "\x01\x02 attachment\r\n.\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.what) + " " + row.subject.substr(0, 40));
        PostParams settings{.strMailAddress = "taro@example.invalid", .strNntpServer = server->host,
                            .nNntpPort = server->port, .PostKanjiCode = row.code};
        PostForm form;
        form.newsgroups = "local.test";
        form.subject = Sjis(row.subject);
        form.body = Sjis(row.body) + "\r\n";
        if (!row.attachName.empty()) {
            form.attachPath = dir / row.attachName;
            testutil::WriteFile(form.attachPath, data);
            form.attachEncoding = row.encoding;
        }
        const PostOutcome outcome = PostArticle(form, settings);
        if (row.refusal) {
            EXPECT_FALSE(outcome.posted);
            EXPECT_EQ(outcome.messageId, row.refusal);
            continue;
        }
        ASSERT_TRUE(outcome.posted) << outcome.serverReply << " " << outcome.messageId;
        ASSERT_FALSE(outcome.postedId.empty());
        auto back = inttest::ReadBack(*server, outcome.postedId);
        EXPECT_EQ(back["error"], "");
        EXPECT_EQ(back["defects"], "0");
        EXPECT_EQ(back["subject"], row.subject);
        // In a multipart article the last line end belongs to the boundary.
        const std::string ends = row.attachName.empty() ? "\\n\\n\\n" : "\\n\\n";
        EXPECT_TRUE(back["body"] == row.body + ends) << back["body"].substr(0, 80);
        if (!row.attachName.empty()) {
            EXPECT_EQ(back["filename"], row.attachName);
            std::string hex = testutil::Hex(data);
            std::erase(hex, ' ');
            std::transform(hex.begin(), hex.end(), hex.begin(), [](char c) { return std::tolower(c); });
            EXPECT_EQ(back["data"], hex);
        }
    }
}

// tin and slrn as second readers, in a UTF-8 terminal: subject, From, body
// and attachment name show as posted. slrn leaves the parts of a multipart
// article undecoded (the name it shows is the X-Attachments field), so it is
// asked for the body of single-part articles only.
class SecondReader : public ::testing::TestWithParam<const char*> {};

TEST_P(SecondReader, ShowsWhatWasPosted)
{
    REQUIRE_SERVER();
    const std::string reader = GetParam();
    REQUIRE_PEER(reader);
    const bool decodesParts = reader == "tin";
    const std::string name = "資料 \"見積\" 2024年版の少し長めのファイル名.txt";
    const struct {
        KanjiCode code;
        std::string subject, body, attachName;
        int encoding;
    } rows[] = {
        {KanjiCode::Jis, "波 〜 と − と ‖ ¢£¬ jis", "本文 〜 − です", name, 0},
        {KanjiCode::Sjis, "波 〜 と − と ‖ ¢£¬ sjis", "本文 〜 − です", name, 2},
        {KanjiCode::Euc, "波 〜 と − と ‖ ¢£¬ euc", "本文 〜 − です", name, 0},
        {KanjiCode::Utf8, "波 〜 と − と ‖ ¢£¬ café ①", "本文 〜 − です ①", name, 2},
        {KanjiCode::Jis, "折り返す長い件名 長い 件名 長い 件名 長い 件名 長い 件名 長い 件名 終わり", "一行目\r\n二行目", "", 0},
        {KanjiCode::Utf8, "UTF-8 の長い件名 長い 件名 長い 件名 長い 件名 長い 件名 長い 件名 終わり", "一行目\r\n二行目", "", 0},
    };
    testutil::ScratchDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.subject);
        PostParams settings{.strRealName = Sjis("山田 太郎"), .strMailAddress = "taro@example.invalid",
                            .strNntpServer = server->host, .nNntpPort = server->port, .PostKanjiCode = row.code};
        PostForm form;
        form.newsgroups = "local.test";
        form.subject = Sjis(row.subject);
        form.body = Sjis(row.body) + "\r\n";
        if (!row.attachName.empty()) {
            form.attachPath = dir / row.attachName;
            testutil::WriteFile(form.attachPath, "\x01\x02 attachment\r\n");
            form.attachEncoding = row.encoding;
        }
        const PostOutcome outcome = PostArticle(form, settings);
        ASSERT_TRUE(outcome.posted) << outcome.serverReply << " " << outcome.messageId;
        const std::string shown = inttest::Squeezed(
            inttest::PeerReaders({"read", reader, server->host, std::to_string(server->port), "local.test",
                                  outcome.postedId}));
        for (const std::string& want : {row.subject, std::string("山田 太郎 <taro@example.invalid>"), row.body,
                                        row.attachName})
            if (want != row.body || row.attachName.empty() || decodesParts)
                EXPECT_NE(shown.find(inttest::Squeezed(want)), std::string::npos) << want << "\n" << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, SecondReader, ::testing::Values("tin", "slrn"));
