#include "TestUtil.h"

#include "message/Attachment.h"
#include "message/MimeRender.h"
#include "platform/TempFiles.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/Uuencode.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace message;
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

std::filesystem::path Out(const std::string& name) { return testutil::ScratchDir() / ("out-" + name); }

CAttachment& Part(testutil::Rendered& r, std::size_t i)
{
    EXPECT_GT(r.renderer->Attachments().size(), i);
    return *r.renderer->Attachments()[i];
}

TEST(CMimeAttachment, CopySavingUndoesDotStuffingAndKeepsOtherBytes)
{
    auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                         "Content-Type: application/x-thing\nContent-Transfer-Encoding: 7bit\n\n"
                         "..\n..x\nctrl-z \x1a and a bare\rcr\n--\n--b--\n"));
    Part(*r, 0).SaveTo(Out("copy"));
    EXPECT_EQ(ReadFile(Out("copy")), ".\r\n.x\r\nctrl-z \x1a and a bare\rcr\r\n--\r\n");
}

TEST(CMimeAttachment, UnknownEncodingSavesTheTextUnchanged)
{
    auto r = Render(Crlf("Content-Type: application/x-thing\nContent-Transfer-Encoding: x-gzip64\n\nabc\n..d\n.\n"));
    Part(*r, 0).SaveTo(Out("unknown"));
    EXPECT_EQ(ReadFile(Out("unknown")), "abc\r\n.d\r\n");
}

TEST(CMimeAttachment, WithoutBoundaryADoubleHyphenLineIsData)
{
    auto r = Render(Crlf("Content-Type: application/x-thing\n\nsig follows\n--\nname\n.\n"));
    Part(*r, 0).SaveTo(Out("nob"));
    EXPECT_EQ(ReadFile(Out("nob")), "sig follows\r\n--\r\nname\r\n");
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

TEST(CMimeAttachment, Base64EndsAtTheBoundaryWithoutAnEmptyLineAndWithoutPadding)
{
    std::string enc = Base64Lines("hello!!", 76); // "aGVsbG8hIQ=="
    enc.erase(enc.find('='), 2);
    auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                         "Content-Transfer-Encoding: base64\nContent-Type: application/x\n\n") +
                    enc + Crlf("--b\nContent-Type: text/plain\n\nnext\n--b--\n"));
    Part(*r, 0).SaveTo(Out("b64b"));
    EXPECT_EQ(ReadFile(Out("b64b")), "hello!!");
}

TEST(CMimeAttachment, QuotedPrintableSaving)
{
    auto r = Render(Crlf("Content-Type: application/x\nContent-Transfer-Encoding: quoted-printable\n\n"
                         "caf=E9 soft=\nbreak \n..dot=3D\n.\n"));
    Part(*r, 0).SaveTo(Out("qp"));
    EXPECT_EQ(ReadFile(Out("qp")), "caf\xE9 softbreak\r\n.dot=\r\n");
}

TEST(CMimeAttachment, MacBinHexWithoutEncodingSavesThroughBinHex)
{
    const std::string data = Binary();
    auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                         "Content-Type: application/mac-binhex40; name=\"x.hqx\"\n\n" +
                         BinHexEncode(data, "x.bin") + "\n--b--\n"));
    EXPECT_EQ(Part(*r, 0).GetContentType(), "application/mac-binhex40");
    Part(*r, 0).SaveTo(Out("hqx"));
    EXPECT_EQ(ReadFile(Out("hqx")), data);
}

TEST(CMimeAttachment, UuencodedPartsSaveThroughUudecode)
{
    // 14 bytes in the last line make it start with ".", which the server doubles.
    const std::string data = Binary().substr(0, 45 * 3 + 14);
    std::string uu = Crlf(Uuencode(data, 0644, "d.bin"));
    std::string stuffed;
    std::size_t pos = 0;
    while (pos < uu.size()) {
        std::size_t end = uu.find('\n', pos) + 1;
        std::string line = uu.substr(pos, end - pos);
        stuffed += (line[0] == '.' ? "." : "") + line;
        pos = end;
    }
    ASSERT_NE(stuffed.find("\r\n.."), std::string::npos);
    for (const char* header : {"Content-Type: application/octet-stream\nContent-Transfer-Encoding: x-uuencode\n\n",
                               "Content-Type: application/x-uuencode\n\n"}) {
        auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n") + Crlf(header) + stuffed +
                        Crlf("--b--\n"));
        Part(*r, 0).SaveTo(Out("uu"));
        EXPECT_EQ(ReadFile(Out("uu")), data) << header;
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
}

TEST(EmbeddedBlocks, BrokenBlocksFailToSave)
{
    auto r = Render(Crlf("Subject: x\n\nbegin 644 a.bin\nM(((\n\ntext\n"));
    ASSERT_EQ(r->renderer->Attachments().size(), 2u);
    try {
        r->renderer->Attachments()[1]->SaveTo(Out("broken"));
        FAIL() << "no exception";
    } catch (const AttachmentError& e) {
        EXPECT_EQ(e.kind(), AttachmentError::Kind::Decode);
    }
}

TEST(CMimeAttachment, SourceOfAPartHasHeaderAndUnstuffedBody)
{
    auto r = Render(Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: image/png\n\n..x\ny\n--b--\n"));
    std::string source;
    ASSERT_TRUE(Part(*r, 0).GetSource(source));
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
    std::filesystem::path victim = testutil::WriteFile("keep me", "victim");
    std::filesystem::remove(opened);
    std::filesystem::create_symlink(victim, opened);
    ASSERT_FALSE(Part(*r, 0).Open(false, desktop).empty());
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(opened));
    std::filesystem::remove(opened);
}

TEST(CAttachment, OpenFailsCleanlyWithoutAnAssociation)
{
    auto r = Render(Crlf("Content-Type: application/x; name=nothing.xyz\n\nabc\n"));
    FakeDesktop desktop;
    desktop.result = false;
    EXPECT_TRUE(Part(*r, 0).Open(false, desktop).empty());
    ASSERT_EQ(desktop.calls.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(desktop.calls[0].first));
}

TEST(CAttachment, NothingIsReadAfterTheCacheFileClosed)
{
    auto r = Render(Crlf("Content-Type: application/x; name=a.bin\n\nabc\n"));
    r->file->Close();
    EXPECT_THROW(Part(*r, 0).SaveTo(Out("closed")), AttachmentError);
    std::string source = "x";
    EXPECT_FALSE(Part(*r, 0).GetSource(source));
    FakeDesktop desktop;
    EXPECT_TRUE(Part(*r, 0).Open(false, desktop).empty());
    EXPECT_TRUE(desktop.calls.empty());
}

TEST(CAttachment, SaveToAnUnwritablePathRaisesAFileError)
{
    auto r = Render(Crlf("Content-Type: application/x; name=a.bin\n\nabc\n"));
    try {
        Part(*r, 0).SaveTo("/nonexistent-dir/x");
        FAIL() << "no exception";
    } catch (const AttachmentError& e) {
        EXPECT_EQ(e.kind(), AttachmentError::Kind::File);
    }
}

TEST(SafeFileName, KeepsOnlyAPlainBaseName)
{
    EXPECT_EQ(SafeFileName("report.pdf"), "report.pdf");
    EXPECT_EQ(SafeFileName("../../.bashrc"), "bashrc");
    EXPECT_EQ(SafeFileName("/etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("a\\..\\..\\b.txt"), "b.txt");
    EXPECT_EQ(SafeFileName("C:evil"), "evil");
    EXPECT_EQ(SafeFileName(".."), "attachment");
    EXPECT_EQ(SafeFileName(""), "attachment");
    EXPECT_EQ(SafeFileName("dir/"), "attachment");
    EXPECT_EQ(SafeFileName("a\nb\x01" "c"), "abc");
    // 表 ends in the byte of a backslash; it is a character, not a separator.
    EXPECT_EQ(SafeFileName("\x95\x5c.txt"), "\x95\x5c.txt");
    const std::string longName = std::string(300, 'n') + ".jpeg";
    EXPECT_EQ(SafeFileName(longName), std::string(195, 'n') + ".jpeg");
    std::string longSjis;
    for (int i = 0; i < 150; ++i)
        longSjis += "\x82\xa0";
    EXPECT_EQ(SafeFileName(longSjis).size(), 200u);
}

TEST(SafeFilePath, JapaneseNamesBecomeUtf8FileNames)
{
    EXPECT_EQ(SafeFilePath("\x93\xfa\x96{.txt").string(), "\xe6\x97\xa5\xe6\x9c\xac.txt"); // 日本.txt
    EXPECT_EQ(SafeFilePath("../\x95\x5c.txt").string(), "\xe8\xa1\xa8.txt");                 // 表.txt
    EXPECT_EQ(SafeFilePath("a\x80\xff.bin").string(), "a__.bin");
}

} // namespace
