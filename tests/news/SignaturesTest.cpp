#include "ScriptedHost.h"

#include "news/LumeDoc.h"
#include "news/Signatures.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace newstest;
using namespace news;

namespace {

// Shift_JIS text with CR LF line ends, as the editor keeps it.
const std::string kSig = "-- \r\n\x8e\x52\x93\x63\x20\x91\xbe\x98\x59 <taro@example.jp>\r\n";

// Base64 of bytes as Python's base64 module gives it.
std::string PeerBase64(const std::string& bytes, const ScratchDir& dir)
{
    WriteFile(dir / "peer", bytes);
    const std::string cmd = "python3 -c 'import base64,sys;sys.stdout.write(base64.b64encode("
                            "open(sys.argv[1],\"rb\").read()).decode())' " + (dir / "peer").string();
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST(Signatures, AccessorsAndStoredForm)
{
    ScratchDir dir;
    platform::Registry registry(dir / "registry");
    CSignatureStore store(registry);
    ASSERT_TRUE(store.SetSignature(1, kSig));
    std::vector<std::uint8_t> bytes;   // a binary value: the text and one zero byte
    ASSERT_EQ(platform::Registry(dir / "registry").GetBinary("Signature", "sign1", bytes), kSig.size() + 1);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_TRUE(store.SetSignature(1, ""));                   // writes nothing
    EXPECT_EQ(store.GetSignature(1), kSig);
    registry.WriteString("Signature", "sign2", "not binary");
    EXPECT_EQ(store.GetSignature(2), "");
    registry.WriteInt("Signature", "nSelect", 7);
    EXPECT_EQ(store.GetSignSelect(), 0);
}

TEST(Signatures, ConfigurationCarriesThemAsBase64)
{
    ScratchDir dir, other;
    platform::Registry registry(dir / "registry"), otherRegistry(other / "registry");
    CSignatureStore store(registry), otherStore(otherRegistry);
    std::string longSig;
    while (longSig.size() < 3000)
        longSig += "\x83\x65\x83\x58\x83\x67 signature line\r\n";
    ASSERT_TRUE(store.SetSignature(0, kSig) && store.SetSignature(2, longSig));
    ASSERT_TRUE(store.SetSignSelect(2) && store.SetSignAutoInsert(true));
    CLumeDoc doc(nullptr, registry);
    doc.OnNewDocument();
    ASSERT_TRUE(doc.OnSaveDocument(dir / "s.lum"));
    const std::string longB64 = PeerBase64(longSig, dir);
    ASSERT_GT(longB64.size(), 1022u);
    EXPECT_NE(ReadFile(dir / "s.lum").find("\r\nbSignAutoInsert=YES\r\nnSignSelect=2\r\nstrSignature0=" +
                                           PeerBase64(kSig, dir) + "\r\nstrSignature1=\r\nstrSignature2=" +
                                           longB64 + "\r\n"),
              std::string::npos);

    // Another machine: opening the file installs them, long ones whole;
    // empty or invalid ones leave the stored text.
    ASSERT_TRUE(otherStore.SetSignature(1, "kept"));
    CLumeDoc otherDoc(nullptr, otherRegistry);
    ASSERT_TRUE(otherDoc.OnOpenDocument(dir / "s.lum"));
    EXPECT_EQ(otherStore.GetSignature(0) + otherStore.GetSignature(1) + otherStore.GetSignature(2), kSig + "kept" + longSig);
    EXPECT_EQ(otherStore.GetSignSelect(), 2);
    EXPECT_TRUE(otherStore.GetSignAutoInsert());
    WriteFile(dir / "o.lum", "[config]\r\nstrSignature0=%%%%\r\nstrSignature1=" + PeerBase64("new\r\n", dir) +
                                 "\r\nstrSignature2=abc\r\n");
    ASSERT_TRUE(otherDoc.OnOpenDocument(dir / "o.lum"));
    EXPECT_EQ(otherStore.GetSignature(0) + otherStore.GetSignature(1) + otherStore.GetSignature(2),
              kSig + "new\r\n" + longSig);
    EXPECT_FALSE(otherStore.GetSignAutoInsert());             // the file's switch, read as missing
}

} // namespace
