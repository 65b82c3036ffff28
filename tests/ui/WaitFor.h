#pragma once
// Runs the event loop until cond holds or about timeoutMs pass (then false).
// Qt's QTRY_ macros need a Qt Test run around them; these tests run in gtest.

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

inline bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}
