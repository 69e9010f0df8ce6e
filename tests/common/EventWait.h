// Waiting for a condition in tests and benchmarks without spinning a core:
// processEvents with a time limit never sleeps, so a running timer wakes a
// plain wait to look at the condition and the deadline.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <functional>

// How much longer waits may take than on a plain build: a sanitized build
// sets ALTAVO_WAIT_SCALE, its programs running several times slower.
inline int WaitScale()
{
    static const int scale = qBound(1, qEnvironmentVariableIntValue("ALTAVO_WAIT_SCALE"), 20);
    return scale;
}

// Runs the event loop until done() holds; false when it did not within ms
// (times the wait scale).
inline bool WaitUntil(const std::function<bool()> &done, int ms = 10000, int tickMs = 20)
{
    QDeadlineTimer deadline(qint64(ms) * WaitScale());
    QTimer tick;
    tick.start(tickMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
