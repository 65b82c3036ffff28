#include "widgets/CEditCtrl.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace widgets {
namespace {

enum class TabKey { None, Plain, Shifted };

TabKey TabOf(const QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return TabKey::None;
    const auto* key = static_cast<const QKeyEvent*>(e);
    if (key->key() == Qt::Key_Backtab)
        return TabKey::Shifted;
    if (key->key() != Qt::Key_Tab)
        return TabKey::None;
    return key->modifiers() & Qt::ShiftModifier ? TabKey::Shifted : TabKey::Plain;
}

QFont DefaultFont()
{
    QFont font(QStringLiteral("IPAGothic"), 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

template <class Edit>
void InsertTab(Edit& edit)
{
    QTextCursor cursor = edit.textCursor();
    cursor.insertText(QStringLiteral("\t"));
    edit.setTextCursor(cursor);
}

// Tab and Shift+Tab in the multi-line edits: a TAB replaces the selection in an
// editable control; a read-only one keeps Shift+Tab for itself.
template <class Edit>
bool HandleMultiLineTab(Edit& edit, QEvent* e)
{
    const TabKey tab = TabOf(e);
    if (tab == TabKey::None || (tab == TabKey::Plain && edit.isReadOnly()))
        return false;
    if (!edit.isReadOnly())
        InsertTab(edit);
    e->accept();
    return true;
}

// The menu for a right click or the keyboard's menu key. A right click has
// already opened it on the button press.
void ContextMenuFromEvent(QWidget* control, const EditMenuOwner& owner, QContextMenuEvent* e, QRect caret)
{
    e->accept();
    if (e->reason() == QContextMenuEvent::Mouse)
        return;
    RunEditContextMenu(control, owner, EditStateOf(control), control->mapToGlobal(caret.bottomLeft()));
}

} // namespace

CEditCtrl::CEditCtrl(QWidget* parent) : QLineEdit(parent)
{
    setFont(DefaultFont());
}

bool CEditCtrl::event(QEvent* e)
{
    // Plain Tab is left to the focus chain, as a dialog does with a one-line field.
    if (TabOf(e) == TabKey::Shifted) {
        if (!isReadOnly())
            insert(QStringLiteral("\t"));
        e->accept();
        return true;
    }
    return QLineEdit::event(e);
}

void CEditCtrl::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    // A click into the field places the caret where it lands instead.
    if (e->reason() == Qt::MouseFocusReason && (QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        savedStart_ = savedEnd_ = -1;
        return;
    }
    // Back from our own menu the selection is still there, and the chosen
    // command may already have changed it.
    if (savedStart_ < 0 || e->reason() == Qt::PopupFocusReason)
        return;
    setUpdatesEnabled(false);
    const int length = int(text().size());
    const int start = std::min(savedStart_, length);
    const int end = std::min(savedEnd_, length);
    if (end > start)
        setSelection(start, end - start);
    else
        setCursorPosition(start);
    setUpdatesEnabled(true);
}

void CEditCtrl::focusOutEvent(QFocusEvent* e)
{
    // Saved before the base class, which drops the selection on the way out.
    if (hasSelectedText()) {
        savedStart_ = selectionStart();
        savedEnd_ = selectionEnd();
    } else {
        savedStart_ = savedEnd_ = cursorPosition();
    }
    QLineEdit::focusOutEvent(e);
}

void CEditCtrl::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        RunEditContextMenu(this, *this, State(), e->globalPosition().toPoint());
        e->accept();
        return;
    }
    if (e->button() == Qt::LeftButton)
        savedStart_ = savedEnd_ = -1;
    QLineEdit::mousePressEvent(e);
}

void CEditCtrl::contextMenuEvent(QContextMenuEvent* e)
{
    ContextMenuFromEvent(this, *this, e, cursorRect());
}

CMultiEditCtrl::CMultiEditCtrl(QWidget* parent) : QTextEdit(parent)
{
    setFont(DefaultFont());
    setTabChangesFocus(false);
}

bool CMultiEditCtrl::event(QEvent* e)
{
    if (HandleMultiLineTab(*this, e))
        return true;
    return QTextEdit::event(e);
}

void CMultiEditCtrl::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        RunEditContextMenu(this, *this, State(), e->globalPosition().toPoint());
        e->accept();
        return;
    }
    QTextEdit::mousePressEvent(e);
}

void CMultiEditCtrl::contextMenuEvent(QContextMenuEvent* e)
{
    ContextMenuFromEvent(this, *this, e, cursorRect().translated(viewport()->pos()));
}

CPlainEditCtrl::CPlainEditCtrl(QWidget* parent) : QPlainTextEdit(parent)
{
    setFont(DefaultFont());
    setTabChangesFocus(false);
}

bool CPlainEditCtrl::event(QEvent* e)
{
    if (HandleMultiLineTab(*this, e))
        return true;
    return QPlainTextEdit::event(e);
}

void CPlainEditCtrl::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        RunEditContextMenu(this, *this, State(), e->globalPosition().toPoint());
        e->accept();
        return;
    }
    QPlainTextEdit::mousePressEvent(e);
}

void CPlainEditCtrl::contextMenuEvent(QContextMenuEvent* e)
{
    ContextMenuFromEvent(this, *this, e, cursorRect().translated(viewport()->pos()));
}

} // namespace widgets
