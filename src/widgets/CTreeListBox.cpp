#include "widgets/CTreeListBox.h"

#include "widgets/SjisText.h"
#include "widgets/TreeListImages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace widgets {

namespace {

QFont DefaultRowFont()
{
    return widgets::JapaneseFont();
}

} // namespace

CTreeListBox::CTreeListBox(QWidget* parent)
    : CSelListBox(parent)
    , font_(DefaultRowFont())
{
    const QPalette& pal = palette();
    textColor_ = pal.color(QPalette::Text);
    backColor_ = pal.color(QPalette::Base);
    selTextColor_ = pal.color(QPalette::HighlightedText);
    selBackColor_ = pal.color(QPalette::Highlight);
    selTextNoFocusColor_ = pal.color(QPalette::ButtonText);
    selBackNoFocusColor_ = pal.color(QPalette::Button);
    UpdateRowHeight();
}

CTreeListBox::~CTreeListBox()
{
    FreeChain(firstRoot_);
}

bool CTreeListBox::Create(int treeStyle, int bitmapId, int imageCount)
{
    bitmapId_ = bitmapId;
    return Create(treeStyle, LoadTreeListImages(bitmapId, imageCount), imageCount);
}

bool CTreeListBox::Create(int treeStyle, const QPixmap& strip, int imageCount)
{
    treeStyle_ = treeStyle;
    strip_ = strip;
    imageCount_ = std::max(imageCount, 0);
    if (!strip.isNull() && imageCount_ > 0) {
        imageWidth_ = strip.width();
        imageHeight_ = strip.height() / imageCount_;
    }
    SetExtendedSel((treeStyle & TLS_EXTENDEDSEL) != 0);
    UpdateRowHeight();
    return true;
}

void CTreeListBox::SetColumnCount(int count)
{
    columnWidths_.assign(std::size_t(std::max(count, 0)), 10);
    viewport()->update();
}

void CTreeListBox::SetColumnWidth(int index, int width)
{
    if (index < 0 || index >= ColumnCount())
        return;
    columnWidths_[std::size_t(index)] = width;
    viewport()->update();
}

int CTreeListBox::ColumnWidth(int index) const
{
    return index >= 0 && index < ColumnCount() ? columnWidths_[std::size_t(index)] : 0;
}

void CTreeListBox::SetColours(QColor text, QColor back, QColor selText, QColor selBack)
{
    // The panes call this from their paint: repainting for the same colours
    // would paint again without end.
    if (text == textColor_ && back == backColor_ && selText == selTextColor_ && selBack == selBackColor_)
        return;
    textColor_ = text;
    backColor_ = back;
    selTextColor_ = selText;
    selBackColor_ = selBack;
    viewport()->update();
}

bool CTreeListBox::SetRowFont(const QFont& font)
{
    if (font.pointSizeF() <= 0 && font.pixelSize() <= 0)
        return false;
    font_ = font;
    UpdateRowHeight();
    viewport()->update();
    return true;
}

void CTreeListBox::UpdateRowHeight()
{
    textHeight_ = QFontMetrics(font_).height();
    SetItemHeight(std::max(textHeight_, imageHeight_) + 2);
}

// ---------------------------------------------------------------- tree links

CTreeListItem* CTreeListBox::MakeNode(const TreeListItemInfo& info) const
{
    auto* node = new CTreeListItem;
    node->text_ = info.text;
    node->state_ = info.expanded ? CTreeListItem::Expanded : 0;
    node->selImage_ = info.selectedImage;
    node->image_ = info.image;
    node->data_ = info.userValue;
    node->expandedImage_ = -1;
    return node;
}

void CTreeListBox::LinkBetween(CTreeListItem* owner, CTreeListItem* prev, CTreeListItem* next,
                               CTreeListItem* node, bool keepIndex)
{
    node->owner_ = owner;
    node->prev_ = prev;
    node->next_ = next;
    node->parent_ = nullptr;
    if (prev) {
        prev->next_ = node;
    } else {
        // The new first sibling takes over the parent link.
        FirstOf(owner) = node;
        node->parent_ = owner;
        if (next)
            next->parent_ = nullptr;
    }
    if (next)
        next->prev_ = node;
    else
        LastOf(owner) = node;
    ++CountOf(owner);
    if (!keepIndex)
        IndexOf(owner).reset();
}

void CTreeListBox::LinkSorted(CTreeListItem* owner, CTreeListItem* node)
{
    node->parent_ = node->prev_ = node->next_ = nullptr;
    CTreeListItem* first = FirstOf(owner);
    if (!first) {
        LinkBetween(owner, nullptr, nullptr, node);
        return;
    }
    CTreeListItem* last = LastOf(owner);
    int n = CountOf(owner);
    std::unique_ptr<SiblingIndex>& index = IndexOf(owner);
    if (CompareNodes(last, node) <= 0) {
        LinkBetween(owner, last, nullptr, node, true);
        if (index)
            index->Insert(index->Size(), node);
        return;
    }
    if (CompareNodes(first, node) >= 0) {
        LinkBetween(owner, nullptr, first, node, true);
        if (index)
            index->Insert(0, node);
        return;
    }
    if (n < 32 && !index) {
        CTreeListItem* lo = first;
        CTreeListItem* hi = last;
        while (n > 2) {
            const int half = n / 2;
            CTreeListItem* mid = lo;
            for (int i = 0; i < half; ++i)
                mid = mid->next_;
            if (CompareNodes(mid, node) >= 0) {
                hi = mid;
                n = half + 1;
            } else {
                lo = mid;
                n -= half;
            }
        }
        // n == 2: lo and hi are neighbours.
        LinkBetween(owner, lo, hi, node);
        return;
    }
    // The same search on an index of the chain, so that a long chain is not
    // walked for every insertion.
    if (!index || index->Size() != std::size_t(n)) {
        std::vector<CTreeListItem*> chain;
        chain.reserve(std::size_t(n));
        for (CTreeListItem* c = first; c; c = c->next_)
            chain.push_back(c);
        index = std::make_unique<SiblingIndex>(chain);
    }
    std::size_t lo = 0;
    while (n > 2) {
        const int half = n / 2;
        if (CompareNodes(index->At(lo + std::size_t(half)), node) >= 0) {
            n = half + 1;
        } else {
            lo += std::size_t(half);
            n -= half;
        }
    }
    LinkBetween(owner, index->At(lo), index->At(lo + 1), node, true);
    index->Insert(lo + 1, node);
}

CTreeListItem* CTreeListBox::InsertChild(CTreeListItem* parent, const TreeListItemInfo& info)
{
    CTreeListItem* node = MakeNode(info);
    const bool inOrder = (treeStyle_ & TLS_INSERTORDER) != 0;
    if (!parent) {
        if (inOrder)
            LinkBetween(nullptr, firstRoot_, firstRoot_ ? firstRoot_->next_ : nullptr, node);
        else
            LinkSorted(nullptr, node);
    } else if (!parent->child_) {
        LinkBetween(parent, nullptr, nullptr, node);
    } else if (inOrder) {
        LinkBetween(parent, parent->lastChild_, nullptr, node);
    } else {
        LinkSorted(parent, node);
    }
    return node;
}

CTreeListItem* CTreeListBox::InsertSibling(CTreeListItem* node, const TreeListItemInfo& info)
{
    CTreeListItem* made = MakeNode(info);
    LinkSorted(node ? node->owner_ : nullptr, made);
    return made;
}

CTreeListItem* CTreeListBox::Unlink(CTreeListItem* node)
{
    if (!node)
        return nullptr;
    CTreeListItem* owner = node->owner_;
    if (!node->prev_ && FirstOf(owner) != node)
        return node; // not linked into this tree
    CTreeListItem* prev = node->prev_;
    CTreeListItem* next = node->next_;
    if (!prev) {
        FirstOf(owner) = next;
        if (next)
            next->parent_ = owner;
    } else {
        prev->next_ = next;
    }
    if (next)
        next->prev_ = prev;
    else
        LastOf(owner) = prev;
    --CountOf(owner);
    if (std::unique_ptr<SiblingIndex>& index = IndexOf(owner)) {
        if (!index->Erase(node, [&](const CTreeListItem* c) { return CompareNodes(c, node); }))
            index.reset();
    }
    node->parent_ = node->prev_ = node->next_ = nullptr;
    node->owner_ = nullptr;
    return node;
}

CTreeListItem* CTreeListBox::Move(CTreeListItem* newParent, CTreeListItem* node)
{
    if (!node)
        return nullptr;
    // Moving a node below itself would make the tree a loop.
    for (const CTreeListItem* a = newParent; a; a = a->owner_)
        if (a == node)
            return nullptr;
    Unlink(node);
    if (!newParent || newParent->child_)
        LinkSorted(newParent, node);
    else
        LinkBetween(newParent, nullptr, nullptr, node);
    return node;
}

void CTreeListBox::FreeChain(CTreeListItem* first)
{
    std::vector<CTreeListItem*> stack;
    for (CTreeListItem* n = first; n; n = n->next_)
        stack.push_back(n);
    while (!stack.empty()) {
        CTreeListItem* n = stack.back();
        stack.pop_back();
        for (CTreeListItem* c = n->child_; c; c = c->next_)
            stack.push_back(c);
        delete n;
    }
}

void CTreeListBox::DeleteSubtree(CTreeListItem* node, bool removeRows)
{
    if (!node)
        return;
    const int row = RowOfNode(node);
    if (row >= 0) {
        const int deeper = CountDeeperRowsAfter(row, Depth(node));
        if (removeRows) {
            DeleteRows(row, deeper + 1);
        } else {
            // The rows stay until the caller rebuilds them, but must not
            // point at freed nodes meanwhile.
            for (int i = row; i <= row + deeper; ++i)
                SetItemData(i, 0);
        }
    }
    Unlink(node);
    CTreeListItem* child = node->child_;
    node->child_ = nullptr;
    FreeChain(child);
    delete node;
}

void CTreeListBox::DeleteAll()
{
    ResetContent();
    FreeChain(firstRoot_);
    rootIndex_.reset();
    firstRoot_ = lastRoot_ = nullptr;
    roots_ = 0;
}

// ---------------------------------------------------------------- walks

CTreeListItem* CTreeListBox::GetFirstSibling(CTreeListItem* node) const
{
    if (!node)
        return nullptr;
    while (node->prev_)
        node = node->prev_;
    return node;
}

CTreeListItem* CTreeListBox::GetParent(const CTreeListItem* node) const
{
    // Same answer as the parent link of the first sibling, without the walk.
    return node ? node->owner_ : nullptr;
}

int CTreeListBox::Depth(const CTreeListItem* node) const
{
    int depth = 0;
    for (const CTreeListItem* a = node ? node->owner_ : nullptr; a; a = a->owner_)
        ++depth;
    return depth;
}

CTreeListItem* CTreeListBox::NextInPreOrder(const CTreeListItem* node) const
{
    if (!node)
        return nullptr;
    if (node->child_)
        return node->child_;
    for (const CTreeListItem* n = node; n; n = n->owner_)
        if (n->next_)
            return n->next_;
    return nullptr;
}

CTreeListItem* CTreeListBox::PrevInPreOrder(const CTreeListItem* node) const
{
    if (!node)
        return nullptr;
    if (!node->prev_)
        return node->owner_;
    CTreeListItem* n = node->prev_;
    while (n->child_)
        n = n->lastChild_;
    return n;
}

CTreeListItem* CTreeListBox::NodeOfRow(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return reinterpret_cast<CTreeListItem*>(GetItemData(index));
}

int CTreeListBox::RowOfNode(const CTreeListItem* node) const
{
    if (!node)
        return -1;
    const auto want = reinterpret_cast<std::uintptr_t>(node);
    for (int i = 0; i < GetCount(); ++i)
        if (GetItemData(i) == want)
            return i;
    return -1;
}

// ---------------------------------------------------------------- rows

void CTreeListBox::AppendVisibleRows(const CTreeListItem* first, std::vector<NewRow>& out) const
{
    // Iterative pre-order over expanded nodes.
    std::vector<const CTreeListItem*> stack;
    const CTreeListItem* n = first;
    while (n) {
        out.push_back(NewRow{n->text_, reinterpret_cast<std::uintptr_t>(n)});
        if (n->child_ && n->IsExpanded()) {
            if (n->next_)
                stack.push_back(n->next_);
            n = n->child_;
        } else if (n->next_) {
            n = n->next_;
        } else if (!stack.empty()) {
            n = stack.back();
            stack.pop_back();
        } else {
            n = nullptr;
        }
    }
}

void CTreeListBox::RebuildRows()
{
    ResetContent();
    std::vector<NewRow> rows;
    AppendVisibleRows(firstRoot_, rows);
    InsertRows(0, std::move(rows));
}

void CTreeListBox::ExpandInPlace(CTreeListItem* node)
{
    if (!node || node->IsExpanded())
        return;
    node->state_ = CTreeListItem::Expanded;
    const int row = RowOfNode(node);
    if (row < 0 || !node->child_)
        return;
    std::vector<NewRow> rows;
    AppendVisibleRows(node->child_, rows);
    InsertRows(row + 1, std::move(rows));
}

int CTreeListBox::CountDeeperRowsAfter(int row, int depth) const
{
    int count = 0;
    for (int i = row + 1; i < GetCount(); ++i) {
        const CTreeListItem* n = NodeOfRow(i);
        if (!n || Depth(n) <= depth)
            break;
        ++count;
    }
    return count;
}

void CTreeListBox::CollapseInPlace(CTreeListItem* node, bool updateRows)
{
    if (!node)
        return;
    if (!updateRows) {
        node->state_ = 0;
        return;
    }
    if (!node->IsExpanded())
        return;
    node->state_ = 0;
    const int row = RowOfNode(node);
    if (row < 0)
        return;
    const int count = CountDeeperRowsAfter(row, Depth(node));
    SetRedraw(false);
    DeleteRows(row + 1, count);
    InvalidateRow(row);
    SetRedraw(true);
}

bool CTreeListBox::Expand(CTreeListItem* node)
{
    if (!node || !node->child_ || node->IsExpanded())
        return false;
    node->state_ = CTreeListItem::Expanded;
    return true;
}

bool CTreeListBox::Collapse(CTreeListItem* node)
{
    if (!node || !node->child_ || !node->IsExpanded())
        return false;
    node->state_ = 0;
    return true;
}

void CTreeListBox::ScrollToRow(int index, bool centre)
{
    const int visible = GetItemHeight() > 0 ? viewport()->height() / GetItemHeight() : 0;
    if (visible < 1)
        return;
    if (centre) {
        SetTopIndex(std::max(0, index - visible / 2));
        return;
    }
    const int top = GetTopIndex();
    if (index >= top && index <= top + visible - 1)
        return;
    if (index > top)
        SetTopIndex(index - visible + 1);
    else
        SetTopIndex(index);
}

void CTreeListBox::RedrawNode(const CTreeListItem* node)
{
    if (!node)
        return;
    const auto want = reinterpret_cast<std::uintptr_t>(node);
    const int last = std::min(GetCount() - 1, GetTopIndex() + VisibleRowCount());
    for (int i = GetTopIndex(); i <= last; ++i)
        if (GetItemData(i) == want) {
            InvalidateRow(i);
            return;
        }
}

void CTreeListBox::RedrawSelection()
{
    const int last = std::min(GetCount() - 1, GetTopIndex() + VisibleRowCount());
    for (int i = GetTopIndex(); i <= last; ++i)
        if (GetSel(i))
            InvalidateRow(i);
}

// ---------------------------------------------------------------- overridables

int CTreeListBox::SetCurRow(int index)
{
    return SetCurSel(index);
}

void CTreeListBox::SetRowSel(int index, bool select)
{
    SetSel(index, select);
}

int CTreeListBox::CompareNodes(const CTreeListItem* a, const CTreeListItem* b)
{
    const int c = a->text_.compare(b->text_);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void CTreeListBox::OnSelChanged(int, CTreeListItem*) {}

void CTreeListBox::GetNodeImages(const CTreeListItem* node, int& image, int& selectedImage,
                                 int& expandedImage)
{
    image = node->image_;
    selectedImage = node->selImage_;
    expandedImage = node->expandedImage_;
}

std::string CTreeListBox::GetColumnText(const CTreeListItem* node, int column)
{
    const std::string& text = node->text_;
    std::size_t start = 0;
    for (int i = 0; i < column; ++i) {
        const std::size_t tab = text.find('\t', start);
        if (tab == std::string::npos)
            return {};
        start = tab + 1;
    }
    const std::size_t end = text.find('\t', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::size_t CTreeListBox::FitSjisPrefix(std::string_view text, int maxWidth,
                                        const std::function<int(std::string_view)>& width)
{
    if (maxWidth < 0)
        return 0;
    std::vector<std::size_t> ends; // byte offsets after each whole character
    for (std::size_t i = 0; i < text.size();) {
        const bool pair =
            IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += pair ? 2 : 1;
        ends.push_back(i);
    }
    // Largest prefix that fits; widths grow with the prefix.
    std::size_t lo = 0, hi = ends.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        if (width(text.substr(0, ends[mid - 1])) <= maxWidth)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo == 0 ? 0 : ends[lo - 1];
}

// ---------------------------------------------------------------- drawing

void CTreeListBox::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected)
{
    painter.fillRect(rect, backColor_);
    const CTreeListItem* node = NodeOfRow(index);
    if (index < 0 || !node)
        return;
    const int d = Depth(node);
    const int w = imageWidth_;
    const int h = imageHeight_;
    const int rowHeight = rect.height();
    const int left = rect.left();
    const int top = rect.top();

    int image = 0, selImage = 0, expImage = -1;
    GetNodeImages(node, image, selImage, expImage);
    int which = selected ? selImage : image;
    if (node->HasChildren() && node->IsExpanded() && expImage != -1)
        which = expImage;
    if (which >= 0 && which < imageCount_ && !strip_.isNull())
        painter.drawPixmap(QPoint(left + (d + 1) * w, top + (rowHeight - h) / 2), strip_,
                           QRect(0, which * h, w, h));

    if (GetCount() >= 2 || node->HasChildren()) {
        painter.setPen(QPen(palette().color(QPalette::Dark), 1));
        const int cx = left + d * w + w / 2;
        const int mid = top + rowHeight / 2;
        const int bottom = top + rowHeight - 1;
        if ((treeStyle_ & TLS_LINES) && (d > 0 || (treeStyle_ & TLS_ROOTLINES))) {
            if (node->prev_ || GetParent(node))
                painter.drawLine(cx, top, cx, mid);
            if (node->next_)
                painter.drawLine(cx, mid, cx, bottom);
            painter.drawLine(cx, mid, left + d * w + w - 1, mid);
        }
        if ((treeStyle_ & TLS_BUTTONS) && node->HasChildren()) {
            const int x0 = cx - 4;
            const int y0 = top + (rowHeight - 9) / 2;
            painter.fillRect(QRect(x0, y0, 9, 9), Qt::white);
            painter.setPen(QPen(QColor(100, 100, 100), 1));
            painter.drawRect(x0, y0, 8, 8);
            painter.drawLine(x0 + 2, y0 + 4, x0 + 6, y0 + 4);
            if (!node->IsExpanded())
                painter.drawLine(x0 + 4, y0 + 2, x0 + 4, y0 + 6);
            painter.setPen(QPen(palette().color(QPalette::Dark), 1));
        }
        if (treeStyle_ & TLS_LINES) {
            int level = d - 1;
            for (const CTreeListItem* a = GetParent(node); a; a = GetParent(a), --level) {
                if (a->next_ && (level > 0 || (treeStyle_ & TLS_ROOTLINES))) {
                    const int ax = left + level * w + w / 2;
                    painter.drawLine(ax, top, ax, bottom);
                }
            }
        }
    }

    const QRect textRect(QPoint(left + (d + 2) * w + 1, top), QPoint(rect.right(), rect.bottom()));
    DrawRowText(painter, textRect, selected, node);
}

void CTreeListBox::DrawRowText(QPainter& dc, const QRect& rect, bool selected,
                               const CTreeListItem* node)
{
    QColor fg = textColor_, bg = backColor_;
    if (const QColor own = RowTextColour(node); own.isValid())
        fg = own;
    if (selected) {
        const bool focused = hasFocus();
        fg = focused ? selTextColor_ : selTextNoFocusColor_;
        bg = focused ? selBackColor_ : selBackNoFocusColor_;
    }
    dc.setFont(font_);
    const QFontMetrics fm(font_);
    const int textHeight = fm.height();
    const int ty = textHeight < rect.height() ? rect.top() + (rect.height() - textHeight) / 2
                                              : rect.top();
    const int baseline = ty + fm.ascent();
    dc.setPen(fg);

    if (columnWidths_.empty()) {
        const QString text = widgets::FromSjis(GetColumnText(node, 0));
        const int tw = fm.horizontalAdvance(text);
        dc.fillRect(QRect(rect.left(), rect.top(), tw + 1, rect.height()), bg);
        dc.drawText(QPoint(rect.left(), baseline), text);
        return;
    }

    const int clientRight = viewport()->width();
    const QString dots = QStringLiteral("...");
    const int dotsWidth = fm.horizontalAdvance(dots);
    auto widthOf = [&fm](std::string_view s) { return fm.horizontalAdvance(widgets::FromSjis(s)); };
    const int n = ColumnCount();
    int start = rect.left();
    for (int i = 0; i < n; ++i) {
        const int colWidth = columnWidths_[std::size_t(i)];
        const int end = i == 0 ? colWidth : start + colWidth;
        std::string text = GetColumnText(node, i);
        if (i > 0)
            text.insert(0, 1, ' ');
        QString shown = widgets::FromSjis(text);
        if (i < n - 1 && colWidth > dotsWidth && start + fm.horizontalAdvance(shown) >= end) {
            const int space = i == 0 ? end - start : colWidth;
            const std::size_t keep = FitSjisPrefix(text, space - dotsWidth, widthOf);
            shown = widgets::FromSjis(std::string_view(text).substr(0, keep)) + dots;
        }
        dc.fillRect(QRect(start, rect.top(), std::max(0, clientRight - start), rect.height()), bg);
        dc.drawText(QPoint(start, baseline), shown);
        start = end;
    }
}

// ---------------------------------------------------------------- input

int CTreeListBox::CurrentRow() const
{
    if (!IsExtendedSel())
        return GetCurSel();
    const int caret = GetCaretIndex();
    return GetSel(caret) ? caret : -1;
}

int CTreeListBox::SingleSelectedRow() const
{
    if (!IsExtendedSel())
        return GetCurSel();
    if (GetSelCount() != 1)
        return -1;
    const std::vector<int> rows = GetSelItems();
    return rows.empty() ? -1 : rows.front();
}

void CTreeListBox::OnReflectSelChange()
{
    const int row = CurrentRow();
    OnSelChanged(row, NodeOfRow(row));
}

bool CTreeListBox::OnReflectDblClk()
{
    if (!(treeStyle_ & TLS_BUTTONS))
        return false;
    const int row = GetCurSel();
    CTreeListItem* node = NodeOfRow(row);
    if (!node || !node->HasChildren())
        return false;
    node->state_ = node->IsExpanded() ? 0 : CTreeListItem::Expanded;
    SetRedraw(false);
    RebuildRows();
    if (IsExtendedSel())
        SetRowSel(row, true);
    else
        SetCurRow(row);
    SetRedraw(true);
    viewport()->update();
    return true;
}

void CTreeListBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        const CTreeListItem* node = NodeOfRow(ItemFromPoint(pos));
        if (!node)
            return;
        const int d = Depth(node);
        if (pos.x() <= d * imageWidth_)
            return;
        if (pos.x() < (d + 1) * imageWidth_ && node->HasChildren()
            && (treeStyle_ & TLS_BUTTONS)) {
            const bool open = node->IsExpanded();
            QCoreApplication::postEvent(
                this, new QKeyEvent(QEvent::KeyPress, open ? Qt::Key_Minus : Qt::Key_Plus,
                                    Qt::NoModifier, open ? QStringLiteral("-") : QStringLiteral("+")));
        }
    }
    CSelListBox::mousePressEvent(event);
}

void CTreeListBox::keyPressEvent(QKeyEvent* event)
{
    if (treeStyle_ & TLS_BUTTONS) {
        const int row = SingleSelectedRow();
        const QString text = event->text();
        const bool isChar = !text.isEmpty() && text.at(0).isPrint();
        if (row >= 0) {
            CTreeListItem* node = NodeOfRow(row);
            const int key = event->key();
            const bool plus = key == Qt::Key_Right || text == QLatin1String("+");
            const bool minus = key == Qt::Key_Left || text == QLatin1String("-");
            if (node && plus && node->HasChildren() && !node->IsExpanded()) {
                ExpandInPlace(node);
                InvalidateRow(row);
                return;
            }
            if (node && minus && node->IsExpanded()) {
                CollapseInPlace(node, true);
                return;
            }
        } else if (IsExtendedSel() && isChar) {
            return;
        }
    }
    ListBoxKey(event);
}

} // namespace widgets
