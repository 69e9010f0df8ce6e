// The network gateway in front of the simulated instrument, on loopback: a
// TCP service that tells the datagram port, and a UDP socket that takes up
// to eight requests a datagram and answers with one datagram of replies.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class CSimulator;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

class CSimGateway : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxRequestsPerDatagram = 8;
    static constexpr int MaxDatagram = 1500;
    static constexpr int MaxQueryBytes = 2048;
    static constexpr int QueryTimeoutMs = 5000;

    explicit CSimGateway(CSimulator &simulator, QObject *parent = nullptr);
    ~CSimGateway() override;

    bool Start(QString *error, quint16 tcpPort, quint16 udpPort);
    void Stop();
    bool IsRunning() const { return m_server != nullptr; }
    quint16 TcpPort() const;
    quint16 UdpPort() const;

    // What the TCP service answers to a query text.
    QByteArray QueryReply(const QByteArray &query) const;

private:
    void OnConnection();
    void OnQueryData(QTcpSocket *socket);
    void OnDatagrams();

    CSimulator &m_sim;
    QTcpServer *m_server = nullptr;
    QUdpSocket *m_udp = nullptr;
};
