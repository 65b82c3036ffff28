#include "widgets/WindowLock.h"

#include <QVariant>
#include <QWidget>

namespace widgets {

// The count lives on the window itself, so any number of waits may share it.
namespace {
const char* const kLockProperty = "lumetraLocks";
}

void LockWindow(QWidget* window)
{
    if (!window)
        return;
    const int count = window->property(kLockProperty).toInt();
    window->setProperty(kLockProperty, count + 1);
    if (count == 0)
        window->setEnabled(false);
}

void UnlockWindow(QWidget* window)
{
    if (!window)
        return;
    const int count = window->property(kLockProperty).toInt();
    if (count <= 0)
        return;
    window->setProperty(kLockProperty, count - 1);
    if (count == 1)
        window->setEnabled(true);
}

int LockCount(const QWidget* window)
{
    return window ? window->property(kLockProperty).toInt() : 0;
}

} // namespace widgets
