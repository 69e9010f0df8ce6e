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
    // Less the tick itself: how much longer than due the loop was away.
    double LongestStallMs() const { return qMax<qint64>(0, m_longest - TickMs * 1000000LL) / 1e6; }
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

// The write on the windows' thread, as it was made before the history had a thread of its own.
void Inline(const char *what, const QString &url)
{
    QFile::remove(CHistoryStore::SpoolFileFor(url));
    SimRig rig;
    rig.doc.UploadAll();
    rig.WaitFor([&] { return !rig.doc.TransferProgress().IsOpen() && rig.doc.Link().IsIdle(); }, 20000);
    CHistoryStore store;
    double stall = 0;
    {
        CStallMeter meter;
        QTimer::singleShot(20, [&] {
            store.Open(url);
            CHistoryRecorder recorder(rig.doc, &store);
            recorder.UploadDone();
        });
        WaitUntil([] { return false; }, 200, 1);
        WaitUntil([&] { return store.IsOpen() && store.SpooledCount() > 0; }, 30000, 1);
        stall = meter.LongestStallMs();
    }
    std::printf("  %-38s longest stall %6.1f ms (open and write on the windows' thread)\n", what, stall);
    std::fflush(stdout);
    QFile::remove(CHistoryStore::SpoolFileFor(url));
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
    std::printf("for comparison, the same on the windows' thread:\n");
    Inline("nothing listens on the port:", closed);
    Inline("a listener that never answers:", hung);
    return 0;
}
