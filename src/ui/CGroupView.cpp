#include "ui/CGroupView.h"

#include "news/LumeDoc.h"
#include "platform/Registry.h"
#include "platform/StringTable.h"
#include "ui/CGroupTreeBox.h"
#include "widgets/LogFontRecord.h"
#include "platform/CommandIds.h"
#include "dialogs/GroupDialogs.h"
#include "dialogs/Dialogs.h"
#include "ui/FramePane.h"
#include "widgets/SjisText.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <set>

using namespace widgets;
using namespace dialogs;

using namespace news;

namespace ui {

namespace cmd = platform::cmd;

namespace {

constexpr int kTreeStyle = CTreeListBox::TLS_EXTENDEDSEL | CTreeListBox::TLS_LINES |
                           CTreeListBox::TLS_BUTTONS; // 14
constexpr int kGroupImages = 102;
constexpr int kGroupImageCount = 15;
constexpr const char* kSection = "GroupView";
constexpr const char* kCountsKey = "bShowUnreadCount";

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

bool IsLead(char c) { return CSelListBox::IsSjisLeadByte(std::uint8_t(c)); }

// ASCII letters lowered; the second byte of a double-byte character is
// left alone, since it may look like a capital.
std::string LowerSjis(const std::string& text)
{
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsLead(out[i])) {
            ++i;
            continue;
        }
        if (out[i] >= 'A' && out[i] <= 'Z')
            out[i] = char(out[i] - 'A' + 'a');
    }
    return out;
}

// A match only where a character starts, never from the middle of one.
bool ContainsSjis(const std::string& text, const std::string& word)
{
    if (word.empty())
        return true;
    for (std::size_t i = 0; i + word.size() <= text.size(); i += IsLead(text[i]) ? 2 : 1) {
        if (text.compare(i, word.size(), word) == 0)
            return true;
    }
    return false;
}

} // namespace

CGroupView::CGroupView(CLumeDoc& doc, platform::Registry& registry, Dialogs& dialogs, PaneFrame* frame,
                       QWidget* parent)
    : QWidget(parent), doc_(doc), registry_(registry), dialogs_(dialogs), frame_(frame)
{
    setObjectName(QStringLiteral("CGroupView"));
    setMinimumSize(20, 20);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setFrameStyle(QFrame::Box | QFrame::Plain);
    title_->setAutoFillBackground(true);
    title_->setFont(JapaneseFont());
    title_->setTextFormat(Qt::PlainText);
    tree_ = new CGroupTreeBox(*this, this);
    tree_->setObjectName(QStringLiteral("ctl110"));
    tree_->Create(kTreeStyle, kGroupImages, kGroupImageCount);
    tree_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree_->setFocusPolicy(Qt::StrongFocus);
    tree_->installEventFilter(this);
    setFocusProxy(tree_);

    if (auto font = ReadFontSetting(registry_, kSection))
        tree_->SetRowFont(*font);
    showCounts_ = registry_.GetInt(kSection, kCountsKey, 1) != 0;
    ApplyColours();
    SetTitleActive(false);
    Reset();
    doc_.AddView(this);
}

CGroupView::~CGroupView()
{
    doc_.RemoveView(this);
}

bool CGroupView::Connected() const { return Doc().IsConnected(); }

bool CGroupView::HasUnread(CNewsGroup& group) const { return Doc().HasUnread(group); }

void CGroupView::Reset()
{
    title_->setText(QStringLiteral(" (no selection)"));
    children_.clear();
    tree_->DeleteAll();
    ++generation_;
    root_ = tree_->InsertChild(nullptr, TreeListItemInfo{"NetNews", 1, 0, 0, 0});
    tree_->RebuildRows();
}

// ---------------------------------------------------------------- the tree

void CGroupView::AddGroup(CNewsGroup& group)
{
    const std::string& name = group.m_strName;
    CTreeListItem* node = root_;
    std::size_t pos = 0;
    // The last non-empty component carries the group.
    std::size_t lastStart = std::string::npos;
    for (std::size_t i = 0; i <= name.size();) {
        const std::size_t dot = std::min(name.find('.', i), name.size());
        if (dot > i)
            lastStart = i;
        i = dot + 1;
    }
    if (lastStart == std::string::npos)
        return;
    while (pos <= name.size()) {
        const std::size_t dot = std::min(name.find('.', pos), name.size());
        if (dot > pos) {
            std::string part = name.substr(pos, dot - pos);
            const bool last = pos == lastStart;
            auto key = std::make_pair(static_cast<const CTreeListItem*>(node), part);
            auto it = children_.find(key);
            if (it == children_.end()) {
                TreeListItemInfo info{part, 1, 0, 0, last ? reinterpret_cast<std::uintptr_t>(&group) : 0};
                CTreeListItem* child = tree_->InsertChild(node, info);
                children_.emplace(std::move(key), child);
                node = child;
            } else {
                node = it->second;
                if (last)
                    node->data_ = reinterpret_cast<std::uintptr_t>(&group);
            }
        }
        pos = dot + 1;
    }
}

void CGroupView::BuildTree(bool announce)
{
    // The same nodes stay selected, found by name: row numbers shift when a
    // show mode adds or hides groups.
    std::set<std::string> selectedPaths;
    for (int row : tree_->GetSelItems())
        selectedPaths.insert(FullPath(tree_->NodeOfRow(row)));
    const std::vector<int> selected = tree_->GetSelItems();
    const int top = tree_->GetTopIndex();
    {
        WaitCursor wait;
        tree_->SetRedraw(false);
        children_.clear();
        tree_->DeleteAll();
        ++generation_;
        root_ = tree_->InsertChild(nullptr, TreeListItemInfo{"NetNews", 1, 0, 0, 0});
        CLumeDoc& doc = Doc();
        if (doc.IsConnected()) {
            const bool showAll = doc.Config().bShowAllGroup;
            const bool unreadOnly = doc.Config().bShowUnreadGroup;
            doc.Groups().ForEach([&](CNewsGroup& group) {
                group.m_bHasUnread = doc.HasUnread(group);
                if (showAll)
                    AddGroup(group);
                if (group.m_bSubscribed && !(unreadOnly && !group.m_bHasUnread))
                    AddGroup(group);
            });
        }
        children_.clear();
        tree_->RebuildRows();
        const int count = tree_->GetCount();
        int first = -1;
        for (int row = 0; row < count && !selectedPaths.empty(); ++row) {
            if (selectedPaths.count(FullPath(tree_->NodeOfRow(row)))) {
                tree_->SetRowSel(row, true);
                if (first < 0)
                    first = row;
            }
        }
        if (first >= 0) {
            tree_->SetCaretIndex(first, false);
            tree_->SetTopIndex(std::min(top, count - 1));
            if (first != selected.front())
                tree_->ScrollToRow(first, false);
        } else {
            tree_->SetCaretIndex(0, false);
            tree_->SetRowSel(0, true);
        }
        tree_->SetRedraw(true);
        UpdateTitle();
    }
    if (announce)
        Doc().UpdateAllViews(nullptr, Hint::Group);
}

std::string CGroupView::FullPath(const CTreeListItem* node) const
{
    std::vector<const std::string*> parts;
    for (const CTreeListItem* n = node; n && n != root_; n = tree_->GetParent(n))
        parts.push_back(&n->text_);
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!path.empty())
            path += '.';
        path += **it;
    }
    return path;
}

void CGroupView::UpdateTitle()
{
    if (tree_->GetSelCount() != 1) {
        title_->setText(QString());
        return;
    }
    const std::vector<int> rows = tree_->GetSelItems();
    title_->setText(u' ' + FromSjis(FullPath(tree_->NodeOfRow(rows.front()))));
}

CTreeListItem* CGroupView::SingleSelectedNode() const
{
    if (tree_->GetSelCount() != 1)
        return nullptr;
    return tree_->NodeOfRow(tree_->GetSelItems().front());
}

bool CGroupView::OpenSelectedGroup()
{
    CNewsGroup* group = CGroupTreeBox::GroupOf(SingleSelectedNode());
    if (!group)
        return false;
    CLumeDoc& doc = Doc();
    if (doc.GetCurrentGroup() == group)
        return true;
    doc.SetCurrentGroup(group);
    // Refused while the connection is busy: then nothing changed.
    if (doc.GetCurrentGroup() == group)
        Doc().UpdateAllViews(nullptr, Hint::Group);
    return true;
}

// ---------------------------------------------------------------- hints

void CGroupView::OnUpdate(DocumentView*, Hint hint)
{
    if (hint == Hint::None) {
        // A new or opened document.
        Reset();
        return;
    }
    if (HasHint(hint, Hint::NextUnreadGroup | Hint::PrevUnreadGroup)) {
        MoveToUnreadGroup(HasHint(hint, Hint::NextUnreadGroup));
        return;
    }
    if (HasHint(hint, Hint::ReadMarks))
        tree_->viewport()->update();
    if (HasHint(hint, Hint::Article)) {
        const std::vector<int> rows = tree_->GetSelItems();
        if (!rows.empty())
            tree_->InvalidateRow(rows.front());
    }
    // A show mode or a subscription alone changes no article: the list
    // pane must not reload (and so move on and mark read).
    if (HasHint(hint, Hint::GroupTree))
        BuildTree(hint != Hint::GroupTree);
}

void CGroupView::MoveToUnreadGroup(bool forward)
{
    CLumeDoc& doc = Doc();
    if (!doc.IsConnected() || doc.IsBusy())
        return;
    const std::vector<int> selected = tree_->GetSelItems();
    const int count = tree_->GetCount();
    int row;
    if (forward) {
        row = selected.empty() ? 0 : selected.front() + 1;
    } else {
        if (selected.empty() || selected.front() == 0)
            return;
        row = selected.front() - 1;
    }
    // The nodes to probe, in order: rows may move while the server answers.
    std::vector<CTreeListItem*> candidates;
    for (int r = row; r >= 0 && r < count; r += forward ? 1 : -1) {
        CTreeListItem* node = tree_->NodeOfRow(r);
        if (CGroupTreeBox::GroupOf(node))
            candidates.push_back(node);
    }
    QPointer<CGroupView> self(this);
    const unsigned generation = generation_;
    bool probed = false;
    CTreeListItem* found = nullptr;
    for (CTreeListItem* node : candidates) {
        CNewsGroup* group = CGroupTreeBox::GroupOf(node);
        int first = 0, last = 0;
        bool hasUnread = false;
        probed = true;
        const bool ok = doc.OpenGroup(*group, first, last, hasUnread);
        if (!self || generation != generation_)
            return;
        if (!ok)
            break;
        if (hasUnread) {
            found = node;
            break;
        }
    }
    const int foundRow = found ? tree_->RowOfNode(found) : -1;
    CNewsGroup* target = CGroupTreeBox::GroupOf(found);
    if (foundRow >= 0)
        doc.SetCurrentGroup(target);
    if (foundRow >= 0 && doc.GetCurrentGroup() == target) {
        tree_->SetSel(-1, false);
        tree_->SetCaretIndex(foundRow, false);
        tree_->SetRowSel(foundRow, true);
        tree_->ScrollToRow(foundRow, true);
        Doc().UpdateAllViews(nullptr, Hint::GroupMoved);
        return;
    }
    // The server is left in the last group probed: select the one the user
    // sees again, or the next article fetch reads another group.
    if (probed) {
        if (CNewsGroup* current = doc.GetCurrentGroup()) {
            int first = 0, last = 0;
            bool hasUnread = false;
            doc.OpenGroup(*current, first, last, hasUnread);
        }
    }
}

// ---------------------------------------------------------------- commands

bool CGroupView::OnUpdateCommand(CmdUI& state)
{
    const bool connected = Connected();
    const int selected = tree_->GetSelCount();
    switch (state.id) {
    case cmd::Unsubscribe:
    case cmd::Subscribe:
        state.Enable(connected && selected > 0);
        return true;
    case cmd::ShowUnreadGroups:
        state.Enable(!Doc().Config().bShowAllGroup);
        state.SetCheck(Doc().Config().bShowUnreadGroup);
        return true;
    case cmd::ShowAllGroups:
        state.SetCheck(Doc().Config().bShowAllGroup);
        return true;
    case cmd::ShowUnreadCounts:
        state.SetCheck(showCounts_);
        return true;
    case cmd::ExpandOne:
    case cmd::ExpandAll:
    case cmd::Collapse:
        state.Enable(connected && selected == 1);
        return true;
    case cmd::CollapseAll:
    case cmd::ListFont:
    case cmd::NextPane:
    case cmd::PrevPane:
        return true;
    case cmd::Find:
    case cmd::FindNext:
    case cmd::FindPrev:
        state.Enable(connected);
        return true;
    default:
        return false;
    }
}

bool CGroupView::OnCommand(unsigned id)
{
    switch (id) {
    case cmd::Unsubscribe:
        Subscribe(false);
        return true;
    case cmd::Subscribe:
        Subscribe(true);
        return true;
    case cmd::ShowUnreadGroups:
        Doc().Config().bShowUnreadGroup = !Doc().Config().bShowUnreadGroup;
        doc_.UpdateAllViews(nullptr, Hint::GroupTree);
        return true;
    case cmd::ShowAllGroups:
        Doc().Config().bShowAllGroup = !Doc().Config().bShowAllGroup;
        doc_.UpdateAllViews(nullptr, Hint::GroupTree);
        return true;
    case cmd::ShowUnreadCounts:
        showCounts_ = !showCounts_;
        registry_.WriteInt(kSection, kCountsKey, showCounts_ ? 1 : 0);
        tree_->viewport()->update();
        return true;
    case cmd::ExpandOne:
        ExpandOneLevel();
        return true;
    case cmd::ExpandAll:
        ExpandAllBelow();
        return true;
    case cmd::Collapse:
        CollapseBelow();
        return true;
    case cmd::CollapseAll:
        CollapseLevel();
        return true;
    case cmd::Find:
        FindDialog();
        return true;
    case cmd::FindNext:
        Find(true);
        return true;
    case cmd::FindPrev:
        Find(false);
        return true;
    case cmd::ListFont:
        ChooseFont();
        return true;
    case cmd::NextPane:
    case cmd::PrevPane:
        if (frame_)
            frame_->ActivatePane(id == cmd::NextPane ? PaneFrame::ArticlePane : PaneFrame::BodyPane);
        return true;
    default:
        return false;
    }
}

void CGroupView::Subscribe(bool subscribe)
{
    const std::vector<int> rows = tree_->GetSelItems();
    if (rows.empty())
        return;
    int mode = 0; // radio value + 2 once "all following" was chosen
    bool changed = false;
    auto set = [&](CTreeListItem* node) {
        if (CNewsGroup* group = CGroupTreeBox::GroupOf(node)) {
            group->m_bSubscribed = subscribe;
            changed = true;
        }
    };
    for (int row : rows) {
        CTreeListItem* node = tree_->NodeOfRow(row);
        if (!node)
            continue;
        if (!node->HasChildren()) {
            set(node);
            continue;
        }
        int choice = 1;
        if (mode >= 2) {
            choice = mode - 2;
        } else {
            const QString path = FromSjis(FullPath(node));
            const int result = dialogs_.AskSubscribe(this, !subscribe, path, choice);
            if (result == QDialog::Rejected)
                continue;
            if (result == GroupSubscribeDialog::kAllFollowing)
                mode = choice + 2;
        }
        set(node);
        if (choice == 1) {
            const int depth = tree_->Depth(node);
            for (CTreeListItem* n = tree_->NextInPreOrder(node); n && tree_->Depth(n) > depth;
                 n = tree_->NextInPreOrder(n))
                set(n);
        }
    }
    tree_->SetSel(-1, false);
    tree_->SetRowSel(rows.front(), true);
    if (!changed)
        return;
    if (!subscribe && !Doc().Config().bShowAllGroup)
        doc_.UpdateAllViews(nullptr, Hint::GroupTree);
    else
        tree_->viewport()->update();
}

void CGroupView::ExpandOneLevel()
{
    CTreeListItem* node = SingleSelectedNode();
    if (!node || !node->HasChildren() || node->IsExpanded())
        return;
    {
        WaitCursor wait;
        tree_->SetRedraw(false);
        for (CTreeListItem* child = node->FirstChild(); child; child = child->NextSibling()) {
            if (child->HasChildren())
                child->state_ &= ~CTreeListItem::Expanded;
        }
        tree_->SetRedraw(true);
    }
    tree_->ExpandInPlace(node);
    tree_->viewport()->update();
}

void CGroupView::ExpandAllBelow()
{
    CTreeListItem* node = SingleSelectedNode();
    if (!node || !node->HasChildren())
        return;
    tree_->ExpandInPlace(node);
    WaitCursor wait;
    const int depth = tree_->Depth(node);
    for (int row = tree_->RowOfNode(node) + 1; row < tree_->GetCount(); ++row) {
        CTreeListItem* n = tree_->NodeOfRow(row);
        if (!n || tree_->Depth(n) <= depth)
            break;
        if (n->HasChildren() && !n->IsExpanded())
            tree_->ExpandInPlace(n);
    }
    tree_->viewport()->update();
}

void CGroupView::CollapseBelow()
{
    CTreeListItem* node = SingleSelectedNode();
    if (node && node->HasChildren() && node->IsExpanded())
        tree_->CollapseInPlace(node, true);
}

void CGroupView::CollapseLevel()
{
    CTreeListItem* node = SingleSelectedNode();
    if (!node)
        return;
    const int depth = tree_->Depth(node);
    {
        WaitCursor wait;
        tree_->SetRedraw(false);
        for (int row = 0; row < tree_->GetCount(); ++row) {
            CTreeListItem* n = tree_->NodeOfRow(row);
            if (n && tree_->Depth(n) == depth)
                n->state_ &= ~CTreeListItem::Expanded;
        }
        tree_->SetRedraw(true);
        tree_->RebuildRows();
    }
    // The node keeps its row (only deeper rows went): select it again.
    const int row = tree_->RowOfNode(node);
    tree_->SetSel(-1, false);
    tree_->SetCaretIndex(row, false);
    tree_->SetRowSel(row, true);
    tree_->ScrollToRow(row, true);
    tree_->viewport()->update();
}

void CGroupView::FindDialog()
{
    if (!Connected())
        return;
    QString text = FromSjis(search_);
    const int button = dialogs_.AskGroupFind(this, text);
    if (button != GroupFindDialog::kUp && button != GroupFindDialog::kDown)
        return;
    if (text.isEmpty())
        return;
    search_ = LowerSjis(ToSjis(text));
    Find(button == GroupFindDialog::kDown);
}

void CGroupView::Find(bool down)
{
    if (search_.empty()) {
        QTimer::singleShot(0, this, [this] { FindDialog(); });
        return;
    }
    const std::vector<int> rows = tree_->GetSelItems();
    CTreeListItem* node = tree_->NodeOfRow(rows.empty() ? 0 : rows.front());
    if (!node) {
        QApplication::beep();
        return;
    }
    for (node = down ? tree_->NextInPreOrder(node) : tree_->PrevInPreOrder(node); node;
         node = down ? tree_->NextInPreOrder(node) : tree_->PrevInPreOrder(node)) {
        const CNewsGroup* group = CGroupTreeBox::GroupOf(node);
        if (ContainsSjis(LowerSjis(group ? group->m_strName : node->text_), search_))
            break;
    }
    if (!node) {
        QApplication::beep();
        return;
    }
    tree_->SetSel(-1, false);
    // Innermost first, so that the outermost expansion brings every row in.
    for (CTreeListItem* a = tree_->GetParent(node); a; a = tree_->GetParent(a)) {
        if (!a->IsExpanded())
            tree_->ExpandInPlace(a);
    }
    const int row = tree_->RowOfNode(node);
    tree_->SetCaretIndex(row, false);
    tree_->SetRowSel(row, true);
    tree_->ScrollToRow(row, true);
    tree_->viewport()->update();
}

void CGroupView::ChooseFont()
{
    const std::optional<QFont> font = dialogs_.AskFont(this, tree_->RowFont(), QStringLiteral("フォント"), false);
    if (!font)
        return;
    WriteFontSetting(registry_, kSection, *font);
    tree_->SetRowFont(*font);
}

// ---------------------------------------------------------------- menu

QMenu* CGroupView::MakeContextMenu()
{
    // The frame's command router decides states and carries commands out, as
    // for the menu bar; without a frame the pane answers itself.
    CommandRouter* router = nullptr;
    if (frame_) {
        for (int i = 0; QMenu* menu = frame_->Menu(i); ++i) {
            for (QAction* action : menu->actions()) {
                if (action->data().toUInt() == cmd::Subscribe)
                    router = qobject_cast<CommandRouter*>(action->parent());
            }
        }
    }
    auto* menu = new QMenu(this);
    menu->setFont(JapaneseFont());
    static const unsigned items[] = {cmd::Unsubscribe, cmd::Subscribe,     0, cmd::ShowUnreadGroups,
                                     cmd::ShowAllGroups, 0,                 cmd::ExpandOne,
                                     cmd::ExpandAll,   cmd::Collapse};
    QPointer<CGroupView> self(this);
    for (unsigned id : items) {
        if (!id) {
            menu->addSeparator();
            continue;
        }
        std::string text = platform::LoadString(id);
        if (const auto lf = text.find('\n'); lf != std::string::npos)
            text.erase(0, lf + 1);
        QAction* action = menu->addAction(FromSjis(text));
        action->setData(id);
        CmdUI state;
        state.id = id;
        if (router) {
            state = router->Query(id);
        } else if (!OnUpdateCommand(state)) {
            state.enabled = false;
        }
        action->setEnabled(state.enabled);
        action->setCheckable(state.checkable);
        action->setChecked(state.checked);
        QPointer<CommandRouter> r(router);
        connect(action, &QAction::triggered, this, [self, r, id, router] {
            if (router) {
                if (r)
                    r->Execute(id);
            } else if (self) {
                self->OnCommand(id);
            }
        });
    }
    return menu;
}

void CGroupView::ShowContextMenu(const QPoint& globalPos)
{
    QMenu* menu = MakeContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Right-aligned to the cursor.
    menu->popup(globalPos - QPoint(menu->sizeHint().width(), 0));
}

// ---------------------------------------------------------------- looks

void CGroupView::ApplyColours()
{
    const QPalette p = QApplication::palette();
    tree_->SetColours(p.color(QPalette::Text), p.color(QPalette::Base),
                      p.color(QPalette::HighlightedText), p.color(QPalette::Highlight));
}

void CGroupView::SetTitleActive(bool active)
{
    const QPalette app = QApplication::palette();
    QPalette p = title_->palette();
    if (active) {
        p.setColor(QPalette::Window, app.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::WindowText, app.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        p.setColor(QPalette::Window, app.color(QPalette::Mid));
        p.setColor(QPalette::WindowText, app.color(QPalette::WindowText));
    }
    title_->setPalette(p);
    title_->update();
}

void CGroupView::paintEvent(QPaintEvent* event)
{
    ApplyColours();
    QWidget::paintEvent(event);
}

void CGroupView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        ApplyColours();
    QWidget::changeEvent(event);
}

bool CGroupView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tree_) {
        if (event->type() == QEvent::FocusIn)
            SetTitleActive(true);
        else if (event->type() == QEvent::FocusOut)
            SetTitleActive(false);
    }
    return QWidget::eventFilter(watched, event);
}

void CGroupView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int h = QFontMetrics(title_->font()).height() + 2;
    // The title's border lies outside the pane.
    title_->setGeometry(-1, -1, width() + 2, h + 1);
    tree_->setGeometry(0, h, width(), std::max(0, height() - h));
}

} // namespace ui
