#pragma once
// The document: one configuration, its group table, the article list of the
// open group, the read list of that group and the connection to the server.
// It reaches the windows only through DocumentHost and tells the panes about
// changes through the registered views.
//
// Network work pumps the event loop, so any command may arrive in the middle
// of it. Every network operation holds the connection's busy flag; whatever
// would free or swap what a running operation uses (going offline, another
// group, another configuration) is refused while the flag is held.
//
// The code lives in several files: LumeDoc.cpp (configuration and read-marks
// file), LumeDocOnline.cpp (going on- and offline, the group list),
// ArticleFetch.cpp (opening groups, fetching headers, read state),
// BodyFetch.cpp (one article into the body pane's cache file),
// DocumentJoin.cpp (a file posted in many parts, joined),
// DocumentCommands.cpp (commands, update rules, posting), DocumentNzb.cpp
// (NZB downloads).

#include "news/Article.h"
#include "news/CommandState.h"
#include "news/DocumentHost.h"
#include "news/DocumentView.h"
#include "news/GroupTable.h"
#include "news/HeaderStore.h"
#include "news/LumeConfig.h"
#include "news/Nzb.h"
#include "news/PartJoin.h"
#include "news/ReadList.h"
#include "net/Nntp.h"

#include <filesystem>
#include <iosfwd>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace platform { class Registry; }
namespace news { class ScoreBook; }
namespace news::detail {
class FetchPlan;
class HeaderFeed;
class StoredHeaders;
struct WalkCounters;
} // namespace news::detail

namespace news {

// How fetching one article ended.
enum class BodyFetch {
    Arrived,   // all of it is in the cache file
    Gone,      // the server says it has no such article
    Failed,    // refused, no answer, a broken connection or a failed write
    Cancelled, // Cancel was pressed; the rest was read and dropped
    Busy,      // another network operation holds the connection
};

// Only an article that arrived or is gone counts as read.
constexpr bool CountsAsRead(BodyFetch result) { return result == BodyFetch::Arrived || result == BodyFetch::Gone; }

class CLumeDoc {
public:
    // host shows messages (may be null in tools); registry is the per-user
    // store for the signatures and the body pane's settings.
    CLumeDoc(DocumentHost* host, platform::Registry& registry);
    CLumeDoc(const CLumeDoc&) = delete;
    CLumeDoc& operator=(const CLumeDoc&) = delete;

    ~CLumeDoc();

    // --- document life ---
    // New configuration: goes offline, empties the document and sets the new
    // values. Refused (false) while a network operation runs.
    bool OnNewDocument();
    // Opens a configuration file: goes offline and empties the document first,
    // so nothing of the previous configuration (above all its read marks)
    // carries over. Refused (false) while a network operation runs.
    bool OnOpenDocument(const std::filesystem::path& path);
    // Writes the configuration, then the read-marks file beside it.
    bool OnSaveDocument(const std::filesystem::path& path);
    // Goes offline and drops the groups, the articles and the open group;
    // false (nothing done) while a network operation runs.
    bool DeleteContents();

    // Reads (store false) or writes the configuration file; the signature
    // settings travel with it. A refused write shows 61241.
    bool ExchangeConfig(const std::filesystem::path& path, bool store);

    // Hands nTcpWaitSec and nTcpRetryCount to the connection, which reads
    // them at every wait. Done on new and open; the settings dialog calls it too.
    void ApplyTransportSettings();

    // --- read marks ---
    bool LoadReadMarks(const std::filesystem::path& path);
    bool SaveReadMarks(const std::filesystem::path& path);
    // The read-marks file of this configuration: strMarkFile in the folder of
    // the configuration file. None when there is no path yet or the name is
    // empty, absolute or climbs out with "..".
    std::optional<std::filesystem::path> ReadMarksPath() const;
    static std::optional<std::filesystem::path> ReadMarksPathFor(const std::filesystem::path& configPath,
                                                                 const std::string& markFile);

    // --- leaving without a save (ReadMarksRecovery.cpp) ---
    // For an end that may ask nothing: when the read marks differ from the
    // read-marks file, writes them to its recovery file (RecoveryFileOf) and
    // never to the file itself. True when a recovery file was written.
    bool WriteReadMarksRecovery();
    // After an open: when the configuration's read-marks file has a recovery
    // file, asks with 61288. Yes enters the marks (the document becomes
    // modified, so a save writes them) and removes it; No removes it; any
    // other answer keeps it for later. True when marks were restored.
    bool OfferReadMarksRecovery();
    // An untitled document has no read-marks file: WriteReadMarksRecovery
    // keeps its configuration and marks in this folder (the user's state
    // folder) instead. Empty, the default: nowhere.
    void SetUntitledRecoveryFolder(std::filesystem::path folder) { untitledFolder_ = std::move(folder); }
    // For a start with an untitled document: when that folder holds a kept
    // session, asks with 61353. Yes takes its configuration and marks (the
    // document stays untitled and becomes modified) and removes them; No
    // removes them; any other answer keeps them. True when restored.
    bool OfferUntitledRecovery();

    // --- views ---
    void AddView(DocumentView* view);
    void RemoveView(DocumentView* view);
    // Tells every view but sender. A view may remove itself (or another)
    // while being told.
    void UpdateAllViews(DocumentView* sender, Hint hint);

    // --- online state (LumeDocOnline.cpp) ---
    // Command Online: offline goes online (with the document's path),
    // online goes offline and tells the views with hint 14. Refused with a
    // beep while a network operation runs.
    void ToggleOnline();
    // Loads the read marks when the table is empty, has the host connect,
    // reads the greeting and the group list. On success the document is
    // modified and the views get hint 14; on failure it goes offline again.
    // Returns whether it is online.
    bool GoOnline(const std::filesystem::path& path);
    // Takes over a socket the host connected (the asynchronous form of the
    // connect step) and finishes going online as GoOnline does.
    bool OnConnected(int socket);
    // Quits the connection, drops the article list and the open group (its
    // read list is kept in its marks). False, with nothing done, while a
    // network operation runs.
    bool GoOffline();
    // Reads the server's group list into the table under the progress window
    // (see GroupListParser.h for the merge). False when busy, refused,
    // cancelled, past the limits or the connection failed; the groups read
    // so far stay.
    bool FetchGroupList();
    // A list past either bound is a server that never stops; the defaults
    // are far above any real server.
    struct GroupListLimits {
        long long groups = 5'000'000;
        long long bytes = 1LL << 30;
    };
    void SetGroupListLimits(GroupListLimits limits) { listLimits_ = limits; }

    bool IsConnected() const { return nntp_.IsConnected() == 1; }
    // True while a network operation holds the connection.
    bool IsBusy() const { return busy_; }

    // --- groups and articles (ArticleFetch.cpp) ---
    bool HasUnread(const CNewsGroup& group) const { return news::HasUnread(group); }
    // Makes group (or none) the open group: the read list goes back into the
    // previous group's marks and is parsed from the new group's. Returns the
    // previous group. While a network operation runs nothing changes and the
    // open group is returned.
    CNewsGroup* SetCurrentGroup(CNewsGroup* group);
    CNewsGroup* GetCurrentGroup() const { return m_pCurrentGroup; }
    // Writes the read list back into the open group's marks, normalised.
    void StoreCurrentReadList();
    CReadList& ReadList() { return readList_; }

    // Selects the open group on the server and fetches its headers, newest
    // first, up to nMaxReadArtcleCount (asking with dialog 135 at the limit).
    // On a failure or Cancel the list is cleared, the open group becomes none
    // and the views get hint 4.
    bool OpenCurrentGroup();
    // GROUP: sets the group's range (returned in first and last), trims its
    // marks and tells whether some article is unread. A group the server
    // does not know (411) is reported, unsubscribed, and gives the empty
    // range 1..0 with a true result; other failures are reported, false.
    bool OpenGroup(CNewsGroup& group, int& first, int& last, bool& hasUnread);
    // HEAD for each number from hi down to lo that is not listed yet (and not
    // read, unless includeRead). limit -1: no limit. False on Cancel, a
    // broken connection or a server that refuses service.
    bool FetchArticles(int lo, int hi, bool includeRead, int limit);
    // Opening and Reload read the overview when the server offers it; false
    // reads every header by HEAD (the two give the same list).
    void SetUseOverview(bool use) { useOverview_ = use; }
    // Keeps the headers a fetch brought in the store at file (opened at the
    // first fetch, once per run), so that opening a group again asks the
    // server only for what is new. An empty path (the default): no store.
    void UseHeaderStore(std::filesystem::path file);
    // Deletes the article list (not while a fetch is filling it).
    void ClearArticles();
    // Command Reload: asks a range with dialog 122 and fetches the unread
    // articles of it that are not listed yet.
    void Reload();
    // Marks n read in the open group and its stored marks, and in the
    // groups it was crossposted to; sets modified.
    void MarkArticleRead(int n);
    // Marks an article of the list read or unread, crossposts included.
    void MarkArticle(CArticle& article, bool read);

    // --- one article (BodyFetch.cpp) ---
    // ARTICLE n into file in the cache's form (see message/CacheFile.h), under
    // a progress window captioned 61283; refused with a beep while busy. A
    // refusal or a lost connection is reported (61287, 61216). onCancel runs
    // once, when Cancel is seen; the rest is then read but not stored, so the
    // connection stays in step. The lines as received go beside it
    // (message::ReceivedPath), for reading it again in another charset.
    BodyFetch FetchArticleBody(int n, const std::filesystem::path& file, const std::function<void()>& onCancel = {});
    // ARTICLE <id> into file as FetchArticleBody does, for a link that names
    // an article by its Message-ID (brackets included). Gone is not reported,
    // so the caller can name the article; a malformed id is Failed, unsent.
    BodyFetch FetchArticleById(const std::string& messageId, const std::filesystem::path& file);
    // The articles FetchArticleBody will be asked for next, in order (a walk
    // over many, such as the search through bodies): their ARTICLE commands
    // go ahead so the walk does not wait a round trip for each. An empty
    // list, or asking for another article, reads and drops what went ahead.
    void ExpectArticles(const std::vector<int>& numbers);

    // --- a file posted in many parts (DocumentJoin.cpp) ---
    // Joins file's parts (see JoinParts) under a progress window with
    // Cancel. None when refused (busy: with a beep; offline).
    std::optional<JoinResult> JoinPartFile(const PartFile& file, const JoinTarget& target,
                                           const std::function<bool(const JoinResult&)>& keepPartial);

    CGroupTable& Groups() { return groups_; }
    const CGroupTable& Groups() const { return groups_; }
    const std::vector<std::unique_ptr<CArticle>>& Articles() const { return articles_; }

    // --- NZB downloads (DocumentNzb.cpp) ---
    // Fetches the files of an NZB over the document's connection into dir,
    // under a progress window: the file and its segment in the text line, all
    // segments on the bar. Cancel stops after the segment being read (the
    // summary says cancelled). None, with nothing done, when offline (61382
    // shown) or while another network operation runs (a beep).
    std::optional<NzbSummary> DownloadNzb(const std::vector<NzbFile>& files, const std::filesystem::path& dir);

    // --- scoring (DocumentScores.cpp) ---
    ScoreBook& Scores();
    // Scores the whole list again (after the rules changed); newly killed
    // articles are marked read. The caller redraws what shows the list.
    void RescoreArticles();
    // The article the panes show, by number; -1 for none.
    int CurrentArticle() const { return currentArticle_; }
    // The article list pane's choice: number (-1: none) becomes the current
    // article and every view but sender is told, with hint Article, or
    // ListCleared for none.
    void SetCurrentArticle(int number, DocumentView* sender);

    // --- commands (DocumentCommands.cpp) ---
    // True when the document carries out id (see platform/CommandIds.h).
    bool OnCommand(unsigned id);
    // True when the document decides the state of id; fills state then.
    bool OnUpdateCommand(unsigned id, CommandState& state) const;
    // New article and Follow-up: fill the post parameters and hand them to
    // the post window.
    void NewArticle();
    void FollowUp();
    // Cancel and supersede the shown article, when its From is the
    // configuration's mail address: the cancel after asking, the supersede
    // in the post window filled from the article.
    bool ShowsOwnArticle() const;
    void CancelArticle();
    void SupersedeArticle();
    // Mail and reply mail: hand the work to the mail program (kMailerName,
    // registered in the App Paths); the reply goes through the clipboard.
    void MailNew();
    void MailReply();
    static std::string GetMailerPath();
    const PostParams& LastPostParams() const { return postParams_; }
    // Command Settings: the sheet edits the configuration and the browser and
    // body colour values; OK writes them back, tells the views with hint 2
    // and sets the modified flag. firstStart opens it for a newcomer.
    void OnSettings(bool firstStart = false);

    // Times of the last group list, for the tool and the benchmarks.
    struct GroupListStats {
        long long lines = 0;
        double totalMs = 0; // LIST sent to the last line
        double mergeMs = 0; // parsing and merging alone
    };
    const GroupListStats& LastGroupListStats() const { return listStats_; }

    // The connection itself, for tests and the tool.
    net::CNntp& Nntp() { return nntp_; }
    // The protocol log of the document's connection and its post windows';
    // the log window subscribes to it.
    net::ProtocolLog& Log() { return log_; }

    LumeConfig& Config() { return config_; }
    const LumeConfig& Config() const { return config_; }

    const std::filesystem::path& GetPathName() const { return path_; }
    void SetPathName(std::filesystem::path path) { path_ = std::move(path); }
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    // True after a read-marks file could not be read completely: until another
    // configuration is opened, saving never replaces that file.
    bool ReadMarksLoadFailed() const { return readMarksLoadFailed_; }

private:
    static constexpr std::size_t kGroupTableSize = 20000;
    static constexpr int kProgressDelayMs = 600;
    static constexpr int kBodyProgressDelayMs = 1000;

    friend class BusyLock;
    bool TakeBusy();
    void ReleaseBusy();
    void Refuse();
    // Names what the server did to end the last operation, or says fallback
    // when it was nothing the server did.
    void ReportServerFailure(unsigned fallback);
    bool FinishConnect(int socket);
    bool WriteUntitledRecovery();
    net::CNntp::LoginHandler LoginHandler();
    net::CNntp::TrustHandler TrustHandler();
    bool FetchGroupListLocked();
    bool OpenGroupLocked(CNewsGroup& group, int& first, int& last, bool& hasUnread);
    void SendOpeningAhead(const CNewsGroup& group);
    bool FetchArticlesLocked(std::int64_t lo, std::int64_t hi, bool includeRead, std::int64_t limit);
    enum class WalkEnd { Done, Cancelled, Refused, GoneRun };
    WalkEnd WalkArticles(const detail::FetchPlan& plan, detail::HeaderFeed& feed, detail::StoredHeaders& stored,
                         detail::WalkCounters& counters, DocumentProgress& progress);
    // The store once it is open; null without one.
    HeaderStore* Store();
    std::string StoreServer() const;
    // After GROUP: notes the opening and forgets what the server no longer has.
    void TrimStoredGroup(const CNewsGroup& group, std::int64_t first, std::int64_t last);
    std::vector<std::int32_t> ListedNumbers() const;
    bool OverviewWanted() const;
    bool MayReadMore(detail::WalkCounters& counters);
    bool ReportWalkEnd(WalkEnd end);
    void AddArticle(std::int32_t n, bool read, const std::string& header);
    void AddArticle(std::unique_ptr<CArticle> article, bool read);
    static std::unique_ptr<CArticle> ParseArticle(std::int32_t n, const std::string& header);
    // Reads and drops the replies of ARTICLE commands sent ahead.
    void DropArticlesAhead();
    // The data of an ARTICLE reply into out in the cache's form.
    BodyFetch ReceiveArticle(DocumentProgress& progress, std::ofstream& out, const std::filesystem::path& file,
                             const std::function<void()>& onCancel);
    void FillPostParams();
    void MarkCrossposts(CArticle& article, bool read);
    bool ShowHeaderSetting() const;
    void ToggleShowHeader();

    DocumentHost* host_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    net::ProtocolLog log_; // before nntp_: the connection logs until it is gone
    net::CNntp nntp_;
    bool busy_ = false;
    // The window whose Cancel ends the wait in progress: the session start's, the group list's.
    DocumentProgress* cancelProgress_ = nullptr;
    int fetchDepth_ = 0; // >0 while a fetch appends to the article list
    std::deque<int> articlesAhead_; // ARTICLE commands sent ahead, oldest first
    bool useOverview_ = true;
    std::unordered_set<std::string> headOnlyGroups_; // their overview did not fit
    // Numbers of the last GROUP range the server says it does not have: the
    // gaps an overview may show unasked. -1 when not known.
    std::int64_t groupGaps_ = -1;
    // Sent ahead with the GROUP of the group being opened, for its walk.
    bool openingAhead_ = false;
    std::int32_t overAheadLo_ = 0, overAheadHi_ = 0; // an OVER among it; 0 when none
    HeaderStore store_;
    std::filesystem::path storePath_;
    bool storeTried_ = false;
    std::vector<DocumentView*> views_;
    PostParams postParams_;
    GroupListStats listStats_;
    GroupListLimits listLimits_;
    platform::Registry& registry_;
    LumeConfig config_;
    CGroupTable groups_;
    std::vector<std::unique_ptr<CArticle>> articles_;
    std::unique_ptr<ScoreBook> scores_;
    void PrepareScores();
    void ScoreArrival(CArticle& article);
    void ScoreList();
    void MarkKilledRead(CArticle& article);
    CReadList readList_;
    CNewsGroup* m_pCurrentGroup = nullptr;
    int currentArticle_ = -1;
    // Message-IDs read this session, so a crosspost fetched later in another
    // group counts as read.
    std::unordered_set<std::string> readIds_;
    std::filesystem::path path_;
    std::filesystem::path untitledFolder_;
    bool modified_ = false;
    bool readMarksLoadFailed_ = false;
};

} // namespace news
