// Offscreen tests of the tree list control and the column header.

#include "widgets/CColumnHeader.h"
#include "widgets/CTreeListBox.h"
#include "widgets/SjisText.h"
#include "widgets/TreeListImages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace widgets;


namespace {

std::string Sjis(const char16_t* text)
{
    return widgets::ToSjis(QString::fromUtf16(text));
}

// Records what the control tells its derived class.
class TestTree : public CTreeListBox {
public:
    using CTreeListBox::CTreeListBox;
    struct Change {
        int row;
        CTreeListItem* node;
    };
    std::vector<Change> changes;

    void OnSelChanged(int index, CTreeListItem* node) override { changes.push_back({index, node}); }
};

TreeListItemInfo Info(const std::string& text, bool expanded = true, std::uintptr_t data = 0)
{
    TreeListItemInfo info;
    info.text = text;
    info.expanded = expanded ? 1 : 0;
    info.userValue = data;
    return info;
}

std::vector<std::string> RowTexts(const CTreeListBox& tree)
{
    std::vector<std::string> out;
    for (int i = 0; i < tree.GetCount(); ++i)
        out.push_back(tree.NodeOfRow(i)->text_);
    return out;
}

// Every node: only a first child carries the parent link, and the parent
// found through the first sibling agrees with GetParent.
void CheckLinks(const CTreeListBox& tree, const CTreeListItem* first, const CTreeListItem* parent)
{
    for (const CTreeListItem* n = first; n; n = n->NextSibling()) {
        if (n == first)
            EXPECT_EQ(n->ParentLink(), parent);
        else
            EXPECT_EQ(n->ParentLink(), nullptr);
        EXPECT_EQ(tree.GetParent(n), parent);
        EXPECT_EQ(tree.GetFirstSibling(const_cast<CTreeListItem*>(n))->ParentLink(), parent);
        if (n->NextSibling()) {
            EXPECT_EQ(n->NextSibling()->PrevSibling(), n);
        }
        CheckLinks(tree, n->FirstChild(), n);
    }
}

void Mouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
           Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons, mods);
    QApplication::sendEvent(target, &event);
}

void Press(CSelListBox& box, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Mouse(box.viewport(), QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton, mods);
}

void Release(CSelListBox& box, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Mouse(box.viewport(), QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton, mods);
}

void Click(CSelListBox& box, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Press(box, pos, mods);
    Release(box, pos, mods);
    QCoreApplication::processEvents();
}

class TreeList : public ::testing::Test {
protected:
    // A shown tree of the given style with the group images.
    void Make(int style)
    {
        tree = std::make_unique<TestTree>();
        tree->Create(style, IDB_GROUP_IMAGES, 15);
        tree->resize(300, 10 * tree->GetItemHeight() + 2 * tree->frameWidth());
        tree->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get()));
    }

    QPoint RowPoint(int row, int x = 200) const
    {
        return QPoint(x, (row - tree->GetTopIndex()) * tree->GetItemHeight() + tree->GetItemHeight() / 2);
    }

    std::unique_ptr<TestTree> tree;
};

// ------------------------------------------------------------ insertion

// The placement rule on a plain array, for comparison with the linked tree.
void ModelInsert(std::vector<std::pair<int, int>>& chain, std::pair<int, int> item)
{
    auto cmp = [](const std::pair<int, int>& a, const std::pair<int, int>& b) {
        return a.first < b.first ? -1 : (a.first > b.first ? 1 : 0);
    };
    if (chain.empty() || cmp(chain.back(), item) <= 0) {
        chain.push_back(item);
        return;
    }
    if (cmp(chain.front(), item) >= 0) {
        chain.insert(chain.begin(), item);
        return;
    }
    std::size_t lo = 0, n = chain.size();
    while (n > 2) {
        const std::size_t half = n / 2;
        if (cmp(chain[lo + half], item) >= 0)
            n = half + 1;
        else {
            lo += half;
            n -= half;
        }
    }
    chain.insert(chain.begin() + std::ptrdiff_t(lo + 1), item);
}

TEST_F(TreeList, InsertionFollowsThePlacementRule)
{
    auto key = [](int k) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%03d", k);
        return std::string(buf);
    };
    // Once under a parent, once at the top level.
    for (const bool topLevel : {false, true}) {
        SCOPED_TRACE(topLevel ? "top level" : "children");
        Make(0);
        std::mt19937 rng(7);
        CTreeListItem* parent = topLevel ? nullptr : tree->InsertChild(nullptr, Info("p"));
        CTreeListItem* other = tree->InsertChild(nullptr, Info("~other"));
        std::vector<std::pair<int, int>> model;
        if (topLevel)
            model.push_back({1000, -1}); // "~other" sorts after every key
        std::vector<CTreeListItem*> nodes;
        for (int id = 0; id < 400; ++id) {
            const int k = int(rng() % 60);
            CTreeListItem* n = tree->InsertChild(parent, Info(key(k), false, std::uintptr_t(id)));
            nodes.push_back(n);
            ModelInsert(model, {k, id});
            if (id % 37 == 36) {
                // Take a node out (to the other node) and put it back: it is
                // placed again by the same rule.
                const int victim = int(rng() % nodes.size());
                CTreeListItem* v = nodes[std::size_t(victim)];
                const int vk = std::stoi(v->text_);
                std::erase_if(model, [&](auto& p) { return p.second == victim; });
                ASSERT_EQ(tree->Move(other, v), v);
                EXPECT_EQ(tree->GetParent(v), other);
                ASSERT_EQ(tree->Move(parent, v), v);
                ModelInsert(model, {vk, victim});
            }
        }
        std::vector<int> ids;
        for (CTreeListItem* n = parent ? parent->FirstChild() : tree->FirstRoot(); n;
             n = n->NextSibling())
            ids.push_back(n == other ? -1 : int(n->data_));
        std::vector<int> want;
        for (auto& p : model)
            want.push_back(p.second);
        EXPECT_EQ(ids, want);
        CheckLinks(*tree, tree->FirstRoot(), nullptr);
    }

    // Insertion order keeps a chain unsorted; a sibling insertion into it
    // still follows the search rule step by step.
    Make(CTreeListBox::TLS_INSERTORDER);
    CTreeListItem* parent = tree->InsertChild(nullptr, Info("p"));
    std::vector<std::pair<int, int>> model;
    std::mt19937 rng(3);
    int id = 0;
    for (; id < 100; ++id) {
        const int k = int(rng() % 50);
        tree->InsertChild(parent, Info(std::to_string(100 + k), false, std::uintptr_t(id)));
        model.push_back({k, id});
    }
    for (; id < 160; ++id) {
        const int k = int(rng() % 50);
        tree->InsertSibling(parent->FirstChild(), Info(std::to_string(100 + k), false, std::uintptr_t(id)));
        ModelInsert(model, {k, id});
        if (id % 10 == 0) { // appending in order again drops any search array
            tree->InsertChild(parent, Info("199", false, std::uintptr_t(1000 + id)));
            model.push_back({99, 1000 + id});
        }
    }
    std::vector<int> ids, want;
    for (CTreeListItem* n = parent->FirstChild(); n; n = n->NextSibling())
        ids.push_back(int(n->data_));
    for (auto& p : model)
        want.push_back(p.second);
    EXPECT_EQ(ids, want);
    CheckLinks(*tree, tree->FirstRoot(), nullptr);
}

// ------------------------------------------------------------ rows

struct Sample {
    CTreeListItem *root, *fj, *comp, *lang, *c, *os, *rec, *japan;
};

Sample BuildSample(CTreeListBox& tree)
{
    Sample s{};
    s.root = tree.InsertChild(nullptr, Info("NetNews"));
    s.japan = tree.InsertChild(s.root, Info("japan"));
    s.fj = tree.InsertChild(s.root, Info("fj"));
    s.rec = tree.InsertChild(s.fj, Info("rec"));
    s.comp = tree.InsertChild(s.fj, Info("comp"));
    s.os = tree.InsertChild(s.comp, Info("os"));
    s.lang = tree.InsertChild(s.comp, Info("lang"));
    s.c = tree.InsertChild(s.lang, Info("c"));
    tree.RebuildRows();
    return s;
}

// ------------------------------------------------------------ mouse

TEST_F(TreeList, ExtendedSelectionIsDecidedOnRelease)
{
    Make(CTreeListBox::TLS_EXTENDEDSEL | CTreeListBox::TLS_LINES);
    for (int i = 0; i < 8; ++i)
        tree->InsertChild(nullptr, Info(std::string(1, char('a' + i))));
    tree->RebuildRows();

    Click(*tree, RowPoint(1));
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{1}));
    ASSERT_EQ(tree->changes.size(), 1u);
    EXPECT_EQ(tree->changes[0].row, 1);
    EXPECT_EQ(tree->changes[0].node->text_, "b");

    Click(*tree, RowPoint(3), Qt::ControlModifier);
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{1, 3}));
    Click(*tree, RowPoint(5), Qt::ShiftModifier); // range from the anchor 3
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(tree->GetCaretIndex(), 3);

    // A press on a selected row changes nothing until the release, and the
    // notification waits for the release too.
    tree->changes.clear();
    Press(*tree, RowPoint(4));
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{3, 4, 5}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(tree->changes.empty());
    Release(*tree, RowPoint(4));
    EXPECT_TRUE(tree->changes.empty()); // posted, not sent
    QCoreApplication::processEvents();
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{4}));
    ASSERT_EQ(tree->changes.size(), 1u);
    EXPECT_EQ(tree->changes[0].row, 4);

    // Ctrl on a selected row deselects it on release; the current row is
    // then none.
    Click(*tree, RowPoint(6), Qt::ControlModifier);
    tree->changes.clear();
    Click(*tree, RowPoint(6), Qt::ControlModifier);
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{4}));
    ASSERT_EQ(tree->changes.size(), 1u);
    EXPECT_EQ(tree->changes[0].row, -1);
    EXPECT_EQ(tree->changes[0].node, nullptr);

    // Presses below the last row are ignored.
    tree->changes.clear();
    Click(*tree, QPoint(100, tree->viewport()->height() - 1));
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{4}));
    EXPECT_TRUE(tree->changes.empty());
}

TEST_F(TreeList, SingleSelectionByMouseAndKeys)
{
    Make(0);
    for (int i = 0; i < 40; ++i)
        tree->InsertChild(nullptr, Info(std::to_string(100 + i)));
    tree->RebuildRows();
    int notified = 0;
    QObject::connect(tree.get(), &CSelListBox::SelChange, [&] { ++notified; });

    // The row becomes current at the press; the parent hears of it after
    // the release.
    Press(*tree, RowPoint(2));
    EXPECT_EQ(tree->GetCurSel(), 2);
    Release(*tree, RowPoint(2));
    EXPECT_EQ(notified, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(tree->GetSelCount(), 1);

    // Keys tell at once.
    QTest::keyClick(tree.get(), Qt::Key_Down);
    EXPECT_EQ(tree->GetCurSel(), 3);
    EXPECT_EQ(notified, 2);
    QTest::keyClick(tree.get(), Qt::Key_End);
    EXPECT_EQ(tree->GetTopIndex(), 30);
    QTest::keyClick(tree.get(), Qt::Key_Home);
    QTest::keyClick(tree.get(), Qt::Key_Up); // already first: no news
    EXPECT_EQ(notified, 4);
    ASSERT_EQ(tree->changes.size(), 4u);
    EXPECT_EQ(tree->changes.back().row, 0);

    // Rows inserted before the current row move it along.
    CTreeListItem* first = tree->NodeOfRow(0);
    tree->SetCurSel(5);
    tree->CollapseInPlace(first, true); // no children: nothing removed
    EXPECT_EQ(tree->GetCurSel(), 5);
    EXPECT_EQ(tree->InsertString(0, "x"), 0);
    EXPECT_EQ(tree->GetCurSel(), 6);
    tree->DeleteString(6);
    EXPECT_EQ(tree->GetCurSel(), -1);
    EXPECT_EQ(tree->GetSelCount(), 0);
    EXPECT_EQ(tree->SetCurSel(1000), CSelListBox::LB_ERR);
    EXPECT_EQ(tree->GetCurSel(), -1);
}

TEST_F(TreeList, DeletingASubtreeWithoutItsRowsLeavesNoDanglingRows)
{
    Make(14);
    Sample s = BuildSample(*tree);
    tree->DeleteSubtree(s.comp, false);
    EXPECT_EQ(tree->GetCount(), 8);
    for (int row = 2; row <= 5; ++row)
        EXPECT_EQ(tree->NodeOfRow(row), nullptr) << row;
    EXPECT_EQ(tree->NodeOfRow(6), s.rec);
    tree->viewport()->grab(); // rows without a node draw nothing
    tree->RebuildRows();
    EXPECT_EQ(RowTexts(*tree), (std::vector<std::string>{"NetNews", "fj", "rec", "japan"}));
}

TEST_F(TreeList, BoxColumnAndKeysExpandAndCollapse)
{
    Make(14);
    Sample s = BuildSample(*tree);
    const int w = tree->ImageWidth();
    // fj is row 1 at depth 1: presses at or left of x = w are ignored.
    Click(*tree, RowPoint(1, w));
    EXPECT_EQ(tree->GetSelCount(), 0);
    EXPECT_TRUE(tree->changes.empty());
    // A press on the box selects the row and toggles the node.
    Click(*tree, RowPoint(1, w + w / 2));
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.fj->IsExpanded());
    EXPECT_EQ(RowTexts(*tree), (std::vector<std::string>{"NetNews", "fj", "japan"}));
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{1}));
    Click(*tree, RowPoint(1, w + w / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(tree->GetCount(), 8);
    // A press on a leaf's box column only selects.
    Click(*tree, RowPoint(7, w + w / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{7}));

    // Keys act on the one selected row.
    tree->SetSel(-1, false);
    tree->SetSel(2, true); // comp
    QTest::keyClick(tree.get(), Qt::Key_Left);
    EXPECT_FALSE(s.comp->IsExpanded());
    EXPECT_EQ(tree->GetCount(), 5);
    QTest::keyClick(tree.get(), '+');
    EXPECT_TRUE(s.comp->IsExpanded());
    EXPECT_EQ(tree->GetCount(), 8);
    // Right on an expanded node moves down like the list box does.
    QTest::keyClick(tree.get(), Qt::Key_Right);
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{3}));
    // With two rows selected, characters are swallowed.
    tree->SetSel(2, true);
    QTest::keyClick(tree.get(), '-');
    EXPECT_EQ(tree->GetCount(), 8);
    EXPECT_EQ(tree->GetSelCount(), 2);

    // First-letter search moves to the next row starting with the letter.
    tree->SetSel(-1, false);
    tree->SetSel(0, true);
    QTest::keyClick(tree.get(), 'J');
    EXPECT_EQ(tree->GetSelItems(), (std::vector<int>{7}));
}

// ------------------------------------------------------------ drawing

TEST(TreeListText, EllipsisCutKeepsWholeDoubleByteCharacters)
{
    // Width of a prefix = its byte count: the limit falls inside "あ".
    auto bytes = [](std::string_view s) { return int(s.size()); };
    const std::string text = "ab" + Sjis(u"あい") + "c";
    // Half-width katakana is one byte; a trail byte that looks like ASCII
    // ("ソ" is 83 5C) is not cut off from its lead byte; a lone lead byte at
    // the end counts as one character.
    const std::string kana = Sjis(u"ｱｲソ表");
    const struct { std::string text; int limit; std::size_t keep; } rows[] = {
        {text, 3, 2}, {text, 4, 4}, {text, 5, 4}, {text, 100, text.size()}, {text, -4, 0},
        {kana, 3, 2}, {kana, 5, 4}, {"x\x82", 2, 2},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CTreeListBox::FitSjisPrefix(r.text, r.limit, bytes), r.keep) << r.text << " " << r.limit;

    // With real glyph widths every cut decodes cleanly.
    const QFontMetrics fm(QFont(QStringLiteral("IPAGothic"), 10));
    auto glyphs = [&fm](std::string_view s) { return fm.horizontalAdvance(widgets::FromSjis(s)); };
    const std::string mixed = Sjis(u"漢字かなｶﾅmixed表示ソフト");
    for (int limit = 0; limit < glyphs(mixed) + 5; ++limit) {
        const std::size_t keep = CTreeListBox::FitSjisPrefix(mixed, limit, glyphs);
        const QString shown = widgets::FromSjis(std::string_view(mixed).substr(0, keep));
        EXPECT_FALSE(shown.contains(QChar::ReplacementCharacter)) << limit;
        EXPECT_LE(fm.horizontalAdvance(shown), limit);
        EXPECT_EQ(widgets::ToSjis(shown), mixed.substr(0, keep));
    }
}

// ------------------------------------------------------------ column header

class Header : public CColumnHeader {
public:
    using CColumnHeader::CColumnHeader;
    int widthChanges = 0;
    std::vector<int> clicks;
    void OnColumnWidthsChanged() override { ++widthChanges; }
    void OnColumnClick(int column) override { clicks.push_back(column); }
};

struct HeaderFixture : ::testing::Test {
    void SetUp() override
    {
        host.resize(400, 200);
        header = new Header(&host);
        ASSERT_TRUE(header->Create(&host, 111, 3));
        header->setGeometry(0, 0, 400, 20);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
    void HeaderMouse(QEvent::Type type, int x, Qt::MouseButtons buttons)
    {
        Mouse(header, type, QPoint(x, 5), Qt::LeftButton, buttons);
    }
    QWidget host;
    Header* header = nullptr;
};

} // namespace
