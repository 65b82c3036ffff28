// yEnc against uudeview and sabyenc (the decoder SABnzbd uses), and the
// damaged forms a reader meets: wrong CRCs and sizes, a missing "=yend",
// parts missing, repeated or out of order.

#include <gtest/gtest.h>

#include "support/TestFiles.h"
#include "textcodec/Yenc.h"

using namespace textcodec;
using namespace testutil;

namespace {

// Bytes that need every kind of escape, and blanks and dots at line edges.
std::string Sample(size_t n, unsigned seed = 7)
{
    std::string s = RandomBytes(n, seed + static_cast<unsigned>(n));
    for (size_t i = 0; i < n; i += 97)
        s[i] = static_cast<char>(i % 3 == 0 ? 256 - 42 : i % 3 == 1 ? '=' - 42 : ' ' - 42);
    return s;
}

// The file split into parts of partSize bytes, each encoded as its own block.
std::vector<std::string> Parts(const std::string& data, size_t partSize)
{
    std::vector<std::string> parts;
    const unsigned total = static_cast<unsigned>((data.size() + partSize - 1) / partSize);
    const std::uint32_t crc = Crc32(0, data);
    for (unsigned k = 0; k < total; ++k) {
        YencPartInfo info;
        info.name = "file.bin";
        info.fileSize = data.size();
        info.part = k + 1;
        info.total = total;
        info.begin = k * partSize + 1;
        info.haveFileCrc = k + 1 == total;
        info.fileCrc = crc;
        parts.push_back(YencEncode(std::string_view(data).substr(k * partSize, partSize), info));
    }
    return parts;
}

struct Decoded {
    std::string out;
    YencStatus status;
    std::string problem;
};

Decoded Decode(std::string_view text, size_t step = 0)
{
    YencDecoder d;
    Decoded r;
    r.out = step ? RunCodecInPieces(d, text, step) : RunCodec(d, text);
    r.status = d.Status();
    r.problem = d.Problem();
    return r;
}

std::string Replace(std::string s, std::string_view from, std::string_view to)
{
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        s.replace(at, from.size(), to);
    return s;
}

std::string WithoutLast(std::string s, std::string_view keyword)
{
    const size_t at = s.rfind(keyword);
    return at == std::string::npos ? s : s.substr(0, at);
}

} // namespace

TEST(Yenc, OursAndThePeersDecodeEachOther)
{
    const bool uu = HaveProgram("uudeview") && HaveProgram("uuenview");
    const bool sab = RunShell("/usr/bin/python3 -c 'import sabyenc3' 2>/dev/null");
    if (!uu && !sab)
        GTEST_SKIP() << "neither uudeview nor python3-sabyenc installed";
    ScratchDir dir;
    const std::string cd = "cd " + Quote(dir.path()) + " && ";
    for (size_t n : {1, 2, 127, 128, 129, 300, 5000, 100000, 1 << 20}) {
        SCOPED_TRACE(n);
        const std::string data = Sample(n);
        WriteFile(dir / "in.bin", data);
        YencPartInfo info;
        info.name = "in.bin";
        const std::string ours = YencEncode(data, info);
        WriteFile(dir / "ours.txt", ours);
        // uudeview passes over blocks of only a few lines.
        if (uu && n >= 4096) {
            std::filesystem::remove_all(dir / "out");
            std::filesystem::create_directory(dir / "out");
            ASSERT_TRUE(RunShell(cd + "uudeview -i -q -p out ours.txt >/dev/null 2>&1"));
            EXPECT_TRUE(ReadFile(dir / "out" / "in.bin") == data);
            // The peer's single block, and its parts one after another.
            ASSERT_TRUE(RunShell(cd + "uuenview -y -a in.bin > single.txt 2>/dev/null"));
            EXPECT_EQ(Decode(ReadFile(dir / "single.txt")).out, data);
            ASSERT_TRUE(RunShell(cd + "rm -f in.0* && uuenview -y -o -20 in.bin >/dev/null 2>&1;"
                                      " cat $(ls in.0* 2>/dev/null || echo single.txt) > split.txt"));
            const Decoded split = Decode(Crlf(ReadFile(dir / "split.txt")), 1000);
            EXPECT_EQ(split.out, data);
            EXPECT_EQ(split.status, YencStatus::Ok) << split.problem;
        }
        if (sab) {
            // sabyenc reads an NNTP body: CR LF lines.
            WriteFile(dir / "ours.crlf", Crlf(ours));
            ASSERT_TRUE(RunShell(cd + "/usr/bin/python3 -c 'import sabyenc3,sys; d,n,ok=sabyenc3.decode_usenet_chunks("
                                      "[open(\"ours.crlf\",\"rb\").read()]); assert ok and n==\"in.bin\";"
                                      " open(\"sab.bin\",\"wb\").write(d)'"));
            EXPECT_EQ(ReadFile(dir / "sab.bin"), data);
            ASSERT_TRUE(RunShell(cd + "/usr/bin/python3 -c 'import sabyenc3; e,c=sabyenc3.encode(open(\"in.bin\",\"rb\").read());"
                                      " open(\"sab.txt\",\"wb\").write(b\"=ybegin line=128 size=%d name=in.bin\\r\\n\" % "
                                      "len(open(\"in.bin\",\"rb\").read()) + e + b\"\\r\\n=yend crc32=%08x\\r\\n\" % c)'"));
            const Decoded back = Decode(ReadFile(dir / "sab.txt"));
            EXPECT_EQ(back.out, data);
            EXPECT_EQ(back.status, YencStatus::Ok) << back.problem;
        }
    }
}

// Any cut of the input gives the bytes and the verdict of one Put, for
// single blocks, parts in a row, long lines and CR LF.
TEST(Yenc, InputCutAnywhereDecodesTheSame)
{
    const std::string data = Sample(5000);
    YencPartInfo crlf;
    crlf.lineEnd = "\r\n";
    YencPartInfo longLines;
    longLines.lineLength = 100000;
    std::string parts;
    for (const auto& p : Parts(data, 1200))
        parts += "some text between\n" + p;
    for (const std::string& text : {YencEncode(data, {}), YencEncode(data, crlf), YencEncode(data, longLines), parts}) {
        for (size_t step : {1, 2, 3, 7, 127, 4096}) {
            SCOPED_TRACE(step);
            const Decoded d = Decode(text, step);
            EXPECT_EQ(d.out, data);
            EXPECT_EQ(d.status, YencStatus::Ok) << d.problem;
        }
    }
}

TEST(Yenc, ALineOfTenMegabytesDecodes)
{
    const std::string data = Sample(10 << 20);
    YencPartInfo info;
    info.lineLength = 12 << 20;
    const std::string text = YencEncode(data, info);
    ASSERT_LT(std::count(text.begin(), text.end(), '\n'), 4);
    const Decoded d = Decode(text, 1 << 20);
    EXPECT_TRUE(d.out == data);
    EXPECT_EQ(d.status, YencStatus::Ok) << d.problem;
}

// Each damage is reported with its kind, and the data that came is kept.
TEST(Yenc, DamageIsReportedAndTheDataKept)
{
    const std::string data = Sample(3000);
    const std::vector<std::string> p = Parts(data, 1000);
    const std::string single = YencEncode(data, {});
    const std::string singleCrc = single.substr(single.rfind("crc32=") + 6, 8);
    const std::string pcrc = p[1].substr(p[1].rfind("pcrc32=") + 7, 8);
    struct Row {
        const char* what;
        std::string text;
        YencStatus status;
        size_t bytes;
    } rows[] = {
        {"whole", single, YencStatus::Ok, 3000},
        {"all parts", p[0] + p[1] + p[2], YencStatus::Ok, 3000},
        {"one part alone", p[1], YencStatus::Ok, 1000},
        {"file CRC wrong", Replace(single, "crc32=" + singleCrc, "crc32=0badc0de"), YencStatus::BadCrc, 3000},
        {"part CRC wrong", p[0] + Replace(p[1], "pcrc32=" + pcrc, "pcrc32=12345678") + p[2], YencStatus::BadCrc, 3000},
        {"size on =yend wrong", Replace(single, "=yend size=3000", "=yend size=2999"), YencStatus::BadSize, 3000},
        {"size on =ybegin wrong", Replace(single, "size=3000 name", "size=3001 name"), YencStatus::BadSize, 3000},
        {"no =yend", WithoutLast(single, "=yend"), YencStatus::NoEnd, 3000},
        {"a part cut short", p[0] + WithoutLast(p[1], "=yend") + p[2], YencStatus::NoEnd, 3000},
        {"a part missing", p[0] + p[2], YencStatus::OutOfOrder, 2000},
        {"parts swapped", p[1] + p[0] + p[2], YencStatus::OutOfOrder, 3000},
        {"a part twice", p[0] + p[1] + p[1] + p[2], YencStatus::OutOfOrder, 4000},
        {"last part missing", p[0] + p[1], YencStatus::Ok, 2000},
        {"no yEnc at all", "begin 644 x\nend\n", YencStatus::NoBegin, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Decoded d = Decode(row.text);
        EXPECT_EQ(d.status, row.status) << d.problem;
        EXPECT_EQ(d.out.size(), row.bytes);
        EXPECT_EQ(d.problem.empty(), row.status == YencStatus::Ok) << d.problem;
    }
}

TEST(Yenc, KeywordLinesAreReadAsPostersWriteThem)
{
    struct Row {
        const char* line;
        std::string name;
        std::uint64_t size;
        unsigned part, total;
    } rows[] = {
        {"=ybegin line=128 size=5 name=a b  c.jpg  ", "a b  c.jpg", 5, 0, 0},
        {"=ybegin size=5 line=128 name=size=9 part=3", "size=9 part=3", 5, 0, 0},
        {"=ybegin part=3 total=12 line=128 size=5 name=../../etc/x\x01", "../../etc/x\x01", 5, 3, 12},
        {"=ybegin name=", "", 0, 0, 0},
        {"=ybegin size=99999999999999999999999 name=x", "x", 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        YencDecoder d;
        RunCodec(d, std::string(row.line) + "\r\n");
        ASSERT_TRUE(d.Started());
        EXPECT_EQ(d.Header().name, row.name);
        EXPECT_EQ(d.Header().size, row.size);
        EXPECT_EQ(d.Header().part, row.part);
        EXPECT_EQ(d.Header().total, row.total);
    }
    // A keyword line longer than the carry is cut, not kept whole.
    YencDecoder d;
    RunCodec(d, "=ybegin size=1 name=" + std::string(1 << 20, 'n') + "\n");
    EXPECT_LE(d.Header().name.size(), kYencMaxKeywordLine);
}

TEST(Yenc, DamagedFilesGetANameThatSaysSo)
{
    const std::pair<const char*, const char*> rows[] = {
        {"photo.jpg", "photo.damaged.jpg"},
        {"archive.part01.rar", "archive.part01.damaged.rar"},
        {"README", "README.damaged"},
        {".hidden", ".hidden.damaged"},
        {"dir.d/file", "dir.d/file.damaged"},
    };
    for (const auto& [in, want] : rows)
        EXPECT_EQ(DamagedFileName(in), want) << in;

    ScratchDir dir;
    const std::string data = Sample(500);
    const std::string text = YencEncode(data, {});
    WriteFile(dir / "bad.txt", Replace(text, "=yend size=500", "=yend size=501"));
    WriteFile(dir / "good.txt", text);
    WriteFile(dir / "out.bin", "what was there");
    YencDecoder bad;
    EXPECT_EQ(YencDecodeFile(dir / "bad.txt", dir / "out.bin", bad), YencFileStatus::Damaged);
    EXPECT_EQ(ReadFile(dir / "out.damaged.bin"), data);
    EXPECT_EQ(ReadFile(dir / "out.bin"), "what was there");
    YencDecoder good;
    EXPECT_EQ(YencDecodeFile(dir / "good.txt", dir / "out.bin", good), YencFileStatus::Ok);
    EXPECT_EQ(ReadFile(dir / "out.bin"), data);
    // Through the tool: a failing exit and the damaged name.
    const std::string tool = std::string(LUMETRA_BINARY_DIR) + "/tools/lumetra-tool";
    EXPECT_FALSE(RunShell(tool + " decode yenc " + Quote(dir / "bad.txt") + " " + Quote(dir / "t.bin") + " 2>/dev/null"));
    EXPECT_EQ(ReadFile(dir / "t.damaged.bin"), data);
    EXPECT_TRUE(RunShell(tool + " decode yenc " + Quote(dir / "good.txt") + " " + Quote(dir / "t.bin")));
    EXPECT_EQ(ReadFile(dir / "t.bin"), data);
}

// The two parts of a picture as a 2001 poster sent them, whole articles one
// after the other (headers between the blocks pass unused).
TEST(Yenc, PostedPartsJoinToThePicture)
{
    // CI keeps shared/ beside the clone.
    std::filesystem::path corpus = "/work/shared/corpus/mime";
    if (!std::filesystem::exists(corpus))
        corpus = std::filesystem::path(LUMETRA_SOURCE_DIR).parent_path() / "shared" / "corpus" / "mime";
    if (!std::filesystem::exists(corpus / "joystick.jpg"))
        GTEST_SKIP() << "no corpus";
    const std::string both = ReadFile(corpus / "00000020.ntx") + ReadFile(corpus / "00000021.ntx");
    for (size_t step : {size_t{0}, size_t{5}}) {
        const Decoded d = Decode(both, step);
        EXPECT_EQ(d.status, YencStatus::Ok) << d.problem;
        EXPECT_TRUE(d.out == ReadFile(corpus / "joystick.jpg"));
    }
    // One part alone is sound as a part; only the join checks the whole.
    const Decoded second = Decode(ReadFile(corpus / "00000021.ntx"));
    EXPECT_EQ(second.status, YencStatus::Ok) << second.problem;
}
