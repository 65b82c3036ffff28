#pragma once
// Counted disabling of a window: nested waits (progress windows, the connect
// dialog) each lock the main window, and only the last unlock enables it again.

class QWidget;

namespace widgets {

void LockWindow(QWidget* window);
void UnlockWindow(QWidget* window);
int LockCount(const QWidget* window);

} // namespace widgets
