#pragma once
// Many articles through one connection with their commands sent ahead: the
// loop NZB downloads and joined multi-part posts share.

#include <cstddef>
#include <functional>
#include <string>

namespace net {
class CNntp;
}

namespace news {

enum class AheadEnd { Done, Cancelled, Failed };

// Sends command(i) for i in [0, count) with at most 16 in flight and calls
// take(i, answered) for each in order. answered: the reply is ReplyCode()
// and take reads its data (ReadDataLine, un-stuffed); false: the command
// went unanswered too often and counts as missing. take returns false to
// stop: Failed when its reading broke the connection, else Cancelled with
// what is ahead drained. Replies are checked against their
// commands by the connection; a lost or mismatched run is asked again.
AheadEnd FetchAhead(net::CNntp& nntp, std::size_t count, const std::function<std::string(std::size_t)>& command,
                    const std::function<bool(std::size_t, bool answered)>& take);

} // namespace news
