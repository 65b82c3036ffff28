#pragma once
// news: and nntp: links (RFC 5538) as the command line, the desktop or a
// click in an article hands them over.

#include <optional>
#include <string>
#include <string_view>

namespace app {

struct NewsLink {
    enum class Kind { Group, MessageId, Number };
    Kind kind = Kind::Group;
    std::string host;      // empty: the configuration's server
    int port = 0;          // 0: not named
    std::string group;     // Group and Number
    std::string messageId; // MessageId, with its angle brackets
    int number = 0;        // Number
};

// True when text begins with the news: or nntp: scheme (any case); such a
// word on the command line is a link, never a file.
bool IsNewsLink(std::string_view text);

// The link's parts, percent escapes decoded. None when it is no news link,
// names no group or article, or holds anything that could not be sent as
// one protocol word (blanks, control characters, wildcards in a group).
std::optional<NewsLink> ParseNewsLink(std::string_view text);

} // namespace app
