#include "ui/CSelListBox.h"

#include "ui/SjisText.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdlib>

namespace ui {

CSelListBox::CSelListBox(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setFont(ui::JapaneseFont());
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
    const bool wasEmpty = m_rows.empty();
    const int n = int(rows.size());
    std::vector<Row> made;
    made.reserve(rows.size());
    for (auto& r : rows)
        made.push_back(Row{std::move(r.text), r.data, false});
    m_rows.insert(m_rows.begin() + index, std::make_move_iterator(made.begin()),
                  std::make_move_iterator(made.end()));

    auto shift = [&](int& i) {
        if (i >= index)
            i += n;
    };
    shift(m_nCurSel);
    shift(m_nCaret);
    shift(m_nAnchor);
    if (m_nPendingItem >= index)
        m_nPendingItem = -1;
    if (wasEmpty && m_nCaret < 0)
        m_nCaret = 0;

    UpdateScrollRange();
    if (index <= m_nTop + VisibleRowCount())
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
        if (m_rows[std::size_t(i)].selected)
            --m_nSelCount;
    m_rows.erase(m_rows.begin() + index, m_rows.begin() + index + count);
    const int end = index + count;
    const int remaining = GetCount();

    if (m_nCurSel >= end)
        m_nCurSel -= count;
    else if (m_nCurSel >= index)
        m_nCurSel = -1;
    if (m_nAnchor >= end)
        m_nAnchor -= count;
    else if (m_nAnchor >= index)
        m_nAnchor = -1;
    if (m_nCaret >= end)
        m_nCaret -= count;
    else if (m_nCaret >= index)
        m_nCaret = index < remaining ? index : remaining - 1;
    if (m_nPendingItem >= index)
        m_nPendingItem = -1;

    UpdateScrollRange();
    if (index <= m_nTop + VisibleRowCount())
        Invalidate();
}

void CSelListBox::ResetContent()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_nCurSel = m_nCaret = m_nAnchor = -1;
    m_nSelCount = 0;
    m_nPendingItem = -1;
    m_nTop = 0;
    UpdateScrollRange();
    Invalidate();
}

std::uintptr_t CSelListBox::GetItemData(int index) const
{
    if (index < 0 || index >= GetCount())
        return std::uintptr_t(-1);
    return m_rows[std::size_t(index)].data;
}

int CSelListBox::SetItemData(int index, std::uintptr_t data)
{
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    m_rows[std::size_t(index)].data = data;
    return 0;
}

std::string CSelListBox::GetText(int index) const
{
    if (index < 0 || index >= GetCount())
        return {};
    return m_rows[std::size_t(index)].text;
}

// ---------------------------------------------------------------- selection

void CSelListBox::SetExtendedSel(bool extended)
{
    m_bExtended = extended;
}

int CSelListBox::SetCurSel(int index)
{
    if (index == -1) {
        SetSel(-1, false);
        m_nCurSel = -1;
        return LB_ERR;
    }
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    if (m_bExtended) {
        SelectOnly(index);
        return index;
    }
    if (m_nCurSel >= 0 && m_nCurSel != index) {
        m_rows[std::size_t(m_nCurSel)].selected = false;
        --m_nSelCount;
        InvalidateRow(m_nCurSel);
    }
    if (!m_rows[std::size_t(index)].selected) {
        m_rows[std::size_t(index)].selected = true;
        ++m_nSelCount;
    }
    m_nCurSel = index;
    InvalidateRow(index);
    SetCaretIndex(index, true);
    return index;
}

bool CSelListBox::GetSel(int index) const
{
    return index >= 0 && index < GetCount() && m_rows[std::size_t(index)].selected;
}

int CSelListBox::SetSel(int index, bool select)
{
    if (index == -1) {
        if (select && !m_bExtended)
            return LB_ERR;
        if (!select && m_nSelCount == 0)
            return 0;
        for (int i = 0; i < GetCount(); ++i) {
            Row& r = m_rows[std::size_t(i)];
            if (r.selected != select) {
                r.selected = select;
                InvalidateRow(i);
            }
        }
        m_nSelCount = select ? GetCount() : 0;
        if (!m_bExtended && !select)
            m_nCurSel = -1;
        return 0;
    }
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    if (!m_bExtended) {
        if (select)
            SetCurSel(index);
        else if (m_nCurSel == index)
            SetSel(-1, false);
        return 0;
    }
    Row& r = m_rows[std::size_t(index)];
    if (r.selected != select) {
        r.selected = select;
        m_nSelCount += select ? 1 : -1;
        InvalidateRow(index);
    }
    if (select) {
        m_nAnchor = index;
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
        Row& r = m_rows[std::size_t(i)];
        if (r.selected != select) {
            r.selected = select;
            m_nSelCount += select ? 1 : -1;
            InvalidateRow(i);
        }
    }
    return 0;
}

std::vector<int> CSelListBox::GetSelItems() const
{
    std::vector<int> out;
    out.reserve(std::size_t(m_nSelCount));
    for (int i = 0; i < GetCount() && int(out.size()) < m_nSelCount; ++i)
        if (m_rows[std::size_t(i)].selected)
            out.push_back(i);
    return out;
}

int CSelListBox::SetCaretIndex(int index, bool scroll)
{
    if (index < 0 || index >= GetCount())
        return LB_ERR;
    if (m_nCaret != index) {
        InvalidateRow(m_nCaret);
        m_nCaret = index;
        InvalidateRow(index);
    }
    if (scroll) {
        const int page = std::max(1, VisibleRowCount());
        if (index < m_nTop)
            SetTopIndex(index);
        else if (index >= m_nTop + page)
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
    return m_nRowHeight > 0 ? viewport()->height() / m_nRowHeight : 0;
}

int CSelListBox::SetTopIndex(int index)
{
    if (index < 0 || (index >= GetCount() && GetCount() > 0))
        return LB_ERR;
    const int maxTop = std::max(0, GetCount() - std::max(1, VisibleRowCount()));
    index = std::min(index, maxTop);
    if (index != m_nTop) {
        const int delta = m_nTop - index;
        m_nTop = index;
        if (!m_bRedraw)
            m_bDirty = true;
        else if (std::abs(delta) < VisibleRowCount())
            viewport()->scroll(0, delta * m_nRowHeight);
        else
            viewport()->update();
    }
    QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(m_nTop);
    return 0;
}

void CSelListBox::SetItemHeight(int height)
{
    m_nRowHeight = std::max(1, height);
    UpdateScrollRange();
    Invalidate();
}

int CSelListBox::ItemFromPoint(QPoint p) const
{
    if (p.y() < 0 || m_nRowHeight <= 0)
        return -1;
    const int row = p.y() / m_nRowHeight + m_nTop;
    return row < GetCount() ? row : -1;
}

QRect CSelListBox::ItemRect(int index) const
{
    return QRect(0, (index - m_nTop) * m_nRowHeight, viewport()->width(), m_nRowHeight);
}

void CSelListBox::InvalidateRow(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    if (!m_bRedraw) {
        m_bDirty = true;
        return;
    }
    if (index < m_nTop || index > m_nTop + VisibleRowCount())
        return;
    viewport()->update(ItemRect(index));
}

void CSelListBox::Invalidate()
{
    if (m_bRedraw)
        viewport()->update();
    else
        m_bDirty = true;
}

void CSelListBox::SetRedraw(bool on)
{
    m_bRedraw = on;
    if (on && m_bDirty) {
        m_bDirty = false;
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
    if (m_nTop > maxTop) {
        m_nTop = maxTop;
        Invalidate();
    }
    bar->setValue(m_nTop);
}

void CSelListBox::scrollContentsBy(int, int dy)
{
    // Only user scrolling arrives here; SetTopIndex moves the bar silently.
    m_nTop = verticalScrollBar()->value();
    if (!m_bRedraw)
        m_bDirty = true;
    else if (std::abs(dy) < VisibleRowCount())
        viewport()->scroll(0, dy * m_nRowHeight);
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
                     ui::FromSjis(m_rows[std::size_t(index)].text));
}

void CSelListBox::paintEvent(QPaintEvent* event)
{
    if (!m_bRedraw) {
        m_bDirty = true;
        return;
    }
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, BackgroundColour());
    if (m_rows.empty() || m_nRowHeight <= 0)
        return;
    const int first = m_nTop + std::max(0, area.top()) / m_nRowHeight;
    const int last = std::min(GetCount() - 1, m_nTop + std::max(0, area.bottom()) / m_nRowHeight);
    for (int i = first; i <= last; ++i) {
        painter.save();
        DrawItem(painter, i, ItemRect(i), m_rows[std::size_t(i)].selected);
        painter.restore();
        ++m_nDrawn;
    }
}

void CSelListBox::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    for (int i = m_nTop; i <= m_nTop + VisibleRowCount() && i < GetCount(); ++i)
        if (m_rows[std::size_t(i)].selected)
            InvalidateRow(i);
}

void CSelListBox::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    for (int i = m_nTop; i <= m_nTop + VisibleRowCount() && i < GetCount(); ++i)
        if (m_rows[std::size_t(i)].selected)
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
    m_nPressedRow = -1;
    OnReflectSelChange();
    emit SelChange();
}

void CSelListBox::PostSelChange()
{
    QMetaObject::invokeMethod(this, [this] { NotifySelChange(); }, Qt::QueuedConnection);
}

void CSelListBox::NotifySelCancel()
{
    m_nPressedRow = -1;
    emit SelCancel();
}

// ---------------------------------------------------------------- mouse

void CSelListBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (m_rows.empty())
        return;
    m_nSavedTop = m_nTop;
    m_nPressHeight = m_nRowHeight;
    const int y = event->position().toPoint().y();
    if (y < 0 || y >= (GetCount() - m_nTop) * m_nRowHeight)
        return;
    const int row = y / m_nRowHeight + m_nTop;
    m_nPressedRow = row;

    const Qt::KeyboardModifiers mods = event->modifiers();
    if (!m_bExtended) {
        SetCurSel(row);
        m_bTracking = true;
        m_bSelChanged = true;
    } else if (mods & Qt::ShiftModifier) {
        m_bTracking = true;
        if (m_nAnchor < 0) {
            SetSel(-1, false);
            SetSel(row, true);
            SetCaretIndex(row);
            m_bSelChanged = true;
        } else if (row != m_nAnchor) {
            const int anchor = m_nAnchor;
            SetSel(-1, false);
            SelItemRange(true, anchor, row);
            SetCaretIndex(anchor);
            m_bSelChanged = true;
        }
    } else {
        if (GetSel(row)) {
            // Decided on release, so that a drag of the selection can start.
            m_nPendingItem = row;
        } else {
            if (!(mods & Qt::ControlModifier))
                SetSel(-1, false);
            SetSel(row, true);
            SetCaretIndex(row);
            m_bSelChanged = true;
        }
        m_bTracking = true;
    }
}

void CSelListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_bExtended && m_nPendingItem >= 0) {
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        const int item = m_nPendingItem;
        if (!ctrl)
            SetSel(-1, false);
        SetSel(item, !ctrl);
        SetCaretIndex(item);
        m_bSelChanged = true;
    }
    m_nPendingItem = -1;
    m_bTracking = false;
    if (m_bSelChanged) {
        // A press on a partly visible last row must not scroll the list.
        if (m_nSavedTop >= 0)
            SetTopIndex(m_nSavedTop);
        PostSelChange();
        m_bSelChanged = false;
    }
}

void CSelListBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton)) {
        m_ptPress = QPoint(-1, -1);
        return;
    }
    if (m_ptPress.x() < 0) {
        m_ptPress = pos;
        return;
    }
    const int dx = std::abs(pos.x() - m_ptPress.x());
    const int dy = std::abs(pos.y() - m_ptPress.y());
    if (m_bTracking && (4 * dx > m_nPressHeight || 4 * dy > m_nPressHeight)) {
        m_bTracking = false;
        OnBeginDrag(pos.x(), pos.y());
        m_nPendingItem = -1;
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
    int caret = m_bExtended ? m_nCaret : m_nCurSel;
    if (caret < 0)
        caret = m_bExtended ? -1 : m_nCaret;
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
            const std::string& text = m_rows[std::size_t(i)].text;
            if (text.empty())
                continue;
            const std::size_t len =
                (text.size() > 1 && IsSjisLeadByte(static_cast<unsigned char>(text[0]))) ? 2 : 1;
            const QString first = ui::FromSjis(std::string_view(text).substr(0, len));
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
    if (!m_bExtended) {
        if (target != m_nCurSel) {
            SetCurSel(target);
            NotifySelChange();
        } else {
            SetCaretIndex(target);
        }
        return;
    }
    if (mods & Qt::ShiftModifier) {
        if (m_nAnchor < 0)
            m_nAnchor = m_nCaret >= 0 ? m_nCaret : target;
        const int anchor = m_nAnchor;
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

} // namespace ui
