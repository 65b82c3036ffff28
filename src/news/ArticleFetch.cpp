// Opening a group, fetching its article headers, and its read state.
#include "message/HeaderFields.h"
#include "net/NntpReply.h"
#include "news/DocumentGuards.h"
#include "news/LumeDoc.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <unordered_set>

namespace news {

namespace {

// A header longer than this is not a header: the server is not in step.
constexpr std::size_t kMaxHeaderBytes = 8u << 20;
// Gone articles in a row after which the walk stops: a server may claim a
// range of two billion and have none of it.
constexpr std::int64_t kMaxGoneInARow = 10'000;
// HEADs in flight at first and at most. The window grows by one per reply,
// so it doubles each round trip; 256 keep a 50 ms link busy at about 5 000
// headers a second while a server's queue of our replies stays small.
constexpr std::size_t kFirstWindow = 32;
constexpr std::size_t kMaxWindow = 256;
// How far ahead of the walk HEADs may be sent, in article numbers: the walk
// pumps the windows as it goes, sending must not run far ahead of it.
constexpr std::int64_t kLookAhead = 4096;

class FetchDepth {
public:
    explicit FetchDepth(int& depth) : depth_(depth) { ++depth_; }
    ~FetchDepth() { --depth_; }
    FetchDepth(const FetchDepth&) = delete;
    FetchDepth& operator=(const FetchDepth&) = delete;

private:
    int& depth_;
};

} // namespace

CNewsGroup* CLumeDoc::SetCurrentGroup(CNewsGroup* group)
{
    CNewsGroup* previous = m_pCurrentGroup;
    if (busy_) {
        // The running fetch reads and marks this group's read list.
        Refuse();
        return previous;
    }
    StoreCurrentReadList();
    m_pCurrentGroup = group;
    readList_.Parse(group ? group->m_strReadList : std::string());
    return previous;
}

void CLumeDoc::ClearArticles()
{
    if (fetchDepth_ > 0)
        return;
    articles_.clear();
}

void CLumeDoc::MarkArticleRead(int n)
{
    const auto it = std::find_if(articles_.begin(), articles_.end(),
                                 [n](const auto& a) { return a->m_nNumber == n; });
    if (it != articles_.end()) {
        MarkArticle(**it, true);
        return;
    }
    readList_.Add(n);
    StoreCurrentReadList();
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, hint::ReadMarks);
}

void CLumeDoc::MarkArticle(CArticle& article, bool read)
{
    if (read)
        readList_.Add(article.m_nNumber);
    else
        readList_.Remove(article.m_nNumber);
    StoreCurrentReadList();
    SetModifiedFlag(true);
    MarkCrossposts(article, read);
    UpdateAllViews(nullptr, hint::ReadMarks);
}

void CLumeDoc::MarkCrossposts(CArticle& article, bool read)
{
    if (!read)
        article.m_bRead = false;
    // Groups outside the Xref (or a server without it) go by Message-ID
    // when their headers are fetched.
    if (!article.m_strMessageID.empty()) {
        if (read)
            readIds_.insert(article.m_strMessageID);
        else
            readIds_.erase(article.m_strMessageID);
    }
    for (const auto& [name, number] : ParseXref(article.m_strXref)) {
        CNewsGroup* group = groups_.Find(name);
        if (!group || group == m_pCurrentGroup)
            continue;
        CReadList marks;
        marks.Parse(group->m_strReadList);
        if (read == marks.IsRead(number) || !(read ? marks.Add(number) : marks.Remove(number)))
            continue;
        group->m_strReadList.clear();
        marks.Format(group->m_strReadList, true);
    }
}

bool CLumeDoc::OpenCurrentGroup()
{
    if (!m_pCurrentGroup)
        return false;
    BusyLock lock(*this);
    if (!lock)
        return false;
    if (!IsConnected())
        return false;
    CNewsGroup& group = *m_pCurrentGroup;
    int first = 1, last = 0;
    bool hasUnread = false;
    if (!OpenGroupLocked(group, first, last, hasUnread))
        return false;
    ClearArticles();
    const int limit = config_.nMaxReadArtcleCount < 0 ? -1 : config_.nMaxReadArtcleCount;
    const bool result = FetchArticlesLocked(first, last, config_.bShowOldArticle, limit);
    if (!result) {
        ClearArticles();
        StoreCurrentReadList();
        m_pCurrentGroup = nullptr;
        readList_.RemoveAll();
        currentArticle_ = -1;
        UpdateAllViews(nullptr, hint::Group);
    }
    return result;
}

bool CLumeDoc::OpenGroup(CNewsGroup& group, int& first, int& last, bool& hasUnread)
{
    BusyLock lock(*this);
    if (!lock)
        return false;
    return OpenGroupLocked(group, first, last, hasUnread);
}

bool CLumeDoc::OpenGroupLocked(CNewsGroup& group, int& first, int& last, bool& hasUnread)
{
    // An empty range unless the server gives one: a refused GROUP fetches nothing.
    first = 1;
    last = 0;
    hasUnread = false;
    std::string reply;
    int count = 0, f = 0, l = 0;
    if (nntp_.Group(group.m_strName, reply, count, f, l)) {
        f = std::max(f, 0);
        l = std::max(l, 0);
        group.m_nFirst = first = f;
        group.m_nLast = last = l;
        CReadList marks;
        marks.Parse(group.m_strReadList);
        marks.CountUnread(f, l);
        marks.Format(group.m_strReadList, true);
        hasUnread = marks.HasUnreadIn(f, l);
        return true;
    }
    if (nntp_.ReplyCode() == net::reply::NoSuchGroup) {
        ReportError(host_, msg::GroupNotFound, {group.m_strName});
        group.m_bSubscribed = false;
        return true;
    }
    ReportError(host_, msg::ServerFailed);
    return false;
}

bool CLumeDoc::FetchArticles(int lo, int hi, bool includeRead, int limit)
{
    BusyLock lock(*this);
    if (!lock)
        return false;
    return FetchArticlesLocked(lo, hi, includeRead, limit);
}

bool CLumeDoc::FetchArticlesLocked(std::int64_t lo, std::int64_t hi, bool includeRead, std::int64_t limit)
{
    FetchDepth depth(fetchDepth_);
    DropArticlesAhead();
    // Article numbers start at 1; nothing below can be asked for.
    lo = std::max<std::int64_t>(lo, 1);
    hi = std::min<std::int64_t>(hi, INT32_MAX);
    const std::int64_t total = std::max<std::int64_t>(hi - lo + 1, 0);
    ProgressScope progress(host_, kProgressDelayMs, msg::ReadingArticleList);
    if (!progress)
        return false;
    progress->SetTotal(total);

    std::unordered_set<std::int32_t> listed;
    listed.reserve(articles_.size());
    for (const auto& a : articles_)
        listed.insert(a->m_nNumber);
    const auto wanted = [&](std::int64_t n) {
        const auto number = static_cast<std::int32_t>(n);
        return (includeRead || !readList_.IsRead(number)) && !listed.count(number);
    };

    bool result = true, refused = false, goneRun = false;
    std::int64_t fetched = 0, unread = 0, i = 0, goneInARow = 0;
    // HEADs go ahead of the walk below; their replies are taken in the walk's
    // order, so the outcome is what asking one at a time gives. No more go
    // ahead than could be needed before the read limit or the run of gone
    // articles stops the walk.
    std::deque<std::int32_t> ahead;
    std::int64_t next = hi;
    std::size_t window = kFirstWindow;
    const auto sendAhead = [&](std::int64_t n) {
        std::int64_t room = std::min<std::int64_t>(window, kMaxGoneInARow - goneInARow);
        if (limit != -1)
            room = std::min(room, limit - fetched);
        for (;;) {
            if (static_cast<std::int64_t>(ahead.size()) >= room)
                return;
            // A read range is passed in one step.
            while (next >= lo && next >= n - kLookAhead && !wanted(next))
                next = (includeRead ? next : readList_.ReadRunStart(static_cast<std::int32_t>(next))) - 1;
            if (next < lo || next < n - kLookAhead || !nntp_.RoomAhead(static_cast<std::size_t>(room)))
                return;
            if (!nntp_.SendAhead("HEAD " + std::to_string(next)))
                return;
            ahead.push_back(static_cast<std::int32_t>(next--));
        }
    };

    std::string text;
    for (std::int64_t n = hi; n >= lo; --n, ++i) {
        if (host_)
            host_->PumpEvents();
        if (progress->Cancelled()) {
            result = false;
            break;
        }
        text = std::to_string(i);
        text += '/';
        text += std::to_string(total);
        progress->SetMessage(text);
        progress->SetPosition(i);

        const auto number = static_cast<std::int32_t>(n);
        const bool read = readList_.IsRead(number);
        if (read && !includeRead) {
            // The rest of its read range in one step: a group of millions
            // of read numbers is passed as quickly as a small one.
            const std::int64_t first = std::max<std::int64_t>(readList_.ReadRunStart(number), lo);
            i += n - first;
            n = first;
            continue;
        }
        if (listed.count(number))
            continue;
        sendAhead(n);
        bool head = false;
        if (!ahead.empty() && ahead.front() == number) {
            ahead.pop_front();
            const net::CNntp::Ahead a = nntp_.ReadAhead(true);
            head = a == net::CNntp::Ahead::Reply && nntp_.ReplyCode() == net::reply::HeadFollows;
            window = std::min(window + 1, kMaxWindow);
            if (a == net::CNntp::Ahead::Lost || nntp_.ReplyCode() == net::reply::AuthRequired) {
                // Asked again on its own: the replies still ahead are read
                // and dropped first, and their HEADs go out again after it.
                ahead.clear();
                next = n - 1;
                head = nntp_.Head(number);
            }
        } else {
            // Nothing went ahead for it (the connection is gone): what did is dropped.
            ahead.clear();
            next = n - 1;
            head = nntp_.Head(number);
        }
        if (!head) {
            const int code = nntp_.ReplyCode();
            if (net::reply::ArticleGone(code)) {
                readList_.Add(number);
                if (++goneInARow >= kMaxGoneInARow) {
                    goneRun = true;
                    break;
                }
                continue;
            }
            if (net::reply::RefusesService(code)) {
                // Not the article's fault: leave the read state alone and stop.
                refused = true;
                break;
            }
            continue;
        }
        if (!ReadHeader(number, read)) {
            refused = true;
            break;
        }
        listed.insert(number);
        goneInARow = 0;
        ++fetched;
        if (!read)
            ++unread;

        if (limit != -1 && fetched >= limit) {
            if (unread < limit)
                break;
            int more = static_cast<int>(std::min<std::int64_t>(limit, INT_MAX));
            if (!host_ || host_->AskReadLimit(more) != IDYES || more < 1)
                break;
            limit += more;
        }
    }
    // Replies still on their way are read, so the connection stays in step
    // for the next command; their articles were not asked for by the walk.
    if (!ahead.empty())
        nntp_.DrainAhead();
    if (refused) {
        ReportError(host_, msg::ServerFailed);
        return false;
    }
    if (goneRun && host_)
        host_->ShowMessageText("The server has none of the last " + std::to_string(kMaxGoneInARow) +
                                   " articles; the rest of the range was not read.",
                               MessageIcon::Information);
    return result;
}

bool CLumeDoc::ReadHeader(std::int32_t n, bool read)
{
    std::string header;
    std::string line;
    for (;;) {
        const int r = nntp_.ReadDataLine(line);
        if (r < 0)
            return false;
        if (r == 0)
            break;
        header += line;
        if (header.size() > kMaxHeaderBytes) {
            nntp_.MarkBroken();
            return false;
        }
    }
    auto article = std::make_unique<CArticle>();
    article->m_nNumber = n;
    article->m_bRead = read;
    article->m_strParentID = CArticle::FromLastAngle(message::GetHeaderField(header, "References", true));
    article->m_strMessageID = CArticle::FromLastAngle(message::GetHeaderField(header, "Message-ID", true));
    const std::string date = message::GetHeaderField(header, "Date", true);
    if (!date.empty())
        article->m_timeDate = message::ParseDate(date);
    article->m_strXref = message::GetHeaderField(header, "Xref", true);
    if (!read && !article->m_strMessageID.empty() && readIds_.count(article->m_strMessageID)) {
        // Read already under another group this session.
        article->m_bRead = true;
        readList_.Add(n);
        SetModifiedFlag(true);
    }
    article->m_strSubject = message::GetHeaderField(header, "Subject", true);
    article->m_strFrom = message::GetHeaderField(header, "From", true);
    articles_.push_back(std::move(article));
    return true;
}

void CLumeDoc::Reload()
{
    if (!m_pCurrentGroup)
        return;
    BusyLock lock(*this);
    if (!lock)
        return;
    if (!IsConnected())
        return;
    CNewsGroup& group = *m_pCurrentGroup;
    int start = group.m_nFirst;
    int end = group.m_nLast;
    if (!host_ || host_->AskReloadRange(start, end) != IDOK)
        return;
    if (start < group.m_nFirst)
        start = group.m_nFirst;
    if (end > group.m_nLast || end < 1)
        end = group.m_nLast;
    if (!FetchArticlesLocked(start, end, false, -1))
        ClearArticles();
    lock.Release();
    UpdateAllViews(nullptr, hint::Group);
}

} // namespace news
