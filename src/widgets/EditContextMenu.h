#pragma once
// The right-button menu of the edit controls: the standard editing commands,
// then any commands the owner adds, sent to the owner's handler.

#include <QPoint>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;


namespace widgets {

// What the owner of an edit control sets after creating it.
class EditMenuOwner {
public:
    using Target = std::function<void(unsigned id)>;

    // Commands appended after the standard ones, in order.
    void SetExtraCommands(std::vector<unsigned> ids) { extra_ = std::move(ids); }
    const std::vector<unsigned>& ExtraCommands() const { return extra_; }
    // Receives the chosen command; without one the control shows no menu.
    void SetCommandTarget(Target target) { target_ = std::move(target); }
    const Target& CommandTarget() const { return target_; }
    // A menu (QMenu or QMenuBar) whose items, found by command id in their
    // data, give the texts; without one the texts come from the string table.
    void SetMenuSource(const QWidget* menu) { menuSource_ = menu; }
    const QWidget* MenuSource() const { return menuSource_; }
    // Shows the menu and gives the chosen action; without one the menu pops
    // up directly. Tests answer menus through this.
    using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
    void SetMenuRunner(MenuRunner runner) { runner_ = std::move(runner); }
    const MenuRunner& Runner() const { return runner_; }

private:
    std::vector<unsigned> extra_;
    Target target_;
    const QWidget* menuSource_ = nullptr;
    MenuRunner runner_;
};

struct EditState {
    bool hasSelection = false;
    bool readOnly = false;
};

// The text a command shows: the item of menuSource with that id (searched
// through submenus), else the string table entry up to its first line feed.
QString EditMenuText(unsigned id, const QWidget* menuSource);
bool IsEditCommandEnabled(unsigned id, EditState state);
// Fills menu with the items for owner; each action's data is its command id.
void BuildEditContextMenu(QMenu& menu, const EditMenuOwner& owner, EditState state);
// Opens the menu at globalPos and sends the chosen command to the owner's
// target. Nothing happens without a target.
void RunEditContextMenu(QWidget* control, const EditMenuOwner& owner, EditState state, const QPoint& globalPos);

// The standard commands on any line or text edit (QLineEdit, QTextEdit,
// QPlainTextEdit): the state the menu rules see, and carrying a command out.
// RunEditCommand refuses (false) what the rules disable.
EditState EditStateOf(const QWidget* edit);
bool RunEditCommand(QWidget* edit, unsigned id);

} // namespace widgets
