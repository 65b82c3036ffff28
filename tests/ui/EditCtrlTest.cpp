// Offscreen tests of the edit controls and their context menu.

#include "ui/CEditCtrl.h"
#include "ui/EditContextMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace ui;

void EnsureApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

QString U(const char16_t* text) { return QString::fromUtf16(text); }

struct Item {
    unsigned id = 0; // 0: separator
    QString text;
    bool enabled = false;
};

std::vector<Item> ItemsOf(const QMenu& menu)
{
    std::vector<Item> items;
    for (const QAction* a : menu.actions())
        items.push_back({a->isSeparator() ? 0u : a->data().toUInt(), a->text(), a->isEnabled()});
    return items;
}

bool EnabledIn(const std::vector<Item>& items, unsigned id)
{
    for (const Item& item : items)
        if (item.id == id)
            return item.enabled;
    ADD_FAILURE() << "no item " << id;
    return false;
}

// Replaces the popup for one test: records the items and the position, then
// picks the item with the given id (0: none).
class MenuScript {
public:
    explicit MenuScript(unsigned choose = 0) : choose_(choose)
    {
        SetEditMenuExecHook([this](QMenu& menu, const QPoint& pos) -> QAction* {
            ++shown;
            where = pos;
            items = ItemsOf(menu);
            for (QAction* a : menu.actions())
                if (!a->isSeparator() && a->data().toUInt() == choose_)
                    return a;
            return nullptr;
        });
    }
    ~MenuScript() { SetEditMenuExecHook({}); }
    int shown = 0;
    QPoint where;
    std::vector<Item> items;

private:
    unsigned choose_;
};

class EditCtrlTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
};

TEST_F(EditCtrlTest, MenuItemsInOrderWithStringTableTexts)
{
    EditMenuOwner owner;
    owner.SetExtraCommands({32811, 32816});
    QMenu menu;
    BuildEditContextMenu(menu, owner, {true, false});
    const auto items = ItemsOf(menu);
    const std::vector<unsigned> ids = {57643, 0, 57635, 57634, 57637, 57632, 0, 57642, 0, 32811, 32816};
    ASSERT_EQ(items.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(items[i].id, ids[i]) << i;
    // The string table's entries, cut at their line feed.
    EXPECT_EQ(items[0].text, U(u"直前の操作を元に戻します"));
    EXPECT_EQ(items[2].text, U(u"選択範囲を切り取ります"));
    EXPECT_EQ(items[3].text, U(u"選択範囲をコピーします"));
    EXPECT_EQ(items[4].text, U(u"クリップボードの内容を貼り付けます"));
    EXPECT_EQ(items[5].text, U(u"選択範囲を削除します"));
    EXPECT_EQ(items[7].text, U(u"すべてを選択します"));
    EXPECT_EQ(items[9].text, U(u"選択したURLを開きます"));
    EXPECT_EQ(items[10].text, U(u"本文全体をクリップボードにコピーします"));
    EXPECT_EQ(menu.font().family(), QStringLiteral("IPAGothic"));

    // Without extra commands the menu ends at select all, no dangling separator.
    QMenu plain;
    BuildEditContextMenu(plain, EditMenuOwner(), {false, false});
    ASSERT_EQ(plain.actions().size(), 8);
    EXPECT_EQ(plain.actions().back()->data().toUInt(), 57642u);
}

TEST_F(EditCtrlTest, MenuTextsFromAMenuFoundInSubmenus)
{
    QMenuBar bar;
    QMenu* edit = bar.addMenu(U(u"編集(&E)"));
    QAction* copy = edit->addAction(U(u"コピー(&C)\tCtrl+C"));
    copy->setData(57634u);
    copy->setEnabled(false); // the main menu's state belongs to the active pane
    edit->addSeparator();
    QMenu* sub = edit->addMenu(U(u"その他"));
    QAction* jump = sub->addAction(U(u"選択したURLにジャンプ(&U)"));
    jump->setData(32811u);
    QAction* all = edit->addAction(U(u"すべての範囲を選択(&A)"));
    all->setData(57642u);

    EditMenuOwner owner;
    owner.SetMenuSource(&bar);
    owner.SetExtraCommands({32811});
    QMenu menu;
    BuildEditContextMenu(menu, owner, {true, true});
    const auto items = ItemsOf(menu);
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[3].text, U(u"コピー(&C)\tCtrl+C"));
    EXPECT_TRUE(items[3].enabled);
    EXPECT_EQ(items[7].text, U(u"すべての範囲を選択(&A)"));
    EXPECT_EQ(items[9].text, U(u"選択したURLにジャンプ(&U)"));
    // Commands the menu lacks fall back to the string table.
    EXPECT_EQ(items[0].text, U(u"直前の操作を元に戻します"));
    EXPECT_EQ(items[2].text, U(u"選択範囲を切り取ります"));
    EXPECT_EQ(EditMenuText(57637, &bar), U(u"クリップボードの内容を貼り付けます"));
}

TEST_F(EditCtrlTest, EnablingBySelectionAndReadOnly)
{
    struct Case {
        EditState state;
        bool undo, cut, copy, paste, clear;
    };
    const Case cases[] = {
        {{false, false}, true, false, false, true, false},
        {{true, false}, true, true, true, true, true},
        {{false, true}, false, false, false, false, false},
        {{true, true}, false, false, true, false, false},
    };
    for (const Case& c : cases) {
        EditMenuOwner owner;
        owner.SetExtraCommands({32811});
        QMenu menu;
        BuildEditContextMenu(menu, owner, c.state);
        const auto items = ItemsOf(menu);
        SCOPED_TRACE(testing::Message() << "selection " << c.state.hasSelection << " read-only " << c.state.readOnly);
        EXPECT_EQ(EnabledIn(items, 57643), c.undo);
        EXPECT_EQ(EnabledIn(items, 57635), c.cut);
        EXPECT_EQ(EnabledIn(items, 57634), c.copy);
        EXPECT_EQ(EnabledIn(items, 57637), c.paste);
        EXPECT_EQ(EnabledIn(items, 57632), c.clear);
        EXPECT_TRUE(EnabledIn(items, 57642));
        EXPECT_TRUE(EnabledIn(items, 32811));
    }
}

TEST_F(EditCtrlTest, RightClickOpensMenuOnlyWithTargetAndSendsChoice)
{
    QWidget window;
    auto* edit = new CEditCtrl(&window);
    edit->setText(U(u"ニュースグループ"));
    edit->setGeometry(10, 10, 200, 24);
    window.resize(240, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    {
        MenuScript script(57642);
        QTest::mouseClick(edit, Qt::RightButton, {}, QPoint(30, 8));
        EXPECT_EQ(script.shown, 0) << "no target, no menu";
    }

    std::vector<unsigned> received;
    edit->SetCommandTarget([&](unsigned id) { received.push_back(id); });
    edit->setSelection(0, 3);
    {
        MenuScript script(57634);
        QTest::mouseClick(edit, Qt::RightButton, {}, QPoint(30, 8));
        ASSERT_EQ(script.shown, 1);
        EXPECT_EQ(script.where, edit->mapToGlobal(QPoint(30, 8)));
        EXPECT_TRUE(EnabledIn(script.items, 57635));
    }
    ASSERT_EQ(received, std::vector<unsigned>{57634});
    // The right button neither moves the caret nor drops the selection.
    EXPECT_EQ(edit->selectedText(), U(u"ニュー"));

    // A disabled item is never delivered.
    edit->deselect();
    {
        MenuScript script(57635);
        QTest::mouseClick(edit, Qt::RightButton, {}, QPoint(30, 8));
        EXPECT_FALSE(EnabledIn(script.items, 57635));
    }
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(EditCtrlTest, ReadOnlyBodyOffersCopySelectAllAndTheOwnersCommand)
{
    QWidget window;
    auto* body = new CMultiEditCtrl(&window);
    body->setReadOnly(true);
    body->setPlainText(U(u"本文です。\nhttp://www.example.jp/ を見てください。"));
    body->setGeometry(0, 0, 300, 120);
    window.resize(300, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    std::vector<unsigned> received;
    body->SetExtraCommands({32811});
    body->SetCommandTarget([&](unsigned id) { received.push_back(id); });
    QTextCursor cursor = body->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(28, QTextCursor::KeepAnchor);
    body->setTextCursor(cursor);

    MenuScript script(32811);
    QTest::mouseClick(body->viewport(), Qt::RightButton, {}, QPoint(40, 30));
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(script.where, body->viewport()->mapToGlobal(QPoint(40, 30)));
    EXPECT_FALSE(EnabledIn(script.items, 57643));
    EXPECT_FALSE(EnabledIn(script.items, 57635));
    EXPECT_TRUE(EnabledIn(script.items, 57634));
    EXPECT_FALSE(EnabledIn(script.items, 57637));
    EXPECT_FALSE(EnabledIn(script.items, 57632));
    EXPECT_TRUE(EnabledIn(script.items, 57642));
    EXPECT_TRUE(EnabledIn(script.items, 32811));
    EXPECT_EQ(received, std::vector<unsigned>{32811});
    EXPECT_EQ(body->textCursor().selectedText(), U(u"http://www.example.jp/"));
}

// The standard commands on each kind of control, through the same entry point.
template <class Edit>
void CheckCommands(Edit& edit, const std::function<void(int, int)>& select, const std::function<QString()> text)
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("X"));
    select(2, 5); // "テキス"
    EXPECT_TRUE(RunEditCommand(&edit, editcmd::Copy));
    EXPECT_EQ(clipboard->text(), U(u"テキス"));
    EXPECT_EQ(text(), U(u"日本テキスト"));

    EXPECT_TRUE(RunEditCommand(&edit, editcmd::Cut));
    EXPECT_EQ(text(), U(u"日本ト"));
    EXPECT_EQ(clipboard->text(), U(u"テキス"));

    EXPECT_TRUE(RunEditCommand(&edit, editcmd::Undo));
    EXPECT_EQ(text(), U(u"日本テキスト"));

    select(0, 2);
    clipboard->setText(U(u"英語"));
    EXPECT_TRUE(RunEditCommand(&edit, editcmd::Paste));
    EXPECT_EQ(text(), U(u"英語テキスト"));

    // Delete leaves the clipboard alone and needs a selection.
    select(2, 4);
    EXPECT_TRUE(RunEditCommand(&edit, editcmd::Clear));
    EXPECT_EQ(text(), U(u"英語スト"));
    EXPECT_EQ(clipboard->text(), U(u"英語"));
    select(1, 1);
    EXPECT_FALSE(RunEditCommand(&edit, editcmd::Clear));
    EXPECT_EQ(text(), U(u"英語スト"));

    EXPECT_TRUE(RunEditCommand(&edit, editcmd::SelectAll));
    EXPECT_TRUE(EditStateOf(&edit).hasSelection);
    EXPECT_FALSE(RunEditCommand(&edit, 32811)) << "not an editing command";

    // Read-only: only copy and select all act.
    edit.setReadOnly(true);
    select(0, 2);
    EXPECT_FALSE(RunEditCommand(&edit, editcmd::Cut));
    EXPECT_FALSE(RunEditCommand(&edit, editcmd::Clear));
    EXPECT_FALSE(RunEditCommand(&edit, editcmd::Paste));
    EXPECT_FALSE(RunEditCommand(&edit, editcmd::Undo));
    EXPECT_EQ(text(), U(u"英語スト"));
    EXPECT_TRUE(RunEditCommand(&edit, editcmd::Copy));
    EXPECT_EQ(clipboard->text(), U(u"英語"));
}

template <class Edit>
void CheckTextEditCommands(Edit& edit)
{
    edit.setPlainText(U(u"日本テキスト"));
    CheckCommands(
        edit,
        [&](int a, int b) {
            QTextCursor c = edit.textCursor();
            c.setPosition(a);
            c.setPosition(b, QTextCursor::KeepAnchor);
            edit.setTextCursor(c);
        },
        [&] { return edit.toPlainText(); });
}

TEST_F(EditCtrlTest, StandardCommandsOnEveryKindOfControl)
{
    {
        SCOPED_TRACE("single-line");
        CEditCtrl edit;
        edit.setText(U(u"日本テキスト"));
        CheckCommands(edit, [&](int a, int b) { edit.setSelection(a, b - a); }, [&] { return edit.text(); });
    }
    {
        SCOPED_TRACE("rich multi-line");
        CMultiEditCtrl edit;
        CheckTextEditCommands(edit);
    }
    {
        SCOPED_TRACE("plain multi-line");
        CPlainEditCtrl edit;
        CheckTextEditCommands(edit);
    }
}

class FocusWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        first = new QLineEdit(window.get());
        field = new CEditCtrl(window.get());
        body = new CPlainEditCtrl(window.get());
        last = new QLineEdit(window.get());
        layout->addWidget(first);
        layout->addWidget(field);
        layout->addWidget(body);
        layout->addWidget(last);
        window->resize(320, 240);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    std::unique_ptr<QWidget> window;
    QLineEdit* first = nullptr;
    CEditCtrl* field = nullptr;
    CPlainEditCtrl* body = nullptr;
    QLineEdit* last = nullptr;
};

TEST_F(FocusWindow, TabbingAwayAndBackRestoresTheSelection)
{
    field->setText(U(u"件名：日本語のテスト"));
    field->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(field->hasFocus());
    field->setSelection(3, 3);
    ASSERT_EQ(field->selectedText(), U(u"日本語"));

    first->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(first, Qt::Key_Tab);
    ASSERT_TRUE(field->hasFocus());
    EXPECT_EQ(field->selectedText(), U(u"日本語")) << "not the whole text a tab-in would select";
    EXPECT_EQ(field->cursorPosition(), 6);

    // A caret without selection is kept as well.
    field->setCursorPosition(8);
    field->deselect();
    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_FALSE(field->hasFocus());
    EXPECT_EQ(field->SavedSelectionStart(), 8);
    EXPECT_EQ(field->SavedSelectionEnd(), 8);
    first->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(first, Qt::Key_Tab);
    ASSERT_TRUE(field->hasFocus());
    EXPECT_FALSE(field->hasSelectedText());
    EXPECT_EQ(field->cursorPosition(), 8);
}

TEST_F(FocusWindow, ClickingIntoTheFieldPlacesTheCaretInstead)
{
    field->setText(U(u"題名の入力欄です"));
    field->setFocus(Qt::OtherFocusReason);
    field->setSelection(0, 2);
    first->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(field->SavedSelectionStart(), 0);
    ASSERT_EQ(field->SavedSelectionEnd(), 2);

    const QPoint at(field->width() - 4, field->height() / 2);
    QTest::mouseClick(field, Qt::LeftButton, {}, at);
    ASSERT_TRUE(field->hasFocus());
    EXPECT_FALSE(field->hasSelectedText());
    EXPECT_EQ(field->cursorPosition(), field->text().size());
    EXPECT_EQ(field->SavedSelectionStart(), -1);
}

TEST_F(FocusWindow, TabKeys)
{
    // Multi-line: Tab replaces the selection with a TAB and keeps the focus.
    body->setPlainText(U(u"本文の行"));
    body->setFocus(Qt::OtherFocusReason);
    QTextCursor c = body->textCursor();
    c.setPosition(2);
    c.setPosition(3, QTextCursor::KeepAnchor);
    body->setTextCursor(c);
    QTest::keyClick(body, Qt::Key_Tab);
    EXPECT_EQ(body->toPlainText(), U(u"本文\t行"));
    EXPECT_TRUE(body->hasFocus());
    QTest::keyClick(body, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(body->toPlainText(), U(u"本文\t\t行"));
    EXPECT_TRUE(body->hasFocus());

    // Read-only: no TAB goes in; Shift+Tab stays in the control.
    body->setReadOnly(true);
    QTest::keyClick(body, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(body->toPlainText(), U(u"本文\t\t行"));
    EXPECT_TRUE(body->hasFocus());
    QTest::keyClick(body, Qt::Key_Tab);
    EXPECT_EQ(body->toPlainText(), U(u"本文\t\t行"));

    // Single-line: Tab moves on, Shift+Tab types a TAB and stays.
    field->setText(U(u"あいう"));
    field->setFocus(Qt::OtherFocusReason);
    field->setCursorPosition(1);
    QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(field->text(), U(u"あ\tいう"));
    EXPECT_TRUE(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_TRUE(body->hasFocus());
    EXPECT_EQ(field->text(), U(u"あ\tいう"));

    field->setReadOnly(true);
    field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(field->text(), U(u"あ\tいう"));
    EXPECT_TRUE(field->hasFocus());
}

TEST_F(FocusWindow, EditableBodyTakesTabBeforeAWindowShortcut)
{
    int fired = 0;
    auto* nextPane = new QAction(window.get());
    nextPane->setShortcut(QKeySequence(Qt::Key_Tab));
    nextPane->setShortcutContext(Qt::WindowShortcut);
    window->addAction(nextPane);
    QObject::connect(nextPane, &QAction::triggered, [&] { ++fired; });

    body->setPlainText(QStringLiteral("abc"));
    body->setFocus(Qt::OtherFocusReason);
    body->moveCursor(QTextCursor::End);
    QTest::keyClick(body, Qt::Key_Tab);
    EXPECT_EQ(body->toPlainText(), QStringLiteral("abc\t"));
    EXPECT_EQ(fired, 0);

    // A read-only body leaves Tab to the window (the next pane command).
    body->setReadOnly(true);
    QTest::keyClick(body, Qt::Key_Tab);
    EXPECT_EQ(body->toPlainText(), QStringLiteral("abc\t"));
    EXPECT_EQ(fired, 1);
}

// A picture of the menu and a body for looking at by eye; written only when
// LUMETRA_SCREENSHOT_DIR names a folder.
TEST_F(EditCtrlTest, PictureOfMenuAndControl)
{
    QMenuBar bar;
    QMenu* edit = bar.addMenu(U(u"編集(&E)"));
    for (auto [id, text] : {std::pair{57634u, u"コピー(&C)\tCtrl+C"}, {57642u, u"すべての範囲を選択(&A)"},
                            {32811u, u"選択したURLにジャンプ(&U)"}})
        edit->addAction(U(text))->setData(id);

    CMultiEditCtrl body;
    body.setReadOnly(true);
    body.SetMenuSource(&bar);
    body.SetExtraCommands({32811});
    body.setPlainText(U(u"fj.test の皆さん、こんにちは。\n詳しくは http://www.example.jp/ をご覧ください。\n"
                        u"全角ＡＢＣと半角ｶﾀｶﾅも表示します。"));
    body.resize(420, 90);
    body.selectAll();

    QMenu menu;
    BuildEditContextMenu(menu, body, body.State());
    menu.adjustSize();
    const QPixmap menuPicture = menu.grab();
    const QPixmap bodyPicture = body.grab();
    EXPECT_FALSE(menuPicture.isNull());
    EXPECT_FALSE(bodyPicture.isNull());
    const QString dir = qEnvironmentVariable("LUMETRA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(menuPicture.save(QDir(dir).filePath(QStringLiteral("edit-context-menu.png"))));
        EXPECT_TRUE(bodyPicture.save(QDir(dir).filePath(QStringLiteral("edit-body.png"))));
    }
}

} // namespace
