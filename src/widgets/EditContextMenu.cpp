#include "widgets/EditContextMenu.h"

#include "platform/CommandIds.h"
#include "widgets/SjisText.h"

#include "platform/StringTable.h"

#include <QAction>
#include <QFont>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace widgets {

namespace cmd = platform::cmd;
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


const std::vector<unsigned>& StandardItems()
{
    // 0 stands for a separator.
    static const std::vector<unsigned> items = {
        cmd::EditUndo, 0, cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::EditClear, 0, cmd::EditSelectAll,
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
    case cmd::EditUndo:
    case cmd::EditPaste:
        return !state.readOnly;
    case cmd::EditCut:
    case cmd::EditClear:
        return !state.readOnly && state.hasSelection;
    case cmd::EditCopy:
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
    QAction* chosen = owner.Runner() ? owner.Runner()(menu, globalPos) : menu.exec(globalPos);
    if (!chosen || !chosen->isEnabled() || !guard)
        return;
    const unsigned id = chosen->data().toUInt();
    if (id != 0)
        target(id);
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
    case cmd::EditUndo: edit.undo(); break;
    case cmd::EditCut: edit.cut(); break;
    case cmd::EditCopy: edit.copy(); break;
    case cmd::EditPaste: edit.paste(); break;
    case cmd::EditSelectAll: edit.selectAll(); break;
    case cmd::EditClear: {
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
    case cmd::EditUndo: case cmd::EditCut: case cmd::EditCopy:
    case cmd::EditPaste: case cmd::EditClear: case cmd::EditSelectAll:
        break;
    default:
        return false;
    }
    if (!edit || !IsEditCommandEnabled(id, EditStateOf(edit)))
        return false;
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        switch (id) {
        case cmd::EditUndo: line->undo(); break;
        case cmd::EditCut: line->cut(); break;
        case cmd::EditCopy: line->copy(); break;
        case cmd::EditPaste: line->paste(); break;
        case cmd::EditClear: line->del(); break; // only with a selection (rule above)
        case cmd::EditSelectAll: line->selectAll(); break;
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

} // namespace widgets
