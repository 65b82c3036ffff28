#pragma once
// A document host for tests: answers the dialogs from scripts, records every
// message, progress window and hint, and can press Cancel at a chosen step.

#include "news/DocumentHost.h"
#include "news/DocumentView.h"
#include "support/TestFiles.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace newstest {

using Ids = std::vector<unsigned>;
using testutil::ReadFile;
using testutil::WriteFile;
using ScratchDir = testutil::ScratchDir;

struct ProgressLog {
    unsigned caption = 0;
    long long total = 0;
    std::vector<std::string> messages;
    bool closed = false;
    bool cancel = false; // set by a test: Cancel is pressed
};

class ScriptedHost : public news::DocumentHost {
public:
    struct Message {
        unsigned id;
        news::MessageIcon icon;
        std::vector<std::string> args;
    };
    std::vector<Message> messages;
    std::vector<std::string> texts; // literal message texts
    int beeps = 0;
    int ShowMessage(unsigned id, news::MessageIcon icon, const std::vector<std::string>& args) override
    {
        messages.push_back({id, icon, args});
        return news::IDOK;
    }
    int ShowMessageText(const std::string& text, news::MessageIcon) override { return texts.push_back(text), news::IDOK; }
    void Beep() override { ++beeps; }
    Ids StopIds() const
    {
        Ids ids;
        for (const auto& m : messages)
            if (m.icon == news::MessageIcon::Stop)
                ids.push_back(m.id);
        return ids;
    }

    // The dialogs answer in order and record their presets; unscripted, the
    // limit dialog says No and the reload dialog Cancel.
    struct LimitAnswer {
        int button, count;
    };
    std::deque<LimitAnswer> limitAnswers;
    std::vector<int> limitPresets;
    int AskReadLimit(int& count) override
    {
        limitPresets.push_back(count);
        if (limitAnswers.empty())
            return news::IDNO;
        const LimitAnswer a = limitAnswers.front();
        limitAnswers.pop_front();
        count = a.count;
        return a.button;
    }
    struct ReloadAnswer {
        int button, start, end;
    };
    std::deque<ReloadAnswer> reloadAnswers;
    std::vector<std::pair<int, int>> reloadPresets;
    int AskReloadRange(int& start, int& end) override
    {
        reloadPresets.emplace_back(start, end);
        if (reloadAnswers.empty())
            return news::IDCANCEL;
        const ReloadAnswer a = reloadAnswers.front();
        reloadAnswers.pop_front();
        start = a.start;
        end = a.end;
        return a.button;
    }

    // cancelAtMessage presses Cancel once a window has that many texts (0: never).
    std::vector<std::shared_ptr<ProgressLog>> progress;
    int cancelAtMessage = 0;
    int openNow = 0;
    std::unique_ptr<news::DocumentProgress> MakeProgress(int) override
    {
        progress.push_back(std::make_shared<ProgressLog>());
        return std::make_unique<Window>(*this, progress.back());
    }

    int waitDepth = 0;
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }

    // onPump is where a user's click arrives in the middle of an operation.
    std::function<void(int pumpCount)> onPump;
    int pumps = 0;
    void PumpEvents() override
    {
        if (++pumps, onPump)
            onPump(pumps);
    }

    std::function<int(const std::string&, int)> connect; // unset: a plain blocking connect
    std::vector<std::pair<std::string, int>> connectCalls;
    int ConnectServer(const std::string& server, int port) override
    {
        connectCalls.emplace_back(server, port);
        return connect ? connect(server, port) : PlainConnect(server, port);
    }
    static int PlainConnect(const std::string& server, int port)
    {
        addrinfo hints{}, *res = nullptr;
        hints.ai_socktype = SOCK_STREAM;
        if (::getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &res) != 0)
            return -1;
        int fd = ::socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, res->ai_addr, res->ai_addrlen) != 0)
            ::close(std::exchange(fd, -1));
        ::freeaddrinfo(res);
        return fd;
    }

    // Logins answer in order (then Cancel); certificates as trustCertificates says.
    std::deque<std::pair<std::string, std::string>> logins;
    std::vector<net::LoginRequest> loginRequests;
    bool AskLogin(const net::LoginRequest& request, std::string& user, std::string& password) override
    {
        loginRequests.push_back(request);
        if (logins.empty())
            return false;
        std::tie(user, password) = logins.front();
        logins.pop_front();
        return true;
    }
    bool trustCertificates = false;
    std::vector<net::CertificateInfo> certificates;
    bool AskTrustCertificate(const net::CertificateInfo& info) override
    {
        certificates.push_back(info);
        return trustCertificates;
    }

    bool showsArticle = false;
    std::string shownHeader, shownText;
    bool GetShownArticle(std::string& header, std::string& displayed) override
    {
        header = shownHeader;
        displayed = shownText;
        return showsArticle;
    }
    bool HasShownArticle() override { return showsArticle; }
    bool clipboardFree = true, startWorks = true;
    std::vector<std::string> clipboard;
    std::vector<std::vector<std::string>> started; // program, then its arguments
    bool PutClipboardText(const std::string& text) override { return clipboardFree && (clipboard.push_back(text), 1); }
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override
    {
        return started.push_back({program}), started.back().insert(started.back().end(), args.begin(), args.end()),
               startWorks;
    }
    bool postWindowExists = false;
    int activations = 0;
    bool ActivatePostWindow() override { return activations += postWindowExists, postWindowExists; }
    news::PostWindowResult postResult = news::PostWindowResult::Started;
    std::vector<news::PostParams> postParams;
    std::vector<std::unique_ptr<news::FollowUpSource>> postSources;
    news::PostWindowResult OpenPostWindow(const news::PostParams& params, const news::FollowUpSource* source) override
    {
        postParams.push_back(params);
        postSources.push_back(source ? std::make_unique<news::FollowUpSource>(*source) : nullptr);
        return postResult;
    }
    std::vector<std::pair<Pane, unsigned>> forwarded;
    void ForwardCommand(Pane pane, unsigned id) override { forwarded.emplace_back(pane, id); }

private:
    class Window : public news::DocumentProgress {
    public:
        Window(ScriptedHost& host, std::shared_ptr<ProgressLog> log) : m_host(host), m_log(std::move(log)) {}
        ~Window() override { Close(); }
        bool Open(unsigned captionId) override
        {
            m_log->caption = captionId;
            m_host.openNow += !m_open;
            return m_open = true;
        }
        void SetTotal(long long total) override { m_log->total = total; }
        void SetPosition(long long) override {}
        void SetMessage(const std::string& text) override
        {
            m_log->messages.push_back(text);
            const int at = m_host.cancelAtMessage;
            m_cancelled |= at > 0 && static_cast<int>(m_log->messages.size()) >= at;
        }
        bool Cancelled() const override { return m_cancelled || m_log->cancel; }
        void Close() override
        {
            m_host.openNow -= m_open;
            m_open = false;
            m_log->closed = true;
        }

    private:
        ScriptedHost& m_host;
        std::shared_ptr<ProgressLog> m_log;
        bool m_open = false, m_cancelled = false;
    };
};

struct RecordingView : news::DocumentView {
    std::vector<news::Hint> hints;
    std::function<void(news::Hint)> onHint;
    void OnUpdate(news::DocumentView*, news::Hint h) override
    {
        hints.push_back(h);
        if (onHint)
            onHint(h);
    }
};

} // namespace newstest
