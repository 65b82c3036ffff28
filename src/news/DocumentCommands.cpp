// The commands the document carries out, their update rules, and the post
// parameters of New article and Follow-up.
#include "news/DocumentCommands.h"

#include "message/HeaderFields.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"

namespace cmd = platform::cmd;

namespace news {

namespace {
constexpr const char* kBodyView = "BodyView";
constexpr const char* kShowHeader = "bShowHeader";
} // namespace

bool CLumeDoc::OnCommand(unsigned id)
{
    switch (id) {
    case cmd::Online:
        ToggleOnline();
        return true;
    case cmd::NextArticle:
        UpdateAllViews(nullptr, hint::NextArticle);
        return true;
    case cmd::PrevArticle:
        UpdateAllViews(nullptr, hint::PrevArticle);
        return true;
    case cmd::NextUnread:
        UpdateAllViews(nullptr, hint::NextUnread);
        return true;
    case cmd::MarkRead:
        UpdateAllViews(nullptr, hint::MarkRead);
        return true;
    case cmd::Reload:
        Reload();
        return true;
    case cmd::Find:
    case cmd::FindNext:
    case cmd::FindPrev:
        if (m_host)
            m_host->ForwardCommand(DocumentHost::Pane::ArticleList, id);
        return true;
    case cmd::PageForward:
    case cmd::PageBackward:
    case cmd::FilePrint:
        if (m_host)
            m_host->ForwardCommand(DocumentHost::Pane::Body, id);
        return true;
    case cmd::ShowHeader:
        ToggleShowHeader();
        UpdateAllViews(nullptr, hint::Article);
        return true;
    case cmd::NewArticle:
        NewArticle();
        return true;
    case cmd::FollowUp:
        FollowUp();
        return true;
    case cmd::Settings:
        OnSettings();
        return true;
    default:
        return false;
    }
}

bool CLumeDoc::OnUpdateCommand(unsigned id, CommandState& state) const
{
    const bool connected = IsConnected();
    switch (id) {
    case cmd::Online:
        state.Enable(!m_busy && (connected || !m_config.strNntpServer.empty()));
        state.SetCheck(connected);
        return true;
    case cmd::NextArticle:
    case cmd::PrevArticle:
    case cmd::NewArticle:
    case cmd::FollowUp:
    case cmd::NextUnread:
    case cmd::Find:
    case cmd::FindPrev:
    case cmd::FindNext:
        state.Enable(connected);
        return true;
    case cmd::MarkRead:
        state.Enable(!m_articles.empty());
        return true;
    case cmd::Reload:
        state.Enable(m_pCurrentGroup != nullptr && connected);
        return true;
    case cmd::ShowHeader:
        state.Enable(true);
        state.SetCheck(ShowHeaderSetting());
        return true;
    case cmd::PageForward:
    case cmd::PageBackward:
    case cmd::FilePrint:
    case cmd::Settings:
        state.Enable(true);
        return true;
    default:
        return false;
    }
}

bool CLumeDoc::ShowHeaderSetting() const
{
    const platform::Registry& reg = m_registry ? *m_registry : platform::Registry::User();
    return reg.GetInt(kBodyView, kShowHeader, 0) != 0;
}

void CLumeDoc::ToggleShowHeader()
{
    platform::Registry& reg = m_registry ? *m_registry : platform::Registry::User();
    reg.WriteInt(kBodyView, kShowHeader, ShowHeaderSetting() ? 0 : 1);
}

void CLumeDoc::FillPostParams()
{
    PostParams p;
    p.strRealName = m_config.strRealName;
    p.strMailAddress = m_config.strMailAddress;
    p.strOrganization = m_config.strOrganization;
    p.strNntpServer = m_config.strNntpServer;
    p.nNntpPort = m_config.UsedNntpPort();
    p.PostKanjiCode = m_config.UsedPostKanjiCode();
    p.strNewsgroups = m_pCurrentGroup ? m_pCurrentGroup->m_strName : std::string();
    m_postParams = std::move(p);
}

void CLumeDoc::NewArticle()
{
    if (m_host && m_host->ActivatePostWindow())
        return;
    FillPostParams();
    std::string header, displayed;
    if (m_host && m_host->GetShownArticle(header, displayed)) {
        m_postParams.strNewsgroups = message::GetHeaderField(header, "Newsgroups", true);
        m_postParams.strDistribution = message::GetHeaderField(header, "Distribution", true);
    }
    if (!IsConnected()) {
        ReportError(m_host, msg::OfflinePost);
        return;
    }
    if (!m_host || m_host->OpenPostWindow(m_postParams, nullptr) == PostWindowResult::CreateFailed)
        ReportError(m_host, msg::PostWindowFailed);
}

void CLumeDoc::FollowUp()
{
    if (m_host && m_host->ActivatePostWindow())
        return;
    FillPostParams();
    if (!IsConnected()) {
        ReportError(m_host, msg::OfflinePost);
        return;
    }
    FollowUpSource source;
    if (m_host && m_host->GetShownArticle(source.header, source.body) && ShowHeaderSetting()) {
        // The displayed text starts with the header lines: drop them.
        const std::size_t blank = source.body.find("\r\n\r\n");
        if (blank != std::string::npos)
            source.body.erase(0, blank);
    }
    if (!m_host || m_host->OpenPostWindow(m_postParams, &source) == PostWindowResult::CreateFailed)
        ReportError(m_host, msg::PostWindowFailed);
}

} // namespace news
