// A paced serial line in front of the simulated instrument.
#include "SimLine.h"

#include "Simulator.h"

#include <QScopeGuard>
#include <algorithm>
#include <limits>
#include <thread>
#include <chrono>

CSimLine::CSimLine(CSimulator &simulator, Writer write, QObject *parent)
    : QObject(parent), m_sim(simulator), m_write(std::move(write))
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CSimLine::Pump);
}

qint64 CSimLine::CharacterNs() const
{
    // Start bit, eight data bits, stop bit.
    const int baud = m_sim.Options().baud;
    return baud > 0 ? qint64(10) * 1000000000 / baud : 0;
}

void CSimLine::Receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_sim.CountReceived(bytes.size());
    if (m_replyEnd >= 0 && m_out.empty())
        m_sim.NoteTurnaround(Now() - m_replyEnd);
    m_replyEnd = -1;
    if (CharacterNs() == 0 && m_in.empty()) {
        Process(bytes, Now());
        return;
    }
    // What a line at this rate cannot take in is lost, as in a UART overrun.
    const qsizetype room = MaxQueuedInput - m_inBytes;
    if (room <= 0)
        return;
    m_in.push_back(Chunk{bytes.left(room), Now()});
    m_inBytes += m_in.back().bytes.size();
    Pump();
}

void CSimLine::SendUnasked(const QByteArray &bytes)
{
    Queue(bytes, Now());
}

void CSimLine::Reset()
{
    m_in.clear();
    m_out.clear();
    m_inBytes = 0;
    m_outBytes = 0;
    m_receiver.Clear();
    m_timer.stop();
}

void CSimLine::Process(const QByteArray &chars, qint64 at)
{
    const qint64 latency = qint64(qMax(0, m_sim.Options().latencyMs)) * 1000000;
    for (const QByteArray &request : m_receiver.Feed(chars)) {
        const QByteArray reply = m_sim.Serve(request);
        if (!reply.isEmpty())
            Queue(reply, at + latency);
    }
}

void CSimLine::Queue(const QByteArray &reply, qint64 due)
{
    if (reply.isEmpty())
        return;
    if (CharacterNs() == 0 && m_out.empty() && due <= Now()) {
        m_sim.CountSent(reply.size());
        m_write(reply);
        m_replyEnd = Now();
        return;
    }
    if (m_outBytes + reply.size() > MaxQueuedOutput)
        return;
    m_out.push_back(Chunk{reply, due});
    m_outBytes += reply.size();
    // A running pump picks it up; otherwise the next turn of the event loop
    // does, never inside the caller.
    if (!m_pumping)
        m_timer.start(0);
}

void CSimLine::Pump()
{
    // A timer wakes at whole milliseconds, and late: it is set to fire up
    // to a millisecond early, and the rest of a precise wait is slept.
    constexpr qint64 SleepBelowNs = 2000000;
    const bool precise = m_sim.Options().precisePacing;
    // Characters and replies that turn up while this runs (a reply the
    // instrument makes, a write answered at once on an in-process line) are
    // picked up by this loop rather than a nested one.
    if (m_pumping)
        return;
    m_pumping = true;
    const auto done = qScopeGuard([this] { m_pumping = false; });
    for (;;) {
        Move();
        const qint64 next = NextDue();
        if (next == std::numeric_limits<qint64>::max()) {
            m_timer.stop();
            return;
        }
        const qint64 wait = next - Now();
        if (wait <= 0)
            continue;
        if (precise && wait < SleepBelowNs) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
            continue;
        }
        const qint64 waitMs = precise ? (wait - 1000000) / 1000000 : (wait + 999999) / 1000000;
        m_timer.start(int(std::clamp<qint64>(waitMs, 0, 60000)));
        return;
    }
}

void CSimLine::Move()
{
    const qint64 ns = CharacterNs();
    // Inbound: hand over the characters whose stop bit has passed.
    while (!m_in.empty()) {
        const qint64 now = Now();
        Chunk &c = m_in.front();
        qsizetype arrived = c.bytes.size();
        if (ns > 0) {
            if (c.start < 0) {
                c.start = qMax(c.due, m_inFree);
                m_inFree = c.start + c.bytes.size() * ns;
            }
            arrived = now < c.start ? 0 : qMin<qsizetype>(c.bytes.size(), (now - c.start) / ns);
        }
        if (arrived <= c.done)
            break;
        const QByteArray part = c.bytes.mid(c.done, arrived - c.done);
        // The instrument starts on a request when its last character's stop
        // bit has passed on the line, not when our timer got round to it.
        const qint64 at = ns > 0 ? c.start + arrived * ns : now;
        c.done = arrived;
        if (c.done == c.bytes.size()) {
            m_inBytes -= c.bytes.size();
            m_in.pop_front();
        }
        Process(part, at);
    }
    // Outbound: the same for replies once the instrument has begun to send them.
    while (!m_out.empty()) {
        const qint64 now = Now();
        Chunk &c = m_out.front();
        if (c.due > now)
            break;
        qsizetype sent = c.bytes.size();
        if (ns > 0) {
            if (c.start < 0) {
                c.start = qMax(c.due, m_outFree);
                m_outFree = c.start + c.bytes.size() * ns;
            }
            sent = now < c.start ? 0 : qMin<qsizetype>(c.bytes.size(), (now - c.start) / ns);
        }
        if (sent <= c.done)
            break;
        const QByteArray part = c.bytes.mid(c.done, sent - c.done);
        c.done = sent;
        if (c.done == c.bytes.size()) {
            m_outBytes -= c.bytes.size();
            m_out.pop_front();
        }
        m_sim.CountSent(part.size());
        m_write(part);
        if (m_out.empty())
            m_replyEnd = Now();
    }
}

qint64 CSimLine::NextDue() const
{
    const qint64 ns = CharacterNs();
    qint64 next = std::numeric_limits<qint64>::max();
    // Replies go out a character at a time, as the program sees them on a
    // line. What comes in matters to the instrument only once a request is
    // whole, so a chunk is taken when its last character has arrived: one
    // wake-up a request instead of one a character, each of which a busy
    // machine may serve late.
    auto nextCharacter = [&](const Chunk &c, qint64 lineFree, bool whole) {
        if (ns == 0)
            return c.due;
        const qint64 start = c.start >= 0 ? c.start : qMax(c.due, lineFree);
        return start + (whole ? c.bytes.size() : c.done + 1) * ns;
    };
    if (!m_in.empty())
        next = qMin(next, nextCharacter(m_in.front(), m_inFree, true));
    if (!m_out.empty())
        next = qMin(next, nextCharacter(m_out.front(), m_outFree, false));
    return next;
}
