// yEnc blocks in an article: kept byte for byte in the cache, shown as a
// placeholder, saved (or saved as damaged) like the other attachments.

#include "RenderSupport.h"

#include "message/Attachment.h"
#include "textcodec/Yenc.h"

#include <gtest/gtest.h>

using namespace message;
using namespace textcodec;
using testutil::ReadFile;

namespace {

// Every byte value, so NUL, ^Z, ESC and JIS/EUC look-alikes all pass through.
std::string AllBytes(size_t n)
{
    std::string data;
    for (size_t i = 0; i < n; ++i)
        data += static_cast<char>(i * 31 + i / 256);
    // Encoded, these give a JIS escape sequence on a line of its own.
    for (char c : std::string_view("\x1b$B0!\x1b(B"))
        data += static_cast<char>(c - 42);
    return data;
}

// An article as received, made into the cache form line by line.
std::string Article(std::string_view body)
{
    return MakeCacheText("From: a@example.jp\r\nSubject: file yEnc (3/12)\r\n\r\nsee below\r\n" + std::string(body) +
                         "thanks\r\n");
}

std::string Block(std::string_view data, YencPartInfo info)
{
    info.lineEnd = "\r\n";
    return YencEncode(data, info);
}

} // namespace

TEST(YencAttachment, ShownAsAPlaceholderAndSavedByteForByte)
{
    const std::string data = AllBytes(5000);
    YencPartInfo part;
    part.name = "photo.jpg";
    part.part = 3;
    part.total = 12;
    part.fileSize = 1258291;
    part.begin = 100001;
    struct Row {
        const char* what;
        YencPartInfo info;
        const char* marker;
        const char* savedAs;
    } rows[] = {
        {"single", {.name = "photo.jpg"}, "(yEnc: photo.jpg, 4.9 KB)", "photo.jpg"},
        {"part", part, "(yEnc: photo.jpg, 1.2 MB, 3/12)", "photo.jpg"},
        {"path in the name", {.name = "../../home/x/.bashrc"}, "(yEnc: bashrc, 4.9 KB)", "bashrc"},
        {"control characters", {.name = "a\x01\x1b[31mb.txt"}, "(yEnc: a[31mb.txt, 4.9 KB)", "a[31mb.txt"},
        {"no name", {}, "(yEnc: attachment, 4.9 KB)", "attachment"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto r = testutil::Render(Article(Block(data, row.info)));
        const std::string shown = r->sink.PlainText();
        EXPECT_NE(shown.find(row.marker), std::string::npos) << shown;
        EXPECT_NE(shown.find("thanks"), std::string::npos);
        EXPECT_EQ(shown.find("=ybegin"), std::string::npos);
        CYencAttachment* yenc = nullptr;
        for (const auto& a : r->renderer->Attachments())
            if (auto* y = dynamic_cast<CYencAttachment*>(a.get()))
                yenc = y;
        ASSERT_NE(yenc, nullptr);
        EXPECT_FALSE(yenc->IsInline());
        testutil::ScratchDir dir;
        yenc->SaveInto(dir.path(), yenc->SafePath());
        EXPECT_EQ(yenc->SafePath().string(), row.savedAs);
        EXPECT_TRUE(ReadFile(dir / row.savedAs) == data);
        std::string source;
        ASSERT_TRUE(yenc->GetSource(source));
        EXPECT_TRUE(source.starts_with("=ybegin ")) << source.substr(0, 40);
        EXPECT_TRUE(source.find("=yend") != std::string::npos);
    }
}

TEST(YencAttachment, DamagedDataIsSavedUnderADamagedName)
{
    const std::string data = AllBytes(3000);
    const std::string good = Block(data, {.name = "f.bin"});
    std::string badCrc = good;
    badCrc.replace(badCrc.rfind("crc32=") + 6, 8, "00000000");
    const std::string cut = good.substr(0, good.rfind("=yend"));
    for (const std::string& body : {badCrc, cut}) {
        auto r = testutil::Render(Article(body));
        ASSERT_FALSE(r->renderer->Attachments().empty());
        CAttachment& a = *r->renderer->Attachments().back();
        testutil::ScratchDir dir;
        try {
            a.SaveInto(dir.path(), "f.bin");
            ADD_FAILURE() << "saved as sound";
        } catch (const AttachmentError& e) {
            EXPECT_EQ(e.ErrorKind(), AttachmentError::Kind::Damaged);
            EXPECT_NE(std::string(e.what()).find("f.damaged.bin"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "f.bin"));
        EXPECT_TRUE(ReadFile(dir / "f.damaged.bin").starts_with(data));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}
