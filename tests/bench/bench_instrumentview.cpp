// Instrument View benchmark: how many times a second the view refreshes the
// display from a simulated instrument on a 115200-baud line, against the
// refreshes the line itself allows for the three display reads.
#include "SimRig.h"
#include "link/LinkRecord.h"
#include "views/InstrumentDisplay.h"
#include "views/VirtualInstrument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {
constexpr double LineCharsPerSecond = 11520.0; // 115200 baud, 10 bits a character
constexpr int RunMs = 10000;
// The three reads: 16, 16 and 8 bytes, each a request carrying its byte count.
constexpr int ReadBytes[] = {16, 16, 8};
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    SimOptions options;
    options.baud = 115200;
    SimRig rig(options);
    CVirtualInstrument view(rig.doc);
    view.resize(view.FormSize());
    view.show();
    view.OnInitialUpdate();

    // The display address first, as the first status poll fetches it.
    rig.doc.PollInstrument();
    if (!rig.WaitFor([&] { return view.DisplayAddress() >= 0; }) || !rig.WaitIdle()) {
        std::fprintf(stderr, "instrument view: no display address from the simulator\n");
        return 1;
    }

    int refreshes = 0;
    QObject::connect(&rig.doc, &CInstrumentDoc::Updated, [&](int code, const CReplyNotice &notice) {
        if (code == UpdateCode::RamBlock && notice.address == view.DisplayAddress() + 32)
            ++refreshes;
    });
    // The application's idle hook: the document's idle notice whenever the
    // event loop has nothing else to do.
    const quint64 sentBefore = rig.sim.CharactersSent();
    const quint64 receivedBefore = rig.sim.CharactersReceived();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < RunMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        rig.doc.IdleCheck();
    }
    const double seconds = t.nsecsElapsed() * 1e-9;
    rig.WaitIdle();

    int charsPerRefresh = 0;
    for (int n : ReadBytes)
        charsPerRefresh += LinkRecord::RecordLength(1) + LinkRecord::RecordLength(n);
    const double lineRate = LineCharsPerSecond / charsPerRefresh;
    const double rate = refreshes / seconds;
    const double wire = (rig.sim.CharactersSent() - sentBefore + rig.sim.CharactersReceived() - receivedBefore) / seconds;
    std::printf("instrument view: %.1f refreshes/s; the line allows %.1f/s (%d characters a refresh, both ways) "
                "-> %.2f of the line's limit; %.0f characters/s on the wire\n",
                rate, lineRate, charsPerRefresh, rate / lineRate, wire);
    return 0;
}
