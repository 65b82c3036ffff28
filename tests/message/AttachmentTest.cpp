#include "RenderSupport.h"

#include "message/Attachment.h"
#include "message/MimeRender.h"
#include "platform/TempFiles.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/Uuencode.h"
#include "textcodec/Charsets.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace message;
using namespace textcodec;
using testutil::Crlf;
using testutil::ReadFile;
using testutil::Render;

namespace {

struct FakeDesktop : Desktop {
    bool result = true;
    std::vector<std::pair<std::filesystem::path, bool>> calls;
    std::string seenContent;
    bool OpenFile(const std::filesystem::path& file, bool print, const std::filesystem::path& dir) override
    {
        calls.emplace_back(file, print);
        seenContent = ReadFile(file);
        EXPECT_EQ(dir, platform::TempDirectory());
        return result;
    }
};

std::string Binary()
{
    std::string data;
    for (int i = 0; i < 3000; ++i)
        data += static_cast<char>((i * 7 + i / 13) & 0xFF);
    return data;
}

// Base64 of data in lines of the given length.
std::string Base64Lines(std::string_view data, std::size_t width)
{
    std::string all = Base64EncodeText(data);
    all.erase(std::remove(all.begin(), all.end(), '\n'), all.end());
    std::string out;
    for (std::size_t i = 0; i < all.size(); i += width)
        out += all.substr(i, width) + "\r\n";
    return out;
}

std::filesystem::path Out(const std::string& name) { return testutil::Scratch() / ("out-" + name); }

CAttachment& Part(testutil::Rendered& r, std::size_t i)
{
    EXPECT_GT(r.renderer->Attachments().size(), i);
    return *r.renderer->Attachments()[i];
}

TEST(CMimeAttachment, SavingTextEncodings)
{
    std::string b64 = Base64Lines("hello!!", 76); // "aGVsbG8hIQ=="
    b64.erase(b64.find('='), 2);
    const std::pair<std::string, std::string> cases[] = {
        // Copy: dot-stuffing undone, other bytes kept.
        {Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n"
              "Content-Type: application/x-thing\nContent-Transfer-Encoding: 7bit\n\n"
              "..\n..x\nctrl-z \x1a and a bare\rcr\n--\n--b--\n"),
         ".\r\n.x\r\nctrl-z \x1a and a bare\rcr\r\n--\r\n"},
        // An unknown encoding saves the text unchanged.
        {Crlf("Content-Type: application/x-thing\nContent-Transfer-Encoding: x-gzip64\n\nabc\n..d\n.\n"),
         "abc\r\n.d\r\n"},
        // Without a boundary a "--" line is data.
        {Crlf("Content-Type: application/x-thing\n\nsig follows\n--\nname\n.\n"), "sig follows\r\n--\r\nname\r\n"},
        {Crlf("Content-Type: application/x\nContent-Transfer-Encoding: quoted-printable\n\n"
              "caf=E9 soft=\nbreak \n..dot=3D\n.\n"),
         "caf\xE9 softbreak\r\n.dot=\r\n"},
        // Base64 ends at the boundary, without an empty line and without padding.
        {Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n"
              "Content-Transfer-Encoding: base64\nContent-Type: application/x\n\n") +
             b64 + Crlf("--b\nContent-Type: text/plain\n\nnext\n--b--\n"),
         "hello!!"},
    };
    for (const auto& [article, saved] : cases) {
        auto r = Render(article);
        Part(*r, 0).SaveTo(Out("text"));
        EXPECT_EQ(ReadFile(Out("text")), saved) << article;
    }
}

TEST(CMimeAttachment, Base64WithOddLineLengthsCarriesCharactersOver)
{
    const std::string data = Binary();
    for (std::size_t width : {62u, 76u, 5u, 4000u}) {
        auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=\"x y\"\n\n--x y\n"
                             "Content-Type: application/octet-stream; name=blob.bin\n"
                             "Content-Transfer-Encoding: BASE64\n\n\n") +
                        Base64Lines(data, width) + Crlf("\n--x y--\n"));
        Part(*r, 0).SaveTo(Out("b64"));
        EXPECT_EQ(ReadFile(Out("b64")), data) << "width " << width;
    }
}

TEST(CMimeAttachment, BinHexAndUuencodedPartsSaveDecoded)
{
    // 14 bytes in the last uuencoded line make it start with ".", which the server doubles.
    const std::string data = Binary().substr(0, 45 * 3 + 14);
    std::string uu = Crlf(Uuencode(data, 0644, "d.bin"));
    for (std::size_t at = 0; (at = uu.find("\n.", at)) != std::string::npos; at += 3)
        uu.insert(at + 1, ".");
    ASSERT_NE(uu.find("\r\n.."), std::string::npos);
    const std::pair<const char*, std::string> cases[] = {
        {"Content-Type: application/mac-binhex40; name=\"x.hqx\"\n\n", Crlf(BinHexEncode(data, "x.bin"))},
        {"Content-Type: application/octet-stream\nContent-Transfer-Encoding: x-uuencode\n\n", uu},
        {"Content-Type: application/x-uuencode\n\n", uu},
    };
    // Saved under a name Lumetra chose: a link planted at that name is replaced, not followed.
    const std::filesystem::path victim = testutil::ScratchFile("keep me", "victim");
    for (const auto& [header, body] : cases) {
        auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n") + Crlf(header) + body +
                        Crlf("--b--\n"));
        std::filesystem::remove(Out("enc"));
        std::filesystem::create_symlink(victim, Out("enc"));
        Part(*r, 0).SaveInto(testutil::Scratch().path(), Out("enc").filename());
        EXPECT_FALSE(std::filesystem::is_symlink(Out("enc")));
        EXPECT_EQ(ReadFile(Out("enc")), data) << header;
        EXPECT_EQ(ReadFile(victim), "keep me");
    }
}

TEST(EmbeddedBlocks, UuencodeAndBinHexBlocksSaveAndShowTheirSource)
{
    const std::string data = Binary();
    const std::string uu = Crlf(Uuencode(data, 0644, "../../evil.bin"));
    const std::string hqx = Crlf(BinHexEncode(data, "mac file"));
    auto r = Render(Crlf("Subject: blocks\n\ntext\n") + uu + Crlf("\nmiddle\n") + hqx + Crlf("\nend\n.\n"));
    const auto& att = r->renderer->Attachments();
    ASSERT_EQ(att.size(), 3u);
    EXPECT_EQ(att[1]->Name(), "evil.bin");
    EXPECT_EQ(att[2]->Name(), "mac file");
    att[1]->SaveTo(Out("emb-uu"));
    EXPECT_EQ(ReadFile(Out("emb-uu")), data);
    att[2]->SaveTo(Out("emb-hqx"));
    EXPECT_EQ(ReadFile(Out("emb-hqx")), data);

    std::string source;
    ASSERT_TRUE(att[1]->GetSource(source));
    EXPECT_EQ(source, uu + "\r\n");
    ASSERT_TRUE(att[2]->GetSource(source));
    EXPECT_EQ(source, hqx);
    ASSERT_TRUE(att[0]->GetSource(source));
    EXPECT_EQ(source.rfind("Subject: blocks\r\n\r\ntext\r\nbegin 644", 0), 0u);
    EXPECT_EQ(source.substr(source.size() - 5), "end\r\n");
    // A MIME part's source is its header and unstuffed body.
    auto m = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: image/png\n\n..x\ny\n--b--\n"));
    ASSERT_TRUE(Part(*m, 0).GetSource(source));
    EXPECT_EQ(source, "Content-Type: image/png\r\n\r\n.x\r\ny\r\n");
}

TEST(CAttachment, OpenWritesTheSafeNameInsideThePrivateFolder)
{
    auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                         "Content-Type: application/x; name=\"../../../../tmp/evil\\\\..\\\\.bashrc\"\n\nabc\n--b--\n"));
    FakeDesktop desktop;
    std::filesystem::path opened = Part(*r, 0).Open(true, desktop);
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened, platform::TempDirectory() / "bashrc");
    ASSERT_EQ(desktop.calls.size(), 1u);
    EXPECT_TRUE(desktop.calls[0].second);
    EXPECT_EQ(desktop.seenContent, "abc\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(opened.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A second view of the same name replaces the first, also when a link sits there.
    std::filesystem::path victim = testutil::ScratchFile("keep me", "victim");
    std::filesystem::remove(opened);
    std::filesystem::create_symlink(victim, opened);
    ASSERT_FALSE(Part(*r, 0).Open(false, desktop).empty());
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(opened));
    std::filesystem::remove(opened);
}

// Failed saves say why; a failed open leaves no file; a closed cache file is never read.
TEST(CAttachment, FailuresOfSaveAndOpen)
{
    auto kindOf = [](CAttachment& a, const std::filesystem::path& to) {
        try {
            a.SaveTo(to);
        } catch (const AttachmentError& e) {
            return static_cast<int>(e.ErrorKind());
        }
        return -1;
    };
    auto broken = Render(Crlf("Subject: x\n\nbegin 644 a.bin\nM(((\n\ntext\n"));
    EXPECT_EQ(kindOf(Part(*broken, 1), Out("broken")), static_cast<int>(AttachmentError::Kind::Decode));
    auto r = Render(Crlf("Content-Type: application/x; name=a.bin\n\nabc\n"));
    EXPECT_EQ(kindOf(Part(*r, 0), "/nonexistent-dir/x"), static_cast<int>(AttachmentError::Kind::File));

    FakeDesktop noAssociation;
    noAssociation.result = false;
    EXPECT_TRUE(Part(*r, 0).Open(false, noAssociation).empty());
    ASSERT_EQ(noAssociation.calls.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(noAssociation.calls[0].first));

    r->file->Close();
    EXPECT_THROW(Part(*r, 0).SaveTo(Out("closed")), AttachmentError);
    std::string source = "x";
    EXPECT_FALSE(Part(*r, 0).GetSource(source));
    FakeDesktop desktop;
    EXPECT_TRUE(Part(*r, 0).Open(false, desktop).empty());
    EXPECT_TRUE(desktop.calls.empty());
}

TEST(SafeFileName, KeepsOnlyAPlainBaseName)
{
    std::string longSjis;
    for (int i = 0; i < 150; ++i)
        longSjis += "\x82\xa0";
    const std::pair<std::string, std::string> cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../.bashrc", "bashrc"},
        {"a\\..\\..\\b.txt", "b.txt"},
        {"C:evil", "evil"},
        {"..", "attachment"},
        {"dir/", "attachment"},
        {"a\nb\x01" "c", "abc"},
        {"\x95\x5c.txt", "\x95\x5c.txt"}, // 表 ends in the byte of a backslash
        {std::string(300, 'n') + ".jpeg", std::string(195, 'n') + ".jpeg"},
        {longSjis, longSjis.substr(0, 200)},
        {"a\x95/b.txt", "b.txt"},   // a lead byte does not pair with "/"
        {"a\x95\x01z\x95", "az"}, // nor with a control character; a lone lead byte goes
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(SafeFileName(in), out) << in;
}

TEST(SafeFilePath, JapaneseNamesBecomeUtf8FileNames)
{
    EXPECT_EQ(SafeFilePath("\x93\xfa\x96{.txt").string(), "\xe6\x97\xa5\xe6\x9c\xac.txt"); // 日本.txt
    EXPECT_EQ(SafeFilePath("../\x95\x5c.txt").string(), "\xe8\xa1\xa8.txt");                 // 表.txt
    EXPECT_EQ(SafeFilePath("a\x80\xff.bin").string(), "a__.bin");
    EXPECT_EQ(SafeFilePath(textcodec::Utf8ToSjis("한국어 \xC2\x85\xC2\x80.txt")).string(), "한국어 __.txt");
    std::string kanji; // 84 kanji: 168 bytes of Shift_JIS, 252 of UTF-8 before the extension
    for (int i = 0; i < 84; ++i)
        kanji += "\x93\xfa";
    const std::string utf8 = SafeFilePath(kanji + ".txt").string();
    EXPECT_LE(utf8.size(), 255u);
    EXPECT_EQ(utf8.substr(utf8.size() - 7), "\xe6\x97\xa5.txt");
}

} // namespace
