#pragma once
// The edit controls of the system's windows: a single-line edit that keeps its
// selection while another control has the focus, and multi-line edits (rich
// and plain) that take the Tab key as a TAB character. All three open the
// edit context menu on the right button.
//
// Tab handling, as in a dialog: in a single-line edit Tab moves the focus on;
// in a multi-line edit it replaces the selection with a TAB. Shift+Tab types a
// TAB in either kind and does not move the focus back.

#include "widgets/EditContextMenu.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace widgets {

class CEditCtrl : public QLineEdit, public EditMenuOwner {
    Q_OBJECT
public:
    explicit CEditCtrl(QWidget* parent = nullptr);

    // The selection saved when the focus left (-1 = none).
    int SavedSelectionStart() const { return savedStart_; }
    int SavedSelectionEnd() const { return savedEnd_; }

    EditState State() const { return EditStateOf(this); }
    bool ExecuteEditCommand(unsigned id) { return RunEditCommand(this, id); }

protected:
    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    int savedStart_ = -1;
    int savedEnd_ = -1;
};

class CMultiEditCtrl : public QTextEdit, public EditMenuOwner {
    Q_OBJECT
public:
    explicit CMultiEditCtrl(QWidget* parent = nullptr);

    EditState State() const { return EditStateOf(this); }
    bool ExecuteEditCommand(unsigned id) { return RunEditCommand(this, id); }

protected:
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
};

class CPlainEditCtrl : public QPlainTextEdit, public EditMenuOwner {
    Q_OBJECT
public:
    explicit CPlainEditCtrl(QWidget* parent = nullptr);

    EditState State() const { return EditStateOf(this); }
    bool ExecuteEditCommand(unsigned id) { return RunEditCommand(this, id); }

protected:
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
};

} // namespace widgets
