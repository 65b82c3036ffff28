#include "news/LumeDoc.h"

#include "news/ProfileData.h"
#include "news/ReadMarksFile.h"
#include "news/Signatures.h"

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

CLumeDoc::CLumeDoc(DocumentHost* host, platform::Registry* registry) : m_host(host), m_registry(registry)
{
    m_groups.Reserve(kGroupTableSize);
}

void CLumeDoc::DeleteContents()
{
    // Going offline comes first here once the document holds a connection.
    m_pCurrentGroup = nullptr;
    m_readList.RemoveAll();
    m_articles.clear();
    m_nCurrentArticle = -1;
    m_groups.RemoveAll();
    m_groups.Reserve(kGroupTableSize);
    m_bReadMarksLoadFailed = false;
}

bool CLumeDoc::OnNewDocument()
{
    DeleteContents();
    m_config.ResetForNew();
    m_path.clear();
    m_bModified = false;
    return true;
}

bool CLumeDoc::OnOpenDocument(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);

    DeleteContents();
    m_path = path;
    m_bModified = false;
    return ExchangeConfig(path, false);
}

bool CLumeDoc::ExchangeConfig(const fs::path& path, bool store)
{
    CProfileData profile(path, LumeConfig::kSection, m_registry);
    CSignatureStore signatures(m_registry);
    if (store)
        m_config.TakeSignatures(signatures);
    if (!m_config.Exchange(profile, store)) {
        ReportError(m_host, msg::WriteFileFailed, {path.string()});
        return false;
    }
    if (!store)
        m_config.InstallSignatures(signatures);
    return true;
}

std::optional<fs::path> CLumeDoc::ReadMarksPathFor(const fs::path& configPath, const std::string& markFile)
{
    if (markFile.empty() || configPath.empty())
        return std::nullopt;
    // A configuration file from someone else must not name a file elsewhere.
    const fs::path name(markFile);
    if (name.is_absolute())
        return std::nullopt;
    for (const auto& part : name)
        if (part == "..")
            return std::nullopt;
    return configPath.parent_path() / name;
}

std::optional<fs::path> CLumeDoc::ReadMarksPath() const
{
    return ReadMarksPathFor(m_path, m_config.strMarkFile);
}

bool CLumeDoc::OnSaveDocument(const fs::path& path)
{
    const auto marks = ReadMarksPathFor(path, m_config.strMarkFile);
    if (!marks) {
        ReportError(m_host, msg::NoRecordFileName);
        return false;
    }
    if (!ExchangeConfig(path, true))
        return false;
    if (!SaveReadMarks(*marks)) {
        ReportError(m_host, msg::SaveRecordFailed);
        return false;
    }
    m_path = path;
    m_bModified = false;
    return true;
}

bool CLumeDoc::LoadReadMarks(const fs::path& path)
{
    switch (LoadReadMarksFile(path, m_groups, m_host)) {
    case ReadMarksLoad::Loaded:
        return true;
    case ReadMarksLoad::ReadError:
        m_bReadMarksLoadFailed = true;
        return false;
    default:
        return false;
    }
}

bool CLumeDoc::SaveReadMarks(const fs::path& path)
{
    StoreCurrentReadList();
    return SaveReadMarksFile(path, m_groups, m_host, !m_bReadMarksLoadFailed);
}

void CLumeDoc::StoreCurrentReadList()
{
    if (m_pCurrentGroup)
        m_readList.Format(m_pCurrentGroup->m_strReadList, true);
}

void CLumeDoc::SetCurrentGroup(CNewsGroup* group)
{
    StoreCurrentReadList();
    m_pCurrentGroup = group;
    m_readList.Parse(group ? group->m_strReadList : std::string());
}
