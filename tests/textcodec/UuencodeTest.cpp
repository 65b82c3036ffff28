#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestSupport.h"
#include "textcodec/Uuencode.h"

TEST(UuencodeFile, ModeBaseNameAndFailures)
{
    tctest::ScratchDir dir;
    tctest::WriteAll(dir / "empty.bin", "");
    ::chmod((dir / "empty.bin").c_str(), 0640);
    ASSERT_EQ(UuencodeFile(dir / "empty.bin", dir / "out"), UU_OK);
    EXPECT_EQ(tctest::ReadAll(dir / "out"), "begin 640 empty.bin\n`\nend\n");

    std::filesystem::create_directory(dir / "sub");
    tctest::WriteAll(dir / "sub" / "a.txt", "Cat");
    ::chmod((dir / "sub" / "a.txt").c_str(), 0644);
    ASSERT_EQ(UuencodeFile(dir / "sub" / "a.txt", dir / "out"), UU_OK);
    EXPECT_EQ(tctest::ReadAll(dir / "out"), "begin 644 a.txt\n#0V%T\n`\nend\n");
    EXPECT_EQ(Uuencode("x", 0644, "dir\\name.bin").substr(0, 22), "begin 644 dir\\name.bin");

    EXPECT_EQ(UuencodeFile(dir / "missing", dir / "out"), UU_INPUT_FAILED);
    EXPECT_EQ(UuencodeFile(dir / "sub" / "a.txt", dir / "no" / "out"), UU_OUTPUT_FAILED);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(UuencodeFile(dir / "sub" / "a.txt", "/dev/full"), UU_OUTPUT_FAILED);
    }
}

TEST(UudecodeFile, Results)
{
    tctest::ScratchDir dir;
    EXPECT_EQ(UudecodeFile(dir / "missing", dir / "out"), UUD_INPUT_FAILED);

    tctest::WriteAll(dir / "nobegin", "hello\nbegin\nbegin \n#0V%T\n`\nend\n");
    EXPECT_EQ(UudecodeFile(dir / "nobegin", dir / "out"), UUD_NO_BEGIN);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));

    tctest::WriteAll(dir / "ok", "text before\nbegin 644 cat.txt\n#0V%T\n`\nend\n");
    EXPECT_EQ(UudecodeFile(dir / "ok", dir / "no" / "out"), UUD_OUTPUT_FAILED);
    EXPECT_EQ(UudecodeFile(dir / "ok", dir / "out"), UUD_OK);
    EXPECT_EQ(tctest::ReadAll(dir / "out"), "Cat");

    // CR LF lines, as in the article cache.
    tctest::WriteAll(dir / "crlf", "begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n.\r\n");
    EXPECT_EQ(UudecodeFile(dir / "crlf", dir / "out1"), UUD_OK);
    EXPECT_EQ(tctest::ReadAll(dir / "out1"), "Cat");

    tctest::WriteAll(dir / "noend", "begin 644 cat.txt\n#0V%T\n`\n.\n");
    EXPECT_EQ(UudecodeFile(dir / "noend", dir / "out2"), UUD_NO_END);
    EXPECT_EQ(tctest::ReadAll(dir / "out2"), "Cat"); // the data stays written
}

TEST(Uudecode, CountsLongerThanTheLineReadNothingStray)
{
    std::string data;
    // Count 'M' (45) but only one group present: missing characters are zero.
    EXPECT_EQ(Uudecode("begin 644 x\nM0V%T\n`\nend\n", data), UUD_OK);
    EXPECT_EQ(data, "Cat" + std::string(42, '\0'));
    // A line longer than 80 characters is one line, not two.
    std::string longLine = "#0V%T" + std::string(100, 'A');
    EXPECT_EQ(Uudecode("begin 644 x\n" + longLine + "\n`\nend\n", data), UUD_OK);
    EXPECT_EQ(data, "Cat");
}
