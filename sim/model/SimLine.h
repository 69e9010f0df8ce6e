// One serial line between the program and the simulated instrument (the
// in-process pipe or the pseudo-terminal): paces characters both ways at the
// line rate, cuts requests out of what arrives, and sends each reply after
// the instrument's latency. Driven by a timer; with precise pacing the last
// stretch before a character is slept out, so that each one leaves at its
// own time rather than on a millisecond tick.
#pragma once

#include "SimReceiver.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

class CSimulator;

class CSimLine : public QObject
{
    Q_OBJECT
public:
    // Replies leave through write. Whatever the program does, no more than
    // this many reply characters wait for the line (a UART overruns).
    static constexpr qsizetype MaxQueuedOutput = 64 * 1024;
    static constexpr qsizetype MaxQueuedInput = 64 * 1024;

    using Writer = std::function<void(const QByteArray &)>;
    CSimLine(CSimulator &simulator, Writer write, QObject *parent = nullptr);

    // Characters the program sent, as they came off the device.
    void Receive(const QByteArray &bytes);
    // Characters the instrument sends unasked (its power-on announcement).
    void SendUnasked(const QByteArray &bytes);
    // Forgets everything in transit, as when the device is unplugged.
    void Reset();
    bool IsIdle() const { return m_in.empty() && m_out.empty(); }

private:
    struct Chunk
    {
        QByteArray bytes;
        qint64 due = 0;   // ns: when the chunk may start on the line
        qint64 start = -1; // ns: when its first character started, once known
        qsizetype done = 0;
    };

    qint64 Now() const { return m_clock.nsecsElapsed(); }
    qint64 CharacterNs() const;
    void Process(const QByteArray &chars, qint64 at);
    void Queue(const QByteArray &reply, qint64 due);
    void Pump();
    void Move();
    // When the next character is due on either line (ns); max when none is.
    qint64 NextDue() const;

    CSimulator &m_sim;
    Writer m_write;
    CSimReceiver m_receiver;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::deque<Chunk> m_in;
    std::deque<Chunk> m_out;
    qsizetype m_inBytes = 0;
    qsizetype m_outBytes = 0;
    qint64 m_inFree = 0;  // ns: when the inbound line is free again
    qint64 m_outFree = 0; // ns: when the outbound line is free again
    bool m_pumping = false;
    qint64 m_replyEnd = -1; // ns: when the last reply character went out, until the next request
};
