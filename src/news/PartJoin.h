#pragma once
// Joining a file posted over many articles: every part fetched with its
// ARTICLE sent ahead, decoded (yEnc, uuencode split over the parts, or
// Base64), checked and saved.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "news/MultiPart.h"

namespace net {
class CNntp;
}

namespace news {

struct JoinProgress {
    std::size_t done = 0, total = 0; // articles
};

struct JoinResult {
    std::filesystem::path path;    // where it was saved; empty when nothing was
    std::uint64_t bytes = 0;
    std::vector<unsigned> missing; // parts no article gave
    std::vector<unsigned> damaged; // parts that failed their check
    std::string problem;           // the first fault, in words
    bool cancelled = false;
    std::string error;             // the connection failed
    bool Complete() const { return missing.empty() && damaged.empty() && problem.empty(); }
};

// Where to save: file when given, else dir under the name the data gives.
struct JoinTarget {
    std::filesystem::path dir;
    std::filesystem::path file;
};

// A part is this large at most; a larger reply is dropped as if it had not come.
inline constexpr std::size_t kMaxPartBytes = std::size_t{64} << 20;

// Fetches and joins file's parts. Of a part posted twice the first article
// that checks out is used. A file that is not complete is kept (under a
// name that says it is damaged) only when keepPartial, asked with the
// result so far, says yes. progress returning false cancels; nothing is
// kept then.
JoinResult JoinParts(net::CNntp& nntp, const PartFile& file, const JoinTarget& target,
                     const std::function<bool(const JoinProgress&)>& progress,
                     const std::function<bool(const JoinResult&)>& keepPartial);

} // namespace news
