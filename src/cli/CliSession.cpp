// Port opening, reply collection and bounded waiting for the command line.
#include "CliSession.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace {
void PrintTraffic(bool outgoing, const QByteArray &bytes)
{
    QByteArray shown;
    for (char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F)
            shown.append(c);
        else
            shown.append(QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0')).toLatin1());
    }
    std::fprintf(stderr, "%s %s\n", outgoing ? ">" : "<", shown.constData());
}
} // namespace

CCliSession::CCliSession() : m_link(std::make_unique<CInstrumentLink>(CClock::System()))
{
    m_link->SetOwner(this);
}

CCliSession::~CCliSession()
{
    m_link->SetOwner(nullptr);
}

bool CCliSession::Open(const CliOptions &options)
{
    m_options = options;
    if (options.verbose)
        connect(m_link.get(), &CLinkTransport::Traffic, this, [](bool out, const QByteArray &b) { PrintTraffic(out, b); });
    connect(m_link.get(), &CLinkTransport::DeviceLost, this, [](const QString &message) {
        std::fprintf(stderr, "altavo-cli: the instrument's port was lost: %s\n", qPrintable(message));
    });

    int ok = 0;
    if (!options.gatewayHost.isEmpty())
        ok = m_link->OpenGateway(options.gatewayHost, options.gatewayPort);
    else if (!options.serialDevice.isEmpty())
        ok = m_link->OpenSerialDevice(options.serialDevice);
    else
        ok = m_link->OpenPort(options.commPort);
    if (!ok) {
        std::fprintf(stderr, "altavo-cli: cannot open %s: %s\n", qPrintable(PortName()),
                     qPrintable(m_link->LastError()));
        return false;
    }
    return true;
}

QString CCliSession::PortName() const
{
    return m_link->PortName();
}

void CCliSession::OnLinkReply(int code, int type, quint32 address, int count, const quint8 *data)
{
    if (code == -1) {
        ++m_timeoutsInRow;
    } else {
        m_timeoutsInRow = 0;
        m_lastAnswerMs = QDateTime::currentMSecsSinceEpoch();
    }
    if (onReply)
        onReply(code, type, address, QByteArray(reinterpret_cast<const char *>(data), data ? count : 0));
}

bool CCliSession::WaitFor(const std::function<bool()> &done)
{
    QElapsedTimer silence;
    silence.start();
    qint64 seen = m_lastAnswerMs;
    const qint64 limitMs = qint64(m_options.timeoutSeconds) * 1000;
    while (!done()) {
        if (m_lastAnswerMs != seen) {
            seen = m_lastAnswerMs;
            silence.restart();
        }
        if (silence.elapsed() > limitMs) {
            std::fprintf(stderr, "altavo-cli: no answer from the instrument on %s within %d s.\n",
                         qPrintable(PortName()), m_options.timeoutSeconds);
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}
