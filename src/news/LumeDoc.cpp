#include "platform/AtomicFile.h"
#include "news/LumeDoc.h"
#include "news/ScoreBook.h"
#include "news/ServerLogin.h"

#include "news/ProfileData.h"
#include "news/ReadMarksFile.h"
#include "news/Signatures.h"
#include "net/Tcpip.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"

#include <algorithm>


namespace fs = std::filesystem;

namespace news {

CLumeDoc::CLumeDoc(DocumentHost* host, platform::Registry& registry) : host_(host), registry_(registry)
{
    nntp_.SetLog(&log_);
    groups_.Reserve(kGroupTableSize);
    // Network waits let the windows work (repaints, Cancel buttons).
    nntp_.SetPump([this] {
        if (host_)
            host_->PumpEvents();
        // Cancel ends the wait it is pressed in, not only the next one.
        if (cancelProgress_ && cancelProgress_->Cancelled())
            net::CancelBlockingCall();
    });
    nntp_.SetLoginHandler(LoginHandler());
    nntp_.SetTrustHandler(TrustHandler());
    nntp_.SetFailureHandler([this](net::SessionFailure failure, const std::string& detail) {
        // A cancelled start needs no explanation.
        if (cancelProgress_ && cancelProgress_->Cancelled())
            return;
        const unsigned id = SessionFailureMessage(failure);
        if (id && failure == net::SessionFailure::Tls && nntp_.LastPortHint() == net::PortHint::ExpectsPlain)
            ReportError(host_, msg::PortExpectsPlain,
                        {platform::FormatSjisMessage(platform::LoadString(id), {detail})});
        else if (id)
            ReportError(host_, id, {detail});
    });
}

// The handlers outlive nothing: a post window holding a copy after the
// document is gone finds them answering "no".
net::CNntp::LoginHandler CLumeDoc::LoginHandler()
{
    return [this, alive = std::weak_ptr<int>(alive_)](const net::LoginRequest& request, std::string& user,
                                                        std::string& password) {
        return !alive.expired() && host_ && host_->AskLogin(request, user, password);
    };
}

net::CNntp::TrustHandler CLumeDoc::TrustHandler()
{
    return [this, alive = std::weak_ptr<int>(alive_)](const net::CertificateInfo& info) {
        if (alive.expired() || !host_ || !host_->AskTrustCertificate(info) || alive.expired())
            return false;
        config_.strTrustedCertificate = info.sha256;
        SetModifiedFlag(true);
        return true;
    };
}

CLumeDoc::~CLumeDoc() = default;

bool CLumeDoc::DeleteContents()
{
    if (busy_ || !GoOffline())
        return false;
    m_pCurrentGroup = nullptr;
    readList_.RemoveAll();
    articles_.clear();
    readIds_.clear();
    currentArticle_ = -1;
    groups_.RemoveAll();
    groups_.Reserve(kGroupTableSize);
    readMarksLoadFailed_ = false;
    return true;
}

bool CLumeDoc::OnNewDocument()
{
    if (!DeleteContents()) {
        Refuse();
        return false;
    }
    config_.ResetForNew();
    ApplyTransportSettings();
    path_.clear();
    modified_ = false;
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
    path_ = path;
    modified_ = false;
    return ExchangeConfig(path, false);
}

bool CLumeDoc::ExchangeConfig(const fs::path& path, bool store)
{
    CProfileData profile(path, LumeConfig::kSection, &registry_);
    CSignatureStore signatures(registry_);
    if (store)
        config_.TakeSignatures(signatures);
    if (!config_.Exchange(profile, store)) {
        ReportError(host_, msg::WriteFileFailed, {path.string()});
        return false;
    }
    if (!store) {
        config_.InstallSignatures(signatures);
        ApplyTransportSettings();
    }
    return true;
}

void CLumeDoc::ApplyTransportSettings()
{
    nntp_.SetTimeouts({config_.UsedTcpWaitSec(), config_.UsedTcpRetryCount()});
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
    return ReadMarksPathFor(path_, config_.strMarkFile);
}

bool CLumeDoc::OnSaveDocument(const fs::path& path)
{
    const auto marks = ReadMarksPathFor(path, config_.strMarkFile);
    if (!marks) {
        ReportError(host_, msg::NoRecordFileName);
        return false;
    }
    if (!ExchangeConfig(path, true))
        return false;
    if (!SaveReadMarks(*marks)) {
        ReportError(host_, msg::SaveRecordFailed);
        return false;
    }
    path_ = path;
    modified_ = false;
    return true;
}

bool CLumeDoc::LoadReadMarks(const fs::path& path)
{
    switch (LoadReadMarksFile(path, groups_, host_)) {
    case ReadMarksLoad::Loaded:
        return true;
    case ReadMarksLoad::ReadError:
        readMarksLoadFailed_ = true;
        return false;
    default:
        return false;
    }
}

bool CLumeDoc::SaveReadMarks(const fs::path& path)
{
    StoreCurrentReadList();
    return SaveReadMarksFile(path, groups_, host_, !readMarksLoadFailed_);
}

void CLumeDoc::StoreCurrentReadList()
{
    if (m_pCurrentGroup)
        readList_.Format(m_pCurrentGroup->m_strReadList, true);
}

void CLumeDoc::AddView(DocumentView* view)
{
    if (view && std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void CLumeDoc::RemoveView(DocumentView* view)
{
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void CLumeDoc::SetCurrentArticle(int number, DocumentView* sender)
{
    currentArticle_ = number < 0 ? -1 : number;
    UpdateAllViews(sender, currentArticle_ < 0 ? Hint::ListCleared : Hint::Article);
}

void CLumeDoc::UpdateAllViews(DocumentView* sender, Hint hint)
{
    // A view told may remove views: walk a copy and skip the ones gone.
    const std::vector<DocumentView*> views = views_;
    for (DocumentView* v : views)
        if (v != sender && std::find(views_.begin(), views_.end(), v) != views_.end())
            v->OnUpdate(sender, hint);
}

bool CLumeDoc::TakeBusy()
{
    if (busy_ || !nntp_.TryLock())
        return false;
    busy_ = true;
    return true;
}

void CLumeDoc::ReleaseBusy()
{
    busy_ = false;
    nntp_.Unlock();
}

void CLumeDoc::Refuse()
{
    if (host_)
        host_->Beep();
}

void CLumeDoc::ReportServerFailure(unsigned fallback)
{
    if (const unsigned id = ServerProblemMessage(nntp_.Problem()))
        ReportError(host_, id, {nntp_.ProblemDetail()});
    else if (fallback)
        ReportError(host_, fallback);
}

} // namespace news
