#include "app/LinkOpener.h"

#include "app/NewsLink.h"
#include "message/CacheFile.h"
#include "news/LumeDoc.h"
#include "platform/TempFiles.h"
#include "ui/CArticleListBox.h"
#include "ui/CArticleView.h"
#include "ui/CBodyView.h"
#include "ui/CGroupTreeBox.h"
#include "ui/CGroupView.h"
#include "ui/MainFrame.h"
#include "dialogs/Dialogs.h"
#include "widgets/SjisText.h"

#include <QApplication>
#include <QPointer>

#include <algorithm>
#include <cctype>

namespace app {

namespace {

bool SameHost(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The group's row in the group pane, when the tree shows it.
void SelectGroupRow(ui::CMainFrame& frame, const news::CNewsGroup* group)
{
    auto* view = dynamic_cast<ui::CGroupView*>(frame.View(ui::CMainFrame::GroupPane));
    if (!view)
        return;
    ui::CGroupTreeBox& tree = view->Tree();
    for (int row = 0; row < tree.GetCount(); ++row) {
        if (ui::CGroupTreeBox::GroupOf(tree.NodeOfRow(row)) == group) {
            tree.SetSel(-1, false);
            tree.SetCaretIndex(row, false);
            tree.SetRowSel(row, true);
            tree.ScrollToRow(row, true);
            return;
        }
    }
}

void SelectArticleRow(ui::CMainFrame& frame, int number)
{
    auto* view = dynamic_cast<ui::CArticleView*>(frame.View(ui::CMainFrame::ArticlePane));
    if (!view || !view->List())
        return;
    ui::CArticleListBox& list = *view->List();
    for (int row = 0; row < list.GetCount(); ++row) {
        const news::CArticle* article = ui::CArticleListBox::ArticleOf(list.NodeOfRow(row));
        if (article && article->m_nNumber == number) {
            list.SetCurRow(row);
            list.ScrollToRow(row, false);
            return;
        }
    }
}

} // namespace

LinkOpener::LinkOpener(ui::CMainFrame& frame, news::CLumeDoc& doc, dialogs::Dialogs& dialogs, Note note)
    : frame_(frame), doc_(doc), dialogs_(dialogs), note_(std::move(note))
{
}

bool LinkOpener::Fail(const QString& text)
{
    // Noted first: the message box waits for the user.
    Told(text);
    dialogs_.Message(&frame_, text, news::MessageIcon::Stop);
    return false;
}

bool LinkOpener::Told(const QString& text)
{
    if (note_)
        note_(text);
    return false;
}

bool LinkOpener::Open(const QString& text)
{
    const auto link = ParseNewsLink(text.toStdString());
    if (!link)
        return Fail(QStringLiteral("%1 はニュースのリンクとして読めません。").arg(text));
    if (frame_.IsBusy() || doc_.IsBusy()) {
        QApplication::beep();
        return false;
    }
    const news::LumeConfig& config = doc_.Config();
    if (config.strNntpServer.empty())
        return Fail(QStringLiteral("%1 を開くニュースサーバーが設定されていません。").arg(text));
    // Another server's numbers and groups are not this one's.
    if ((!link->host.empty() && !SameHost(link->host, config.strNntpServer)) ||
        (link->port != 0 && link->port != config.UsedNntpPort()))
        return Fail(QStringLiteral("%1 のサーバーは、開いている設定のサーバー (%2) と違います。")
                        .arg(text, widgets::FromSjis(config.strNntpServer)));

    QPointer<ui::CMainFrame> frame(&frame_);
    if (!doc_.IsConnected() && !doc_.GoOnline(doc_.GetPathName()))
        return Told(QStringLiteral("%1: サーバーに接続できませんでした。").arg(text));
    if (!frame)
        return false;

    if (link->kind == NewsLink::Kind::MessageId) {
        auto* body = dynamic_cast<ui::CBodyView*>(frame_.View(ui::CMainFrame::BodyPane));
        if (!body)
            return false;
        const std::filesystem::path file = platform::MakeTempFileName("lnk", 0);
        const news::BodyFetch result = doc_.FetchArticleById(link->messageId, file);
        bool shown = false;
        if (result == news::BodyFetch::Arrived && frame)
            shown = body->ShowArticleFile(file);
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        std::filesystem::remove(message::ReceivedPath(file), ignored);
        if (result == news::BodyFetch::Gone)
            return Fail(QStringLiteral("記事 %1 はサーバーにありません。").arg(QString::fromStdString(link->messageId)));
        return shown || Told(QStringLiteral("%1: 記事を読み込めませんでした。").arg(text));
    }

    news::CNewsGroup* group = doc_.Groups().Find(link->group);
    if (!group)
        return Fail(QStringLiteral("ニュースグループ %1 はサーバーにありません。").arg(widgets::FromSjis(link->group)));
    if (doc_.GetCurrentGroup() != group) {
        doc_.SetCurrentGroup(group);
        // Refused while the connection is busy: then nothing changed.
        if (doc_.GetCurrentGroup() != group)
            return false;
        SelectGroupRow(frame_, group);
        doc_.UpdateAllViews(nullptr, news::Hint::Group);
    }
    if (!frame || doc_.GetCurrentGroup() != group)
        return false;
    if (link->kind == NewsLink::Kind::Group)
        return true;

    auto* body = dynamic_cast<ui::CBodyView*>(frame_.View(ui::CMainFrame::BodyPane));
    if (!body)
        return false;
    SelectArticleRow(frame_, link->number);
    doc_.SetCurrentArticle(link->number, nullptr);
    // The fetch has shown its own message when the article did not come.
    if (!frame || !body->Answered(link->number))
        return Told(QStringLiteral("%1: 記事を読み込めませんでした。").arg(text));
    // A gone article counts as read too, as in the article list.
    doc_.MarkArticleRead(link->number);
    doc_.UpdateAllViews(nullptr, news::Hint::ReadMarks);
    return body->ArticleShown() || Told(QStringLiteral("%1: 記事はサーバーにありません。").arg(text));
}

} // namespace app
