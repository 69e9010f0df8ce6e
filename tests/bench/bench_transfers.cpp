// Transfer benchmarks: the whole settings upload (with the ID entries) and the
// whole download against the simulator on a pseudo-terminal at 115200 baud,
// as elapsed time over the line time of the characters actually exchanged.
#include "BenchSettings.h"
#include "EventWait.h"
#include "ProgramRuns.h"
#include "Turnaround.h"
#include "document/InstrumentDoc.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
constexpr double LineCharsPerSecond = 11520.0; // 115200 baud, 10 bits a character

struct Figure
{
    double seconds = 0;
    qint64 chars = 0;
    int replies = 0;
    // Time beyond the line time of the characters between two replies the
    // document reported: the turnaround the line sat idle.
    QList<double> excessMs;
    // Each round's time over its line time: on a shared machine the best
    // round shows the program, the mean also the other load.
    QList<double> roundRatios;
};

void Print(const char *what, const Figure &f, int rounds, const CTurnaround &turnaround)
{
    const double line = f.chars / LineCharsPerSecond;
    std::printf("%s: %.3f s, %lld characters both ways (line time %.3f s): ratio %.3f, best round %.3f  [%d rounds]\n",
                what, f.seconds / rounds, static_cast<long long>(f.chars / rounds), line / rounds, f.seconds / line,
                *std::min_element(f.roundRatios.begin(), f.roundRatios.end()), rounds);
    QList<double> gaps = f.excessMs;
    std::sort(gaps.begin(), gaps.end());
    double total = 0, beyond10 = 0;
    for (double g : gaps) {
        total += g;
        if (g > 10)
            beyond10 += g;
    }
    if (!gaps.isEmpty())
        std::printf("  %d replies a transfer; idle line between replies: median %.2f ms, 90th %.2f ms, max %.1f ms; "
                    "%.0f%% of the idle time in gaps over 10 ms\n",
                    f.replies / rounds, gaps[gaps.size() / 2], gaps[gaps.size() * 9 / 10], gaps.last(),
                    total > 0 ? 100.0 * beyond10 / total : 0.0);
    turnaround.Print();
}

// One transfer timed from its call until the link is idle and its progress
// window has closed; the characters are the link's counts over that span.
bool Time(CInstrumentDoc &doc, const std::function<void()> &start, Figure &sum)
{
    CInstrumentLink &link = doc.Link();
    const qint64 before = link.CharactersSent() + link.CharactersReceived();
    QElapsedTimer t;
    qint64 lastNs = 0;
    qint64 lastChars = before;
    const QMetaObject::Connection c =
        QObject::connect(&doc, &CInstrumentDoc::Updated, [&](int, const CReplyNotice &) {
            const qint64 ns = t.nsecsElapsed();
            const qint64 chars = link.CharactersSent() + link.CharactersReceived();
            sum.excessMs.append((ns - lastNs) * 1e-6 - 1000.0 * (chars - lastChars) / LineCharsPerSecond);
            ++sum.replies;
            lastNs = ns;
            lastChars = chars;
        });
    t.start();
    start();
    const bool done = WaitUntil([&] { return link.IsIdle() && !doc.TransferProgress().IsOpen(); }, 120000);
    QObject::disconnect(c);
    if (!done)
        return false;
    const double seconds = t.nsecsElapsed() * 1e-9;
    const qint64 chars = link.CharactersSent() + link.CharactersReceived() - before;
    sum.seconds += seconds;
    sum.chars += chars;
    sum.roundRatios.append(seconds / (chars / LineCharsPerSecond));
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir settings;
    UseBenchSettings(settings);
    const int rounds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 3;

    CSimProcess sim;
    if (!sim.Start({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--turnaround")})) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    CInstrumentDoc doc(CClock::System());
    if (doc.Link().OpenSerialDevice(sim.Pty()) != 1) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(sim.Pty()), qPrintable(doc.Link().LastError()));
        return 1;
    }
    WaitUntil([&] { return doc.Link().IsIdle(); }, 5000);

    Figure upload, download;
    CTurnaround uploadTurns(doc.Link()), downloadTurns(doc.Link());
    for (int i = 0; i < rounds; ++i) {
        uploadTurns.SetActive(true);
        downloadTurns.SetActive(false);
        if (!Time(doc, [&] { doc.SetIdEntriesWanted(true); doc.UploadAll(); }, upload)) {
            std::fprintf(stderr, "the upload did not finish\n");
            return 1;
        }
        uploadTurns.SetActive(false);
        downloadTurns.SetActive(true);
        if (!Time(doc, [&] { doc.DownloadAll(); }, download)) {
            std::fprintf(stderr, "the download did not finish\n");
            return 1;
        }
    }
    Print("upload (ID entries wanted) at 115200 baud", upload, rounds, uploadTurns);
    Print("download at 115200 baud", download, rounds, downloadTurns);
    std::printf("both transfers:\n");
    CTurnaround::PrintLineSide(sim.Process());
    return 0;
}
