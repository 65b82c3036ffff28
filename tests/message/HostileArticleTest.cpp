// Articles written to attack the reader, through the tool as a user runs it:
// each row names what must hold however the article is built.
#include "RenderSupport.h"

#include "message/Attachment.h"
#include "message/OutputBudget.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "tools/ToolCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace message;

namespace {

std::string Repeat(std::string_view piece, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += piece;
    return s;
}

std::string Base64Lines(std::string_view data) { return textcodec::Base64EncodeText(data); }

std::string Base64Word(std::string_view data)
{
    std::string word = textcodec::Base64EncodeText(data);
    std::erase(word, '\n');
    return word;
}

struct Outcome {
    std::string shown, listing;
    std::uintmax_t written = 0;
    std::size_t longestLine = 0;
};

Outcome RunTool(const std::string& message, const std::string& folder)
{
    const std::filesystem::path input = testutil::ScratchFile(message, "hostile");
    Outcome o;
    std::ostringstream out, err, listing;
    tools::RenderCommand({"--message", input.string()}, out, err);
    o.shown = out.str();
    for (std::size_t at = 0, lf; at < o.shown.size(); at = lf + 1) {
        lf = std::min(o.shown.find('\n', at), o.shown.size());
        o.longestLine = std::max(o.longestLine, lf - at);
    }
    const std::filesystem::path dir = testutil::Scratch() / folder;
    tools::ExtractCommand({"--message", input.string(), dir.string()}, listing, err);
    o.listing = listing.str();
    for (const auto& e : std::filesystem::directory_iterator(dir))
        o.written += e.file_size();
    return o;
}

struct Row {
    const char* name;
    std::string message;
    std::vector<std::string> listed;     // names extract must save
    std::vector<std::string> notListed;  // names it must not
    std::size_t longestLine;             // bound on a shown line
    std::uintmax_t written;              // bound on all extract writes
};

TEST(HostileArticles, StayWithinTheirBounds)
{
    constexpr std::size_t kLine = BodyRenderer::DisplayLimits{}.lineBytes + 64;
    const std::string mixed = "Subject: s\nContent-Type: multipart/mixed; boundary=\"b\"\n\n";
    const std::string real = "--b\nContent-Type: application/octet-stream; name=real.bin\n"
                             "Content-Transfer-Encoding: base64\n\nQUJD\n--b--\n";
    const Row rows[] = {
        {"UTF-7 text converting into a delimiter and a part header",
         mixed + "--b\nContent-Type: text/plain; charset=UTF-7\n\nhello"
                 "+AAoALQAtAGIACgBDAG8AbgB0AGUAbgB0AC0AVAB5AHAAZQA6ACAAYQBwAHAAbABpAGMAYQB0AGkAbwBuAC8AbwBjAHQAZQB0AC0AcwB0"
                 "AHIAZQBhAG0AOwAgAG4AYQBtAGUAPQBzAG0AdQBnAGcAbABlAGQALgBlAHgAZQAKAAoATQBaAAoALQAtAGIALQAtAAo-\n--b--\n",
         {}, {"smuggled.exe"}, kLine, 4096},
        // In IBM037 'K' is '.', '%' a line feed and "``" is "--".
        {"EBCDIC text converting into the end line before the attachment",
         mixed + "--b\nContent-Type: text/plain; charset=IBM037\n\nK\n%K%\n``\x82\n" + real,
         {"real.bin"}, {}, kLine, 4096},
        {"thousands of unclosed alternatives",
         "Subject: s\nContent-Type: multipart/mixed; boundary=\"o\"\n\n" +
             Repeat("--o\nContent-Type: multipart/alternative; boundary=\"i\"\n\n--i\n"
                    "Content-Type: application/octet-stream\n\n" + std::string(200, 'x') + "\n", 3000) + "--o--\n",
         {}, {}, kLine, 4 * 1024 * 1024},
        {"Base64 text without a line end",
         "Subject: s\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\n" +
             Base64Lines(std::string(1 << 20, 'a')),
         {}, {}, kLine, 2u << 20},
        {"quoted-printable text of soft breaks only",
         "Subject: s\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n" +
             Repeat(std::string(70, 'q') + "=\n", 16000),
         {}, {}, kLine, 2u << 20},
    };
    int k = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Outcome o = RunTool(r.message, "hostile" + std::to_string(k++));
        for (const std::string& name : r.listed)
            EXPECT_NE(o.listing.find("\t" + name + "\t"), std::string::npos) << o.listing;
        for (const std::string& name : r.notListed)
            EXPECT_EQ(o.listing.find(name), std::string::npos) << o.listing;
        EXPECT_LE(o.longestLine, r.longestLine);
        EXPECT_LE(o.written, r.written);
    }
}

TEST(HostileArticles, RenderPrintsNoTerminalControls)
{
    const std::string esc = "\x1b]0;owned\x07\x1b[2J";
    const std::string message = "Subject: =?UTF-8?B?" + Base64Word(esc) +
                                "?=\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n\nplain " + esc +
                                "\n--b\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n" +
                                Base64Lines("b64 " + esc + "\xc2\x9b" + "2J\n") +
                                "--b\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\nqp "
                                "=1B]0;x=07\n--b\nContent-Type: text/plain; charset=UTF-7\n\nu7 +ABsAWwAyAEo-\n"
                                "--b\nContent-Type: application/octet-stream; name=\"a\x1b[2Jb\"\n\nx\n--b--\n";
    for (const char* flag : {"--all", "--tags"}) {
        const std::filesystem::path input = testutil::ScratchFile(message, "escapes");
        std::ostringstream out, err;
        tools::RenderCommand({flag, "--message", input.string()}, out, err);
        EXPECT_EQ(out.str().find('\x1b'), std::string::npos) << out.str();
        EXPECT_EQ(out.str().find('\x07'), std::string::npos);
        EXPECT_EQ(out.str().find("\xc2\x9b"), std::string::npos);
        EXPECT_NE(out.str().find("plain"), std::string::npos);
    }
}

TEST(HostileArticles, ExtractKeepsFilesAlreadyInTheFolder)
{
    const std::filesystem::path dir = testutil::Scratch() / "kept";
    std::filesystem::create_directories(dir);
    testutil::WriteFile(dir / "real.bin", "mine");
    const std::string message = "Subject: s\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
                                "--b\nContent-Type: application/octet-stream; name=real.bin\n"
                                "Content-Transfer-Encoding: base64\n\nQUJD\n--b--\n";
    std::ostringstream listing, err;
    tools::ExtractCommand({"--message", testutil::ScratchFile(message, "kept-input").string(), dir.string()}, listing, err);
    EXPECT_EQ(testutil::ReadFile(dir / "real.bin"), "mine");
    EXPECT_EQ(testutil::ReadFile(dir / "real.bin-2"), "ABC") << listing.str();
}

TEST(HostileArticles, RunLengthDataStopsAtTheBudget)
{
    // Zeros shrink to a few bytes a run, so the written form outgrows the budget.
    const std::string data(200000, '\0');
    const std::string article = MakeCacheText("Subject: s\n\n" + textcodec::BinHexEncode(data, "zeros.bin"));
    auto r = testutil::Render(article);
    ASSERT_FALSE(r->renderer->Attachments().empty());
    CAttachment& block = *r->renderer->Attachments().back();
    const std::filesystem::path dir = testutil::Scratch() / "rle";
    std::filesystem::create_directories(dir);
    OutputBudget small(50000);
    block.SetOutputBudget(&small);
    try {
        block.SaveInto(dir, "zeros.bin");
        ADD_FAILURE() << "saved past the budget";
    } catch (const AttachmentError& e) {
        EXPECT_EQ(e.ErrorKind(), AttachmentError::Kind::Limit);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "zeros.bin"));
    OutputBudget enough(OutputBudget::ForArticle(article.size()));
    block.SetOutputBudget(&enough);
    block.SaveInto(dir, "zeros.bin");
    EXPECT_EQ(std::filesystem::file_size(dir / "zeros.bin"), data.size());
}

} // namespace
