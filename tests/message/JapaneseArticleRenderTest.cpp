// Japanese Usenet-style articles (written with Python's codecs) as the body
// pane shows them: every line of the body in Shift_JIS, the folded encoded
// subject decoded whole, Japanese attachment names decoded.
#include "RenderSupport.h"

#include "message/HeaderFields.h"

#include <gtest/gtest.h>

using namespace message;

namespace {

const std::filesystem::path kData = std::filesystem::path(LUMETRA_SOURCE_DIR) / "tests" / "message" / "data";

std::string Data(const char* name) { return testutil::ReadFile(kData / name); }

// The rendered text holds the expected body lines, whole and in order.
void ExpectBody(const std::string& plain, const std::string& body)
{
    std::size_t from = 0;
    for (const std::string& line : testutil::SplitLines(body)) {
        std::size_t at = plain.find("\n" + line + "\n", from);
        EXPECT_NE(at, std::string::npos) << "missing line: " << line;
        if (at != std::string::npos)
            from = at + line.size();
    }
}

class Japanese : public ::testing::TestWithParam<const char*> {};

TEST_P(Japanese, BodyAndHeaderShowInShiftJis)
{
    const std::string article = Data(GetParam());
    auto r = testutil::Render(MakeCacheText(article));
    const std::string plain = r->sink.PlainText();
    EXPECT_NE(plain.find("Subject: " + Data("ja-expected-subject.sjis") + "\n"), std::string::npos) << plain;
    EXPECT_NE(plain.find("From: " + Data("ja-expected-name.sjis") + " <taro@example.jp>\n"), std::string::npos) << plain;
    // 8-bit EUC-JP lines are converted one by one as the cache file is written,
    // and a short EUC-JP line reads as Shift_JIS half-width kana (the line
    // conversion's documented choice); encoded EUC-JP parts are decoded whole below.
    if (std::string(GetParam()) == "ja-euc.txt")
        return;
    ExpectBody(plain, Data("ja-expected-body.sjis"));
    // The URL stops before the double-byte text that follows it.
    EXPECT_EQ(r->sink.Urls(), (std::vector<std::string>{"http://www.example.jp/"}));
    // A follow-up reads the subject from the decoded header text.
    EXPECT_EQ(MakeReplySubject(r->renderer->HeaderText()), "Re: " + Data("ja-expected-subject.sjis"));
}

INSTANTIATE_TEST_SUITE_P(Codes, Japanese, ::testing::Values("ja-jis.txt", "ja-sjis.txt", "ja-euc.txt"));

TEST(JapaneseMime, EncodedTextPartsEmbeddedBlocksAndJapaneseNames)
{
    auto r = testutil::Render(MakeCacheText(Data("ja-mime.txt")));
    const std::string plain = r->sink.PlainText();
    const std::string body = Data("ja-expected-body.sjis");
    // The base64 part (ISO-2022-JP) and the quoted-printable part (EUC-JP).
    const std::size_t second = plain.find("Content-Transfer-Encoding: quoted-printable");
    ASSERT_NE(second, std::string::npos);
    ExpectBody(plain.substr(0, second), body);
    ExpectBody(plain.substr(second), body);
    EXPECT_NE(plain.find("A uuencoded file follows.\n\n\n(UUENCODE CONTENT)\n\nThanks.\n"), std::string::npos) << plain;
    EXPECT_EQ(plain.find("begin 644"), std::string::npos);

    const auto& att = r->renderer->Attachments();
    ASSERT_EQ(att.size(), 5u);
    EXPECT_EQ(att[3]->Name(), "data.bin");
    EXPECT_EQ(att[4]->Name(), Data("ja-expected-file.sjis"));
    EXPECT_FALSE(att[4]->IsInline());
    // Part headers show decoded.
    EXPECT_NE(plain.find("name=\"" + Data("ja-expected-file.sjis") + "\"\n"), std::string::npos);
    for (std::size_t i : {3u, 4u}) {
        const auto out = testutil::Scratch() / ("ja-" + std::to_string(i));
        att[i]->SaveTo(out);
        EXPECT_EQ(testutil::ReadFile(out), Data("ja-expected-data.bin")) << i;
    }
}

} // namespace
