#include "news/HeaderStore.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <system_error>

#include <sqlite3.h>

#include "platform/Registry.h"

namespace news {

namespace fs = std::filesystem;

namespace {

// "LumH": tells our file from any other SQLite database.
constexpr std::int64_t kApplicationId = 0x4C756D48;

const char* const kSchema =
    "CREATE TABLE groups(id INTEGER PRIMARY KEY, server BLOB NOT NULL, name BLOB NOT NULL,"
    " opened INTEGER NOT NULL, covered BLOB NOT NULL DEFAULT x'', UNIQUE(server, name));"
    "CREATE TABLE articles(grp INTEGER NOT NULL, number INTEGER NOT NULL, message_id BLOB NOT NULL,"
    " refs BLOB NOT NULL, subject BLOB NOT NULL, sender BLOB NOT NULL, xref BLOB NOT NULL,"
    " date INTEGER NOT NULL, PRIMARY KEY(grp, number)) WITHOUT ROWID;";

bool IsDamage(int code)
{
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { code_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int Code() const { return code_; }
    void Bind(int i, std::string_view v) { sqlite3_bind_blob64(s_, i, v.data() ? v.data() : "", v.size(), SQLITE_STATIC); }
    void Bind(int i, std::int64_t v) { sqlite3_bind_int64(s_, i, v); }
    int Step() { return code_ = sqlite3_step(s_); }
    void Reset() { sqlite3_reset(s_); }
    std::int64_t Int(int col) const { return sqlite3_column_int64(s_, col); }
    std::string Bytes(int col) const
    {
        const void* p = sqlite3_column_blob(s_, col);
        const int n = sqlite3_column_bytes(s_, col);
        return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    sqlite3_stmt* s_ = nullptr;
    int code_;
};

// One integer a query gives; the SQLite code.
int QueryInt(sqlite3* db, const char* sql, std::int64_t& out)
{
    Statement st(db, sql);
    if (st.Code() != SQLITE_OK)
        return st.Code();
    const int rc = st.Step();
    if (rc == SQLITE_ROW) {
        out = st.Int(0);
        return SQLITE_OK;
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

void Rollback(sqlite3* db) { sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr); }

// Sorted, joined ranges of numbers 1 and up; anything else is dropped.
std::vector<CReadSet> Joined(std::vector<CReadSet> sets)
{
    std::erase_if(sets, [](const CReadSet& r) { return r.m_nStart < 1 || r.m_nEnd < r.m_nStart; });
    std::sort(sets.begin(), sets.end(), [](const CReadSet& a, const CReadSet& b) { return a.m_nStart < b.m_nStart; });
    std::vector<CReadSet> out;
    for (const CReadSet& r : sets) {
        if (!out.empty() && std::int64_t{r.m_nStart} <= std::int64_t{out.back().m_nEnd} + 1)
            out.back().m_nEnd = std::max(out.back().m_nEnd, r.m_nEnd);
        else
            out.push_back(r);
    }
    return out;
}

std::vector<CReadSet> ParseRanges(std::string_view text)
{
    CReadList list;
    list.Parse(text);
    return Joined(list.Sets());
}

std::string RangesText(const std::vector<CReadSet>& sets)
{
    std::string text;
    for (const CReadSet& r : sets) {
        if (!text.empty())
            text += ',';
        text += std::to_string(r.m_nStart);
        if (r.m_nEnd != r.m_nStart)
            text += '-' + std::to_string(r.m_nEnd);
    }
    return text;
}

} // namespace

HeaderRecord RecordOf(const CArticle& a, std::string references)
{
    HeaderRecord r;
    r.number = a.m_nNumber;
    r.messageId = a.m_strMessageID;
    r.references = !references.empty()      ? std::move(references)
                   : !a.m_strReferences.empty() ? a.m_strReferences
                                                : a.m_strParentID;
    r.subject = a.m_strSubject;
    r.from = a.m_strFrom;
    r.xref = a.m_strXref;
    r.date = a.m_timeDate;
    return r;
}

CArticle ArticleOf(HeaderRecord r)
{
    CArticle a;
    a.m_nNumber = r.number;
    a.m_strMessageID = std::move(r.messageId);
    a.m_strReferences = CArticle::ReferenceChain(r.references);
    a.m_strParentID = CArticle::LastOfChain(a.m_strReferences);
    a.m_strSubject = std::move(r.subject);
    a.m_strFrom = std::move(r.from);
    a.m_strXref = std::move(r.xref);
    a.m_timeDate = r.date;
    return a;
}

fs::path HeaderStore::DefaultPath() { return platform::UserCacheFolder() / "headers.sqlite"; }

std::string HeaderStore::ServerKey(std::string_view host, int port)
{
    return std::string(host) + ":" + std::to_string(port);
}

HeaderStore::~HeaderStore() { Close(); }

void HeaderStore::Close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool HeaderStore::Open(const fs::path& file)
{
    Close();
    path_ = file;
    setAside_.clear();
    error_.clear();
    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    std::string why;
    switch (OpenFile(why)) {
    case Verdict::Sound:
        return true;
    case Verdict::Unavailable:
        return false;
    case Verdict::Untrusted:
        break;
    }
    SetAside(why);
    return OpenFile(why) == Verdict::Sound;
}

HeaderStore::Verdict HeaderStore::OpenFile(std::string& why)
{
    Close();
    int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        error_ = path_.string() + ": " + sqlite3_errstr(rc);
        Close();
        return Verdict::Unavailable;
    }
    // Another of our processes may be writing a batch.
    sqlite3_busy_timeout(db_, 5000);
    // Whole-group reads and the check on opening go through every page:
    // mapped, they are not copied a page at a time.
    sqlite3_exec(db_, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
    auto result = [&](int code, const std::string& problem) {
        if (IsDamage(code) || code == SQLITE_OK) {
            why = IsDamage(code) ? std::string("not a sound database (") + sqlite3_errstr(code) + ")" : problem;
            Close();
            return Verdict::Untrusted;
        }
        error_ = path_.string() + ": " + sqlite3_errstr(code);
        Close();
        return Verdict::Unavailable;
    };
    std::int64_t app = 0, version = 0, objects = 0;
    if ((rc = QueryInt(db_, "PRAGMA application_id", app)) != SQLITE_OK ||
        (rc = QueryInt(db_, "PRAGMA user_version", version)) != SQLITE_OK ||
        (rc = QueryInt(db_, "SELECT count(*) FROM sqlite_master", objects)) != SQLITE_OK)
        return result(rc, {});
    if (app == 0 && version == 0 && objects == 0)
        return CreateSchema() ? Verdict::Sound : result(sqlite3_errcode(db_), "could not be made");
    if (app != kApplicationId)
        return result(SQLITE_OK, "another program's database");
    if (version > kSchemaVersion)
        return result(SQLITE_OK, "made by a newer version (" + std::to_string(version) + ")");
    if (version < kSchemaVersion)
        return result(SQLITE_OK, "an older layout (" + std::to_string(version) + ")");
    {
        Statement check(db_, "PRAGMA quick_check");
        rc = check.Code() == SQLITE_OK ? check.Step() : check.Code();
        if (rc != SQLITE_ROW)
            return result(rc, "could not be checked");
        if (const std::string verdict = check.Bytes(0); verdict != "ok")
            return result(SQLITE_OK, "damaged: " + verdict);
    }
    std::int64_t tables = 0;
    if ((rc = QueryInt(db_, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('groups','articles')",
                       tables)) != SQLITE_OK)
        return result(rc, {});
    if (tables != 2)
        return result(SQLITE_OK, "tables are missing");
    if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=NORMAL"))
        return result(sqlite3_errcode(db_), "could not be set up");
    return Verdict::Sound;
}

bool HeaderStore::CreateSchema()
{
    // auto_vacuum only takes before the first table; WAL keeps readers and a
    // killed writer apart from the last committed state.
    if (!Exec("PRAGMA auto_vacuum=INCREMENTAL") || !Exec("PRAGMA journal_mode=WAL") ||
        !Exec("PRAGMA synchronous=NORMAL") || !Exec("BEGIN IMMEDIATE"))
        return false;
    const std::string header = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                               ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
    if (!Exec(kSchema) || !Exec(header.c_str()) || !Exec("COMMIT")) {
        Rollback(db_);
        return false;
    }
    return true;
}

void HeaderStore::SetAside(const std::string& why)
{
    Close();
    setAside_ = why;
    std::error_code ec;
    fs::path aside = path_;
    aside += ".damaged";
    fs::remove(aside, ec);
    fs::rename(path_, aside, ec);
    if (ec)
        fs::remove(path_, ec);
    // A journal of the old file must never be applied to the new one.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        fs::path side = path_;
        side += suffix;
        fs::remove(side, ec);
    }
}

void HeaderStore::Damaged(int code)
{
    SetAside(std::string("damaged in use (") + sqlite3_errstr(code) + ")");
    std::string why;
    if (OpenFile(why) != Verdict::Sound)
        Close();
}

bool HeaderStore::Exec(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    error_ = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return false;
}

bool HeaderStore::Fail(int code, const char* what)
{
    error_ = std::string(what) + ": " + sqlite3_errstr(code);
    if (db_ && IsDamage(code))
        Damaged(code);
    return false;
}

std::int64_t HeaderStore::GroupId(std::string_view server, std::string_view group, bool create)
{
    {
        Statement q(db_, "SELECT id FROM groups WHERE server=?1 AND name=?2");
        q.Bind(1, server);
        q.Bind(2, group);
        const int rc = q.Step();
        if (rc == SQLITE_ROW)
            return q.Int(0);
        if (rc != SQLITE_DONE) {
            Fail(rc, "finding the group");
            return 0;
        }
    }
    if (!create)
        return 0;
    Statement add(db_, "INSERT INTO groups(server, name, opened) VALUES(?1, ?2, ?3)");
    add.Bind(1, server);
    add.Bind(2, group);
    add.Bind(3, static_cast<std::int64_t>(std::time(nullptr)));
    if (const int rc = add.Step(); rc != SQLITE_DONE) {
        Fail(rc, "adding the group");
        return 0;
    }
    return sqlite3_last_insert_rowid(db_);
}

std::vector<HeaderRecord> HeaderStore::Load(std::string_view server, std::string_view group)
{
    return Load(server, group, 1, std::numeric_limits<std::int32_t>::max());
}

std::vector<HeaderRecord> HeaderStore::Load(std::string_view server, std::string_view group, std::int32_t lo,
                                            std::int32_t hi)
{
    std::vector<HeaderRecord> out;
    error_.clear();
    const std::int64_t id = db_ ? GroupId(server, group, false) : 0;
    if (id <= 0) {
        // Not "none of them": the caller may have been told otherwise.
        if (error_.empty())
            error_ = "the group is not stored";
        return out;
    }
    std::int64_t count = 0;
    for (const CReadSet& r : Covered(server, group))
        count += std::max<std::int64_t>(std::int64_t{std::min(r.m_nEnd, hi)} - std::max(r.m_nStart, lo) + 1, 0);
    out.reserve(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 22)));
    Statement st(db_, "SELECT number, message_id, refs, subject, sender, xref, date FROM articles"
                      " WHERE grp=?1 AND number BETWEEN ?2 AND ?3 ORDER BY number");
    st.Bind(1, id);
    st.Bind(2, std::int64_t{lo});
    st.Bind(3, std::int64_t{hi});
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        const std::int64_t number = st.Int(0);
        if (number < 1 || number > std::numeric_limits<std::int32_t>::max())
            continue;
        HeaderRecord& r = out.emplace_back();
        r.number = static_cast<std::int32_t>(number);
        r.messageId = st.Bytes(1);
        r.references = st.Bytes(2);
        r.subject = st.Bytes(3);
        r.from = st.Bytes(4);
        r.xref = st.Bytes(5);
        r.date = st.Int(6);
    }
    if (rc != SQLITE_DONE) {
        out.clear();
        Fail(rc, "reading headers");
    }
    return out;
}

bool HeaderStore::Add(std::string_view server, std::string_view group, std::span<const HeaderRecord> records,
                      std::span<const CReadSet> covered)
{
    if (!db_)
        return false;
    if (!Exec("BEGIN IMMEDIATE"))
        return Fail(sqlite3_errcode(db_), "starting a write");
    const std::int64_t id = GroupId(server, group, true);
    if (id <= 0) {
        // Already reported; damage has even replaced the file, with no write open.
        if (db_)
            Rollback(db_);
        return false;
    }
    int rc;
    {
        Statement ins(db_, "INSERT OR REPLACE INTO articles(grp, number, message_id, refs, subject, sender, xref, date)"
                           " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        rc = ins.Code() == SQLITE_OK ? SQLITE_DONE : ins.Code();
        for (const HeaderRecord& r : records) {
            if (rc != SQLITE_DONE)
                break;
            if (r.number < 1)
                continue;
            ins.Bind(1, id);
            ins.Bind(2, std::int64_t{r.number});
            ins.Bind(3, r.messageId);
            ins.Bind(4, r.references);
            ins.Bind(5, r.subject);
            ins.Bind(6, r.from);
            ins.Bind(7, r.xref);
            ins.Bind(8, r.date);
            rc = ins.Step();
            ins.Reset();
        }
    }
    if (rc == SQLITE_DONE && !covered.empty()) {
        std::vector<CReadSet> sets;
        rc = ReadCovered(id, sets);
        if (rc == SQLITE_DONE) {
            sets.insert(sets.end(), covered.begin(), covered.end());
            rc = WriteCovered(id, Joined(std::move(sets)));
        }
    }
    if (rc == SQLITE_DONE && Exec("COMMIT"))
        return true;
    if (rc == SQLITE_DONE)
        rc = sqlite3_errcode(db_);
    Rollback(db_);
    return Fail(rc, "storing headers");
}

int HeaderStore::ReadCovered(std::int64_t id, std::vector<CReadSet>& sets)
{
    Statement st(db_, "SELECT covered FROM groups WHERE id=?1");
    st.Bind(1, id);
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        sets = ParseRanges(st.Bytes(0));
    return rc == SQLITE_ROW ? SQLITE_DONE : rc;
}

int HeaderStore::WriteCovered(std::int64_t id, const std::vector<CReadSet>& sets)
{
    const std::string text = RangesText(sets);
    Statement st(db_, "UPDATE groups SET covered=?2 WHERE id=?1");
    st.Bind(1, id);
    st.Bind(2, std::string_view(text));
    return st.Step();
}

std::vector<CReadSet> HeaderStore::Covered(std::string_view server, std::string_view group)
{
    std::vector<CReadSet> sets;
    if (!db_)
        return sets;
    const std::int64_t id = GroupId(server, group, false);
    if (id <= 0)
        return sets;
    if (const int rc = ReadCovered(id, sets); rc != SQLITE_DONE) {
        sets.clear();
        Fail(rc, "reading the numbers stored");
    }
    return sets;
}

bool HeaderStore::DropBelow(std::string_view server, std::string_view group, std::int32_t low)
{
    return DropOutside(server, group, low, std::numeric_limits<std::int32_t>::max());
}

bool HeaderStore::DropAbove(std::string_view server, std::string_view group, std::int32_t high)
{
    return DropOutside(server, group, 1, high);
}

bool HeaderStore::DropOutside(std::string_view server, std::string_view group, std::int32_t low, std::int32_t high)
{
    if (!db_)
        return false;
    const std::int64_t id = GroupId(server, group, false);
    if (id <= 0)
        return db_ != nullptr;
    if (!Exec("BEGIN IMMEDIATE"))
        return Fail(sqlite3_errcode(db_), "starting a write");
    int rc;
    {
        // Apart, so that each goes by the key instead of scanning the group.
        Statement below(db_, "DELETE FROM articles WHERE grp=?1 AND number<?2");
        below.Bind(1, id);
        below.Bind(2, std::int64_t{low});
        rc = below.Step();
        if (rc == SQLITE_DONE) {
            Statement above(db_, "DELETE FROM articles WHERE grp=?1 AND number>?2");
            above.Bind(1, id);
            above.Bind(2, std::int64_t{high});
            rc = above.Step();
        }
    }
    std::vector<CReadSet> sets;
    if (rc == SQLITE_DONE)
        rc = ReadCovered(id, sets);
    if (rc == SQLITE_DONE) {
        std::vector<CReadSet> kept;
        for (CReadSet r : sets) {
            r.m_nStart = std::max(r.m_nStart, low);
            r.m_nEnd = std::min(r.m_nEnd, high);
            if (r.m_nStart <= r.m_nEnd)
                kept.push_back(r);
        }
        if (kept != sets)
            rc = WriteCovered(id, kept);
    }
    if (rc == SQLITE_DONE && Exec("COMMIT"))
        return true;
    if (rc == SQLITE_DONE)
        rc = sqlite3_errcode(db_);
    Rollback(db_);
    return Fail(rc, "dropping expired articles");
}

std::int32_t HeaderStore::Highest(std::string_view server, std::string_view group)
{
    if (!db_)
        return 0;
    const std::int64_t id = GroupId(server, group, false);
    if (id <= 0)
        return 0;
    Statement st(db_, "SELECT max(number) FROM articles WHERE grp=?1");
    st.Bind(1, id);
    const int rc = st.Step();
    if (rc != SQLITE_ROW) {
        Fail(rc, "reading the highest number");
        return 0;
    }
    return static_cast<std::int32_t>(st.Int(0));
}

bool HeaderStore::Touch(std::string_view server, std::string_view group, std::int64_t now)
{
    if (!db_)
        return false;
    Statement st(db_, "INSERT INTO groups(server, name, opened) VALUES(?1, ?2, ?3)"
                      " ON CONFLICT(server, name) DO UPDATE SET opened=excluded.opened");
    st.Bind(1, server);
    st.Bind(2, group);
    st.Bind(3, now);
    const int rc = st.Step();
    return rc == SQLITE_DONE || Fail(rc, "noting the group's opening");
}

std::int64_t HeaderStore::LastOpened(std::string_view server, std::string_view group)
{
    if (!db_)
        return 0;
    Statement st(db_, "SELECT opened FROM groups WHERE server=?1 AND name=?2");
    st.Bind(1, server);
    st.Bind(2, group);
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        return st.Int(0);
    if (rc != SQLITE_DONE)
        Fail(rc, "reading the group");
    return 0;
}

int HeaderStore::Expire(std::int64_t now, int days)
{
    if (!db_ || days < 0)
        return db_ ? 0 : -1;
    if (!Exec("BEGIN IMMEDIATE")) {
        Fail(sqlite3_errcode(db_), "starting a write");
        return -1;
    }
    const std::int64_t cutoff = now - std::int64_t{days} * 86400;
    int rc;
    int removed = 0;
    {
        Statement articles(db_, "DELETE FROM articles WHERE grp IN (SELECT id FROM groups WHERE opened<?1)");
        articles.Bind(1, cutoff);
        rc = articles.Step();
    }
    if (rc == SQLITE_DONE) {
        Statement groups(db_, "DELETE FROM groups WHERE opened<?1");
        groups.Bind(1, cutoff);
        rc = groups.Step();
        removed = sqlite3_changes(db_);
    }
    if (rc == SQLITE_DONE && Exec("COMMIT")) {
        // Give the freed pages back, so the file shrinks with what it holds.
        Exec("PRAGMA incremental_vacuum");
        return removed;
    }
    if (rc == SQLITE_DONE)
        rc = sqlite3_errcode(db_);
    Rollback(db_);
    Fail(rc, "expiring groups");
    return -1;
}

int HeaderStoreExpiryDays(const platform::Registry& registry)
{
    const int days = registry.GetInt("HeaderStore", "nExpireDays", HeaderStore::kDefaultExpiryDays);
    return days >= 1 && days <= 3650 ? days : HeaderStore::kDefaultExpiryDays;
}

} // namespace news
