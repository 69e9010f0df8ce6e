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
        instrument.Log().Generate(options.seed, options.logRecords, instrument.Clock(),
                                  CSimLogGenerator::SettingsOf(instrument));
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
    // Both draws are made whenever their chance is set, so a seed gives the
    // same faults whatever the replies are.
    const bool drop = m_options.dropProbability > 0.0 && m_faults.generateDouble() < m_options.dropProbability;
    const bool garble = m_options.garbleProbability > 0.0 && m_faults.generateDouble() < m_options.garbleProbability;
    if (drop) {
        ++m_counters.dropped;
        emit RequestServed(request, {});
        return {};
    }
    QByteArray reply = m_instrument->Handle(request);
    if (garble && !reply.isEmpty()) {
        // Line noise flips one bit of one character.
        const int at = int(m_faults.bounded(quint32(reply.size())));
        reply[at] = char(quint8(reply[at]) ^ quint8(1u << m_faults.bounded(7u)));
        ++m_counters.garbled;
    }
    emit RequestServed(request, reply);
    return reply;
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
