// Front ends and fault injection around the simulated instrument.
#include "Simulator.h"

#include "SimGateway.h"
#include "SimLine.h"
#include "SimPty.h"
#include "platform/PipeChannel.h"

CSimulator::CSimulator(const SimOptions &options, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_instrument(std::make_unique<CSimInstrument>(options.now, options.seed)),
      m_faults(options.seed)
{
    if (options.serialNumber != 0)
        m_instrument->SetSerialNumber(options.serialNumber);
    if (options.logRecords > 0) {
        CSimInstrument &instrument = *m_instrument;
        CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(instrument);
        settings.newestOverlapSeconds = options.logOverlapSeconds;
        const QDate calibrated = instrument.Log().Generate(options.seed, options.logRecords, instrument.Clock(), settings);
        // The instrument's own last calibration date is the one its log shows.
        if (calibrated.isValid()) {
            const int stored = instrument.TimeKeeperByte(58) | (instrument.TimeKeeperByte(59) << 8);
            const quint16 word = quint16((stored & ~0x01FF) | calibrated.dayOfYear());
            QByteArray bytes(2, '\0');
            bytes[0] = char(word & 0xFF);
            bytes[1] = char(word >> 8);
            instrument.SetTimeKeeper(58, bytes);
        }
    }
}

CSimulator::~CSimulator()
{
    ClosePty();
    StopGateway();
}

void CSimulator::SetOptions(const SimOptions &options)
{
    if (options.seed != m_options.seed)
        m_faults.seed(options.seed);
    m_options = options;
    if (m_options.now)
        m_instrument->SetTimeSource(m_options.now);
}

QByteArray CSimulator::Serve(const QByteArray &request)
{
    ++m_counters.requests;
    if (m_ended)
        return {};
    if (m_options.endAfterRequests > 0 && m_counters.requests > m_options.endAfterRequests) {
        m_ended = true;
        emit FaultInjected(QStringLiteral("instrument gone after %1 requests").arg(m_options.endAfterRequests));
        emit RequestServed(request, {});
        emit Ended();
        return {};
    }
    // Every draw is made whenever its chance is set, so a seed gives the same
    // faults whatever the replies are. The faults added later draw after the
    // first two, so a seed without them runs as it always did.
    const bool drop = m_options.dropProbability > 0.0 && m_faults.generateDouble() < m_options.dropProbability;
    const bool garble = m_options.garbleProbability > 0.0 && m_faults.generateDouble() < m_options.garbleProbability;
    const bool garbleRequest = m_options.requestGarbleProbability > 0.0
                               && m_faults.generateDouble() < m_options.requestGarbleProbability;
    const bool dropReply = m_options.replyDropProbability > 0.0
                           && m_faults.generateDouble() < m_options.replyDropProbability;
    if (drop) {
        ++m_counters.dropped;
        emit FaultInjected(QStringLiteral("request lost"));
        emit RequestServed(request, {});
        return {};
    }
    QByteArray received = request;
    if (garbleRequest && !request.isEmpty()) {
        received = Garble(request);
        ++m_counters.garbledRequests;
        emit FaultInjected(QStringLiteral("request garbled: %1 arrived as %2")
                               .arg(QString::fromLatin1(request.toPercentEncoding(":!?")),
                                    QString::fromLatin1(received.toPercentEncoding(":!?"))));
    }
    QByteArray reply = Receive(received);
    if (garble && !reply.isEmpty()) {
        reply = Garble(reply);
        ++m_counters.garbled;
    }
    if (dropReply && !reply.isEmpty()) {
        ++m_counters.droppedReplies;
        emit FaultInjected(QStringLiteral("reply lost: %1").arg(QString::fromLatin1(reply.toPercentEncoding(":#$%*!?|"))));
        emit RequestServed(received, {});
        return {};
    }
    emit RequestServed(received, reply);
    return reply;
}

QByteArray CSimulator::Garble(const QByteArray &bytes)
{
    // Line noise flips one bit of one character.
    QByteArray out = bytes;
    const int at = int(m_faults.bounded(quint32(out.size())));
    out[at] = char(quint8(out[at]) ^ quint8(1u << m_faults.bounded(7u)));
    return out;
}

QByteArray CSimulator::Receive(const QByteArray &request) const
{
    // What the instrument's receiver makes of a request that may have been
    // garbled on its way. A one-character request that is no longer "!",
    // "?" or "Z" is noise outside a record, and so is a record that lost its
    // ":"; a ":" made inside a record restarts it, and the fragment is
    // thrown away when the next request's ":" comes. Neither is answered.
    if (request.size() == 1) {
        const char c = request[0];
        if (c != '!' && c != '?' && c != 'Z')
            return {};
    } else if (!request.startsWith(':') || request.indexOf(':', 1) > 0) {
        return {};
    }
    return m_instrument->Handle(request);
}

QIODevice *CSimulator::ConnectInProcess()
{
    CPipeEnd *program = nullptr;
    CPipeEnd *instrument = nullptr;
    CPipeEnd::CreatePair(this, program, instrument);
    auto *line = new CSimLine(
        *this, [instrument](const QByteArray &bytes) {
            if (instrument->isOpen())
                instrument->write(bytes);
        },
        instrument);
    m_lines.append(line);
    connect(instrument, &QIODevice::readyRead, line, [instrument, line] { line->Receive(instrument->readAll()); });
    connect(instrument, &QIODevice::readChannelFinished, line, [line] { line->Reset(); });
    return program;
}

QString CSimulator::OpenPty(QString *error)
{
    if (m_pty && m_pty->IsOpen())
        return m_pty->Path();
    if (!m_pty) {
        m_pty = new CSimPty(this);
        m_ptyLine = new CSimLine(*this, [this](const QByteArray &bytes) { m_pty->Write(bytes); }, this);
        m_lines.append(m_ptyLine);
        connect(m_pty, &CSimPty::Received, m_ptyLine, &CSimLine::Receive);
    }
    return m_pty->Open(error);
}

void CSimulator::ClosePty()
{
    if (!m_pty)
        return;
    m_pty->Close();
    m_ptyLine->Reset();
}

QString CSimulator::PtyPath() const
{
    return m_pty ? m_pty->Path() : QString();
}

bool CSimulator::StartGateway(QString *error, quint16 tcpPort, quint16 udpPort)
{
    if (!m_gateway)
        m_gateway = new CSimGateway(*this, this);
    return m_gateway->Start(error, tcpPort, udpPort);
}

void CSimulator::StopGateway()
{
    if (m_gateway)
        m_gateway->Stop();
}

quint16 CSimulator::GatewayTcpPort() const
{
    return m_gateway ? m_gateway->TcpPort() : 0;
}

quint16 CSimulator::GatewayUdpPort() const
{
    return m_gateway ? m_gateway->UdpPort() : 0;
}

void CSimulator::PowerCycle()
{
    const QByteArray announcement = m_instrument->PowerCycle();
    for (const QPointer<CSimLine> &line : std::as_const(m_lines)) {
        if (line) {
            line->Reset();
            line->SendUnasked(announcement);
        }
    }
}
