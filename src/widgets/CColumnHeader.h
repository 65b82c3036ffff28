#pragma once

#include <QAbstractButton>
#include <QWidget>

#include <vector>

namespace widgets {

class CColumnHeader;

// One owner-drawn button of the header.
class CColumnHeaderButton : public QAbstractButton {
    Q_OBJECT
public:
    CColumnHeaderButton(CColumnHeader* header, int column);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Presses near an edge belong to the header's boundary drag.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool dragging_ = false;
    CColumnHeader* header_;
    int column_;
};

// A strip of header buttons with draggable boundaries between them. Pressing
// in the gap at the right end of a column drags that column's width; a
// vertical tracker line across the parent shows where it will end.
class CColumnHeader : public QWidget {
    Q_OBJECT
public:
    explicit CColumnHeader(QWidget* parent = nullptr);
    ~CColumnHeader() override;

    bool Create(QWidget* parent, int id, int columnCount);

    int ColumnCount() const { return int(widths_.size()); }
    void SetColumnText(int index, const QString& text);
    QString ColumnText(int index) const;
    void SetColumnWidth(int index, int width);
    int ColumnWidth(int index) const;
    int Height() const;
    void SetHeaderFont(const QFont& font, bool redraw);

    int PressedColumn() const { return pressedColumn_; }
    int DraggedColumn() const { return draggedColumn_; }
    int TrackerPos() const { return trackerPos_; }
    bool TrackerVisible() const;
    QAbstractButton* Button(int index) const;

    // The column whose right boundary lies within kGrabZone pixels of x
    // (header coordinates), or -1.
    static constexpr int kGrabZone = 4;
    int BoundaryAt(int x) const;
    // The column shown pressed (-1: none), without a click.
    void SetPressedColumn(int column);

    // Places the buttons for the current size.
    void Layout();

    virtual void OnColumnWidthsChanged();
    virtual void OnColumnClick(int column);

signals:
    void ColumnWidthsChanged();
    void ColumnClicked(int column);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    friend class CColumnHeaderButton;
    void ButtonClicked(int column);
    void DrawTracker();
    void EraseTracker();

    std::vector<int> widths_;
    std::vector<CColumnHeaderButton*> buttons_;
    int trackerPos_ = 0;
    int draggedColumn_ = -1;
    int pressedColumn_ = -1;
    bool dragging_ = false;
    QWidget* tracker_ = nullptr;
};

} // namespace widgets
