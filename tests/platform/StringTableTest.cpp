#include "platform/StringIds.h"
#include "platform/StringTable.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = LUMETRA_SOURCE_DIR;

// The entries of res/strings.txt as Python's own cp932 codec encodes them.
std::map<unsigned, std::string> EncodedByPython()
{
    const std::string cmd =
        "python3 -c 'import sys\n"
        "for line in open(sys.argv[1], encoding=\"utf-8\").read().splitlines():\n"
        "    if not line or line.startswith(\"#\"): continue\n"
        "    i, t = line.split(\"\\t\", 1)\n"
        "    t = t.replace(\"\\\\\\\\\", \"\\0\").replace(\"\\\\n\", \"\\n\").replace(\"\\\\t\", \"\\t\").replace(\"\\0\", \"\\\\\")\n"
        "    print(i, t.encode(\"cp932\").hex())' " + (kSource / "res/strings.txt").string();
    std::map<unsigned, std::string> out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char idText[32], hex[8192];
    while (std::fscanf(p, "%31s %8191s", idText, hex) == 2) {
        std::string bytes;
        for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2)
            bytes += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
        out[std::stoul(idText)] = bytes;
    }
    ::pclose(p);
    return out;
}

std::set<unsigned> DeclaredIds()
{
    const std::string header = testutil::ReadFile(kSource / "src/platform/StringIds.h");
    std::set<unsigned> ids;
    const std::regex decl(R"(constexpr unsigned IDS_(\d+) = (\d+);)");
    for (std::sregex_iterator it(header.begin(), header.end(), decl), end; it != end; ++it) {
        EXPECT_EQ((*it)[1], (*it)[2]);
        ids.insert(std::stoul((*it)[1]));
    }
    return ids;
}

TEST(StringTable, EveryEntryIsHandedOutAsShiftJis)
{
    const auto expected = EncodedByPython();
    ASSERT_GT(expected.size(), 100u) << "python3 could not read the table";
    for (const auto& [id, bytes] : expected) {
        EXPECT_TRUE(platform::HasString(id)) << id;
        EXPECT_EQ(platform::LoadString(id), bytes) << id;
    }
    EXPECT_FALSE(platform::HasString(12345));
    EXPECT_EQ(platform::LoadString(12345), "");
}

TEST(StringTable, OwnTableFileEscapesAndDuplicates)
{
    testutil::ScratchDir dir;
    testutil::WriteFile(dir / "t.txt", "# comment\r\n"
                                        "1\t\x95\x5cn\r\n"
                                        "2\ta\\tb\\\\c\\nd\\q\n"
                                        "x3\tnot an id\n"
                                        "\tno id\n"
                                        "4 no tab\n"
                                        "5\tfirst\n"
                                        "5\tsecond\n"
                                        "6\t");
    platform::SetStringTablePath(dir / "t.txt");
    EXPECT_EQ(platform::LoadString(1), "\x95\x5cn");
    EXPECT_EQ(platform::LoadString(2), "a\tb\\c\nd\\q");
    EXPECT_FALSE(platform::HasString(3));
    EXPECT_FALSE(platform::HasString(4));
    EXPECT_EQ(platform::LoadString(5), "second");
    EXPECT_TRUE(platform::HasString(6));
    EXPECT_EQ(platform::LoadString(61231), "");
    platform::SetStringTablePath(dir / "missing.txt");
    EXPECT_FALSE(platform::HasString(1));
    platform::SetStringTablePath(LUMETRA_BINARY_DIR "/share/lumetra/strings.txt");
    EXPECT_TRUE(platform::HasString(platform::IDS_61231));
}

// The declared ids match the table, and every id the code names (IDS_ constants,
// bare ids given to LoadString, message numbers written out) is in it.
TEST(StringTable, EveryIdUsedInTheSourcesExists)
{
    const auto declared = DeclaredIds();
    std::set<unsigned> inTable;
    for (const auto& [id, bytes] : EncodedByPython())
        inTable.insert(id);
    EXPECT_EQ(declared, inTable) << "run res/make-string-ids.py after editing res/strings.txt";
    const std::regex named(R"(\bIDS_(\w+))");
    const std::regex loadLiteral(R"(\b(?:LoadString|HasString)\s*\(\s*(\d+)\s*\))");
    const std::regex messageNumber(R"(\b(612\d\d)\b)");
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(kSource / "src")) {
        const auto ext = e.path().extension();
        if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h"))
            continue;
        if (e.path().filename() == "StringIds.h")
            continue;
        ++files;
        const std::string text = testutil::ReadFile(e.path());
        const auto rel = fs::relative(e.path(), kSource).string();
        for (std::sregex_iterator it(text.begin(), text.end(), named), end; it != end; ++it) {
            const std::string suffix = (*it)[1];
            const bool numeric = std::regex_match(suffix, std::regex(R"(\d+)"));
            EXPECT_TRUE(numeric && declared.count(std::stoul(suffix))) << rel << ": IDS_" << suffix;
        }
        for (const auto* re : {&loadLiteral, &messageNumber})
            for (std::sregex_iterator it(text.begin(), text.end(), *re), end; it != end; ++it)
                EXPECT_TRUE(platform::HasString(std::stoul((*it)[1]))) << rel << ": " << (*it)[1];
    }
    EXPECT_GT(files, 0);
}

} // namespace
