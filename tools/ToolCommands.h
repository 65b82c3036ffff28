#pragma once
// The lumetra-tool subcommands that reach past the codecs. Each takes the
// arguments after its name and returns the exit status: 0 done, 1 failed (the
// file could not be read, the server refused), 2 usage.

#include <iosfwd>
#include <string>
#include <vector>

namespace platform { class Registry; }

namespace tools {

using Args = std::vector<std::string>;

// newsrc FILE: the groups of a read-marks file, one a line: name,
// subscription state and the normalised marks.
int NewsrcCommand(const Args& args, std::ostream& out, std::ostream& err);
// config FILE: the values of a configuration file as read, with the
// defaults of missing keys applied.
int ConfigCommand(const Args& args, std::ostream& out, std::ostream& err);

// The online subcommands run the document with a console host: messages to
// err, dialogs answered No, no progress window; registry is the settings
// store the document keeps the signatures in.
// online --config FILE.lum: goes online; prints the group count and the
// times of LIST and merge.
int OnlineCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err);
// Both take --timeout SECONDS, a budget for the whole command; it and Ctrl+C
// stop the network work cleanly, with nothing saved.
// open --config FILE.lum [--save] [--limit N] GROUP: goes online, opens GROUP
// as the article list pane would and prints its articles (number, date,
// from, subject in UTF-8); --save marks the printed articles read and saves
// the configuration and news.rc.
int OpenCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err);

// post --server H --port P --group G --subject S [--from ADDR]
// [--code jis|sjis|euc] [--attach FILE --encoding base64|binhex|uuencode]:
// posts the Shift_JIS body read from in as the post window would; 0 only
// when the server took it, else its reply on err.
int PostCommand(const Args& args, std::istream& in, std::ostream& out, std::ostream& err);
// fetch --server H --port P GROUP N: article N as received (dots un-stuffed).
// online, open, post and fetch also take the options of ConsoleSecurity.h.
int FetchCommand(const Args& args, std::ostream& out, std::ostream& err);
// nzb FILE.nzb DIR --config FILE.lum: every file of the NZB fetched from the
// configured server, joined, checked and saved in DIR; a line per file.
int NzbCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err);
// join GROUP SUBJECT DIR --config FILE.lum [--keep-partial]: the file posted in
// parts whose subject holds SUBJECT, joined and saved in DIR; a line saying
// where, what is missing or damaged. 0 only when it is complete.
int JoinCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err);

// render [--all] [--tags] [--message] FILE: a cached article (or with
// --message a plain one) as the body pane shows it.
int RenderCommand(const Args& args, std::ostream& out, std::ostream& err);
// extract [--message] FILE DIR: every attachment saved into DIR.
int ExtractCommand(const Args& args, std::ostream& out, std::ostream& err);

// Shift_JIS text as UTF-8 for a terminal; bytes that are not Shift_JIS become '?'.
std::string SjisToUtf8(const std::string& sjis);
// Server or article text for a terminal: as UTF-8 (from Shift_JIS when sjis),
// every C0 and C1 control character replaced by '?'.
// keepLines: line ends (CR LF or LF) and tabs stay, for text shown as lines.
std::string TerminalText(const std::string& text, bool sjis = true, bool keepLines = false);

} // namespace tools
