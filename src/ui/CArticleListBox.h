#pragma once
// The article list: one node per article of the open group, threaded by
// Message-ID and the last References entry, ordered by article number.

#include "widgets/CTreeListBox.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace news { struct CArticle; class CReadList; struct PartFile; }

namespace ui {

class CArticleListBox : public widgets::CTreeListBox {
    Q_OBJECT
public:
    enum { kImageUnread = 2, kImageReadNow = 3, kImageReadBefore = 4 };

    explicit CArticleListBox(QWidget* parent = nullptr);
    ~CArticleListBox() override;

    static news::CArticle* ArticleOf(const widgets::CTreeListItem* node)
    {
        return node ? reinterpret_cast<news::CArticle*>(node->data_) : nullptr;
    }
    // 2 when not read, 3 when read since the fetch, 4 when read before it.
    static int ImageFor(const news::CArticle& article, const news::CReadList& read);

    // Columns: 0 subject, 1 date, 2 author, 3 score.
    static constexpr int kScoreColumn = 3;
    // Threaded (the default) or a flat list ordered by one column's value.
    static constexpr int kThreaded = -1;
    void SetSort(int column, bool descending);
    int SortColumn() const { return m_sortColumn; }
    bool SortDescending() const { return m_sortDescending; }

    // Puts one article into the tree (the rows are not rebuilt).
    widgets::CTreeListItem* AddArticle(news::CArticle* article, const news::CReadList& read);
    // Deletes every node and forgets the thread index.
    void Clear();
    // Threaded only: each file posted in parts becomes one collapsed row,
    // its lowest part's, saying how many parts are here ("stem (12/15)");
    // the other parts hang under it. Call after the articles
    // are added, before the rows are rebuilt.
    void GroupParts(const std::vector<news::PartFile>& files);
    // The "present/total" of a row that stands for a file; null for others.
    const std::pair<unsigned, unsigned>* PartCount(const widgets::CTreeListItem* node) const;

    // The user picked a row (not called for moves made in code).
    std::function<void(int row, widgets::CTreeListItem* node)> selChanged;
    // The subject and author an article's row shows instead of its record's,
    // when the body pane reads it in a charset the reader chose.
    std::function<bool(const news::CArticle& article, std::string& subject, std::string& from)> recodedRow;

    // Rows of articles scored above zero, and below it.
    void SetScoreColours(const QColor& high, const QColor& low);
    QColor RowTextColour(const widgets::CTreeListItem* node) const override;

    int CompareNodes(const widgets::CTreeListItem* a, const widgets::CTreeListItem* b) override;
    void OnSelChanged(int index, widgets::CTreeListItem* node) override;
    std::string GetColumnText(const widgets::CTreeListItem* node, int column) override;

    // "%m/%d" of a time in local time.
    static std::string MonthDay(long long time);
    // MonthDay in now's local year, else "%Y/%m/%d".
    static std::string DateText(long long time, long long now);
    // "%Y/%m/%d %H:%M:%S" in local time.
    static std::string FullDate(long long time);

private:
    bool InSubtreeOf(const widgets::CTreeListItem* node, const widgets::CTreeListItem* root) const;
    widgets::CTreeListItem* FindParentNode(widgets::CTreeListItem* node, const std::string& parentId);
    // True when the article id is nearer to reply in its chain than the one it hangs under.
    bool NearerParent(const widgets::CTreeListItem* reply, const std::string& id) const;

    QColor scoreHigh_, scoreLow_;
    int m_sortColumn = kThreaded;
    bool m_sortDescending = false;
    // Message-ID -> nodes carrying it (usually one).
    std::unordered_multimap<std::string, widgets::CTreeListItem*> byId_;
    // Parent ID -> top-level nodes still waiting for that parent.
    std::unordered_multimap<std::string, widgets::CTreeListItem*> waiting_;
    struct PartRow {
        std::string stem;
        std::pair<unsigned, unsigned> count;
    };
    std::unordered_map<const widgets::CTreeListItem*, PartRow> partRows_;
};

} // namespace ui
