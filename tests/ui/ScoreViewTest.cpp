// Scores in the article list: the column, its colours and sorting, killed
// articles hidden and shown again, the kill and watch commands, the rule
// editor and the 書式 page's score colours.
#include "dialogs/ConfigSheet.h"
#include "dialogs/ScoreDialogs.h"
#include "news/LumeDoc.h"
#include "news/ScoreBook.h"
#include "platform/CommandIds.h"
#include "ui/CArticleView.h"
#include "widgets/SjisText.h"
#include "widgets/TreeListImages.h"

#include "WindowFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

#include <gtest/gtest.h>

using namespace news;
using namespace ui;
using namespace widgets;

namespace cmd = platform::cmd;

namespace {

// With LUMETRA_SCREENSHOT_DIR set, what the tests built is kept as PNG files to look at.
void Keep(QWidget& widget, const char* name)
{
    if (const char* dir = std::getenv("LUMETRA_SCREENSHOT_DIR"))
        widget.grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// Against INN: fj.test with a score file that kills 鈴木's articles and
// raises "その1".
class ScorePane : public uitest::WindowFixture {
protected:
    void SetUp() override
    {
        if (!inn_.Known())
            GTEST_SKIP() << "set LUMETRA_TEST_NNTP_HOST and LUMETRA_TEST_NNTP_PORT (scripts/inn-server.sh)";
        scoreFile_ = dir_ / "score";
        testutil::WriteFile(scoreFile_, "[fj.test]\nScore: =-9999\nFrom: 鈴木\n\nScore: 50\nSubject: その1$\n");
        registry_->WriteString(ScoreSettings::kSection, "strFile", scoreFile_.string());
        config_ = uitest::WriteConfig(dir_ / "test.lum", inn_.host, inn_.port, 100, "nTcpWaitSec=10\n");
        ASSERT_TRUE(Doc().OnOpenDocument(config_));
        view_ = std::make_unique<CArticleView>(Doc(), *registry_, dialogs_, nullptr);
        view_->resize(720, 360);
        document_->Host().SetConnectStep([this](const std::string& s, int p) { return view_->ConnectServer(s, p); });
        ASSERT_TRUE(Doc().GoOnline(config_));
        Doc().SetCurrentGroup(Doc().Groups().Find("fj.test"));
        Doc().UpdateAllViews(nullptr, Hint::Group);
        ASSERT_FALSE(Doc().Articles().empty());
    }
    void TearDown() override
    {
        view_.reset();
        document_.reset();
    }
    CArticleListBox& List() { return *view_->List(); }
    // The authors' family names of the rows, in row order.
    std::vector<QString> RowAuthors()
    {
        std::vector<QString> out;
        for (int i = 0; i < List().GetCount(); ++i)
            out.push_back(FromSjis(CArticleListBox::ArticleOf(List().NodeOfRow(i))->m_strFrom).left(2));
        return out;
    }
    int Count(const QString& author)
    {
        int n = 0;
        for (const auto& a : Doc().Articles())
            n += FromSjis(a->m_strFrom).startsWith(author);
        return n;
    }
    int RowOf(const QString& author)
    {
        const auto rows = RowAuthors();
        const auto it = std::find(rows.begin(), rows.end(), author);
        return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
    }

    std::filesystem::path scoreFile_, config_;
    std::unique_ptr<CArticleView> view_;
};

TEST_F(ScorePane, KilledArticlesAreHiddenReadAndShownOnRequest)
{
    const int killed = Count(QStringLiteral("鈴木"));
    ASSERT_GT(killed, 0);
    EXPECT_EQ(RowOf(QStringLiteral("鈴木")), -1);
    for (const auto& a : Doc().Articles()) {
        const bool suzuki = FromSjis(a->m_strFrom).startsWith(QStringLiteral("鈴木"));
        EXPECT_EQ(a->m_bKilled, suzuki);
        if (suzuki) {
            EXPECT_EQ(a->m_nScore, -9999);
            EXPECT_TRUE(Doc().ReadList().IsRead(a->m_nNumber));
        }
        EXPECT_EQ(a->m_nScore == 50, FromSjis(a->m_strSubject).endsWith(QStringLiteral("その1")));
    }
    EXPECT_EQ(List().GetCount(), static_cast<int>(Doc().Articles().size()) - killed);
    Keep(*view_, "score-list");

    ASSERT_TRUE(view_->OnCommand(cmd::ShowKilled));
    EXPECT_TRUE(view_->ShowsKilled());
    EXPECT_EQ(List().GetCount(), static_cast<int>(Doc().Articles().size()));
    const int row = RowOf(QStringLiteral("鈴木"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(List().GetColumnText(List().NodeOfRow(row), CArticleListBox::kScoreColumn), "-9999");
    EXPECT_TRUE(List().RowTextColour(List().NodeOfRow(row)).isValid());
    view_->SetSort(CArticleListBox::kScoreColumn, true);
    EXPECT_EQ(CArticleListBox::ArticleOf(List().NodeOfRow(0))->m_nScore, 50);
    Keep(*view_, "score-list-killed-shown");
    view_->SetSort(CArticleListBox::kThreaded, false);
}

TEST_F(ScorePane, CommandsWriteRulesThatApplyAtOnce)
{
    const int row = RowOf(QStringLiteral("山田"));
    ASSERT_GE(row, 0);
    List().SetCurRow(row);

    // Cancelled: nothing written.
    const std::string before = testutil::ReadFile(scoreFile_);
    EXPECT_TRUE(view_->OnCommand(cmd::IgnoreAuthor));
    EXPECT_EQ(testutil::ReadFile(scoreFile_), before);

    int offered = 0;
    dialogs_.scoreExpiry = [&](int& days) {
        offered = days;
        days = 7;
        return IDOK;
    };
    EXPECT_TRUE(view_->OnCommand(cmd::IgnoreAuthor));
    EXPECT_EQ(offered, 30);
    ASSERT_EQ(dialogs_.scoreRulesAsked.size(), 2);
    EXPECT_TRUE(dialogs_.scoreRulesAsked.back().contains(QStringLiteral("山田")));
    const std::string after = testutil::ReadFile(scoreFile_);
    EXPECT_EQ(after.rfind(before, 0), 0u);
    EXPECT_NE(after.find("From: ^山田 太郎 <yamada@example\\.jp>$"), std::string::npos) << after;
    EXPECT_NE(after.find("Expires: "), std::string::npos);
    EXPECT_EQ(RowOf(QStringLiteral("山田")), -1);
    EXPECT_GT(List().GetCount(), 0); // others' articles stay
    for (const auto& a : Doc().Articles()) {
        if (FromSjis(a->m_strFrom).startsWith(QStringLiteral("山田"))) {
            EXPECT_TRUE(a->m_bKilled && Doc().ReadList().IsRead(a->m_nNumber));
        }
    }

    // The reader's own rules stay; the file still reads without a problem.
    const ScoreRules rules = LoadScoreFile(scoreFile_);
    EXPECT_TRUE(rules.problems.empty()) << DescribeProblems(rules);
    EXPECT_EQ(rules.rules.size(), 3u);
}

TEST_F(ScorePane, WatchedThreadRisesAndTheEditorChangesRules)
{
    ASSERT_TRUE(view_->OnCommand(cmd::ShowKilled));
    const int row = RowOf(QStringLiteral("鈴木"));
    ASSERT_GE(row, 0);
    List().SetCurRow(row);
    const CArticle* reply = CArticleListBox::ArticleOf(List().NodeOfRow(row));
    dialogs_.scoreExpiry = [](int& days) {
        days = 0;
        return IDOK;
    };
    EXPECT_TRUE(view_->OnCommand(cmd::WatchThread));
    EXPECT_EQ(testutil::ReadFile(scoreFile_).find("Expires"), std::string::npos);
    // Its own kill rule still wins with "=".
    EXPECT_EQ(reply->m_nScore, -9999);

    std::vector<const CArticle*> articles;
    for (const auto& a : Doc().Articles())
        articles.push_back(a.get());
    dialogs::ScoreRuleDialog editor(nullptr, Doc().Scores(), "fj.test", articles);
    ASSERT_EQ(editor.Table()->rowCount(), 3);
    EXPECT_EQ(editor.Table()->item(0, 2)->text(), QStringLiteral("鈴木"));
    editor.SetFields(QStringLiteral("fj.test"), QStringLiteral("Subject"), false, QStringLiteral("連番"), -5, 10);
    int numbered = 0;
    for (const auto& a : Doc().Articles())
        numbered += FromSjis(a->m_strSubject).contains(QStringLiteral("連番"));
    ASSERT_GT(numbered, 0);
    EXPECT_EQ(editor.TestRule(), numbered);
    editor.SetFields(QStringLiteral("fj.test"), QStringLiteral("Subject"), false, QStringLiteral("(連番"), -5, 10);
    EXPECT_EQ(editor.TestRule(), -1);
    EXPECT_TRUE(editor.Result()->text().contains(QStringLiteral("エラー")));
    EXPECT_FALSE(editor.AddRule());

    // Change the kill rule into a small penalty, then delete the watch rule.
    editor.Table()->setCurrentCell(0, 0);
    editor.SetFields(QStringLiteral("fj.test"), QStringLiteral("From"), false, QStringLiteral("鈴木"), -3, -1);
    ASSERT_TRUE(editor.ChangeRule()) << editor.Result()->text().toStdString();
    ASSERT_EQ(editor.Table()->rowCount(), 3);
    Keep(editor, "score-editor");
    editor.Table()->setCurrentCell(1, 0);
    ASSERT_TRUE(editor.DeleteRule()) << editor.Result()->text().toStdString();
    EXPECT_EQ(editor.Table()->rowCount(), 2);
    Doc().RescoreArticles();
    EXPECT_EQ(reply->m_nScore, -3);
    EXPECT_FALSE(reply->m_bKilled);

    // An offered rule, chosen here, is kept in the settings and applies.
    editor.OfferedNumber(3)->setValue(2);
    editor.Offered(3)->setChecked(true);
    EXPECT_EQ(ScoreSettings::Read(*registry_).offered.floodPerDay, 2);
    EXPECT_TRUE(ScoreSettings::Read(*registry_).offered.floods);
    Doc().RescoreArticles();
    EXPECT_TRUE(reply->m_bKilled); // 鈴木 posted three articles on its day
}

TEST(ScoreColours, FormatPageKeepsThemBesideTheBodyColours)
{
    ScriptedDialogs dialogs;
    dialogs::CConfigFormatPage page(dialogs, nullptr);
    SettingsValues values;
    values.scoreColours[1] = 0x00FF0000; // blue as 0x00BBGGRR
    page.Fill(values);
    dialogs.colour = [](const QColor&) { return QColor(0x10, 0x20, 0x30); };
    page.ChooseColour(5);
    SettingsValues out;
    page.Take(out);
    EXPECT_EQ(out.scoreColours[0], 0x00302010u);
    EXPECT_EQ(out.scoreColours[1], 0x00FF0000u);
    EXPECT_TRUE(out.colours[0].has_value());
    page.resize(460, 360);
    Keep(page, "score-colours");
}

} // namespace
