// One article from the server into the body pane's cache file.
#include "message/CacheFile.h"
#include "net/NntpReply.h"
#include "news/DocumentGuards.h"
#include "news/LumeDoc.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"

#include <algorithm>
#include <fstream>

namespace news {

namespace {

// How often the progress line is updated and the windows get their events.
constexpr long long kLinesPerTick = 64;
// Articles asked for ahead of the walk: bodies are larger than headers, and
// a walk that stops early (a match) drops what went ahead.
constexpr std::size_t kArticlesAhead = 16;

} // namespace

BodyFetch CLumeDoc::FetchArticleBody(int n, const std::filesystem::path& file, const std::function<void()>& onCancel)
{
    BusyLock lock(*this);
    if (!lock) {
        // Another operation is in the middle of a reply: never interleave.
        Refuse();
        return BodyFetch::Busy;
    }
    const std::vector<std::string> number{std::to_string(n)};
    ProgressScope progress(host_, kBodyProgressDelayMs, msg::LoadingArticle, number);
    if (!progress)
        return BodyFetch::Failed;
    progress->SetMessage(platform::FormatSjisMessage(platform::LoadString(msg::LoadingArticle), number));

    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        return BodyFetch::Failed;
    int code = 0;
    bool sent = false;
    if (!articlesAhead_.empty() && articlesAhead_.front() == n && nntp_.CommandsAhead() == articlesAhead_.size()) {
        articlesAhead_.pop_front();
        // A reply that is not this article's was dropped with the rest ahead.
        const bool reply = nntp_.ReadAhead(false) == net::CNntp::Ahead::Reply;
        code = nntp_.ReplyCode();
        // A refusal to log in after, or a lost or mismatched command, goes the ordinary way.
        sent = reply && code != net::reply::AuthRequired;
        if (!sent)
            articlesAhead_.clear();
    }
    if (!sent)
        DropArticlesAhead();
    const bool answered = sent ? code == net::reply::ArticleFollows || code == net::reply::HeadFollows ||
                                     code == net::reply::BodyFollows || code == net::reply::ArticleExists
                               : nntp_.Article(n, code);
    if (!answered) {
        // Closed first: a message box must not find it still counting down.
        progress->Close();
        ReportError(host_, code != net::reply::None ? msg::ArticleNotFound : msg::ArticleLinkFailed);
        return net::reply::ArticleGone(code) ? BodyFetch::Gone : BodyFetch::Failed;
    }

    return ReceiveArticle(*progress, out, file, onCancel);
}

BodyFetch CLumeDoc::FetchArticleById(const std::string& messageId, const std::filesystem::path& file)
{
    BusyLock lock(*this);
    if (!lock) {
        Refuse();
        return BodyFetch::Busy;
    }
    // One protocol word in its brackets: nothing in it may end or split the command line.
    const bool word = messageId.size() > 2 && messageId.front() == '<' && messageId.back() == '>' &&
                      std::all_of(messageId.begin(), messageId.end(),
                                  [](char c) { return static_cast<unsigned char>(c) > ' ' && c != 0x7f; });
    if (!word)
        return BodyFetch::Failed;
    const std::vector<std::string> id{messageId};
    ProgressScope progress(host_, kBodyProgressDelayMs, msg::LoadingArticle, id);
    if (!progress)
        return BodyFetch::Failed;
    progress->SetMessage(platform::FormatSjisMessage(platform::LoadString(msg::LoadingArticle), id));

    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        return BodyFetch::Failed;
    DropArticlesAhead();
    // The connection asks for articles by number only; one command sent
    // ahead and read at once is the same exchange.
    const bool replied = nntp_.SendAhead("ARTICLE " + messageId) && nntp_.ReadAhead(false) == net::CNntp::Ahead::Reply;
    const int code = replied ? nntp_.ReplyCode() : net::reply::None;
    if (code != net::reply::ArticleFollows) {
        progress->Close();
        if (net::reply::ArticleGone(code))
            return BodyFetch::Gone;
        ReportError(host_, replied ? msg::ArticleNotFound : msg::ArticleLinkFailed);
        return BodyFetch::Failed;
    }
    return ReceiveArticle(*progress, out, file, {});
}

BodyFetch CLumeDoc::ReceiveArticle(DocumentProgress& progress, std::ofstream& out, const std::filesystem::path& file,
                                   const std::function<void()>& onCancel)
{
    bool cancelled = false;
    std::string line;
    message::CacheWriter writer;
    // The lines as they came, so that the article can be read again in a
    // charset the reader chooses; without them it is only shown as read now.
    std::ofstream received(message::ReceivedPath(file), std::ios::binary | std::ios::trunc);
    for (long long count = 1;; ++count) {
        const int r = nntp_.ReadDataLine(line);
        if (r < 0) {
            progress.Close();
            ReportServerFailure(msg::ArticleLinkFailed);
            return BodyFetch::Failed;
        }
        if (r == 0)
            break;
        if (count % kLinesPerTick == 0) {
            progress.SetMessage("[" + std::to_string(count) + "]" + line.substr(0, message::LineEnd(line)));
            if (host_)
                host_->PumpEvents();
        }
        if (!cancelled && progress.Cancelled()) {
            cancelled = true;
            if (onCancel)
                onCancel();
        }
        if (!cancelled) {
            out << writer.Line(line);
            received << line;
        }
    }
    if (cancelled)
        return BodyFetch::Cancelled;
    out << writer.Finish() << message::kCacheEnd;
    out.close();
    // Not shown, so not read: a full disk must not eat an unread article.
    if (!out)
        return BodyFetch::Failed;
    progress.SetMessage(platform::LoadString(msg::LoadingDone));
    return BodyFetch::Arrived;
}

void CLumeDoc::DropArticlesAhead()
{
    articlesAhead_.clear();
    if (nntp_.CommandsAhead() > 0)
        nntp_.DrainAhead();
}

void CLumeDoc::ExpectArticles(const std::vector<int>& numbers)
{
    BusyLock lock(*this);
    if (!lock)
        return;
    // What went ahead stays when the walk goes on as announced.
    std::size_t keep = 0;
    while (keep < articlesAhead_.size() && keep < numbers.size() && articlesAhead_[keep] == numbers[keep])
        ++keep;
    if (keep < articlesAhead_.size() || nntp_.CommandsAhead() != articlesAhead_.size())
        DropArticlesAhead(), keep = 0;
    for (std::size_t i = keep; i < numbers.size() && nntp_.RoomAhead(kArticlesAhead); ++i) {
        if (!nntp_.SendAhead("ARTICLE " + std::to_string(numbers[i])))
            break;
        articlesAhead_.push_back(numbers[i]);
    }
}

} // namespace news
