// Monotonic time source in seconds; injectable so bank confirmation and
// resynchronisation windows can be tested without sleeping.
#pragma once

#include <QElapsedTimer>

class CClock
{
public:
    virtual ~CClock() = default;
    // Seconds since an arbitrary fixed origin; never goes backwards.
    virtual double Now() const = 0;

    // The process-wide steady clock used when nothing else is injected.
    static CClock &System();
};

class CSteadyClock final : public CClock
{
public:
    CSteadyClock() { m_timer.start(); }
    double Now() const override { return double(m_timer.nsecsElapsed()) * 1e-9 + 1000000.0; }

private:
    QElapsedTimer m_timer;
};

// A clock that only moves when told to.
class CManualClock final : public CClock
{
public:
    explicit CManualClock(double start = 5000000.0) : m_now(start) {}
    double Now() const override { return m_now; }
    void Advance(double seconds) { m_now += seconds; }
    void Set(double seconds) { m_now = seconds; }

private:
    double m_now;
};
