#pragma once
// The news-store subcommands of lumetra-tool:
//   newsrc FILE   the groups of a read-marks file: name, subscription state
//                 and the normalised marks, one group per line
//   config FILE   the nineteen values of a configuration file as read, with
//                 the defaults of missing keys applied
// Each returns the exit status: 0 done, 1 the file could not be read, 2 usage.

#include <iosfwd>
#include <string>
#include <vector>

int NewsrcCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ConfigCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
