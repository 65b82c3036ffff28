#pragma once
// The document: one configuration, its group table, the article list of the
// open group and the read list of that group. The network and the views join
// it later through DocumentHost and the view list; nothing here needs them.

#include "news/Article.h"
#include "news/DocumentHost.h"
#include "news/GroupTable.h"
#include "news/LumeConfig.h"
#include "news/ReadList.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace platform { class Registry; }

class CLumeDoc {
public:
    // host shows messages (may be null in tools); registry is the per-user
    // store for the signatures (the user's own when null).
    explicit CLumeDoc(DocumentHost* host = nullptr, platform::Registry* registry = nullptr);
    CLumeDoc(const CLumeDoc&) = delete;
    CLumeDoc& operator=(const CLumeDoc&) = delete;

    // --- document life ---
    // New configuration: empties the document and sets the new values.
    bool OnNewDocument();
    // Opens a configuration file: empties the document first, so nothing of
    // the previous configuration (above all its read marks) carries over.
    bool OnOpenDocument(const std::filesystem::path& path);
    // Writes the configuration, then the read-marks file beside it.
    bool OnSaveDocument(const std::filesystem::path& path);
    // Drops the groups, the articles and the open group.
    void DeleteContents();

    // Reads (store false) or writes the configuration file; the signature
    // settings travel with it. A refused write shows 61241.
    bool ExchangeConfig(const std::filesystem::path& path, bool store);

    // --- read marks ---
    bool LoadReadMarks(const std::filesystem::path& path);
    bool SaveReadMarks(const std::filesystem::path& path);
    // The read-marks file of this configuration: strMarkFile in the folder of
    // the configuration file. None when there is no path yet or the name is
    // empty, absolute or climbs out with "..".
    std::optional<std::filesystem::path> ReadMarksPath() const;
    static std::optional<std::filesystem::path> ReadMarksPathFor(const std::filesystem::path& configPath,
                                                                 const std::string& markFile);

    // --- groups and the open group's read list ---
    bool HasUnread(const CNewsGroup& group) const { return ::HasUnread(group); }
    // Makes group (or none) the open group: the read list goes back into the
    // previous group's marks and is parsed from the new group's.
    void SetCurrentGroup(CNewsGroup* group);
    CNewsGroup* GetCurrentGroup() const { return m_pCurrentGroup; }
    // Writes the read list back into the open group's marks, normalised.
    void StoreCurrentReadList();
    CReadList& ReadList() { return m_readList; }

    CGroupTable& Groups() { return m_groups; }
    const CGroupTable& Groups() const { return m_groups; }
    std::vector<std::unique_ptr<CArticle>>& Articles() { return m_articles; }
    int m_nCurrentArticle = -1;

    LumeConfig& Config() { return m_config; }
    const LumeConfig& Config() const { return m_config; }

    const std::filesystem::path& GetPathName() const { return m_path; }
    void SetPathName(std::filesystem::path path) { m_path = std::move(path); }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    // True after a read-marks file could not be read completely: until another
    // configuration is opened, saving never replaces that file.
    bool ReadMarksLoadFailed() const { return m_bReadMarksLoadFailed; }

private:
    static constexpr std::size_t kGroupTableSize = 20000;

    DocumentHost* m_host;
    platform::Registry* m_registry;
    LumeConfig m_config;
    CGroupTable m_groups;
    std::vector<std::unique_ptr<CArticle>> m_articles;
    CReadList m_readList;
    CNewsGroup* m_pCurrentGroup = nullptr;
    std::filesystem::path m_path;
    bool m_bModified = false;
    bool m_bReadMarksLoadFailed = false;
};
