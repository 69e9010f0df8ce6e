// Due dates that agree with the instrument, readings kept once when a gas divisor changes, and the migration to schema version 3, on a real SQLite file and a real PostgreSQL server; the simulator's log and its last calibration date agreeing.
#include "HistoryEngines.h"
#include "LogEvent.h"
#include "Simulator.h"
#include "datalog/LogCsv.h"
#include "datalog/LogText.h"
#include "history/HistoryCalibrationFinder.h"
#include "history/HistoryCsvImport.h"
#include "history/HistoryDue.h"
#include "history/HistoryFields.h"
#include "history/HistoryLogCodec.h"
#include "history/HistorySchema.h"
#include "history/HistoryStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime Now(QDate(2026, 12, 10), QTime(9, 0, 0), Qt::UTC);
const QString Serial = QStringLiteral("0001E240");
const LogSensors CoOne(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);

// Settings whose LastCalDate lies `calibratedDaysAgo` days back (-1: none).
QString Options(int calibratedDaysAgo, int intervalDays)
{
    const QString date = calibratedDaysAgo < 0 ? QString() : Now.date().addDays(-calibratedDaysAgo).toString(QStringLiteral("MM/dd/yyyy"));
    return QStringLiteral("[Sensors]\r\nLastCalDate=%1\r\n[Advanced Features]\r\nSensor1=HC\r\nSensor3=CO\r\nCalInterval=%2\r\n"
                          "BumpTest=0\r\n")
        .arg(date)
        .arg(intervalDays);
}

// An HC and O2 calibration ending at t; failed: O2 fails it.
QList<LogRecord> Calibration(const QDateTime &t, bool failed)
{
    return {Event(11, t.addSecs(-60)), Event(32, t.addSecs(-10), 0x3), Event(33, t, 0x3 | (failed ? 0x200 : 0)),
            Event(36, t.addSecs(2))};
}

QList<LogRecord> GeneratedLog(quint32 seed, int records, const LogSensors &sensors)
{
    CSimLogGenerator::Settings s;
    s.instrumentId = "UNIT 7";
    s.operators = {"ANN"};
    s.locations = {"TANK 4"};
    return DecodedLog(CSimLogGenerator::Build(seed, records, Now, s), sensors, Now);
}

HistoryLogRetrieval Retrieval(const LogSensors &sensors, const QDateTime &time)
{
    HistoryLogRetrieval r;
    r.serial = Serial;
    r.time = time;
    r.sensors = sensors;
    return r;
}

QString Day(const QDateTime &utc)
{
    return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
}

quint64 Fnv1a(QByteArrayView bytes)
{
    quint64 h = 14695981039346656037ull;
    for (char c : bytes) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

class TestHistoryDue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void instrumentAndLogReckonings_data();
    void instrumentAndLogReckonings();
    void divisorChangeStoresNothingTwice_data() { HistoryEngineRows(); }
    void divisorChangeStoresNothingTwice();
    void migrationFromTheSecondSchema_data() { HistoryEngineRows(); }
    void migrationFromTheSecondSchema();
    void simulatorLogAgreesWithItsLastCalDate_data();
    void simulatorLogAgreesWithItsLastCalDate();

private:
    QString FreshLocation();

    QTemporaryDir m_dir;
    CPgServer m_pg;
    int m_databases = 0;
};

void TestHistoryDue::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    QString error;
    // A build without the PostgreSQL client tests SQLite only.
    if (BuildInfo::HasPostgresClient())
        QVERIFY2(m_pg.Start(&error), qPrintable(error));
}

void TestHistoryDue::cleanupTestCase()
{
    m_pg.Stop();
}

QString TestHistoryDue::FreshLocation()
{
    return FreshHistoryLocation(m_dir, m_pg, QStringLiteral("d%1").arg(++m_databases));
}

void TestHistoryDue::instrumentAndLogReckonings_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("settingsDaysAgo"); // LastCalDate; -1 none
    QTest::addColumn<int>("passedDaysAgo");   // a passed calibration in the log; -1 none
    QTest::addColumn<int>("failedDaysAgo");   // a failed one; -1 none
    QTest::addColumn<int>("dueInDays");       // expected due date from Now, in whole days (-999: none)
    QTest::addColumn<QString>("differ");      // expected disagreement; "" none
    QTest::addColumn<bool>("dueWithinOne");   // listed by Due(1)

    for (const QString &engine : HistoryEngineNames()) {
        const auto row = [&](const char *name) -> QTestData & { return QTest::newRow(qPrintable(engine + QLatin1Char(' ') + QLatin1String(name))) << engine; };
        // The settings' date is old, the log calibrated 3 days ago: the
        // instrument's reckoning is the earlier and overdue.
        row("stale settings") << 200 << 3 << -1 << 28 - 200 << QStringLiteral("instrument: due %1; log: calibrated %2") << true;
        row("agree") << 3 << 3 << -1 << 25 << QString() << false;
        row("settings only") << 10 << -1 << -1 << 18 << QString() << false;
        row("log only") << -1 << 10 << -1 << 18 << QString() << false;
        // The log's newer calibration failed: due at once, whatever the settings say.
        row("failed latest") << 10 << 10 << 2 << -2 << QStringLiteral("instrument: due %1; log: calibration failed %2") << true;
        // A date set in the settings after the log's calibration: the log's is earlier.
        row("settings newer") << 2 << 40 << -1 << -12 << QStringLiteral("instrument: due %1; log: calibrated %2") << true;
    }
}

void TestHistoryDue::instrumentAndLogReckonings()
{
    QFETCH(int, settingsDaysAgo);
    QFETCH(int, passedDaysAgo);
    QFETCH(int, failedDaysAgo);
    QFETCH(int, dueInDays);
    QFETCH(QString, differ);
    QFETCH(bool, dueWithinOne);

    CHistoryStore store;
    QVERIFY2(store.Open(FreshLocation()), qPrintable(store.ErrorString()));
    HistorySnapshot settings;
    settings.serial = Serial;
    settings.time = Now.addDays(-1);
    settings.optionsText = Options(settingsDaysAgo, 28);
    QVERIFY(store.RecordSnapshot(settings).stored);
    // Calibrations at 10:00 of their day.
    const auto at = [](int daysAgo) { return QDateTime(Now.date().addDays(-daysAgo), QTime(10, 0), Qt::UTC); };
    QList<LogRecord> log;
    if (passedDaysAgo >= 0)
        log += Calibration(at(passedDaysAgo), false);
    if (failedDaysAgo >= 0)
        log += Calibration(at(failedDaysAgo), true);
    if (!log.isEmpty())
        QVERIFY(store.RecordLog(Retrieval(CoOne, Now), log).stored);

    const HistoryFleetRow row = store.Fleet(Now).value(0);
    QCOMPARE(row.serial, Serial);
    QVERIFY(row.calibrationDue.isValid());
    QCOMPARE(Now.date().daysTo(row.calibrationDue.date()), qint64(dueInDays));
    const QDateTime instrumentDue = settingsDaysAgo < 0 ? QDateTime() : Now.date().addDays(28 - settingsDaysAgo).startOfDay(Qt::UTC);
    QCOMPARE(row.instrumentDue, instrumentDue);
    const int logCal = failedDaysAgo >= 0 ? failedDaysAgo : passedDaysAgo;
    QCOMPARE(row.logCalibration, logCal < 0 ? QDateTime() : at(logCal));
    QCOMPARE(row.logCalibrationFailed, failedDaysAgo >= 0);
    QCOMPARE(row.calibrationDue, qMin(instrumentDue.isValid() ? instrumentDue : row.logDue, row.logDue.isValid() ? row.logDue : instrumentDue));
    const QString expected = differ.isEmpty() ? QString() : differ.arg(Day(instrumentDue), Day(at(logCal)));
    QCOMPARE(CHistoryDue::Disagreement(row), expected);
    QCOMPARE(store.Due(1, Now).size(), dueWithinOne ? 1 : 0);
}

void TestHistoryDue::divisorChangeStoresNothingTwice()
{
    CHistoryStore store;
    QVERIFY2(store.Open(FreshLocation()), qPrintable(store.ErrorString()));
    const QList<LogRecord> first = GeneratedLog(6, 3000, CoOne);
    const HistoryWriteResult stored = store.RecordLog(Retrieval(CoOne, Now), first);
    QVERIFY2(stored.stored, qPrintable(stored.error));
    const qint64 count = store.LogEntryCount(Serial);
    QCOMPARE(stored.added, count);

    // The same records read again with Toxic 1's divisor changed to 10 and
    // to 100, and Toxic 2's to 1: the same readings, shown differently.
    for (const LogSensors &changed : {LogSensors(QStringLiteral("CO"), 10, QStringLiteral("H2S"), 1, 100),
                                      LogSensors(QStringLiteral("CO"), 100, QStringLiteral("H2S"), 10, 100)}) {
        const QList<LogRecord> again = GeneratedLog(6, 3000, changed);
        QVERIFY(again != first);
        const HistoryWriteResult r = store.RecordLog(Retrieval(changed, Now.addSecs(60)), again);
        QVERIFY2(r.stored, qPrintable(r.error));
        QCOMPARE(r.added, 0);
        // A file saved from that retrieval adds nothing either.
        const QString path = m_dir.filePath(QStringLiteral("changed%1.csv").arg(changed.Fraction(1)));
        QString error;
        QVERIFY2(LogCsv::Save(path, again, changed, &error, nullptr), qPrintable(error));
        CHistoryCsvImport::Result read;
        const HistoryWriteResult imported = CHistoryCsvImport::Record(store, path, Serial, &read);
        QVERIFY2(imported.stored, qPrintable(imported.error));
        QCOMPARE(read.unmatched, 0);
        QCOMPARE(imported.added, 0);
    }
    QCOMPARE(store.LogEntryCount(Serial), count);
    // A reading that really differs is new.
    QList<LogRecord> changedReading = first;
    for (LogRecord &e : changedReading) {
        if (e.kind == LogRecord::Data && e.Present(LogRecord::Toxic1) && !e.IsOverRange(LogRecord::Toxic1)) {
            e.values[LogRecord::Toxic1] += 1;
            break;
        }
    }
    QCOMPARE(store.RecordLog(Retrieval(CoOne, Now.addSecs(120)), changedReading).added, 1);
}

void TestHistoryDue::migrationFromTheSecondSchema()
{
    QFETCH(QString, engine);
    const QString location = FreshLocation();
    const bool postgres = engine == QLatin1String("postgresql");
    const QList<LogRecord> log = GeneratedLog(8, 1500, CoOne) + Calibration(Now.addDays(-3), false);
    {
        // A database as version 2 of the program left it: readings keyed on
        // their CSV row, due dates from the log alone.
        QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), QStringLiteral("v2"));
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
        for (const QString &sql : CHistorySchema::Create(2, postgres))
            QVERIFY2(q.exec(sql), qPrintable(sql));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO history_meta VALUES ('application', '%1'), ('schema', '2')").arg(CHistorySchema::Application)));
        const qint64 seen = Now.addDays(-1).toMSecsSinceEpoch();
        const qint64 settingsCal = Now.date().addDays(-200).startOfDay(Qt::UTC).toMSecsSinceEpoch();
        QVERIFY(q.exec(QStringLiteral("INSERT INTO instrument (serial, first_seen, last_seen, cal_interval, settings_cal, last_cal, cal_due)"
                                      " VALUES ('%1', %2, %2, 28, %3, %4, %5)")
                           .arg(Serial)
                           .arg(seen)
                           .arg(settingsCal)
                           .arg(Now.addDays(-3).toMSecsSinceEpoch())
                           .arg(Now.addDays(25).toMSecsSinceEpoch())));
        QVERIFY(q.exec(QStringLiteral("SELECT id FROM instrument")) && q.next());
        const qint64 instrument = q.value(0).toLongLong();
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO snapshot (op_key, instrument, kind, time, options_text, verified) VALUES ('k1', ?, 0, ?, ?, 1)")));
        q.addBindValue(instrument);
        q.addBindValue(seen);
        q.addBindValue(Options(200, 28));
        QVERIFY(q.exec());
        QList<CHistoryLogCodec::Keyed> keys = CHistoryLogCodec::Keys(log, CoOne);
        QDateTime firstEntry, lastEntry;
        for (CHistoryLogCodec::Keyed &k : keys) {
            const LogRecord &e = log.at(k.index);
            // Version 2's key: the row as the CSV file writes it.
            const QByteArray row = e.kind == LogRecord::Data ? LogCsv::RowLine(e, CoOne) : LogText::TypeText(e).toUtf8();
            k.hash = qint64(Fnv1a(row) & 0x7FFFFFFFFFFFFFFFull);
            if (e.time.isValid()) {
                firstEntry = firstEntry.isValid() ? qMin(firstEntry, e.time) : e.time;
                lastEntry = lastEntry.isValid() ? qMax(lastEntry, e.time) : e.time;
            }
        }
        CHistoryLogCodec::TellApart(keys);
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO log_entry VALUES (?, ?, ?, ?, ?, ?, ?, ?)")));
        for (const CHistoryLogCodec::Keyed &k : keys) {
            const LogRecord &e = log.at(k.index);
            q.addBindValue(instrument);
            q.addBindValue(k.timeMs);
            q.addBindValue(k.hash);
            q.addBindValue(k.index);
            q.addBindValue(int(e.kind));
            q.addBindValue(int(e.code));
            q.addBindValue(k.timeless ? 1 : 0);
            q.addBindValue(CHistoryLogCodec::Encode(e));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO log_retrieval (op_key, instrument, source, time, entry_count, added_count,"
                                         " first_entry, last_entry, sensors) VALUES ('r1', ?, 0, ?, ?, ?, ?, ?, ?)")));
        q.addBindValue(instrument);
        q.addBindValue(seen);
        q.addBindValue(qint64(keys.size()));
        q.addBindValue(qint64(keys.size()));
        q.addBindValue(firstEntry.toMSecsSinceEpoch());
        q.addBindValue(lastEntry.toMSecsSinceEpoch());
        q.addBindValue(CHistoryFields::SensorsText(CoOne));
        QVERIFY(q.exec());
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO calibration VALUES (?, 0, ?, ?, 1, 'Passed')")));
        for (int sensor : {0, 1}) {
            q.addBindValue(instrument);
            q.addBindValue(sensor);
            q.addBindValue(Now.addDays(-3).toMSecsSinceEpoch());
            QVERIFY(q.exec());
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v2"));

    CHistoryStore store;
    QVERIFY2(store.Open(location), qPrintable(store.ErrorString()));
    QCOMPARE(store.FoundSchemaVersion(), 2);
    const qint64 count = store.LogEntryCount(Serial);
    QCOMPARE(count, qint64(log.size() - 2));
    // Both reckonings now, the instrument's the earlier.
    const HistoryFleetRow row = store.Fleet(Now).value(0);
    QCOMPARE(row.instrumentDue, Now.date().addDays(28 - 200).startOfDay(Qt::UTC));
    QCOMPARE(row.logDue, Now.addDays(25));
    QCOMPARE(row.calibrationDue, row.instrumentDue);
    QVERIFY(!CHistoryDue::Disagreement(row).isEmpty());
    QCOMPARE(store.Due(1, Now).size(), 1);
    // The stored readings carry the new keys: the same log, and the same log
    // read with another divisor, add nothing.
    QCOMPARE(store.RecordLog(Retrieval(CoOne, Now), log).added, 0);
    const LogSensors changed(QStringLiteral("CO"), 10, QStringLiteral("H2S"), 10, 100);
    QCOMPARE(store.RecordLog(Retrieval(changed, Now.addSecs(1)), GeneratedLog(8, 1500, changed)).added, 0);
    QCOMPARE(store.LogEntryCount(Serial), count);
    store.Close();
    CHistoryStore reopened;
    QVERIFY(reopened.Open(location));
    QCOMPARE(reopened.FoundSchemaVersion(), CHistorySchema::CurrentVersion);
}

void TestHistoryDue::simulatorLogAgreesWithItsLastCalDate_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("records");
    QTest::newRow("seed 1") << 1u << 60000;
    QTest::newRow("seed 4") << 4u << 20000;
    QTest::newRow("seed 12") << 12u << 5000;
    // No calibration in the log: the factory date stays.
    QTest::newRow("seed 7, none") << 7u << 60000;
}

void TestHistoryDue::simulatorLogAgreesWithItsLastCalDate()
{
    QFETCH(quint32, seed);
    QFETCH(int, records);
    SimOptions options;
    options.seed = seed;
    options.logRecords = records;
    options.now = [] { return QDateTime(Now.date(), Now.time()); };
    CSimulator sim(options);
    CSimInstrument &instrument = sim.Instrument();
    const int day = (instrument.TimeKeeperByte(58) | (instrument.TimeKeeperByte(59) << 8)) & 0x1FF;

    // The newest calibration in the log that every sensor passed, found as
    // the history finds calibrations.
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(seed, records, instrument.Clock(), CSimLogGenerator::SettingsOf(instrument));
    const QList<HistoryCalibration> found = CHistoryCalibrationFinder::Find(DecodedLog(log, CoOne, Now));
    QDateTime newest;
    for (const HistoryCalibration &c : found) {
        if (c.kind != HistoryCalibration::Calibration || c.result == QLatin1String("Aborted"))
            continue;
        bool all = true;
        for (const HistoryCalibration &o : found)
            all = all && (o.time != c.time || o.kind != c.kind || o.passed);
        if (all && (!newest.isValid() || c.time > newest))
            newest = c.time;
    }
    if (!newest.isValid()) {
        QVERIFY(!log.lastPassedCalibration.isValid());
        QCOMPARE(day, 45);
        return;
    }
    QCOMPARE(newest, log.lastPassedCalibration);
    QCOMPARE(day, newest.date().dayOfYear());
}

QTEST_GUILESS_MAIN(TestHistoryDue)
#include "tst_historydue.moc"
