#include "RenderSupport.h"

#include "message/MimeRender.h"
#include "textcodec/QuotedPrintable.h"
#include "message/UrlScanner.h"
#include "textcodec/BinHex.h"
#include "textcodec/Charsets.h"
#include "textcodec/Uuencode.h"

#include <gtest/gtest.h>

using namespace message;
using namespace textcodec;
using testutil::Crlf;
using testutil::Render;

namespace {

const std::string kSubjectSjis = "\x8c\x8f\x96\xbc\x83\x65\x83\x58\x83\x67"; // 件名テスト
const std::string kBodySjis = "\x93\xfa\x96{\x8c\xea\x82\xcc\x83\x65\x83X\x83g";  // 日本語のテスト

const std::string kPlain = Crlf(
    "Path: news!not-for-mail\n"
    "From: Taro <taro@example.jp>\n"
    "Newsgroups: fj.test\n"
    "Subject: =?ISO-2022-JP?B?GyRCN29MPiVGJTklSBsoQg==?=\n"
    "Message-ID: <1@example.jp>\n"
    "References: <0@example.jp>\n"
    "  <00@example.jp>\n"
    "Organization: Example\n"
    " Works\n"
    "\n"
    "\n"
    "Hello\n"
    "..dot\n"
    "see http://example.jp/a?b=1&c=2 now\n"
    ".\n"
    "after the end\n");

TEST(RenderArticle, FiltersAndColoursTheHeader)
{
    auto r = Render(kPlain);
    EXPECT_EQ(r->Tagged(),
              "[hname]From:[hvalue] Taro <taro@example.jp>\n"
              "[hname]Subject:[hvalue] " + kSubjectSjis + "\n"
              "[hname]Organization:[hvalue] Example\n"
              " Works\n"
              "\n"
              "[text]Hello\n"
              ".dot\n"
              "see [url]http://example.jp/a?b=1&c=2[text] now\n");
    EXPECT_EQ(r->sink.Urls(), (std::vector<std::string>{"http://example.jp/a?b=1&c=2"}));
    EXPECT_EQ(r->renderer->HeaderLineCount(), 5);
    // The header text keeps every line, encoded words decoded.
    EXPECT_NE(r->renderer->HeaderText().find("Subject: " + kSubjectSjis + "\r\n"), std::string::npos);
    EXPECT_NE(r->renderer->HeaderText().find("Message-ID: <1@example.jp>\r\n"), std::string::npos);
    ASSERT_EQ(r->renderer->Attachments().size(), 1u);
    EXPECT_TRUE(r->renderer->Attachments()[0]->IsInline());
}

TEST(RenderArticle, ShowAllShowsEveryHeaderLineUndecoded)
{
    const std::string tagged = Render(kPlain, true)->Tagged();
    EXPECT_NE(tagged.find("[hname]Path:[hvalue] news!not-for-mail\n"), std::string::npos);
    EXPECT_NE(tagged.find("[hvalue] =?ISO-2022-JP?B?GyRCN29MPiVGJTklSBsoQg==?=\n"), std::string::npos);
}

TEST(RenderArticle, ControlBytesInTheHeaderBecomeBlanks)
{
    auto r = Render(Crlf("Subject: a\x01" "b\x1a" "c\nX-Nul: a") + std::string("\0b\r\n\r\nbody\r\n", 11));
    EXPECT_EQ(r->Tagged(), "[hname]Subject:[hvalue] a b?c\n[hname]X-Nul:[hvalue] a?b\n\n[text]body\n");
}

TEST(RenderArticle, Base64TextIsDecodedAcrossBlankLinesAndShownAtTheEndOfThePart)
{
    auto r = Render(Crlf("Subject: b\n"
                         "Content-Type: text/plain; charset=ISO-2022-JP\n"
                         "Content-Transfer-Encoding: base64\n"
                         "\n"
                         "GyRCRnxLXDhsJE4lRiU5\n"
                         "\n"
                         "JUgbKEIK\n"));
    EXPECT_EQ(r->Tagged(), "[hname]Subject:[hvalue] b\n[hname]Content-Type:[hvalue] text/plain; charset=ISO-2022-JP\n\n"
                           "[text]" + kBodySjis + "\n");
}

TEST(RenderArticle, QuotedPrintableJoinsSoftBreaks)
{
    auto r = Render(Crlf("Content-Transfer-Encoding: Quoted-Printable\n"
                         "\n"
                         "a=3Db soft=\n"
                         "ly joined =  \n"
                         "end=2e\n"
                         "=1B$BF|K\\=1B(B\n"
                         "bad =ZZ and =4\n"));
    EXPECT_EQ(r->Tagged(), "[hvalue]\n[text]a=b softly joined end.\n\x93\xfa\x96{\nbad =ZZ and =4\n");
}

// The escapes themselves are checked with the textcodec; here the line end and
// the padding the body drops.
TEST(DecodeQuotedPrintableLine, TrailingBlanksAndLineEnds)
{
    for (auto [in, out] : {std::pair<std::string, std::string>{"soft=  \t\r\n", "soft"}, {"a \t", "a\r\n"},
                           {"a\rb", "a\r\n"}}) {
        std::string decoded;
        textcodec::DecodeQuotedPrintableLine(in, decoded, true);
        EXPECT_EQ(decoded, out) << in;
    }
}

const std::string kMultipart = Crlf(
    "From: a@b\n"
    "Subject: parts\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"BB\"\n"
    "\n"
    "preamble\n"
    "--BB\n"
    "Content-Type: text/plain\n"
    "\n"
    "text part\n"
    "--BB\n"
    "Content-Type: image/gif; name=\"../../pic.gif\"\n"
    "Content-Transfer-Encoding: base64\n"
    "\n"
    "R0lGODlh\n"
    "--BB\n"
    "Content-Type: message/rfc822\n"
    "Content-Description: dir\\sub\\inner.eml\n"
    "\n"
    "Subject: inner\n"
    "\n"
    "inner body\n"
    "--BB\n"
    "--BB\n"
    "Content-Type: application/octet-stream\n"
    "Content-Disposition: attachment; filename=\"data.bin\"\n"
    "\n"
    "xyz\n"
    "--BB--\n"
    "epilogue\n");

TEST(RenderArticle, MultipartShowsBoundariesMarkersAndTextParts)
{
    auto r = Render(kMultipart);
    EXPECT_EQ(r->Tagged(),
              "[hname]From:[hvalue] a@b\n"
              "[hname]Subject:[hvalue] parts\n"
              "[hname]MIME-Version:[hvalue] 1.0\n"
              "[hname]Content-Type:[hvalue] multipart/mixed; boundary=\"BB\"\n"
              "\n"
              "[text]preamble\n"
              "[boundary]--BB\n"
              "[hname]Content-Type:[hvalue] text/plain\n"
              "\n"
              "[text]text part\n"
              "[boundary]--BB\n"
              "[hname]Content-Type:[hvalue] image/gif; name=\"../../pic.gif\"\n"
              "[hname]Content-Transfer-Encoding:[hvalue] base64\n"
              "\n"
              "[marker]\n(MIME CONTENT)\n"
              "[text]\n"
              "[boundary]--BB\n"
              "[hname]Content-Type:[hvalue] message/rfc822\n"
              "[hname]Content-Description:[hvalue] dir\\sub\\inner.eml\n"
              "\n"
              "[marker]\n(Attached message)\n"
              "[text]\n"
              "[boundary]--BB\n"
              "--BB\n"
              "[hname]Content-Type:[hvalue] application/octet-stream\n"
              "[hname]Content-Disposition:[hvalue] attachment; filename=\"data.bin\"\n"
              "\n"
              "[marker]\n(MIME CONTENT)\n"
              "[text]\n"
              "[boundary]--BB--\n");
    const auto& att = r->renderer->Attachments();
    ASSERT_EQ(att.size(), 5u);
    EXPECT_EQ(att[0]->Name(), "");
    EXPECT_TRUE(att[0]->IsInline());
    EXPECT_EQ(att[1]->Name(), "../../pic.gif"); // listed as sent; only the file system sees the safe name
    EXPECT_EQ(att[1]->SafeName(), "pic.gif");
    EXPECT_FALSE(att[1]->IsInline());
    EXPECT_EQ(att[1]->GetContentType(), "image/gif");
    EXPECT_EQ(att[2]->Name(), "inner.eml");
    EXPECT_TRUE(att[2]->IsMessage());
    EXPECT_EQ(att[3]->Name(), ""); // the empty part
    EXPECT_EQ(att[4]->Name(), "data.bin");
    EXPECT_EQ(att[4]->Boundary(), "BB");
}

TEST(RenderArticle, BrokenMultipartStructure)
{
    const struct {
        std::string article, tagged;
        std::size_t parts;
    } cases[] = {
        // The article end inside a part ends everything, also inside a part header.
        {"Content-Type: multipart/mixed; boundary=q\n\n--q\n\ntext\n.\n--q\nContent-Type: text/plain\n\nlost\n",
         "[hname]Content-Type:[hvalue] multipart/mixed; boundary=q\n\n[boundary]--q\n[hvalue]\n[text]text\n", 1},
        {"Content-Type: multipart/mixed; boundary=q\n\n--q\nContent-Type: text/plain\n.\n", "", 0},
        // No boundary: one part.
        {"Content-Type: multipart/mixed\n\nbody\n",
         "[hname]Content-Type:[hvalue] multipart/mixed\n\n[marker]\n(MIME CONTENT)\n[text]\n", 1},
        // No start boundary: only the preamble.
        {"Content-Type: multipart/mixed; boundary=zz\n\nno parts here\n--zz--\n",
         "[hname]Content-Type:[hvalue] multipart/mixed; boundary=zz\n\n[text]no parts here\n--zz--\n", 0},
    };
    for (const auto& c : cases) {
        auto r = Render(Crlf(c.article));
        if (!c.tagged.empty()) {
            EXPECT_EQ(r->Tagged(), c.tagged) << c.article;
        }
        EXPECT_EQ(r->renderer->Attachments().size(), c.parts) << c.article;
    }
    auto r = Render(Crlf("Content-Type: multipart/mixed\n\nbody\n"));
    EXPECT_FALSE(r->renderer->Attachments()[0]->IsInline());
}

TEST(RenderArticle, EmbeddedBlocksShowAsMarkers)
{
    const std::string uu = Crlf(Uuencode("hello world", 0644, "hello.bin"));
    const std::string hqx = Crlf(BinHexEncode(std::string(300, 'z'), "Read Me"));
    auto r = Render(Crlf("Subject: uu\n\nbefore\n") + uu + hqx + Crlf("\nafter\nbegin 644\nbegin x name\n"));
    EXPECT_EQ(r->Tagged(), "[hname]Subject:[hvalue] uu\n\n[text]before\n[marker]\n(UUENCODE CONTENT)\n"
                           "\n(BinHex4.0 CONTENT)\n[text]\nafter\nbegin 644\nbegin x name\n");
    EXPECT_EQ(r->renderer->Attachments().size(), 3u);
}

TEST(RenderArticle, UndecodableBinHexIsShownAsText)
{
    auto r = Render(Crlf("Subject: hqx\n\n(This file must be converted with BinHex 4.0)\n\n:not really binhex\n\nafter\n"));
    EXPECT_EQ(r->renderer->Attachments().size(), 1u);
    EXPECT_NE(r->sink.PlainText().find(":not really binhex\n"), std::string::npos) << r->sink.PlainText();
}

// Long lines stay whole, many parts all count, a file may end without the dot,
// an outer boundary ends the article and rendering again clears the old.
TEST(RenderArticle, SizesBoundariesAndRenderingAgain)
{
    const std::string longLine(60000, 'a');
    EXPECT_EQ(Render(Crlf("Subject: long\n\n") + longLine + "\r\n.\r\n")->sink.PlainText(),
              "Subject: long\n\n" + longLine + "\n");
    std::string article = Crlf("Content-Type: multipart/mixed; boundary=p\n\n");
    for (int i = 0; i < 500; ++i)
        article += Crlf("--p\nContent-Type: application/x-" + std::to_string(i) + "\n\nx\n");
    auto many = Render(article);
    ASSERT_EQ(many->renderer->Attachments().size(), 500u);
    EXPECT_EQ(many->renderer->Attachments()[499]->GetContentType(), "application/x-499");

    RecordingSink sink;
    BodyRenderer renderer(sink);
    renderer.RenderArticle(CacheFile::Open(testutil::ScratchFile(Crlf("Subject: s\n\nin\n--OUT--\nout\n"))), 0, false,
                           "out");
    EXPECT_EQ(sink.Tagged(), "[hname]Subject:[hvalue] s\n\n[text]in\n");
    auto file = CacheFile::Open(testutil::ScratchFile(kMultipart));
    renderer.RenderArticle(file, 0, false);
    renderer.RenderArticle(file, 0, false);
    EXPECT_EQ(renderer.Attachments().size(), 5u);
    EXPECT_EQ(sink.PlainText().find("preamble"), sink.PlainText().rfind("preamble"));
    EXPECT_EQ(sink.PlainText().find("Subject: s\n"), std::string::npos);
}

TEST(RenderArticle, WhatIsShownIsBoundedAndTheRestStaysInTheFile)
{
    // A line past the bound is cut on a whole character; the parts after it are still found.
    const std::string parts = Crlf("Content-Type: multipart/mixed; boundary=p\n\n--p\n\n") + std::string(47, 'a') + kBodySjis +
                              Crlf("\nshort\n--p\nContent-Type: application/x-a\n\nx\n--p--\n");
    auto cut = Render(parts, false, {48, 1 << 20});
    const std::string cutNote = " ...(" + std::to_string(kBodySjis.size()) + " MORE BYTES ON THIS LINE)\nshort\n";
    EXPECT_NE(cut->sink.PlainText().find("\n" + std::string(47, 'a') + cutNote), std::string::npos);
    ASSERT_FALSE(cut->renderer->Attachments().empty());
    EXPECT_EQ(cut->renderer->Attachments().back()->GetContentType(), "application/x-a");

    // Past the total only a note follows what was shown, and attachments are still listed.
    std::string many = Crlf("Content-Type: multipart/mixed; boundary=p\n\n--p\n\n");
    for (int i = 0; i < 5000; ++i)
        many += "line " + std::to_string(i) + "\r\n";
    auto capped = Render(many + Crlf("--p\nContent-Type: application/x-b\n\nx\n--p--\n"), false, {64, 100});
    const std::string all = Render(many)->sink.PlainText(), shown = capped->sink.PlainText();
    const std::size_t note = shown.rfind("\n(");
    ASSERT_NE(note, std::string::npos);
    EXPECT_LT(note, all.size() / 2);
    EXPECT_EQ(all.substr(0, note), shown.substr(0, note));
    EXPECT_TRUE(shown.ends_with(" MORE BYTES NOT SHOWN: SAVE THE ARTICLE TO READ ALL OF IT)\n")) << shown.substr(note);
    EXPECT_EQ(capped->renderer->Attachments().back()->GetContentType(), "application/x-b");
}

TEST(RecordingSink, TagsEscapeBracketsButNotDoubleByteCharacters)
{
    RecordingSink sink;
    sink.Append("a[b \x83\x81\x81\x5b\r\n", TextRole::Text, 0, false); // メー
    sink.Append("x", TextRole::Url, 0, false);
    EXPECT_EQ(sink.Tagged(), "[text]a[[b \x83\x81\x81\x5b\n[url]x");
    EXPECT_EQ(sink.PlainText(), "a[b \x83\x81\x81\x5b\nx");
}

TEST(AppendWithUrls, MarksSchemesAndStopsAtTheRightCharacters)
{
    RecordingSink sink;
    EXPECT_TRUE(AppendWithUrls(sink, "see (http://a.jp/~x/(y)) and ftp://b! end", TextRole::Text, 1, 2));
    EXPECT_EQ(sink.Tagged(), "[text]see ([url]http://a.jp/~x/(y[text])) and [url]ftp://b[text]! end");
    sink.Clear();
    EXPECT_FALSE(AppendWithUrls(sink, "no scheme ://here http://x", TextRole::Text, 1, 2));
    EXPECT_EQ(sink.Tagged(), "[text]no scheme ://here http://x");
    sink.Clear();
    // A double-byte character whose second byte is a letter is not part of the scheme.
    const std::string text = "\x83\x41http://x.jp/\x82\xa0";
    EXPECT_TRUE(AppendWithUrls(sink, text, TextRole::Text, 1, 2));
    EXPECT_EQ(sink.Urls(), (std::vector<std::string>{"http://x.jp/"}));
    EXPECT_TRUE(IsUrlCandidate("a://"));
    EXPECT_TRUE(IsUrlCandidate("://"));
    EXPECT_FALSE(IsUrlCandidate("ab"));
    EXPECT_FALSE(IsUrlCandidate("http:/x"));
    // news: links need no "//"; a word merely ending in "news" is no scheme.
    sink.Clear();
    EXPECT_TRUE(AppendWithUrls(sink, "read News:fj.test, <news:a1@ex.jp> not renews:x nor news: x", TextRole::Text, 1, 2));
    EXPECT_EQ(sink.Urls(), (std::vector<std::string>{"News:fj.test,", "news:a1@ex.jp"}));
    EXPECT_TRUE(IsUrlCandidate("news:fj.test"));
}

} // namespace

TEST(RenderArticle, DeclaredCharsetsNestedPartsAndLenientValues)
{
    const std::string nested = "Content-Type: multipart/mixed; boundary=o\n\n--o\n"
                               "Content-Type: multipart/alternative; boundary=i\n\npreamble\n--i\n"
                               "Content-Type: text/html\n\n<p>html</p>\n--i\n"
                               "Content-Type: TEXT/Plain; charset=\"iso-8859-1\"\n"
                               "Content-Transfer-Encoding: Base64 (latin)\n\nSvxyZ2Vu\n--i--\nepilogue\n--o\n"
                               "Content-Type: application/octet-stream; name=a.bin\n"
                               "Content-Transfer-Encoding: binary\n\n\x82\xFF\x01\r\n\x8E\n--o--\n";
    const struct {
        std::string article, shown, hidden;
        std::vector<bool> inlineParts;
    } cases[] = {
        {"Subject: =?UTF-8?Q?=E6=97?=\n =?UTF-8?Q?=A5?=\nContent-Type: text/plain; charset=UTF-8\n\n"
         "M\xC3\xBCller \xE6\x97\xA5 \xF0\x9F\x98\x80\n",
         "[hvalue] 日\n[hname]", "", {true}},
        {"Content-Type: text/plain; charset=UTF-8\n\nM\xC3\xBCller \xF0\x9F\x98\x80\n", "Müller 😀", "", {true}},
        // Read as EUC-JP, not as the half-width kana the per-line rule sees.
        {"Content-Type: text/plain; charset=x-euc-jp\n\n\xC6\xFC\xCB\xDC\n", "日本", "", {true}},
        {"Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: Quoted-Printable (x)\n\n"
         "J=C3=BCrgen =\n=E6=97=A5\n",
         "Jürgen 日", "", {true}},
        {nested, "Jürgen", "<p>", {false, true, false}},
        // Raw UTF-8 in the header, encoded words across folds, an 8-bit charset over lines.
        {"Content-Type: text/plain; charset=EUC-KR\nSubject: 한국어 😀\nTo: =?UTF-8?Q?=E6=97?=\n =?UTF-8?Q?=A5?=\n"
         "\n\xBE\xC8\n\xB3\xE7\n", "한국어 😀\n[hname]To:[hvalue] 日\n\n[text]안\n녕", "", {true}},
    };
    for (const auto& c : cases) {
        auto r = Render(MakeCacheText(c.article));
        const std::string text = SjisToUtf8(r->Tagged());
        EXPECT_NE(text.find(c.shown), std::string::npos) << text;
        if (!c.hidden.empty()) {
            EXPECT_EQ(text.find(c.hidden), std::string::npos) << text;
        }
        std::vector<bool> inlineParts;
        for (const auto& a : r->renderer->Attachments())
            inlineParts.push_back(a->IsInline());
        EXPECT_EQ(inlineParts, c.inlineParts) << c.article;
    }
    // A binary part is saved byte for byte.
    auto r = Render(MakeCacheText(nested));
    const auto out = testutil::Scratch() / "a.bin";
    r->renderer->Attachments().back()->SaveTo(out);
    EXPECT_EQ(testutil::ReadFile(out), "\x82\xFF\x01\r\n\x8E");
}
