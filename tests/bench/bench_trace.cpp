// What the protocol trace costs the line: whole uploads (with the ID
// entries) against the simulator on a pseudo-terminal at 115200 baud, in
// turn without and with the trace file, as the ratio of their times.
#include "BenchSettings.h"
#include "EventWait.h"
#include "ProgramRuns.h"
#include "document/InstrumentDoc.h"
#include "link/LinkTrace.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {
double Upload(CInstrumentDoc &doc)
{
    QElapsedTimer t;
    t.start();
    doc.SetIdEntriesWanted(true);
    doc.UploadAll();
    if (!WaitUntil([&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); }, 120000))
        return -1;
    return t.nsecsElapsed() * 1e-9;
}

double Median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    UseBenchSettings(dir);
    const int rounds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;

    CSimProcess sim;
    if (!sim.Start({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200")})) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    CInstrumentDoc doc(CClock::System());
    if (doc.Link().OpenSerialDevice(sim.Pty()) != 1) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.Pty()));
        return 1;
    }
    WaitUntil([&] { return doc.Link().IsIdle(); }, 5000);
    Upload(doc); // warm-up

    QList<double> plain, traced, ratios;
    qint64 lines = 0;
    for (int i = 0; i < rounds; ++i) {
        const double a = Upload(doc);
        CLinkTrace trace(doc.Link());
        const QString path = dir.filePath(QStringLiteral("trace-%1.log").arg(i));
        if (!trace.Open(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        const double b = Upload(doc);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "an upload did not finish\n");
            return 1;
        }
        plain.append(a);
        traced.append(b);
        ratios.append(b / a);
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            lines += f.readAll().count('\n');
    }
    std::printf("upload without trace: median %.3f s; with trace: median %.3f s (%lld lines a run); "
                "traced/plain pair by pair: median %.4f, min %.4f, max %.4f  [%d pairs]\n",
                Median(plain), Median(traced), static_cast<long long>(lines / rounds), Median(ratios),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                rounds);
    return 0;
}
