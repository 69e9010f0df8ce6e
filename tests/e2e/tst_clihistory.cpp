// altavo-cli and the instrument history: a fleet of simulated instruments recorded into SQLite and PostgreSQL, logs and CSV files kept once, concurrent writers, the spool while the server is down, and the history commands' output and exit statuses.
#include "HexText.h"
#include "HistoryEngines.h"
#include "LogEvent.h"
#include "ProgramRuns.h"
#include "datalog/LogCsv.h"
#include "history/HistoryStore.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// What "history show" printed for a retrieval or import: "N entries, M new".
QList<QPair<int, int>> Retrievals(const QString &show)
{
    QList<QPair<int, int>> out;
    static const QRegularExpression line(QStringLiteral("Log (?:retrieved|imported from \\S+): (\\d+) entries, (\\d+) new"));
    for (auto it = line.globalMatch(show); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out.append({m.captured(1).toInt(), m.captured(2).toInt()});
    }
    return out;
}

int LogEntries(const QString &show)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Log entries:\\s+(\\d+)")).match(show);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString Serial(quint32 n)
{
    return QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

class TestCliHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fleetThroughTheCli_data() { Engines(); }
    void fleetThroughTheCli();
    void dueDatesThatDisagree_data() { Engines(); }
    void dueDatesThatDisagree();
    void simulatedInstrumentAgreesWithItsLog();
    void concurrentWritersLoseNothing_data() { Engines(); }
    void concurrentWritersLoseNothing();
    void spoolWhileTheServerIsDown();
    void noHistoryRecordsNothing();
    void downloadAndFirmwareRecorded();
    void commandErrors_data();
    void commandErrors();

private:
    void Engines();
    QString FreshLocation();
    QString History(const QStringList &args, CliRun *run = nullptr);
    QString CsvOf(quint32 seed, int records);

    QTemporaryDir m_dir;
    CPgServer m_pg;
    int m_databases = 0;
};

void TestCliHistory::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString error;
    QVERIFY2(m_pg.Start(&error), qPrintable(error));
}

void TestCliHistory::cleanupTestCase()
{
    m_pg.Stop();
}

void TestCliHistory::Engines()
{
    HistoryEngineRows();
}

QString TestCliHistory::FreshLocation()
{
    return FreshHistoryLocation(m_dir, m_pg, QStringLiteral("fleet%1").arg(++m_databases));
}

QString TestCliHistory::CsvOf(quint32 seed, int records)
{
    CSimLogGenerator::Settings s;
    s.instrumentId = "UNIT";
    s.operators = {"ANN"};
    s.locations = {"TANK 4"};
    const QDateTime now(QDate(2026, 3, 18), QTime(1, 30, 0), Qt::UTC);
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(seed, records, now, s);
    const LogSensors sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
    const QList<LogRecord> entries = DecodedLog(log, sensors, now);
    const QString path = m_dir.filePath(QStringLiteral("log%1-%2.csv").arg(seed).arg(records));
    QString error;
    if (!LogCsv::Save(path, entries, sensors, &error))
        qWarning("%s", qPrintable(error));
    return path;
}

void TestCliHistory::fleetThroughTheCli()
{
    const QString history = FreshLocation();
    const QList<quint32> serials = {0x1E240, 0x2A0F1, 0x3B7C2};
    std::vector<std::unique_ptr<CSimProcess>> sims;
    for (int i = 0; i < serials.size(); ++i) {
        sims.push_back(std::make_unique<CSimProcess>());
        QVERIFY(sims.back()->Start({QStringLiteral("--serial-number"), QString::number(serials[i]), QStringLiteral("--seed"),
                                    QString::number(i + 2), QStringLiteral("--log-records"), QStringLiteral("700")}));
    }
    for (int i = 0; i < serials.size(); ++i) {
        const QString pty = sims[size_t(i)]->Pty();
        const CliRun upload = RunCli({QStringLiteral("upload"), QStringLiteral("--serial"), pty, QStringLiteral("--history"), history});
        QVERIFY2(upload.status == 0 && !upload.err.contains(QStringLiteral("history")), qPrintable(Describe(upload)));
        const QString csv = m_dir.filePath(QStringLiteral("fleet-%1.csv").arg(i));
        for (int pass = 0; pass < 2; ++pass) {
            const CliRun log = RunCli({QStringLiteral("log"), QStringLiteral("--serial"), pty, QStringLiteral("--csv"), csv,
                                       QStringLiteral("--history"), history});
            QVERIFY2(log.status == 0 && !log.err.contains(QStringLiteral("history")), qPrintable(Describe(log)));
        }
        CliRun import;
        History({QStringLiteral("import-csv"), csv, QStringLiteral("--serial"), Serial(serials[i]), QStringLiteral("--history"), history}, &import);
        QVERIFY2(import.status == 0, qPrintable(Describe(import)));
        QVERIFY2(import.out.contains(QStringLiteral(", 0 new entries.")), qPrintable(import.out));
    }

    CliRun list;
    History({QStringLiteral("list"), QStringLiteral("--history"), history}, &list);
    QCOMPARE(list.status, 0);
    QVERIFY2(list.out.startsWith(QStringLiteral("3 instrument(s) in ")), qPrintable(list.out));
    for (quint32 s : serials)
        QVERIFY2(list.out.contains(Serial(s) + QStringLiteral("  DEMO UNIT")), qPrintable(list.out));

    for (quint32 s : serials) {
        const QString show = History({QStringLiteral("show"), Serial(s), QStringLiteral("--history"), history});
        const QList<QPair<int, int>> r = Retrievals(show);
        // Newest first: the import, the second retrieval, the first.
        QCOMPARE(r.size(), 3);
        QCOMPARE(r[2].second, r[2].first);
        QCOMPARE(r[1].second, 0);
        QCOMPARE(r[0].second, 0);
        QCOMPARE(LogEntries(show), r[2].first);
        QVERIFY2(show.contains(QStringLiteral("Settings uploaded")), qPrintable(show));
        // The interval from the settings, the date from the log or the settings.
        QVERIFY2(show.contains(QStringLiteral("Cal interval:       28 days")), qPrintable(show));
        QVERIFY2(QRegularExpression(QStringLiteral("Calibration due:\\s+\\d{4}-\\d\\d-\\d\\d")).match(show).hasMatch(), qPrintable(show));
        // The simulator's last calibration date is its log's last passed
        // calibration (a failed one after it may still be named).
        QVERIFY2(!show.contains(QStringLiteral("log: calibrated")), qPrintable(show));
    }
    // Every instrument has a 28-day interval, so all fall due within a year.
    CliRun due;
    History({QStringLiteral("due"), QStringLiteral("--within"), QStringLiteral("365"), QStringLiteral("--history"), history}, &due);
    QCOMPARE(due.status, 0);
    QVERIFY2(due.out.startsWith(QStringLiteral("3 instrument(s) due within 365 day(s)")), qPrintable(due.out));
}

void TestCliHistory::dueDatesThatDisagree()
{
    // Settings calibrated 200 days ago every 4 weeks; the log passed a
    // calibration 3 days ago. The earlier date counts, and both are named.
    const QString history = FreshLocation();
    const QString serial = Serial(0x1E240);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate settingsDate = now.date().addDays(-200);
    const QDateTime calibrated = now.addDays(-3);
    {
        CHistoryStore store;
        QVERIFY2(store.Open(history), qPrintable(store.ErrorString()));
        HistorySnapshot s;
        s.serial = serial;
        s.time = now.addDays(-1);
        s.optionsText = QStringLiteral("[Sensors]\r\nLastCalDate=%1\r\n[Advanced Features]\r\nCalInterval=28\r\n")
                            .arg(settingsDate.toString(QStringLiteral("MM/dd/yyyy")));
        QVERIFY(store.RecordSnapshot(s).stored);
        HistoryLogRetrieval r;
        r.serial = serial;
        r.time = now;
        QVERIFY(store.RecordLog(r, {Event(11, calibrated.addSecs(-60)), Event(32, calibrated.addSecs(-10), 0x1),
                                    Event(33, calibrated, 0x1), Event(36, calibrated.addSecs(2))})
                    .stored);
    }
    const auto day = [](const QDateTime &t) { return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")); };
    const QString instrumentDue = day(settingsDate.addDays(28).startOfDay(Qt::UTC));
    const QString differ = QStringLiteral("instrument: due %1; log: calibrated %2").arg(instrumentDue, day(calibrated));

    const QString show = History({QStringLiteral("show"), serial, QStringLiteral("--history"), history});
    QVERIFY2(show.contains(QStringLiteral("Calibration due:    %1  OVERDUE").arg(instrumentDue)), qPrintable(show));
    QVERIFY2(show.contains(QStringLiteral("Due dates differ:   ") + differ), qPrintable(show));
    QVERIFY2(show.contains(QStringLiteral("Last calibration:   ") + day(calibrated)), qPrintable(show));

    CliRun due;
    History({QStringLiteral("due"), QStringLiteral("--within"), QStringLiteral("1"), QStringLiteral("--history"), history}, &due);
    QCOMPARE(due.status, 0);
    QVERIFY2(due.out.startsWith(QStringLiteral("1 instrument(s) due within 1 day(s)")), qPrintable(due.out));
    QVERIFY2(due.out.contains(QStringLiteral("due dates differ: ") + differ), qPrintable(due.out));
    History({QStringLiteral("list"), QStringLiteral("--history"), history}, &due);
    QVERIFY2(due.out.contains(differ), qPrintable(due.out));
}

void TestCliHistory::simulatedInstrumentAgreesWithItsLog()
{
    // A generated log whose newest calibration passed (seed 12): the
    // instrument's last calibration date is that calibration's.
    const QString history = m_dir.filePath(QStringLiteral("agree.db"));
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--serial-number"), QStringLiteral("0x5151"), QStringLiteral("--seed"), QStringLiteral("12"),
                       QStringLiteral("--log-records"), QStringLiteral("5000")}));
    const QString csv = m_dir.filePath(QStringLiteral("agree.csv"));
    for (const QStringList &command : {QStringList{QStringLiteral("upload")}, QStringList{QStringLiteral("log"), QStringLiteral("--csv"), csv}}) {
        const CliRun run = RunCli(command + QStringList{QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), history});
        QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    }
    const QString show = History({QStringLiteral("show"), QStringLiteral("5151"), QStringLiteral("--history"), history});
    const QRegularExpressionMatch last = QRegularExpression(QStringLiteral("Last calibration:\\s+(\\S+)")).match(show);
    QVERIFY2(last.hasMatch() && show.contains(QStringLiteral("Calibration HC: Passed")), qPrintable(show));
    QVERIFY2(show.contains(QStringLiteral("  ") + last.captured(1) + QStringLiteral(" ")), qPrintable(show));
    QVERIFY2(!show.contains(QStringLiteral("Due dates differ")), qPrintable(show));
}

QString TestCliHistory::History(const QStringList &args, CliRun *run)
{
    const CliRun r = RunCli(QStringList{QStringLiteral("history")} + args);
    if (run)
        *run = r;
    return r.out;
}

void TestCliHistory::concurrentWritersLoseNothing()
{
    const QString history = FreshLocation();
    const QString csvA = CsvOf(21, 20000), csvB = CsvOf(22, 20000);
    // Four programs at once: two instruments, each file imported twice.
    struct Job
    {
        QString csv;
        QString serial;
    };
    const QList<Job> jobs = {{csvA, QStringLiteral("00000A01")}, {csvB, QStringLiteral("00000B02")},
                             {csvA, QStringLiteral("00000A01")}, {csvB, QStringLiteral("00000B02")}};
    std::vector<std::unique_ptr<QProcess>> running;
    for (const Job &j : jobs) {
        auto p = std::make_unique<QProcess>();
        p->start(qEnvironmentVariable("ALTAVO_CLI"), {QStringLiteral("history"), QStringLiteral("import-csv"), j.csv,
                                                      QStringLiteral("--serial"), j.serial, QStringLiteral("--history"), history});
        running.push_back(std::move(p));
    }
    for (auto &p : running) {
        QVERIFY(p->waitForFinished(60000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        QVERIFY2(p->readAllStandardError().isEmpty(), "an import went to the spool");
    }
    for (const QString &serial : {QStringLiteral("00000A01"), QStringLiteral("00000B02")}) {
        const QString show = History({QStringLiteral("show"), serial, QStringLiteral("--history"), history});
        const QList<QPair<int, int>> r = Retrievals(show);
        QCOMPARE(r.size(), 2);
        // One of the two stored the entries, the other found them there.
        QCOMPARE(r[0].second + r[1].second, r[0].first);
        QCOMPARE(LogEntries(show), r[0].first);
        QCOMPARE(r[0].first, 20000);
    }
}

void TestCliHistory::spoolWhileTheServerIsDown()
{
    QString error;
    QVERIFY2(m_pg.CreateDatabase(QStringLiteral("spool"), &error), qPrintable(error));
    const QString history = m_pg.Url(QStringLiteral("spool"));
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--serial-number"), QStringLiteral("777"), QStringLiteral("--log-records"), QStringLiteral("400")}));
    QVERIFY(m_pg.Stop());
    const CliRun upload = RunCli({QStringLiteral("upload"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), history});
    // The upload itself is complete; the history waits.
    QVERIFY2(upload.status == 0, qPrintable(Describe(upload)));
    QVERIFY2(upload.out.contains(QStringLiteral("Instrument ID:")), qPrintable(Describe(upload)));
    // The instrument's row and its settings.
    QVERIFY2(upload.err.contains(QStringLiteral("2 record(s) wait in")), qPrintable(Describe(upload)));
    const CliRun log = RunCli({QStringLiteral("log"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--csv"),
                               m_dir.filePath(QStringLiteral("spool.csv")), QStringLiteral("--history"), history});
    QVERIFY2(log.status == 0 && log.err.contains(QStringLiteral("4 record(s) wait in")), qPrintable(Describe(log)));
    CliRun list;
    History({QStringLiteral("list"), QStringLiteral("--history"), history}, &list);
    QCOMPARE(list.status, 6);
    QVERIFY2(list.err.contains(QStringLiteral("record(s) wait")), qPrintable(Describe(list)));

    QVERIFY2(m_pg.Start(&error), qPrintable(error));
    const QString serial = Serial(777);
    History({QStringLiteral("list"), QStringLiteral("--history"), history}, &list);
    QVERIFY2(list.status == 0 && list.err.isEmpty(), qPrintable(Describe(list)));
    QVERIFY2(list.out.startsWith(QStringLiteral("1 instrument(s)")) && list.out.contains(serial), qPrintable(list.out));
    const QString show = History({QStringLiteral("show"), serial, QStringLiteral("--history"), history});
    QCOMPARE(Retrievals(show).size(), 1);
    QCOMPARE(show.count(QStringLiteral("Settings uploaded")), 1);
    QCOMPARE(LogEntries(show), Retrievals(show).first().first);
}

void TestCliHistory::noHistoryRecordsNothing()
{
    const QString history = m_dir.filePath(QStringLiteral("never.db"));
    CSimProcess sim;
    QVERIFY(sim.Start({}));
    const CliRun identity = RunCli({QStringLiteral("identity"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--no-history"),
                                    QStringLiteral("--history"), history});
    QVERIFY2(identity.status == 0, qPrintable(Describe(identity)));
    QVERIFY(!QFile::exists(history));
    const CliRun recorded = RunCli({QStringLiteral("identity"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), history});
    QVERIFY2(recorded.status == 0, qPrintable(Describe(recorded)));
    QVERIFY(History({QStringLiteral("list"), QStringLiteral("--history"), history}).startsWith(QStringLiteral("1 instrument(s)")));
}

void TestCliHistory::downloadAndFirmwareRecorded()
{
    const QString history = m_dir.filePath(QStringLiteral("firmware.db"));
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--serial-number"), QStringLiteral("0x4242")}));
    const QString options = m_dir.filePath(QStringLiteral("unit.kvo"));
    const auto cli = [&](const QStringList &args) {
        return RunCli(QStringList{QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), history} + args, QProcessEnvironment::systemEnvironment(), 60000);
    };
    CliRun run = cli({QStringLiteral("upload"), QStringLiteral("--options"), options});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    run = cli({QStringLiteral("download"), QStringLiteral("--options"), options});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QString show = History({QStringLiteral("show"), QStringLiteral("4242"), QStringLiteral("--history"), history});
    QVERIFY2(show.contains(QStringLiteral("Settings downloaded and verified")), qPrintable(show));

    // A run stopped at the boot-area comparison is kept as failed, under
    // the serial the instrument had.
    const QString other = qEnvironmentVariable("ALTAVO_TEST_DATA") + QStringLiteral("/hex/good.hex");
    run = cli({QStringLiteral("program"), other});
    QCOMPARE(run.status, 1);
    show = History({QStringLiteral("show"), QStringLiteral("4242"), QStringLiteral("--history"), history});
    QVERIFY2(show.contains(QRegularExpression(QStringLiteral("FAIL  Firmware good.hex \\(SHA-256 [0-9a-f]{16}\\): Cancelled"))), qPrintable(show));

    // Sixteen words above the boot area, then the end record.
    QByteArray data;
    for (int i = 0; i < 16; ++i)
        data += char(i) + QByteArray(1, char(0x30));
    const QByteArray image = HexRecordLine(0, 4, QByteArray(2, '\0')) + HexRecordLine(0x8000, 0, data) + HexRecordLine(0, 1, {});
    const QString hex = m_dir.filePath(QStringLiteral("small.hex"));
    QFile file(hex);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
    file.close();
    run = cli({QStringLiteral("program"), hex});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    const QRegularExpressionMatch stamped = QRegularExpression(QStringLiteral("serial number \\d+ \\(([0-9A-F]{8})\\)")).match(run.out);
    QVERIFY2(stamped.hasMatch(), qPrintable(run.out));
    const QString sha = QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    show = History({QStringLiteral("show"), stamped.captured(1), QStringLiteral("--history"), history});
    QVERIFY2(show.contains(QStringLiteral("Firmware small.hex (SHA-256 %1): Done").arg(sha.left(16))), qPrintable(show));
}

void TestCliHistory::commandErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString csv = QStringLiteral("%1/none.csv").arg(QDir::tempPath());
    QTest::newRow("no subcommand") << QStringList{QStringLiteral("history")} << 2 << "history needs one of";
    QTest::newRow("show without serial") << QStringList{QStringLiteral("history"), QStringLiteral("show")} << 2 << "usage: altavo-cli history show SERIAL";
    QTest::newRow("bad serial") << QStringList{QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("12G")} << 2 << "is not a serial number";
    QTest::newRow("import without serial") << QStringList{QStringLiteral("history"), QStringLiteral("import-csv"), csv} << 2 << "needs --serial SERIAL";
    QTest::newRow("import of a missing file") << QStringList{QStringLiteral("history"), QStringLiteral("import-csv"), csv, QStringLiteral("--serial"), QStringLiteral("1")} << 5 << "none.csv";
    QTest::newRow("within elsewhere") << QStringList{QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--within"), QStringLiteral("3")} << 2 << "--within goes with history due only";
    QTest::newRow("no-history with history") << QStringList{QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--no-history")} << 2 << "--no-history does not go";
    QTest::newRow("unknown instrument") << QStringList{QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("ABC")} << 1 << "holds no instrument 00000ABC";
    QTest::newRow("bad url") << QStringList{QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--history"), QStringLiteral("postgresql://x@localhost/")} << 6 << "must name a database";
}

void TestCliHistory::commandErrors()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    if (!args.contains(QStringLiteral("--history")))
        args << QStringLiteral("--history") << m_dir.filePath(QStringLiteral("errors.db"));
    const CliRun run = RunCli(args);
    QVERIFY2(run.status == status, qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(message), qPrintable(Describe(run)));
}

QTEST_GUILESS_MAIN(TestCliHistory)
#include "tst_clihistory.moc"
