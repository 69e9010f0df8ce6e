// altavo-cli history copy: a fleet with every kind of record copied from SQLite into PostgreSQL and back, read back alike on both sides, a second copy adding nothing, and the command's errors.
#include "HistoryEngines.h"
#include "LogEvent.h"
#include "ProgramRuns.h"
#include "history/HistoryLogCodec.h"
#include "history/HistoryStore.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDateTime Now(QDate(2026, 11, 20), QTime(9, 15, 0), Qt::UTC);

// A calibration of the HC sensor ending at t and a bump test after it.
QList<LogRecord> Calibrated(const QDateTime &t)
{
    return {Event(29, t.addSecs(-120), 0x1), Event(11, t.addSecs(-60)), Event(32, t.addSecs(-10), 0x1), Event(33, t, 0x1),
            Event(36, t.addSecs(2)),         Event(28, t.addSecs(30)),  Event(30, t.addSecs(50), 0x1),  Event(24, t.addSecs(60))};
}

QString Options(int interval, int highAlarm)
{
    return QStringLiteral("[Advanced Features]\r\nCalInterval=%1\r\nBumpTest=1\r\nHighAlarm3=%2\r\n").arg(interval).arg(highAlarm);
}

QString Time(const QDateTime &t)
{
    return t.isValid() ? t.toString(Qt::ISODateWithMs) : QStringLiteral("-");
}

// Everything the history holds, as its queries give it, ids left out.
QString Dump(const QString &location)
{
    CHistoryStore store;
    if (!store.Open(location))
        return store.ErrorString();
    QStringList out;
    QStringList serials;
    for (const HistoryFleetRow &r : store.Fleet(Now)) {
        serials << r.serial;
        out << QStringLiteral("fleet %1|%2|%3|%4|%5|%6|%7|%8|%9")
                   .arg(r.serial, r.instrumentId, r.configuration, r.version, Time(r.lastSeen), Time(r.lastCalibration),
                        Time(r.calibrationDue), Time(r.lastBumpTest), Time(r.bumpTestDue));
        const HistoryInstrument i = *store.Instrument(r.serial);
        out << QStringLiteral("instrument %1 %2 %3 %4 %5").arg(Time(i.firstSeen), Time(i.lastSeen)).arg(i.calIntervalDays).arg(i.bumpTestRequired).arg(i.serial);
        for (const HistorySnapshot &s : store.Snapshots(r.serial)) {
            QStringList differences;
            for (const HistoryDifference &d : s.differences)
                differences << d.key + QLatin1Char('=') + d.sent + QLatin1Char('/') + d.readBack;
            out << QStringLiteral("snapshot %1 %2 %3 %4 %5 %6 %7 [%8]")
                       .arg(s.opKey, s.serial)
                       .arg(int(s.kind))
                       .arg(Time(s.time), s.computer, s.user)
                       .arg(s.verified)
                       .arg(differences.join(QLatin1Char(','))) + s.optionsText;
        }
        for (const HistoryLogRetrieval &l : store.Retrievals(r.serial))
            out << QStringLiteral("retrieval %1 %2 %3 %4 %5 %6 %7 %8 %9")
                       .arg(l.opKey, l.serial)
                       .arg(int(l.source))
                       .arg(l.fileName, Time(l.time), l.computer, l.user)
                       .arg(l.entryCount)
                       .arg(l.addedCount) + Time(l.firstEntry) + Time(l.lastEntry) + l.sensors.ToxicName(1) + l.sensors.ToxicName(2);
        for (const HistoryCalibration &c : store.Calibrations(r.serial))
            out << QStringLiteral("calibration %1 %2 %3 %4 %5").arg(int(c.kind)).arg(c.sensor).arg(Time(c.time)).arg(c.passed).arg(c.result);
        const QList<LogRecord> entries = store.LogEntries(r.serial);
        out << QStringLiteral("entries %1 %2").arg(entries.size()).arg(store.LogEntryCount(r.serial));
        QByteArray all;
        for (const LogRecord &e : entries)
            all += CHistoryLogCodec::Encode(e) + Time(e.time).toLatin1();
        out << QString::fromLatin1(QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex());
    }
    for (const QString &serial : serials + QStringList{QString()}) {
        for (const HistoryFirmwareRun &f : store.FirmwareRuns(serial))
            out << QStringLiteral("firmware %1 %2 %3 %4 %5 %6 %7 %8 %9")
                       .arg(f.opKey, f.serial, Time(f.time), f.computer, f.user, f.fileName, f.sha256)
                       .arg(f.passed)
                       .arg(f.result);
        for (const HistoryBoardTest &b : store.BoardTests(serial))
            out << QStringLiteral("boardtest %1 %2 %3 %4 %5 %6 %7 %8")
                       .arg(b.opKey, b.serial, Time(b.time), b.computer, b.user, b.group)
                       .arg(b.passed)
                       .arg(b.detail);
    }
    return out.join(QLatin1Char('\n'));
}

// Every part of "Copied ...: 3 instruments (0 new), ..." says nothing was new.
bool NothingNew(const QString &out)
{
    return out.contains(QStringLiteral("instruments (0 new)")) && !QRegularExpression(QStringLiteral("\\((?!0 new)\\d+ new\\)")).match(out).hasMatch();
}
} // namespace

class TestCliHistoryCopy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void copiesBothWays_data();
    void copiesBothWays();
    void errors_data();
    void errors();

private:
    QString Fresh(const QString &engine);
    bool MakeFleet(const QString &location);

    QTemporaryDir m_dir;
    CPgServer m_pg;
    int m_databases = 0;
};

void TestCliHistoryCopy::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString error;
    QVERIFY2(m_pg.Start(&error), qPrintable(error));
}

void TestCliHistoryCopy::cleanupTestCase()
{
    m_pg.Stop();
}

QString TestCliHistoryCopy::Fresh(const QString &engine)
{
    return FreshHistoryLocation(m_dir, m_pg, QStringLiteral("copy%1").arg(++m_databases), engine);
}

// Three instruments with uploads, a download with a difference, a retrieved
// log and an import of part of it, calibrations and bump tests, firmware
// runs, and board tests of an instrument and of a bare board.
bool TestCliHistoryCopy::MakeFleet(const QString &location)
{
    CHistoryStore store;
    if (!store.Open(location))
        return false;
    bool ok = true;
    const QStringList serials = {QStringLiteral("0001E240"), QStringLiteral("0002A0F1"), QStringLiteral("00B20003")};
    for (int n = 0; n < serials.size(); ++n) {
        const QString serial = serials.at(n);
        HistoryInstrument i;
        i.serial = serial;
        i.version = QStringLiteral("V1.4%1").arg(n);
        i.configuration = QStringLiteral("-02 %LEL HEX");
        i.instrumentId = QStringLiteral("UNIT %1").arg(n);
        i.firstSeen = Now.addDays(-400 + n);
        i.lastSeen = Now.addDays(-n);
        ok = ok && store.RecordInstrument(i).stored;
        HistorySnapshot s;
        s.serial = serial;
        s.time = Now.addDays(-30 - n);
        s.computer = QStringLiteral("BENCH-PC");
        s.user = QStringLiteral("anna");
        s.optionsText = Options(30 + n, 35);
        ok = ok && store.RecordSnapshot(s).stored;
        s = HistorySnapshot();
        s.serial = serial;
        s.kind = HistorySnapshot::Download;
        s.time = Now.addDays(-20 - n);
        s.optionsText = Options(90, 40 + n);
        s.verified = n != 1;
        if (n == 1)
            s.differences = {{QStringLiteral("HighAlarm3"), QStringLiteral("41"), QStringLiteral("40")}};
        ok = ok && store.RecordSnapshot(s).stored;

        CSimLogGenerator::Settings settings;
        settings.instrumentId = "UNIT";
        settings.operators = {"ANN"};
        settings.locations = {"TANK 4"};
        const CSimLogGenerator::Result log = CSimLogGenerator::Build(quint32(7 + n), 600 + 100 * n, Now.addDays(-3), settings);
        const LogSensors sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
        QList<LogRecord> entries = DecodedLog(log, sensors, Now.addDays(-3));
        entries += Calibrated(Now.addDays(-25 - n));
        HistoryLogRetrieval r;
        r.serial = serial;
        r.time = Now.addDays(-2);
        r.sensors = sensors;
        ok = ok && store.RecordLog(r, entries).stored;
        // A saved file of part of the same log: nothing new but its own row.
        HistoryLogRetrieval file;
        file.serial = serial;
        file.source = HistoryLogRetrieval::CsvFile;
        file.fileName = QStringLiteral("unit%1.csv").arg(n);
        file.time = Now.addDays(-1);
        file.sensors = sensors;
        ok = ok && store.RecordLog(file, entries.mid(0, 200)).stored;

        HistoryFirmwareRun run;
        run.serial = serial;
        run.time = Now.addDays(-300);
        run.fileName = QStringLiteral("altavo-142.hex");
        run.sha256 = QStringLiteral("ab").repeated(32);
        run.passed = n != 2;
        run.result = run.passed ? QStringLiteral("Done") : QStringLiteral("Failed: no answer");
        ok = ok && store.RecordFirmwareRun(run).stored;
    }
    for (const QString &serial : {QString(), QStringLiteral("0001E240")}) {
        HistoryBoardTest t;
        t.serial = serial;
        t.time = Now.addDays(-399);
        t.group = QStringLiteral("RAM");
        t.passed = serial.isEmpty();
        t.detail = serial.isEmpty() ? QString() : QStringLiteral("RAM/Pattern 55\nRAM/Pattern AA");
        ok = ok && store.RecordBoardTest(t).stored;
    }
    return ok;
}

void TestCliHistoryCopy::copiesBothWays_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("sqlite to postgresql") << "sqlite" << "postgresql";
    QTest::newRow("postgresql to sqlite") << "postgresql" << "sqlite";
}

void TestCliHistoryCopy::copiesBothWays()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    const QString source = Fresh(from), copy = Fresh(to), back = Fresh(from);
    QVERIFY(MakeFleet(source));
    const QString original = Dump(source);
    QVERIFY(original.count(QStringLiteral("\nsnapshot ")) == 6 && original.contains(QStringLiteral("boardtest ")));

    const CliRun first = RunCli({QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--from"), source, QStringLiteral("--to"), copy});
    QVERIFY2(first.status == 0, qPrintable(Describe(first)));
    QVERIFY2(first.out.contains(QStringLiteral("3 instruments (3 new), 6 settings snapshots (6 new), 6 log retrievals (6 new)")),
             qPrintable(first.out));
    QVERIFY2(first.out.contains(QStringLiteral("3 firmware runs (3 new), 2 board tests (2 new)")), qPrintable(first.out));
    QVERIFY2(first.err.contains(QStringLiteral("copying: 3 of 3 instruments")), qPrintable(first.err));
    QCOMPARE(Dump(copy), original);

    // Again: nothing new, nothing changed.
    const CliRun again = RunCli({QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--from"), source, QStringLiteral("--to"), copy});
    QVERIFY2(again.status == 0 && NothingNew(again.out), qPrintable(Describe(again)));
    QCOMPARE(Dump(copy), original);

    // Back into a new history of the first kind, and onto the original, which holds it all.
    const CliRun home = RunCli({QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--from"), copy, QStringLiteral("--to"), back});
    QVERIFY2(home.status == 0, qPrintable(Describe(home)));
    QCOMPARE(Dump(back), original);
    const CliRun onto = RunCli({QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--from"), copy, QStringLiteral("--to"), source});
    QVERIFY2(onto.status == 0 && NothingNew(onto.out), qPrintable(Describe(onto)));
    QCOMPARE(Dump(source), original);
}

void TestCliHistoryCopy::errors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString missing = QDir::temp().filePath(QStringLiteral("altavo-no-such-history.db"));
    const QString target = QDir::temp().filePath(QStringLiteral("altavo-copy-target.db"));
    QTest::newRow("no --to") << QStringList{QStringLiteral("history"), QStringLiteral("copy")} << 2 << "history copy needs --to URL";
    QTest::newRow("--to elsewhere") << QStringList{QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--to"), target} << 2
                                    << "--to and --from go with history copy only";
    QTest::newRow("a word too many") << QStringList{QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("x"), QStringLiteral("--to"), target}
                                     << 2 << "usage: altavo-cli history copy --to URL [--from URL]";
    QTest::newRow("onto itself") << QStringList{QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--from"), target, QStringLiteral("--to"), target}
                                 << 2 << "cannot be copied onto itself";
    QTest::newRow("no such source") << QStringList{QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--from"), missing, QStringLiteral("--to"), target}
                                    << 6 << "altavo-no-such-history.db does not exist";
    QTest::newRow("server down") << QStringList{QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--to"), QStringLiteral("postgresql://nobody@127.0.0.1:1/x")}
                                 << 6 << "127.0.0.1";
    QTest::newRow("bad url") << QStringList{QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("--to"), QStringLiteral("postgresql://x@localhost/")}
                             << 6 << "must name a database";
}

void TestCliHistoryCopy::errors()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    // The default history exists, so the server row fails on its destination.
    const QString configured = m_dir.filePath(QStringLiteral("configured.db"));
    QVERIFY(CHistoryStore().Open(configured));
    const CliRun run = RunCli(args + QStringList{QStringLiteral("--history"), configured});
    QVERIFY2(run.status == status, qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(message), qPrintable(Describe(run)));
    QVERIFY(!QFile::exists(QDir::temp().filePath(QStringLiteral("altavo-no-such-history.db"))));
}

QTEST_GUILESS_MAIN(TestCliHistoryCopy)
#include "tst_clihistorycopy.moc"
