#pragma once

#include "widgets/CSelListBox.h"
#include "widgets/CTreeListItem.h"

#include <QColor>
#include <QFont>
#include <QPixmap>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace widgets {

// A tree of CTreeListItem nodes shown as a list: the rows are the expanded
// part of the tree in pre-order. Rows are drawn with indentation, connecting
// lines, expand/collapse boxes, an image from a strip and column texts.
class CTreeListBox : public CSelListBox {
    Q_OBJECT
public:
    // Tree style bits.
    enum : int {
        TLS_ROOTLINES = 1,   // lines also at the top level
        TLS_EXTENDEDSEL = 2, // multiple selection
        TLS_LINES = 4,       // connecting lines
        TLS_BUTTONS = 8,     // boxes, double-click toggles, + and - keys
        TLS_INSERTORDER = 16 // keep insertion order instead of sorting
    };

    explicit CTreeListBox(QWidget* parent = nullptr);
    ~CTreeListBox() override;

    // Takes the image strip by its bitmap id (see TreeListImages.h).
    bool Create(int treeStyle, int bitmapId, int imageCount);
    bool Create(int treeStyle, const QPixmap& strip, int imageCount);

    int TreeStyle() const { return treeStyle_; }
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    int ImageCount() const { return imageCount_; }
    int BitmapId() const { return bitmapId_; }
    int TextHeight() const { return textHeight_; }

    void SetColumnCount(int count);
    void SetColumnWidth(int index, int width);
    int ColumnCount() const { return int(columnWidths_.size()); }
    int ColumnWidth(int index) const;

    void SetColours(QColor text, QColor back, QColor selText, QColor selBack);
    bool SetRowFont(const QFont& font);
    const QFont& RowFont() const { return font_; }

    // The tree. Inserting does not touch the rows: call RebuildRows or the
    // in-place operations afterwards.
    CTreeListItem* InsertChild(CTreeListItem* parent, const TreeListItemInfo& info);
    CTreeListItem* InsertSibling(CTreeListItem* node, const TreeListItemInfo& info);
    CTreeListItem* Move(CTreeListItem* newParent, CTreeListItem* node);
    CTreeListItem* Unlink(CTreeListItem* node);
    void DeleteSubtree(CTreeListItem* node, bool removeRows);
    void DeleteAll();
    CTreeListItem* FirstRoot() const { return firstRoot_; }

    void RebuildRows();
    void ExpandInPlace(CTreeListItem* node);
    void CollapseInPlace(CTreeListItem* node, bool updateRows);
    bool Expand(CTreeListItem* node);
    bool Collapse(CTreeListItem* node);

    int Depth(const CTreeListItem* node) const;
    CTreeListItem* GetParent(const CTreeListItem* node) const;
    CTreeListItem* NextInPreOrder(const CTreeListItem* node) const;
    CTreeListItem* PrevInPreOrder(const CTreeListItem* node) const;
    int RowOfNode(const CTreeListItem* node) const;
    CTreeListItem* NodeOfRow(int index) const;
    void ScrollToRow(int index, bool centre);
    void RedrawNode(const CTreeListItem* node);
    void RedrawSelection();

    // Length in bytes of the longest prefix of whole Shift_JIS characters
    // whose width is at most maxWidth.
    static std::size_t FitSjisPrefix(std::string_view text, int maxWidth,
                                     const std::function<int(std::string_view)>& width);

    // Operations the panes override.
    virtual CTreeListItem* GetFirstSibling(CTreeListItem* node) const;
    virtual int SetCurRow(int index);
    virtual void SetRowSel(int index, bool select);
    virtual int CompareNodes(const CTreeListItem* a, const CTreeListItem* b);
    virtual void OnSelChanged(int index, CTreeListItem* node);
    virtual void GetNodeImages(const CTreeListItem* node, int& image, int& selectedImage,
                               int& expandedImage);
    virtual std::string GetColumnText(const CTreeListItem* node, int column);
    virtual void DrawRowText(QPainter& dc, const QRect& rect, bool selected,
                             const CTreeListItem* node);
    // A row's own text colour when not selected; invalid: the list's.
    virtual QColor RowTextColour(const CTreeListItem*) const { return {}; }

protected:
    void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) override;
    QColor BackgroundColour() const override { return backColor_; }
    void OnReflectSelChange() override;
    bool OnReflectDblClk() override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CTreeListItem* MakeNode(const TreeListItemInfo& info) const;
    CTreeListItem*& FirstOf(CTreeListItem* owner) { return owner ? owner->child_ : firstRoot_; }
    CTreeListItem*& LastOf(CTreeListItem* owner) { return owner ? owner->lastChild_ : lastRoot_; }
    int& CountOf(CTreeListItem* owner) { return owner ? owner->children_ : roots_; }
    std::unique_ptr<SiblingIndex>& IndexOf(CTreeListItem* owner)
    {
        return owner ? owner->index_ : rootIndex_;
    }
    void LinkBetween(CTreeListItem* owner, CTreeListItem* prev, CTreeListItem* next,
                     CTreeListItem* node, bool keepIndex = false);
    void LinkSorted(CTreeListItem* owner, CTreeListItem* node);
    void AppendVisibleRows(const CTreeListItem* first, std::vector<NewRow>& out) const;
    int CountDeeperRowsAfter(int row, int depth) const;
    int CurrentRow() const;
    int SingleSelectedRow() const;
    static void FreeChain(CTreeListItem* first);
    void UpdateRowHeight();

    CTreeListItem* firstRoot_ = nullptr;
    CTreeListItem* lastRoot_ = nullptr;
    int roots_ = 0;
    std::unique_ptr<SiblingIndex> rootIndex_;

    int textHeight_ = 0;
    int imageWidth_ = 16;
    int imageHeight_ = 16;
    int imageCount_ = 0;
    int bitmapId_ = 0;
    QPixmap strip_;
    int treeStyle_ = 0;

    QColor textColor_, backColor_, selTextColor_, selBackColor_, selTextNoFocusColor_, selBackNoFocusColor_;
    QFont font_;
    std::vector<int> columnWidths_;
};

} // namespace widgets
