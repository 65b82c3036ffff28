#pragma once
// The headers already fetched, kept on disk per server and group (SQLite),
// so that opening a group again asks the server only for what is new.
//
// It is a cache: deleting the file loses nothing. A file that is not a
// sound store of this version (damaged, another program's, a newer
// version's) is set aside and a new one made, never read. Every write is
// one transaction, so a process killed at any moment leaves a usable store.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "news/Article.h"
#include "news/ReadList.h"

using sqlite3 = struct sqlite3;

namespace platform {
class Registry;
}

namespace news {

// One article's header fields as the fetch produced them (Shift_JIS).
struct HeaderRecord {
    std::int32_t number = 0;
    std::string messageId;
    std::string references; // the whole chain when the fetch had it, else the parent
    std::string subject;
    std::string from;
    std::string xref;
    std::int64_t date = 0;  // seconds since 1970 UTC; 0 when unknown
};

HeaderRecord RecordOf(const CArticle& article, std::string references = {});
// m_bRead is left false: read marks live in news.rc, not here.
CArticle ArticleOf(HeaderRecord record);

class HeaderStore {
public:
    static constexpr int kSchemaVersion = 2;
    static constexpr int kDefaultExpiryDays = 30;

    // headers.sqlite in the user's cache folder.
    static std::filesystem::path DefaultPath();
    // How a server is named in the store.
    static std::string ServerKey(std::string_view host, int port);

    HeaderStore() = default;
    ~HeaderStore();
    HeaderStore(const HeaderStore&) = delete;
    HeaderStore& operator=(const HeaderStore&) = delete;

    // Opens the store, making the folder and the file when missing. An
    // untrusted file is renamed to "<name>.damaged" (replacing an older one)
    // and SetAsideReason() says why. False only when no store can be had
    // (a folder that cannot be written, a file another process holds):
    // the caller goes on without one.
    bool Open(const std::filesystem::path& file);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const std::string& SetAsideReason() const { return setAside_; }
    const std::string& LastError() const { return error_; }

    // The group's records, by number. Empty when none or on failure;
    // LastError() then tells a failure or a group not stored from none.
    std::vector<HeaderRecord> Load(std::string_view server, std::string_view group);
    // Only the numbers lo..hi.
    std::vector<HeaderRecord> Load(std::string_view server, std::string_view group, std::int32_t lo, std::int32_t hi);
    // All or nothing; a record with a number already stored replaces it.
    // Records with a number below 1 are skipped. covered: the numbers whose
    // answer the fetch took (the records' and the gone ones), added to the
    // group's Covered() in the same transaction.
    bool Add(std::string_view server, std::string_view group, std::span<const HeaderRecord> records,
             std::span<const CReadSet> covered = {});
    // The numbers the store can answer for: a covered number without a
    // record is one the server no longer had. Sorted, joined ranges.
    std::vector<CReadSet> Covered(std::string_view server, std::string_view group);
    // Forgets the numbers below low, the server's GROUP low mark.
    bool DropBelow(std::string_view server, std::string_view group, std::int32_t low);
    // Forgets the numbers above high: a server whose group now ends below
    // what is stored has numbered it anew.
    bool DropAbove(std::string_view server, std::string_view group, std::int32_t high);
    // 0 when nothing is stored (or on failure).
    std::int32_t Highest(std::string_view server, std::string_view group);
    // Notes that the group was opened at now (seconds since 1970).
    bool Touch(std::string_view server, std::string_view group, std::int64_t now);
    // 0 when the group is not stored.
    std::int64_t LastOpened(std::string_view server, std::string_view group);
    // Removes every group not opened within days before now, with its
    // records; the number of groups removed, or -1 on failure.
    int Expire(std::int64_t now, int days);

private:
    enum class Verdict { Sound, Untrusted, Unavailable };
    Verdict OpenFile(std::string& why);
    bool CreateSchema();
    void SetAside(const std::string& why);
    // After SQLite reported damage in use: set the file aside and start anew.
    void Damaged(int code);
    bool Exec(const char* sql);
    bool Fail(int code, const char* what);
    // The group's id; 0 when absent (and create is false) or on failure.
    std::int64_t GroupId(std::string_view server, std::string_view group, bool create);
    // Inside a transaction; SQLITE_DONE on success.
    int ReadCovered(std::int64_t id, std::vector<CReadSet>& sets);
    int WriteCovered(std::int64_t id, const std::vector<CReadSet>& sets);
    bool DropOutside(std::string_view server, std::string_view group, std::int32_t low, std::int32_t high);

    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
    std::string setAside_;
    std::string error_;
};

// The setting: days a group may go unopened before its headers are dropped
// (registry "HeaderStore", "nExpireDays"; 1..3650).
int HeaderStoreExpiryDays(const platform::Registry& registry);

} // namespace news
