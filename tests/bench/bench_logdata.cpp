// Data log benchmarks: decoding and session detection of a million generated
// records, the CSV file of a million rows saved and read back, the chart
// series of a 100 000-point session, and a 2000-record log fetched from the
// simulator on a pseudo-terminal at 115200 baud.
#include "BenchSettings.h"
#include "EventWait.h"
#include "ProgramRuns.h"
#include "Turnaround.h"
#include "SimInstrument.h"
#include "SimLogGenerator.h"
#include "datalog/LogChartSeries.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvReader.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogRetrieval.h"
#include "datalog/LogSession.h"
#include "document/InstrumentDoc.h"
#include "document/UpdateCodes.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {
constexpr double LineCharsPerSecond = 11520.0; // 115200 baud, 10 bits a character
const QDateTime Now(QDate(2026, 3, 2), QTime(17, 30, 0));

LogSensors SensorsOf(const CSimLogGenerator::Settings &s)
{
    return LogSensors(QString::fromLatin1(s.toxicName[0]), 1, QString::fromLatin1(s.toxicName[1]), 1, 100);
}

// Channel 0 %LEL full scale 100, channel 1 %VOL 5.0, channel 2 PPM 1000.
LogChartSetup ChartSetup()
{
    LogChartSetup s;
    s.channels[0] = {1, 100.0, 10.0, 20.0};
    s.channels[1] = {2, 5.0, 0.5, 1.0};
    s.channels[2] = {4, 1000.0, 50.0, 100.0};
    s.o2Warning = 19.5;
    s.o2High = 23.5;
    s.toxic[0] = {QStringLiteral("CO "), 35.0, 200.0, 100.0, 50.0, 500.0};
    s.toxic[1] = {QStringLiteral("H2S"), 10.0, 15.0, 15.0, 10.0, 100.0};
    return s;
}

int BenchOffline(int records)
{
    const CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(CSimInstrument([] { return Now; }));
    QElapsedTimer t;
    t.start();
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(5, records, Now, settings);
    std::printf("generating %d records (not a product figure): %.2f s\n", records, t.nsecsElapsed() * 1e-9);

    // Decode plus session detection, as the log window does after a fetch.
    const LogSensors sensors = SensorsOf(settings);
    t.restart();
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries;
    entries.reserve(log.records.size());
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    const double decodeSeconds = t.nsecsElapsed() * 1e-9;
    t.restart();
    const QList<LogSession> sessions = LogSession::Find(entries);
    const double findSeconds = t.nsecsElapsed() * 1e-9;
    std::printf("decode %d records: %.3f s (%.0f records/s); LogSession::Find: %.3f s (%lld sessions)\n", records,
                decodeSeconds, records / decodeSeconds, findSeconds, static_cast<long long>(sessions.size()));
    std::printf("  decode + session detection: %.0f records/s\n", records / (decodeSeconds + findSeconds));

    // A million-row CSV file out and back in.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    QString error, detail;
    t.restart();
    if (!LogCsv::Save(path, entries, sensors, &error, &detail)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(error), qPrintable(detail));
        return 1;
    }
    const double saveSeconds = t.nsecsElapsed() * 1e-9;
    const qint64 bytes = QFileInfo(path).size();
    const LogCsvReader reader({}, 100);
    t.restart();
    const LogCsvReader::Result back = reader.Load(path);
    const double loadSeconds = t.nsecsElapsed() * 1e-9;
    if (!back.Ok()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(back.error), qPrintable(back.detail));
        return 1;
    }
    std::printf("CSV of %lld rows (%.1f MB): save %.2f s, load %.2f s (%lld rows read back, %lld problems)\n",
                static_cast<long long>(entries.size()), bytes / 1e6, saveSeconds, loadSeconds,
                static_cast<long long>(back.entries.size()), static_cast<long long>(back.problems.size()));

    // A 100 000-point session: the Data entries from the first one on, as one
    // run (the generated sessions are shorter than that).
    LogSession big;
    int data = 0;
    for (int i = 0; i < entries.size() && data < 100000; ++i) {
        if (entries[i].kind != LogRecord::Data)
            continue;
        if (data == 0)
            big.first = i;
        big.last = i;
        ++data;
    }
    big.dataCount = data;
    const LogChartSetup setup = ChartSetup();
    const QList<LogChartSeries::GroupInfo> groups = LogChartSeries::Groups(setup);
    qint64 points = 0;
    t.restart();
    const int runs = 5;
    for (int run = 0; run < runs; ++run) {
        for (const LogChartSeries::GroupInfo &g : groups) {
            for (const LogChartSeries::Series &s : LogChartSeries::Compute(entries, big, g, setup))
                points += s.x.size();
        }
    }
    const double chartMs = t.nsecsElapsed() * 1e-6 / runs;
    std::printf("chart series of a %d-point session (%lld groups, %lld points in all): %.1f ms\n", data,
                static_cast<long long>(groups.size()), static_cast<long long>(points / runs), chartMs);
    return 0;
}

// The log window's fetch against the simulator, with the windowed program's
// once-a-second status poll, from Start to the sessions found.
int BenchRetrieval(int records)
{
    CSimProcess sim;
    if (!sim.Start({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--turnaround"), QStringLiteral("--log-records"),
                    QString::number(records)})) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    CInstrumentDoc doc(CClock::System());
    CInstrumentLink &link = doc.Link();
    if (link.OpenSerialDevice(sim.Pty()) != 1) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.Pty()));
        return 1;
    }
    bool tables = false;
    QObject::connect(&doc, &CInstrumentDoc::Updated, [&tables](int code, const CReplyNotice &) {
        tables |= code == int(UpdateCode::ToxicCount);
    });
    doc.ReadTimeKeeperSettings();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    if (!WaitUntil([&] { return tables && link.IsIdle(); }, 30000)) {
        std::fprintf(stderr, "no tables\n");
        return 1;
    }

    CLogRetrieval log(doc);
    bool ended = false;
    QObject::connect(&log, &CLogRetrieval::SessionsFound, [&ended] { ended = true; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &doc, &CInstrumentDoc::PollInstrument);
    const qint64 before = link.CharactersSent() + link.CharactersReceived();
    CTurnaround turnaround(link);
    QElapsedTimer t;
    t.start();
    poll.start(1000);
    log.Start();
    const bool fetched = WaitUntil([&] { return ended; }, 300000);
    poll.stop();
    const double seconds = t.nsecsElapsed() * 1e-9;
    const qint64 chars = link.CharactersSent() + link.CharactersReceived() - before;
    if (!fetched) {
        std::fprintf(stderr, "the log did not arrive\n");
        return 1;
    }
    const double line = chars / LineCharsPerSecond;
    std::printf("log retrieval of %d records at 115200 baud: %.2f s, %lld characters both ways (line time %.2f s): "
                "ratio %.3f (%lld entries, %lld sessions)\n",
                records, seconds, static_cast<long long>(chars), line, seconds / line,
                static_cast<long long>(log.Entries().size()), static_cast<long long>(log.Sessions().size()));
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
    const int records = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int fetched = argc > 2 ? QByteArray(argv[2]).toInt() : 2000;
    int rc = BenchOffline(records);
    rc |= BenchRetrieval(fetched);
    return rc;
}
