// Port opening, bounded waiting and progress lines for the command line.
#include "CliSession.h"

#include "document/TransferProgress.h"
#include "link/LinkTrace.h"
#include "platform/Clock.h"
#include "platform/MSComm.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <QEventLoop>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

CCliSession::CCliSession()
    : m_clock(CClock::System()), m_doc(std::make_unique<CInstrumentDoc>(m_clock)), m_terminal(isatty(STDERR_FILENO))
{
    // Incoming characters are what "an answer" means here: some replies
    // (a settings piece, a bank selection) raise no update code.
    connect(&m_doc->Link(), &CLinkTransport::Traffic, this, [this](bool outgoing, const QByteArray &) {
        if (!outgoing)
            m_lastAnswerMs = QDateTime::currentMSecsSinceEpoch();
    });
    connect(m_doc.get(), &CInstrumentDoc::Updated, this, [this](int code, const CReplyNotice &) {
        if (code == UpdateCode::CommunicationsLost)
            m_gaveUp = true;
    });
}

CCliSession::~CCliSession()
{
    // The trace writes its last lines as it goes, echoed through this
    // session, and it follows the link: it goes while both are still here.
    delete m_trace;
    m_trace = nullptr;
    EndProgressLine();
}

bool CCliSession::Open(const CliOptions &options)
{
    m_options = options;
    CInstrumentLink &link = Link();
    if (options.verbose || !options.traceFile.isEmpty()) {
        // -v shows the same lines the protocol trace keeps, without times.
        m_trace = new CLinkTrace(link, this);
        if (options.verbose) {
            m_trace->SetEcho([this](const QString &line) {
                EndProgressLine();
                std::fprintf(stderr, "%s\n", qPrintable(line));
            });
        }
        connect(m_trace, &CLinkTrace::Warning, this, [this](const QString &message) {
            EndProgressLine();
            std::fprintf(stderr, "altavo-cli: warning: %s\n", qPrintable(message));
        });
        QString error;
        if (!options.traceFile.isEmpty() && !m_trace->Open(options.traceFile, &error))
            std::fprintf(stderr, "altavo-cli: warning: %s; going on without it.\n", qPrintable(error));
    }
    connect(&link, &CLinkTransport::DeviceLost, this, [this](const QString &message) {
        m_portLost = true;
        EndProgressLine();
        std::fprintf(stderr, "altavo-cli: the instrument's port was lost: %s\n", qPrintable(message));
    });

    int ok = 0;
    if (!options.gatewayHost.isEmpty())
        ok = link.OpenGateway(options.gatewayHost, options.gatewayPort);
    else if (!options.serialDevice.isEmpty())
        ok = link.OpenSerialDevice(options.serialDevice);
    else
        ok = link.OpenPort(options.commPort);
    if (!ok) {
        std::fprintf(stderr, "altavo-cli: cannot open %s: %s\n", qPrintable(PortName()), qPrintable(link.LastError()));
        return false;
    }
    const QString note = link.Comm().LowLatencyNote();
    if (options.verbose && !note.isEmpty())
        std::fprintf(stderr, "altavo-cli: %s\n", qPrintable(note));
    return true;
}

QString CCliSession::PortName() const
{
    return m_doc->Link().PortName();
}

bool CCliSession::WaitFor(const std::function<bool()> &done)
{
    QElapsedTimer silence;
    silence.start();
    qint64 seen = m_lastAnswerMs;
    // The link resends a request whose reply was lost after its reply
    // period (five seconds on the gateway), so silence is only taken for a
    // lost instrument once two resends have had their time too.
    const qint64 limitMs = qint64(m_options.timeoutSeconds) * 1000 + 2 * qint64(Link().ReplyPeriod());
    m_gaveUp = false;
    // processEvents with a time limit never sleeps; a running timer wakes a
    // plain wait instead, so waiting costs no CPU.
    QTimer tick;
    tick.start(50);
    while (true) {
        // A port lost on the way ends whatever was waited for, even when the
        // document wound it up as if it had finished (a log fetch ends on
        // the records it got): what came before the loss is not the whole.
        if (m_portLost) {
            std::fprintf(stderr, "altavo-cli: the operation did not finish; nothing more was done.\n");
            return false;
        }
        // After its run of timeouts the document has dropped the queue, so
        // what was waited for will never come, or comes only as far as it got.
        const bool gaveUp = m_gaveUp;
        if (!gaveUp && done())
            return true;
        if (m_lastAnswerMs != seen) {
            seen = m_lastAnswerMs;
            silence.restart();
        }
        if (gaveUp || silence.elapsed() > limitMs) {
            EndProgressLine();
            std::fprintf(stderr, "altavo-cli: no answer from the instrument on %s within %lld s.\n",
                         qPrintable(PortName()), static_cast<long long>((limitMs + 999) / 1000));
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void CCliSession::FollowProgress(CTransferProgress &progress, std::function<bool()> completed)
{
    connect(&progress, &CTransferProgress::Changed, this, [this, &progress](const QString &caption, int position, int, int maximum) {
        if (progress.IsOpen())
            ShowProgress(caption, position, maximum, false);
    });
    connect(&progress, &CTransferProgress::Closed, this, [this, &progress, completed] {
        const bool all = completed && completed();
        ShowProgress(progress.Caption(), all ? progress.Maximum() : progress.Position(), progress.Maximum(), true);
    });
}

void CCliSession::ShowProgress(const QString &caption, int position, int maximum, bool final)
{
    const QString line = QStringLiteral("%1 %2/%3").arg(caption).arg(position).arg(maximum);
    if (m_terminal) {
        if (line != m_lastLine) {
            std::fprintf(stderr, "\r%s\033[K", qPrintable(line));
            m_lineOpen = true;
        }
        if (final)
            EndProgressLine();
    } else if (final) {
        // A log file gets the outcome only, not a line per reply.
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
    m_lastLine = final ? QString() : line;
    std::fflush(stderr);
}

void CCliSession::EndProgressLine()
{
    if (m_lineOpen) {
        std::fprintf(stderr, "\n");
        std::fflush(stderr);
        m_lineOpen = false;
    }
}
