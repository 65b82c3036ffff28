// Offscreen tests of the edit controls and their context menu.

#include "platform/CommandIds.h"
#include "widgets/CEditCtrl.h"


#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

using namespace widgets;

namespace cmd = platform::cmd;

namespace {


QString U(const char16_t* text) { return QString::fromUtf16(text); }

// Answers the controls' context menus as the test says.
struct ScriptedMenus {
    std::function<QAction*(QMenu& menu, const QPoint& globalPos)> contextMenu;
};

// Stands in for the popup: records which items (id 0 = separator) are on and
// where it opened, then picks the item with id choose.
struct MenuScript {
    explicit MenuScript(ScriptedMenus& dialogs, unsigned choose = 0) : dialogs_(dialogs)
    {
        dialogs_.contextMenu = [this, choose](QMenu& menu, const QPoint& pos) -> QAction* {
            ++shown;
            where = pos;
            QAction* chosen = nullptr;
            for (QAction* a : menu.actions()) {
                const unsigned id = a->isSeparator() ? 0 : a->data().toUInt();
                enabled[id] = a->isEnabled();
                if (id == choose && id != 0)
                    chosen = a;
            }
            return chosen;
        };
    }
    ~MenuScript() { dialogs_.contextMenu = {}; }
    ScriptedMenus& dialogs_;
    int shown = 0;
    QPoint where;
    std::map<unsigned, bool> enabled;
};

class EditCtrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        for (QWidget* w : std::initializer_list<QWidget*>{first = new QLineEdit, field = new CEditCtrl,
                                                          body = new CPlainEditCtrl, rich = new CMultiEditCtrl})
            layout->addWidget(w);
        const auto runner = [this](QMenu& menu, const QPoint& at) {
            return dialogs.contextMenu ? dialogs.contextMenu(menu, at) : nullptr;
        };
        field->SetMenuRunner(runner);
        body->SetMenuRunner(runner);
        rich->SetMenuRunner(runner);
        window->resize(360, 300);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ScriptedMenus dialogs;
    std::unique_ptr<QWidget> window;
    QLineEdit* first = nullptr;
    CEditCtrl* field = nullptr;
    CPlainEditCtrl* body = nullptr;
    CMultiEditCtrl* rich = nullptr;
};

// The standard commands through the one entry point, on each kind of control.
void CheckCommands(QWidget* edit, const std::function<void(int, int)>& select, const std::function<QString()>& text)
{
    QClipboard* clipboard = QApplication::clipboard();
    select(2, 5);
    EXPECT_TRUE(RunEditCommand(edit, cmd::EditCut));
    EXPECT_EQ(text(), U(u"日本ト"));
    EXPECT_EQ(clipboard->text(), U(u"テキス"));
    EXPECT_TRUE(RunEditCommand(edit, cmd::EditUndo));
    EXPECT_EQ(text(), U(u"日本テキスト"));
    select(0, 2);
    clipboard->setText(U(u"英語"));
    EXPECT_TRUE(RunEditCommand(edit, cmd::EditPaste));
    EXPECT_EQ(text(), U(u"英語テキスト"));
    // Delete needs a selection and leaves the clipboard alone.
    select(2, 4);
    EXPECT_TRUE(RunEditCommand(edit, cmd::EditClear));
    select(1, 1);
    EXPECT_FALSE(RunEditCommand(edit, cmd::EditClear));
    EXPECT_EQ(text(), U(u"英語スト"));
    EXPECT_TRUE(RunEditCommand(edit, cmd::EditSelectAll));
    EXPECT_TRUE(EditStateOf(edit).hasSelection);
    EXPECT_FALSE(RunEditCommand(edit, 32811)) << "not an editing command";
    // Read-only: only copy and select all act.
    edit->setProperty("readOnly", true);
    select(0, 2);
    for (unsigned id : {cmd::EditCut, cmd::EditClear, cmd::EditPaste, cmd::EditUndo})
        EXPECT_FALSE(RunEditCommand(edit, id)) << id;
    EXPECT_EQ(text(), U(u"英語スト"));
    EXPECT_TRUE(RunEditCommand(edit, cmd::EditCopy));
    EXPECT_EQ(clipboard->text(), U(u"英語"));
}

template <class Edit>
void CheckTextEdit(Edit* edit)
{
    edit->setPlainText(U(u"日本テキスト"));
    auto select = [edit](int a, int b) {
        QTextCursor c = edit->textCursor();
        c.setPosition(a);
        c.setPosition(b, QTextCursor::KeepAnchor);
        edit->setTextCursor(c);
    };
    CheckCommands(edit, select, [edit] { return edit->toPlainText(); });
}

TEST_F(EditCtrlTest, StandardCommandsOnEveryKindOfControl)
{
    field->setText(U(u"日本テキスト"));
    CheckCommands(field, [this](int a, int b) { field->setSelection(a, b - a); }, [this] { return field->text(); });
    CheckTextEdit(body);
    CheckTextEdit(rich);
}

TEST_F(EditCtrlTest, SelectionKeptWhileTabbingAwayButNotWhenClickedInto)
{
    field->setText(U(u"件名：日本語のテスト"));
    field->setFocus(Qt::OtherFocusReason);
    field->setSelection(3, 3);
    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_TRUE(body->hasFocus());
    first->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(first, Qt::Key_Tab);
    ASSERT_TRUE(field->hasFocus());
    EXPECT_EQ(field->selectedText(), U(u"日本語")) << "not the whole text a tab-in selects";
    EXPECT_EQ(field->cursorPosition(), 6);

    // A click places the caret where it lands instead.
    first->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(field->SavedSelectionStart(), 3);
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 4, field->height() / 2));
    ASSERT_TRUE(field->hasFocus());
    EXPECT_FALSE(field->hasSelectedText());
    EXPECT_EQ(field->cursorPosition(), field->text().size());
    EXPECT_EQ(field->SavedSelectionStart(), -1);
}

TEST_F(EditCtrlTest, TabKeys)
{
    // Multi-line: Tab replaces the selection with a TAB, even where the window
    // has Tab as a shortcut; Shift+Tab types one too.
    int shortcut = 0;
    auto* nextPane = new QAction(window.get());
    nextPane->setShortcut(QKeySequence(Qt::Key_Tab));
    window->addAction(nextPane);
    QObject::connect(nextPane, &QAction::triggered, [&] { ++shortcut; });
    body->setPlainText(U(u"本文の行"));
    body->setFocus(Qt::OtherFocusReason);
    QTextCursor c = body->textCursor();
    c.setPosition(2);
    c.setPosition(3, QTextCursor::KeepAnchor);
    body->setTextCursor(c);
    QTest::keyClick(body, Qt::Key_Tab);
    QTest::keyClick(body, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(body->toPlainText(), U(u"本文\t\t行"));
    EXPECT_TRUE(body->hasFocus());
    EXPECT_EQ(shortcut, 0);

    // Read-only: no TAB; Tab is left to the window, Shift+Tab stays put.
    body->setReadOnly(true);
    QTest::keyClick(body, Qt::Key_Tab);
    QTest::keyClick(body, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(body->toPlainText(), U(u"本文\t\t行"));
    EXPECT_EQ(shortcut, 1);
    EXPECT_TRUE(body->hasFocus());
    window->removeAction(nextPane);

    // Single-line: Tab moves on as in a dialog, Shift+Tab types a TAB.
    field->setText(U(u"あいう"));
    field->setFocus(Qt::OtherFocusReason);
    field->setCursorPosition(1);
    QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(field->text(), U(u"あ\tいう"));
    EXPECT_TRUE(field->hasFocus());
    field->setReadOnly(true);
    QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(field->text(), U(u"あ\tいう"));
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_TRUE(body->hasFocus());
}

} // namespace
