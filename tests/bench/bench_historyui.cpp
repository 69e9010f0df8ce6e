// The windows while the history server cannot be reached: the longest stall of the event loop during an upload and its history write, with nothing listening on the server's port and with a listener that takes the connection and never answers; against it, the same write made on the windows' own thread.
#include "SilentServer.h"
#include "SimRig.h"
#include "document/TransferProgress.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryService.h"
#include "history/HistorySpool.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "history/HistoryWorker.h"
#include "history/UploadWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <cstdio>

namespace {
// The longest time between two runs of the event loop while it lasts.
class CStallMeter : public QObject
{
public:
    CStallMeter()
    {
        connect(&m_tick, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = qMax(m_longest, now - m_last);
            m_last = now;
        });
        m_tick.setTimerType(Qt::PreciseTimer);
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_tick.start(TickMs);
    }
    // Less the tick itself: how much longer than due the loop was away (up to now).
    double LongestStallMs() const
    {
        const qint64 longest = qMax(m_longest, m_clock.nsecsElapsed() - m_last);
        return qMax<qint64>(0, longest - TickMs * 1000000LL) / 1e6;
    }
    static constexpr int TickMs = 5;

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

void Windows(const char *what, const QString &url)
{
    QFile::remove(CHistoryStore::SpoolFileFor(url));
    SimRig rig;
    rig.doc.SetIdEntriesWanted(true);
    CHistoryService service(rig.doc);
    CHistoryWindow window(rig.doc);
    window.resize(window.FormSize());
    window.show();
    service.Attach(&window);
    QSignalSpy recorded(&service.Recorder(), &CHistoryRecorder::Recorded);
    QElapsedTimer t;
    t.start();
    double stall = 0;
    {
        CStallMeter meter;
        service.Open(url);
        rig.doc.UploadAll();
        WaitUntil([&] { return !recorded.isEmpty() && service.Worker().Pending() == 0; }, 60000, 1);
        stall = meter.LongestStallMs();
    }
    const bool spooled = !recorded.isEmpty() && service.Recorder().LastResult().spooled;
    std::printf("  %-38s longest stall %6.1f ms over %5.1f s (upload, write, window refresh); record %s, %d waiting\n", what, stall,
                t.elapsed() / 1000.0, spooled ? "spooled" : "NOT spooled", CHistorySpool(CHistoryStore::SpoolFileFor(url)).Count());
    std::fflush(stdout);
    QFile::remove(CHistoryStore::SpoolFileFor(url));
}

// The same on the windows' thread, as it was before the history had a thread of its own.
void Inline(const char *what, const QString &url)
{
    QFile::remove(CHistoryStore::SpoolFileFor(url));
    SimRig rig;
    rig.doc.SetIdEntriesWanted(true);
    CHistoryStore store;
    CHistoryRecorder recorder(rig.doc, &store);
    CUploadWatch uploads(rig.doc);
    QObject::connect(&uploads, &CUploadWatch::UploadFinished, &recorder, &CHistoryRecorder::UploadDone);
    QSignalSpy recorded(&recorder, &CHistoryRecorder::Recorded);
    double stall = 0;
    {
        CStallMeter meter;
        QTimer::singleShot(0, [&] {
            store.Open(url);
            rig.doc.UploadAll();
        });
        WaitUntil([&] { return !recorded.isEmpty(); }, 60000, 1);
        stall = meter.LongestStallMs();
    }
    std::printf("  %-38s longest stall %8.1f ms (open, upload, write); record %s\n", what, stall,
                recorder.LastResult().spooled ? "spooled" : "NOT spooled");
    std::fflush(stdout);
    QFile::remove(CHistoryStore::SpoolFileFor(url));
}
// The machine's own noise: the same meter over an event loop with nothing to do.
void Idle(int seconds)
{
    SimRig rig;
    CHistoryWindow window(rig.doc);
    window.resize(window.FormSize());
    window.show();
    CStallMeter meter;
    WaitUntil([] { return false; }, seconds * 1000, 1);
    std::printf("  %-38s longest stall %6.1f ms over %5.1f s\n", "reference, nothing to do:", meter.LongestStallMs(), double(seconds));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir settings;
    UseTemporarySettings(settings);
    CSilentServer silent;
    if (!silent.Start()) {
        std::printf("cannot listen on loopback\n");
        return 1;
    }
    const QString closed = QStringLiteral("postgresql://nobody@127.0.0.1:%1/history").arg(CSilentServer::ClosedPort());
    const QString hung = silent.Url(QStringLiteral("history"));
    std::printf("history on its own thread (budget 100 ms):\n");
    Windows("nothing listens on the port:", closed);
    Windows("a listener that never answers:", hung);
    Idle(25);
    std::printf("for comparison, the same on the windows' thread:\n");
    Inline("nothing listens on the port:", closed);
    Inline("a listener that never answers:", hung);
    return 0;
}
