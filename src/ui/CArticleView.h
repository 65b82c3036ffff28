#pragma once
// The article list pane: a title line, a three-column header and the threaded
// article list of the open group. Keeps the selected article as the document's
// current article and carries out the moves between articles; hosts the
// connect step of going online, the search across bodies and marking read.

#include "news/DocumentView.h"
#include "news/MultiPart.h"
#include "ui/CArticleListBox.h"
#include "widgets/CColumnHeader.h"
#include "dialogs/ConnectDialog.h"
#include "ui/FramePane.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

namespace news { class CLumeDoc; struct CNewsGroup; struct CArticle; }
class QLabel;

namespace platform { class Registry; }

namespace dialogs { class CConnectDialog; }
namespace dialogs { class Dialogs; }

namespace ui {
class BodySearch;

class CArticleView : public QWidget, public news::DocumentView, public FramePane {
    Q_OBJECT
public:
    static constexpr const char* kSection = "ArticleView";
    // Until the user drags them: the subject needs room beside its thread
    // lines, the date only for "1999/03/05".
    static constexpr int kDefaultSubjectWidth = 300;
    static constexpr int kDefaultDateWidth = 80;
    static constexpr int kHeaderId = 111;
    static constexpr int kListId = 110;
    // The 書式 page's colours of rows scored above and below zero (0x00BBGGRR).
    static constexpr const char* kHighScoreKey = "HighScoreColor";
    static constexpr const char* kLowScoreKey = "LowScoreColor";
    // What このスレッドに注目 gives a thread.
    static constexpr int kWatchScore = 100;

    // frame may be null (tests); the pane registers with doc as a view.
    CArticleView(news::CLumeDoc& doc, platform::Registry& registry, dialogs::Dialogs& dialogs, PaneFrame* frame,
                 QWidget* parent = nullptr);
    ~CArticleView() override;

    void OnUpdate(news::DocumentView* sender, news::Hint hint) override;
    QWidget* Widget() override { return this; }
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CmdUI& state) override;

    // The connect step of going online: starts the connect dialog, whose end
    // arrives at OnConnectMessage. false when nothing was started.
    bool StartConnect(const std::string& host, int port);
    // The same, waiting for the end: the connected socket or -1 (the form
    // the document's host offers).
    int ConnectServer(const std::string& host, int port);
    dialogs::CConnectDialog* ConnectDialog() const { return connect_; }

    CArticleListBox* List() const { return list_; }
    widgets::CColumnHeader* Header() const { return header_; }
    QLabel* Title() const { return title_; }
    QString TitleText() const;
    const news::CNewsGroup* ShownGroup() const { return shown_; }
    const std::string& SearchText() const { return searchText_; }
    const QFont& ListFont() const { return font_; }

    // The body pane the search works with (the frame's by default).
    void SetBodySearch(BodySearch* body) { body_ = body; hasBody_ = true; }

    // The moves; true when an article was reached.
    bool NextArticle();
    bool PrevArticle();
    bool NextUnread();
    bool PrevUnread();
    void SkipThread();
    // The current article (or its whole thread) back to unread.
    void MarkUnread(bool thread);
    // column: CArticleListBox::kThreaded or 0..2; the list keeps its
    // current article.
    void SetSort(int column, bool descending);
    // Killed articles are listed too (the toggle).
    bool ShowsKilled() const { return showKilled_; }

signals:
    // The connect dialog has ended (WM_USER+103).
    void ConnectEnded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitialUpdate();
    void LayoutPane();
    void ApplyListColours();
    void UpdateTitleColours();
    void SetTitle(const QString& text);
    void ClearList();
    void Reset();
    void LoadGroup(news::Hint hint);
    void ShowCurrent();
    void MarkShown(widgets::CTreeListItem* node);
    void EndOfList(news::Hint hint);
    void MarkReadDialog();
    void Find(unsigned id);
    void SearchArticles(bool upwards);
    void ChooseFont();
    void ApplyFont(const QFont& font);
    void ColumnWidthsChanged();
    void ColumnClicked(int pressed);
    void Refill();
    bool ListEvent(QEvent* event);
    void ContextMenu(const QPoint& global);
    void OnConnectMessage(bool success);
    BodySearch* Body() const;
    bool Shows(const news::CArticle& article) const;
    news::CArticle* CurrentArticle() const;
    void AddScoreRule(unsigned id);
    void EditScoreRules();
    void Rescore();
    // The file in parts the current article belongs to.
    std::optional<news::PartFile> CurrentPartFile() const;
    // 結合して保存: asks where, joins, asks whether to keep an incomplete file.
    void JoinParts();

    news::CLumeDoc& doc_;
    platform::Registry& registry_;
    dialogs::Dialogs& dialogs_;
    PaneFrame* frame_;
    QLabel* title_ = nullptr;
    widgets::CColumnHeader* header_ = nullptr;
    CArticleListBox* list_ = nullptr;
    const news::CNewsGroup* shown_ = nullptr;
    std::string searchText_;
    QFont font_;
    QPointer<dialogs::CConnectDialog> connect_;
    int connectSocket_ = -1;
    bool connectWaiting_ = false;
    bool connectDone_ = false;
    BodySearch* body_ = nullptr;
    bool hasBody_ = false;
    bool active_ = false;
    // Counts list rebuilds, so that a loop that pumped events can tell
    // whether the nodes it walks still exist.
    unsigned generation_ = 0;
    bool searching_ = false;
    bool showKilled_ = false;
    bool loading_ = false;
    QMetaObject::Connection focusWatch_;
    news::Hint deferredHint_ = news::Hint::None;
};

} // namespace ui
