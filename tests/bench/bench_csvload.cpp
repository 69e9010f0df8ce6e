// Loading a million-row data-log file into the log window: the longest wait of the window's event loop and the whole time, against the reading in one piece on the window's thread that the window did before, measured in the same run.
#include "SimInstrument.h"
#include "SimLogGenerator.h"
#include "datalog/Log.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvReader.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogRetrieval.h"
#include "datalog/LogSensorSource.h"
#include "datalog/LogTableModel.h"
#include "document/InstrumentDoc.h"
#include "platform/Clock.h"
#include "platform/UserPrompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {
// CPU time of the calling thread, where the system keeps it: the part of a
// wait that the window's own work took, the rest being a wait for a core.
qint64 ThreadCpuNs()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
#endif
    return -1;
}

const QDateTime Now(QDate(2026, 3, 2), QTime(17, 30, 0), Qt::UTC);

// The gaps between the ticks of a timer on the window's thread: how long
// the event loop could not answer anything.
class CTicks
{
public:
    explicit CTicks(int intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        m_longest = 0;
        m_ticks = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = ThreadCpuNs();
        m_timer.start();
    }
    void Stop()
    {
        Tick();
        m_timer.stop();
    }
    double LongestMs() const { return m_longest * 1e-6; }
    // The window thread's CPU time within that wait; negative when unknown.
    double LongestCpuMs() const { return m_longestCpu * 1e-6; }
    // When the longest wait ended, from Start.
    double LongestEndMs() const { return m_longestEnd * 1e-6; }
    qint64 Ticks() const { return m_ticks; }

private:
    void Tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = ThreadCpuNs();
        if (now - m_last > m_longest) {
            m_longest = now - m_last;
            m_longestEnd = now;
            m_longestCpu = cpu < 0 ? -1000000 : cpu - m_lastCpu;
        }
        m_last = now;
        m_lastCpu = cpu;
        ++m_ticks;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_longestEnd = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;
    qint64 m_ticks = 0;
};

struct Figures
{
    double totalMs = 0;
    double longestMs = 0;
    double longestEndMs = 0;
    double longestCpuMs = 0;
    qint64 ticks = 0;
    qsizetype entries = 0;
};

// Runs the event loop for a while, so what a load leaves queued (the
// list's rows, painting) is counted too.
void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window's load as it is: in the background, until its entries are shown.
Figures LoadInBackground(CLog &view, const QString &path, int intervalMs)
{
    CTicks ticks(intervalMs);
    QEventLoop loop;
    bool shown = false;
    QObject::connect(&view, &CLog::LoadFinished, &loop, [&](bool ok) {
        shown = ok;
        loop.quit();
    });
    QElapsedTimer t;
    ticks.Start();
    t.start();
    view.LoadFrom(path);
    loop.exec();
    Figures f;
    f.totalMs = t.nsecsElapsed() * 1e-6;
    Settle(300);
    ticks.Stop();
    f.longestMs = ticks.LongestMs();
    f.longestEndMs = ticks.LongestEndMs();
    f.longestCpuMs = ticks.LongestCpuMs();
    f.ticks = ticks.Ticks();
    f.entries = shown ? view.Log().Entries().size() : -1;
    return f;
}

// The window's load as it was: the whole file read, then parsed on the
// window's thread, letting events through about every 2% of it.
Figures LoadInOnePiece(CLog &view, CInstrumentDoc &doc, const QString &path, int intervalMs)
{
    CTicks ticks(intervalMs);
    QElapsedTimer t;
    ticks.Start();
    t.start();
    view.Log().Clear();
    const CSettingsImage &settings = doc.Settings();
    const LogCsvReader reader(LogSensorSource::ToxicTable(settings), LogSensorSource::HCFullScale(settings));
    QFile file(path);
    LogCsvReader::Result result;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray content = file.readAll();
        result = reader.Parse(content, [](qint64, qint64) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    }
    view.Log().SetLoaded(result.entries, result.sensors);
    Figures f;
    f.totalMs = t.nsecsElapsed() * 1e-6;
    Settle(300);
    ticks.Stop();
    f.longestMs = ticks.LongestMs();
    f.longestEndMs = ticks.LongestEndMs();
    f.longestCpuMs = ticks.LongestCpuMs();
    f.ticks = ticks.Ticks();
    f.entries = view.Log().Entries().size();
    return f;
}

void Print(const char *what, const Figures &f)
{
    std::printf("  %-46s total %6.0f ms; longest event-loop wait %6.1f ms (window thread's CPU in it %5.1f ms), "
                "ending at %6.0f ms; %lld ticks, %lld entries\n",
                what, f.totalMs, f.longestMs, f.longestCpuMs, f.longestEndMs, static_cast<long long>(f.ticks),
                static_cast<long long>(f.entries));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settingsDir;
    QStandardPaths::setTestModeEnabled(true);
    qputenv("XDG_CONFIG_HOME", settingsDir.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int records = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int intervalMs = argc > 2 ? QByteArray(argv[2]).toInt() : 10;

    // The program's own file of a generated log.
    const CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(CSimInstrument([] { return Now; }));
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(5, records, Now, settings);
    const LogSensors sensors(QString::fromLatin1(settings.toxicName[0]), 1, QString::fromLatin1(settings.toxicName[1]), 1, 100);
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, log.start)};
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, Now));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    QString error;
    if (!LogCsv::Save(path, entries, sensors, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("file: %lld rows, %.1f MB; event-loop timer every %d ms\n", static_cast<long long>(entries.size()),
                QFileInfo(path).size() / 1e6, intervalMs);

    // The reading alone, on this thread, with nothing else running.
    {
        const LogCsvReader reader({}, 100);
        QElapsedTimer t;
        t.start();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const LogCsvReader::Result whole = reader.Parse(file.readAll());
        const double wholeMs = t.nsecsElapsed() * 1e-6;
        t.restart();
        const LogCsvReader::Result steps = reader.Load(path);
        const double stepsMs = t.nsecsElapsed() * 1e-6;
        std::printf("reading alone: in one piece (readAll + Parse) %.0f ms; in 1 MB blocks (Load) %.0f ms: ratio %.2f; "
                    "same entries: %s\n",
                    wholeMs, stepsMs, stepsMs / wholeMs, steps.entries == whole.entries ? "yes" : "NO");
    }

    CInstrumentDoc doc(CClock::System());
    CSilentPrompt prompt;
    CLog view(doc);
    view.SetPrompt(&prompt);
    view.resize(1100, 700);
    view.show();
    QCoreApplication::processEvents();

    std::printf("log window, offscreen:\n");
    const Figures first = LoadInBackground(view, path, intervalMs);
    Print("background load into the empty window", first);
    const Figures old = LoadInOnePiece(view, doc, path, intervalMs);
    Print("one-piece load over the shown log (as before)", old);
    const Figures again = LoadInBackground(view, path, intervalMs);
    Print("background load over the shown log", again);
    std::printf("background / one piece: total %.2f, longest wait %.3f\n", again.totalMs / old.totalMs,
                again.longestMs / old.longestMs);
    return 0;
}
