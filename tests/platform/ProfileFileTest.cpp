#include "platform/ProfileFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

using platform::GetProfileInt;
using platform::GetProfileString;
using platform::WriteProfileString;
using testutil::ReadFile;
using testutil::WriteFile;

namespace {

struct ProfileFile : ::testing::Test {
    testutil::ScratchDir dir;
    const std::filesystem::path f = dir / "p.lum";
    bool Write(const std::string& section, const std::string& key, std::string_view value)
    {
        return WriteProfileString(f, section, key, value);
    }
};

TEST_F(ProfileFile, ReadsValuesAsWritten)
{
    EXPECT_EQ(GetProfileString(f, "config", "k", "dflt"), "dflt");
    EXPECT_EQ(GetProfileInt(f, "config", "k", 119), 119);
    WriteFile(f, "  [ Config ]  \nStrNntpServer  =  news.example.jp  \nempty=\r\na=\"Quorvane Inc.\"\n"
                 "b=\"\"twice\"\"\nc=\"open only\nd=\"\ne=in \"the\" middle\n"
                 "port=  119abc\nneg=-12\nword=abc\nquoted=\"34\"\n"
                 "huge=99999999999999999999\nhugeneg=-99999999999999999999\n[other]\nx=1\n");
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

    ASSERT_TRUE(Write("config", "STRNNTPSERVER", "b.example"));
    EXPECT_EQ(ReadFile(f).substr(0, 41), "  [ Config ]  \r\nSTRNNTPSERVER=b.example\r\n");
    // Line breaks in a value cannot split the file.
    ASSERT_TRUE(Write("config", "strRealName", "a\r\n[evil]\nb"));
    EXPECT_EQ(GetProfileString(f, "config", "strRealName", ""), "a  [evil] b");
    EXPECT_EQ(GetProfileString(f, "evil", "b", "none"), "none");
}

TEST_F(ProfileFile, ReadsLfAndCrLfWritesCrLfAndKeepsOtherLines)
{
    WriteFile(f, "; comment first\n[other]\r\nx = 1\njunk line without equals\n[config]\nnNntpPort=119\r\n\n"
                 "[last]\ny=2");
    EXPECT_EQ(GetProfileString(f, "other", "x", ""), "1");
    EXPECT_EQ(GetProfileString(f, "last", "y", ""), "2");
    ASSERT_TRUE(Write("config", "nNntpPort", "8119"));
    ASSERT_TRUE(Write("config", "strNntpServer", "news"));
    ASSERT_TRUE(Write("new", "k", "v"));
    EXPECT_EQ(ReadFile(f), "; comment first\r\n[other]\r\nx = 1\r\njunk line without equals\r\n[config]\r\n"
                           "nNntpPort=8119\r\nstrNntpServer=news\r\n\r\n[last]\r\ny=2\r\n[new]\r\nk=v\r\n");
}

TEST_F(ProfileFile, NullValueDeletesEveryCopyOfTheKeyInThatSectionOnly)
{
    WriteFile(f, "[config]\r\nk=1\r\nK=2\r\nm=3\r\n[other]\r\nk=4\r\n");
    ASSERT_TRUE(WriteProfileString(f, "CONFIG", "k", std::nullopt));
    EXPECT_EQ(ReadFile(f), "[config]\r\nm=3\r\n[other]\r\nk=4\r\n");
    EXPECT_EQ(GetProfileString(f, "config", "k", "gone"), "gone");
    // Deleting what is not there leaves the file exactly as it was.
    WriteFile(f, "[config]\nm=3\n");
    EXPECT_TRUE(WriteProfileString(f, "config", "nokey", std::nullopt));
    EXPECT_TRUE(WriteProfileString(f, "nosection", "m", std::nullopt));
    EXPECT_EQ(ReadFile(f), "[config]\nm=3\n");
}

TEST_F(ProfileFile, LongValuesAndShiftJisBytesPassWhole)
{
    std::string base64;
    while (base64.size() < 3000)
        base64 += "ABCDabcd0123+/=";
    ASSERT_TRUE(Write("config", "strSignature0", base64));
    EXPECT_EQ(GetProfileString(f, "config", "strSignature0", ""), base64);

    // "表示" has 0x5C as a trail byte, "ア" (83 41) and "ヂ" (83 61) differ only in an
    // ASCII-letter trail byte, and half-width kana stand alone.
    const std::string value = "\x95\x5c\x8e\xa6 \xb1\xb2 Quorvane\x81\x40";
    const std::string keyA = "\x83\x41", keyB = "\x83\x61";
    ASSERT_TRUE(Write("config", "strOrganization", value));
    ASSERT_TRUE(Write("config", keyA, "A"));
    ASSERT_TRUE(Write("config", keyB, "B"));
    EXPECT_EQ(GetProfileString(f, "config", "strOrganization", "") + GetProfileString(f, "config", keyA, "") +
                  GetProfileString(f, "config", keyB, ""), value + "AB");
    EXPECT_NE(ReadFile(f).find("strOrganization=" + value + "\r\n"), std::string::npos);

    // "ゾ" (83 5D) ends in the byte of ']' and still names a whole section.
    const std::string section = "\x83\x5d";
    ASSERT_TRUE(Write(section, "k", "1"));
    ASSERT_TRUE(Write(section, "k", "2"));
    EXPECT_EQ(GetProfileString(f, section, "k", ""), "2");
    const std::string text = ReadFile(f);
    EXPECT_EQ(text.find("[" + section + "]"), text.rfind("[" + section + "]"));
}

TEST_F(ProfileFile, FailedWritesHarmNothingModeAndSymbolicLinkSurvive)
{
    EXPECT_FALSE(WriteProfileString(dir / "no-such-dir" / "x.lum", "config", "k", std::string_view("v")));
    // A path that cannot be read as a file is never replaced.
    std::filesystem::create_directory(dir / "adir");
    EXPECT_FALSE(WriteProfileString(dir / "adir", "config", "k", std::string_view("v")));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "adir"));
    std::filesystem::remove(dir / "adir");

    WriteFile(f, "[config]\n");
    ::chmod(f.c_str(), 0640);
    std::filesystem::create_symlink(f, dir / "link.lum");
    ASSERT_TRUE(WriteProfileString(dir / "link.lum", "config", "k", std::string_view("v")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.lum"));
    EXPECT_EQ(ReadFile(f), "[config]\r\nk=v\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Only the file and the link are left in the folder: no temporary files.
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_EQ(entries, 2);
}

TEST_F(ProfileFile, SeveralWritesReplaceTheFileOnce)
{
    WriteFile(f, "[config]\nnNntpPort=119\nstrMarkFile=news.rc\n[keep]\nx=1\n");
    ASSERT_TRUE(platform::WriteProfileStrings(f, "config",
                                              {{"nNntpPort", "8119"},
                                               {"strMarkFile", std::nullopt},
                                               {"strNntpServer", "news.example"},
                                               {"STRNNTPSERVER", "news2.example"}}));
    EXPECT_EQ(ReadFile(f), "[config]\r\nnNntpPort=8119\r\nSTRNNTPSERVER=news2.example\r\n[keep]\r\nx=1\r\n");

    // Writing what is already there leaves the file alone, even one we may not replace.
    ::chmod(dir.path().c_str(), 0500);
    if (::geteuid() != 0) {
        EXPECT_FALSE(Write("config", "nNntpPort", "1"));
    }
    EXPECT_TRUE(Write("config", "nNntpPort", "8119"));
    ::chmod(dir.path().c_str(), 0700);
}

} // namespace
