#include "ui/MainFrame.h"

#include "platform/Registry.h"
#include "widgets/AppIcons.h"
#include "dialogs/Dialogs.h"
#include "ui/LumeDocument.h"
#include "platform/CommandIds.h"
#include "platform/StringIds.h"
#include "dialogs/ProgressWindow.h"
#include "ui/ReadingCharsets.h"
#include "ui/RecentFiles.h"
#include "ui/SessionLock.h"
#include "widgets/SjisText.h"
#include "widgets/WindowLock.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QFontMetrics>
#include <QMenuBar>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstring>

using namespace widgets;
using namespace dialogs;

using namespace news;

namespace ui {

namespace cmd = platform::cmd;

namespace {
const char* const kMainWindow = "MainWindow";
const char* const kBarState = "MainBarState";

int ReadInt32(const std::uint8_t* p)
{
    std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
                      | std::uint32_t(p[3]) << 24;
    return std::int32_t(v);
}

void WriteInt32(std::uint8_t* p, int value)
{
    const auto v = std::uint32_t(value);
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
} // namespace


// ---------------------------------------------------------------- frame

CMainFrame::CMainFrame(CommandRouter& router, LumeDocument& document, platform::Registry& registry,
                       RecentFileList& recent, Dialogs& dialogs, const PaneFactory& panes, QWidget* parent)
    : QMainWindow(parent), router_(router), document_(document), registry_(registry), recent_(recent),
      dialogs_(dialogs)
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(AppIcon());
    setFont(JapaneseFont());
    RestoreWindowRect();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreatePanes(panes);

    std::vector<std::uint8_t> state;
    if (registry_.GetBinary(kBarState, "State", state) > 0)
        restoreState(QByteArray(reinterpret_cast<const char*>(state.data()), qsizetype(state.size())));
    statusBar()->setVisible(registry_.GetInt(kBarState, "StatusBar", 1) != 0);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (int i = 0; i < 3; ++i) {
            QWidget* pane = Pane(i);
            if (now && pane && (now == pane || pane->isAncestorOf(now)))
                activePane_ = i;
        }
    });
    UpdateTitle();
}

void CMainFrame::ForwardToPane(DocumentHost::Pane pane, unsigned id)
{
    if (FramePane* view = View(pane == DocumentHost::Pane::Body ? BodyPane : ArticlePane))
        view->OnCommand(id);
}

CMainFrame::~CMainFrame()
{
    // A pane losing focus as it goes would run the focus handler over panes
    // already half destroyed.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // The panes leave the document's views as they go.
    for (FramePane*& pane : panes_) {
        delete pane->Widget();
        pane = nullptr;
    }
}

void CMainFrame::RestoreWindowRect()
{
    std::vector<std::uint8_t> bytes;
    // Only a whole rectangle counts; anything else is a damaged value.
    if (registry_.GetBinary(kMainWindow, "rcWindowRect", bytes) == 16) {
        const int left = ReadInt32(&bytes[0]);
        const int top = ReadInt32(&bytes[4]);
        const int right = ReadInt32(&bytes[8]);
        const int bottom = ReadInt32(&bytes[12]);
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect area = screen->geometry();
            if (left >= area.left() && left <= area.right() + 1 - 20 && top >= area.top()
                && top <= area.bottom() + 1 - 20) {
                // A damaged size would give a window nobody can see.
                const int width = std::max(right - left, 160);
                const int height = std::max(bottom - top, 120);
                setGeometry(left, top, width, height);
                return;
            }
        }
    }
    // First start: most of the screen, centred, never tiny.
    QSize size(780, 560);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        size = size.expandedTo(area.size() * kFirstSizePercent / 100).boundedTo(area.size());
        resize(size);
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        return;
    }
    resize(size);
}

QAction* CMainFrame::Item(QMenu* menu, unsigned id, const QString& text)
{
    QAction* action = router_.Action(id);
    action->setText(text);
    menu->addAction(action);
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setFont(JapaneseFont());
    auto addMenu = [&](const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setFont(JapaneseFont());
        router_.WatchMenu(menu);
        menus_.push_back(menu);
        return menu;
    };
    auto subMenu = [&](QMenu* parent, const QString& title) {
        QMenu* menu = parent->addMenu(title);
        menu->setFont(JapaneseFont());
        router_.WatchMenu(menu);
        return menu;
    };

    QMenu* file = addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    fileMenu_ = file;
    Item(file, cmd::FileNew, QStringLiteral("新規作成(&N)"));
    Item(file, cmd::FileOpen, QStringLiteral("開く(&O)..."));
    Item(file, cmd::FileSave, QStringLiteral("上書き保存(&S)\tCtrl+S"));
    Item(file, cmd::FileSaveAs, QStringLiteral("名前を付けて保存(&A)..."));
    file->addSeparator();
    Item(file, cmd::OpenNzb, QStringLiteral("NZB を開く(&Z)..."));
    file->addSeparator();
    Item(file, cmd::FilePrint, QStringLiteral("印刷(&P)..."));
    Item(file, cmd::FilePrintSetup, QStringLiteral("プリンタの設定(&R)..."));
    recentAnchor_ = file->addSeparator();
    for (unsigned id = cmd::FileMru1; id <= cmd::FileMru4; ++id)
        Item(file, id, QString());
    file->addSeparator();
    Item(file, cmd::AppExit, QStringLiteral("終了(&X)"));
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentMenu);
    RebuildRecentMenu();

    QMenu* edit = addMenu(QStringLiteral("編集(&E)"));
    Item(edit, cmd::EditCopy, QStringLiteral("コピー(&C)\tCtrl+C"));
    Item(edit, cmd::CopyAll, QStringLiteral("全文コピー(&L)"));
    Item(edit, cmd::EditSelectAll, QStringLiteral("すべての範囲を選択(&A)"));
    edit->addSeparator();
    Item(edit, cmd::Find, QStringLiteral("検索(&F)...\tCtrl+F"));
    Item(edit, cmd::FindPrev, QStringLiteral("上候補(&P)\tShift+F3"));
    Item(edit, cmd::FindNext, QStringLiteral("下候補(&N)\tF3"));
    edit->addSeparator();
    Item(edit, cmd::JumpUrl, QStringLiteral("選択したURLにジャンプ(&U)"));

    QMenu* network = addMenu(QStringLiteral("ﾈｯﾄﾜｰｸ(&N)"));
    Item(network, cmd::Online, QStringLiteral("オンライン(&O)"));
    network->addSeparator();
    Item(network, cmd::LogWindow, QStringLiteral("ログウインドウ(&L)"));

    QMenu* group = addMenu(QStringLiteral("ｸﾞﾙｰﾌﾟ(&G)"));
    Item(group, cmd::Unsubscribe, QStringLiteral("購読を止める(&N)..."));
    Item(group, cmd::Subscribe, QStringLiteral("購読する(&S)..."));
    group->addSeparator();
    Item(group, cmd::ShowUnreadGroups, QStringLiteral("未読のあるグループだけを表示(&U)"));
    Item(group, cmd::ShowAllGroups, QStringLiteral("すべてのグループを表示(&L)"));
    Item(group, cmd::ShowUnreadCounts, QStringLiteral("未読数を表示(&R)"));
    group->addSeparator();
    Item(group, cmd::ExpandOne, QStringLiteral("１つ下を表示(&X)"));
    Item(group, cmd::ExpandAll, QStringLiteral("この下をすべて表示(&B)"));
    Item(group, cmd::Collapse, QStringLiteral("この下を表示しない(&C)"));
    Item(group, cmd::CollapseAll, QStringLiteral("この下のグループをすべて表示しない(&A)"));

    QMenu* article = addMenu(QStringLiteral("記事(&A)"));
    Item(article, cmd::PrevArticle, QStringLiteral("前の記事(&P)\tCtrl+Up"));
    Item(article, cmd::NextArticle, QStringLiteral("次の記事(&N)\tCtrl+Down"));
    Item(article, cmd::NextUnread, QStringLiteral("次の未読記事(&U)\tCtrl+Space"));
    Item(article, cmd::PrevUnread, QStringLiteral("前の未読記事(&V)\tP"));
    Item(article, cmd::SkipThread, QStringLiteral("現スレッドをスキップ(&S)"));
    Item(article, cmd::MarkRead, QStringLiteral("既読にする(&K)..."));
    Item(article, cmd::MarkUnread, QStringLiteral("未読にする(&D)"));
    Item(article, cmd::MarkThreadUnread, QStringLiteral("未読にする (スレッド)(&H)"));
    Item(article, cmd::Reload, QStringLiteral("記事の再読み込み(&R)"));
    article->addSeparator();
    Item(article, cmd::IgnoreAuthor, QStringLiteral("この投稿者を無視(&I)..."));
    Item(article, cmd::IgnoreThread, QStringLiteral("このスレッドを無視(&G)..."));
    Item(article, cmd::WatchThread, QStringLiteral("このスレッドに注目(&C)..."));
    Item(article, cmd::EditScoreRules, QStringLiteral("得点ルールの編集(&E)..."));
    Item(article, cmd::ShowKilled, QStringLiteral("無視した記事を表示(&L)"));
    article->addSeparator();
    Item(article, cmd::NewArticle, QStringLiteral("記事の作成(&W)..."));
    Item(article, cmd::FollowUp, QStringLiteral("フォローアップ(&F)..."));
    Item(article, cmd::NewMail, QStringLiteral("メールの作成(&M)..."));
    Item(article, cmd::ReplyMail, QStringLiteral("返信メールの作成(&Y)..."));
    Item(article, cmd::SupersedeArticle, QStringLiteral("記事の差し替え(&J)..."));
    Item(article, cmd::CancelArticle, QStringLiteral("記事の取り消し(&X)..."));
    article->addSeparator();
    Item(article, cmd::SaveArticle, QStringLiteral("別ファイルに保存(&A)..."));
    Item(article, cmd::JoinParts, QStringLiteral("結合して保存(&B)..."));
    QMenu* attach = subMenu(article, QStringLiteral("添付ファイル(&T)"));
    Item(attach, cmd::AttachSave, QStringLiteral("ファイルに保存(&E)..."));
    Item(attach, cmd::AttachShow, QStringLiteral("表示(&V)"));
    Item(attach, cmd::AttachPrint, QStringLiteral("印刷(&P)"));
    Item(attach, cmd::AttachSource, QStringLiteral("変換元のデータを見る(&D)..."));
    article->addSeparator();
    QMenu* options = subMenu(article, QStringLiteral("オプション(&O)"));
    Item(options, cmd::Settings, QStringLiteral("設定(&P)..."));
    Item(options, cmd::EditSignatures, QStringLiteral("署名の編集(&I)..."));
    Item(options, cmd::Font, QStringLiteral("フォント(&F)..."));
    Item(options, cmd::ListFont, QStringLiteral("一覧のフォント(&L)..."));
    options->addSeparator();
    Item(options, cmd::ShowHeader, QStringLiteral("ヘッダの表示(&H)"));
    Item(options, cmd::WordWrap, QStringLiteral("行の自動折り返し(&W)"));
    options->addSeparator();
    Item(options, cmd::ViewToolBar, QStringLiteral("ツールバー(&T)"));
    Item(options, cmd::ViewStatusBar, QStringLiteral("ステータスバー(&S)"));

    QMenu* view = addMenu(QStringLiteral("表示(&V)"));
    QMenu* codes = subMenu(view, QStringLiteral("文字コード(&C)"));
    auto* codeGroup = new QActionGroup(codes);
    for (unsigned i = 0; i < kReadingCharsets.size(); ++i) {
        QAction* action = Item(codes, cmd::ReadAsAuto + i, QString::fromUtf8(kReadingCharsets[i].label));
        codeGroup->addAction(action);
        if (kReadingCharsets[i].groupEnd)
            codes->addSeparator();
    }

    QMenu* help = addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    Item(help, cmd::HelpIndex, QStringLiteral("トピックの検索(&H)"));
    Item(help, cmd::HelpUsing, QStringLiteral("ヘルプの使い方(&U)"));
    help->addSeparator();
    Item(help, cmd::AppAbout, QStringLiteral("バージョン情報(&A)..."));

    // Accelerators: the menu texts above show the keys; these make them work.
    struct Accel { unsigned id; QList<QKeySequence> keys; };
    const Accel accels[] = {
        {cmd::EditCopy, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {cmd::EditCut, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {cmd::EditPaste, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {cmd::EditUndo, {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {cmd::Find, {QKeySequence(Qt::CTRL | Qt::Key_F)}},
        {cmd::FindNext, {QKeySequence(Qt::Key_F3)}},
        {cmd::FindPrev, {QKeySequence(Qt::SHIFT | Qt::Key_F3)}},
        {cmd::FileSave, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {cmd::NextArticle, {QKeySequence(Qt::CTRL | Qt::Key_Down)}},
        {cmd::PrevArticle, {QKeySequence(Qt::CTRL | Qt::Key_Up), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Space)}},
        {cmd::NextUnread, {QKeySequence(Qt::CTRL | Qt::Key_Space), QKeySequence(Qt::Key_N)}},
        {cmd::PrevUnread, {QKeySequence(Qt::Key_P)}},
        {cmd::PageForward, {QKeySequence(Qt::Key_Space)}},
        {cmd::PageBackward, {QKeySequence(Qt::SHIFT | Qt::Key_Space)}},
        {cmd::NextPane, {QKeySequence(Qt::Key_Tab)}},
        {cmd::PrevPane, {QKeySequence(Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::Key_Backtab),
                         QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
        {cmd::Help, {QKeySequence(Qt::Key_F1)}},
        {cmd::ContextHelp, {QKeySequence(Qt::SHIFT | Qt::Key_F1)}},
    };
    for (const Accel& accel : accels) {
        QAction* action = router_.Action(accel.id);
        action->setShortcuts(accel.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        // Keys of commands without a menu item still need a home in the window.
        addAction(action);
    }
}

void CMainFrame::RebuildRecentMenu()
{
    for (int i = 0; i < RecentFileList::kSize; ++i) {
        QAction* action = router_.Action(cmd::FileMru1 + unsigned(i));
        if (i < recent_.Count()) {
            action->setText(recent_.MenuText(i));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(QStringLiteral("最近使ったファイル"));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void CMainFrame::CreateToolBar()
{
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("bar138"));
    toolBar_->setIconSize(QSize(40, 30));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const unsigned layout[] = {
        cmd::AppExit, 0, cmd::FileOpen, cmd::FileSave, 0, cmd::EditCopy, 0, cmd::Online, 0,
        cmd::PrevArticle, cmd::NextUnread, 0, cmd::NewArticle, cmd::FollowUp, 0,
        cmd::NewMail, cmd::ReplyMail, 0, cmd::MarkRead, 0, cmd::ShowHeader,
    };
    for (unsigned id : layout) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = router_.Action(id);
        action->setIcon(QIcon(ToolBarImage(id)));
        toolBar_->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("bar59393"));
    bar->setFont(JapaneseFont());
    QString text137 = LoadText(platform::IDS_137);
    if (text137.isEmpty())
        text137 = QString(23, u' ');
    QString text136 = LoadText(platform::IDS_136);
    if (text136.isEmpty())
        text136 = QString(13, u' ');
    indicator137_ = new QLabel(bar);
    indicator137_->setObjectName(QStringLiteral("ind137"));
    indicator137_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A framed label indents its text by half an "x": the pane fits its text
    // exactly, so that indent would cut the text's end.
    indicator137_->setIndent(0);
    indicator137_->setFixedWidth(indicator137_->fontMetrics().horizontalAdvance(text137)
                                 + 2 * indicator137_->frameWidth());
    indicator136_ = new QLabel(bar);
    indicator136_->setObjectName(QStringLiteral("ind136"));
    indicator136_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    indicator136_->setIndent(0);
    indicator136_->setFixedWidth(indicator136_->fontMetrics().horizontalAdvance(text136)
                                 + 2 * indicator136_->frameWidth());
    lock_ = new SessionLock(dialogs_, bar);
    bar->addPermanentWidget(lock_);
    bar->addPermanentWidget(indicator137_);
    bar->addPermanentWidget(indicator136_);
    QString ready = LoadText(57345);
    bar->showMessage(ready.isEmpty() ? QStringLiteral("レディ") : ready);
}

void CMainFrame::CreatePanes(const PaneFactory& factory)
{
    groupWidth_ = registry_.GetInt(kMainWindow, "nGroupPaneWidth", 0);
    if (groupWidth_ <= 0)
        groupWidth_ = kDefaultGroupWidth;
    articleHeight_ = registry_.GetInt(kMainWindow, "nArticlePaneHeight", 0);
    if (articleHeight_ <= 0)
        articleHeight_ = kDefaultArticleHeight;

    outer_ = new QSplitter(Qt::Horizontal, this);
    outer_->setObjectName(QStringLiteral("outerSplitter"));
    outer_->setChildrenCollapsible(false);
    inner_ = new QSplitter(Qt::Vertical);
    inner_->setObjectName(QStringLiteral("innerSplitter"));
    inner_->setChildrenCollapsible(false);
    inner_->setFrameStyle(QFrame::Box | QFrame::Plain);

    for (int i = 0; i < 3; ++i)
        panes_[i] = factory(i, *this);
    outer_->addWidget(Pane(GroupPane));
    outer_->addWidget(inner_);
    inner_->addWidget(Pane(ArticlePane));
    inner_->addWidget(Pane(BodyPane));
    // The upper pane keeps its height, so a shrinking window takes it all
    // from the body: a few lines of it must stay.
    Pane(BodyPane)->setMinimumHeight(4 * QFontMetrics(JapaneseFont()).lineSpacing());
    // The left and upper panes keep their size when the window is resized.
    outer_->setStretchFactor(0, 0);
    outer_->setStretchFactor(1, 1);
    inner_->setStretchFactor(0, 0);
    inner_->setStretchFactor(1, 1);
    setCentralWidget(outer_);
    ApplyPaneSizes();
}

void CMainFrame::ApplyPaneSizes()
{
    const int width = std::max(outer_->width(), groupWidth_ + 100);
    outer_->setSizes({groupWidth_, width - groupWidth_ - outer_->handleWidth()});
    const int height = std::max(inner_->height(), articleHeight_ + 100);
    inner_->setSizes({articleHeight_, height - articleHeight_ - inner_->handleWidth()});
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!sizesApplied_) {
        sizesApplied_ = true;
        // The splitters have their real size only once the window is laid out.
        if (QLayout* l = layout())
            l->activate();
        ApplyPaneSizes();
        ActivatePane(activePane_);
    }
}

void CMainFrame::ActivatePane(int index)
{
    activePane_ = index;
    if (QWidget* pane = Pane(index))
        pane->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ActivateNextPane(bool forward)
{
    ActivatePane((activePane_ + (forward ? 1 : 2)) % 3);
}

QLabel* CMainFrame::StatusPane(int index) const
{
    return index == 1 ? indicator137_ : index == 2 ? indicator136_ : nullptr;
}

QMenu* CMainFrame::Menu(int index) const
{
    return index >= 0 && index < int(menus_.size()) ? menus_[std::size_t(index)] : nullptr;
}

void CMainFrame::UpdateStatusPanes()
{
    QString text;
    const std::string group = document_.CurrentGroupName();
    if (!group.empty())
        text = QStringLiteral("%1 (%2)").arg(FromSjis(group)).arg(document_.ArticleCount());
    // Called on every idle tick: the same text must not repaint the bar.
    if (text != indicator137_->text())
        indicator137_->setText(text);
    // The pane's text area is as wide as the text; the frame comes on top.
    const int width = (text.isEmpty() ? 50 : indicator137_->fontMetrics().horizontalAdvance(text))
                      + 2 * indicator137_->frameWidth();
    if (indicator137_->width() != width)
        indicator137_->setFixedWidth(width);

    QString lines;
    int line = 0, count = 0;
    if (FramePane* body = View(BodyPane); body && body->LinePosition(line, count))
        lines = QString::asprintf("%4d/%d", line, count);
    SetLineIndicator(lines);
    lock_->Follow(document_.Doc());
}

void CMainFrame::SetLineIndicator(const QString& text)
{
    if (text != indicator136_->text())
        indicator136_->setText(text);
}

bool CMainFrame::IsBusy() const
{
    return document_.Doc().IsBusy() || progressWindows_.Open() > 0 || LockCount(this) > 0
           || (busyTest_ && busyTest_());
}

// ---------------------------------------------------------------- documents

QString CMainFrame::DocumentTitle() const
{
    const std::filesystem::path& path = document_.Doc().GetPathName();
    if (path.empty())
        return QStringLiteral("Lume");
    return QFileInfo(QString::fromStdString(path.string())).fileName();
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(DocumentTitle() + QStringLiteral(" - ") + AppTitle());
}

QString CMainFrame::AskFileName(bool save)
{
    return dialogs_.AskConfigFile(this, save, QString::fromStdString(document_.Doc().GetPathName().string()));
}

bool CMainFrame::SaveModified()
{
    if (!document_.Doc().IsModified())
        return true;
    const QString question = QStringLiteral("%1 への変更を保存しますか?").arg(DocumentTitle());
    switch (dialogs_.Message(this, question, MessageIcon::Question, true)) {
    case IDYES:
        return DoSave(false);
    case IDNO:
        return true;
    default:
        return false;
    }
}

bool CMainFrame::DoSave(bool saveAs)
{
    CLumeDoc& doc = document_.Doc();
    QString path = QString::fromStdString(doc.GetPathName().string());
    if (saveAs || path.isEmpty()) {
        path = AskFileName(true);
        if (path.isEmpty())
            return false;
    }
    const std::filesystem::path target(path.toStdString());
    if (!doc.OnSaveDocument(target))
        return false;
    doc.SetPathName(target);
    recent_.Add(path.toStdString());
    UpdateTitle();
    return true;
}

bool CMainFrame::NewDocument()
{
    // Resetting the document under a running network loop would pull its data away.
    if (IsBusy()) {
        QApplication::beep();
        return false;
    }
    if (!SaveModified())
        return false;
    if (!document_.OnNewDocument())
        return false;
    document_.Doc().SetPathName({});
    document_.Doc().SetModifiedFlag(false);
    UpdateTitle();
    document_.Doc().UpdateAllViews(nullptr, Hint::None);
    return true;
}

bool CMainFrame::OpenDocumentFile(const QString& path)
{
    if (IsBusy()) {
        QApplication::beep();
        return false;
    }
    if (!SaveModified())
        return false;
    const std::filesystem::path target(path.toStdString());
    CLumeDoc& doc = document_.Doc();
    if (!document_.OnOpenDocument(target)) {
        dialogs_.Message(this, QStringLiteral("%1 を開けませんでした。").arg(path), MessageIcon::Stop);
        // The failed open may have cleared the old content: start clean.
        document_.OnNewDocument();
        doc.SetPathName({});
        doc.SetModifiedFlag(false);
        UpdateTitle();
        doc.UpdateAllViews(nullptr, Hint::None);
        return false;
    }
    doc.SetPathName(target);
    doc.SetModifiedFlag(false);
    recent_.Add(path.toStdString());
    doc.OfferReadMarksRecovery();
    UpdateTitle();
    doc.UpdateAllViews(nullptr, Hint::None);
    return true;
}

bool CMainFrame::DocCommands::OnCommand(unsigned id)
{
    if (id == cmd::FileSave || id == cmd::FileSaveAs) {
        frame.DoSave(id == cmd::FileSaveAs);
        return true;
    }
    return false;
}

bool CMainFrame::DocCommands::OnUpdateCommand(CmdUI& state)
{
    return state.id == cmd::FileSave || state.id == cmd::FileSaveAs;
}

// ---------------------------------------------------------------- commands

bool CMainFrame::OnCommand(unsigned id)
{
    // The shown article's charset, whichever pane is active.
    if (id >= cmd::ReadAsAuto && id <= cmd::ReadAsLast) {
        FramePane* body = View(BodyPane);
        return body && body->OnCommand(id);
    }
    switch (id) {
    case cmd::ShowUnreadGroups:
    case cmd::ShowAllGroups:
    case cmd::ShowUnreadCounts:
        // Carried out by the group pane even when another pane is active.
        if (FramePane* group = View(GroupPane); group && group != ActiveView())
            return group->OnCommand(id);
        return false;
    case cmd::Font:
        // The body's font, whichever pane is active; the lists have their own.
        if (FramePane* body = View(BodyPane))
            return body->OnCommand(id);
        return false;
    case cmd::ListFont:
        // The body is active: the list above it.
        if (FramePane* list = View(ArticlePane); list && list != ActiveView())
            return list->OnCommand(id);
        return false;
    case cmd::EditSignatures:
        if (!signatureEditor_)
            return false;
        signatureEditor_();
        return true;
    case cmd::OpenNzb:
        OpenNzb();
        return true;
    case cmd::Help:
    case cmd::ContextHelp: {
        static const char* const kPanePages[] = {"panes.html#group", "reading.html", "reading.html#body"};
        dialogs_.ShowHelp(this, QString::fromLatin1(kPanePages[activePane_]));
        return true;
    }
    case cmd::HelpIndex:
    case cmd::DefaultHelp:
        dialogs_.ShowHelp(this, QString());
        return true;
    case cmd::HelpUsing:
        dialogs_.ShowHelp(this, QStringLiteral("usinghelp.html"));
        return true;
    case cmd::FilePrintSetup:
        dialogs_.AskPageSetup(this);
        return true;
    case cmd::ViewToolBar:
        toolBar_->setVisible(!toolBar_->isVisible());
        return true;
    case cmd::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        return true;
    case cmd::NextPane:
    case cmd::PrevPane:
        ActivateNextPane(id == cmd::NextPane);
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnUpdateCommand(CmdUI& state)
{
    if (state.id >= cmd::ReadAsAuto && state.id <= cmd::ReadAsLast) {
        FramePane* body = View(BodyPane);
        return body && body->OnUpdateCommand(state);
    }
    switch (state.id) {
    case cmd::ShowUnreadGroups:
        state.Enable(!document_.Doc().Config().bShowAllGroup);
        state.SetCheck(document_.Doc().Config().bShowUnreadGroup);
        return true;
    case cmd::ShowAllGroups:
        state.SetCheck(document_.Doc().Config().bShowAllGroup);
        return true;
    case cmd::ShowUnreadCounts:
        if (FramePane* group = View(GroupPane))
            return group->OnUpdateCommand(state);
        return false;
    case cmd::Font:
        return View(BodyPane) != nullptr;
    case cmd::ListFont:
        return View(ArticlePane) != nullptr;
    case cmd::EditSignatures:
        return bool(signatureEditor_);
    case cmd::OpenNzb:
        state.Enable(document_.Doc().IsConnected() && !IsBusy());
        return true;
    case cmd::Help:
    case cmd::ContextHelp:
    case cmd::HelpIndex:
    case cmd::DefaultHelp:
    case cmd::HelpUsing:
    case cmd::FilePrintSetup:
        return true;
    case cmd::ViewToolBar:
        state.SetCheck(toolBar_->isVisible());
        return true;
    case cmd::ViewStatusBar:
        state.SetCheck(statusBar()->isVisible());
        return true;
    case cmd::NextPane:
    case cmd::PrevPane:
        return true;
    default:
        return false;
    }
}

void CMainFrame::OnComposeClosed()
{
    if (composeClosed_)
        composeClosed_();
}

// ---------------------------------------------------------------- closing

void CMainFrame::SaveLayout()
{
    const QRect rect = (isMaximized() || isFullScreen()) ? normalGeometry() : geometry();
    if (rect.isValid()) {
        std::uint8_t bytes[16];
        WriteInt32(&bytes[0], rect.left());
        WriteInt32(&bytes[4], rect.top());
        WriteInt32(&bytes[8], rect.left() + rect.width());
        WriteInt32(&bytes[12], rect.top() + rect.height());
        registry_.WriteBinary(kMainWindow, "rcWindowRect", bytes, sizeof bytes);
    }
    registry_.WriteInt(kMainWindow, "nGroupPaneWidth", outer_->sizes().value(0));
    registry_.WriteInt(kMainWindow, "nArticlePaneHeight", inner_->sizes().value(0));
    const QByteArray state = saveState();
    registry_.WriteBinary(kBarState, "State", state.constData(), std::size_t(state.size()));
    registry_.WriteInt(kBarState, "StatusBar", statusBar()->isVisible() ? 1 : 0);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A network loop still runs on this window's data: refuse, it ends soon.
    if (IsBusy()) {
        QApplication::beep();
        event->ignore();
        return;
    }
    if (closeQuery_ && !closeQuery_()) {
        event->ignore();
        return;
    }
    SaveLayout();
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace ui
