#include "news/FetchAhead.h"

#include <deque>
#include <vector>

#include "net/Nntp.h"
#include "net/NntpReply.h"

namespace news {

namespace {
constexpr std::size_t kWindow = 16;
constexpr int kTries = 3;
} // namespace

AheadEnd FetchAhead(net::CNntp& nntp, std::size_t count, const std::function<std::string(std::size_t)>& command,
                    const std::function<bool(std::size_t, bool)>& take)
{
    std::deque<std::size_t> ahead;
    std::vector<int> tries(count, 0);
    std::size_t next = 0;
    while (next < count || !ahead.empty()) {
        while (next < count && ahead.size() < kWindow && nntp.RoomAhead(kWindow)) {
            if (!nntp.SendAhead(command(next)))
                return AheadEnd::Failed;
            ahead.push_back(next++);
        }
        if (ahead.empty()) // the connection closed between replies
            return AheadEnd::Failed;
        const std::size_t index = ahead.front();
        const net::CNntp::Ahead a = nntp.ReadAhead(true);
        if (a == net::CNntp::Ahead::Failed)
            return AheadEnd::Failed;
        bool answered = true;
        if (a == net::CNntp::Ahead::Lost || a == net::CNntp::Ahead::Mismatch ||
            nntp.ReplyCode() == net::reply::AuthRequired) {
            // Nothing is ahead any more: ask again from the oldest unanswered.
            ahead.clear();
            if (++tries[index] < kTries) {
                next = index;
                continue;
            }
            next = index + 1;
            answered = false;
        } else {
            ahead.pop_front();
        }
        if (!take(index, answered)) {
            if (!nntp.IsConnected())
                return AheadEnd::Failed;
            nntp.DrainAhead();
            return AheadEnd::Cancelled;
        }
    }
    return AheadEnd::Done;
}

} // namespace news
