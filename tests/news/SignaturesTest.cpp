#include "TestSupport.h"

#include "news/LumeDoc.h"
#include "news/Signatures.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace newstest;
namespace fs = std::filesystem;

namespace {

struct SignaturesTest : ::testing::Test {
    TempDir dir;
    platform::Registry registry{dir / "registry"};
    CSignatureStore store{&registry};
};

// Shift_JIS text with CR LF line ends, as the editor keeps it.
const std::string kSig = "-- \r\n\x8e\x52\x93\x63\x20\x91\xbe\x98\x59 <taro@example.jp>\r\n";

// Base64 of bytes as Python's base64 module gives it.
std::string PeerBase64(const std::string& bytes, const fs::path& scratch)
{
    WriteFile(scratch, bytes);
    const std::string cmd = "python3 -c 'import base64,sys;sys.stdout.write(base64.b64encode(open(sys.argv[1],\"rb\").read()).decode())' " + scratch.string();
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST_F(SignaturesTest, FreshStoreAndAccessors)
{
    EXPECT_EQ(store.GetSignSelect(), 0);
    EXPECT_FALSE(store.GetSignAutoInsert());
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(store.GetSignature(n), "");

    ASSERT_TRUE(store.SetSignSelect(2));
    ASSERT_TRUE(store.SetSignAutoInsert(true));
    ASSERT_TRUE(store.SetSignature(1, kSig));
    platform::Registry reread(dir / "registry");
    CSignatureStore again(&reread);
    EXPECT_EQ(again.GetSignSelect(), 2);
    EXPECT_TRUE(again.GetSignAutoInsert());
    EXPECT_EQ(again.GetSignature(1), kSig);
    EXPECT_EQ(again.GetSignature(0), "");

    // Stored as a binary value: the text and one zero byte.
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(reread.GetBinary("Signature", "sign1", bytes), kSig.size() + 1);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_EQ(reread.GetInt("Signature", "nSelect", -1), 2);
    EXPECT_EQ(reread.GetInt("Signature", "bAutoInsert", -1), 1);
}

TEST_F(SignaturesTest, EmptyTextsOtherKindsAndLongTexts)
{
    ASSERT_TRUE(store.SetSignature(0, "first"));
    EXPECT_TRUE(store.SetSignature(0, ""));   // writes nothing
    EXPECT_EQ(store.GetSignature(0), "first");
    ASSERT_TRUE(store.DeleteSignature(0));      // the editor's way to clear one
    EXPECT_EQ(store.GetSignature(0), "");

    registry.WriteString("Signature", "sign2", "not binary");
    EXPECT_EQ(store.GetSignature(2), "");

    std::string longSig;
    for (int i = 0; longSig.size() < 40000; ++i)
        longSig += "\x93\xfa\x96\x7b\x8c\xea line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(store.SetSignature(2, longSig));
    EXPECT_EQ(store.GetSignature(2), longSig);

    EXPECT_FALSE(store.SetSignature(3, "x"));
    EXPECT_EQ(store.GetSignature(-1), "");

    registry.WriteInt("Signature", "nSelect", 7);
    EXPECT_EQ(store.GetSignSelect(), 0);
    EXPECT_EQ(store.GetStoredSelect(), 7);
}

TEST_F(SignaturesTest, ConfigurationCarriesTheSignaturesAsBase64)
{
    std::string longSig;
    while (longSig.size() < 3000)
        longSig += "\x83\x65\x83\x58\x83\x67 signature line\r\n";
    ASSERT_TRUE(store.SetSignature(0, kSig));
    ASSERT_TRUE(store.SetSignature(2, longSig));
    ASSERT_TRUE(store.SetSignSelect(2));
    ASSERT_TRUE(store.SetSignAutoInsert(true));

    RecordingHost host;
    CLumeDoc doc(&host, &registry);
    doc.OnNewDocument();
    ASSERT_TRUE(doc.OnSaveDocument(dir / "s.lum"));
    const std::string b64 = PeerBase64(kSig, dir / "peer1");
    const std::string longB64 = PeerBase64(longSig, dir / "peer2");
    ASSERT_FALSE(b64.empty()) << "python3 missing";
    ASSERT_GT(longB64.size(), 1022u);
    const std::string text = ReadFile(dir / "s.lum");
    EXPECT_NE(text.find("\r\nstrSignature0=" + b64 + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nstrSignature1=\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nstrSignature2=" + longB64 + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nnSignSelect=2\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nbSignAutoInsert=YES\r\n"), std::string::npos);

    // Another machine: opening the file installs them, long ones whole.
    TempDir other;
    platform::Registry otherRegistry(other / "registry");
    CSignatureStore otherStore(&otherRegistry);
    ASSERT_TRUE(otherStore.SetSignature(1, "kept"));
    CLumeDoc otherDoc(&host, &otherRegistry);
    ASSERT_TRUE(otherDoc.OnOpenDocument(dir / "s.lum"));
    EXPECT_EQ(otherStore.GetSignature(0), kSig);
    EXPECT_EQ(otherStore.GetSignature(1), "kept");   // empty in the file: stays
    EXPECT_EQ(otherStore.GetSignature(2), longSig);
    EXPECT_EQ(otherStore.GetSignSelect(), 2);
    EXPECT_TRUE(otherStore.GetSignAutoInsert());
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(SignaturesTest, OpeningReplacesOnlyValidNonEmptySignatures)
{
    ASSERT_TRUE(store.SetSignature(0, "zero"));
    ASSERT_TRUE(store.SetSignature(1, "one"));
    ASSERT_TRUE(store.SetSignature(2, "two"));
    ASSERT_TRUE(store.SetSignSelect(1));
    ASSERT_TRUE(store.SetSignAutoInsert(true));
    const std::string b64 = PeerBase64("new second\r\n", dir / "peer");
    WriteFile(dir / "o.lum", "[config]\r\nstrSignature0=%%%%\r\nstrSignature1=" + b64 + "\r\nstrSignature2=abc\r\n");
    CLumeDoc doc(nullptr, &registry);
    ASSERT_TRUE(doc.OnOpenDocument(dir / "o.lum"));
    EXPECT_EQ(store.GetSignature(0), "zero");          // not Base64
    EXPECT_EQ(store.GetSignature(1), "new second\r\n");
    EXPECT_EQ(store.GetSignature(2), "two");           // length not a multiple of 4
    // The file's (missing) selection and switch are installed as read.
    EXPECT_EQ(store.GetSignSelect(), 0);
    EXPECT_FALSE(store.GetSignAutoInsert());
}

} // namespace
