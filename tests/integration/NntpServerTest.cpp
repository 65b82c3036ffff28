// The NNTP client against a real INN (scripts/inn-server.sh). Every test posts
// its own articles and finds them by a unique tag, so other traffic on the
// server does not matter.
#include "ServerSupport.h"

#include "net/Nntp.h"
#include "net/PostCodec.h"

using namespace textcodec;
using namespace net;

namespace fs = std::filesystem;
using inttest::Server;
using inttest::Tag;
using testutil::ReadFile;
using testutil::Shell;
using testutil::WriteFile;

namespace {

bool Connect(CNntp& nntp, const Server& s)
{
    return nntp.Open(s.host, 1, s.port) == 1 && nntp.ReadGreeting() == 1;
}

std::string Unstuff(const std::string& text)
{
    std::string out;
    for (const std::string& line : testutil::SplitLines(text))
        out += (line.starts_with("..") ? line.substr(1) : line) + "\n";
    return out;
}

// The newest article of group whose field holds tag (among the last 300); 0 if none.
int FindArticle(const Server& s, const std::string& group, const std::string& tag, const char* field = "Subject")
{
    inttest::Poster p(s);
    const auto [first, last] = p.Range(group);
    const std::vector<int> found = p.Find(group, std::max(first, last - 300), last, tag, field);
    return found.empty() ? 0 : found.front();
}

std::string Fetch(CNntp& nntp, int number)
{
    int code = 0;
    if (!nntp.Article(number, code))
        return {};
    std::string text;
    EXPECT_TRUE(nntp.ReadData(text));
    return text;
}

std::string Peer(const fs::path& article, const std::string& mode, const std::string& arg)
{
    return Shell(std::string("python3 " LUMETRA_SOURCE_DIR "/tests/integration/article_peer.py '") + article.string() + "' " +
               mode + " '" + arg + "'");
}

// Posts p over a connection of its own, finds it by tag and enters its group on reader.
int PostAndFind(const Server& s, CNntp& reader, const CNntpPostMessageParam& p, const std::string& tag,
                const char* field = "Subject")
{
    CNntp poster;
    if (!Connect(poster, s))
        return 0;
    EXPECT_EQ(poster.Post(p), 1) << poster.LastReply();
    EXPECT_EQ(poster.ReplyCode(), 240);
    std::string reply;
    int count = 0, first = 0, last = 0;
    EXPECT_EQ(reader.Group(p.fieldValues[1], reply, count, first, last), 1);
    return FindArticle(s, p.fieldValues[1], tag, field);
}

CNntpPostMessageParam Article(const std::string& group, const std::string& subject, int code)
{
    CNntpPostMessageParam p;
    p.kanjiCode = static_cast<KanjiCode>(code);
    p.fieldNames = {"From:", "Newsgroups:", "Subject:"};
    p.fieldValues = {"tester@example.invalid", group, subject};
    p.bodyTexts = {"x\n"};
    return p;
}

TEST(NntpServer, RefusedPostingsLeaveTheConnectionUsable)
{
    REQUIRE_SERVER();
    CNntp nntp;
    ASSERT_TRUE(Connect(nntp, *server));
    CNntpPostMessageParam noSubject = Article("local.test", "", 1), readonly = Article("local.readonly", "ro", 1);
    noSubject.fieldNames.pop_back();
    noSubject.fieldValues.pop_back();
    for (const CNntpPostMessageParam* p : {&noSubject, &readonly}) {
        EXPECT_EQ(nntp.Post(*p), 0);
        EXPECT_EQ(nntp.ReplyCode(), 441);
    }
    const std::string tag = Tag();
    EXPECT_EQ(nntp.Post(Article("local.test", "after refusals " + tag, 1)), 1);
    EXPECT_GT(FindArticle(*server, "local.test", tag), 0);
}

struct Binary {
    const char* name;
    std::string bytes;
};

std::vector<Binary> Binaries()
{
    std::mt19937 rng(7);
    auto random = [&](std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s)
            c = static_cast<char>(rng());
        return s;
    };
    std::string runs = random(500) + std::string(300, '\x90') + "\x90\x90\x01" + std::string(700, '\0') + random(100);
    return {
        {"one.bin", "\x90"},
        {"fourteen.bin", random(14)},       // uuencode: a line of 14 bytes starts with "."
        {"onefortynine.bin", random(149)},
        {"runs.bin", runs},
        {"big.bin", random(120000)},
    };
}

TEST(NntpServer, AttachmentsDecodeBackByteForByte)
{
    REQUIRE_SERVER();
    testutil::ScratchDir scratch;
    struct Encoding {
        int code;
        const char* type;
        std::string (*command)(const fs::path& in, const std::string& name);
    } encodings[] = {
        {0, "application/octet-stream", [](const fs::path& in, const std::string&) { return "base64 -w 72 '" + in.string() + "'"; }},
        {1, "application/mac-binhex40", [](const fs::path& in, const std::string&) { return "binhex -d '" + in.string() + "'"; }},
        {2, "application/x-uuencode", [](const fs::path& in, const std::string& name) { return "uuencode '" + in.string() + "' '" + name + "'"; }},
    };
    CNntp reader;
    ASSERT_TRUE(Connect(reader, *server));
    for (const Binary& b : Binaries()) {
        fs::path original = scratch / b.name;
        WriteFile(original, b.bytes);
        for (const Encoding& e : encodings) {
            SCOPED_TRACE(std::string(b.name) + " as " + e.type);
            fs::path encoded = scratch / "encoded.txt";
            WriteFile(encoded, Shell(e.command(original, b.name)));
            const std::string tag = Tag();
            CNntpPostMessageParam p = Article("local.test", "attach " + tag, 1);
            p.attachEncoding = e.code;
            p.bodyTexts = {"see attached\n"};
            p.attachPath = original;
            p.encodedPath = encoded;
            int n = PostAndFind(*server, reader, p, tag);
            ASSERT_GT(n, 0);
            std::string article = Unstuff(Fetch(reader, n));
            fs::path stored = scratch / "article.txt";
            WriteFile(stored, article);
            fs::remove_all(scratch / "hexbin");
            fs::remove(scratch / "out.bin");
            // The CR LF before a delimiter belongs to it: the text is exactly what was written.
            EXPECT_EQ(Peer(stored, "attachment", scratch.path().string()), std::string(e.type) + "\nsee attached\n");
            EXPECT_TRUE(ReadFile(scratch / "out.bin") == b.bytes);
        }
    }
}

TEST(NntpServer, JapaneseInEachCodeReadsBack)
{
    REQUIRE_SERVER();
    testutil::ScratchDir scratch;
    // "日本語のテスト" and a body with kanji, kana and half-width katakana, in Shift_JIS.
    const std::string subjectSjis = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x58\x83\x67";
    const std::string subjectUtf8 = "日本語のテスト";
    const std::string fromSjis = "\x8e\x8e\x8c\xb1 <tester@example.invalid>";
    const std::string fromUtf8 = "試験 <tester@example.invalid>";
    const std::string bodySjis = "\x82\xb1\x82\xea\x82\xcd\x96\x7b\x95\xb6\x82\xc5\x82\xb7\x81\x42\n.\x82\xa0\n";
    const std::string bodyUtf8 = "これは本文です。\n.あ\n\n";
    const char* charsets[] = {"iso-2022-jp", "cp932", "euc-jp"};
    CNntp reader;
    ASSERT_TRUE(Connect(reader, *server));
    for (int code : {0, 1, 2}) {
        SCOPED_TRACE(code);
        const std::string tag = Tag();
        CNntpPostMessageParam p;
        p.kanjiCode = static_cast<KanjiCode>(code);
        p.fieldNames = {"From:", "Newsgroups:", "Subject:", "X-Tag:"};
        p.fieldValues = {fromSjis, "local.japanese", subjectSjis, tag};
        p.bodyTexts = {bodySjis};
        int n = PostAndFind(*server, reader, p, tag, "X-Tag");
        ASSERT_GT(n, 0);
        std::string article = Unstuff(Fetch(reader, n));
        std::string header = article.substr(0, article.find("\r\n\r\n") + 2);
        // Headers always travel as encoded words, whatever the body's code.
        EXPECT_NE(header.find("\r\nSubject: =?ISO-2022-JP?B?GyRC"), std::string::npos) << header;
        // Every code is labelled, so other readers need not guess it.
        const char* const labels[] = {"charset=ISO-2022-JP", "charset=Shift_JIS", "charset=EUC-JP"};
        EXPECT_NE(header.find("\r\nContent-Type: text/plain; " + std::string(labels[code]) + "\r\n"),
                  std::string::npos)
            << header;
        fs::path stored = scratch / "article.txt";
        WriteFile(stored, article);
        EXPECT_EQ(Peer(stored, "header", "Subject"), subjectUtf8);
        EXPECT_EQ(Peer(stored, "header", "From"), fromUtf8);
        EXPECT_EQ(Peer(stored, "body", charsets[code]), bodyUtf8); // the mail library gives LF line ends
    }
}

} // namespace
