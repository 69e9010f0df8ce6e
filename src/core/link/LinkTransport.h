// Carries link messages between the program and one instrument over a serial
// line (or an in-process line with the same behaviour) or a network gateway:
// sends a message, runs the reply timer, cuts replies out of what comes back
// and hands each reply or timeout to OnReply.
#pragma once

#include "LinkRecord.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

class CClock;
class CMSComm;
class QIODevice;
class QTcpSocket;
class QUdpSocket;

class CLinkTransport : public QObject
{
    Q_OBJECT
public:
    static constexpr int SerialReplyPeriodMs = 500;
    static constexpr int NetworkReplyPeriodMs = 5000;
    static constexpr int MaxDatagram = 1500;
    static constexpr int NetworkPort = -1;

    explicit CLinkTransport(CClock &clock, QObject *parent = nullptr);
    ~CLinkTransport() override;

    // port 1..4 opens COMn (device names from the preferences); NetworkPort
    // opens the gateway path. Returns 1 on success, 0 when the port cannot be
    // opened (see LastError()).
    int OpenPort(int port);
    // Serial path on a device path given directly (the command line, adapters).
    int OpenSerialDevice(const QString &device);
    // Serial path on an in-process line (the simulated instrument).
    int OpenChannel(QIODevice *channel);
    // Network path to a given gateway, instead of the one in the preferences.
    int OpenGateway(const QString &host, int tcpPort);
    void ClosePort();

    // Sends or batches one message; returns 0 when it went out (or could go
    // nowhere), 1 when it was only added to the datagram being gathered.
    int SendRecord(int type, quint32 address, const QByteArray &data, bool flush);
    // Asks the gateway for its datagram port; answers arrive asynchronously.
    void QueryGateway();

    bool IsSerialOpen() const;
    bool IsNetworkOpen() const { return m_socket != nullptr; }
    QString GatewayAddress() const { return m_gatewayAddress; }
    int GatewayPort() const { return m_gatewayPort; }
    QString GatewayHost() const { return m_gatewayHost; }
    int GetLastReplyCode() const { return m_lastReplyCode; }
    QString LastError() const { return m_lastError; }
    QString PortName() const;
    QString SerialLogFileName() const { return m_serialLogFile; }
    CMSComm &Comm() { return *m_comm; }

    // Reply periods; tests shorten them to keep runs quick.
    void SetReplyPeriods(int serialMs, int networkMs);
    int ReplyPeriod() const;
    bool IsReplyTimerActive() const { return m_replyTimer.isActive(); }

    // Characters put on the wire and taken off it, for diagnostics and
    // utilisation figures.
    quint64 CharactersSent() const { return m_charsSent; }
    quint64 CharactersReceived() const { return m_charsReceived; }

signals:
    // Every message as it goes out and every chunk or datagram as it arrives.
    void Traffic(bool outgoing, const QByteArray &bytes);
    // The serial device vanished; sent once per loss.
    void DeviceLost(const QString &message);
    // A gateway query finished (port 0 when it failed).
    void GatewayAnswered(int port);

protected:
    // code: 0 record, character code for a one-character reply, -1 timeout.
    // Overrides call RecordReply first.
    virtual void OnReply(int code, int type, quint32 address, int count, const quint8 *data);
    // Every reply cut out of the serial input; the base hands it to OnReply.
    virtual void OnReceived(const LinkReply &reply);
    // The replies of one datagram, in order; the base hands each to OnReceived
    // while the network path stays open.
    virtual void OnDatagram(const QList<LinkReply> &replies);
    void RecordReply(int code);
    // Reads and drops whatever the serial line holds.
    void DiscardSerialInput();
    void SetLastReplyCode(int code) { m_lastReplyCode = code; }

    CClock &m_clock;

private:
    void OnComm();
    void OnDatagramReady();
    void OnReplyTimer();
    void OnGatewayConnected();
    void OnGatewayData();
    void FinishGatewayQuery(const QByteArray &reply, bool ok);
    int OpenSerial();
    void OpenNetwork();

    CMSComm *m_comm;
    QUdpSocket *m_socket = nullptr;
    QTcpSocket *m_query = nullptr;
    QTimer m_queryGuard;
    QString m_gatewayHost;
    int m_gatewayTcpPort = 80;
    QString m_gatewayAddress;
    int m_gatewayPort = 0;
    CSerialReplyAssembler m_assembler;
    QString m_serialLogFile;
    int m_lastReplyCode = -1;
    QTimer m_replyTimer;
    int m_serialPeriod = SerialReplyPeriodMs;
    int m_networkPeriod = NetworkReplyPeriodMs;
    QByteArray m_pendingDatagram;
    bool m_sentBeforeGateway = false;
    QString m_lastError;
    quint64 m_charsSent = 0;
    quint64 m_charsReceived = 0;
};
