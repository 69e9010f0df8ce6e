// altavo-cli log against altavo-sim on a pseudo-terminal: the CSV it writes is the log the instrument sent, sessions are printed, clearing waits for a written file, and a saved file needs no instrument.
#include "ProgramRuns.h"
#include "SimDefaults.h"
#include "SimInstrument.h"
#include "SimLogGenerator.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvReader.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogSession.h"
#include "document/ToxicRecord.h"
#include "link/LinkRecord.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The characters the instrument sent, from the --verbose trace ("< " lines,
// the text before the two spaces that lead to its meaning, other bytes
// written as <xx>).
QByteArray Received(const QByteArray &trace)
{
    QByteArray bytes;
    static const QRegularExpression escape(QStringLiteral("<([0-9a-f]{2})>"));
    for (const QByteArray &line : trace.split('\n')) {
        if (!line.startsWith("< "))
            continue;
        const QByteArray shown = line.mid(2);
        const qsizetype gap = shown.indexOf("  ");
        QString text = QString::fromLatin1(gap < 0 ? shown : shown.left(gap));
        qsizetype at = 0;
        QRegularExpressionMatch m;
        while ((m = escape.match(text, at)).hasMatch()) {
            bytes += text.mid(at, m.capturedStart() - at).toLatin1();
            bytes += char(m.captured(1).toInt(nullptr, 16));
            at = m.capturedEnd();
        }
        bytes += text.mid(at).toLatin1();
    }
    return bytes;
}

// The log records among the received replies, in order.
QList<QByteArray> LogRecords(const QByteArray &received)
{
    QList<QByteArray> records;
    for (qsizetype i = received.indexOf(':'); i >= 0; i = received.indexOf(':', i + 1)) {
        if (received.size() - i < 11)
            break;
        const int n = LinkRecord::RecordCount(received.constData() + i);
        if (received.size() - i < LinkRecord::RecordLength(n))
            break;
        const LinkReply reply = LinkRecord::DecodeRecord(received.constData() + i, int(received.size() - i));
        if (reply.type == 0)
            records.append(reply.data);
    }
    return records;
}

} // namespace

class TestCliLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void csvIsTheLogTheInstrumentSent();
    void clearsOnlyAfterTheFileIsWritten();
    void savedFileNeedsNoInstrument();
    void generatedLogComesThroughWhole();
    void instrumentGoneMidLogSavesNothing();
    void badArgumentsAreUsageErrors_data();
    void badArgumentsAreUsageErrors();

private:
    QStringList Args(const QStringList &command) const { return QStringList{QStringLiteral("--serial"), m_sim->Pty()} + command; }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
};

void TestCliLog::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM") || qEnvironmentVariableIsEmpty("ALTAVO_CLI"))
        QSKIP("ALTAVO_SIM and ALTAVO_CLI name the programs; run through ctest");
    QVERIFY(m_dir.isValid());
}

void TestCliLog::init()
{
    m_sim = std::make_unique<CSimProcess>();
    QVERIFY(m_sim->Start({QStringLiteral("--pty")}));
}

void TestCliLog::cleanup()
{
    m_sim.reset();
}

void TestCliLog::csvIsTheLogTheInstrumentSent()
{
    const QString path = m_dir.filePath(QStringLiteral("log.csv"));
    const CliRun run = RunCli(Args({QStringLiteral("--verbose"), QStringLiteral("log"), QStringLiteral("--csv"), path}));
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY2(run.err.contains("Uploading Log"), qPrintable(Describe(run)));
    const QByteArray file = ReadFile(path);

    // The same records decoded and written by the core, with the instrument's
    // toxic table; the markers take their times from the file's first and
    // last rows (the log's start and the clock read at the start).
    const QList<QByteArray> table = SimDefaults::ToxicTable();
    const CToxicRecord co(table.at(1)), h2s(table.at(2));
    const LogSensors sensors(co.GasName(), co.Fraction(), h2s.GasName(), h2s.Fraction(), 100);
    const QList<QByteArray> lines = file.split('\n');
    QVERIFY(lines.size() > 4);
    const QList<QByteArray> first = LogCsv::Split(lines.at(1).trimmed());
    const QList<QByteArray> last = LogCsv::Split(lines.at(lines.size() - 2).trimmed());
    QCOMPARE(first.value(0), QByteArray("Start of data log"));
    QCOMPARE(last.value(0), QByteArray("End of data log"));
    const QDateTime start = LogCsvReader::ParseTime(first.value(1), first.value(2));
    const QDateTime end = LogCsvReader::ParseTime(last.value(1), last.value(2));

    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, start)};
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(start.date());
    const QList<QByteArray> records = LogRecords(Received(run.err.toLatin1()));
    QVERIFY(records.size() > 40);
    for (const QByteArray &r : records)
        decoder.Decode(r, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, end));
    const QByteArray expected = LogCsv::FileText(entries, sensors);
    QCOMPARE(file.size(), expected.size());
    QCOMPARE(file, expected);

    // The demonstration log's two sessions, one line each.
    static const QRegularExpression row(QStringLiteral("^ +[12]  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "),
                                        QRegularExpression::MultilineOption);
    QCOMPARE(run.out.count(row), 2);
    const CliRun offline = RunCli({QStringLiteral("log"), QStringLiteral("--from-csv"), path});
    QVERIFY2(offline.status == 0, qPrintable(Describe(offline)));
    QCOMPARE(offline.out, run.out.left(offline.out.size()));
}

void TestCliLog::clearsOnlyAfterTheFileIsWritten()
{
    const QString unwritable = m_dir.filePath(QStringLiteral("no/such/folder/log.csv"));
    const CliRun failed = RunCli(Args({QStringLiteral("log"), QStringLiteral("--csv"), unwritable, QStringLiteral("--clear")}));
    QCOMPARE(failed.status, 5);
    QVERIFY2(failed.err.contains("Error writing") && failed.err.contains("not cleared"), qPrintable(Describe(failed)));

    // The log is still there, is saved, and then cleared.
    const QString path = m_dir.filePath(QStringLiteral("kept.csv"));
    const CliRun saved = RunCli(Args({QStringLiteral("log"), QStringLiteral("--csv"), path, QStringLiteral("--clear")}));
    QVERIFY2(saved.status == 0, qPrintable(Describe(saved)));
    QVERIFY(saved.out.contains(QStringLiteral("Log cleared.")));
    const LogCsvReader::Result kept = LogCsvReader({}, 0).Load(path);
    QVERIFY(kept.Ok());
    QCOMPARE(LogSession::Find(kept.entries).size(), 2);

    const CliRun after = RunCli(Args({QStringLiteral("log"), QStringLiteral("--csv"), m_dir.filePath(QStringLiteral("after.csv"))}));
    QVERIFY2(after.status == 0, qPrintable(Describe(after)));
    QVERIFY2(after.out.startsWith(QStringLiteral("No sessions in the log")), qPrintable(after.out));
}

void TestCliLog::savedFileNeedsNoInstrument()
{
    const QString golden = qEnvironmentVariable("ALTAVO_TEST_DATA") + QStringLiteral("/log/upload.csv");
    // A port that cannot be opened is never tried.
    const CliRun run = RunCli({QStringLiteral("--serial"), QStringLiteral("/nonexistent/tty"), QStringLiteral("log"),
                               QStringLiteral("--from-csv"), golden});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY2(run.out.startsWith(QStringLiteral("  #  Start")), qPrintable(run.out));

    const CliRun missing = RunCli({QStringLiteral("log"), QStringLiteral("--from-csv"), m_dir.filePath(QStringLiteral("none.csv"))});
    QCOMPARE(missing.status, 5);
    QVERIFY2(missing.err.contains("Error reading") && missing.err.contains("none.csv"), qPrintable(Describe(missing)));
}

void TestCliLog::generatedLogComesThroughWhole()
{
    // A simulator of its own, holding a log made from a seed.
    CSimProcess sim;
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(sim.Start({QStringLiteral("--pty"), QStringLiteral("--log-records"), QStringLiteral("2000"),
                       QStringLiteral("--seed"), QStringLiteral("7")}));
    const QDateTime after = QDateTime::currentDateTime();

    const QString path = m_dir.filePath(QStringLiteral("generated.csv"));
    const CliRun run = RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("log"), QStringLiteral("--csv"), path});
    sim.Stop();
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));

    // The log the simulator made: the one, among those for the seconds it
    // may have started in, that begins where the file does.
    const QList<QByteArray> lines = ReadFile(path).split('\n');
    QVERIFY(lines.size() > 2);
    const QList<QByteArray> first = LogCsv::Split(lines.at(1).trimmed());
    QCOMPARE(first.value(0), QByteArray("Start of data log"));
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QString start = LogCsvReader::ParseTime(first.value(1), first.value(2)).toString(format);
    const CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(CSimInstrument());
    CSimLogGenerator::Result expected;
    for (QDateTime t = before.addSecs(-1); t <= after.addSecs(1) && expected.records.isEmpty(); t = t.addSecs(1)) {
        CSimLogGenerator::Result log = CSimLogGenerator::Build(7, 2000, t, settings);
        if (log.start.toString(format) == start)
            expected = log;
    }
    QVERIFY2(!expected.records.isEmpty(), qPrintable(start));

    // Every record is a row between the two markers; the readings and the
    // sessions are the ones written.
    int rows = 0;
    int dataRows = 0;
    for (const QByteArray &line : lines.mid(1)) {
        rows += line.trimmed().isEmpty() ? 0 : 1;
        dataRows += line.startsWith("\"Data") ? 1 : 0;
    }
    QCOMPARE(rows, 2000 + 2);
    int written = 0;
    for (const CSimLogGenerator::Session &s : expected.sessions)
        written += s.dataCount;
    QCOMPARE(dataRows, written);
    static const QRegularExpression row(QStringLiteral("^ +\\d+  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "),
                                        QRegularExpression::MultilineOption);
    QCOMPARE(run.out.count(row), int(expected.sessions.size()));
    QVERIFY(expected.sessions.size() > 1);
}

void TestCliLog::instrumentGoneMidLogSavesNothing()
{
    // The instrument goes away part-way through the records: what came is
    // not the log, so no file looks as if it were.
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--pty"), QStringLiteral("--log-records"), QStringLiteral("150"),
                       QStringLiteral("--end-after"), QStringLiteral("80")}));
    const QString path = m_dir.filePath(QStringLiteral("cut.csv"));
    const CliRun run = RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("log"), QStringLiteral("--csv"), path});
    QVERIFY2(run.status == 4, qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(QLatin1String("port was lost")) && run.err.contains(QLatin1String("did not finish")),
             qPrintable(Describe(run)));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!run.out.contains(QLatin1String("Log saved")));
}

void TestCliLog::badArgumentsAreUsageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("log without a file") << QStringList{QStringLiteral("log")};
    QTest::newRow("both files") << QStringList{QStringLiteral("log"), QStringLiteral("--csv"), QStringLiteral("a.csv"),
                                               QStringLiteral("--from-csv"), QStringLiteral("b.csv")};
    QTest::newRow("clear with a saved file") << QStringList{QStringLiteral("log"), QStringLiteral("--from-csv"),
                                                            QStringLiteral("b.csv"), QStringLiteral("--clear")};
    QTest::newRow("csv with another command") << QStringList{QStringLiteral("identity"), QStringLiteral("--csv"), QStringLiteral("a.csv")};
}

void TestCliLog::badArgumentsAreUsageErrors()
{
    QFETCH(QStringList, args);
    const CliRun run = RunCli(args);
    QVERIFY2(run.status == 2, qPrintable(Describe(run)));
}

QTEST_GUILESS_MAIN(TestCliLog)
#include "tst_clilog.moc"
