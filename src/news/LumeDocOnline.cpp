// Going online and offline, and the server's group list.
#include "news/DocumentGuards.h"
#include "news/GroupListParser.h"
#include "news/LumeDoc.h"
#include "news/ServerLogin.h"
#include "platform/WinsockError.h"

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace fs = std::filesystem;

namespace news {

namespace {
using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string SizeText(long long bytes)
{
    constexpr long long kGb = 1LL << 30;
    return bytes % kGb == 0 ? std::to_string(bytes / kGb) + " GB" : std::to_string(bytes) + " bytes";
}
} // namespace

void CLumeDoc::ToggleOnline()
{
    if (busy_) {
        Refuse();
        return;
    }
    if (IsConnected()) {
        GoOffline();
        UpdateAllViews(nullptr, Hint::Online);
    } else {
        GoOnline(path_);
    }
}

bool CLumeDoc::GoOnline(const fs::path& path)
{
    if (busy_) {
        Refuse();
        return false;
    }
    {
        WaitCursor wait(host_);
        if (groups_.IsEmpty() && !config_.strMarkFile.empty() && !path.empty())
            if (const auto marks = ReadMarksPathFor(path, config_.strMarkFile))
                LoadReadMarks(*marks);
    }
    int socket = -1;
    {
        // Held through the connect dialog too, so that a second Online
        // pressed while it waits cannot start another connect.
        BusyLock lock(*this);
        if (!lock) {
            Refuse();
            return false;
        }
        if (host_)
            socket = host_->ConnectServer(config_.strNntpServer, config_.UsedNntpPort());
    }
    if (socket < 0)
        return false;
    return OnConnected(socket);
}

bool CLumeDoc::OnConnected(int socket)
{
    bool ok;
    {
        BusyLock lock(*this);
        if (!lock) {
            // Someone else holds the connection: this socket is not wanted.
            ::close(socket);
            Refuse();
            return false;
        }
        ok = FinishConnect(socket);
    }
    if (!ok) {
        GoOffline();
        return false;
    }
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, Hint::Online);
    return true;
}

bool CLumeDoc::FinishConnect(int socket)
{
    nntp_.Attach(socket);
    nntp_.SetServer(config_.strNntpServer, config_.UsedNntpPort());
    nntp_.SetSecurity(SecurityOf(config_));
    bool started;
    bool cancelled;
    {
        // Greeting, CAPABILITIES, TLS and the login may each wait long.
        ProgressScope progress(host_, kProgressDelayMs, msg::Connecting);
        if (!progress) {
            nntp_.Quit();
            return false;
        }
        cancelProgress_ = progress.operator->();
        started = nntp_.StartSession(false);
        cancelled = progress->Cancelled();
        cancelProgress_ = nullptr;
    }
    if (!started) {
        const int code = nntp_.Tcp().LastError();
        const net::SessionFailure failure = nntp_.LastFailure();
        // Other failures have been explained as they happened.
        const bool unexplained = failure == net::SessionFailure::Connection || failure == net::SessionFailure::Greeting;
        if (host_ && unexplained && !cancelled) {
            char text[512];
            std::snprintf(text, sizeof text, "Connect Error!! %d:%s", code, platform::WinsockErrorText(code).c_str());
            // The server's own fault is named; a socket error number would mislead.
            if (nntp_.LastPortHint() == net::PortHint::ExpectsTls)
                ReportError(host_, msg::PortExpectsTls, {text});
            else if (nntp_.Problem() != net::ServerProblem::None)
                ReportServerFailure(0);
            else
                host_->ShowMessageText(text, MessageIcon::Stop);
        }
        return false;
    }
    return FetchGroupListLocked();
}

bool CLumeDoc::GoOffline()
{
    if (busy_)
        return false;
    nntp_.Quit();
    headOnlyGroups_.clear();
    // Marks added by the fetch (articles the server no longer has) go with the group.
    StoreCurrentReadList();
    articles_.clear();
    currentArticle_ = -1;
    m_pCurrentGroup = nullptr;
    readList_.RemoveAll();
    return true;
}

bool CLumeDoc::FetchGroupList()
{
    BusyLock lock(*this);
    if (!lock)
        return false;
    return FetchGroupListLocked();
}

bool CLumeDoc::FetchGroupListLocked()
{
    WaitCursor wait(host_);
    listStats_ = {};
    const auto started = Clock::now();
    // Going offline without a word would look like a connect that did nothing.
    if (!nntp_.List()) {
        ReportServerFailure(msg::ServerFailed);
        return false;
    }
    ProgressScope progress(host_, kProgressDelayMs, msg::ReadingGroupList);
    if (!progress)
        return false;
    // A list that trickles in spends its time inside one line's wait.
    cancelProgress_ = progress.operator->();

    bool result = false;
    std::string line;
    std::string status;
    Clock::duration merging{};
    long long bytes = 0;
    for (long long count = 0;; ++count) {
        if (host_)
            host_->PumpEvents();
        const int r = nntp_.ReadDataLine(line);
        if (r < 0) {
            if (!progress->Cancelled())
                ReportServerFailure(msg::ServerFailed);
            break;
        }
        if (r == 0) {
            result = true;
            break;
        }
        bytes += static_cast<long long>(line.size());
        if (count >= listLimits_.groups || bytes > listLimits_.bytes) {
            ReportError(host_, platform::IDS_61367, {std::to_string(listLimits_.groups), SizeText(listLimits_.bytes)});
            break;
        }
        const auto before = Clock::now();
        const CNewsGroup* group = MergeGroupListLine(groups_, line);
        merging += Clock::now() - before;
        if (group) {
            status = std::to_string(count);
            status += ": ";
            status += group->m_strName;
            progress->SetMessage(status);
        }
        if (progress->Cancelled())
            break;
        listStats_.lines = count + 1;
    }
    cancelProgress_ = nullptr;
    listStats_.totalMs = Ms(Clock::now() - started);
    listStats_.mergeMs = Ms(merging);
    return result;
}

} // namespace news
