// Serial, in-process and gateway transport of link messages.
#include "LinkTransport.h"

#include "platform/Clock.h"
#include "platform/MSComm.h"
#include "platform/Preferences.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {
// Address text as compared against datagram senders: IPv4 in dotted form even
// when it reached us through a dual-stack socket.
QString AddressText(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : address.toString();
}

// C-library integer conversion: leading blanks, optional sign, digits.
int LeadingInt(const QByteArray &text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF)
            value = 0x7FFFFFFF;
    }
    return int(negative ? -value : value);
}
} // namespace

CLinkTransport::CLinkTransport(CClock &clock, QObject *parent)
    : QObject(parent), m_clock(clock), m_comm(new CMSComm(this))
{
    m_serialLogFile = CPreferences::GetString(QString::fromLatin1(Pref::Preferences),
                                              QString::fromLatin1(Pref::SerialLogFile));
    m_replyTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, &CLinkTransport::OnReplyTimer);
    connect(m_comm, &CMSComm::OnComm, this, &CLinkTransport::OnComm);
    connect(m_comm, &CMSComm::DeviceLost, this, &CLinkTransport::DeviceLost);
    m_queryGuard.setSingleShot(true);
    connect(&m_queryGuard, &QTimer::timeout, this, [this] { FinishGatewayQuery({}, false); });
}

CLinkTransport::~CLinkTransport()
{
    m_lastReplyCode = -1;
    m_assembler.Clear();
    m_replyTimer.stop();
}

void CLinkTransport::ClosePort()
{
    if (m_comm->GetPortOpen())
        m_comm->SetPortOpen(false);
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (m_query)
        FinishGatewayQuery({}, false);
    m_pendingDatagram.clear();
}

int CLinkTransport::OpenPort(int port)
{
    ClosePort();
    if (port < 0) {
        m_gatewayHost = CPreferences::GetString(QString::fromLatin1(Pref::Preferences),
                                                QString::fromLatin1(Pref::GatewayHost),
                                                QStringLiteral("127.0.0.1"));
        m_gatewayTcpPort = CPreferences::GetInt(QString::fromLatin1(Pref::Preferences),
                                                QString::fromLatin1(Pref::GatewayPort), 80);
        OpenNetwork();
        return 1;
    }
    m_comm->SetChannel(nullptr);
    m_comm->SetCommPort(port);
    return OpenSerial();
}

int CLinkTransport::OpenSerialDevice(const QString &device)
{
    ClosePort();
    m_comm->SetChannel(nullptr);
    m_comm->SetDeviceName(device);
    return OpenSerial();
}

int CLinkTransport::OpenChannel(QIODevice *channel)
{
    ClosePort();
    m_comm->SetChannel(channel);
    return OpenSerial();
}

int CLinkTransport::OpenGateway(const QString &host, int tcpPort)
{
    ClosePort();
    m_gatewayHost = host;
    m_gatewayTcpPort = tcpPort;
    OpenNetwork();
    return 1;
}

int CLinkTransport::OpenSerial()
{
    // The order the instrument's line settings have always been applied in.
    const bool ok = m_comm->SetPortOpen(true) && m_comm->SetSettings(QStringLiteral("115200,n,8,1"))
                    && m_comm->SetHandshaking(0) && m_comm->SetRThreshold(1) && m_comm->SetDTREnable(true)
                    && m_comm->SetRTSEnable(false);
    if (!ok) {
        m_lastError = m_comm->LastError();
        m_comm->SetPortOpen(false);
        return 0;
    }
    m_lastError.clear();
    return 1;
}

void CLinkTransport::OpenNetwork()
{
    m_socket = new QUdpSocket(this);
    m_socket->bind(QHostAddress::Any, 0);
    connect(m_socket, &QUdpSocket::readyRead, this, &CLinkTransport::OnDatagramReady);
    m_gatewayPort = 0;
    m_gatewayAddress.clear();
    QueryGateway();
}

bool CLinkTransport::IsSerialOpen() const
{
    return m_comm->GetPortOpen();
}

QString CLinkTransport::PortName() const
{
    if (m_socket)
        return QStringLiteral("%1:%2").arg(m_gatewayHost).arg(m_gatewayTcpPort);
    return m_comm->DeviceName();
}

void CLinkTransport::SetReplyPeriods(int serialMs, int networkMs)
{
    m_serialPeriod = serialMs;
    m_networkPeriod = networkMs;
    if (m_replyTimer.isActive())
        m_replyTimer.start(ReplyPeriod());
}

int CLinkTransport::ReplyPeriod() const
{
    return (m_socket && !m_comm->GetPortOpen()) ? m_networkPeriod : m_serialPeriod;
}

void CLinkTransport::DiscardSerialInput()
{
    if (m_comm->GetPortOpen())
        m_comm->GetInput();
}

int CLinkTransport::SendRecord(int type, quint32 address, const QByteArray &data, bool flush)
{
    const QByteArray text = LinkRecord::Format(type, address, data);
    int result = 0;
    if (m_comm->GetPortOpen()) {
        m_comm->GetInput(); // stale characters belong to no request
        m_assembler.Clear();
        m_charsSent += quint64(text.size());
        emit Traffic(true, text);
        if (!m_comm->SetOutput(text))
            m_lastError = m_comm->LastError();
    } else if (m_socket) {
        m_pendingDatagram.append(text);
        if (flush) {
            while (m_socket->hasPendingDatagrams())
                m_socket->receiveDatagram(MaxDatagram);
            if (!m_gatewayAddress.isEmpty() && m_gatewayPort != 0) {
                m_charsSent += quint64(m_pendingDatagram.size());
                emit Traffic(true, m_pendingDatagram);
                m_socket->writeDatagram(m_pendingDatagram, QHostAddress(m_gatewayAddress), quint16(m_gatewayPort));
            } else {
                m_sentBeforeGateway = true; // nowhere to go yet; see FinishGatewayQuery
            }
            m_pendingDatagram.clear();
        } else {
            result = 1;
        }
    }
    m_replyTimer.start(ReplyPeriod());
    return result;
}

void CLinkTransport::OnComm()
{
    if (m_comm->GetCommEvent() != CMSComm::comEvReceive || !m_comm->GetPortOpen())
        return;
    const QByteArray chunk = m_comm->GetInput();
    if (chunk.isEmpty())
        return;
    m_charsReceived += quint64(chunk.size());
    emit Traffic(false, chunk);
    LinkReply reply;
    if (m_assembler.Feed(chunk, reply))
        OnReceived(reply);
}

void CLinkTransport::OnDatagramReady()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(MaxDatagram);
        const QByteArray bytes = datagram.data();
        if (bytes.isEmpty() || AddressText(datagram.senderAddress()) != m_gatewayAddress
            || datagram.senderPort() != m_gatewayPort || m_gatewayAddress.isEmpty())
            continue; // not from our gateway
        m_charsReceived += quint64(bytes.size());
        emit Traffic(false, bytes);
        OnDatagram(LinkRecord::ParseDatagram(bytes));
    }
}

void CLinkTransport::OnDatagram(const QList<LinkReply> &replies)
{
    for (const LinkReply &reply : replies) {
        if (!m_socket)
            break; // a reply handler closed the path
        OnReceived(reply);
    }
}

void CLinkTransport::OnReceived(const LinkReply &reply)
{
    if (reply.IsRecord())
        OnReply(0, reply.type, quint32(reply.address), int(reply.data.size()),
                reinterpret_cast<const quint8 *>(reply.data.constData()));
    else
        OnReply(reply.code, -1, 0, 0, nullptr);
}

void CLinkTransport::OnReplyTimer()
{
    OnReply(-1, -1, 0, 0, nullptr);
    if (!m_comm->GetPortOpen() && m_socket)
        QueryGateway();
}

void CLinkTransport::RecordReply(int code)
{
    m_lastReplyCode = code;
    m_assembler.Clear();
    m_replyTimer.stop();
}

void CLinkTransport::OnReply(int code, int, quint32, int, const quint8 *)
{
    RecordReply(code);
}

void CLinkTransport::QueryGateway()
{
    if (m_query)
        return; // one question at a time; its answer serves every caller
    m_query = new QTcpSocket(this);
    connect(m_query, &QTcpSocket::connected, this, &CLinkTransport::OnGatewayConnected);
    connect(m_query, &QTcpSocket::readyRead, this, &CLinkTransport::OnGatewayData);
    connect(m_query, &QTcpSocket::errorOccurred, this, [this] { FinishGatewayQuery({}, false); });
    m_queryGuard.start(m_networkPeriod);
    m_query->connectToHost(m_gatewayHost, quint16(m_gatewayTcpPort));
}

void CLinkTransport::OnGatewayConnected()
{
    m_query->write("GET /servlets/AltavoServlet\r\n\r\n");
}

void CLinkTransport::OnGatewayData()
{
    FinishGatewayQuery(m_query->read(MaxDatagram), true);
}

void CLinkTransport::FinishGatewayQuery(const QByteArray &reply, bool ok)
{
    QTcpSocket *query = m_query;
    if (!query)
        return;
    m_query = nullptr;
    m_queryGuard.stop();
    if (ok)
        m_gatewayAddress = AddressText(query->peerAddress());
    m_gatewayPort = 0;
    const qsizetype bracket = reply.indexOf(']');
    if (ok && bracket >= 0)
        m_gatewayPort = LeadingInt(reply, bracket + 1);
    query->disconnect(this);
    query->abort();
    query->deleteLater();
    // Requests that went nowhere while the gateway was unknown would wait a
    // whole network reply period; let the timeout and its resend happen now.
    if (m_gatewayPort != 0 && m_sentBeforeGateway && m_replyTimer.isActive())
        m_replyTimer.start(0);
    m_sentBeforeGateway = false;
    emit GatewayAnswered(m_gatewayPort);
}
