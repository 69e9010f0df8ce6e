// The simulator: one simulated instrument and the front ends that connect a
// program to it (in-process line, pseudo-terminal, loopback gateway), with
// line pacing and injected faults. Everything runs on the Qt event loop.
#pragma once

#include "SimInstrument.h"
#include "SimOptions.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QString>
#include <memory>

class CSimGateway;
class CSimLine;
class CSimPty;
class QIODevice;

class CSimulator : public QObject
{
    Q_OBJECT
public:
    explicit CSimulator(const SimOptions &options = {}, QObject *parent = nullptr);
    ~CSimulator() override;

    CSimInstrument &Instrument() { return *m_instrument; }
    const SimOptions &Options() const { return m_options; }
    // Pacing, faults and latency apply from the next character on; a new
    // seed restarts the fault generator.
    void SetOptions(const SimOptions &options);

    // The program's end of an in-memory serial line to the instrument
    // (owned by the simulator; the program may close it).
    QIODevice *ConnectInProcess();

    // A pseudo-terminal whose slave path the program opens as its serial
    // port. An empty path and *error on failure.
    QString OpenPty(QString *error);
    // Closes the terminal as if the device had been unplugged.
    void ClosePty();
    QString PtyPath() const;

    // The gateway on 127.0.0.1; port 0 picks a free one.
    bool StartGateway(QString *error, quint16 tcpPort = 0, quint16 udpPort = 0);
    void StopGateway();
    quint16 GatewayTcpPort() const;
    quint16 GatewayUdpPort() const;

    // Restarts the instrument: every serial line hears its announcement.
    void PowerCycle();

    const SimCounters &Counters() const { return m_counters; }
    quint64 RequestsHandled() const { return m_counters.requests; }
    quint64 CharactersReceived() const { return m_counters.charactersReceived; }
    quint64 CharactersSent() const { return m_counters.charactersSent; }

    // For the front ends: one request to the instrument, and its reply with
    // the faults applied (empty when the request is lost).
    QByteArray Serve(const QByteArray &request);
    void CountReceived(qint64 n) { m_counters.charactersReceived += quint64(n); }
    void CountSent(qint64 n) { m_counters.charactersSent += quint64(n); }
    void CountDatagram(bool sent) { ++(sent ? m_counters.datagramsSent : m_counters.datagramsReceived); }
    // The program's turnaround as the line sees it: from the last character
    // of a reply sent to the first of the next request read (ns).
    void NoteTurnaround(qint64 ns) { m_turnarounds.append(ns); }
    const QList<qint64> &Turnarounds() const { return m_turnarounds; }

signals:
    // Every request the instrument handled, as it arrived (garbled when it
    // was), with the reply as sent (empty when none went out).
    void RequestServed(const QByteArray &request, const QByteArray &reply);
    // A fault was put on the line, in words, just before RequestServed.
    void FaultInjected(const QString &what);
    // The instrument has answered endAfterRequests requests and is gone.
    void Ended();

private:
    QByteArray Garble(const QByteArray &bytes);
    QByteArray Receive(const QByteArray &garbled) const;

    SimOptions m_options;
    std::unique_ptr<CSimInstrument> m_instrument;
    QRandomGenerator m_faults;
    SimCounters m_counters;
    bool m_ended = false;
    QList<qint64> m_turnarounds;
    QList<QPointer<CSimLine>> m_lines;
    CSimPty *m_pty = nullptr;
    CSimLine *m_ptyLine = nullptr;
    CSimGateway *m_gateway = nullptr;
};
