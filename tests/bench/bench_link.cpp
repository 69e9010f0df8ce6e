// Link benchmarks: framing and reply-cutting throughput, and how much of a
// 115200-baud line a long sweep of word reads keeps busy against the
// simulator (characters per second over the 11520 an 8N1 line carries).
#include "link/InstrumentLink.h"
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"
#include "platform/Clock.h"
#include "Turnaround.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <cstdio>

namespace {
constexpr double LineCharsPerSecond = 11520.0; // 115200 baud, 10 bits a character

void BenchFraming()
{
    const QByteArray data(128, '\x5A');
    QElapsedTimer t;
    t.start();
    qint64 chars = 0;
    int n = 0;
    for (; n < 200000; ++n)
        chars += LinkRecord::Format(RecordType::ReadWords, quint32(n), data).size();
    const double formatSeconds = t.nsecsElapsed() * 1e-9;

    const QByteArray record = LinkRecord::Format(RecordType::ReadWords, 0x1234, data);
    QList<QByteArray> chunks;
    for (int i = 0; i < record.size(); i += 16)
        chunks.append(record.mid(i, 16));
    CSerialReplyAssembler assembler;
    t.restart();
    qint64 cut = 0;
    for (int i = 0; i < 100000; ++i) {
        for (const QByteArray &c : chunks) {
            LinkReply r;
            if (assembler.Feed(c, r))
                cut += r.data.size();
        }
    }
    const double cutSeconds = t.nsecsElapsed() * 1e-9;
    std::printf("framing: %.0f records/s (%.0f x the line's character rate)\n", n / formatSeconds,
                chars / formatSeconds / LineCharsPerSecond);
    std::printf("reply cutting: %.0f chars/s in 16-char chunks (%.0f x the line's character rate)\n",
                100000.0 * record.size() / cutSeconds, 100000.0 * record.size() / cutSeconds / LineCharsPerSecond);
    Q_UNUSED(cut);
}

class Counter : public ILinkReplySink
{
public:
    void OnLinkReply(int code, int, quint32, int, const quint8 *) override
    {
        if (code == -1)
            ++timeouts;
        else
            ++replies;
    }
    int replies = 0;
    int timeouts = 0;
};

int BenchSweep(int requests, int wordsPerRead)
{
    QProcess sim;
    sim.start(QStringLiteral(ALTAVO_SIM_PATH), {QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--turnaround")});
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    QString device;
    QDeadlineTimer started(5000);
    while (device.isEmpty() && !started.hasExpired()) {
        sim.waitForReadyRead(100);
        const QByteArray line = sim.readLine().trimmed();
        if (line.startsWith("pty: "))
            device = QString::fromLatin1(line.mid(5));
    }
    if (device.isEmpty()) {
        std::fprintf(stderr, "the simulator did not report its pseudo-terminal\n");
        return 1;
    }

    CInstrumentLink link(CClock::System());
    Counter counter;
    link.SetOwner(&counter);
    if (!link.OpenSerialDevice(device)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(device));
        return 1;
    }
    CTurnaround turnaround(link);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < requests; ++i)
        link.QueueRequest(RecordType::ReadWords, quint32(0x8000 + (i * wordsPerRead) % 0x20000),
                          QByteArray(1, char(2 * wordsPerRead)));
    QTimer tick; // wakes the wait below; processEvents with a time limit never sleeps
    tick.start(50);
    while (!link.IsIdle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = t.nsecsElapsed() * 1e-9;
    const double chars = double(link.CharactersSent() + link.CharactersReceived());
    // Strictly one request in flight: the line carries one direction at a
    // time, so the ideal time is every character on the wire back to back.
    const double ideal = chars / LineCharsPerSecond;
    const double payload = double(requests) * (LinkRecord::RecordLength(1) + LinkRecord::RecordLength(2 * wordsPerRead));
    std::printf("sweep of %d reads of %d words at 115200 baud: %.2f s, %d timeouts\n", requests, wordsPerRead, seconds,
                counter.timeouts);
    std::printf("  line utilisation (characters both ways / 11520 per s): %.3f\n", chars / seconds / LineCharsPerSecond);
    std::printf("  against the one-request-in-flight ideal:              %.3f\n", ideal / seconds);
    std::printf("  share of the line spent on bank selection:            %.3f\n", 1.0 - payload / chars);
    turnaround.Print();
    CTurnaround::PrintLineSide(sim);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchFraming();
    const int requests = argc > 1 ? QByteArray(argv[1]).toInt() : 300;
    // The longest read the protocol allows, a middling one, and the 8-word
    // reads the settings views make.
    int rc = BenchSweep(requests, 127);
    rc |= BenchSweep(requests, 64);
    rc |= BenchSweep(requests * 4, 8);
    return rc;
}
