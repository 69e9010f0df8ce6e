// The instrument history on a real SQLite file and a real PostgreSQL server: entries stored once, CSV imports, due dates, the spool, the migration from the first schema, foreign and damaged files.
#include "HistoryEngines.h"
#include "LogEvent.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvReader.h"
#include "history/HistoryBulkInsert.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryLocation.h"
#include "history/HistoryLogCodec.h"
#include "history/HistorySchema.h"
#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime Now(QDate(2026, 3, 18), QTime(1, 30, 0), Qt::UTC);
const QString Serial = QStringLiteral("0001E240");

QList<LogRecord> GeneratedLog(quint32 seed, int records, LogSensors *sensorsOut = nullptr)
{
    CSimLogGenerator::Settings s;
    s.instrumentId = "UNIT 7";
    s.operators = {"ANN", "BOB"};
    s.locations = {"TANK 4", "PUMP ROOM"};
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(seed, records, Now, s);
    const LogSensors sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 1, 100);
    if (sensorsOut)
        *sensorsOut = sensors;
    return DecodedLog(log, sensors, Now);
}

QList<LogRecord> Stored(const QList<LogRecord> &entries)
{
    QList<LogRecord> out;
    for (const LogRecord &e : entries) {
        if (CHistoryLogCodec::IsStored(e))
            out.append(e);
    }
    return out;
}

QString Options(int calInterval, bool bump)
{
    return QStringLiteral("[Sensors]\r\nLastCalDate=\r\n[Advanced Features]\r\nCalInterval=%1\r\nBumpTest=%2\r\n")
        .arg(calInterval)
        .arg(bump ? 1 : 0);
}

HistoryLogRetrieval Retrieval(const QString &serial = Serial, const QDateTime &time = Now)
{
    HistoryLogRetrieval r;
    r.sensors = LogSensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 1, 100);
    r.serial = serial;
    r.time = time;
    return r;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void entriesAreStoredOnce_data() { Engines(); }
    void entriesAreStoredOnce();
    void csvImportAddsNothingTwice_data() { Engines(); }
    void csvImportAddsNothingTwice();
    void dueDatesFromCalibrationEvents_data() { Engines(); }
    void dueDatesFromCalibrationEvents();
    void snapshotsAndTimeline_data() { Engines(); }
    void snapshotsAndTimeline();
    void migrationFromTheFirstSchema_data() { Engines(); }
    void migrationFromTheFirstSchema();
    void spoolWhileTheServerIsStopped();
    void spoolWhileTheFileIsLocked();
    void straightCopyMeetingStoredEntries();
    void foreignOrDamagedFileIsNamed_data();
    void foreignOrDamagedFileIsNamed();
    void badLocations_data();
    void badLocations();

private:
    void Engines();
    // A new, empty database of the engine the test row names.
    QString FreshLocation();

    QTemporaryDir m_dir;
    CPgServer m_pg;
    int m_databases = 0;
};

void TestHistory::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    QString error;
    // Missing server programs fail here on purpose: scripts/bootstrap installs
    // them. A build without the PostgreSQL client tests SQLite only.
    if (BuildInfo::HasPostgresClient())
        QVERIFY2(m_pg.Start(&error), qPrintable(error));
}

void TestHistory::cleanupTestCase()
{
    m_pg.Stop();
}

void TestHistory::Engines()
{
    HistoryEngineRows();
}

QString TestHistory::FreshLocation()
{
    return FreshHistoryLocation(m_dir, m_pg, QStringLiteral("h%1").arg(++m_databases));
}

void TestHistory::entriesAreStoredOnce()
{
    CHistoryStore store;
    QVERIFY2(store.Open(FreshLocation()), qPrintable(store.ErrorString()));
    const QList<LogRecord> log = GeneratedLog(3, 6000);
    const QList<LogRecord> kept = Stored(log);
    QCOMPARE(kept.size(), log.size() - 2);

    const HistoryWriteResult first = store.RecordLog(Retrieval(), log);
    QVERIFY2(first.stored, qPrintable(first.error));
    QCOMPARE(first.added, qint64(kept.size()));
    const HistoryWriteResult again = store.RecordLog(Retrieval(Serial, Now.addSecs(60)), log);
    QVERIFY(again.stored);
    QCOMPARE(again.added, 0);
    // A longer log later: only the new tail goes in.
    QList<LogRecord> longer = log;
    longer.insert(longer.size() - 1, Event(13, Now.addSecs(5)));
    const HistoryWriteResult grown = store.RecordLog(Retrieval(Serial, Now.addSecs(120)), longer);
    QCOMPARE(grown.added, 1);
    QCOMPARE(store.LogEntryCount(Serial), qint64(kept.size() + 1));

    const QList<HistoryLogRetrieval> retrievals = store.Retrievals(Serial);
    QCOMPARE(retrievals.size(), 3);
    QCOMPARE(retrievals.last().entryCount, qint64(kept.size()));
    // Back as the log window shows it: the markers around the same entries.
    const QList<LogRecord> back = store.LogEntries(Serial, retrievals.last().id);
    QCOMPARE(back.size(), log.size());
    QCOMPARE(back.first().kind, LogRecord::StartOfLog);
    QCOMPARE(back.last().kind, LogRecord::EndOfLog);
    QCOMPARE(Stored(back), kept);
}

void TestHistory::csvImportAddsNothingTwice()
{
    CHistoryStore store;
    QVERIFY2(store.Open(FreshLocation()), qPrintable(store.ErrorString()));
    LogSensors sensors;
    const QList<LogRecord> log = GeneratedLog(5, 4000, &sensors);
    const LogCsvReader::Result csv = LogCsvReader({}, 100).Parse(LogCsv::FileText(log, sensors));
    QVERIFY(csv.Ok());

    HistoryLogRetrieval fromFile = Retrieval();
    fromFile.source = HistoryLogRetrieval::CsvFile;
    fromFile.fileName = QStringLiteral("unit7.csv");
    fromFile.sensors = csv.sensors;
    const HistoryWriteResult imported = store.RecordLog(fromFile, csv.entries);
    QVERIFY2(imported.stored, qPrintable(imported.error));
    QCOMPARE(imported.added, qint64(Stored(log).size()));
    // The same log from the instrument, and the file once more: nothing new.
    QCOMPARE(store.RecordLog(Retrieval(), log).added, 0);
    fromFile.opKey.clear();
    fromFile.time = Now.addDays(1);
    QCOMPARE(store.RecordLog(fromFile, csv.entries).added, 0);
    // A file is no sight of the instrument.
    QCOMPARE(store.Instrument(Serial)->lastSeen, Now);
    QCOMPARE(store.LogEntryCount(Serial), qint64(Stored(log).size()));
}

void TestHistory::dueDatesFromCalibrationEvents()
{
    CHistoryStore store;
    QVERIFY2(store.Open(FreshLocation()), qPrintable(store.ErrorString()));
    HistorySnapshot settings;
    settings.serial = Serial;
    settings.time = Now.addDays(-100);
    settings.optionsText = Options(30, true);
    QVERIFY(store.RecordSnapshot(settings).stored);

    const QDateTime t1 = Now.addDays(-60), t2 = Now.addDays(-20), t3 = Now.addDays(-2);
    const QList<LogRecord> log = {
        Event(29, t1.addSecs(-100), 0x3),
        // O2 fails the first calibration, HC passes.
        Event(11, t1.addSecs(-60)), Event(32, t1.addSecs(-10), 0x3), Event(33, t1, 0x3 | 0x200), Event(36, t1.addSecs(2)),
        Event(11, t2.addSecs(-60)), Event(32, t2.addSecs(-10), 0x3), Event(33, t2, 0x3 | 0x1000), Event(36, t2.addSecs(2)),
        Event(28, t3.addSecs(-50)), Event(30, t3.addSecs(-10), 0x3), Event(24, t3),
        // An aborted bump test afterwards counts for nothing passed.
        Event(28, t3.addSecs(100)), Event(25, t3.addSecs(150)),
    };
    QVERIFY(store.RecordLog(Retrieval(), log).stored);

    const QList<HistoryCalibration> cals = store.Calibrations(Serial);
    QCOMPARE(cals.size(), 4 + 2 + 2);
    QCOMPARE(cals.at(1).result, QStringLiteral("Failed"));
    QCOMPARE(cals.at(2).result, QStringLiteral("Weak"));
    QVERIFY(cals.at(2).passed);
    QCOMPARE(cals.last().result, QStringLiteral("Aborted"));

    const QList<HistoryFleetRow> fleet = store.Fleet(Now);
    QCOMPARE(fleet.size(), 1);
    const HistoryFleetRow &row = fleet.first();
    QCOMPARE(row.lastCalibration, t2);
    QCOMPARE(row.calibrationDue, t2.addDays(30));
    QCOMPARE(row.lastBumpTest, t3);
    // The newest bump test was aborted: due at once.
    QCOMPARE(row.bumpTestDue, t3.addSecs(150));
    QVERIFY(row.overdue);

    QCOMPARE(store.Due(5, Now).size(), 1);
    HistorySnapshot noBump = settings;
    noBump.opKey.clear();
    noBump.time = Now.addDays(-1);
    noBump.optionsText = Options(30, false);
    QVERIFY(store.RecordSnapshot(noBump).stored);
    QVERIFY(!store.Fleet(Now).first().bumpTestDue.isValid());
    QVERIFY(!store.Fleet(Now).first().overdue);
    QCOMPARE(store.Due(5, Now).size(), 0);
    QCOMPARE(store.Due(10, Now).size(), 1);
    QVERIFY(store.Fleet(t2.addDays(31)).first().overdue);
}

void TestHistory::snapshotsAndTimeline()
{
    CHistoryStore store;
    QVERIFY2(store.Open(FreshLocation()), qPrintable(store.ErrorString()));
    HistoryInstrument instrument;
    instrument.serial = Serial;
    instrument.version = QStringLiteral("V1.23");
    instrument.configuration = QStringLiteral("4-GAS");
    instrument.instrumentId = QStringLiteral("UNIT 7");
    instrument.lastSeen = Now.addDays(-3);
    QVERIFY(store.RecordInstrument(instrument).stored);
    // A late, older record keeps the newer texts.
    HistoryInstrument older = instrument;
    older.instrumentId = QStringLiteral("OLD NAME");
    older.lastSeen = Now.addDays(-30);
    QVERIFY(store.RecordInstrument(older).stored);
    QCOMPARE(store.Instrument(Serial)->instrumentId, QStringLiteral("UNIT 7"));
    QCOMPARE(store.Instrument(Serial)->firstSeen, Now.addDays(-30));

    HistorySnapshot download;
    download.serial = Serial;
    download.kind = HistorySnapshot::Download;
    download.time = Now.addDays(-1);
    download.optionsText = Options(7, false);
    download.verified = false;
    download.differences = {{QStringLiteral("HighAlarm1"), QStringLiteral("50"), QStringLiteral("45")}};
    const HistoryWriteResult written = store.RecordSnapshot(download);
    QVERIFY(written.stored);
    QVERIFY(written.id > 0);
    // A replay of the same record changes nothing.
    QVERIFY(store.RecordSnapshot(store.Snapshot(written.id).value()).stored);
    QCOMPARE(store.Snapshots(Serial).size(), 1);
    const HistorySnapshot back = store.Snapshot(written.id).value();
    QCOMPARE(back.optionsText, download.optionsText);
    QCOMPARE(back.differences.size(), 1);
    QCOMPARE(back.differences.first().readBack, QStringLiteral("45"));
    QVERIFY(!back.verified);

    HistoryFirmwareRun run;
    run.serial = Serial;
    run.time = Now;
    run.fileName = QStringLiteral("unit.hex");
    run.sha256 = QStringLiteral("ab").repeated(32);
    run.passed = true;
    run.result = QStringLiteral("Done");
    QVERIFY(store.RecordFirmwareRun(run).stored);
    HistoryBoardTest test;
    test.serial = Serial;
    test.time = Now.addSecs(-10);
    test.group = QStringLiteral("RAM");
    test.passed = false;
    QVERIFY(store.RecordBoardTest(test).stored);

    const QList<HistoryTimelineItem> timeline = store.Timeline(Serial);
    QCOMPARE(timeline.size(), 3);
    QCOMPARE(timeline.at(0).kind, HistoryTimelineItem::Firmware);
    QCOMPARE(timeline.at(1).kind, HistoryTimelineItem::BoardTest);
    QVERIFY(!timeline.at(1).passed);
    QCOMPARE(timeline.at(2).kind, HistoryTimelineItem::Download);
    QCOMPARE(timeline.at(2).refId, written.id);
    QCOMPARE(store.Instrument(Serial)->calIntervalDays, 7);
}

void TestHistory::migrationFromTheFirstSchema()
{
    QFETCH(QString, engine);
    const QString location = FreshLocation();
    const bool postgres = engine == QLatin1String("postgresql");
    {
        // A database as the first version of the program left it.
        QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        if (postgres) {
            const QUrl url(location);
            db.setHostName(m_pg.SocketDir());
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
        } else {
            db.setDatabaseName(location);
        }
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &sql : CHistorySchema::Create(1, postgres))
            QVERIFY2(q.exec(sql), qPrintable(sql));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO history_meta VALUES ('application', '%1'), ('schema', '1')").arg(CHistorySchema::Application)));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO instrument (serial, first_seen, last_seen, cal_interval) VALUES ('%1', %2, %2, 30)")
                           .arg(Serial)
                           .arg(Now.addDays(-90).toMSecsSinceEpoch())));
        QVERIFY(q.exec(QStringLiteral("SELECT id FROM instrument")) && q.next());
        const qint64 instrument = q.value(0).toLongLong();
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO snapshot (op_key, instrument, kind, time, options_text, verified) VALUES ('k1', ?, 0, ?, ?, 1)")));
        q.addBindValue(instrument);
        q.addBindValue(Now.addDays(-90).toMSecsSinceEpoch());
        q.addBindValue(Options(30, true));
        QVERIFY(q.exec());
        const QDateTime cal = Now.addDays(-10);
        const QList<LogRecord> events = {Event(11, cal.addSecs(-60)), Event(33, cal, 0x1), Event(36, cal.addSecs(2)),
                                         Event(28, cal.addSecs(60)), Event(30, cal.addSecs(70), 0x1), Event(24, cal.addSecs(90))};
        const QList<CHistoryLogCodec::Keyed> keys = CHistoryLogCodec::Keys(events, Retrieval().sensors);
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO log_entry VALUES (?, ?, ?, ?, ?, ?, 0, ?)")));
        for (const CHistoryLogCodec::Keyed &k : keys) {
            q.addBindValue(instrument);
            q.addBindValue(k.timeMs);
            q.addBindValue(k.hash);
            q.addBindValue(k.index);
            q.addBindValue(int(LogRecord::Event));
            q.addBindValue(int(events.at(k.index).code));
            q.addBindValue(CHistoryLogCodec::Encode(events.at(k.index)));
            QVERIFY(q.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));

    CHistoryStore store;
    QVERIFY2(store.Open(location), qPrintable(store.ErrorString()));
    QCOMPARE(store.FoundSchemaVersion(), 1);
    QCOMPARE(store.Calibrations(Serial).size(), 2);
    const HistoryFleetRow row = store.Fleet(Now).value(0);
    QCOMPARE(row.serial, Serial);
    QCOMPARE(row.lastCalibration, Now.addDays(-10));
    QCOMPARE(row.calibrationDue, Now.addDays(20));
    QCOMPARE(row.bumpTestDue, Now.addDays(-10).addSecs(90).addDays(1));
    // The migrated database takes the same log without a second copy.
    QCOMPARE(store.LogEntryCount(Serial), 6);
    const QDateTime cal = Now.addDays(-10);
    const QList<LogRecord> again = {Event(11, cal.addSecs(-60)), Event(33, cal, 0x1), Event(36, cal.addSecs(2)),
                                    Event(28, cal.addSecs(60)), Event(30, cal.addSecs(70), 0x1), Event(24, cal.addSecs(90))};
    QCOMPARE(store.RecordLog(Retrieval(), again).added, 0);
    store.Close();
    CHistoryStore reopened;
    QVERIFY(reopened.Open(location));
    QCOMPARE(reopened.FoundSchemaVersion(), CHistorySchema::CurrentVersion);
}

void TestHistory::spoolWhileTheServerIsStopped()
{
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    QString error;
    QVERIFY2(m_pg.CreateDatabase(QStringLiteral("spooled"), &error), qPrintable(error));
    CHistoryStore store;
    QVERIFY2(store.Open(m_pg.Url(QStringLiteral("spooled"))), qPrintable(store.ErrorString()));
    QVERIFY(!store.HasWarning());
    QVERIFY(QFile::remove(store.SpoolFile()) || !QFile::exists(store.SpoolFile()));

    QVERIFY(m_pg.Stop());
    const QList<LogRecord> log = GeneratedLog(9, 3000);
    const HistoryWriteResult r = store.RecordLog(Retrieval(), log);
    QVERIFY(!r.stored);
    QVERIFY(r.spooled);
    HistorySnapshot s;
    s.serial = Serial;
    s.optionsText = Options(30, false);
    QVERIFY(store.RecordSnapshot(s).spooled);
    QVERIFY(store.HasWarning());
    QVERIFY2(store.WarningText().contains(QStringLiteral("2 record(s) wait")), qPrintable(store.WarningText()));
    QCOMPARE(store.SpooledCount(), 2);
    QVERIFY(!store.ReplaySpool());
    QCOMPARE(store.SpooledCount(), 2);
    const QByteArray spooled = [&] {
        QFile f(store.SpoolFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    QVERIFY2(m_pg.Start(&error), qPrintable(error));
    QVERIFY(store.ReplaySpool());
    QVERIFY(!store.HasWarning());
    QCOMPARE(store.SpooledCount(), 0);
    QCOMPARE(store.LogEntryCount(Serial), qint64(Stored(log).size()));
    QCOMPARE(store.Snapshots(Serial).size(), 1);

    // The same spool once more (a copy another program still held): nothing twice.
    {
        QFile f(store.SpoolFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(spooled);
    }
    QVERIFY(store.ReplaySpool());
    QCOMPARE(store.LogEntryCount(Serial), qint64(Stored(log).size()));
    QCOMPARE(store.Snapshots(Serial).size(), 1);
    QCOMPARE(store.Retrievals(Serial).size(), 1);
}

void TestHistory::spoolWhileTheFileIsLocked()
{
    const QString path = m_dir.filePath(QStringLiteral("locked.db"));
    CHistoryStore store;
    store.SetBusyTimeout(200);
    QVERIFY2(store.Open(path), qPrintable(store.ErrorString()));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(path);
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        HistorySnapshot s;
        s.serial = Serial;
        s.optionsText = Options(30, false);
        const HistoryWriteResult r = store.RecordSnapshot(s);
        QVERIFY(r.spooled);
        QVERIFY2(r.error.contains(QStringLiteral("locked")), qPrintable(r.error));
        QVERIFY(store.HasWarning());
        QVERIFY(q.exec(QStringLiteral("COMMIT")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    // The next write takes what waits first.
    HistoryInstrument i;
    i.serial = QStringLiteral("00000002");
    QVERIFY(store.RecordInstrument(i).stored);
    QVERIFY(!store.HasWarning());
    QCOMPARE(store.Snapshots(Serial).size(), 1);
    QCOMPARE(store.Fleet().size(), 2);
}

void TestHistory::straightCopyMeetingStoredEntries()
{
    // What a writer meets when another stored the same entries after it
    // found their span empty: the copy gives way to the careful insert.
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    QString error;
    QVERIFY2(m_pg.CreateDatabase(QStringLiteral("copyrace"), &error), qPrintable(error));
    const QString url = m_pg.Url(QStringLiteral("copyrace"));
    const QList<LogRecord> log = GeneratedLog(4, 2000);
    {
        CHistoryStore store;
        QVERIFY(store.Open(url));
        QVERIFY(store.RecordLog(Retrieval(), log).stored);
    }
    CHistoryLocation location;
    QVERIFY(CHistoryLocation::Parse(url, QString(), &location, &error));
    CHistoryDatabase db(location);
    QVERIFY2(db.Open(&error) == CHistoryDatabase::OpenResult::Ok, qPrintable(error));
    QSqlQuery q = db.Query();
    QVERIFY(q.exec(QStringLiteral("SELECT id FROM instrument")) && q.next());
    const qint64 instrument = q.value(0).toLongLong();
    const QList<CHistoryLogCodec::Keyed> keys = CHistoryLogCodec::Keys(log, Retrieval().sensors);
    QList<const CHistoryLogCodec::Keyed *> pending;
    for (const CHistoryLogCodec::Keyed &k : keys)
        pending.append(&k);
    QVERIFY(db.Begin(&error));
    qint64 added = 0;
    QVERIFY2(CHistoryBulkInsert::Insert(db, instrument, pending, log, true, &added, &error), qPrintable(error));
    QCOMPARE(added, 0);
    QVERIFY2(db.Commit(&error), qPrintable(error));
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM log_entry")) && q.next());
    QCOMPARE(q.value(0).toLongLong(), qint64(keys.size()));
}

void TestHistory::foreignOrDamagedFileIsNamed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text file") << "text" << "is not an SQLite database file";
    QTest::newRow("other program's database") << "foreign" << "holds other tables (customers)";
    QTest::newRow("damaged history") << "damaged" << "is damaged";
    QTest::newRow("newer schema") << "newer" << "schema version 99";
}

void TestHistory::foreignOrDamagedFileIsNamed()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(kind + QStringLiteral(".db"));
    if (kind == QLatin1String("text")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Sensors]\r\nSpan1=100\r\n");
    } else if (kind == QLatin1String("foreign")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kind);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE customers (name TEXT)")));
        db.close();
    } else {
        {
            CHistoryStore store;
            QVERIFY(store.Open(path));
            QVERIFY(store.RecordLog(Retrieval(), GeneratedLog(1, 500)).stored);
        }
        if (kind == QLatin1String("newer")) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kind);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE history_meta SET value = '99' WHERE name = 'schema'")));
            db.close();
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(100);
            f.write(QByteArray(4000, char(0xA5)));
        }
    }
    QSqlDatabase::removeDatabase(kind);

    CHistoryStore store;
    QVERIFY(!store.Open(path));
    QVERIFY2(store.ErrorString().contains(QDir::toNativeSeparators(path)), qPrintable(store.ErrorString()));
    QVERIFY2(store.ErrorString().contains(expected), qPrintable(store.ErrorString()));
    QVERIFY(!store.IsOpen());
    HistoryInstrument i;
    i.serial = Serial;
    QVERIFY(!store.RecordInstrument(i).stored);
}

void TestHistory::badLocations_data()
{
    QTest::addColumn<QString>("location");
    QTest::newRow("no database") << "postgresql://user@localhost/";
    QTest::newRow("bad port") << "postgresql://user@localhost:99999/db";
    QTest::newRow("other scheme") << "mysql://user@localhost/db";
}

void TestHistory::badLocations()
{
    QFETCH(QString, location);
    CHistoryStore store;
    QVERIFY(!store.Open(location));
    QVERIFY2(store.ErrorString().contains(location), qPrintable(store.ErrorString()));
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
