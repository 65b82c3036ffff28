#include "widgets/CColumnHeader.h"

#include "widgets/SjisText.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace widgets {

CColumnHeaderButton::CColumnHeaderButton(CColumnHeader* header, int column)
    : QAbstractButton(header)
    , header_(header)
    , column_(column)
{
    setObjectName(QStringLiteral("ctl%1").arg(1000 + column));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true);
    connect(this, &QAbstractButton::clicked, this, [this] { header_->ButtonClicked(column_); });
}

void CColumnHeaderButton::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = mapToParent(event->position().toPoint());
    if (event->button() == Qt::LeftButton && header_->BoundaryAt(at.x()) >= 0) {
        dragging_ = true;
        QMouseEvent forwarded(event->type(), at, event->globalPosition(), event->button(), event->buttons(),
                              event->modifiers());
        header_->mousePressEvent(&forwarded);
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void CColumnHeaderButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = mapToParent(event->position().toPoint());
    if (dragging_) {
        QMouseEvent forwarded(event->type(), at, event->globalPosition(), event->button(), event->buttons(),
                              event->modifiers());
        header_->mouseMoveEvent(&forwarded);
        return;
    }
    if (event->buttons() == Qt::NoButton)
        setCursor(header_->BoundaryAt(at.x()) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
    QAbstractButton::mouseMoveEvent(event);
}

void CColumnHeaderButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragging_) {
        dragging_ = false;
        QMouseEvent forwarded(event->type(), mapToParent(event->position().toPoint()), event->globalPosition(),
                              event->button(), event->buttons(), event->modifiers());
        header_->mouseReleaseEvent(&forwarded);
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void CColumnHeaderButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor shadow = pal.color(QPalette::Dark);
    const bool pressed = isDown() || header_->PressedColumn() == column_;
    const QRect r = rect();
    p.fillRect(r, face);

    const QPoint at = pressed ? QPoint(5, 2) : QPoint(4, 1);
    const QRect clip = r.adjusted(0, 1, 0, -1);
    p.save();
    p.setClipRect(clip);
    const QFontMetrics fm(font());
    const QString label = text();
    p.fillRect(QRect(at, QSize(fm.horizontalAdvance(label), fm.height())), face);
    p.setPen(pal.color(QPalette::ButtonText));
    p.drawText(QPoint(at.x(), at.y() + fm.ascent()), label);
    p.restore();

    const int right = r.width() - 1;
    const int bottom = r.height() - 1;
    if (pressed) {
        p.setPen(shadow);
        p.drawRect(0, 0, right, bottom);
        return;
    }
    p.setPen(Qt::white);
    p.drawLine(0, 0, right - 1, 0);
    p.drawLine(0, 0, 0, bottom - 1);
    p.setPen(shadow);
    p.drawLine(right - 1, 1, right - 1, bottom - 1);
    p.drawLine(1, bottom - 1, right - 1, bottom - 1);
    p.setPen(Qt::black);
    p.drawLine(right, 0, right, bottom);
    p.drawLine(0, bottom, right, bottom);
}

CColumnHeader::CColumnHeader(QWidget* parent)
    : QWidget(parent)
{
    setCursor(Qt::SizeHorCursor);
    setFont(widgets::JapaneseFont());
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
}

CColumnHeader::~CColumnHeader()
{
    delete tracker_;
}

bool CColumnHeader::Create(QWidget* parent, int id, int columnCount)
{
    if (columnCount < 1)
        return false;
    if (parent)
        setParent(parent);
    setObjectName(QStringLiteral("ctl%1").arg(id));
    for (auto* b : buttons_)
        delete b;
    buttons_.clear();
    widths_.assign(std::size_t(columnCount), -1);
    for (int i = 0; i < columnCount; ++i) {
        auto* b = new CColumnHeaderButton(this, i);
        b->setFont(font());
        b->show();
        buttons_.push_back(b);
    }
    Layout();
    return true;
}

void CColumnHeader::SetColumnText(int index, const QString& text)
{
    if (index >= 0 && index < ColumnCount())
        buttons_[std::size_t(index)]->setText(text);
}

QString CColumnHeader::ColumnText(int index) const
{
    return index >= 0 && index < ColumnCount() ? buttons_[std::size_t(index)]->text() : QString();
}

void CColumnHeader::SetColumnWidth(int index, int width)
{
    if (index >= 0 && index < ColumnCount() && width > 0)
        widths_[std::size_t(index)] = width;
    Layout();
}

int CColumnHeader::ColumnWidth(int index) const
{
    return index >= 0 && index < ColumnCount() ? widths_[std::size_t(index)] : -1;
}

int CColumnHeader::Height() const
{
    const QFont f = buttons_.empty() ? font() : buttons_.front()->font();
    return QFontMetrics(f).height() + 3;
}

void CColumnHeader::SetHeaderFont(const QFont& font, bool redraw)
{
    for (auto* b : buttons_)
        b->setFont(font);
    setFont(font);
    if (redraw)
        update();
}

QAbstractButton* CColumnHeader::Button(int index) const
{
    return index >= 0 && index < ColumnCount() ? buttons_[std::size_t(index)] : nullptr;
}

void CColumnHeader::Layout()
{
    const int count = ColumnCount();
    const int cx = width();
    const int cy = height();
    if (count == 0 || cx < 2 * count - 2)
        return;
    const int def = cx / count;
    int x = 0;
    for (int i = 0; i < count; ++i) {
        int& stored = widths_[std::size_t(i)];
        if (stored < 1)
            stored = def;
        const int w = i == count - 1 ? cx - x : stored;
        buttons_[std::size_t(i)]->setGeometry(x, 0, w - 1, cy);
        x += w + 2;
    }
}

void CColumnHeader::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void CColumnHeader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    if (height() > 1) {
        p.setPen(Qt::black);
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
    }
}

void CColumnHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int x = event->position().toPoint().x();

    dragging_ = true;
    draggedColumn_ = BoundaryAt(x);
    trackerPos_ = x;
    DrawTracker();
}

void CColumnHeader::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    EraseTracker();
    trackerPos_ = event->position().toPoint().x();
    DrawTracker();
}

void CColumnHeader::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    EraseTracker();

    dragging_ = false;
    const int column = draggedColumn_;
    draggedColumn_ = -1;
    if (column < 0)
        return;
    int before = 0;
    for (int i = 0; i < column; ++i)
        before += widths_[std::size_t(i)] + 2;
    // A width below 1 takes the default width at the layout below.
    widths_[std::size_t(column)] = event->position().toPoint().x() - before;
    Layout();
    update();
    OnColumnWidthsChanged();
    emit ColumnWidthsChanged();
}

int CColumnHeader::BoundaryAt(int x) const
{
    // Column i ends at its left edge plus its width, in the middle of the
    // gap before the next button; the last column's end is the window edge.
    int left = 0;
    for (int i = 0; i + 1 < ColumnCount(); ++i) {
        const int end = left + widths_[std::size_t(i)];
        if (x >= end - kGrabZone && x <= end + kGrabZone)
            return i;
        left = end + 2;
    }
    return -1;
}

void CColumnHeader::SetPressedColumn(int column)
{
    pressedColumn_ = column;
    for (auto* b : buttons_)
        b->update();
}

void CColumnHeader::DrawTracker()
{
    QWidget* host = parentWidget() ? parentWidget() : this;
    if (!tracker_) {
        tracker_ = new QWidget(host);
        tracker_->setObjectName(QStringLiteral("tracker"));
        tracker_->setAttribute(Qt::WA_TransparentForMouseEvents);
        tracker_->setAutoFillBackground(true);
        QPalette pal = tracker_->palette();
        pal.setColor(QPalette::Window, QColor(100, 100, 100));
        tracker_->setPalette(pal);
    }
    const int x = host == this ? trackerPos_ : mapToParent(QPoint(trackerPos_, 0)).x();
    tracker_->setGeometry(x, 0, 2, host->height());
    tracker_->raise();
    tracker_->show();
}

void CColumnHeader::EraseTracker()
{
    if (tracker_)
        tracker_->hide();
}

bool CColumnHeader::TrackerVisible() const
{
    return tracker_ && !tracker_->isHidden();
}

void CColumnHeader::ButtonClicked(int column)
{
    pressedColumn_ = pressedColumn_ == column ? -1 : column;
    OnColumnClick(pressedColumn_);
    emit ColumnClicked(pressedColumn_);
    if (parentWidget())
        parentWidget()->setFocus();
    for (auto* b : buttons_)
        b->update();
}

void CColumnHeader::focusInEvent(QFocusEvent*)
{
    if (parentWidget())
        parentWidget()->setFocus();
}

void CColumnHeader::OnColumnWidthsChanged() {}

void CColumnHeader::OnColumnClick(int) {}

} // namespace widgets
