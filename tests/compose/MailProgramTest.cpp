// lumetra-mail against a stub xdg-email that records its arguments, on a
// private X server whose clipboard xclip holds the hand-off text.
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(MailProgram, ComposerGetsExactArgumentsAndNoCommands)
{
    REQUIRE_PEER("Xvfb");
    REQUIRE_PEER("xclip");
    testutil::ScratchDir dir;
    std::filesystem::create_directory(dir / "bin");
    testutil::WriteFile(dir / "bin/xdg-email", "#!/bin/sh\nfor a; do printf '%s|' \"$a\"; done >\"${0%/*}/argv\"\n");
    ::chmod((dir / "bin/xdg-email").c_str(), 0755);
    testutil::WriteFile(dir / "handoff", "To:-x@e;$(touch P)\r\nSubject: `touch Q` \xe6\x97\xa5\r\n\r\nline\r\n|rm x\r\n");
    const std::string d = testutil::Quote(dir.path()), wait = "i=0; until [ $i -ge 600 ] || ";
    const std::string run = "cd " + d + " && PATH=" + d + "/bin:$PATH " LUMETRA_BINARY_DIR "/src/mail/lumetra-mail";
    const std::string out = testutil::Shell(
        "Xvfb -displayfd 1 -screen 0 320x200x24 -nolisten tcp >" + d + "/display 2>/dev/null & x=$!; " + wait +
        "[ -s " + d + "/display ]; do sleep 0.1; i=$((i+1)); done; export DISPLAY=:$(cat " + d +
        "/display) QT_QPA_PLATFORM=xcb; " + run + " /m; echo \"m=$?\"; cat " + d + "/bin/argv; " +
        "xclip -selection clipboard -quiet -i " + d + "/handoff >/dev/null 2>&1 & c=$!; " + wait +
        "xclip -selection clipboard -o 2>/dev/null | grep -q '^To:'; do sleep 0.1; i=$((i+1)); done; " +
        "if [ $i -ge 600 ]; then echo noclip; else " + run + " /c2; echo \"c2=$?\"; cat " + d +
        "/bin/argv; fi; kill $c $x 2>/dev/null");
    if (out.find("noclip") != std::string::npos)
        GTEST_SKIP() << "xclip could not hold the clipboard of the private X server";
    EXPECT_EQ(out, "m=0\nc2=0\n--utf8|--to| -x@e;$(touch P)|--subject|Re: `touch Q` \xe6\x97\xa5|--body|"
                   "> line\r\n> |rm x\r\n|");
    EXPECT_FALSE(std::filesystem::exists(dir / "P") || std::filesystem::exists(dir / "Q"));
}
