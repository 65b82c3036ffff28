#pragma once

#include <QAbstractScrollArea>
#include <QPoint>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Sjis.h"

class QPainter;

namespace widgets {

// A virtual list box of fixed-height rows that paints only the rows in
// view. Rows carry a Shift_JIS text and one data value. Selection is single
// or extended; the mouse selection is decided on the button release so that
// a press on a selected row can start a drag instead.
class CSelListBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum { LB_ERR = -1 };

    explicit CSelListBox(QWidget* parent = nullptr);

    // True when the byte starts a double-byte Shift_JIS character.
    static bool IsSjisLeadByte(unsigned char c) { return platform::IsSjisLeadByte(c); }
    ~CSelListBox() override;

    // Rows
    int GetCount() const { return int(rows_.size()); }
    int AddString(std::string text, std::uintptr_t data = 0);
    int InsertString(int index, std::string text, std::uintptr_t data = 0);
    int DeleteString(int index);
    void ResetContent();
    std::uintptr_t GetItemData(int index) const;
    int SetItemData(int index, std::uintptr_t data);
    std::string GetText(int index) const;

    // Selection
    void SetExtendedSel(bool extended);
    bool IsExtendedSel() const { return extended_; }
    // In extended selection the current row is the caret row.
    int GetCurSel() const { return extended_ ? caret_ : curSel_; }
    int SetCurSel(int index);
    bool GetSel(int index) const;
    int SetSel(int index, bool select); // index -1: every row
    int SelItemRange(bool select, int first, int last);
    int GetSelCount() const { return selCount_; }
    std::vector<int> GetSelItems() const;
    int GetCaretIndex() const { return caret_; }
    int SetCaretIndex(int index, bool scroll = true);
    int GetAnchorIndex() const { return anchor_; }
    void SetAnchorIndex(int index) { anchor_ = index; }

    // Scrolling and geometry
    int GetTopIndex() const { return top_; }
    int SetTopIndex(int index);
    int GetItemHeight() const { return rowHeight_; }
    void SetItemHeight(int height);
    int VisibleRowCount() const; // whole rows that fit
    int ItemFromPoint(QPoint p) const; // -1 below the last row
    QRect ItemRect(int index) const;
    void InvalidateRow(int index);
    void SetRedraw(bool on);

    // Rows painted since the counter was last reset (tests and benchmarks).
    long DrawnRows() const { return drawn_; }
    void ResetDrawnRows() { drawn_ = 0; }

    int PressedRow() const { return pressedRow_; }

signals:
    void SelChange();
    void SelCancel();
    void DblClk();

protected:
    virtual int OnBeginDrag(int x, int y);

    // Called before the selection-change notification goes to the parent.
    virtual void OnReflectSelChange();
    // Called before the double-click notification goes to the parent;
    // returns true when the click is consumed.
    virtual bool OnReflectDblClk();

    virtual void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected);
    virtual QColor BackgroundColour() const;

    void NotifySelChange();
    void PostSelChange();
    void NotifySelCancel();

    // Inserts a batch of rows at index in one step.
    struct NewRow {
        std::string text;
        std::uintptr_t data = 0;
    };
    void InsertRows(int index, std::vector<NewRow>&& rows);
    void DeleteRows(int index, int count);

    // List box keyboard handling (arrows, paging, first-letter search).
    void ListBoxKey(QKeyEvent* event);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // State of the mouse selection, see the press and release handlers.
    QPoint pressPoint_{-1, -1};
    int pendingItem_ = -1;
    bool tracking_ = false;
    bool selChanged_ = false;
    int pressHeight_ = 0;
    int pressedRow_ = -1;
    int savedTop_ = -1;

private:
    struct Row {
        std::string text;
        std::uintptr_t data = 0;
        bool selected = false;
    };

    void UpdateScrollRange();
    void Invalidate();
    void MoveCaretByKey(int target, Qt::KeyboardModifiers mods);
    void SelectOnly(int index);

    std::vector<Row> rows_;
    bool extended_ = false;
    int curSel_ = -1;
    int caret_ = -1;
    int anchor_ = -1;
    int selCount_ = 0;
    int top_ = 0;
    int rowHeight_ = 16;
    bool redraw_ = true;
    bool dirty_ = false;
    long drawn_ = 0;
};

} // namespace widgets
