#include "ui/CArticleListBox.h"

#include "news/Article.h"
#include "news/MultiPart.h"
#include "news/ReadList.h"

#include <ctime>
#include <iomanip>
#include <sstream>
#include <string_view>
#include <vector>

using namespace widgets;

namespace ui {

using namespace news;

CArticleListBox::CArticleListBox(QWidget* parent) : CTreeListBox(parent) {}

CArticleListBox::~CArticleListBox() = default;

int CArticleListBox::ImageFor(const CArticle& article, const CReadList& read)
{
    if (!read.IsRead(article.m_nNumber))
        return kImageUnread;
    return article.m_bRead ? kImageReadBefore : kImageReadNow;
}

void CArticleListBox::Clear()
{
    byId_.clear();
    waiting_.clear();
    partRows_.clear();
    DeleteAll();
}

bool CArticleListBox::InSubtreeOf(const CTreeListItem* node, const CTreeListItem* root) const
{
    for (const CTreeListItem* a = node; a; a = GetParent(a))
        if (a == root)
            return true;
    return false;
}

namespace {

const std::string& ChainOf(const CArticle& article)
{
    return article.m_strReferences.empty() ? article.m_strParentID : article.m_strReferences;
}

std::vector<std::string_view> ChainIds(std::string_view chain)
{
    std::vector<std::string_view> ids;
    for (std::size_t pos = 0; pos < chain.size();) {
        const std::size_t blank = std::min(chain.find(' ', pos), chain.size());
        if (blank > pos)
            ids.push_back(chain.substr(pos, blank - pos));
        pos = blank + 1;
    }
    return ids;
}

// Position of id in the chain, counted from its oldest entry; -1 when absent.
int ChainIndex(std::string_view chain, std::string_view id)
{
    const std::vector<std::string_view> ids = ChainIds(chain);
    for (std::size_t k = ids.size(); k-- > 0;)
        if (ids[k] == id)
            return static_cast<int>(k);
    return -1;
}

} // namespace

bool CArticleListBox::NearerParent(const CTreeListItem* reply, const std::string& id) const
{
    const CArticle* article = ArticleOf(reply);
    const CTreeListItem* parent = GetParent(reply);
    const CArticle* now = parent ? ArticleOf(parent) : nullptr;
    if (!article || !now)
        return true;
    const std::string& chain = ChainOf(*article);
    return ChainIndex(chain, id) > ChainIndex(chain, now->m_strMessageID);
}

// The first node in pre-order, outside node's own subtree, whose article has
// parentId as its Message-ID.
CTreeListItem* CArticleListBox::FindParentNode(CTreeListItem* node, const std::string& parentId)
{
    auto [lo, hi] = byId_.equal_range(parentId);
    std::vector<CTreeListItem*> candidates;
    for (auto it = lo; it != hi; ++it)
        if (!InSubtreeOf(it->second, node))
            candidates.push_back(it->second);
    if (candidates.size() <= 1)
        return candidates.empty() ? nullptr : candidates.front();
    // The same Message-ID on several articles: the walk decides.
    for (CTreeListItem* n = FirstRoot(); n;) {
        if (n == node) {
            // Past the own subtree: next sibling or an ancestor's.
            const CTreeListItem* a = n;
            n = nullptr;
            for (; a && !n; a = GetParent(a))
                n = a->NextSibling();
            continue;
        }
        const CArticle* article = ArticleOf(n);
        if (article && article->m_strMessageID == parentId)
            return n;
        n = NextInPreOrder(n);
    }
    return nullptr;
}

CTreeListItem* CArticleListBox::AddArticle(CArticle* article, const CReadList& read)
{
    TreeListItemInfo info;
    info.expanded = 1;
    info.image = info.selectedImage = ImageFor(*article, read);
    info.userValue = reinterpret_cast<std::uintptr_t>(article);
    CTreeListItem* node = InsertChild(nullptr, info);
    if (m_sortColumn != kThreaded)
        return node;

    // Replies that came before their parent move under it, unless they
    // already hang under an article nearer to them in their chain.
    const std::string& id = article->m_strMessageID;
    if (!id.empty()) {
        auto [lo, hi] = waiting_.equal_range(id);
        std::vector<CTreeListItem*> replies;
        for (auto it = lo; it != hi; ++it)
            if (it->second != node && NearerParent(it->second, id))
                replies.push_back(it->second);
        waiting_.erase(id);
        for (CTreeListItem* reply : replies)
            Move(node, reply);
        byId_.emplace(id, node);
    }

    // The parent is the nearest article of the chain that is in the list
    // (an expired or unfetched one is passed over, as tin and slrn do); the
    // nearer ones are waited for.
    const std::vector<std::string_view> chain = ChainIds(ChainOf(*article));
    for (std::size_t k = chain.size(); k-- > 0;) {
        const std::string parentId(chain[k]);
        if (parentId == id)
            continue;
        if (CTreeListItem* parent = FindParentNode(node, parentId)) {
            Move(parent, node);
            break;
        }
        waiting_.emplace(parentId, node);
    }
    return node;
}

void CArticleListBox::GroupParts(const std::vector<PartFile>& files)
{
    if (m_sortColumn != kThreaded || files.empty())
        return;
    std::unordered_map<std::int32_t, CTreeListItem*> byNumber;
    for (CTreeListItem* n = FirstRoot(); n; n = NextInPreOrder(n))
        if (const CArticle* a = ArticleOf(n))
            byNumber.emplace(a->m_nNumber, n);
    for (const PartFile& file : files) {
        CTreeListItem* lead = nullptr;
        for (const PartArticle& part : file.articles) {
            const auto it = byNumber.find(part.number);
            if (it == byNumber.end())
                continue;
            if (!lead)
                lead = it->second;
            else if (!InSubtreeOf(lead, it->second))
                Move(lead, it->second);
        }
        if (!lead)
            continue;
        partRows_[lead] = {file.stem, {file.Present(), file.total}};
        if (lead->FirstChild())
            CollapseInPlace(lead, false);
    }
}

const std::pair<unsigned, unsigned>* CArticleListBox::PartCount(const CTreeListItem* node) const
{
    const auto it = partRows_.find(node);
    return it == partRows_.end() ? nullptr : &it->second.count;
}

void CArticleListBox::SetSort(int column, bool descending)
{
    m_sortColumn = column >= 0 && column <= kScoreColumn ? column : kThreaded;
    m_sortDescending = m_sortColumn != kThreaded && descending;
}

namespace {

// "Re: Re: x" sorts beside "x".
std::string_view SubjectKey(std::string_view s)
{
    for (;;) {
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
        if (s.size() >= 3 && (s[0] == 'R' || s[0] == 'r') && (s[1] == 'E' || s[1] == 'e') && s[2] == ':')
            s.remove_prefix(3);
        else
            return s;
    }
}

template <class T> int Order(const T& x, const T& y) { return x < y ? -1 : (y < x ? 1 : 0); }

} // namespace

int CArticleListBox::CompareNodes(const CTreeListItem* a, const CTreeListItem* b)
{
    const CArticle* x = ArticleOf(a);
    const CArticle* y = ArticleOf(b);
    if (!x || !y)
        return CTreeListBox::CompareNodes(a, b);
    int order = 0;
    switch (m_sortColumn) {
    case 0: order = Order(SubjectKey(x->m_strSubject), SubjectKey(y->m_strSubject)); break;
    case 1: order = Order(x->m_timeDate, y->m_timeDate); break;
    case 2: order = Order(x->m_strFrom, y->m_strFrom); break;
    case kScoreColumn: order = Order(x->m_nScore, y->m_nScore); break;
    default: break;
    }
    if (order == 0)
        order = Order(x->m_nNumber, y->m_nNumber);
    return m_sortDescending ? -order : order;
}

void CArticleListBox::SetScoreColours(const QColor& high, const QColor& low)
{
    scoreHigh_ = high;
    scoreLow_ = low;
}

QColor CArticleListBox::RowTextColour(const CTreeListItem* node) const
{
    const CArticle* article = ArticleOf(node);
    if (!article || article->m_nScore == 0)
        return {};
    return article->m_nScore > 0 ? scoreHigh_ : scoreLow_;
}

void CArticleListBox::OnSelChanged(int index, CTreeListItem* node)
{
    if (selChanged)
        selChanged(index, node);
}

namespace {

std::string LocalTime(long long time, const char* format, std::tm* out = nullptr)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return {};
    if (out)
        *out = local;
    std::ostringstream text;
    text << std::put_time(&local, format);
    return text.str();
}

} // namespace

std::string CArticleListBox::MonthDay(long long time) { return LocalTime(time, "%m/%d"); }

std::string CArticleListBox::DateText(long long time, long long now)
{
    std::tm local{}, today{};
    std::string text = LocalTime(time, "%m/%d", &local);
    LocalTime(now, "%Y", &today);
    return local.tm_year == today.tm_year ? text : LocalTime(time, "%Y/%m/%d");
}

std::string CArticleListBox::FullDate(long long time) { return LocalTime(time, "%Y/%m/%d %H:%M:%S"); }

std::string CArticleListBox::GetColumnText(const CTreeListItem* node, int column)
{
    const CArticle* article = ArticleOf(node);
    if (!article)
        return {};
    if (std::string subject, from; (column == 0 || column == 2) && recodedRow && recodedRow(*article, subject, from))
        return column == 0 ? std::to_string(article->m_nNumber) + ' ' + subject : from;
    switch (column) {
    case 0:
        if (const auto it = partRows_.find(node); it != partRows_.end())
            return std::to_string(article->m_nNumber) + ' ' + it->second.stem + " (" +
                   std::to_string(it->second.count.first) + '/' + std::to_string(it->second.count.second) + ')';
        return std::to_string(article->m_nNumber) + ' ' + article->m_strSubject;
    case 1:
        return DateText(article->m_timeDate, std::time(nullptr));
    case 2:
        return article->m_strFrom;
    case kScoreColumn:
        return article->m_nScore ? std::to_string(article->m_nScore) : std::string();
    default:
        return {};
    }
}

} // namespace ui

