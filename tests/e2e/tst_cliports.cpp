// altavo-cli and the serial ports of a real machine: "ports" lists them, and
// a port that will not open says why with the fix and exits 3: no
// permission (run as an unprivileged user), held by another program, no
// such device; the low-latency flag a pseudo-terminal refuses is mentioned
// once with -v and costs nothing.
#include "ProgramRuns.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestCliPorts : public QObject
{
    Q_OBJECT
private slots:
    void portsRunsHere();
    void portsTakesNoArgument();
    void missingDeviceNamesThePorts();
    void noPermissionNamesTheGroupAndTheFix_data();
    void noPermissionNamesTheGroupAndTheFix();
    void portHeldByAnotherProgram();
    void refusedLowLatencySaidOnceWithVerbose();
};

void TestCliPorts::portsRunsHere()
{
    const CliRun run = RunCli({QStringLiteral("ports")});
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty(), qPrintable(Describe(run)));
    // A header over the ports, or the one line that there are none.
    if (lines.first() != QLatin1String("No serial ports found.")) {
        QVERIFY2(lines.first().startsWith(QLatin1String("Port ")), qPrintable(Describe(run)));
        QVERIFY(lines.first().contains(QLatin1String("USB ID")));
        for (const QString &line : lines.mid(1))
            QVERIFY2(line.startsWith(QLatin1Char('/')), qPrintable(line));
    }
}

void TestCliPorts::portsTakesNoArgument()
{
    QCOMPARE(RunCli({QStringLiteral("ports"), QStringLiteral("extra")}).status, 2);
}

void TestCliPorts::missingDeviceNamesThePorts()
{
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyUSB9"));
    const CliRun run = RunCli({QStringLiteral("--serial"), device, QStringLiteral("identity")});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(device + QStringLiteral(": No such file or directory. There is no such device")),
             qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(QLatin1String("Serial ports on this computer: ")) || run.err.contains(QLatin1String("no serial ports")),
             qPrintable(Describe(run)));
}

void TestCliPorts::noPermissionNamesTheGroupAndTheFix_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("explained");
    QTest::newRow("group may read and write") << 0660
        << "Permission denied. The device belongs to the group \"dialout\", and you may open it once you are in that "
           "group: run \"sudo usermod -aG dialout $USER\", then log out and in again.";
    QTest::newRow("owner only") << 0600 << "Permission denied. Only root may open the device; ask the administrator";
}

void TestCliPorts::noPermissionNamesTheGroupAndTheFix()
{
#ifdef Q_OS_UNIX
    QFETCH(int, mode);
    QFETCH(QString, explained);
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const group *dialout = getgrnam("dialout");
    if (geteuid() != 0 || setpriv.isEmpty() || !dialout)
        QSKIP("needs root, setpriv and a dialout group to run the program as another user");
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--pty")}));
    const QByteArray pty = QFile::encodeName(sim.Pty());
    QCOMPARE(::chown(pty.constData(), 0, dialout->gr_gid), 0);
    QCOMPARE(::chmod(pty.constData(), mode_t(mode)), 0);

    // The unprivileged user "nobody", in no group at all.
    QTemporaryDir home;
    QFile::setPermissions(home.path(), QFile::Permissions(0x7777));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.setStandardInputFile(QProcess::nullDevice());
    cli.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                        qEnvironmentVariable("ALTAVO_CLI"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("identity")});
    QVERIFY(cli.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(err.contains(sim.Pty() + QStringLiteral(": ") + explained), qPrintable(err));
#else
    QSKIP("needs a Unix device file");
#endif
}

void TestCliPorts::portHeldByAnotherProgram()
{
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--pty")}));
    // This test is the other program: it holds the port as this one would.
    QSerialPort holder(sim.Pty());
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    const CliRun run = RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("identity")});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("Another program holds the port: ")), qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(QStringLiteral("(process %1); close it and try again.").arg(QCoreApplication::applicationPid())),
             qPrintable(Describe(run)));
    holder.close();
    QCOMPARE(RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("identity")}).status, 0);
}

void TestCliPorts::refusedLowLatencySaidOnceWithVerbose()
{
#ifndef Q_OS_LINUX
    QSKIP("the flag is Linux's");
#endif
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--pty")}));
    const CliRun verbose = RunCli({QStringLiteral("-v"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("identity")});
    QCOMPARE(verbose.status, 0);
    QCOMPARE(verbose.err.count(QLatin1String("no low-latency mode")), 1);
    QVERIFY2(verbose.err.contains(sim.Pty() + QStringLiteral(": no low-latency mode (")), qPrintable(Describe(verbose)));
    const CliRun quiet = RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("identity")});
    QCOMPARE(quiet.status, 0);
    QVERIFY2(!quiet.err.contains(QLatin1String("low-latency")), qPrintable(Describe(quiet)));
    QVERIFY(quiet.out.contains(QLatin1String("Version:")));
}

QTEST_GUILESS_MAIN(TestCliPorts)
#include "tst_cliports.moc"
