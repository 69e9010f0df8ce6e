// Instrument history benchmarks on a real SQLite file and a PostgreSQL server of its own: storing a million-entry log, storing it again, the due report over 10 000 instruments and 10 000 000 entries, and what recording adds to an upload.
#include "EventWait.h"
#include "PgServer.h"
#include "ProgramRuns.h"
#include "SimInstrument.h"
#include "SimLogGenerator.h"
#include "datalog/LogDecoder.h"
#include "document/InstrumentDoc.h"
#include "history/HistoryLogCodec.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <cstdio>

namespace {
const QDateTime Now(QDate(2026, 3, 2), QTime(17, 30, 0), Qt::UTC);

QList<LogRecord> MillionEntries(int records, LogSensors *sensors)
{
    const CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(CSimInstrument([] { return Now; }));
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(5, records, Now, settings);
    *sensors = LogSensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
    LogDecoder decoder(*sensors);
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, log.start)};
    entries.reserve(records + 2);
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, Now));
    return entries;
}

double Seconds(const QElapsedTimer &t)
{
    return t.nsecsElapsed() * 1e-9;
}

// A fleet of `instruments` with `entries` log entries between them and their
// due dates, written straight into the tables in one statement each.
bool Fleet(CHistoryStore &store, const QString &location, bool postgres, int instruments, qint64 entries)
{
    HistoryInstrument first;
    first.serial = QStringLiteral("00000000");
    store.RecordInstrument(first); // creates the schema
    QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    if (postgres) {
        const QUrl url(location);
        db.setHostName(QUrlQuery(url).queryItemValue(QStringLiteral("host")));
        db.setUserName(url.userName());
        db.setDatabaseName(url.path().mid(1));
    } else {
        db.setDatabaseName(location);
    }
    if (!db.open())
        return false;
    QSqlQuery q(db);
    const qint64 now = Now.toMSecsSinceEpoch();
    const QString series = postgres ? QStringLiteral("SELECT g AS n FROM generate_series(1, %1) g")
                                    : QStringLiteral("WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < %1) SELECT n FROM s");
    const QString hex = postgres ? QStringLiteral("upper(lpad(to_hex(n), 8, '0'))") : QStringLiteral("printf('%08X', n)");
    const QString blob = postgres ? QStringLiteral("'\\x010000000000000000000000000000000000000000000000'::bytea")
                                  : QStringLiteral("x'010000000000000000000000000000000000000000000000'");
    const QStringList statements = {
        QStringLiteral("BEGIN"),
        // Calibrations 1 to 60 days ago, 30-day intervals: about half are due within 30 days.
        QStringLiteral("INSERT INTO instrument (serial, version, configuration, instrument_id, first_seen, last_seen, cal_interval,"
                       " bump_required, last_cal, cal_due, last_bump, bump_due) SELECT %1, 'V1.42', '-02 %LEL HEX', 'UNIT ' || n,"
                       " %2, %2, 30, 0, %2 - (n % 60) * CAST(86400000 AS BIGINT), %2 - (n % 60) * CAST(86400000 AS BIGINT)"
                       " + 30 * CAST(86400000 AS BIGINT), %2 - (n % 7) * CAST(86400000 AS BIGINT),"
                       " NULL FROM (%3) AS series")
            .arg(hex)
            .arg(now)
            .arg(series.arg(instruments)),
        QStringLiteral("INSERT INTO calibration (instrument, kind, sensor, t, passed, result) SELECT id, 0, 0, last_cal, 1, 'Passed'"
                       " FROM instrument WHERE last_cal IS NOT NULL"),
        // In key order, as instruments' logs arrive: each instrument's entries one after the other.
        QStringLiteral("INSERT INTO log_entry (instrument, t, h, seq, kind, code, timeless, rec) SELECT 2 + (n - 1) / %1,"
                       " %2 + ((n - 1) % %1) * CAST(1000 AS BIGINT), n, 0, 0, 0, 0, %3 FROM (%4) AS series")
            .arg(qMax<qint64>(1, entries / instruments))
            .arg(now - 86400000ll * 365)
            .arg(blob)
            .arg(series.arg(entries)),
        QStringLiteral("COMMIT"),
    };
    for (const QString &sql : statements) {
        if (!q.exec(sql)) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(q.lastError().text()));
            return false;
        }
    }
    if (postgres)
        q.exec(QStringLiteral("ANALYZE"));
    db.close();
    return true;
}

// Upload against the simulator at 115200 baud, then the recording of it.
void UploadShare(const QString &location, const char *engine)
{
    CSimProcess sim;
    if (!sim.Start({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200")})) {
        std::printf("  upload share: the simulator did not start\n");
        return;
    }
    CClock &clock = CClock::System();
    CInstrumentDoc doc(clock);
    if (doc.Link().OpenSerialDevice(sim.Pty()) != 1) {
        std::printf("  upload share: cannot open %s\n", qPrintable(sim.Pty()));
        return;
    }
    CHistoryStore store;
    store.Open(location);
    CHistoryRecorder recorder(doc, &store);
    double uploads = 0, records = 0;
    const int rounds = 3;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        doc.SetIdEntriesWanted(true);
        doc.UploadAll();
        WaitUntil([&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); }, 60000);
        uploads += Seconds(t);
        t.restart();
        recorder.UploadDone();
        records += Seconds(t);
    }
    std::printf("  %s: upload %.3f s, recording it %.4f s: history adds %.2f%% to an upload  [%d rounds]\n", engine,
                uploads / rounds, records / rounds, 100.0 * records / uploads, rounds);
}

void Run(const QString &engine, const QString &location, const QString &fleet, const QList<LogRecord> &log,
         const LogSensors &sensors, int instruments, qint64 fleetEntries)
{
    const bool postgres = engine == QLatin1String("postgresql");
    std::printf("== %s\n", qPrintable(engine));
    {
        CHistoryStore store;
        if (!store.Open(location)) {
            std::printf("  cannot open: %s\n", qPrintable(store.ErrorString()));
            return;
        }
        HistoryLogRetrieval r;
        r.serial = QStringLiteral("0001E240");
        r.sensors = sensors;
        QElapsedTimer t;
        t.start();
        HistoryWriteResult first = store.RecordLog(r, log);
        const double s1 = Seconds(t);
        std::printf("  store a %lld-entry log: %.2f s (%lld new, %s)\n", static_cast<long long>(log.size()), s1,
                    static_cast<long long>(first.added), first.stored ? "stored" : qPrintable(first.error));
        t.restart();
        HistoryWriteResult again = store.RecordLog(r, log);
        const double s2 = Seconds(t);
        std::printf("  the same log again: %.2f s (%lld new)\n", s2, static_cast<long long>(again.added));
    }
    {
        CHistoryStore store;
        store.Open(fleet);
        QElapsedTimer t;
        t.start();
        const bool filled = Fleet(store, fleet, postgres, instruments, fleetEntries);
        std::printf("  generate %d instruments and %lld entries: %.1f s%s\n", instruments, static_cast<long long>(fleetEntries),
                    Seconds(t), filled ? "" : " (FAILED)");
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
        double best = 1e9, sum = 0;
        int due = 0;
        const int rounds = 5;
        for (int i = 0; i < rounds; ++i) {
            t.restart();
            due = int(store.Due(30, Now).size());
            const double s = Seconds(t);
            best = qMin(best, s);
            sum += s;
        }
        std::printf("  due report within 30 days: %d instruments, %.1f ms (best %.1f ms of %d)\n", due, 1000 * sum / rounds,
                    1000 * best, rounds);
        t.restart();
        const int all = int(store.Fleet(Now).size());
        std::printf("  fleet table: %d rows, %.1f ms\n", all, 1000 * Seconds(t));
    }
    UploadShare(location, qPrintable(engine));
}
} // namespace

// bench_history [ENTRIES [INSTRUMENTS [FLEET_ENTRIES]]]: 1000000 10000 10000000 by default.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM"))
        qputenv("ALTAVO_SIM", ALTAVO_SIM_PATH);
    const QStringList args = app.arguments();
    const int entries = args.size() > 1 ? args[1].toInt() : 1000000;
    const int instruments = args.size() > 2 ? args[2].toInt() : 10000;
    const qint64 fleetEntries = args.size() > 3 ? args[3].toLongLong() : 10000000;

    LogSensors sensors;
    QElapsedTimer t;
    t.start();
    const QList<LogRecord> log = MillionEntries(entries, &sensors);
    std::printf("generated and decoded %lld entries in %.1f s\n", static_cast<long long>(log.size()), Seconds(t));

    t.restart();
    const QList<CHistoryLogCodec::Keyed> keys = CHistoryLogCodec::Keys(log, sensors);
    const double keySeconds = Seconds(t);
    t.restart();
    qint64 bytes = 0;
    for (const LogRecord &e : log)
        bytes += CHistoryLogCodec::Encode(e).size();
    std::printf("keys of the entries: %.2f s; encoding them (%lld bytes): %.2f s\n", keySeconds, static_cast<long long>(bytes),
                Seconds(t));
    if (args.contains(QStringLiteral("--keys")))
        return 0;

    QTemporaryDir dir;
    Run(QStringLiteral("sqlite"), dir.filePath(QStringLiteral("bench.db")), dir.filePath(QStringLiteral("fleet.db")), log, sensors,
        instruments, fleetEntries);

    // The server as installed: fsync on.
    CPgServer pg(QStringList{});
    QString error;
    if (!pg.Start(&error) || !pg.CreateDatabase(QStringLiteral("bench"), &error) || !pg.CreateDatabase(QStringLiteral("fleet"), &error)) {
        std::printf("== postgresql: %s\n", qPrintable(error));
        return 1;
    }
    Run(QStringLiteral("postgresql"), pg.Url(QStringLiteral("bench")), pg.Url(QStringLiteral("fleet")), log, sensors, instruments,
        fleetEntries);
    return 0;
}
