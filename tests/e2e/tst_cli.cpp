// altavo-cli as a technician runs it against altavo-sim on a pseudo-terminal: upload, download with read-back, clock, log clearing and the failure statuses.
#include "ProgramRuns.h"
#include "platform/ProfileFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace {

QString Line(const QString &text, const QString &start)
{
    for (const QString &l : text.split(QLatin1Char('\n'))) {
        if (l.startsWith(start))
            return l;
    }
    return {};
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadPrintsSummaryAndSavesOptions();
    void downloadWritesAndVerifies();
    void downloadRefusesFilesItCannotApply_data();
    void downloadRefusesFilesItCannotApply();
    void setClockReadsBack();
    void clearLogAsksOrNeedsYes();
    void silentInstrumentGivesNoAnswer();
    void missingDeviceGivesPortError();

private:
    QStringList Args(const QStringList &command) const { return QStringList{QStringLiteral("--serial"), m_sim->Pty()} + command; }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
};

void TestCli::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM") || qEnvironmentVariableIsEmpty("ALTAVO_CLI"))
        QSKIP("ALTAVO_SIM and ALTAVO_CLI name the programs; run through ctest");
    QVERIFY(m_dir.isValid());
}

void TestCli::init()
{
    // A fresh instrument for every test, so none sees another's download.
    m_sim = std::make_unique<CSimProcess>();
    QVERIFY(m_sim->Start({QStringLiteral("--pty")}));
}

void TestCli::cleanup()
{
    m_sim.reset();
}

void TestCli::uploadPrintsSummaryAndSavesOptions()
{
    const QString path = m_dir.filePath(QStringLiteral("upload.kvo"));
    const CliRun run = RunCli(Args({QStringLiteral("upload"), QStringLiteral("--options"), path}));
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));

    CProfileFile file;
    QVERIFY(file.Load(path));
    QCOMPARE(file.Sections(), QStringList({QStringLiteral("Sensors"), QStringLiteral("Advanced Features"),
                                           QStringLiteral("Datalog Features"), QStringLiteral("Binary")}));
    const QString id = file.GetString(QStringLiteral("Datalog Features"), QStringLiteral("InstrumentID"));
    QVERIFY(!id.isEmpty());
    QCOMPARE(Line(run.out, QStringLiteral("Instrument ID:")).mid(20), id);
    // O2 levels are kept in tenths and shown with one decimal.
    const double o2 = file.GetString(QStringLiteral("Advanced Features"), QStringLiteral("HighAlarm2")).toDouble();
    QVERIFY2(Line(run.out, QStringLiteral("O2:")).contains(QStringLiteral("high alarm %1 %VOL").arg(o2, 0, 'f', 1)), qPrintable(run.out));
    QVERIFY(Line(run.out, QStringLiteral("Toxic 1")).contains(QLatin1String("fitted")));

    // Not a terminal: one progress line, at the end, with every step done.
    const QString progress = Line(run.err, QStringLiteral("Uploading "));
    const QStringList counts = progress.mid(10).split(QLatin1Char('/'));
    QCOMPARE(counts.size(), 2);
    QCOMPARE(counts[0], counts[1]);
    QVERIFY(!run.err.contains(QLatin1Char('\r')));
}

void TestCli::downloadWritesAndVerifies()
{
    const QString before = m_dir.filePath(QStringLiteral("before.kvo"));
    QCOMPARE(RunCli(Args({QStringLiteral("upload"), QStringLiteral("--options"), before})).status, 0);
    QByteArray bytes = ReadFile(before);
    const QString o2 = CProfileFile::GetFileString(before, QStringLiteral("Advanced Features"), QStringLiteral("HighAlarm2"));
    const QByteArray wanted = o2 == QLatin1String("22") ? "21.5" : "22";
    bytes.replace("HighAlarm2=" + o2.toLatin1(), "HighAlarm2=" + wanted);
    const qsizetype at = bytes.indexOf("InstrumentID=");
    bytes.replace(at, bytes.indexOf('\r', at) - at, "InstrumentID=E2E UNIT 7");
    const QString edited = m_dir.filePath(QStringLiteral("edited.kvo"));
    QVERIFY(WriteFile(edited, bytes));

    const CliRun run = RunCli(Args({QStringLiteral("download"), QStringLiteral("--options"), edited}));
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY(run.out.contains(QLatin1String("read back and verified")));
    QVERIFY(run.err.contains(QLatin1String("Downloading 81/81")));

    // A second program run reads the instrument's memory afresh.
    const QString after = m_dir.filePath(QStringLiteral("after.kvo"));
    const CliRun check = RunCli(Args({QStringLiteral("upload"), QStringLiteral("--options"), after}));
    QCOMPARE(check.status, 0);
    QCOMPARE(Line(check.out, QStringLiteral("Instrument ID:")).mid(20), QStringLiteral("E2E UNIT 7"));
    QCOMPARE(CProfileFile::GetFileString(after, QStringLiteral("Advanced Features"), QStringLiteral("HighAlarm2")).toLatin1(), wanted);
}

void TestCli::downloadRefusesFilesItCannotApply_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "missing" << 5 << "nowhere.kvo";
    QTest::newRow("truncated file") << "truncate" << 5 << "[Datalog Features]";
    QTest::newRow("level beyond the field") << "level" << 1 << "HighAlarm2: 200";
}

void TestCli::downloadRefusesFilesItCannotApply()
{
    QFETCH(QString, edit);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString saved = m_dir.filePath(QStringLiteral("saved.kvo"));
    QCOMPARE(RunCli(Args({QStringLiteral("upload"), QStringLiteral("--options"), saved})).status, 0);
    QByteArray bytes = ReadFile(saved);
    QString path = m_dir.filePath(QStringLiteral("refused.kvo"));
    if (edit == QLatin1String("missing"))
        path = m_dir.filePath(QStringLiteral("nowhere.kvo"));
    else if (edit == QLatin1String("truncate"))
        QVERIFY(WriteFile(path, bytes.left(bytes.indexOf("[Datalog Features]"))));
    else
        QVERIFY(WriteFile(path, bytes.replace(QByteArray("HighAlarm2="), QByteArray("HighAlarm2=200\r\nX="))));

    const CliRun run = RunCli(Args({QStringLiteral("download"), QStringLiteral("--options"), path}));
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(Describe(run)));
    QVERIFY(!run.err.contains(QLatin1String("Downloading")));

    // Nothing reached the instrument.
    const QString after = m_dir.filePath(QStringLiteral("unchanged.kvo"));
    QCOMPARE(RunCli(Args({QStringLiteral("upload"), QStringLiteral("--options"), after})).status, 0);
    QCOMPARE(CProfileFile::GetFileString(after, QStringLiteral("Advanced Features"), QStringLiteral("HighAlarm2")),
             CProfileFile::GetFileString(saved, QStringLiteral("Advanced Features"), QStringLiteral("HighAlarm2")));
}

void TestCli::setClockReadsBack()
{
    const CliRun run = RunCli(Args({QStringLiteral("set-clock")}));
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    const QString line = Line(run.out, QStringLiteral("Instrument clock set to "));
    const QDateTime shown = QDateTime::fromString(line.mid(24), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY2(shown.isValid(), qPrintable(run.out));
}

void TestCli::clearLogAsksOrNeedsYes()
{
    const CliRun refused = RunCli(Args({QStringLiteral("clear-log")}));
    QCOMPARE(refused.status, 1);
    QVERIFY(refused.err.contains(QLatin1String("--yes")));

    const CliRun run = RunCli(Args({QStringLiteral("clear-log"), QStringLiteral("--yes")}));
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY(run.out.contains(QLatin1String("Log cleared.")));
    QVERIFY2(run.err.contains(QLatin1String("Clearing Log 84/84")), qPrintable(run.err));
}

void TestCli::silentInstrumentGivesNoAnswer()
{
#ifdef Q_OS_UNIX
    // A terminal nobody answers on: a cable without an instrument.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
    const QString path = QString::fromLocal8Bit(ptsname(master));
    const CliRun run = RunCli({QStringLiteral("--serial"), path, QStringLiteral("--timeout"), QStringLiteral("1"),
                               QStringLiteral("upload")});
    ::close(master);
    QCOMPARE(run.status, 4);
    QVERIFY2(run.err.contains(path), qPrintable(run.err));
#else
    QSKIP("needs a pseudo-terminal");
#endif
}

void TestCli::missingDeviceGivesPortError()
{
    const CliRun run = RunCli({QStringLiteral("--serial"), QStringLiteral("/dev/does-not-exist"), QStringLiteral("upload")});
    QCOMPARE(run.status, 3);
    QVERIFY(run.err.contains(QLatin1String("/dev/does-not-exist")));
    QCOMPARE(RunCli({QStringLiteral("--serial"), QStringLiteral("/dev/does-not-exist"), QStringLiteral("download")}).status, 2);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
