#include "ui/EditContextMenu.h"
#include "ui/SjisText.h"

#include "platform/StringTable.h"

#include <QAction>
#include <QFont>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace ui {
namespace {

QString FromTable(unsigned id)
{
    return FromSjis(platform::LoadString(id));
}

const QAction* FindCommand(const QList<QAction*>& actions, unsigned id)
{
    for (const QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (QMenu* sub = action->menu()) {
            if (const QAction* found = FindCommand(sub->actions(), id))
                return found;
            continue;
        }
        if (action->data().toUInt() == id)
            return action;
    }
    return nullptr;
}

EditMenuExecHook& ExecHook()
{
    static EditMenuExecHook hook;
    return hook;
}

const std::vector<unsigned>& StandardItems()
{
    // 0 stands for a separator.
    static const std::vector<unsigned> items = {
        editcmd::Undo, 0, editcmd::Cut, editcmd::Copy, editcmd::Paste, editcmd::Clear, 0, editcmd::SelectAll,
    };
    return items;
}

void AddItem(QMenu& menu, unsigned id, const EditMenuOwner& owner, EditState state)
{
    const QWidget* source = owner.MenuSource();
    QAction* action = menu.addAction(EditMenuText(id, source));
    action->setData(id);
    if (source) {
        if (const QAction* item = FindCommand(source->actions(), id); item && item->isCheckable()) {
            action->setCheckable(true);
            action->setChecked(item->isChecked());
        }
    }
    action->setEnabled(IsEditCommandEnabled(id, state));
}

} // namespace

QString EditMenuText(unsigned id, const QWidget* menuSource)
{
    if (menuSource) {
        if (const QAction* item = FindCommand(menuSource->actions(), id))
            return item->text();
    }
    // A command the menu lacks still gets a readable item.
    const QString text = FromTable(id);
    const qsizetype lf = text.indexOf(u'\n');
    return lf < 0 ? text : text.left(lf);
}

bool IsEditCommandEnabled(unsigned id, EditState state)
{
    switch (id) {
    case editcmd::Undo:
    case editcmd::Paste:
        return !state.readOnly;
    case editcmd::Cut:
    case editcmd::Clear:
        return !state.readOnly && state.hasSelection;
    case editcmd::Copy:
        return state.hasSelection;
    default:
        return true;
    }
}

void BuildEditContextMenu(QMenu& menu, const EditMenuOwner& owner, EditState state)
{
    menu.setFont(QFont(QStringLiteral("IPAGothic"), 9));
    for (unsigned id : StandardItems()) {
        if (id == 0)
            menu.addSeparator();
        else
            AddItem(menu, id, owner, state);
    }
    if (!owner.ExtraCommands().empty()) {
        menu.addSeparator();
        for (unsigned id : owner.ExtraCommands())
            AddItem(menu, id, owner, state);
    }
}

void RunEditContextMenu(QWidget* control, const EditMenuOwner& owner, EditState state, const QPoint& globalPos)
{
    if (!owner.CommandTarget())
        return;
    QMenu menu(control);
    BuildEditContextMenu(menu, owner, state);
    // The target may close the window that owns the control: copy it first.
    const EditMenuOwner::Target target = owner.CommandTarget();
    QPointer<QWidget> guard(control);
    QAction* chosen = ExecHook() ? ExecHook()(menu, globalPos) : menu.exec(globalPos);
    if (!chosen || !chosen->isEnabled() || !guard)
        return;
    const unsigned id = chosen->data().toUInt();
    if (id != 0)
        target(id);
}

void SetEditMenuExecHook(EditMenuExecHook hook)
{
    ExecHook() = std::move(hook);
}

EditState EditStateOf(const QWidget* edit)
{
    if (auto* line = qobject_cast<const QLineEdit*>(edit))
        return {line->hasSelectedText(), line->isReadOnly()};
    if (auto* text = qobject_cast<const QTextEdit*>(edit))
        return {text->textCursor().hasSelection(), text->isReadOnly()};
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(edit))
        return {plain->textCursor().hasSelection(), plain->isReadOnly()};
    return {};
}

namespace {

template <class Edit>
void RunOnTextEdit(Edit& edit, unsigned id)
{
    switch (id) {
    case editcmd::Undo: edit.undo(); break;
    case editcmd::Cut: edit.cut(); break;
    case editcmd::Copy: edit.copy(); break;
    case editcmd::Paste: edit.paste(); break;
    case editcmd::SelectAll: edit.selectAll(); break;
    case editcmd::Clear: {
        QTextCursor cursor = edit.textCursor();
        cursor.removeSelectedText();
        edit.setTextCursor(cursor);
        break;
    }
    default: break;
    }
}

} // namespace

bool RunEditCommand(QWidget* edit, unsigned id)
{
    switch (id) {
    case editcmd::Undo: case editcmd::Cut: case editcmd::Copy:
    case editcmd::Paste: case editcmd::Clear: case editcmd::SelectAll:
        break;
    default:
        return false;
    }
    if (!edit || !IsEditCommandEnabled(id, EditStateOf(edit)))
        return false;
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        switch (id) {
        case editcmd::Undo: line->undo(); break;
        case editcmd::Cut: line->cut(); break;
        case editcmd::Copy: line->copy(); break;
        case editcmd::Paste: line->paste(); break;
        case editcmd::Clear: line->del(); break; // only with a selection (rule above)
        case editcmd::SelectAll: line->selectAll(); break;
        }
        return true;
    }
    if (auto* text = qobject_cast<QTextEdit*>(edit)) {
        RunOnTextEdit(*text, id);
        return true;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(edit)) {
        RunOnTextEdit(*plain, id);
        return true;
    }
    return false;
}

} // namespace ui
