#include "ui/CArticleView.h"

#include "news/LumeDoc.h"
#include "message/Attachment.h"
#include "platform/Registry.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "dialogs/ArticleDialogs.h"
#include "ui/BodySearch.h"
#include "platform/CommandIds.h"
#include "dialogs/ConnectDialog.h"
#include "widgets/LogFontRecord.h"
#include "dialogs/Dialogs.h"
#include "ui/LumeDocument.h"
#include "ui/FramePane.h"
#include "dialogs/ProgressWindow.h"
#include "widgets/SjisText.h"
#include "widgets/TreeListImages.h"
#include "widgets/BodyColours.h"
#include "news/ScoreBook.h"
#include "dialogs/ScoreDialogs.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QLabel>
#include <QToolTip>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <cstdio>
#include <ctime>

#include <unistd.h>

using namespace widgets;
using namespace dialogs;

using namespace news;

namespace ui {

namespace cmd = platform::cmd;

namespace {
constexpr Hint kHintMask = Hint::Group | Hint::NextUnread | Hint::NextArticle | Hint::PrevArticle;

QString Format(unsigned id, const std::vector<std::string>& args)
{
    return FormatMessage(platform::LoadString(id), args);
}
constexpr const char* kSortColumnKey = "nSortColumn";
constexpr const char* kSortDescendingKey = "bSortDescending";
const char16_t* const kColumnTexts[] = {u"題名", u"日時", u"投稿者", u"得点"};
constexpr int kColumns = 4;
constexpr int kDefaultAuthorWidth = 160;
// Defaults of the 書式 page's score colours.
const QColor kHighScore(0xC0, 0x00, 0x00);
const QColor kLowScore(0x80, 0x80, 0x80);
} // namespace

CArticleView::CArticleView(CLumeDoc& doc, platform::Registry& registry, Dialogs& dialogs, PaneFrame* frame,
                           QWidget* parent)
    : QWidget(parent), doc_(doc), registry_(registry), dialogs_(dialogs), frame_(frame)
{
    setObjectName(QStringLiteral("CArticleView"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(20, 20);

    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setFrameStyle(QFrame::Box | QFrame::Plain);
    title_->setAutoFillBackground(true);
    title_->setTextFormat(Qt::PlainText);

    header_ = new CColumnHeader(this);
    header_->Create(this, kHeaderId, kColumns);
    header_->setObjectName(QStringLiteral("ctl%1").arg(kHeaderId));
    for (int i = 0; i < kColumns; ++i)
        header_->SetColumnText(i, QString::fromUtf16(kColumnTexts[i]));
    header_->SetColumnWidth(0, 50);
    header_->SetColumnWidth(1, 100);
    header_->SetColumnWidth(2, 100);
    header_->SetColumnWidth(3, 60);
    connect(header_, &CColumnHeader::ColumnWidthsChanged, this, &CArticleView::ColumnWidthsChanged);
    connect(header_, &CColumnHeader::ColumnClicked, this, &CArticleView::ColumnClicked);

    list_ = new CArticleListBox(this);
    list_->setObjectName(QStringLiteral("ctl%1").arg(kListId));
    list_->Create(CTreeListBox::TLS_LINES, IDB_ARTICLE_IMAGES, 5);
    list_->SetColumnCount(kColumns);
    for (int i = 0; i < kColumns; ++i)
        list_->SetColumnWidth(i, header_->ColumnWidth(i));
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list_->recodedRow = [this](const CArticle& article, std::string& subject, std::string& from) {
        const BodySearch* body = Body();
        return body && body->RecodedRow(article.m_nNumber, subject, from);
    };
    list_->selChanged = [this](int, CTreeListItem*) {
        if (!searching_ && !loading_)
            ShowCurrent();
    };
    list_->viewport()->installEventFilter(this);
    list_->installEventFilter(this);
    setFocusProxy(list_);

    // Without a stored font the system's (Japanese) font is used.
    if (const auto stored = ReadFontSetting(registry_, kSection))
        font_ = *stored;
    else
        font_ = JapaneseFont();
    list_->SetRowFont(font_);
    header_->SetHeaderFont(font_, false);

    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        const bool active = now && (now == this || isAncestorOf(now));
        if (active != active_) {
            active_ = active;
            UpdateTitleColours();
        }
    });
    ApplyListColours();
    UpdateTitleColours();
    InitialUpdate();
    doc_.AddView(this);
}

CArticleView::~CArticleView()
{
    // Focus moves while the children go; the pane is no longer there to see it.
    disconnect(focusWatch_);
    doc_.RemoveView(this);
    if (connect_) {
        delete connect_.data();
        if (connectSocket_ >= 0)
            ::close(connectSocket_);
    }
}

// ---------------------------------------------------------------- layout

void CArticleView::InitialUpdate()
{
    header_->SetColumnWidth(0, registry_.GetInt(kSection, "ColumnWidth0", kDefaultSubjectWidth));
    header_->SetColumnWidth(1, registry_.GetInt(kSection, "ColumnWidth1", kDefaultDateWidth));
    header_->SetColumnWidth(2, registry_.GetInt(kSection, "ColumnWidth2", kDefaultAuthorWidth));
    for (int i = 0; i < 3; ++i)
        list_->SetColumnWidth(i, header_->ColumnWidth(i));
    SetSort(registry_.GetInt(kSection, kSortColumnKey, CArticleListBox::kThreaded),
            registry_.GetInt(kSection, kSortDescendingKey, 0) != 0);
    Reset();
}

void CArticleView::LayoutPane()
{
    const int h = header_->Height();
    const int w = width();
    title_->setGeometry(-1, -1, w + 2, h + 1);
    header_->setGeometry(0, h, w, h + 1);
    header_->Layout();
    list_->setGeometry(0, 2 * h + 1, w, std::max(0, height() - (2 * h + 1)));
    list_->SetColumnWidth(kColumns - 1, std::max(header_->ColumnWidth(kColumns - 1), w));
}

void CArticleView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutPane();
}

void CArticleView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    list_->setFocus(event->reason());
}

void CArticleView::paintEvent(QPaintEvent* event)
{
    // The system colours may have changed since the last paint.
    ApplyListColours();
    QWidget::paintEvent(event);
}

void CArticleView::ApplyListColours()
{
    const QPalette p = palette();
    list_->SetColours(p.color(QPalette::Active, QPalette::WindowText), p.color(QPalette::Active, QPalette::Base),
                      p.color(QPalette::Active, QPalette::HighlightedText),
                      p.color(QPalette::Active, QPalette::Highlight));
    auto stored = [this](const char* key, const QColor& def) {
        if (registry_.TypeOf(kSection, key) != platform::Registry::Type::Integer)
            return def;
        return widgets::ToQColor(static_cast<message::Colour>(registry_.GetInt(kSection, key, 0)));
    };
    list_->SetScoreColours(stored(kHighScoreKey, kHighScore), stored(kLowScoreKey, kLowScore));
}

bool CArticleView::Shows(const CArticle& article) const { return showKilled_ || !article.m_bKilled; }

CArticle* CArticleView::CurrentArticle() const
{
    const int row = list_->GetCurSel();
    return row >= 0 ? CArticleListBox::ArticleOf(list_->NodeOfRow(row)) : nullptr;
}

// The kill and watch commands: one rule into the score file, with the
// expiry the user picks, then the list scored again.
void CArticleView::AddScoreRule(unsigned id)
{
    const CArticle* article = CurrentArticle();
    if (!article || !shown_)
        return;
    const std::string root = ThreadRootOf(article->m_strReferences, article->m_strMessageID);
    QString what;
    switch (id) {
    case cmd::IgnoreAuthor: what = QStringLiteral("この投稿者を無視します: ") + FromSjis(article->m_strFrom); break;
    case cmd::IgnoreThread: what = QStringLiteral("このスレッドを無視します: ") + FromSjis(article->m_strSubject); break;
    default: what = QStringLiteral("このスレッドに注目します: ") + FromSjis(article->m_strSubject); break;
    }
    int days = dialogs::ScoreExpiryDialog::kDefaultDays;
    if (dialogs_.AskScoreExpiry(frame_ ? frame_->FrameWindow() : window(), what, days) != IDOK)
        return;
    const std::int64_t expires = days > 0 ? DayOf(static_cast<std::int64_t>(std::time(nullptr))) + days : 0;
    const std::string& group = shown_->m_strName;
    const ScoreEntry entry = id == cmd::IgnoreAuthor ? IgnoreAuthorEntry(group, article->m_strFrom, expires)
                             : id == cmd::IgnoreThread ? ThreadEntry(group, root, kScoreKill, expires)
                                                       : ThreadEntry(group, root, kWatchScore, expires);
    std::string error;
    if (!doc_.Scores().Add(entry, error)) {
        dialogs_.Message(this, QString::fromStdString(error), MessageIcon::Stop);
        return;
    }
    Rescore();
}

void CArticleView::EditScoreRules()
{
    if (!shown_)
        return;
    std::vector<const CArticle*> articles;
    articles.reserve(doc_.Articles().size());
    for (const auto& a : doc_.Articles())
        articles.push_back(a.get());
    dialogs_.EditScoreRules(frame_ ? frame_->FrameWindow() : window(), doc_.Scores(), shown_->m_strName, articles);
    Rescore();
}

void CArticleView::Rescore()
{
    doc_.RescoreArticles();
    Refill();
}

void CArticleView::UpdateTitleColours()
{
    QPalette p = title_->palette();
    const QPalette base = palette();
    // Caption colours: strong while the pane is active, muted otherwise.
    if (active_) {
        p.setColor(QPalette::Window, base.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::WindowText, base.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        // Muted, but still readable: light window text on Mid was not.
        p.setColor(QPalette::Window, base.color(QPalette::Active, QPalette::Mid));
        p.setColor(QPalette::WindowText, base.color(QPalette::Active, QPalette::WindowText));
    }
    title_->setPalette(p);
}

void CArticleView::SetTitle(const QString& text) { title_->setText(text); }

QString CArticleView::TitleText() const { return title_->text(); }

// ---------------------------------------------------------------- updates

void CArticleView::Reset()
{
    ++generation_;
    list_->Clear();
    list_->RebuildRows();
    shown_ = nullptr;
    SetTitle(QString());
}

void CArticleView::OnUpdate(DocumentView*, Hint hint)
{
    // A new or opened document: nothing of the old one stays.
    if (hint == Hint::None) {
        Reset();
        return;
    }
    if (HasHint(hint, Hint::MarkRead)) {
        MarkReadDialog();
        return;
    }
    // The shown article may be read in another charset now: so is its row.
    if (HasHint(hint, Hint::Article))
        list_->viewport()->update();
    if (!HasHint(hint, kHintMask))
        return;
    if (HasHint(hint, Hint::Group)) {
        if (searching_) {
            // The search walks the rows (and their articles, which the
            // document may just have freed): it stops at once and the
            // rebuild follows when it has unwound.
            deferredHint_ = hint;
            ++generation_;
            return;
        }
        LoadGroup(hint);
        return;
    }
    // Moves during a fetch or the search would work on rows being replaced.
    if (searching_ || loading_)
        return;
    if (HasHint(hint, Hint::NextUnread)) {
        if (!NextUnread())
            EndOfList(Hint::NextUnread);
    } else if (HasHint(hint, Hint::NextArticle)) {
        if (!NextArticle())
            EndOfList(Hint::NextArticle);
    } else if (HasHint(hint, Hint::PrevArticle)) {
        if (!PrevArticle())
            EndOfList(Hint::PrevArticle);
    }
}

void CArticleView::ClearList()
{
    ++generation_;
    SetTitle(QString());
    list_->Clear();
    list_->RebuildRows();
    doc_.SetCurrentArticle(-1, this);
}

void CArticleView::LoadGroup(Hint hint)
{
    ClearList();
    CNewsGroup* group = doc_.GetCurrentGroup();
    if (!group) {
        shown_ = nullptr;
        SetTitle(QStringLiteral("(no articles.)"));
        return;
    }
    SetTitle(QStringLiteral("(Now reading articles. Please wait a moment.)"));
    const unsigned generation = generation_;
    if (group != shown_) {
        shown_ = group;
        title_->repaint();
        loading_ = true;
        const bool opened = doc_.OpenCurrentGroup();
        loading_ = false;
        if (!opened)
            return;
        // The fetch pumped events: another rebuild may have happened inside.
        if (generation != generation_ || doc_.GetCurrentGroup() != group)
            return;
    }
    for (const auto& article : doc_.Articles())
        if (Shows(*article))
            list_->AddArticle(article.get(), doc_.ReadList());
    list_->GroupParts(GroupPartFiles(doc_.Articles()));
    list_->RebuildRows();
    SetTitle(FormatMessage(" %s (%d articles , %d-%d)",
                           {group->m_strName, std::to_string(doc_.Articles().size()),
                            std::to_string(group->m_nFirst), std::to_string(group->m_nLast)}));
    if (NextUnread())
        return;
    if (HasHint(hint, Hint::NextUnread))
        EndOfList(Hint::NextUnread);
    else if (!HasHint(hint, Hint::NextArticle | Hint::PrevArticle))
        ShowCurrent();
}

// ---------------------------------------------------------------- moves

void CArticleView::MarkShown(CTreeListItem* node)
{
    CArticle* article = CArticleListBox::ArticleOf(node);
    if (!article)
        return;
    node->image_ = node->selImage_ = article->m_bRead ? CArticleListBox::kImageReadBefore
                                                          : CArticleListBox::kImageReadNow;
    node->expandedImage_ = -1;
    doc_.MarkArticle(*article, true);
    list_->RedrawNode(node);
}

void CArticleView::MarkUnread(bool thread)
{
    if (searching_ || loading_)
        return;
    CTreeListItem* current = list_->NodeOfRow(list_->GetCurSel());
    if (!current)
        return;
    CTreeListItem* first = current;
    CTreeListItem* stop = current;
    if (thread) {
        while (CTreeListItem* up = list_->GetParent(first))
            first = up;
        stop = first;
    }
    // The walk ends after stop's subtree.
    const CTreeListItem* end = nullptr;
    for (const CTreeListItem* a = stop; a && !end; a = list_->GetParent(a))
        end = a->NextSibling();
    for (CTreeListItem* n = first; n && n != end; n = list_->NextInPreOrder(n)) {
        if (CArticle* article = CArticleListBox::ArticleOf(n)) {
            doc_.MarkArticle(*article, false);
            n->image_ = n->selImage_ = CArticleListBox::kImageUnread;
        }
        if (!thread)
            break;
    }
    list_->viewport()->update();
}

void CArticleView::ShowCurrent()
{
    CTreeListItem* node = list_->NodeOfRow(list_->GetCurSel());
    CArticle* article = CArticleListBox::ArticleOf(node);
    if (!article)
        return;
    const int number = article->m_nNumber;
    const unsigned generation = generation_;
    doc_.SetCurrentArticle(number, this);
    // Marked read only once the body pane has it (or the server says it is
    // gone): a dead connection or a Cancel leaves it unread. The fetch pumped
    // events, so the node may have gone with a rebuilt list.
    if (generation != generation_)
        return;
    BodySearch* body = Body();
    if (!body || body->Answered(number))
        MarkShown(node);
}

bool CArticleView::NextArticle()
{
    const int current = list_->GetCurSel();
    const int row = current < 0 ? 0 : current + 1;
    if (row >= list_->GetCount())
        return false;
    list_->SetCurRow(row);
    list_->ScrollToRow(row, false);
    ShowCurrent();
    return true;
}

bool CArticleView::PrevArticle()
{
    const int current = list_->GetCurSel();
    if (current == 0)
        return false;
    const int row = current < 0 ? 0 : current - 1;
    if (row >= list_->GetCount())
        return false;
    list_->SetCurRow(row);
    list_->ScrollToRow(row, false);
    ShowCurrent();
    return true;
}

bool CArticleView::NextUnread()
{
    const int count = list_->GetCount();
    const int current = list_->GetCurSel();
    bool found = false;
    list_->SetRedraw(false);
    for (int row = current < 0 ? 0 : current + 1; row < count; ++row) {
        list_->SetCurRow(row);
        const CArticle* article = CArticleListBox::ArticleOf(list_->NodeOfRow(row));
        if (article && !doc_.ReadList().IsRead(article->m_nNumber)) {
            found = true;
            break;
        }
    }
    list_->SetRedraw(true);
    if (list_->GetCurSel() >= 0)
        list_->ScrollToRow(list_->GetCurSel(), false);
    list_->viewport()->update();
    if (found)
        ShowCurrent();
    return found;
}

bool CArticleView::PrevUnread()
{
    if (searching_ || loading_)
        return false;
    for (int row = list_->GetCurSel() - 1; row >= 0; --row) {
        const CArticle* article = CArticleListBox::ArticleOf(list_->NodeOfRow(row));
        if (article && !doc_.ReadList().IsRead(article->m_nNumber)) {
            list_->SetCurRow(row);
            list_->ScrollToRow(row, false);
            ShowCurrent();
            return true;
        }
    }
    return false;
}

void CArticleView::SkipThread()
{
    const int count = list_->GetCount();
    int row = list_->GetCurSel();
    while (row + 1 < count) {
        ++row;
        list_->SetCurRow(row);
        if (list_->Depth(list_->NodeOfRow(row)) == 0)
            break;
    }
    if (row >= 0)
        list_->ScrollToRow(row, false);
    ShowCurrent();
}

void CArticleView::EndOfList(Hint hint)
{
    const bool back = hint == Hint::PrevArticle;
    const Hint move = back ? Hint::PrevUnreadGroup : Hint::NextUnreadGroup;
    if (list_->GetCount() > 0 && doc_.Config().bShowChangeGroupDialog) {
        const QString text = LoadText(back ? platform::IDS_61219 : platform::IDS_61218);
        if (dialogs_.Message(window(), text, MessageIcon::Question, true) != IDYES)
            return;
    }
    doc_.UpdateAllViews(this, move);
}

// ---------------------------------------------------------------- mark read

void CArticleView::MarkReadDialog()
{
    if (searching_)
        return;
    int range = ArticleMarkReadDialog::Thread;
    if (dialogs_.AskMarkRead(window(), range) != IDOK)
        return;
    CTreeListItem* current = list_->NodeOfRow(list_->GetCurSel());
    CTreeListItem* first = nullptr;
    CTreeListItem* stop = nullptr;
    switch (range) {
    case ArticleMarkReadDialog::AboveSelected:
        if (!current)
            return;
        first = list_->FirstRoot();
        stop = current;
        break;
    case ArticleMarkReadDialog::Thread: {
        if (!current)
            return;
        CTreeListItem* top = current;
        while (CTreeListItem* up = list_->GetParent(top))
            top = up;
        first = top;
        // The walk ends after top's subtree: at the next top-level node.
        stop = top->NextSibling();
        break;
    }
    default:
        first = list_->FirstRoot();
        break;
    }
    for (CTreeListItem* n = first; n && n != stop; n = list_->NextInPreOrder(n))
        MarkShown(n);
    list_->viewport()->update();
}

// ---------------------------------------------------------------- search

BodySearch* CArticleView::Body() const
{
    if (hasBody_)
        return body_;
    if (frame_)
        return dynamic_cast<BodySearch*>(frame_->Pane(PaneFrame::BodyPane));
    return nullptr;
}

void CArticleView::Find(unsigned id)
{
    if (searching_) {
        QApplication::beep();
        return;
    }
    BodySearch* body = Body();
    if (!body)
        return;
    if (id != cmd::Find && !searchText_.empty()) {
        SearchArticles(id == cmd::FindPrev);
        return;
    }
    ArticleSearchDialog::Request request;
    request.text = body->SelectedText();
    request.noCase = registry_.GetInt("Settings", "bCompareNoCase", 0) != 0;
    if (dialogs_.AskArticleSearch(window(), request) != IDOK || request.text.empty())
        return;
    registry_.WriteInt("Settings", "bCompareNoCase", request.noCase ? 1 : 0);
    searchText_ = request.text;
    SearchArticles(request.upwards);
}

void CArticleView::SearchArticles(bool upwards)
{
    BodySearch* body = Body();
    if (!body)
        return;
    const bool noCase = registry_.GetInt("Settings", "bCompareNoCase", 0) != 0;
    if (body->FindText(!upwards, searchText_, noCase))
        return;
    const int former = list_->GetCurSel();
    if (upwards && former <= 0) {
        QApplication::beep();
        return;
    }
    ProgressWindow progress(600, frame_ ? frame_->FrameWindow() : window(), frame_ ? frame_->ProgressWindows() : nullptr);
    if (!progress.Open(unsigned(platform::IDS_61276)))
        return;

    const unsigned generation = generation_;
    searching_ = true;
    bool found = false;
    list_->SetRedraw(false);
    const int count = list_->GetCount();
    for (int row = upwards ? former - 1 : former + 1; row >= 0 && row < count; row += upwards ? -1 : 1) {
        if (progress.Cancelled())
            break;
        CTreeListItem* node = list_->NodeOfRow(row);
        const CArticle* article = CArticleListBox::ArticleOf(node);
        if (!article)
            continue;
        const int number = article->m_nNumber;
        // The bodies the walk reads next go ahead of it (up to the document's window).
        std::vector<int> upcoming;
        for (int r = row; r >= 0 && r < count && upcoming.size() < 16; r += upwards ? -1 : 1)
            if (const CArticle* a = CArticleListBox::ArticleOf(list_->NodeOfRow(r)))
                upcoming.push_back(a->m_nNumber);
        doc_.ExpectArticles(upcoming);
        doc_.SetCurrentArticle(number, this);
        // Loading the body pumped events: stop if the list went away meanwhile.
        if (generation != generation_)
            break;
        if (progress.Cancelled())
            break;
        progress.SetMessage(ToSjis(Format(platform::IDS_61277, {std::to_string(number)})));
        const bool match = body->FindText(!upwards, searchText_, noCase);
        if (generation != generation_)
            break;
        if (match) {
            list_->SetCurRow(row);
            list_->ScrollToRow(row, true);
            MarkShown(node);
            found = true;
            break;
        }
    }
    searching_ = false;
    doc_.ExpectArticles({});
    list_->SetRedraw(true);
    list_->viewport()->update();
    progress.Close();
    if (deferredHint_ != Hint::None) {
        const Hint deferred = deferredHint_;
        deferredHint_ = Hint::None;
        LoadGroup(deferred);
        return;
    }
    if (generation != generation_)
        return;
    if (found)
        return;
    list_->SetCurRow(former);
    if (former >= 0) {
        list_->ScrollToRow(former, false);
        ShowCurrent();
    } else {
        doc_.SetCurrentArticle(-1, this);
    }
    dialogs_.Message(window(), LoadText(platform::IDS_61281), MessageIcon::Information);
}

// ---------------------------------------------------------------- font, columns

void CArticleView::ChooseFont()
{
    const std::optional<QFont> chosen = dialogs_.AskFont(window(), font_, QString(), true);
    if (!chosen)
        return;
    WriteFontSetting(registry_, kSection, *chosen);
    // Read back through the record, so that the pane shows what a restart shows.
    const auto stored = FontFromRecord(RecordFromFont(*chosen));
    if (stored)
        ApplyFont(*stored);
}

void CArticleView::ApplyFont(const QFont& font)
{
    if (!list_->SetRowFont(font))
        return;
    header_->SetHeaderFont(font, true);
    font_ = font;
    LayoutPane();
}

void CArticleView::ColumnWidthsChanged()
{
    for (int i = 0; i < header_->ColumnCount(); ++i)
        list_->SetColumnWidth(i, header_->ColumnWidth(i));
    LayoutPane();
    list_->viewport()->update();
    registry_.WriteInt(kSection, "ColumnWidth0", header_->ColumnWidth(0));
    registry_.WriteInt(kSection, "ColumnWidth1", header_->ColumnWidth(1));
    registry_.WriteInt(kSection, "ColumnWidth2", header_->ColumnWidth(2));
}

// ---------------------------------------------------------------- sorting

void CArticleView::SetSort(int column, bool descending)
{
    list_->SetSort(column, descending);
    const int sorted = list_->SortColumn();
    for (int i = 0; i < kColumns; ++i) {
        QString text = QString::fromUtf16(kColumnTexts[i]);
        if (i == sorted)
            text += list_->SortDescending() ? QStringLiteral(" ▼") : QStringLiteral(" ▲");
        header_->SetColumnText(i, text);
    }
    header_->SetPressedColumn(sorted);
    Refill();
}

void CArticleView::ColumnClicked(int pressed)
{
    // The header reports -1 when the pressed column is clicked again.
    const int sorted = list_->SortColumn();
    if (searching_ || loading_) {
        header_->SetPressedColumn(sorted);
        return;
    }
    if (pressed >= 0)
        SetSort(pressed, false);
    else if (!list_->SortDescending())
        SetSort(sorted, true);
    else
        SetSort(CArticleListBox::kThreaded, false);
    registry_.WriteInt(kSection, kSortColumnKey, list_->SortColumn());
    registry_.WriteInt(kSection, kSortDescendingKey, list_->SortDescending() ? 1 : 0);
}

void CArticleView::Refill()
{
    if (searching_ || loading_ || !shown_ || doc_.GetCurrentGroup() != shown_)
        return;
    ++generation_;
    list_->SetRedraw(false);
    list_->Clear();
    for (const auto& article : doc_.Articles())
        if (Shows(*article))
            list_->AddArticle(article.get(), doc_.ReadList());
    list_->GroupParts(GroupPartFiles(doc_.Articles()));
    list_->RebuildRows();
    for (int row = 0; row < list_->GetCount(); ++row) {
        const CArticle* article = CArticleListBox::ArticleOf(list_->NodeOfRow(row));
        if (article && article->m_nNumber == doc_.CurrentArticle()) {
            list_->SetCurRow(row);
            list_->ScrollToRow(row, true);
            break;
        }
    }
    list_->SetRedraw(true);
    list_->viewport()->update();
}

// ---------------------------------------------------------------- commands

bool CArticleView::OnCommand(unsigned id)
{
    switch (id) {
    case cmd::IgnoreAuthor:
    case cmd::IgnoreThread:
    case cmd::WatchThread:
        if (!searching_ && !doc_.IsBusy())
            AddScoreRule(id);
        return true;
    case cmd::EditScoreRules:
        if (!searching_ && !doc_.IsBusy())
            EditScoreRules();
        return true;
    case cmd::ShowKilled:
        showKilled_ = !showKilled_;
        Refill();
        return true;
    case cmd::JoinParts:
        if (!searching_ && !doc_.IsBusy())
            JoinParts();
        return true;
    case cmd::SkipThread:
        if (!searching_)
            SkipThread();
        return true;
    case cmd::MarkUnread:
    case cmd::MarkThreadUnread:
        MarkUnread(id == cmd::MarkThreadUnread);
        return true;
    case cmd::PrevUnread:
        if (!PrevUnread())
            QApplication::beep();
        return true;
    case cmd::Find:
    case cmd::FindNext:
    case cmd::FindPrev:
        Find(id);
        return true;
    case cmd::ListFont:
        ChooseFont();
        return true;
    case cmd::PrevPane:
        if (frame_)
            frame_->ActivatePane(PaneFrame::GroupPane);
        return true;
    case cmd::NextPane:
        if (frame_)
            frame_->ActivateNextPane(true);
        return true;
    default:
        return false;
    }
}

bool CArticleView::OnUpdateCommand(CmdUI& state)
{
    switch (state.id) {
    case cmd::SkipThread:
    case cmd::MarkUnread:
    case cmd::MarkThreadUnread:
        state.Enable(list_->GetCurSel() >= 0 && !searching_);
        return true;
    case cmd::Find:
    case cmd::FindNext:
    case cmd::FindPrev:
        state.Enable(Body() != nullptr && !searching_ && doc_.IsConnected());
        return true;
    case cmd::ListFont:
    case cmd::PrevPane:
    case cmd::NextPane:
        return true;
    case cmd::IgnoreAuthor:
    case cmd::IgnoreThread:
    case cmd::WatchThread:
        state.Enable(list_->GetCurSel() >= 0 && !searching_ && !doc_.IsBusy());
        return true;
    case cmd::EditScoreRules:
        state.Enable(shown_ != nullptr && !searching_ && !doc_.IsBusy());
        return true;
    case cmd::JoinParts:
        // The subject alone decides: the whole list is gathered only when the command runs.
        state.Enable(!searching_ && !doc_.IsBusy() && doc_.IsConnected() && CurrentArticle() &&
                     ParsePartSubject(CurrentArticle()->m_strSubject));
        return true;
    case cmd::ShowKilled:
        state.SetCheck(showKilled_);
        state.Enable(!searching_);
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- files in parts

std::optional<PartFile> CArticleView::CurrentPartFile() const
{
    const CArticle* article = CurrentArticle();
    if (!article || !ParsePartSubject(article->m_strSubject))
        return std::nullopt;
    for (PartFile& file : GroupPartFiles(doc_.Articles()))
        for (const PartArticle& part : file.articles)
            if (part.number == article->m_nNumber)
                return std::move(file);
    return std::nullopt;
}

void CArticleView::JoinParts()
{
    const std::optional<PartFile> file = CurrentPartFile();
    if (!file)
        return;
    QWidget* parent = frame_ ? frame_->FrameWindow() : window();
    const QString path = dialogs_.AskSaveFile(parent, FromSjis(message::SafeFileName(file->Name())));
    if (path.isEmpty())
        return;
    bool asked = false;
    const std::optional<JoinResult> result =
        doc_.JoinPartFile(*file, {{}, path.toStdString()}, [&](const JoinResult& partial) {
            asked = true;
            // A message box holds the first few of a long list.
            const std::vector<unsigned>& list = partial.missing.empty() ? partial.damaged : partial.missing;
            std::string parts;
            for (std::size_t i = 0; i < list.size() && i < 20; ++i)
                parts += (i ? ", " : "") + std::to_string(list[i]);
            if (list.size() > 20)
                parts += ", ... (" + std::to_string(list.size()) + ")";
            if (parts.empty())
                parts = partial.problem;
            const unsigned text = partial.missing.empty() ? platform::IDS_61405 : platform::IDS_61402;
            return dialogs_.Message(parent, Format(text, {parts}), MessageIcon::Question) == IDYES;
        });
    if (!result || result->cancelled)
        return;
    if (!result->path.empty())
        dialogs_.Message(parent, Format(platform::IDS_61403, {result->path.string()}), MessageIcon::Information);
    else if (!asked)
        dialogs_.Message(parent, Format(platform::IDS_61404, {result->error.empty() ? result->problem : result->error}),
                         MessageIcon::Stop);
}

// ---------------------------------------------------------------- context menu

bool CArticleView::ListEvent(QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && list_->GetCurSel() >= 0 && !searching_
            && !loading_) {
            ShowCurrent();
            return true;
        }
        // The list has no buttons; a file's row in parts opens and closes by key.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        const bool open = key == Qt::Key_Right || text == QLatin1String("+");
        if (open || key == Qt::Key_Left || text == QLatin1String("-")) {
            CTreeListItem* node = list_->NodeOfRow(list_->GetCurSel());
            if (node && node->FirstChild() && list_->PartCount(node)) {
                if (open)
                    list_->ExpandInPlace(node);
                else
                    list_->CollapseInPlace(node, true);
                return true;
            }
        }
        return false;
    }
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const CArticle* article = CArticleListBox::ArticleOf(list_->NodeOfRow(list_->ItemFromPoint(help->pos())));
        const int x = help->pos().x() - header_->ColumnWidth(0);
        if (article && x >= 0 && x < header_->ColumnWidth(1))
            QToolTip::showText(help->globalPos(), FromSjis(CArticleListBox::FullDate(article->m_timeDate)),
                               list_->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return false;
}

bool CArticleView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == list_ || watched == list_->viewport()) && ListEvent(event))
        return true;
    if (event->type() == QEvent::ContextMenu
        && (watched == list_->viewport() || watched == list_)) {
        ContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CArticleView::ContextMenu(const QPoint& global)
{
    if (!frame_)
        return;
    // The article menu of the main window up to its options.
    QMenu* source = frame_->Menu(4);
    if (!source)
        return;
    QMenu menu(frame_->FrameWindow());
    menu.setObjectName(QStringLiteral("menu151"));
    menu.setFont(JapaneseFont());
    const QList<QAction*> actions = source->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QAction* a = actions[i];
        if (a->menu() && a->menu()->title().startsWith(QStringLiteral("オプション")))
            break;
        if (a->isSeparator() && i + 1 < actions.size() && actions[i + 1]->menu()
            && actions[i + 1]->menu()->title().startsWith(QStringLiteral("オプション")))
            break;
        menu.addAction(a);
    }
    // Bring the items up to date as the menu bar does before opening.
    emit source->aboutToShow();
    const QSize size = menu.sizeHint();
    menu.exec(global - QPoint(size.width() / 2, size.height() / 2));
}

// ---------------------------------------------------------------- connect

bool CArticleView::StartConnect(const std::string& host, int port)
{
    if (connect_)
        return false;
    QWidget* parent = frame_ ? frame_->FrameWindow() : window();
    auto* dialog = new CConnectDialog(parent);
    connect_ = dialog;
    connectDone_ = false;
    connectSocket_ = -1;
    connect(dialog, &CConnectDialog::Finished, this, &CArticleView::OnConnectMessage, Qt::QueuedConnection);
    if (!dialog->Start(host, port, true)) {
        connect_ = nullptr;
        delete dialog;
        parent->setEnabled(true);
        return false;
    }
    return true;
}

void CArticleView::OnConnectMessage(bool success)
{
    int socket = -1;
    if (connect_) {
        if (success)
            socket = connect_->TakeSocket();
        delete connect_.data();
        connect_ = nullptr;
    }
    connectDone_ = true;
    if (connectWaiting_) {
        // The document waits in ConnectServer and carries on from there.
        connectSocket_ = socket;
        emit ConnectEnded();
        return;
    }
    emit ConnectEnded();
    // On failure the dialog has reported. The document reads the greeting
    // ("Connect Error!! %d:%s" and offline when it fails), then the group
    // list, and tells the panes with hint 14.
    if (socket >= 0)
        doc_.OnConnected(socket);
}

int CArticleView::ConnectServer(const std::string& host, int port)
{
    if (!StartConnect(host, port))
        return -1;
    connectWaiting_ = true;
    if (!connectDone_) {
        QEventLoop loop;
        connect(this, &CArticleView::ConnectEnded, &loop, &QEventLoop::quit);
        loop.exec();
    }
    connectWaiting_ = false;
    const int socket = connectSocket_;
    connectSocket_ = -1;
    return socket;
}

// ---------------------------------------------------------------- factory

} // namespace ui
