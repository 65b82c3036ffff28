// The Japanese converters against iconv, nkf and Python's email.header on
// the EDICT dictionary (EUC-JP, Debian package edict) and iconv's
// ISO-2022-JP and Shift_JIS versions of it. Missing pieces skip the test.

#include <gtest/gtest.h>

#include "CodecTest.h"
#include "platform/Sjis.h"
#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertToSjis.h"
#include "textcodec/HeaderWords.h"

using namespace textcodec;

using tctest::ToSjis;
using namespace testutil;

namespace {

const char* kEdict = "/usr/share/edict/edict";

// At most n bytes of Shift_JIS text, not splitting a character.
std::string CutChars(const std::string& s, size_t n)
{
    size_t i = 0;
    while (i < s.size()) {
        size_t len = platform::IsSjisLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
        if (i + len > n)
            break;
        i += len;
    }
    return s.substr(0, i);
}

int DetectedCode(const std::string& in, int code)
{
    CodeConverter cv;
    cv.Init(in.size() + 4);
    cv.SetCode(code, TC_SJIS);
    cv.Put(in.data(), in.size());
    cv.EndInput();
    return cv.InputCode();
}

// The corpus: EUC-JP lines of JIS X 0208 text and the peers' versions.
struct Corpus {
    bool ok = false;
    std::string why;
    std::vector<std::string> euc, jis, sjis;
    size_t dropped0212 = 0;
    testutil::ScratchDir dir;

    Corpus()
    {
        why = "EDICT (Debian package edict) or iconv not installed";
        if (!std::filesystem::exists(kEdict) || !testutil::HaveProgram("iconv"))
            return;
        // JIS X 0212 (SS3) is outside what the converter and CP932 handle.
        for (auto& l : SplitLines(ReadFile(kEdict))) {
            if (l.find('\x8F') != std::string::npos)
                ++dropped0212;
            else
                euc.push_back(std::move(l));
        }
        WriteFile(dir / "euc", Join(euc));
        // EUC-JP-MS gives the Windows (CP932) reading of the few symbols whose
        // Unicode differs between the JIS and the Windows tables (wave dash,
        // minus, double vertical line, cent, pound, not).
        why = "iconv refused the corpus or changed its line count";
        const std::string cd = "cd " + Quote(dir.path()) + " && iconv -f EUC-JP";
        if (!RunShell(cd + "-MS -t CP932 euc > sjis") || !RunShell(cd + " -t ISO-2022-JP euc > jis"))
            return;
        sjis = SplitLines(ReadFile(dir / "sjis"));
        jis = SplitLines(ReadFile(dir / "jis"));
        ok = sjis.size() == euc.size() && jis.size() == euc.size();
    }
};

Corpus& TheCorpus()
{
    static Corpus corpus;
    return corpus;
}

#define REQUIRE_CORPUS()                                                     \
    Corpus& c = TheCorpus();                                                 \
    if (!c.ok)                                                               \
    GTEST_SKIP() << c.why

} // namespace

TEST(JapanesePeers, EveryLineConvertsLikeIconv)
{
    REQUIRE_CORPUS();
    ASSERT_GT(c.euc.size(), 100000u);
    size_t badEuc = 0, badJis = 0, badSjis = 0;
    for (size_t i = 0; i < c.euc.size(); ++i) {
        if (ToSjis(c.euc[i], TC_EUC) != c.sjis[i] && ++badEuc < 5)
            ADD_FAILURE() << "EUC line " << i << ": " << testutil::Hex(c.euc[i]);
        if (ToSjis(c.jis[i], TC_AUTO_SJIS) != c.sjis[i] && ++badJis < 5)
            ADD_FAILURE() << "JIS line " << i << ": " << testutil::Hex(c.jis[i]);
        if (ToSjis(c.sjis[i], TC_AUTO_SJIS) != c.sjis[i] && ++badSjis < 5)
            ADD_FAILURE() << "SJIS line " << i << ": " << testutil::Hex(c.sjis[i]);
        // As raw header text each line is read in its own code.
        if (DecodeHeaderToSjis(c.sjis[i]) != c.sjis[i] && ++badSjis < 5)
            ADD_FAILURE() << "Shift_JIS header line " << i << ": " << testutil::Hex(c.sjis[i]);
        if (DecodeHeaderToSjis(c.euc[i]) != c.sjis[i] && ++badEuc < 5)
            ADD_FAILURE() << "EUC-JP header line " << i << ": " << testutil::Hex(c.euc[i]);
    }
    EXPECT_EQ(badEuc, 0u);
    EXPECT_EQ(badJis, 0u);
    EXPECT_EQ(badSjis, 0u);
}

TEST(JapanesePeers, AutomaticDetectionOfEucLines)
{
    // Short EUC texts can be valid Shift_JIS too: a line may differ from the
    // peer only when the detector did not settle on EUC.
    REQUIRE_CORPUS();
    for (int code : {TC_AUTO, TC_AUTO_EUC, TC_AUTO_SJIS}) {
        size_t wrong = 0;
        for (size_t i = 0; i < c.euc.size(); ++i)
            if (ToSjis(c.euc[i], code) != c.sjis[i]) {
                ++wrong;
                EXPECT_NE(DetectedCode(c.euc[i], code), TC_EUC) << "line " << i << " code " << code;
            }
        if (code == TC_AUTO_EUC) {
            EXPECT_EQ(wrong, 0u);
        }
    }
}

TEST(JapanesePeers, WholeFileLikeNkf)
{
    REQUIRE_CORPUS();
    REQUIRE_PEER("nkf");
    // nkf guesses the code of the whole file; -x keeps half-width kana.
    // TC_AUTO_SJIS reads EUC as Shift_JIS half-width kana by design, so EUC goes through TC_AUTO.
    for (auto [name, code] : {std::pair{"euc", TC_AUTO}, {"jis", TC_AUTO_SJIS}}) {
        ASSERT_TRUE(RunShell("nkf -s -x " + Quote(c.dir / name) + " > " + Quote(c.dir / "nkf.sjis")));
        EXPECT_TRUE(ToSjis(ReadFile(c.dir / name), code) == ReadFile(c.dir / "nkf.sjis")) << name;
    }
}

TEST(JapanesePeers, OutgoingTextDecodesBackWithIconv)
{
    REQUIRE_CORPUS();
    std::vector<std::string> jis;
    size_t eucBad = 0;
    for (size_t i = 0; i < c.sjis.size(); ++i) {
        jis.push_back(ConvertFromSjis(c.sjis[i], KanjiCode::Jis));
        if (ConvertFromSjis(c.sjis[i], KanjiCode::Euc) != c.euc[i] && ++eucBad < 5)
            ADD_FAILURE() << "EUC line " << i;
    }
    EXPECT_EQ(eucBad, 0u);
    WriteFile(c.dir / "ours.jis", Join(jis));
    ASSERT_TRUE(RunShell("iconv -f ISO-2022-JP -t EUC-JP " + Quote(c.dir / "ours.jis") + " > " +
                         Quote(c.dir / "ours.euc")));
    EXPECT_TRUE(ReadFile(c.dir / "ours.euc") == ReadFile(c.dir / "euc"));
}

TEST(JapanesePeers, EncodedWordsAgainstPythonEmailHeader)
{
    REQUIRE_CORPUS();
    REQUIRE_PEER("python3");
    // Header-sized values: the Japanese head of every 40th entry, and longer
    // ones made of several entries.
    std::vector<std::string> values;
    for (size_t i = 0; i < c.sjis.size(); i += 40) {
        const std::string& l = c.sjis[i];
        values.push_back(l.substr(0, l.find(" /")));
        if (i % 400 == 0 && i + 3 < c.sjis.size())
            values.push_back("Re: " + CutChars(c.sjis[i + 1], 60) + " " + CutChars(c.sjis[i + 2], 60));
    }
    // Ours encoded, Python decodes; Python encoded, ours decodes. Python's
    // codecs use the JIS reading, so the values go to it as EUC-JP; values
    // it cannot read (NEC row 13 symbols) are skipped on its side.
    std::string encoded, sources;
    for (const auto& v : values) {
        encoded += MimeHeaderEncode(ConvertFromSjis(v, KanjiCode::Jis)) + '\0';
        sources += ConvertFromSjis(v, KanjiCode::Euc) + '\0';
    }
    WriteFile(c.dir / "enc", encoded);
    WriteFile(c.dir / "src", sources);
    const char* script = R"PY(
import sys
from email.header import decode_header, Header
d = sys.argv[1]
enc, src = (open(d + f, 'rb').read().split(b'\0')[:-1] for f in ('/enc', '/src'))
bad = skipped = 0
out = []
for e, s in zip(enc, src):
    try:
        want = s.decode('euc_jp')
        got = ''.join(p.decode(cs or 'ascii') for p, cs in decode_header(e.decode('ascii')))
        out.append(Header(want, 'iso-2022-jp').encode().encode('ascii'))
    except (UnicodeDecodeError, LookupError):
        skipped += 1
        out.append(b'')
        continue
    # Python drops the blank that follows a fold.
    bad += ''.join(got.split()) != ''.join(want.split())
open(d + '/pyenc', 'wb').write(b'\0'.join(out) + b'\0')
print('python email.header: %d values, %d differ beyond blanks, %d skipped' % (len(enc), bad, skipped))
sys.exit(1 if bad else 0)
)PY";
    WriteFile(c.dir / "check.py", script);
    EXPECT_TRUE(RunShell("python3 " + Quote(c.dir / "check.py") + " " + Quote(c.dir.path())));
    std::string py = ReadFile(c.dir / "pyenc");
    size_t pos = 0, bad = 0, compared = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        size_t end = py.find('\0', pos);
        ASSERT_NE(end, std::string::npos);
        std::string word = py.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty())
            continue;
        // Python folds with LF and a blank; unfold before decoding.
        for (size_t at; (at = word.find("\n ")) != std::string::npos;)
            word.erase(at, 2);
        ++compared;
        if (ToSjis(MimeHeaderDecode(word), TC_AUTO_SJIS) != values[i] && ++bad < 5)
            ADD_FAILURE() << "python word " << word;
    }
    EXPECT_GT(compared, values.size() / 2);
    EXPECT_EQ(bad, 0u);
}

// The classes of difference from the peers, each pinned down.
TEST(JapanesePeerClasses, HalfWidthKanaWidenLikeNfkcWithSeparateSoundMarks)
{
    REQUIRE_PEER("python3");
    testutil::ScratchDir dir;
    // Python widens each half-width katakana (NFKC; the sound marks map to
    // the spacing forms U+309B/U+309C, as the system keeps them separate).
    const char* script = R"PY(
import sys, unicodedata
out = []
for b in range(0xA1, 0xE0):
    ch = bytes([b]).decode('cp932')
    w = {'\uff9e': '\u309b', '\uff9f': '\u309c'}.get(ch) or unicodedata.normalize('NFKC', ch)
    out.append(w.encode('euc_jp'))
sys.stdout.buffer.write(b'\n'.join(out))
)PY";
    WriteFile(dir / "w.py", script);
    ASSERT_TRUE(RunShell("python3 " + Quote(dir / "w.py") + " > " + Quote(dir / "wide")));
    auto wide = SplitLines(ReadFile(dir / "wide"));
    ASSERT_EQ(wide.size(), 63u);
    for (int b = 0xA1; b < 0xE0; ++b) {
        std::string k(1, static_cast<char>(b));
        EXPECT_EQ(ConvertFromSjis(k, KanjiCode::Euc), wide[b - 0xA1]) << std::hex << b;
    }
    // ConvertToSjis keeps them half-width, as iconv does for EUC-JP SS2 and
    // ISO-2022-JP-3 ESC ( I.
    if (testutil::HaveProgram("iconv")) {
        std::string euc, jis3 = "\x1B(I", sjis;
        for (int b = 0xA1; b < 0xE0; ++b) {
            euc += {'\x8E', static_cast<char>(b)};
            sjis += static_cast<char>(b);
            jis3 += static_cast<char>(b & 0x7F);
        }
        jis3 += "\x1B(B";
        WriteFile(dir / "euc", euc);
        WriteFile(dir / "jis3", jis3);
        ASSERT_TRUE(RunShell("cd " + Quote(dir.path()) +
                             " && iconv -f EUC-JP -t CP932 euc > p1 && iconv -f ISO-2022-JP-3 -t CP932 jis3 > p2"));
        EXPECT_EQ(ReadFile(dir / "p1") + "|" + ReadFile(dir / "p2"), sjis + "|" + sjis);
        EXPECT_EQ(ToSjis(euc, TC_AUTO), sjis);
        EXPECT_EQ(ToSjis(jis3, TC_AUTO_SJIS), sjis);
    }
}

TEST(JapanesePeerClasses, VendorExtensions)
{
    REQUIRE_PEER("iconv");
    testutil::ScratchDir dir;
    // NEC row 13 (circled digits, units): the code arithmetic gives JIS row
    // 0x2D, the same as iconv's EUC-JP-MS.
    std::vector<std::string> nec;
    for (int c = 0x40; c <= 0x9C; ++c)
        if (c != 0x7F)
            nec.push_back(std::string{'\x87', static_cast<char>(c)});
    WriteFile(dir / "nec", Join(nec) + "\n");
    ASSERT_TRUE(RunShell("iconv -c -f CP932 -t EUC-JP-MS " + Quote(dir / "nec") + " > " + Quote(dir / "nec.euc") +
                         " 2>/dev/null || true"));
    auto peer = SplitLines(ReadFile(dir / "nec.euc"));
    ASSERT_EQ(peer.size(), nec.size());
    size_t same = 0;
    for (size_t i = 0; i < nec.size(); ++i) {
        const std::string ours = ConvertFromSjis(nec[i], KanjiCode::Euc);
        EXPECT_EQ(static_cast<unsigned char>(ours[0]), 0xAD); // row 13
        // Otherwise the vendor left the cell empty, or the peer prefers a row 2 duplicate.
        if (peer[i] == ours)
            ++same;
        else if (!peer[i].empty() && static_cast<unsigned char>(peer[i][0]) != 0xA2)
            ADD_FAILURE() << "NEC cell " << testutil::Hex(nec[i]) << " peer " << testutil::Hex(peer[i]);
    }
    EXPECT_GT(same, 60u);
    // IBM extensions (0xFA40-0xFC4B) and the user-defined area have no JIS
    // X 0208 code: the full-width space, where iconv uses JIS X 0212 or the
    // EUC user area. Read as Shift_JIS they pass through unchanged.
    std::string ibm = "\xFA\x40\xFA\x55\xFB\x40\xFC\x4B\xF9\xFC\xF0\x40";
    EXPECT_EQ(ConvertFromSjis(ibm, KanjiCode::Euc), std::string(12, '\xA1'));
    EXPECT_EQ(ConvertFromSjis(ibm, KanjiCode::Jis), "\x1B$B!!!!!!!!!!!!\x1B(B");
    EXPECT_EQ(ToSjis(ibm, TC_AUTO_SJIS), ibm);
    // NEC-selected IBM extensions (0xED40-0xEEFC) follow the arithmetic to
    // JIS rows 0x79-0x7C and come back to the same Shift_JIS bytes.
    std::string sel = "\xED\x40\xEE\xEC\xEE\xFC";
    EXPECT_EQ(ToSjis(ConvertFromSjis(sel, KanjiCode::Euc), TC_EUC), sel);
    EXPECT_EQ(ToSjis(ConvertFromSjis(sel, KanjiCode::Jis), TC_AUTO_SJIS), sel);
}
