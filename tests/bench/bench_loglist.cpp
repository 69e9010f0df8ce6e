// Opening and scrolling the log list: a million entries against a hundred, as a ratio measured in the same run.
#include "datalog/Log.h"
#include "datalog/LogRetrieval.h"
#include "datalog/LogTableModel.h"
#include "document/InstrumentDoc.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>

namespace {
// listOnly: every entry at one time, so no session forms and no chart is drawn.
QList<LogRecord> Entries(int count, bool listOnly)
{
    QList<LogRecord> entries;
    entries.reserve(count);
    const QDateTime base(QDate(2004, 6, 15), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        LogRecord e;
        e.kind = LogRecord::Data;
        e.time = listOnly ? base : base.addSecs(10 * qint64(i));
        e.unitBit = 1;
        e.flags = 0x0F | LogRecord::BatteryPresent;
        e.values[LogRecord::HC] = i % 50;
        e.values[LogRecord::O2] = 20.9;
        e.values[LogRecord::Battery] = 4.1;
        entries.append(e);
    }
    return entries;
}

struct Figures
{
    double openMs = 0;
    double scrollMs = 0;
};

// Loads the entries into a shown log view, then pages through 200 screens
// spread over the whole list, painting each.
Figures Measure(CInstrumentDoc &doc, int count, bool listOnly)
{
    const QList<LogRecord> entries = Entries(count, listOnly);
    CLog view(doc);
    view.resize(1100, 700);
    view.show();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    view.Log().SetLoaded(entries, view.Log().Sensors());
    view.Model()->Flush();
    view.List()->repaint();
    QCoreApplication::processEvents();
    Figures f;
    f.openMs = double(timer.nsecsElapsed()) / 1e6;

    QScrollBar *bar = view.List()->verticalScrollBar();
    timer.restart();
    for (int i = 0; i < 200; ++i) {
        bar->setValue(int(qint64(bar->maximum()) * i / 199));
        view.List()->viewport()->repaint();
    }
    QCoreApplication::processEvents();
    f.scrollMs = double(timer.nsecsElapsed()) / 1e6;
    return f;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CInstrumentDoc doc(CClock::System());
    for (bool listOnly : {true, false}) {
        const Figures small = Measure(doc, 100, listOnly);
        const Figures large = Measure(doc, 1000000, listOnly);
        std::printf("%s\n", listOnly ? "list alone (no session):" : "list and charts (one session):");
        std::printf("  100 entries:     open %.1f ms, 200 screens %.1f ms\n", small.openMs, small.scrollMs);
        std::printf("  1000000 entries: open %.1f ms, 200 screens %.1f ms\n", large.openMs, large.scrollMs);
        std::printf("  ratio:           open %.1f, scroll %.2f\n", large.openMs / small.openMs, large.scrollMs / small.scrollMs);
    }
    return 0;
}
