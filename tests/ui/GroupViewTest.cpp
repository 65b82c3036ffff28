// The group pane against a small scripted news server (and a real INN when
// LUMETRA_TEST_NNTP_HOST/PORT are set).

#include "app/LumeApp.h"
#include "app/PaneFactory.h"
#include "ui/CGroupTreeBox.h"
#include "ui/CGroupView.h"
#include "platform/CommandIds.h"
#include "dialogs/GroupDialogs.h"

#include "WindowFixture.h"
#include "ui/MainFrame.h"
#include "widgets/SjisText.h"
#include "WaitFor.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <thread>

using namespace widgets;
using namespace dialogs;

using namespace news;

namespace cmd = platform::cmd;

using namespace ui;

namespace {

// Answers LIST and GROUP from a table; records the commands.
class ScriptedServer {
public:
    struct Group {
        int first, last;
    };
    explicit ScriptedServer(std::map<std::string, Group> groups) : groups_(std::move(groups))
    {
        int fds[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        client_ = fds[0];
        server_ = fds[1];
        thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedServer()
    {
        ::shutdown(server_, SHUT_RDWR);
        thread_.join();
        ::close(server_);
    }
    int TakeClient() { return std::exchange(client_, -1); }
    std::vector<std::string> Commands()
    {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        commands_.clear();
    }

private:
    void Send(const std::string& s) { (void)!::write(server_, s.data(), s.size()); }
    void Run()
    {
        Send("200 scripted ready\r\n");
        std::string buffer;
        char chunk[512];
        for (;;) {
            const ssize_t n = ::read(server_, chunk, sizeof chunk);
            if (n <= 0)
                return;
            buffer.append(chunk, std::size_t(n));
            std::size_t eol;
            while ((eol = buffer.find("\r\n")) != std::string::npos) {
                const std::string line = buffer.substr(0, eol);
                buffer.erase(0, eol + 2);
                {
                    std::lock_guard lock(mutex_);
                    commands_.push_back(line);
                }
                if (line == "LIST") {
                    std::string out = "215 list follows\r\n";
                    for (auto& [name, g] : groups_)
                        out += name + " " + std::to_string(g.last) + " " + std::to_string(g.first) + " y\r\n";
                    Send(out + ".\r\n");
                } else if (line.rfind("GROUP ", 0) == 0) {
                    auto it = groups_.find(line.substr(6));
                    if (it == groups_.end())
                        Send("411 no such group\r\n");
                    else
                        Send("211 " + std::to_string(it->second.last - it->second.first + 1) + " " +
                             std::to_string(it->second.first) + " " + std::to_string(it->second.last) + " " +
                             it->first + "\r\n");
                } else if (line == "QUIT") {
                    Send("205 bye\r\n");
                    return;
                } else {
                    Send("500 what\r\n");
                }
            }
        }
    }
    std::map<std::string, Group> groups_;
    int client_ = -1, server_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> commands_;
};

struct Recorder : DocumentView {
    void OnUpdate(DocumentView* sender, news::Hint hint) override { hints.push_back({sender, hint}); }
    std::vector<std::pair<DocumentView*, news::Hint>> hints;
    bool Saw(news::Hint hint) const
    {
        for (auto& h : hints)
            if (h.second == hint)
                return true;
        return false;
    }
};

const std::map<std::string, ScriptedServer::Group> kGroups = {
    {"fj.comp", {1, 10}},        {"fj.comp.lang.c", {1, 5}}, {"fj.comp.os", {3, 9}},
    {"fj.test", {1, 2}},         {"local.japanese", {1, 4}}, {"local.test", {1, 0}},
};

class GroupViewTest : public uitest::WindowFixture {
protected:
    void SetUp() override
    {
        view_ = std::make_unique<CGroupView>(Doc(), *registry_, dialogs_, nullptr);
        view_->resize(240, 400);
        Doc().AddView(&recorder_);
    }
    void TearDown() override
    {
        Doc().RemoveView(&recorder_);
        if (Doc().IsConnected())
            Doc().GoOffline();
        view_.reset();
        document_.reset();
        server_.reset();
    }

    CGroupTreeBox& Tree() { return view_->Tree(); }

    void GoOnline(std::map<std::string, ScriptedServer::Group> groups)
    {
        server_ = std::make_unique<ScriptedServer>(std::move(groups));
        ASSERT_TRUE(Doc().OnConnected(server_->TakeClient()));
        ASSERT_TRUE(Doc().IsConnected());
    }
    // Row texts with their depth, "  " per level.
    std::vector<std::string> Rows()
    {
        std::vector<std::string> out;
        for (int i = 0; i < Tree().GetCount(); ++i) {
            CTreeListItem* n = Tree().NodeOfRow(i);
            out.push_back(std::string(std::size_t(2 * Tree().Depth(n)), ' ') + Tree().GetColumnText(n, 0));
        }
        return out;
    }
    int RowOf(const std::string& path)
    {
        for (int i = 0; i < Tree().GetCount(); ++i)
            if (view_->FullPath(Tree().NodeOfRow(i)) == path)
                return i;
        return -1;
    }
    void SelectOnly(int row)
    {
        Tree().SetSel(-1, false);
        Tree().SetRowSel(row, true);
    }
    int Images(const std::string& path, int* selected = nullptr)
    {
        int image = -1, sel = -1, expanded = -1;
        Tree().GetNodeImages(Tree().NodeOfRow(RowOf(path)), image, sel, expanded);
        if (selected)
            *selected = sel;
        return image;
    }
    CNewsGroup& Group(const char* name) { return *Doc().Groups().Find(name); }
    // Online with kGroups, every group shown read or not, none new.
    void ShowAll()
    {
        GoOnline(kGroups);
        Doc().Groups().ForEach([](CNewsGroup& g) { g.m_bNew = false; });
        Doc().Config().bShowUnreadGroup = false;
        view_->OnUpdate(nullptr, news::Hint::GroupTree);
    }

    std::unique_ptr<CGroupView> view_;
    std::unique_ptr<ScriptedServer> server_;
    Recorder recorder_;
};

TEST_F(GroupViewTest, OfflineShowsOnlyTheRootAndGoingOnlineBuildsTheSubscribedTree)
{
    view_->OnUpdate(nullptr, news::Hint::GroupTree);
    EXPECT_EQ(Rows(), std::vector<std::string>{"NetNews"});

    Doc().Config().bShowUnreadGroup = false;
    GoOnline(kGroups);
    // Every node expanded, siblings in byte order; fj.comp is both a group
    // and the parent of its subgroups. Unread counts follow the names.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"NetNews", "  fj", "    comp (10)", "      lang", "        c (5)",
                                                 "      os (7)", "    test (2)", "  local", "    japanese (4)",
                                                 "    test"}));
    EXPECT_EQ(CGroupTreeBox::GroupOf(Tree().NodeOfRow(RowOf("fj.comp"))), &Group("fj.comp"));
    EXPECT_EQ(CGroupTreeBox::GroupOf(Tree().NodeOfRow(RowOf("fj"))), nullptr);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{0});
    EXPECT_TRUE(recorder_.Saw(news::Hint::Group)); // the tree told the others after building

    SelectOnly(RowOf("fj.comp.lang.c"));
    EXPECT_EQ(view_->Title().text(), QStringLiteral(" fj.comp.lang.c"));
    Tree().SetRowSel(RowOf("fj.test"), true);
    EXPECT_EQ(view_->Title().text(), QString());

    Doc().ToggleOnline();
    EXPECT_FALSE(Doc().IsConnected());
    EXPECT_EQ(Rows(), std::vector<std::string>{"NetNews"});
}

TEST_F(GroupViewTest, ShowModesAndImagesFollowTheGroupStates)
{
    ShowAll();
    Group("fj.test").m_bSubscribed = false;
    Group("local.test").m_bSubscribed = false;
    Group("fj.comp.os").m_strReadList = "1-9"; // all read
    Doc().Config().bShowAllGroup = false;
    view_->OnUpdate(nullptr, news::Hint::GroupTree);
    EXPECT_EQ(RowOf("fj.test"), -1);
    EXPECT_NE(RowOf("fj.comp.os"), -1);

    int selected = 0;
    EXPECT_EQ(Images("fj.comp.lang.c", &selected), 7);
    EXPECT_EQ(selected, 8);
    EXPECT_EQ(Images("fj.comp.os", &selected), 9);
    // Asked again at each draw: reading the rest changes the image.
    Group("fj.comp.lang.c").m_strReadList = "1-5";
    EXPECT_EQ(Images("fj.comp.lang.c"), 9);
    EXPECT_FALSE(Group("fj.comp.lang.c").m_bHasUnread);

    Doc().Config().bShowUnreadGroup = true;
    view_->OnUpdate(nullptr, news::Hint::GroupTree);
    EXPECT_EQ(RowOf("fj.comp.os"), -1);
    EXPECT_EQ(RowOf("fj.comp.lang.c"), -1);
    EXPECT_NE(RowOf("fj.comp"), -1);

    // Show all: unsubscribed groups use their stored state.
    view_->OnCommand(cmd::ShowAllGroups);
    EXPECT_TRUE(Doc().Config().bShowAllGroup);
    EXPECT_EQ(Images("fj.test"), 11);  // 1..2, nothing read
    EXPECT_EQ(Images("local.test"), 13); // empty range
    Group("fj.comp").m_bNew = true;
    EXPECT_EQ(Images("fj.comp"), 5);
}

TEST_F(GroupViewTest, UnsubscribingSubtreesAsksOnceWithAllFollowing)
{
    ShowAll();
    Doc().Config().bShowAllGroup = false;
    view_->OnUpdate(nullptr, news::Hint::GroupTree);
    int asked = 0;
    QString path;
    dialogs_.subscribe = [&](bool unsubscribe, const QString& p, int& choice) {
        EXPECT_TRUE(unsubscribe);
        EXPECT_EQ(choice, 1); // preset: with subgroups
        ++asked;
        path = p;
        return GroupSubscribeDialog::kAllFollowing;
    };
    SelectOnly(RowOf("fj.comp"));
    Tree().SetRowSel(RowOf("local"), true);
    Tree().SetRowSel(RowOf("fj.test"), true);
    ASSERT_TRUE(view_->OnCommand(cmd::Unsubscribe));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(path, QStringLiteral("fj.comp"));
    for (const char* name : {"fj.comp", "fj.comp.lang.c", "fj.comp.os", "fj.test", "local.japanese", "local.test"})
        EXPECT_FALSE(Group(name).m_bSubscribed) << name;
    // Without show-all they leave the tree.
    EXPECT_EQ(Rows(), std::vector<std::string>{"NetNews"});

    // Subscribing back with "only the selected group" on a parent node.
    view_->OnCommand(cmd::ShowAllGroups);
    dialogs_.subscribe = [&](bool unsubscribe, const QString&, int& choice) {
        EXPECT_FALSE(unsubscribe);
        choice = 0;
        return int(QDialog::Accepted);
    };
    SelectOnly(RowOf("fj.comp"));
    view_->OnCommand(cmd::Subscribe);
    EXPECT_TRUE(Group("fj.comp").m_bSubscribed);
    EXPECT_FALSE(Group("fj.comp.os").m_bSubscribed);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("fj.comp")});

    // Cancel changes nothing for that row; leaves still change.
    dialogs_.subscribe = [](bool, const QString&, int&) { return int(QDialog::Rejected); };
    SelectOnly(RowOf("local"));
    Tree().SetRowSel(RowOf("fj.comp.os"), true);
    view_->OnCommand(cmd::Subscribe);
    EXPECT_FALSE(Group("local.test").m_bSubscribed);
    EXPECT_TRUE(Group("fj.comp.os").m_bSubscribed);
    EXPECT_EQ(Images("fj.test"), 11); // still shown, unsubscribed with unread articles
}

TEST_F(GroupViewTest, FindIgnoresCaseAndOpensCollapsedAncestors)
{
    ShowAll();
    SelectOnly(RowOf("fj"));
    view_->OnCommand(cmd::Collapse);
    SelectOnly(0);
    dialogs_.groupFind = [](QString& text) {
        text = QStringLiteral("OS");
        return GroupFindDialog::kDown;
    };
    view_->OnCommand(cmd::Find);
    EXPECT_EQ(view_->SearchText(), "os");
    const int os = RowOf("fj.comp.os");
    ASSERT_NE(os, -1);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{os});
    EXPECT_TRUE(Tree().NodeOfRow(RowOf("fj"))->IsExpanded());

    // The group's full name is searched, so "comp" matches comp, lang.c, os.
    dialogs_.groupFind = [](QString& text) {
        text = QStringLiteral("COMP");
        return GroupFindDialog::kUp;
    };
    view_->OnCommand(cmd::Find);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("fj.comp.lang.c")});
    view_->OnCommand(cmd::FindPrev);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("fj.comp")});
    view_->OnCommand(cmd::FindPrev); // nothing above: unchanged
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("fj.comp")});
    view_->OnCommand(cmd::FindNext);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("fj.comp.lang.c")});
}

TEST_F(GroupViewTest, OpeningAGroupByKeyAndDoubleClick)
{
    ShowAll();
    recorder_.hints.clear();
    SelectOnly(RowOf("fj.test"));
    QTest::keyClick(&Tree(), Qt::Key_Return);
    EXPECT_EQ(Doc().GetCurrentGroup(), &Group("fj.test"));
    ASSERT_EQ(recorder_.hints.size(), 1u);
    // Told through the document, so that panes listening there hear it too.
    EXPECT_EQ(recorder_.hints[0].second, news::Hint::Group);
    QTest::keyClick(&Tree(), Qt::Key_Space); // already open: nothing
    EXPECT_EQ(recorder_.hints.size(), 1u);

    // A node without a group: the double-click expands or collapses it.
    view_->show();
    const int fj = RowOf("fj");
    SelectOnly(fj);
    const QRect rect = Tree().ItemRect(fj);
    QTest::mouseDClick(Tree().viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_FALSE(Tree().NodeOfRow(RowOf("fj"))->IsExpanded());
    EXPECT_EQ(Doc().GetCurrentGroup(), &Group("fj.test"));
}

TEST_F(GroupViewTest, NextUnreadGroupSkipsReadGroupsAndKeepsTheServerInTheShownGroup)
{
    ShowAll();
    Group("fj.comp.os").m_strReadList = "1-9";
    Group("fj.test").m_strReadList = "1-2";
    view_->OnUpdate(nullptr, news::Hint::GroupTree);
    SelectOnly(RowOf("fj.comp.lang.c"));
    view_->OpenSelectedGroup();
    recorder_.hints.clear();
    server_->Clear();
    view_->OnUpdate(nullptr, news::Hint::NextUnreadGroup);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("local.japanese")});
    EXPECT_EQ(Doc().GetCurrentGroup(), &Group("local.japanese"));
    EXPECT_TRUE(recorder_.Saw(news::Hint::GroupMoved));
    EXPECT_EQ(server_->Commands(),
              (std::vector<std::string>{"GROUP fj.comp.os", "GROUP fj.test", "GROUP local.japanese"}));

    // Nothing later has unread articles: selection and group stay, and the
    // server is sent back to the shown group.
    Group("local.test").m_strReadList = "";
    SelectOnly(RowOf("local.test"));
    Doc().SetCurrentGroup(&Group("local.japanese"));
    server_->Clear();
    recorder_.hints.clear();
    view_->OnUpdate(nullptr, news::Hint::NextUnreadGroup);
    EXPECT_EQ(Tree().GetSelItems(), std::vector<int>{RowOf("local.test")});
    EXPECT_EQ(Doc().GetCurrentGroup(), &Group("local.japanese"));
    EXPECT_FALSE(recorder_.Saw(news::Hint::GroupMoved));
    EXPECT_TRUE(server_->Commands().empty()); // no later group row at all

    SelectOnly(RowOf("local.japanese"));
    server_->Clear();
    view_->OnUpdate(nullptr, news::Hint::NextUnreadGroup);
    EXPECT_EQ(server_->Commands(), (std::vector<std::string>{"GROUP local.test", "GROUP local.japanese"}));
    EXPECT_EQ(Doc().GetCurrentGroup(), &Group("local.japanese"));

    // Upwards from local.japanese finds fj.comp.lang.c (unread, above the read ones).
    server_->Clear();
    view_->OnUpdate(nullptr, news::Hint::PrevUnreadGroup);
    EXPECT_EQ(Doc().GetCurrentGroup(), &Group("fj.comp.lang.c"));
    EXPECT_EQ(server_->Commands().front(), "GROUP fj.test");
}

TEST_F(GroupViewTest, HundredsOfGroupsKeepOneNodePerComponent)
{
    std::map<std::string, ScriptedServer::Group> groups;
    const char* hierarchies[] = {"fj", "japan", "comp", "alt", "tnn"};
    for (int i = 0; i < 300; ++i)
        groups[std::string(hierarchies[i % 5]) + ".sub" + std::to_string(i % 7) + ".topic" + std::to_string(i)] = {1, i % 3};
    groups["fj.sub1"] = {1, 4};
    Doc().Config().bShowUnreadGroup = false;
    GoOnline(groups);
    // root + 5 hierarchies + 35 middles + 300 leaves; fj.sub1 is a node already
    EXPECT_EQ(Tree().GetCount(), 1 + 5 + 35 + 300);
    EXPECT_EQ(CGroupTreeBox::GroupOf(Tree().NodeOfRow(RowOf("fj.sub1"))), &Group("fj.sub1"));
    EXPECT_NE(RowOf("fj.sub3.topic10"), -1);
}

TEST_F(GroupViewTest, OpeningAnotherConfigurationLetsGoOfTheGroupsFirst)
{
    GoOnline(kGroups);
    ASSERT_GT(Tree().GetCount(), 1);
    view_->show();
    // A message during the open repaints the pane after the old table is gone.
    std::vector<int> countsSeen;
    dialogs_.onMessage = [&](const QString&, MessageIcon, bool) {
        countsSeen.push_back(Tree().GetCount());
        Tree().grab();
        return IDOK;
    };
    document_->OnOpenDocument(dir_ / "missing" / "none.lum");
    EXPECT_EQ(Rows(), std::vector<std::string>{"NetNews"});
    for (int count : countsSeen)
        EXPECT_EQ(count, 1);
}

} // namespace
