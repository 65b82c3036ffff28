#include "app/LumeApp.h"

#include "app/LinkOpener.h"
#include "app/NewsLink.h"
#include "app/SingleInstance.h"
#include "compose/CNewsPostWnd.h"
#include "compose/FollowUpDialog.h"
#include "platform/Registry.h"
#include "platform/CommandIds.h"
#include "dialogs/Dialogs.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/LogWindow.h"
#include "host/HostedDocument.h"
#include "ui/CBodyView.h"
#include "widgets/SjisText.h"
#include "news/Signatures.h"

#include <QApplication>
#include <QPointer>

#include <csignal>
#include <cstdio>
#include <filesystem>

using namespace dialogs;
using host::HostedDocument;

using namespace news;

namespace app {

namespace cmd = platform::cmd;

using namespace ui;

namespace {

// The post window as the application's compose link; the window deletes
// itself on close, so the pointer is guarded.
class PostWindowLink : public ComposeLink {
public:
    explicit PostWindowLink(compose::CNewsPostWnd* window) : window_(window) {}
    bool QueryClose() override { return !window_ || window_->QueryClose(); }
    bool IsPosting() const override { return window_ && window_->IsPosting(); }
    void Destroy() override
    {
        if (window_)
            window_->Destroy();
    }
    void UpdateCommandStates() override
    {
        if (window_)
            window_->UpdateCommandStates();
    }
    compose::CNewsPostWnd* Window() const { return window_; }

private:
    QPointer<compose::CNewsPostWnd> window_;
};

} // namespace

CLumeApp::CLumeApp(platform::Registry& registry, HostedDocument& document, Dialogs& dialogs,
                   CMainFrame::PaneFactory panes, QObject* parent)
    : QObject(parent), registry_(registry), document_(document), dialogs_(dialogs), panes_(std::move(panes))
{
    router_.SetChain([this] { return Chain(); });
    followUp_ = [this](compose::CNewsPostWnd& window, const news::FollowUpSource& source) {
        return compose::BuildFollowUp(window, source, registry_, dialogs_);
    };
    connect(&idle_, &QTimer::timeout, this, &CLumeApp::OnIdle);
}

CLumeApp::~CLumeApp()
{
    idle_.stop();
    // The log window is a child of the frame: it goes first.
    log_.reset();
    DestroyFrame();
}

void CLumeApp::DestroyFrame()
{
    if (!frame_)
        return;
    host::NewsHost& host = document_.Host();
    host.SetForwarder({});
    if (host.Window() == frame_.get())
        host.SetWindow(nullptr);
    frame_.reset();
}

std::vector<CommandTarget*> CLumeApp::Chain()
{
    std::vector<CommandTarget*> chain;
    if (frame_) {
        if (FramePane* view = frame_->ActiveView())
            chain.push_back(view);
    }
    chain.push_back(&document_);
    if (frame_) {
        chain.push_back(&frame_->DocumentCommands());
        chain.push_back(frame_.get());
    }
    chain.push_back(this);
    return chain;
}

QString CLumeApp::FileFromCommandLine(const QString& commandLine)
{
    QString text = commandLine;
    if (text.startsWith(u'"')) {
        text.remove(0, 1);
        const qsizetype quote = text.indexOf(u'"');
        if (quote > 0)
            text.truncate(quote);
    }
    return text;
}

bool CLumeApp::InitInstance(const QString& commandLine)
{
    // Writes to a server that has gone away must fail, not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    // A link opens in the most recent configuration, as a start without a file.
    const QString link = IsNewsLink(commandLine.trimmed().toStdString()) ? commandLine.trimmed() : QString();
    const QString named = link.isEmpty() ? FileFromCommandLine(commandLine) : QString();
    // A start with no file and no configuration ever opened or saved.
    recent_.Load(registry_);
    bool firstStart = named.isEmpty() && recent_.Count() == 0;
    RecentFileList::Prune(registry_);
    recent_.Load(registry_);
    ctl3d_ = 1;

    frame_ = std::make_unique<CMainFrame>(router_, document_, registry_, recent_, dialogs_, panes_);
    host::NewsHost& host = document_.Host();
    host.SetWindow(frame_.get(), frame_->ProgressWindows());
    host.SetForwarder([this](news::DocumentHost::Pane pane, unsigned id) {
        if (frame_)
            frame_->ForwardToPane(pane, id);
    });
    frame_->SetCloseQuery([this] { return QueryCloseCompose(); });
    frame_->SetBusyTest([this] { return compose_ && compose_->IsPosting(); });
    frame_->SetComposeClosedHandler([this] {
        compose_ = nullptr;
        postLink_.reset();
    });
    frame_->SetSignatureEditor([this] {
        news::CSignatureStore store(registry_);
        compose::EditSignatures(frame_.get(), store);
    });
    document_.Host().SetPostWindow(
        [this](const news::PostParams& params, const news::FollowUpSource* source) {
            return OpenPostWindow(params, source);
        },
        [this] { return ActivatePostWindow(); });
    log_ = std::make_unique<LogWindow>(document_.Doc().Log(), frame_.get());
    // Queued: the link replaces the article whose click sent it.
    if (auto* body = dynamic_cast<ui::CBodyView*>(frame_->View(ui::CMainFrame::BodyPane)))
        connect(body, &ui::CBodyView::NewsLinkActivated, this, [this](const QString& url) { OpenLink(url); },
                Qt::QueuedConnection);

    QString file = named;
    if (file.isEmpty() && recent_.Count() > 0)
        file = FileFromCommandLine(QString::fromStdString(recent_.At(0)));
    std::error_code error;
    if (file.isEmpty() || !std::filesystem::exists(std::filesystem::path(file.toStdString()), error)) {
        frame_->NewDocument();
        // A session that ended by a signal before its first save.
        if (document_.Doc().OfferUntitledRecovery())
            firstStart = false;
    } else
        frame_->OpenDocumentFile(file);

    frame_->show();
    router_.UpdateAll();
    idle_.start(200);
    // Once the window is up, the newcomer is asked for a server; a link
    // is followed from the event loop, so a quit signal can end its waits.
    if (firstStart || !link.isEmpty())
        QTimer::singleShot(0, frame_.get(), [this, firstStart, link] {
            if (firstStart)
                document_.Doc().OnSettings(true);
            if (!link.isEmpty())
                OpenLink(link);
        });
    return true;
}

void CLumeApp::ListenForHandOffs(SingleInstance* instance)
{
    connect(instance, &SingleInstance::OpenRequested, this, [this](const QString& path) {
        if (!frame_)
            return;
        frame_->raise();
        frame_->activateWindow();
        // Files come as full paths, so a link is never taken for one.
        if (IsNewsLink(path.toStdString()))
            OpenLink(path);
        else if (!path.isEmpty())
            frame_->OpenDocumentFile(path);
    });
}

bool CLumeApp::OpenLink(const QString& link)
{
    if (!frame_)
        return false;
    LinkOpener opener(*frame_, document_.Doc(), dialogs_, [](const QString& text) {
        std::fprintf(stderr, "lumetra: %s\n", text.toLocal8Bit().constData());
    });
    return opener.Open(link);
}

bool CLumeApp::QueryCloseCompose()
{
    // The draft in the compose window is asked about before anything goes.
    if (compose_ && !compose_->QueryClose())
        return false;
    return true;
}

news::PostWindowResult CLumeApp::OpenPostWindow(const news::PostParams& params, const news::FollowUpSource* source)
{
    if (compose_ || (source && !source->supersede && !followUp_))
        return news::PostWindowResult::CreateFailed;
    auto* window = new compose::CNewsPostWnd(params, registry_, dialogs_);
    window->SetCancelSecretSource(
        [this](const std::string& address) { return document_.Host().CancelSecret(address); });
    postLink_ = std::make_unique<PostWindowLink>(window);
    compose_ = postLink_.get();
    QPointer<CMainFrame> frame(frame_.get());
    window->SetClosedHandler([frame] {
        if (frame)
            frame->OnComposeClosed();
    });
    window->show();
    if (source && source->supersede) {
        window->SetSupersedeFields(source->header, source->body);
        return news::PostWindowResult::Started;
    }
    if (source && !followUp_(*window, *source)) {
        window->Destroy();
        return news::PostWindowResult::Abandoned;
    }
    return news::PostWindowResult::Started;
}

bool CLumeApp::ActivatePostWindow()
{
    auto* link = static_cast<PostWindowLink*>(postLink_.get());
    compose::CNewsPostWnd* window = link ? link->Window() : nullptr;
    if (!window)
        return false;
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
    return true;
}

void CLumeApp::OnIdle()
{
    if (compose_)
        compose_->UpdateCommandStates();
    router_.UpdateAll();
    if (frame_)
        frame_->UpdateStatusPanes();
}

int CLumeApp::ExitInstance()
{
    idle_.stop();
    log_.reset();
    if (compose_) {
        compose_->Destroy();
        compose_ = nullptr;
    }
    registry_.WriteInt("Settings", "bUseCtl3D", ctl3d_);
    recent_.Save(registry_);
    return 0;
}

void CLumeApp::LeaveWithoutAsking()
{
    leaving_ = true;
    document_.Doc().WriteReadMarksRecovery();
    if (frame_)
        frame_->SaveLayout();
    if (compose_) {
        compose_->Destroy();
        compose_ = nullptr;
    }
}

bool CLumeApp::OnCommand(unsigned id)
{
    switch (id) {
    case cmd::AppAbout: {
        dialogs::AboutDialog about(frame_.get());
        about.exec();
        return true;
    }
    case cmd::FileNew:
        if (frame_)
            frame_->NewDocument();
        return true;
    case cmd::FileOpen: {
        if (!frame_)
            return true;
        if (frame_->IsBusy()) {
            QApplication::beep();
            return true;
        }
        const QString path = frame_->AskFileName(false);
        if (!path.isEmpty())
            frame_->OpenDocumentFile(path);
        return true;
    }
    case cmd::AppExit:
        if (frame_)
            frame_->close();
        return true;
    case cmd::LogWindow:
        if (log_)
            log_->setVisible(!log_->isVisible());
        return true;
    default:
        if (id >= cmd::FileMru1 && id <= cmd::FileMru4) {
            const int index = int(id - cmd::FileMru1);
            if (index < recent_.Count() && frame_) {
                const QString path = QString::fromStdString(recent_.At(index));
                std::error_code error;
                if (!std::filesystem::exists(std::filesystem::path(path.toStdString()), error)) {
                    recent_.Remove(index);
                    dialogs_.Message(frame_.get(), QStringLiteral("%1 を開けませんでした。").arg(path),
                                     MessageIcon::Stop);
                    return true;
                }
                frame_->OpenDocumentFile(path);
            }
            return true;
        }
        return false;
    }
}

bool CLumeApp::OnUpdateCommand(CmdUI& state)
{
    switch (state.id) {
    case cmd::AppAbout:
    case cmd::FileNew:
    case cmd::FileOpen:
    case cmd::AppExit:
        return true;
    case cmd::LogWindow:
        state.SetCheck(log_ && log_->isVisible());
        return true;
    default:
        if (state.id >= cmd::FileMru1 && state.id <= cmd::FileMru4) {
            state.Enable(int(state.id - cmd::FileMru1) < recent_.Count());
            return true;
        }
        return false;
    }
}

} // namespace app
