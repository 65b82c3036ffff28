// Building and painting the tree list with 100 000 rows.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_ui

#include "widgets/CTreeListBox.h"
#include "widgets/TreeListImages.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace widgets;

namespace {

constexpr int kRows = 100000;

TreeListItemInfo Row(int number)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d Re: subject line %d\t12/06\tauthor@example.jp", number, number);
    TreeListItemInfo info;
    info.text = text;
    info.expanded = 1;
    info.image = info.selectedImage = 2;
    info.userValue = std::uintptr_t(number);
    return info;
}

// Orders by the number kept in the user value, as the article list does.
class NumberTree : public CTreeListBox {
public:
    int CompareNodes(const CTreeListItem* a, const CTreeListItem* b) override
    {
        const auto x = a->data_, y = b->data_;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
};

std::unique_ptr<NumberTree> MakeTree()
{
    auto tree = std::make_unique<NumberTree>();
    tree->Create(CTreeListBox::TLS_LINES, IDB_ARTICLE_IMAGES, 5);
    tree->SetColumnCount(3);
    tree->SetColumnWidth(0, 300);
    tree->SetColumnWidth(1, 60);
    tree->SetColumnWidth(2, 200);
    tree->resize(600, 800);
    return tree;
}

// Newest first, the order in which headers arrive.
void BM_BuildRowsNewestFirst(benchmark::State& state)
{
    for (auto _ : state) {
        auto tree = MakeTree();
        for (int i = kRows; i > 0; --i)
            tree->InsertChild(nullptr, Row(i));
        tree->RebuildRows();
        benchmark::DoNotOptimize(tree->GetCount());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_BuildRowsNewestFirst)->Unit(benchmark::kMillisecond);

void BM_BuildRowsOldestFirst(benchmark::State& state)
{
    for (auto _ : state) {
        auto tree = MakeTree();
        for (int i = 1; i <= kRows; ++i)
            tree->InsertChild(nullptr, Row(i));
        tree->RebuildRows();
        benchmark::DoNotOptimize(tree->GetCount());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildRowsOldestFirst)->Unit(benchmark::kMillisecond);

// A group hierarchy of 100 x 100 x 10 leaves under one root, sorted by text.
void BM_BuildGroupTree(benchmark::State& state)
{
    for (auto _ : state) {
        auto tree = std::make_unique<CTreeListBox>();
        tree->Create(14, IDB_GROUP_IMAGES, 15);
        TreeListItemInfo info;
        info.expanded = 1;
        info.text = "NetNews";
        CTreeListItem* root = tree->InsertChild(nullptr, info);
        char name[16];
        for (int a = 0; a < 100; ++a) {
            std::snprintf(name, sizeof name, "h%02d", a);
            info.text = name;
            CTreeListItem* na = tree->InsertChild(root, info);
            for (int b = 0; b < 100; ++b) {
                std::snprintf(name, sizeof name, "s%02d", b);
                info.text = name;
                CTreeListItem* nb = tree->InsertChild(na, info);
                for (int c = 0; c < 10; ++c) {
                    std::snprintf(name, sizeof name, "g%d", c);
                    info.text = name;
                    tree->InsertChild(nb, info);
                }
            }
        }
        tree->RebuildRows();
        benchmark::DoNotOptimize(tree->GetCount());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildGroupTree)->Unit(benchmark::kMillisecond);

// Random order walks the sibling chain for each insert; kept small.
void BM_BuildRowsRandomOrder(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        auto tree = MakeTree();
        unsigned x = 12345;
        for (int i = 0; i < n; ++i) {
            x = x * 1103515245u + 12345u;
            tree->InsertChild(nullptr, Row(int(x % 1000000)));
        }
        tree->RebuildRows();
        benchmark::DoNotOptimize(tree->GetCount());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildRowsRandomOrder)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One full paint of the view: only the rows in view are drawn.
void BM_PaintVisibleRows(benchmark::State& state)
{
    auto tree = MakeTree();
    for (int i = kRows; i > 0; --i)
        tree->InsertChild(nullptr, Row(i));
    tree->RebuildRows();
    tree->SetTopIndex(kRows / 2);
    QImage target(tree->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    tree->ResetDrawnRows();
    long paints = 0;
    for (auto _ : state) {
        tree->viewport()->render(&target);
        ++paints;
    }
    state.counters["rows_per_paint"] = double(tree->DrawnRows()) / double(paints);
    state.counters["visible_rows"] = tree->VisibleRowCount();
}
BENCHMARK(BM_PaintVisibleRows)->Unit(benchmark::kMicrosecond);

// Collapse and expand in place a node with 100 000 children.
void BM_CollapseExpandInPlace(benchmark::State& state)
{
    auto tree = MakeTree();
    TreeListItemInfo info = Row(0);
    CTreeListItem* top = tree->InsertChild(nullptr, info);
    for (int i = 1; i <= kRows; ++i)
        tree->InsertChild(top, Row(i));
    tree->RebuildRows();
    for (auto _ : state) {
        tree->CollapseInPlace(top, true);
        tree->ExpandInPlace(top);
    }
    benchmark::DoNotOptimize(tree->GetCount());
}
BENCHMARK(BM_CollapseExpandInPlace)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
