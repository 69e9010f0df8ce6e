// Waiting for a condition in tests and benchmarks without spinning a core:
// processEvents with a time limit never sleeps, so a running timer wakes a
// plain wait to look at the condition and the deadline.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <functional>

// Runs the event loop until done() holds; false when it did not within ms.
inline bool WaitUntil(const std::function<bool()> &done, int ms = 10000, int tickMs = 20)
{
    QDeadlineTimer deadline(ms);
    QTimer tick;
    tick.start(tickMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
