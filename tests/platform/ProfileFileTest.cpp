#include "platform/ProfileFile.h"

#include "TestDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

using platform::GetProfileInt;
using platform::GetProfileString;
using platform::WriteProfileString;
using testutil::ReadBytes;
using testutil::WriteBytes;

namespace {

TEST(ProfileFile, ReadsValuesAsWritten)
{
    testutil::ScratchDir dir;
    const auto f = dir / "r.lum";
    EXPECT_EQ(GetProfileString(f, "config", "k", "dflt"), "dflt");
    EXPECT_EQ(GetProfileInt(f, "config", "k", 119), 119);
    WriteBytes(f, "  [ Config ]  \n"
                  "StrNntpServer  =  news.example.jp  \n"
                  "empty=\r\n"
                  "a=\"Quorvane Inc.\"\n"
                  "b=\"\"twice\"\"\n"
                  "c=\"open only\n"
                  "d=\"\n"
                  "e=in \"the\" middle\n"
                  "port=  119abc\nneg=-12\nword=abc\nquoted=\"34\"\n"
                  "huge=99999999999999999999\nhugeneg=-99999999999999999999\n"
                  "[other]\nx=1\n");
    const std::pair<const char*, const char*> strings[] = {
        {"strnntpserver", "news.example.jp"}, {"empty", ""}, {"missing", "dflt"}, {"x", "dflt"},
        {"a", "Quorvane Inc."}, {"b", "\"twice\""}, {"c", "\"open only"}, {"d", "\""},
        {"e", "in \"the\" middle"},
    };
    for (auto [key, want] : strings)
        EXPECT_EQ(GetProfileString(f, "CONFIG", key, "dflt"), want) << key;
    const std::pair<const char*, int> ints[] = {
        {"port", 119}, {"neg", -12}, {"word", 0}, {"empty", 5}, {"missing", 5}, {"quoted", 34},
        {"huge", INT_MAX}, {"hugeneg", INT_MIN},
    };
    for (auto [key, want] : ints)
        EXPECT_EQ(GetProfileInt(f, "config", key, 5), want) << key;
    EXPECT_EQ(GetProfileString(f, "nosection", "x", "dflt"), "dflt");

    ASSERT_TRUE(WriteProfileString(f, "config", "STRNNTPSERVER", std::string_view("b.example")));
    EXPECT_EQ(ReadBytes(f).substr(0, 41), "  [ Config ]  \r\nSTRNNTPSERVER=b.example\r\n");
}

TEST(ProfileFile, ReadsLfAndCrLfWritesCrLfAndKeepsOtherLines)
{
    testutil::ScratchDir dir;
    const auto f = dir / "keep.lum";
    WriteBytes(f, "; comment first\n"
                  "[other]\r\n"
                  "x = 1\n"
                  "junk line without equals\n"
                  "[config]\n"
                  "nNntpPort=119\r\n"
                  "\n"
                  "[last]\n"
                  "y=2");
    EXPECT_EQ(GetProfileString(f, "other", "x", ""), "1");
    EXPECT_EQ(GetProfileString(f, "last", "y", ""), "2");

    ASSERT_TRUE(WriteProfileString(f, "config", "nNntpPort", std::string_view("8119")));
    ASSERT_TRUE(WriteProfileString(f, "config", "strNntpServer", std::string_view("news")));
    ASSERT_TRUE(WriteProfileString(f, "new", "k", std::string_view("v")));
    EXPECT_EQ(ReadBytes(f), "; comment first\r\n"
                            "[other]\r\n"
                            "x = 1\r\n"
                            "junk line without equals\r\n"
                            "[config]\r\n"
                            "nNntpPort=8119\r\n"
                            "strNntpServer=news\r\n"
                            "\r\n"
                            "[last]\r\n"
                            "y=2\r\n"
                            "[new]\r\n"
                            "k=v\r\n");
}

TEST(ProfileFile, NullValueDeletesEveryCopyOfTheKeyInThatSectionOnly)
{
    testutil::ScratchDir dir;
    const auto f = dir / "del.lum";
    WriteBytes(f, "[config]\r\nk=1\r\nK=2\r\nm=3\r\n[other]\r\nk=4\r\n");
    ASSERT_TRUE(WriteProfileString(f, "CONFIG", "k", std::nullopt));
    EXPECT_EQ(ReadBytes(f), "[config]\r\nm=3\r\n[other]\r\nk=4\r\n");
    EXPECT_EQ(GetProfileString(f, "config", "k", "gone"), "gone");

    // Deleting what is not there leaves the file exactly as it was.
    WriteBytes(f, "[config]\nm=3\n");
    EXPECT_TRUE(WriteProfileString(f, "config", "nokey", std::nullopt));
    EXPECT_TRUE(WriteProfileString(f, "nosection", "m", std::nullopt));
    EXPECT_EQ(ReadBytes(f), "[config]\nm=3\n");
}

TEST(ProfileFile, LongValuesAreReadWhole)
{
    testutil::ScratchDir dir;
    const auto f = dir / "long.lum";
    std::string base64;
    for (int i = 0; i < 3000; ++i)
        base64 += "ABCDabcd0123+/="[i % 15];
    ASSERT_TRUE(WriteProfileString(f, "config", "strSignature0", base64));
    EXPECT_EQ(GetProfileString(f, "config", "strSignature0", ""), base64);
}

TEST(ProfileFile, ShiftJisBytesPassUntouched)
{
    testutil::ScratchDir dir;
    const auto f = dir / "sjis.lum";
    // "表示" has 0x5C as a trail byte, "ア" (83 41) and "ヂ" (83 61) differ only in an
    // ASCII-letter trail byte, and half-width kana stand alone.
    const std::string value = "\x95\x5c\x8e\xa6 \xb1\xb2 Quorvane\x81\x40";
    const std::string keyA = "\x83\x41", keyB = "\x83\x61";
    ASSERT_TRUE(WriteProfileString(f, "config", "strOrganization", value));
    ASSERT_TRUE(WriteProfileString(f, "config", keyA, std::string_view("A")));
    ASSERT_TRUE(WriteProfileString(f, "config", keyB, std::string_view("B")));
    EXPECT_EQ(GetProfileString(f, "config", "strOrganization", ""), value);
    EXPECT_EQ(GetProfileString(f, "config", keyA, ""), "A");
    EXPECT_EQ(GetProfileString(f, "config", keyB, ""), "B");
    EXPECT_NE(ReadBytes(f).find("strOrganization=" + value + "\r\n"), std::string::npos);

    // "ゾ" (83 5D) ends in the byte of ']' and still names a whole section.
    const std::string section = "\x83\x5d";
    ASSERT_TRUE(WriteProfileString(f, section, "k", std::string_view("1")));
    ASSERT_TRUE(WriteProfileString(f, section, "k", std::string_view("2")));
    EXPECT_EQ(GetProfileString(f, section, "k", ""), "2");
    const std::string text = ReadBytes(f);
    EXPECT_EQ(text.find("[" + section + "]"), text.rfind("[" + section + "]"));
}

TEST(ProfileFile, LineBreaksInAValueCannotSplitTheFile)
{
    testutil::ScratchDir dir;
    const auto f = dir / "nl.lum";
    ASSERT_TRUE(WriteProfileString(f, "config", "strRealName", std::string_view("a\r\n[evil]\nb")));
    EXPECT_EQ(GetProfileString(f, "config", "strRealName", ""), "a  [evil] b");
    EXPECT_EQ(GetProfileString(f, "evil", "b", "none"), "none");
}

TEST(ProfileFile, WriteFailuresAreReportedAndHarmNothing)
{
    testutil::ScratchDir dir;
    EXPECT_FALSE(WriteProfileString(dir / "no-such-dir" / "x.lum", "config", "k", std::string_view("v")));
    // A path that cannot be read as a file is never replaced.
    std::filesystem::create_directory(dir / "adir");
    EXPECT_FALSE(WriteProfileString(dir / "adir", "config", "k", std::string_view("v")));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "adir"));
}

TEST(ProfileFile, ModeAndSymbolicLinkSurviveAWrite)
{
    testutil::ScratchDir dir;
    const auto f = dir / "m.lum";
    WriteBytes(f, "[config]\n");
    ::chmod(f.c_str(), 0640);
    std::filesystem::create_symlink(f, dir / "link.lum");
    ASSERT_TRUE(WriteProfileString(dir / "link.lum", "config", "k", std::string_view("v")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.lum"));
    EXPECT_EQ(ReadBytes(f), "[config]\r\nk=v\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Only the file itself is left in the folder: no temporary files.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(ProfileFile, SeveralWritesReplaceTheFileOnce)
{
    testutil::ScratchDir dir;
    const auto f = dir / "batch.lum";
    WriteBytes(f, "[config]\nnNntpPort=119\nstrMarkFile=news.rc\n[keep]\nx=1\n");
    ASSERT_TRUE(platform::WriteProfileStrings(f, "config",
                                              {{"nNntpPort", "8119"},
                                               {"strMarkFile", std::nullopt},
                                               {"strNntpServer", "news.example"},
                                               {"STRNNTPSERVER", "news2.example"}}));
    EXPECT_EQ(ReadBytes(f), "[config]\r\nnNntpPort=8119\r\nSTRNNTPSERVER=news2.example\r\n[keep]\r\nx=1\r\n");

    // Writing what is already there leaves the file alone, even one we may not replace.
    ::chmod(dir.path().c_str(), 0500);
    if (::geteuid() != 0) {
        EXPECT_FALSE(WriteProfileString(f, "config", "nNntpPort", std::string_view("1")));
    }
    EXPECT_TRUE(WriteProfileString(f, "config", "nNntpPort", std::string_view("8119")));
    ::chmod(dir.path().c_str(), 0700);
}

} // namespace
