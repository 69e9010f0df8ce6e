// Firmware benchmarks: checking and parsing a 256 KB image held as Intel HEX
// text, and programming it into the simulator on a pseudo-terminal at 115200
// baud, as elapsed time over the line time of the characters exchanged.
#include "BenchSettings.h"
#include "HexText.h"
#include "ProgramRuns.h"
#include "Turnaround.h"
#include "document/InstrumentDoc.h"
#include "firmware/HexFile.h"
#include "firmware/ProgrammingEngine.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {
constexpr double LineCharsPerSecond = 11520.0; // 115200 baud, 10 bits a character

void BenchParse(const QByteArray &text)
{
    CHexFile file;
    QElapsedTimer t;
    t.start();
    int n = 0;
    while (n < 5 || t.elapsed() < 3000) {
        if (!file.Parse(text, QStringLiteral("image.hex"))) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(file.ErrorString()));
            return;
        }
        ++n;
    }
    const double seconds = t.nsecsElapsed() * 1e-9;
    std::printf("CHexFile::Parse of a %.0f KB text (%d lines): %.1f ms each, %.1f MB/s  [%d runs]\n",
                text.size() / 1024.0, file.LineCount(), 1000.0 * seconds / n, n * text.size() / seconds / 1e6, n);
}

int BenchProgramming(const QByteArray &text, qint64 words)
{
    CSimProcess sim;
    if (!sim.Start({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--turnaround")})) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    CInstrumentDoc doc(CClock::System());
    if (doc.Link().OpenSerialDevice(sim.Pty()) != 1) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.Pty()));
        return 1;
    }
    CHexFile file;
    if (!file.Parse(text, QStringLiteral("image.hex"))) {
        std::fprintf(stderr, "refused: %s\n", qPrintable(file.ErrorString()));
        return 1;
    }
    CProgrammingEngine engine(doc, QString::fromLatin1(Pref::Programming));
    CInstrumentLink &link = doc.Link();
    const qint64 before = link.CharactersSent() + link.CharactersReceived();
    CTurnaround turnaround(link);
    QElapsedTimer t;
    t.start();
    if (!engine.Start(file)) {
        std::fprintf(stderr, "not started: %s\n", qPrintable(engine.ErrorString()));
        return 1;
    }
    using State = CProgrammingEngine::State;
    QDeadlineTimer deadline(15 * 60 * 1000);
    auto settled = [&] {
        const State s = engine.GetState();
        return (s == State::Done || s == State::Cancelled || s == State::Failed) && link.IsIdle();
    };
    // Sleeps in the event loop as the program does; the tick only wakes it
    // to look at the deadline.
    QTimer tick;
    tick.start(100);
    while (!settled() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = t.nsecsElapsed() * 1e-9;
    const qint64 chars = link.CharactersSent() + link.CharactersReceived() - before;
    if (engine.GetState() != State::Done) {
        std::fprintf(stderr, "the run ended %s: %s\n", qPrintable(engine.StatusText()), qPrintable(engine.ErrorString()));
        return 1;
    }
    const double line = chars / LineCharsPerSecond;
    std::printf("programming %lld words (%lld KB) at 115200 baud: %.1f s, %lld characters both ways "
                "(line time %.1f s): ratio %.3f\n",
                static_cast<long long>(words), static_cast<long long>(words * 2 / 1024), seconds,
                static_cast<long long>(chars), line, seconds / line);
    turnaround.Print();
    CTurnaround::PrintLineSide(sim.Process());
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir settings;
    UseBenchSettings(settings);
    qint64 words = 0;
    const QByteArray text = HexImage256K(&words);
    BenchParse(text);
    if (argc > 1 && QByteArray(argv[1]) == "--parse-only")
        return 0;
    return BenchProgramming(text, words);
}
