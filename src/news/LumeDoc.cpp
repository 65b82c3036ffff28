#include "platform/AtomicFile.h"
#include "news/LumeDoc.h"

#include "news/ProfileData.h"
#include "news/ReadMarksFile.h"
#include "news/Signatures.h"
#include "net/Tcpip.h"

#include <algorithm>


namespace fs = std::filesystem;

namespace news {

CLumeDoc::CLumeDoc(DocumentHost* host, platform::Registry* registry) : m_host(host), m_registry(registry)
{
    m_groups.Reserve(kGroupTableSize);
    // Network waits let the windows work (repaints, Cancel buttons).
    m_nntp.SetPump([this] {
        if (m_host)
            m_host->PumpEvents();
    });
}

CLumeDoc::~CLumeDoc() = default;

bool CLumeDoc::DeleteContents()
{
    if (m_busy || !GoOffline())
        return false;
    m_pCurrentGroup = nullptr;
    m_readList.RemoveAll();
    m_articles.clear();
    m_nCurrentArticle = -1;
    m_groups.RemoveAll();
    m_groups.Reserve(kGroupTableSize);
    m_bReadMarksLoadFailed = false;
    return true;
}

bool CLumeDoc::OnNewDocument()
{
    if (!DeleteContents()) {
        Refuse();
        return false;
    }
    m_config.ResetForNew();
    ApplyTransportSettings();
    m_path.clear();
    m_bModified = false;
    return true;
}

bool CLumeDoc::OnOpenDocument(const fs::path& path)
{
    // The file must be there and readable; the open fails otherwise.
    if (!platform::IsReadableRegularFile(path))
        return false;

    if (!DeleteContents()) {
        Refuse();
        return false;
    }
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
    if (!store) {
        m_config.InstallSignatures(signatures);
        ApplyTransportSettings();
    }
    return true;
}

void CLumeDoc::ApplyTransportSettings() const
{
    net::SetTcpWaitSec(m_config.UsedTcpWaitSec());
    net::SetTcpRetryCount(m_config.UsedTcpRetryCount());
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

void CLumeDoc::AddView(DocumentView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CLumeDoc::RemoveView(DocumentView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CLumeDoc::UpdateAllViews(DocumentView* sender, long hint)
{
    // A view told may remove views: walk a copy and skip the ones gone.
    const std::vector<DocumentView*> views = m_views;
    for (DocumentView* v : views)
        if (v != sender && std::find(m_views.begin(), m_views.end(), v) != m_views.end())
            v->OnUpdate(sender, hint);
}

bool CLumeDoc::TakeBusy()
{
    if (m_busy || !m_nntp.TryLock())
        return false;
    m_busy = true;
    return true;
}

void CLumeDoc::ReleaseBusy()
{
    m_busy = false;
    m_nntp.Unlock();
}

void CLumeDoc::Refuse()
{
    if (m_host)
        m_host->Beep();
}

} // namespace news
