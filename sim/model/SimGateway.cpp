// Loopback gateway of the simulator.
#include "SimGateway.h"

#include "SimReceiver.h"
#include "Simulator.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

CSimGateway::CSimGateway(CSimulator &simulator, QObject *parent) : QObject(parent), m_sim(simulator) {}

CSimGateway::~CSimGateway()
{
    Stop();
}

bool CSimGateway::Start(QString *error, quint16 tcpPort, quint16 udpPort)
{
    Stop();
    m_udp = new QUdpSocket(this);
    if (!m_udp->bind(QHostAddress::LocalHost, udpPort)) {
        if (error)
            *error = QStringLiteral("Cannot open the gateway's UDP port %1 on 127.0.0.1: %2")
                         .arg(udpPort)
                         .arg(m_udp->errorString());
        Stop();
        return false;
    }
    m_server = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, tcpPort)) {
        if (error)
            *error = QStringLiteral("Cannot open the gateway's TCP port %1 on 127.0.0.1: %2")
                         .arg(tcpPort)
                         .arg(m_server->errorString());
        Stop();
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &CSimGateway::OnConnection);
    connect(m_udp, &QUdpSocket::readyRead, this, &CSimGateway::OnDatagrams);
    if (error)
        error->clear();
    return true;
}

void CSimGateway::Stop()
{
    delete m_server;
    m_server = nullptr;
    delete m_udp;
    m_udp = nullptr;
}

quint16 CSimGateway::TcpPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

quint16 CSimGateway::UdpPort() const
{
    return m_udp ? m_udp->localPort() : 0;
}

QByteArray CSimGateway::QueryReply(const QByteArray &query) const
{
    if (!query.startsWith("GET /servlets/AltavoServlet"))
        return "HTTP/1.0 404 Not Found\r\n\r\n";
    // The program takes the number right after the first "]".
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n[gateway]" + QByteArray::number(UdpPort()) + "\r\n";
}

void CSimGateway::OnConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnQueryData(socket); });
        // A caller that never finishes its query is not waited for.
        QTimer::singleShot(QueryTimeoutMs, socket, [socket] { socket->abort(); socket->deleteLater(); });
    }
}

void CSimGateway::OnQueryData(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("query").toByteArray();
    buffer += socket->read(MaxQueryBytes - buffer.size());
    const bool complete = buffer.contains("\r\n\r\n") || buffer.size() >= MaxQueryBytes;
    if (!complete) {
        socket->setProperty("query", buffer);
        return;
    }
    m_sim.CountReceived(buffer.size());
    const QByteArray reply = QueryReply(buffer);
    socket->write(reply);
    m_sim.CountSent(reply.size());
    socket->disconnectFromHost();
}

void CSimGateway::OnDatagrams()
{
    while (m_udp && m_udp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp->receiveDatagram(65536);
        const QByteArray data = datagram.data().left(MaxDatagram);
        if (data.isEmpty())
            continue;
        m_sim.CountReceived(data.size());
        m_sim.CountDatagram(false);

        // Records are never joined across datagrams: each one is cut afresh.
        CSimReceiver receiver;
        const QList<QByteArray> requests = receiver.Feed(data).mid(0, MaxRequestsPerDatagram);
        QByteArray replies;
        for (const QByteArray &request : requests)
            replies += m_sim.Serve(request);
        if (replies.isEmpty())
            continue;

        // The gateway relays over the instrument's serial line, so the reply
        // waits for the requests and replies to cross it, plus the latency.
        const SimOptions &options = m_sim.Options();
        qint64 delayMs = qMax(0, options.latencyMs);
        if (options.baud > 0)
            delayMs += (qint64(data.size()) + replies.size()) * 10 * 1000 / options.baud;
        const QHostAddress to = datagram.senderAddress();
        const quint16 port = quint16(datagram.senderPort());
        auto send = [this, to, port, replies] {
            if (!m_udp)
                return;
            m_udp->writeDatagram(replies, to, port);
            m_sim.CountSent(replies.size());
            m_sim.CountDatagram(true);
        };
        if (delayMs <= 0)
            send();
        else
            QTimer::singleShot(int(delayMs), this, send);
    }
}
