// The wire form of a posted article, captured by a scripted peer, with a
// transparent codec so that only this layer's work shows.
#include "NetTest.h"
#include "net/PostCodec.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <fstream>

using namespace textcodec;
using namespace net;

namespace {

struct PostWire : NetTest {
    void SetUp() override
    {
        NetTest::SetUp();
        net::PostCodec codec;
        // Marks converted pieces so the test sees where conversion happened.
        codec.convertFromSjis = [](std::string_view text, KanjiCode code) {
            return code == KanjiCode::Sjis ? std::string(text) : "{" + Number(code) + "}" + std::string(text);
        };
        codec.composeHeaderLine = [](std::string_view name, std::string_view value, KanjiCode code, bool encode) {
            return std::string(name) + " " + (encode ? "E:" : Number(code) + ":") + std::string(value) + "\r\n";
        };
        codec.makeBoundary = [](bool) { return std::string("---------1000-42"); };
        net::SetPostCodec(codec);
    }
    void TearDown() override
    {
        NetTest::TearDown();
        net::ResetPostCodec();
    }

    static std::string Number(KanjiCode code) { return std::to_string(static_cast<int>(code)); }

    // An article with just a subject.
    static CNntpPostMessageParam Param(std::string body = "b\n", KanjiCode kanjiCode = KanjiCode::Sjis)
    {
        CNntpPostMessageParam param;
        param.kanjiCode = kanjiCode;
        param.fieldNames = {"Subject:"};
        param.fieldValues = {"s"};
        param.bodyTexts = {std::move(body)};
        return param;
    }

    // Posts through a peer that accepts with 340 and 240; returns the wire.
    std::string Capture(const CNntpPostMessageParam& param, int* result = nullptr, std::vector<std::string>* errors = nullptr)
    {
        FakeServer server([](FakePeer& p) {
            p.Send("200 ok\r\n");
            p.Reply("340 go ahead\r\n");
            p.ReadArticle();
            p.Send("240 posted\r\n");
            p.Reply("205 bye\r\n");
            p.ReadToEnd();
        });
        {
            CNntp nntp;
            Use(nntp);
            if (errors)
                nntp.SetErrorReporter([errors](const std::string& t) { errors->push_back(t); });
            nntp.Attach(server.TakeClient());
            EXPECT_EQ(nntp.ReadGreeting(), 1);
            int r = nntp.Post(param);
            if (result)
                *result = r;
        }
        server.Join();
        return server.received();
    }

    testutil::ScratchDir dir;
};

TEST_F(PostWire, PlainArticleLineByLine)
{
    CNntpPostMessageParam param;
    param.kanjiCode = KanjiCode::Sjis;
    param.fieldNames = {"Newsgroups:", "Subject:"};
    param.fieldValues = {"local.test", "hello"};
    param.bodyTexts = {"line one\r\n.dot\r\n.\r\nctl\x1az\r\n", "", "no final LF"};
    int result = 0;
    std::string wire = Capture(param, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(wire, "POST\r\nNewsgroups: E:local.test\r\nSubject: E:hello\r\nMime-Version: 1.0\r\n"
                    "Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                    "line one\r\n..dot\r\n..\r\nctl^Zz\r\nno final LF\r\n\r\n.\r\nQUIT\r\n");
}

TEST_F(PostWire, JisGetsTheCharsetAndEveryLineIsConverted)
{
    // A Shift_JIS character whose second byte is '.' -like; and a lone lead byte before LF.
    auto param = Param("\x82\xa0\r\n\x81\nend\x82", KanjiCode::Jis);
    std::string wire = Capture(param);
    EXPECT_NE(wire.find("Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"), std::string::npos);
    EXPECT_NE(wire.find("\r\n\r\n{0}\x82\xa0\r\n{0}\x81\r\n{0}end\x82\r\n\r\n.\r\n"), std::string::npos) << wire;

    // With the real converter a stray lead byte at a line end still leaves a
    // proper CR LF line end, and no 8-bit byte goes out in a 7-bit article.
    net::ResetPostCodec();
    param.bodyTexts = {"a\x81\nb\n"};
    wire = Capture(param);
    EXPECT_NE(wire.find("\r\n\r\na\x1B$B\".\x1B(B\r\nb\r\n\r\n.\r\n"), std::string::npos) << wire;
}

TEST_F(PostWire, Utf8GetsItsCharsetEightBitAndWholeWords)
{
    net::ResetPostCodec();
    CNntpPostMessageParam param = Param("\x93\xfa\x96\x7b\r\n", KanjiCode::Utf8);
    param.fieldValues = {"\x93\xfa\x96\x7b"};
    const std::string wire = Capture(param);
    EXPECT_NE(wire.find("Subject: =?UTF-8?B?5pel5pys?=\r\nMime-Version: 1.0\r\n"
                        "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                        "\xE6\x97\xA5\xE6\x9C\xAC\r\n"),
              std::string::npos)
        << wire;
}

TEST_F(PostWire, AttachmentMultipartLineByLine)
{
    const std::filesystem::path encoded = dir / "enc.txt";
    testutil::WriteFile(encoded, "begin 644 a.bin\n.dot line\r\nplain\n`\nend"); // mixed line ends, no final LF
    for (int enc : {0, 1, 2}) {
        CNntpPostMessageParam param;
        param.kanjiCode = KanjiCode::Euc;
        param.attachEncoding = enc;
        param.fieldNames = {"Subject:"};
        param.fieldValues = {"att"};
        param.bodyTexts = {"body\n"};
        param.attachPath = "/home/someone/private/a.bin";
        param.encodedPath = encoded;
        std::string wire = Capture(param);
        const std::string type = enc == 0 ? "application/octet-stream" : enc == 1 ? "application/mac-binhex40"
                                                                                  : "application/x-uuencode";
        const std::string partHeader = std::string(enc == 0 ? "Content-Transfer-Encoding: base64\r\n" : "") +
                                       "Content-Type: " + type + ";\r\n name=\"a.bin\"\r\n"
                                       "Content-Disposition: attachment;\r\n filename=\"a.bin\"\r\n";
        EXPECT_EQ(wire, "POST\r\nSubject: E:att\r\nMime-Version: 1.0\r\nX-Attachments: E:a.bin\r\n"
                        "Content-Type: multipart/mixed; boundary=\"---------1000-42\"\r\n\r\n"
                        "-----------1000-42\r\nContent-Type: text/plain; charset=EUC-JP\r\n"
                        "Content-Transfer-Encoding: 8bit\r\n\r\n{2}body\r\n\r\n"
                        "-----------1000-42\r\n" + partHeader + "Content-Description: E:a.bin\r\n\r\n"
                        "begin 644 a.bin\r\n..dot line\r\nplain\r\n`\r\nend\r\n\r\n"
                        "-----------1000-42--\r\n\r\n.\r\nQUIT\r\n")
            << "encoding " << enc;
    }
}

TEST_F(PostWire, HeaderValuesCannotInjectLinesOrEndTheArticle)
{
    CNntpPostMessageParam param;
    param.kanjiCode = KanjiCode::Sjis;
    param.fieldNames = {"Subject:", "References:"};
    param.fieldValues = {std::string("x\r\n.\r\nPOST\r\nControl: cancel\0y", 29), "<a@b>\nApproved: me"};
    param.bodyTexts = {"b\n"};
    param.attachPath = "C:\\Users\\me\\evil\"\r\nX: y.bin";
    param.encodedPath = dir / "none-such";
    std::ofstream(param.encodedPath) << "data\n";
    std::string wire = Capture(param);
    EXPECT_NE(wire.find("Subject: E:x  .  POST  Control: cancel y\r\n"), std::string::npos) << wire;
    EXPECT_NE(wire.find("References: E:<a@b> Approved: me\r\n"), std::string::npos);
    EXPECT_NE(wire.find("X-Attachments: E:evil\"__X: y.bin\r\n"), std::string::npos) << wire;
    EXPECT_NE(wire.find("filename*=UTF-8''evil%22__X%3A%20y.bin\r\n"), std::string::npos) << wire;
    EXPECT_EQ(wire.find("\r\nControl:"), std::string::npos);
    EXPECT_EQ(wire.find("Users"), std::string::npos);
}

TEST_F(PostWire, FailuresWhileSendingNeverEndTheArticle)
{
    // The attachment cannot be read: the article must not go out without it.
    std::vector<std::string> errors;
    auto param = Param();
    param.attachPath = "a.bin";
    param.encodedPath = dir / "missing";
    int result = 1;
    std::string wire = Capture(param, &result, &errors);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(wire.find("\r\n.\r\n"), std::string::npos);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "NNTP: error at [CTextbaseProtocol::sendFile](can't open [" + param.encodedPath.string() + "]).");

    // The server drops the connection in the middle of a long body.
    FakeServer server([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.Reply("340 go\r\n");
        p.ReadLine();
    });
    const auto big = Param(std::string(8 << 20, 'a') + "\n");
    CNntp nntp;
    Use(nntp);
    Greet(nntp, server);
    EXPECT_EQ(nntp.Post(big), 0);
    EXPECT_FALSE(nntp.ArticleSent());
    EXPECT_EQ(nntp.IsConnected(), 0);
}

// A refusal of POST sends nothing more. A refusal after the article and no
// answer at all are both failures, but only the article's sender can tell
// the second apart.
TEST_F(PostWire, AnswersToThePost)
{
    ShortWait();
    const struct {
        const char* toPost;
        const char* toArticle; // nullptr: the article is never sent
        int code;
    } cases[] = {
        {"440 posting not allowed\r\n", nullptr, 440},
        {"340 go\r\n", "441 missing header\r\n", 441},
        {"340 go\r\n", "215 list follows\r\n", 215}, // only 240 means posted
        {"340 go\r\n", "", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> status;
        FakeServer server([&](FakePeer& p) {
            p.Send("200 ok\r\n");
            p.Reply(c.toPost);
            if (c.toArticle) {
                p.ReadArticle();
                p.Send(c.toArticle);
            }
            p.ReadToEnd();
        });
        {
            CNntp nntp;
            Use(nntp);
            nntp.SetStatusWindow([&](const std::string& t) { status.push_back(t); });
            Greet(nntp, server);
            EXPECT_EQ(nntp.Post(Param()), 0);
            EXPECT_EQ(nntp.ArticleSent(), c.toArticle != nullptr);
            EXPECT_EQ(nntp.ReplyCode(), c.code);
        }
        server.Join();
        if (!c.toArticle) {
            EXPECT_EQ(server.received(), "POST\r\nQUIT\r\n");
            continue;
        }
        ASSERT_GE(status.size(), 5u);
        EXPECT_EQ(std::vector(status.begin(), status.begin() + 4),
                  (std::vector<std::string>{"NNTP: >> POST", "NNTP: << 340 go\r\n", "NNTP: send header", "NNTP: 0> Subject: E:s\r\n"}));
        const bool failLogged = std::find(status.begin(), status.end(), "NNTP: Command Fail") != status.end();
        EXPECT_TRUE(failLogged || c.code != 441);
    }
}

} // namespace
