#pragma once
// A document host for tests: answers the dialogs from scripts, records every
// message, progress window and hint, and can press Cancel at a chosen step.

#include "news/DocumentHost.h"
#include "news/DocumentView.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace newstest {

struct ProgressLog {
    unsigned caption = 0;
    long long total = 0;
    std::vector<std::string> messages;
    bool closed = false;
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

    // Dialog 135: answers in order; each preset value is recorded. Without a
    // scripted answer the dialog says No.
    struct LimitAnswer {
        int button;
        int count;
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

    // Dialog 122.
    struct ReloadAnswer {
        int button;
        int start;
        int end;
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

    int ShowMessage(unsigned id, news::MessageIcon icon, const std::vector<std::string>& args) override
    {
        messages.push_back({id, icon, args});
        return news::IDOK;
    }
    int ShowMessageText(const std::string& text, news::MessageIcon) override
    {
        texts.push_back(text);
        return news::IDOK;
    }
    void Beep() override { ++beeps; }

    // Every progress window made is logged. cancelAtMessage presses Cancel
    // once a window has been given that many texts (0: never).
    std::vector<std::shared_ptr<ProgressLog>> progress;
    int cancelAtMessage = 0;
    int openNow = 0; // windows open at the moment
    std::unique_ptr<news::DocumentProgress> MakeProgress(int) override
    {
        auto log = std::make_shared<ProgressLog>();
        progress.push_back(log);
        return std::make_unique<Window>(*this, log);
    }

    int waitDepth = 0;
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }

    // Runs onPump (when set) at every pump: the place where a user's click
    // arrives in the middle of an operation.
    std::function<void(int pumpCount)> onPump;
    int pumps = 0;
    void PumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }

    // The connect step: a plain blocking connect to host:port, unless connect is set.
    std::function<int(const std::string&, int)> connect;
    std::vector<std::pair<std::string, int>> connectCalls;
    int ConnectServer(const std::string& server, int port) override
    {
        connectCalls.emplace_back(server, port);
        if (connect)
            return connect(server, port);
        return PlainConnect(server, port);
    }
    static int PlainConnect(const std::string& server, int port)
    {
        addrinfo hints{}, *res = nullptr;
        hints.ai_socktype = SOCK_STREAM;
        if (::getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &res) != 0)
            return -1;
        int fd = ::socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, res->ai_addr, res->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
        ::freeaddrinfo(res);
        return fd;
    }

    // The body pane and the post window.
    bool showsArticle = false;
    std::string shownHeader, shownText;
    bool GetShownArticle(std::string& header, std::string& displayed) override
    {
        header = shownHeader;
        displayed = shownText;
        return showsArticle;
    }
    bool postWindowExists = false;
    int activations = 0;
    bool ActivatePostWindow() override
    {
        if (postWindowExists)
            ++activations;
        return postWindowExists;
    }
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

    std::vector<unsigned> StopIds() const
    {
        std::vector<unsigned> ids;
        for (const auto& m : messages)
            if (m.icon == news::MessageIcon::Stop)
                ids.push_back(m.id);
        return ids;
    }

private:
    class Window : public news::DocumentProgress {
    public:
        Window(ScriptedHost& host, std::shared_ptr<ProgressLog> log) : m_host(host), m_log(std::move(log)) {}
        ~Window() override { Close(); }
        bool Open(unsigned captionId) override
        {
            m_log->caption = captionId;
            ++m_host.openNow;
            m_open = true;
            return true;
        }
        void SetTotal(long long total) override { m_log->total = total; }
        void SetPosition(long long) override {}
        void SetMessage(const std::string& text) override
        {
            m_log->messages.push_back(text);
            if (m_host.cancelAtMessage > 0 && static_cast<int>(m_log->messages.size()) >= m_host.cancelAtMessage)
                m_cancelled = true;
        }
        bool Cancelled() const override { return m_cancelled; }
        void Close() override
        {
            if (m_open)
                --m_host.openNow;
            m_open = false;
            m_log->closed = true;
        }

    private:
        ScriptedHost& m_host;
        std::shared_ptr<ProgressLog> m_log;
        bool m_open = false;
        bool m_cancelled = false;
    };
};

// A pane that records the hints it is told.
struct RecordingView : news::DocumentView {
    std::vector<long> hints;
    std::function<void(long)> onHint;
    void OnUpdate(news::DocumentView*, long h) override
    {
        hints.push_back(h);
        if (onHint)
            onHint(h);
    }
};

} // namespace newstest
