#include "widgets/CSelListBox.h"

#include "widgets/SjisText.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdlib>

namespace widgets {

CSelListBox::CSelListBox(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setFont(widgets::JapaneseFont());
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(1);
}

CSelListBox::~CSelListBox() = default;

// ---------------------------------------------------------------- rows

int CSelListBox::AddString(std::string text, std::uintptr_t data)
{
    return InsertString(-1, std::move(text), data);
}

int CSelListBox::InsertString(int index, std::string text, std::uintptr_t data)
{
    if (index < 0)
        index = GetCount();
    if (index > GetCount())
        return LB_ERR;
    std::vector<NewRow> one;
    one.push_back(NewRow{std::move(text), data});
    InsertRows(index, std::move(one));
    return index;
}

void CSelListBox::InsertRows(int index, std::vector<NewRow>&& rows)
{
    if (rows.empty() || index < 0 || index > GetCount())
        return;
    const bool wasEmpty = rows_.empty();
    const int n = int(rows.size());
    std::vector<Row> made;
    made.reserve(rows.size());
    for (auto& r : rows)
        made.push_back(Row{std::move(r.text), r.data, false});
    rows_.insert(rows_.begin() + index, std::make_move_iterator(made.begin()),
                  std::make_move_iterator(made.end()));

    auto shift = [&](int& i) {
        if (i >= index)
            i += n;
    };
    shift(curSel_);
    shift(caret_);
    shift(anchor_);
    if (pendingItem_ >= index)
        pendingItem_ = -1;
    if (wasEmpty && caret_ < 0)
        caret_ = 0;

    UpdateScrollRange();
    if (index <= top_ + VisibleRowCount())
        Invalidate();
}

int CSelListBox::DeleteString(int index)
{
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    DeleteRows(index, 1);
    return GetCount();
}

void CSelListBox::DeleteRows(int index, int count)
{
    if (index < 0 || index >= GetCount() || count <= 0)
        return;
    count = std::min(count, GetCount() - index);
    for (int i = index; i < index + count; ++i)
        if (rows_[std::size_t(i)].selected)
            --selCount_;
    rows_.erase(rows_.begin() + index, rows_.begin() + index + count);
    const int end = index + count;
    const int remaining = GetCount();

    if (curSel_ >= end)
        curSel_ -= count;
    else if (curSel_ >= index)
        curSel_ = -1;
    if (anchor_ >= end)
        anchor_ -= count;
    else if (anchor_ >= index)
        anchor_ = -1;
    if (caret_ >= end)
        caret_ -= count;
    else if (caret_ >= index)
        caret_ = index < remaining ? index : remaining - 1;
    if (pendingItem_ >= index)
        pendingItem_ = -1;

    UpdateScrollRange();
    if (index <= top_ + VisibleRowCount())
        Invalidate();
}

void CSelListBox::ResetContent()
{
    rows_.clear();
    rows_.shrink_to_fit();
    curSel_ = caret_ = anchor_ = -1;
    selCount_ = 0;
    pendingItem_ = -1;
    top_ = 0;
    UpdateScrollRange();
    Invalidate();
}

std::uintptr_t CSelListBox::GetItemData(int index) const
{
    if (index < 0 || index >= GetCount())
        return std::uintptr_t(-1);
    return rows_[std::size_t(index)].data;
}

int CSelListBox::SetItemData(int index, std::uintptr_t data)
{
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    rows_[std::size_t(index)].data = data;
    return 0;
}

std::string CSelListBox::GetText(int index) const
{
    if (index < 0 || index >= GetCount())
        return {};
    return rows_[std::size_t(index)].text;
}

// ---------------------------------------------------------------- selection

void CSelListBox::SetExtendedSel(bool extended)
{
    extended_ = extended;
}

int CSelListBox::SetCurSel(int index)
{
    if (index == -1) {
        SetSel(-1, false);
        curSel_ = -1;
        return LB_ERR;
    }
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    if (extended_) {
        SelectOnly(index);
        return index;
    }
    if (curSel_ >= 0 && curSel_ != index) {
        rows_[std::size_t(curSel_)].selected = false;
        --selCount_;
        InvalidateRow(curSel_);
    }
    if (!rows_[std::size_t(index)].selected) {
        rows_[std::size_t(index)].selected = true;
        ++selCount_;
    }
    curSel_ = index;
    InvalidateRow(index);
    SetCaretIndex(index, true);
    return index;
}

bool CSelListBox::GetSel(int index) const
{
    return index >= 0 && index < GetCount() && rows_[std::size_t(index)].selected;
}

int CSelListBox::SetSel(int index, bool select)
{
    if (index == -1) {
        if (select && !extended_)
            return LB_ERR;
        if (!select && selCount_ == 0)
            return 0;
        for (int i = 0; i < GetCount(); ++i) {
            Row& r = rows_[std::size_t(i)];
            if (r.selected != select) {
                r.selected = select;
                InvalidateRow(i);
            }
        }
        selCount_ = select ? GetCount() : 0;
        if (!extended_ && !select)
            curSel_ = -1;
        return 0;
    }
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    if (!extended_) {
        if (select)
            SetCurSel(index);
        else if (curSel_ == index)
            SetSel(-1, false);
        return 0;
    }
    Row& r = rows_[std::size_t(index)];
    if (r.selected != select) {
        r.selected = select;
        selCount_ += select ? 1 : -1;
        InvalidateRow(index);
    }
    if (select) {
        anchor_ = index;
        SetCaretIndex(index, true);
    }
    return 0;
}

int CSelListBox::SelItemRange(bool select, int first, int last)
{
    if (first > last)
        std::swap(first, last);
    first = std::max(first, 0);
    last = std::min(last, GetCount() - 1);
    for (int i = first; i <= last; ++i) {
        Row& r = rows_[std::size_t(i)];
        if (r.selected != select) {
            r.selected = select;
            selCount_ += select ? 1 : -1;
            InvalidateRow(i);
        }
    }
    return 0;
}

std::vector<int> CSelListBox::GetSelItems() const
{
    std::vector<int> out;
    out.reserve(std::size_t(selCount_));
    for (int i = 0; i < GetCount() && int(out.size()) < selCount_; ++i)
        if (rows_[std::size_t(i)].selected)
            out.push_back(i);
    return out;
}

int CSelListBox::SetCaretIndex(int index, bool scroll)
{
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    if (caret_ != index) {
        InvalidateRow(caret_);
        caret_ = index;
        InvalidateRow(index);
    }
    if (scroll) {
        const int page = std::max(1, VisibleRowCount());
        if (index < top_)
            SetTopIndex(index);
        else if (index >= top_ + page)
            SetTopIndex(index - page + 1);
    }
    return 0;
}

void CSelListBox::SelectOnly(int index)
{
    SetSel(-1, false);
    SetSel(index, true);
}

// ---------------------------------------------------------------- geometry

int CSelListBox::VisibleRowCount() const
{
    return rowHeight_ > 0 ? viewport()->height() / rowHeight_ : 0;
}

int CSelListBox::SetTopIndex(int index)
{
    if (index < 0 || (index >= GetCount() && GetCount() > 0))
        return LB_ERR;
    const int maxTop = std::max(0, GetCount() - std::max(1, VisibleRowCount()));
    index = std::min(index, maxTop);
    if (index != top_) {
        const int delta = top_ - index;
        top_ = index;
        if (!redraw_)
            dirty_ = true;
        else if (std::abs(delta) < VisibleRowCount())
            viewport()->scroll(0, delta * rowHeight_);
        else
            viewport()->update();
    }
    QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(top_);
    return 0;
}

void CSelListBox::SetItemHeight(int height)
{
    rowHeight_ = std::max(1, height);
    UpdateScrollRange();
    Invalidate();
}

int CSelListBox::ItemFromPoint(QPoint p) const
{
    if (p.y() < 0 || rowHeight_ <= 0)
        return -1;
    const int row = p.y() / rowHeight_ + top_;
    return row < GetCount() ? row : -1;
}

QRect CSelListBox::ItemRect(int index) const
{
    return QRect(0, (index - top_) * rowHeight_, viewport()->width(), rowHeight_);
}

void CSelListBox::InvalidateRow(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    if (!redraw_) {
        dirty_ = true;
        return;
    }
    if (index < top_ || index > top_ + VisibleRowCount())
        return;
    viewport()->update(ItemRect(index));
}

void CSelListBox::Invalidate()
{
    if (redraw_)
        viewport()->update();
    else
        dirty_ = true;
}

void CSelListBox::SetRedraw(bool on)
{
    redraw_ = on;
    if (on && dirty_) {
        dirty_ = false;
        viewport()->update();
    }
}

void CSelListBox::UpdateScrollRange()
{
    const int page = std::max(1, VisibleRowCount());
    const int maxTop = std::max(0, GetCount() - page);
    QScrollBar* bar = verticalScrollBar();
    QSignalBlocker block(bar);
    bar->setRange(0, maxTop);
    bar->setPageStep(page);
    if (top_ > maxTop) {
        top_ = maxTop;
        Invalidate();
    }
    bar->setValue(top_);
}

void CSelListBox::scrollContentsBy(int, int dy)
{
    // Only user scrolling arrives here; SetTopIndex moves the bar silently.
    top_ = verticalScrollBar()->value();
    if (!redraw_)
        dirty_ = true;
    else if (std::abs(dy) < VisibleRowCount())
        viewport()->scroll(0, dy * rowHeight_);
    else
        viewport()->update();
}

void CSelListBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

// ---------------------------------------------------------------- painting

QColor CSelListBox::BackgroundColour() const
{
    return palette().color(QPalette::Base);
}

void CSelListBox::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected)
{
    const QPalette& pal = palette();
    painter.fillRect(rect, selected ? pal.color(QPalette::Highlight) : BackgroundColour());
    painter.setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     widgets::FromSjis(rows_[std::size_t(index)].text));
}

void CSelListBox::paintEvent(QPaintEvent* event)
{
    if (!redraw_) {
        dirty_ = true;
        return;
    }
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, BackgroundColour());
    if (rows_.empty() || rowHeight_ <= 0)
        return;
    const int first = top_ + std::max(0, area.top()) / rowHeight_;
    const int last = std::min(GetCount() - 1, top_ + std::max(0, area.bottom()) / rowHeight_);
    for (int i = first; i <= last; ++i) {
        painter.save();
        DrawItem(painter, i, ItemRect(i), rows_[std::size_t(i)].selected);
        painter.restore();
        ++drawn_;
    }
}

void CSelListBox::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    for (int i = top_; i <= top_ + VisibleRowCount() && i < GetCount(); ++i)
        if (rows_[std::size_t(i)].selected)
            InvalidateRow(i);
}

void CSelListBox::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    for (int i = top_; i <= top_ + VisibleRowCount() && i < GetCount(); ++i)
        if (rows_[std::size_t(i)].selected)
            InvalidateRow(i);
}

// ---------------------------------------------------------------- notifications

int CSelListBox::OnBeginDrag(int, int)
{
    return 0;
}

void CSelListBox::OnReflectSelChange() {}

bool CSelListBox::OnReflectDblClk()
{
    return false;
}

void CSelListBox::NotifySelChange()
{
    pressedRow_ = -1;
    OnReflectSelChange();
    emit SelChange();
}

void CSelListBox::PostSelChange()
{
    QMetaObject::invokeMethod(this, [this] { NotifySelChange(); }, Qt::QueuedConnection);
}

void CSelListBox::NotifySelCancel()
{
    pressedRow_ = -1;
    emit SelCancel();
}

// ---------------------------------------------------------------- mouse

void CSelListBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (rows_.empty())
        return;
    savedTop_ = top_;
    pressHeight_ = rowHeight_;
    const int y = event->position().toPoint().y();
    if (y < 0 || y >= (GetCount() - top_) * rowHeight_)
        return;
    const int row = y / rowHeight_ + top_;
    pressedRow_ = row;

    const Qt::KeyboardModifiers mods = event->modifiers();
    if (!extended_) {
        SetCurSel(row);
        tracking_ = true;
        selChanged_ = true;
    } else if (mods & Qt::ShiftModifier) {
        tracking_ = true;
        if (anchor_ < 0) {
            SetSel(-1, false);
            SetSel(row, true);
            SetCaretIndex(row);
            selChanged_ = true;
        } else if (row != anchor_) {
            const int anchor = anchor_;
            SetSel(-1, false);
            SelItemRange(true, anchor, row);
            SetCaretIndex(anchor);
            selChanged_ = true;
        }
    } else {
        if (GetSel(row)) {
            // Decided on release, so that a drag of the selection can start.
            pendingItem_ = row;
        } else {
            if (!(mods & Qt::ControlModifier))
                SetSel(-1, false);
            SetSel(row, true);
            SetCaretIndex(row);
            selChanged_ = true;
        }
        tracking_ = true;
    }
}

void CSelListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (extended_ && pendingItem_ >= 0) {
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        const int item = pendingItem_;
        if (!ctrl)
            SetSel(-1, false);
        SetSel(item, !ctrl);
        SetCaretIndex(item);
        selChanged_ = true;
    }
    pendingItem_ = -1;
    tracking_ = false;
    if (selChanged_) {
        // A press on a partly visible last row must not scroll the list.
        if (savedTop_ >= 0)
            SetTopIndex(savedTop_);
        PostSelChange();
        selChanged_ = false;
    }
}

void CSelListBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton)) {
        pressPoint_ = QPoint(-1, -1);
        return;
    }
    if (pressPoint_.x() < 0) {
        pressPoint_ = pos;
        return;
    }
    const int dx = std::abs(pos.x() - pressPoint_.x());
    const int dy = std::abs(pos.y() - pressPoint_.y());
    if (tracking_ && (4 * dx > pressHeight_ || 4 * dy > pressHeight_)) {
        tracking_ = false;
        OnBeginDrag(pos.x(), pos.y());
        pendingItem_ = -1;
    }
}

void CSelListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first click of the pair has already selected the row.
    if (event->button() != Qt::LeftButton)
        return;
    if (!OnReflectDblClk())
        emit DblClk();
}

// ---------------------------------------------------------------- keyboard

void CSelListBox::keyPressEvent(QKeyEvent* event)
{
    ListBoxKey(event);
}

void CSelListBox::ListBoxKey(QKeyEvent* event)
{
    const int count = GetCount();
    if (count == 0) {
        event->ignore();
        return;
    }
    int caret = extended_ ? caret_ : curSel_;
    if (caret < 0)
        caret = extended_ ? -1 : caret_;
    const int step = std::max(1, VisibleRowCount() - 1);
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        target = caret <= 0 ? 0 : caret - 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        target = std::min(count - 1, caret + 1);
        break;
    case Qt::Key_PageUp:
        target = std::max(0, caret - step);
        break;
    case Qt::Key_PageDown:
        target = std::min(count - 1, std::max(caret, 0) + step);
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    default: {
        const QString typed = event->text();
        if (typed.isEmpty() || !typed.at(0).isPrint()) {
            event->ignore();
            return;
        }
        const QChar wanted = typed.at(0).toCaseFolded();
        for (int k = 1; k <= count; ++k) {
            const int i = (std::max(caret, -1) + k) % count;
            const std::string& text = rows_[std::size_t(i)].text;
            if (text.empty())
                continue;
            const std::size_t len =
                (text.size() > 1 && IsSjisLeadByte(static_cast<unsigned char>(text[0]))) ? 2 : 1;
            const QString first = widgets::FromSjis(std::string_view(text).substr(0, len));
            if (!first.isEmpty() && first.at(0).toCaseFolded() == wanted) {
                MoveCaretByKey(i, Qt::NoModifier);
                break;
            }
        }
        return;
    }
    }
    MoveCaretByKey(target, event->modifiers());
}

void CSelListBox::MoveCaretByKey(int target, Qt::KeyboardModifiers mods)
{
    if (!extended_) {
        if (target != curSel_) {
            SetCurSel(target);
            NotifySelChange();
        } else {
            SetCaretIndex(target);
        }
        return;
    }
    if (mods & Qt::ShiftModifier) {
        if (anchor_ < 0)
            anchor_ = caret_ >= 0 ? caret_ : target;
        const int anchor = anchor_;
        SetSel(-1, false);
        SelItemRange(true, anchor, target);
        SetCaretIndex(target);
        NotifySelChange();
    } else if (mods & Qt::ControlModifier) {
        SetCaretIndex(target);
    } else {
        SelectOnly(target);
        NotifySelChange();
    }
}

} // namespace widgets
