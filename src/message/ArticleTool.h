#pragma once
// The article subcommands of lumetra-tool: rendering a cached article as the
// body pane shows it, and extracting its attachments.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace message::tool {

// A message as it arrives (LF or CR LF lines) in the form the body pane caches
// it: each line converted to Shift_JIS, CR LF, dot-stuffed, ".\r\n" at the end.
std::string MakeCacheText(std::string_view message);

// render [--all] [--tags] [--message] FILE
int Render(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// extract [--message] FILE DIR
int Extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace message::tool
