#pragma once
// The online subcommands of lumetra-tool, with a console host (messages to
// the error stream, dialogs answered No, no progress window):
//   online --config FILE.lum
//       goes online; prints the group count and the times of LIST and merge
//   open --config FILE.lum [--save] [--limit N] GROUP
//       goes online, opens GROUP as the article list pane would and prints
//       its articles (number, date, from, subject in UTF-8); --save marks
//       the printed articles read and saves the configuration and news.rc
// Each returns the exit status: 0 done, 1 failed, 2 usage.

#include <iosfwd>
#include <string>
#include <vector>

int OnlineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int OpenCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Shift_JIS text as UTF-8 for a terminal; bytes that are not Shift_JIS become '?'.
std::string SjisToUtf8(const std::string& sjis);
