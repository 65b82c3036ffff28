// The commands the document carries out, their update rules, and the post
// parameters of New article and Follow-up.
#include "news/CommandState.h"

#include "message/HeaderFields.h"
#include "news/FollowUp.h"
#include "news/LumeDoc.h"
#include "news/PostArticle.h"
#include "news/ServerLogin.h"
#include "platform/Registry.h"
#include "platform/StringIds.h"

#include <algorithm>

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
        UpdateAllViews(nullptr, Hint::NextArticle);
        return true;
    case cmd::PrevArticle:
        UpdateAllViews(nullptr, Hint::PrevArticle);
        return true;
    case cmd::NextUnread:
        UpdateAllViews(nullptr, Hint::NextUnread);
        return true;
    case cmd::MarkRead:
        UpdateAllViews(nullptr, Hint::MarkRead);
        return true;
    case cmd::Reload:
        Reload();
        return true;
    case cmd::Find:
    case cmd::FindNext:
    case cmd::FindPrev:
    case cmd::MarkUnread:
    case cmd::MarkThreadUnread:
    case cmd::PrevUnread:
        if (host_)
            host_->ForwardCommand(DocumentHost::Pane::ArticleList, id);
        return true;
    case cmd::PageForward:
    case cmd::PageBackward:
    case cmd::FilePrint:
        if (host_)
            host_->ForwardCommand(DocumentHost::Pane::Body, id);
        return true;
    case cmd::ShowHeader:
        ToggleShowHeader();
        UpdateAllViews(nullptr, Hint::Article);
        return true;
    case cmd::NewArticle:
        NewArticle();
        return true;
    case cmd::FollowUp:
        FollowUp();
        return true;
    case cmd::CancelArticle:
        CancelArticle();
        return true;
    case cmd::SupersedeArticle:
        SupersedeArticle();
        return true;
    case cmd::Settings:
        OnSettings();
        return true;
    case cmd::NewMail:
        MailNew();
        return true;
    case cmd::ReplyMail:
        MailReply();
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
        state.Enable(!busy_ && (connected || !config_.strNntpServer.empty()));
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
        state.Enable(!articles_.empty());
        return true;
    case cmd::MarkUnread:
    case cmd::MarkThreadUnread:
        state.Enable(!articles_.empty() && currentArticle_ >= 0);
        return true;
    case cmd::PrevUnread:
        state.Enable(connected);
        return true;
    case cmd::Reload:
        state.Enable(m_pCurrentGroup != nullptr && connected);
        return true;
    case cmd::ShowHeader:
        state.Enable(true);
        state.SetCheck(ShowHeaderSetting());
        return true;
    case cmd::ReplyMail:
        state.Enable(host_ && host_->HasShownArticle());
        return true;
    case cmd::CancelArticle:
    case cmd::SupersedeArticle:
        state.Enable(connected && ShowsOwnArticle());
        return true;
    case cmd::PageForward:
    case cmd::PageBackward:
    case cmd::FilePrint:
    case cmd::Settings:
    case cmd::NewMail:
        state.Enable(true);
        return true;
    default:
        return false;
    }
}

bool CLumeDoc::ShowHeaderSetting() const
{
    return registry_.GetInt(kBodyView, kShowHeader, 0) != 0;
}

void CLumeDoc::ToggleShowHeader()
{
    registry_.WriteInt(kBodyView, kShowHeader, ShowHeaderSetting() ? 0 : 1);
}

void CLumeDoc::FillPostParams()
{
    PostParams p;
    p.strRealName = config_.strRealName;
    p.strMailAddress = config_.strMailAddress;
    p.strOrganization = config_.strOrganization;
    p.strNntpServer = config_.strNntpServer;
    p.nNntpPort = config_.UsedNntpPort();
    p.PostKanjiCode = config_.UsedPostKanjiCode();
    p.security = SecurityOf(config_);
    p.askLogin = LoginHandler();
    p.askTrust = TrustHandler();
    p.timeouts = nntp_.Tcp().Timeouts();
    p.log = &log_;
    p.strNewsgroups = m_pCurrentGroup ? m_pCurrentGroup->m_strName : std::string();
    postParams_ = std::move(p);
}

void CLumeDoc::NewArticle()
{
    if (host_ && host_->ActivatePostWindow())
        return;
    FillPostParams();
    std::string header, displayed;
    if (host_ && host_->GetShownArticle(header, displayed)) {
        postParams_.strNewsgroups = message::GetHeaderField(header, "Newsgroups", true);
        postParams_.strDistribution = message::GetHeaderField(header, "Distribution", true);
    }
    if (!IsConnected()) {
        ReportError(host_, msg::OfflinePost);
        return;
    }
    if (!host_ || host_->OpenPostWindow(postParams_, nullptr) == PostWindowResult::CreateFailed)
        ReportError(host_, msg::PostWindowFailed);
}

void CLumeDoc::FollowUp()
{
    if (host_ && host_->ActivatePostWindow())
        return;
    FillPostParams();
    if (!IsConnected()) {
        ReportError(host_, msg::OfflinePost);
        return;
    }
    FollowUpSource source;
    if (host_ && host_->GetShownArticle(source.header, source.body)) {
        // Header lines shown above the body are not quoted, filtered or not.
        const std::size_t end = DisplayedHeaderEnd(source.body);
        if (end != std::string::npos)
            source.body.erase(0, end);
    }
    if (!host_ || host_->OpenPostWindow(postParams_, &source) == PostWindowResult::CreateFailed)
        ReportError(host_, msg::PostWindowFailed);
}

bool CLumeDoc::ShowsOwnArticle() const
{
    if (currentArticle_ < 0 || !host_ || !host_->HasShownArticle())
        return false;
    // currentArticle_ is the article's number.
    const auto current = std::find_if(articles_.begin(), articles_.end(),
                                      [this](const auto& a) { return a->m_nNumber == currentArticle_; });
    return current != articles_.end() && IsOwnFrom((*current)->m_strFrom, config_.strMailAddress);
}

namespace {

// The shown article's header and text, when it is the user's own.
bool ShownOwnArticle(DocumentHost* host, const std::string& address, FollowUpSource& article)
{
    if (!host || !host->GetShownArticle(article.header, article.body) ||
        !IsOwnFrom(message::GetHeaderField(article.header, "From", false), address))
        return false;
    const std::size_t end = DisplayedHeaderEnd(article.body);
    if (end != std::string::npos)
        article.body.erase(0, end);
    return true;
}

} // namespace

void CLumeDoc::CancelArticle()
{
    FillPostParams();
    FollowUpSource article;
    if (!IsConnected() || !ShownOwnArticle(host_, postParams_.strMailAddress, article))
        return;
    const SupersedeDraft shown = MakeSupersedeDraft(article.header, article.body);
    if (shown.supersedes.empty())
        return;
    if (host_->ShowMessage(platform::IDS_61344, MessageIcon::Question, {shown.form.subject}) != IDYES)
        return;
    const PostForm form = CancelForm(shown.supersedes, shown.form.newsgroups,
                                     host_->CancelSecret(postParams_.strMailAddress));
    PostHooks hooks;
    hooks.pump = [this] { host_->PumpEvents(); };
    host_->BeginWaitCursor();
    const PostOutcome outcome = PostArticle(form, postParams_, hooks);
    host_->EndWaitCursor();
    if (outcome.posted)
        host_->ShowMessage(platform::IDS_61345, MessageIcon::Information, {});
    else if (outcome.messageId != 0)
        host_->ShowMessage(outcome.messageId, MessageIcon::Stop, outcome.args);
    else
        host_->ShowMessageText(outcome.serverReply.empty() ? "cancel failed" : outcome.serverReply, MessageIcon::Stop);
}

void CLumeDoc::SupersedeArticle()
{
    if (host_ && host_->ActivatePostWindow())
        return;
    FillPostParams();
    FollowUpSource article;
    if (!IsConnected() || !ShownOwnArticle(host_, postParams_.strMailAddress, article))
        return;
    article.supersede = true;
    if (host_->OpenPostWindow(postParams_, &article) == PostWindowResult::CreateFailed)
        ReportError(host_, msg::PostWindowFailed);
}

} // namespace news
