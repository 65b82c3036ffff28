// The article list pane: threading, the moves, marking read, the search
// across bodies, settings, and the connect step against a real INN.
#include "app/LumeApp.h"
#include "app/PaneFactory.h"
#include "news/LumeDoc.h"
#include "news/MultiPart.h"
#include "../integration/ServerSupport.h"
#include "support/TestFiles.h"
#include "textcodec/Yenc.h"
#include "platform/Registry.h"
#include "dialogs/ArticleDialogs.h"
#include "ui/CArticleView.h"
#include "ui/BodySearch.h"
#include "platform/CommandIds.h"
#include "dialogs/ConnectDialog.h"
#include "widgets/LogFontRecord.h"
#include "host/HostedDocument.h"

#include "WindowFixture.h"
#include "ui/MainFrame.h"
#include "widgets/SjisText.h"
#include "widgets/TreeListImages.h"
#include "WaitFor.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>


#include <algorithm>
#include <tuple>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <memory>
#include <random>

using namespace widgets;
using namespace dialogs;

using namespace news;

namespace cmd = platform::cmd;

using namespace ui;

namespace {

// ---------------------------------------------------------------- threading

struct Threads : ::testing::Test {
    CArticleListBox list;
    CReadList read;
    std::vector<std::unique_ptr<CArticle>> articles;

    void SetUp() override
    {
        list.Create(CTreeListBox::TLS_LINES, IDB_ARTICLE_IMAGES, 5);
        list.SetColumnCount(3);
    }
    CArticle* Add(int n, const std::string& id, const std::string& parent = {}, long long date = 0)
    {
        auto a = std::make_unique<CArticle>();
        a->m_nNumber = n;
        a->m_strMessageID = id;
        // A parent of several identifiers is the References chain.
        a->m_strReferences = parent.find(' ') == std::string::npos ? std::string() : parent;
        a->m_strParentID = CArticle::LastOfChain(parent);
        a->m_strSubject = "s" + std::to_string(n);
        a->m_timeDate = date;
        articles.push_back(std::move(a));
        list.AddArticle(articles.back().get(), read);
        return articles.back().get();
    }
    // "number:depth" of every row.
    std::string Shape()
    {
        list.RebuildRows();
        std::string out;
        for (int i = 0; i < list.GetCount(); ++i) {
            const CTreeListItem* node = list.NodeOfRow(i);
            if (!out.empty())
                out += ' ';
            out += std::to_string(CArticleListBox::ArticleOf(node)->m_nNumber) + ':'
                   + std::to_string(list.Depth(node));
        }
        return out;
    }
};

TEST_F(Threads, ShapesOfTheList)
{
    // Articles as "number id parent" in arrival order, and the rows they make.
    const struct {
        const char* name;
        std::vector<std::tuple<int, const char*, const char*>> add;
        const char* shape;
    } cases[] = {
        {"newest first chain", {{12, "<12@x>", "<11@x>"}, {11, "<11@x>", "<10@x>"}, {10, "<10@x>", ""}},
         "10:0 11:1 12:2"},
        {"replies and top level by number",
         {{13, "<13@x>", "<10@x>"}, {12, "<12@x>", "<10@x>"}, {20, "<20@x>", ""}, {10, "<10@x>", ""}, {5, "<5@x>", ""}},
         "5:0 10:0 12:1 13:1 20:0"},
        {"parent inside a thread, missing parents on top, case matters",
         {{1, "<a@x>", ""}, {2, "<b@x>", "<a@x>"}, {3, "<c@x>", "<b@x>"}, {4, "<d@x>", "<gone@x>"}, {5, "<e@x>", "<B@x>"}},
         "1:0 2:1 3:2 4:0 5:0"},
        {"empty ids never match", {{1, "<a@x>", ""}, {2, "<b@x>", ""}, {3, "", ""}, {4, "<d@x>", ""}},
         "1:0 2:0 3:0 4:0"},
        {"reference loops", {{1, "<a@x>", "<b@x>"}, {2, "<b@x>", "<a@x>"}, {3, "<c@x>", "<c@x>"}}, "2:0 1:1 3:0"},
        {"missing parent: the nearest earlier article of the chain",
         {{1, "<a@x>", ""}, {2, "<b@x>", "<a@x>"}, {4, "<d@x>", "<a@x> <b@x> <gone@x>"}, {5, "<e@x>", "<x@x> <y@x>"}},
         "1:0 2:1 4:2 5:0"},
        {"a nearer parent arriving later takes the reply",
         {{4, "<d@x>", "<a@x> <b@x> <c@x>"}, {1, "<a@x>", ""}, {3, "<c@x>", "<a@x> <b@x>"}}, "1:0 3:1 4:2"},
        {"a farther one arriving later leaves it where it is",
         {{1, "<a@x>", ""}, {3, "<c@x>", "<a@x> <b@x>"}, {4, "<d@x>", "<a@x> <b@x> <c@x>"}, {2, "<b@x>", "<a@x>"},
          {5, "<e@x>", "<a@x> <b@x> <c@x> <gone@x>"}},
         "1:0 2:1 3:2 4:3 5:3"},
        {"duplicate ids: first in tree order",
         {{1, "<a@x>", ""}, {2, "<dup@x>", "<a@x>"}, {3, "<dup@x>", ""}, {4, "<r@x>", "<dup@x>"}},
         "1:0 2:1 4:2 3:0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.Clear();
        for (const auto& [n, id, parent] : c.add)
            Add(n, id, parent);
        EXPECT_EQ(Shape(), c.shape);
    }
}

TEST_F(Threads, ArrivalOrderDoesNotChangeTheTree)
{
    // Threads of random depth with some expired parents (some named alone,
    // some passed over in a whole chain), numbers unrelated to the threads;
    // every arrival order gives the tree of number order.
    const int count = 3000;
    std::mt19937 rng(5);
    std::vector<int> number(count), parent(count, -1);
    for (int i = 0; i < count; ++i) {
        number[i] = i + 1;
        if (i && rng() % 4)
            parent[i] = int(rng() % unsigned(i));
    }
    std::shuffle(number.begin(), number.end(), rng);
    std::vector<int> order(count);
    for (int i = 0; i < count; ++i)
        order[i] = i;
    std::string want;
    for (const int pass : {0, 1, 2, 3}) {
        if (pass == 1)
            std::sort(order.begin(), order.end(), [&](int a, int b) { return number[a] > number[b]; });
        else if (pass)
            std::shuffle(order.begin(), order.end(), rng);
        list.Clear();
        for (int i : order) {
            if (i % 37 == 5)
                continue; // expired
            std::string up = parent[i] < 0 ? "" : i % 50 == 7 ? "<gone@x>" : "<" + std::to_string(parent[i]) + "@x>";
            if (i % 3 == 0)
                for (int a = parent[i] < 0 ? -1 : parent[parent[i]]; a >= 0; a = parent[a])
                    up = "<" + std::to_string(a) + "@x> " + up;
            Add(number[i], "<" + std::to_string(i) + "@x>", up);
        }
        if (pass == 0)
            want = Shape();
        else
            EXPECT_EQ(Shape(), want) << "pass " << pass;
    }
}

TEST_F(Threads, ColumnsShowNumberSubjectDateAndFrom)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    CArticle* a = Add(7, "<7@x>", {}, 0);
    a->m_strSubject = ToSjis(QStringLiteral("日本語の題名"));
    a->m_strFrom = "Yamada <y@example.jp>";
    list.RebuildRows();
    const CTreeListItem* node = list.NodeOfRow(0);
    EXPECT_EQ(FromSjis(list.GetColumnText(node, 0)), QStringLiteral("7 日本語の題名"));
    EXPECT_EQ(list.GetColumnText(node, 2), "Yamada <y@example.jp>");
    // The date is local, either side of midnight UTC; the year shows
    // when it is not the current one.
    const struct { long long date, now; const char* tz; const char* shown; } rows[] = {
        {0, 0, "Asia/Tokyo", "01/01"}, {0, 0, "America/New_York", "12/31"},
        {1700000000, 1700000000, "America/New_York", "11/14"}, {1700000000, 1700000000, "Asia/Tokyo", "11/15"},
        {920592000, 1700000000, "Asia/Tokyo", "1999/03/05"}, {0, 1700000000, "Asia/Tokyo", "1970/01/01"},
    };
    for (const auto& r : rows) {
        a->m_timeDate = r.date;
        setenv("TZ", r.tz, 1);
        tzset();
        EXPECT_EQ(CArticleListBox::DateText(r.date, r.now), r.shown) << r.tz << " " << r.date;
    }
    EXPECT_EQ(list.GetColumnText(node, 1), "1970/01/01");
    EXPECT_EQ(CArticleListBox::FullDate(920592000), "1999/03/05 09:00:00");
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(Threads, AFileInPartsIsOneCollapsedRowCountingItsParts)
{
    // A reply to part 2 stays with it; the other poster's file and the follow-up stay apart.
    const struct { int n; const char* subject; const char* from; const char* parent; } adds[] = {
        {1, "f.bin yEnc (2/4)", "p", ""}, {2, "f.bin yEnc (1/4)", "p", ""}, {3, "talk", "q", ""},
        {4, "f.bin yEnc (4/4)", "p", ""}, {5, "Re: f.bin yEnc (2/4)", "q", "<1@x>"}, {6, "f.bin yEnc (3/4)", "q", ""},
    };
    for (const auto& a : adds) {
        CArticle* article = Add(a.n, "<" + std::to_string(a.n) + "@x>", a.parent);
        article->m_strSubject = a.subject;
        article->m_strFrom = a.from;
    }
    list.GroupParts(GroupPartFiles(articles));
    EXPECT_EQ(Shape(), "2:0 3:0 6:0");
    const CTreeListItem* file = list.NodeOfRow(0);
    EXPECT_EQ(list.GetColumnText(file, 0), "2 f.bin yEnc (3/4)");
    EXPECT_EQ(list.GetColumnText(list.NodeOfRow(2), 0), "6 f.bin yEnc (1/4)");
    EXPECT_EQ(list.PartCount(list.NodeOfRow(1)), nullptr);
    list.Expand(list.NodeOfRow(0));
    EXPECT_EQ(Shape(), "2:0 1:1 5:2 4:1 3:0 6:0");
}

// ---------------------------------------------------------------- against INN

// Records the hints the other panes would get; plays the group pane's part
// for 128/256 and the body pane's for the search.
struct OtherPanes : DocumentView, BodySearch {
    CLumeDoc& doc;
    std::vector<news::Hint> hints;
    std::string nextGroup;
    int loaded = -1;
    int matchAt = -1;
    int switchAt = -1;
    std::string switchTo;
    std::string selected;
    explicit OtherPanes(CLumeDoc& d) : doc(d) { doc.AddView(this); }
    ~OtherPanes() override { doc.RemoveView(this); }
    void OnUpdate(DocumentView*, news::Hint hint) override
    {
        hints.push_back(hint);
        if (hint == Hint::Article) {
            loaded = doc.CurrentArticle();
            if (loaded == switchAt && !switchTo.empty()) {
                // The user picks another group while the body loads.
                doc.SetCurrentGroup(doc.Groups().Find(switchTo));
                doc.UpdateAllViews(this, Hint::GroupMoved);
            }
        }
        if (hint == Hint::NextUnreadGroup && !nextGroup.empty()) {
            doc.SetCurrentGroup(doc.Groups().Find(nextGroup));
            doc.UpdateAllViews(this, Hint::GroupMoved);
        }
    }
    std::string SelectedText() const override { return selected; }
    bool FindText(bool, const std::string&, bool) override { return loaded == matchAt; }
    bool Saw(news::Hint h) const { return std::find(hints.begin(), hints.end(), h) != hints.end(); }
};

class ArticlePane : public uitest::WindowFixture {
protected:
    void SetUp() override
    {
        if (!inn_.Known())
            GTEST_SKIP() << "set LUMETRA_TEST_NNTP_HOST and LUMETRA_TEST_NNTP_PORT (scripts/inn-server.sh)";
        Open();
    }
    void TearDown() override { Close(); }
    void Open()
    {
        config_ = uitest::WriteConfig(dir_ / "test.lum", host_, port_, 100,
                                      "bShowChangeGroupDialog=YES\nnTcpWaitSec=10\nnTcpRetryCount=3\n");
        NewDocument();
        ASSERT_TRUE(doc().OnOpenDocument(config_));
        doc().SetPathName(config_);
        view_ = std::make_unique<CArticleView>(doc(), *registry_, dialogs_, nullptr);
        view_->resize(640, 300);
        others_ = std::make_unique<OtherPanes>(doc());
        view_->SetBodySearch(others_.get());
        document_->Host().SetConnectStep(
            [this](const std::string& s, int p) { return view_->ConnectServer(s, p); });
    }
    void Close()
    {
        others_.reset();
        view_.reset();
        document_.reset();
    }
    CLumeDoc& doc() { return Doc(); }
    CArticleListBox& list() { return *view_->List(); }
    bool Online() { return doc().GoOnline(config_) && doc().IsConnected(); }
    void OpenGroup(const std::string& name, news::Hint hint = news::Hint::Group)
    {
        doc().SetCurrentGroup(doc().Groups().Find(name));
        doc().UpdateAllViews(nullptr, hint);
    }
    int Current() const
    {
        const CArticle* a = CArticleListBox::ArticleOf(view_->List()->NodeOfRow(view_->List()->GetCurSel()));
        return a ? a->m_nNumber : -1;
    }
    int ImageOf(int number)
    {
        for (int i = 0; i < list().GetCount(); ++i)
            if (CArticleListBox::ArticleOf(list().NodeOfRow(i))->m_nNumber == number)
                return list().NodeOfRow(i)->image_;
        return -1;
    }

    std::string host_ = inn_.host ? inn_.host : "127.0.0.1";
    std::string port_ = inn_.port ? inn_.port : "119";
    std::filesystem::path config_;
    std::deque<int>& answers = dialogs_.answers;
    std::unique_ptr<CArticleView> view_;
    std::unique_ptr<OtherPanes> others_;
};

TEST_F(ArticlePane, ConnectStepReadsTheGroupListAndTellsThePanes)
{
    EXPECT_EQ(view_->TitleText(), QString());
    ASSERT_TRUE(Online()) << (messages.empty() ? "" : messages.back().toStdString());
    EXPECT_TRUE(doc().Groups().Find("fj.test"));
    EXPECT_TRUE(doc().IsModified());
    EXPECT_TRUE(others_->Saw(Hint::Online));
    EXPECT_EQ(view_->TitleText(), QStringLiteral("(no articles.)"));
    EXPECT_FALSE(view_->ConnectDialog());
}

TEST_F(ArticlePane, OpeningAGroupThreadsItAndShowsTheFirstUnread)
{
    ASSERT_TRUE(Online());
    OpenGroup("fj.test");
    const CNewsGroup* g = doc().Groups().Find("fj.test");
    ASSERT_TRUE(g);
    EXPECT_EQ(view_->TitleText(), QStringLiteral(" fj.test (%1 articles , %2-%3)")
                                      .arg(doc().Articles().size()).arg(g->m_nFirst).arg(g->m_nLast));
    ASSERT_GE(list().GetCount(), 4);
    // demo-1 <- demo-2 <- demo-3 (References with two entries: the last is the parent).
    for (int row : {0, 1, 2, 3})
        EXPECT_EQ(list().Depth(list().NodeOfRow(row)), row % 3) << row;
    EXPECT_TRUE(FromSjis(list().GetColumnText(list().NodeOfRow(0), 0)).contains(QStringLiteral("ニュースリーダのテスト")));
    // The first article is shown: current, marked read, image 3, hint 2.
    EXPECT_EQ(Current(), doc().CurrentArticle());
    EXPECT_EQ(list().GetCurSel(), 0);
    EXPECT_TRUE(doc().ReadList().IsRead(Current()));
    EXPECT_EQ(list().NodeOfRow(0)->image_, 3);
    EXPECT_EQ(list().NodeOfRow(1)->image_, 2);
    EXPECT_TRUE(others_->Saw(Hint::ListCleared));
    EXPECT_EQ(others_->loaded, Current());
}

TEST_F(ArticlePane, MovesThroughTheGroupAndAskAtTheEnds)
{
    ASSERT_TRUE(Online());
    OpenGroup("fj.test");
    const int count = list().GetCount();
    ASSERT_GT(count, 3);
    // Previous at the first row asks 61219; No keeps everything.
    answers = {IDNO};
    doc().UpdateAllViews(nullptr, Hint::PrevArticle);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.back(), QStringLiteral("記事の先頭です。前のグループに移動しますか？"));
    EXPECT_FALSE(others_->Saw(Hint::PrevUnreadGroup));
    EXPECT_EQ(list().GetCurSel(), 0);

    doc().UpdateAllViews(nullptr, Hint::NextArticle);
    EXPECT_EQ(list().GetCurSel(), 1);
    doc().UpdateAllViews(nullptr, Hint::PrevArticle);
    EXPECT_EQ(list().GetCurSel(), 0);

    // Skip thread goes to the first article of the next thread.
    view_->OnCommand(32818);
    EXPECT_EQ(list().GetCurSel(), 3);
    EXPECT_EQ(list().Depth(list().NodeOfRow(3)), 0);

    // Next unread skips read rows: mark row 4 read behind the pane's back.
    const int n5 = CArticleListBox::ArticleOf(list().NodeOfRow(4))->m_nNumber;
    doc().MarkArticleRead(n5);
    doc().UpdateAllViews(nullptr, Hint::NextUnread);
    EXPECT_EQ(list().GetCurSel(), 5);
    EXPECT_EQ(list().NodeOfRow(4)->image_, 2) << "an image changes only when the pane shows the article";

    // Walk to the end; the question 61218 answered Cancel does nothing.
    while (list().GetCurSel() < count - 1)
        doc().UpdateAllViews(nullptr, Hint::NextUnread);
    answers = {IDCANCEL};
    messages.clear();
    doc().UpdateAllViews(nullptr, Hint::NextUnread);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.back(), QStringLiteral("記事の最後です。次のグループに移動しますか？"));
    EXPECT_FALSE(others_->Saw(Hint::NextUnreadGroup));
    EXPECT_EQ(list().GetCurSel(), count - 1);

    // Yes moves on: the group pane opens the next group, this pane loads it.
    others_->nextGroup = "local.japanese";
    answers = {IDYES};
    doc().UpdateAllViews(nullptr, Hint::NextArticle);
    EXPECT_TRUE(others_->Saw(Hint::NextUnreadGroup));
    EXPECT_EQ(view_->ShownGroup(), doc().Groups().Find("local.japanese"));
    EXPECT_TRUE(view_->TitleText().startsWith(QStringLiteral(" local.japanese (")));
    EXPECT_EQ(list().GetCurSel(), 0);
    EXPECT_EQ(doc().CurrentArticle(), Current());
}

TEST_F(ArticlePane, AllReadGroupShowsTheLastRowAndEmptyGroupMovesOn)
{
    ASSERT_TRUE(Online());
    OpenGroup("fj.test.one");
    if (list().GetCount() != 2)
        GTEST_SKIP() << "fj.test.one holds other articles than the demo's two";
    doc().UpdateAllViews(nullptr, Hint::NextArticle); // both read now
    OpenGroup("local.test");
    OpenGroup("fj.test.one"); // fetched again: another group was shown between
    ASSERT_EQ(list().GetCount(), 2);
    EXPECT_EQ(list().GetCurSel(), 1);
    EXPECT_EQ(list().NodeOfRow(0)->image_, 4);
    EXPECT_EQ(doc().CurrentArticle(), Current());

    // The same group again from the group pane's Next (hint 20): end of list, question.
    answers = {IDNO};
    messages.clear();
    doc().UpdateAllViews(nullptr, Hint::GroupMoved);
    EXPECT_EQ(messages.size(), 1);

    if (doc().Groups().Find("local.empty")) {
        messages.clear();
        OpenGroup("local.empty", Hint::GroupMoved);
        EXPECT_EQ(list().GetCount(), 0);
        EXPECT_TRUE(messages.empty()) << "an empty list moves on without asking";
        EXPECT_TRUE(others_->Saw(Hint::NextUnreadGroup));
    }
}

TEST_F(ArticlePane, MarkReadRangesAndTheirSurvivalInNewsRc)
{
    ASSERT_TRUE(Online());
    OpenGroup("fj.test");
    const int count = list().GetCount();
    // Above the first row: nothing.
    dialogs_.markRead = [](int& r) { r = ArticleMarkReadDialog::AboveSelected; return 1; };
    doc().UpdateAllViews(nullptr, Hint::MarkRead);
    for (int i = 1; i < count; ++i)
        EXPECT_EQ(list().NodeOfRow(i)->image_, 2) << i;
    // The thread of the second row (inside the first thread): rows 0-2.
    list().SetCurRow(1);
    dialogs_.markRead = [](int& r) { EXPECT_EQ(r, ArticleMarkReadDialog::Thread); return 1; };
    doc().UpdateAllViews(nullptr, Hint::MarkRead);
    EXPECT_EQ(list().NodeOfRow(2)->image_, 3);
    EXPECT_EQ(list().NodeOfRow(3)->image_, 2);
    // Above row 6: rows 0-5.
    list().SetCurRow(6);
    dialogs_.markRead = [](int& r) { r = ArticleMarkReadDialog::AboveSelected; return 1; };
    doc().UpdateAllViews(nullptr, Hint::MarkRead);
    EXPECT_EQ(list().NodeOfRow(5)->image_, 3);
    EXPECT_EQ(list().NodeOfRow(6)->image_, 2);
    // Cancel marks nothing.
    dialogs_.markRead = [](int&) { return 2; };
    doc().UpdateAllViews(nullptr, Hint::MarkRead);
    EXPECT_EQ(list().NodeOfRow(6)->image_, 2);
    std::vector<int> unread, read;
    for (int i = 0; i < count; ++i)
        (i < 6 ? read : unread).push_back(CArticleListBox::ArticleOf(list().NodeOfRow(i))->m_nNumber);

    ASSERT_TRUE(doc().OnSaveDocument(config_));
    Close();
    Open();
    ASSERT_TRUE(Online());
    OpenGroup("fj.test");
    ASSERT_EQ(list().GetCount(), count);
    for (int n : read)
        EXPECT_EQ(ImageOf(n), n == Current() ? 3 : 4) << n;
    for (int n : unread)
        EXPECT_TRUE(ImageOf(n) == 2 || n == Current()) << n;
    // The first unread article is the one shown.
    EXPECT_EQ(Current(), CArticleListBox::ArticleOf(list().NodeOfRow(6))->m_nNumber);
    // All of the group.
    dialogs_.markRead = [](int& r) { r = ArticleMarkReadDialog::WholeGroup; return 1; };
    doc().UpdateAllViews(nullptr, Hint::MarkRead);
    for (int n : unread)
        EXPECT_TRUE(doc().ReadList().IsRead(n)) << n;
}

TEST_F(ArticlePane, SearchAcrossBodiesFindsOrRestores)
{
    ASSERT_TRUE(Online());
    OpenGroup("fj.test");
    ASSERT_GT(list().GetCount(), 8);
    const int target = CArticleListBox::ArticleOf(list().NodeOfRow(7))->m_nNumber;
    others_->matchAt = target;
    others_->selected = ToSjis(QStringLiteral("テスト"));
    std::string preset;
    dialogs_.search = [&](ArticleSearchDialog::Request& r) {
        preset = r.text;
        r.text = "needle";
        r.noCase = true;
        r.upwards = false;
        return 1;
    };
    view_->OnCommand(32786);
    EXPECT_EQ(preset, others_->selected);
    EXPECT_EQ(registry_->GetInt("Settings", "bCompareNoCase", 0), 1);
    EXPECT_EQ(view_->SearchText(), "needle");
    EXPECT_EQ(list().GetCurSel(), 7);
    EXPECT_EQ(list().NodeOfRow(7)->image_, 3);
    EXPECT_TRUE(doc().ReadList().IsRead(target));
    EXPECT_TRUE(messages.empty());

    // Downwards from there nothing matches: back to row 7, "見つかりません。".
    others_->matchAt = -5;
    view_->OnCommand(32788);
    EXPECT_EQ(list().GetCurSel(), 7);
    EXPECT_EQ(doc().CurrentArticle(), target);
    EXPECT_EQ(others_->loaded, target);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.back(), QStringLiteral("見つかりません。"));
    // Rows passed over by the search are not marked read.
    EXPECT_EQ(list().NodeOfRow(8)->image_, 2);

    // Upwards to row 2.
    others_->matchAt = CArticleListBox::ArticleOf(list().NodeOfRow(2))->m_nNumber;
    view_->OnCommand(32787);
    EXPECT_EQ(list().GetCurSel(), 2);
}

TEST_F(ArticlePane, GroupChangeDuringTheSearchStopsItAndLoadsTheGroupAfter)
{
    ASSERT_TRUE(Online());
    OpenGroup("fj.test");
    ASSERT_GT(list().GetCount(), 6);
    others_->matchAt = -5;
    others_->switchAt = CArticleListBox::ArticleOf(list().NodeOfRow(4))->m_nNumber;
    others_->switchTo = "local.test";
    dialogs_.search = [](ArticleSearchDialog::Request& r) {
        r.text = "never";
        return 1;
    };
    view_->OnCommand(32786);
    EXPECT_EQ(view_->ShownGroup(), doc().Groups().Find("local.test"));
    EXPECT_TRUE(view_->TitleText().startsWith(QStringLiteral(" local.test (")));
    EXPECT_TRUE(messages.empty()) << "no 'not found' for a search that was broken off";
    EXPECT_EQ(doc().CurrentArticle(), Current());
}

TEST_F(ArticlePane, JoinAndSaveAsksWhereAndWhetherToKeepAnIncompleteFile)
{
    // Parts 1 and 3 of 3, posted backwards.
    const std::string data = testutil::RandomBytes(3000, 5), tag = inttest::Tag();
    inttest::Poster poster({host_, std::stoi(port_)});
    for (unsigned k : {3u, 1u}) {
        textcodec::YencPartInfo info{"j.bin", data.size(), k, 3, (k - 1) * 1000 + 1, 1000};
        ASSERT_TRUE(poster.PostRaw("From: p@example.invalid\r\nNewsgroups: local.test\r\nSubject: " + tag +
                                       " j.bin (" + std::to_string(k) + "/3)\r\n",
                                   textcodec::YencEncode(data.substr((k - 1) * 1000, 1000), info)));
    }
    ASSERT_TRUE(Online());
    OpenGroup("local.test");
    int row = 0;
    while (row < list().GetCount() && list().GetColumnText(list().NodeOfRow(row), 0).find(tag) == std::string::npos)
        ++row;
    ASSERT_LT(row, list().GetCount());
    EXPECT_NE(list().GetColumnText(list().NodeOfRow(row), 0).find(tag + " j.bin (2/3)"), std::string::npos);
    list().SetCurRow(row);
    doc().SetCurrentArticle(CArticleListBox::ArticleOf(list().NodeOfRow(row))->m_nNumber, nullptr);
    // Right opens the row on part 3, Left closes it.
    const int rows = list().GetCount();
    for (const auto& [key, count] : {std::pair{Qt::Key_Right, rows + 1}, std::pair{Qt::Key_Left, rows}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list().viewport(), &press);
        EXPECT_EQ(list().GetCount(), count);
    }
    CmdUI state{cmd::JoinParts};
    ASSERT_TRUE(view_->OnUpdateCommand(state));
    EXPECT_TRUE(state.enabled);

    QString suggested;
    dialogs_.saveFile = [&](const QString& s) {
        suggested = s;
        return QString::fromStdString((dir_ / "j.bin").string());
    };
    for (int keep : {news::IDNO, news::IDYES}) {
        SCOPED_TRACE(keep);
        messages.clear();
        answers = {keep};
        view_->OnCommand(cmd::JoinParts);
        EXPECT_EQ(suggested, QString::fromStdString(tag + " j.bin"));
        ASSERT_GE(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("次のパートがありません: 2"))) << messages[0].toStdString();
        EXPECT_FALSE(std::filesystem::exists(dir_ / "j.bin"));
        EXPECT_EQ(std::filesystem::exists(dir_ / "j.damaged.bin"), keep == news::IDYES);
        EXPECT_EQ(messages.size(), keep == news::IDYES ? 2 : 1);
    }
    std::string want = data;
    std::fill(want.begin() + 1000, want.begin() + 2000, '\0');
    EXPECT_TRUE(testutil::ReadFile(dir_ / "j.damaged.bin") == want);
}

} // namespace
