// The link over its real transports against the simulated instrument: a
// pseudo-terminal for the serial path, loopback TCP and UDP for the gateway,
// and the two programs as a user runs them.
#include "EventWait.h"
#include "ProgramRuns.h"
#include "SimRig.h"
#include "Simulator.h"
#include "document/InstrumentDoc.h"
#include "platform/Clock.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
double ProcessCpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#else
    return 0.0;
#endif
}

} // namespace

class TestLinkPaths : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void uploadPutsTheDocumentedBytesOnAPseudoTerminal();
    void vanishedDeviceLeavesTheProgramIdleAndReopenable();
    void gatewayUploadGroupsRequests();
    void cliIdentityOverBothPaths();
    void cliReportsSilenceAndMissingPort();

private:
    QTemporaryDir m_settings;
};

void TestLinkPaths::initTestCase()
{
    UseTemporarySettings(m_settings);
#ifndef Q_OS_UNIX
    QSKIP("pseudo-terminals are a Unix feature");
#endif
}

void TestLinkPaths::uploadPutsTheDocumentedBytesOnAPseudoTerminal()
{
    CSimulator sim;
    QString error;
    const QString path = sim.OpenPty(&error);
    QVERIFY2(!path.isEmpty(), qPrintable(error));
    QList<QByteArray> requests;
    connect(&sim, &CSimulator::RequestServed, this, [&](const QByteArray &r, const QByteArray &) { requests.append(r); });

    CInstrumentDoc doc(CClock::System());
    QVERIFY2(doc.Link().OpenSerialDevice(path) == 1, qPrintable(doc.Link().LastError()));
    doc.SetIdEntriesWanted(true);
    doc.UploadAll();
    QVERIFY(WaitUntil([&] { return requests.size() >= 4; }));
    QCOMPARE(requests[0], QByteArray(":0000000EF2"));
    QCOMPARE(requests[1], QByteArray(":020000040001F9"));
    QCOMPARE(requests[2], QByteArray(":018006121057"));
    // The next configuration read goes straight out while the bank is fresh,
    // or after a new selection when the machine was slow.
    QVERIFY(requests[3] == ":01802012103D" || requests[3] == ":020000040001F9");

    QVERIFY(WaitUntil([&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); }, 30000));
    QCOMPARE(doc.Identity().SerialText(), QStringLiteral("%1").arg(sim.Instrument().SerialNumber(), 8, 16, QLatin1Char('0')).toUpper());
    QCOMPARE(doc.Settings().TimeKeeperPiece(8, 56), sim.Instrument().TimeKeeper().mid(8, 56));
    QCOMPARE(doc.Settings().ToxicCount(), sim.Instrument().ToxicCount());
    QVERIFY(!doc.Title().trimmed().isEmpty());
}

void TestLinkPaths::vanishedDeviceLeavesTheProgramIdleAndReopenable()
{
    SimOptions line;
    line.baud = 115200; // slow enough that the transfer is still running when the device goes
    CSimulator sim(line);
    QString error;
    const QString path = sim.OpenPty(&error);
    QVERIFY2(!path.isEmpty(), qPrintable(error));
    CInstrumentDoc doc(CClock::System());
    QSignalSpy lost(&doc.Link(), &CLinkTransport::DeviceLost);
    QVERIFY(doc.Link().OpenSerialDevice(path) == 1);
    doc.SetIdEntriesWanted(true);
    doc.UploadAll();
    QVERIFY(WaitUntil([&] { return sim.RequestsHandled() > 5; }));

    sim.ClosePty(); // the adapter is pulled mid-transfer
    QVERIFY(WaitUntil([&] { return lost.size() > 0; }, 5000));
    int timeouts = 0;
    connect(&doc, &CInstrumentDoc::Updated, this, [&](int code, const CReplyNotice &) { timeouts += code == -1; });
    doc.PollInstrument(); // the status poll goes on with nobody there

    // Reported once, and the program does not spin on the dead device.
    const double cpuBefore = ProcessCpuSeconds();
    QTest::qWait(1500);
    const double cpuUsed = ProcessCpuSeconds() - cpuBefore;
    QCOMPARE(lost.size(), 1);
    QVERIFY2(cpuUsed < 0.5, qPrintable(QStringLiteral("%1 s of CPU in 1.5 s after the device vanished").arg(cpuUsed)));
    QVERIFY(timeouts >= 1);
    QVERIFY(!doc.Link().IsSerialOpen());

    // The device comes back: the port opens again and the instrument answers.
    const QString again = sim.OpenPty(&error);
    QVERIFY2(!again.isEmpty(), qPrintable(error));
    QVERIFY2(doc.Link().OpenSerialDevice(again) == 1, qPrintable(doc.Link().LastError()));
    const quint64 before = sim.RequestsHandled();
    QVERIFY(WaitUntil([&] { return sim.RequestsHandled() > before + 2; }, 10000));
}

void TestLinkPaths::gatewayUploadGroupsRequests()
{
    CSimulator sim;
    QString error;
    QVERIFY2(sim.StartGateway(&error), qPrintable(error));
    CInstrumentDoc doc(CClock::System());
    QSignalSpy answered(&doc.Link(), &CLinkTransport::GatewayAnswered);
    QVERIFY(doc.Link().OpenGateway(QStringLiteral("127.0.0.1"), sim.GatewayTcpPort()) == 1);
    QVERIFY(answered.wait(5000));
    QCOMPARE(doc.Link().GatewayPort(), int(sim.GatewayUdpPort()));
    doc.SetIdEntriesWanted(true);
    doc.UploadAll();
    QVERIFY(WaitUntil([&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); }, 30000));
    QCOMPARE(doc.Settings().IdEntry(81), QString::fromLatin1(sim.Instrument().IdEntry(81)));
    // Eight records to a datagram: far fewer datagrams than requests.
    QVERIFY(sim.Counters().datagramsReceived * 3 < sim.Counters().requests);
}

void TestLinkPaths::cliIdentityOverBothPaths()
{
    CSimProcess pty;
    QVERIFY(pty.Start({QStringLiteral("--pty")}));
    CliRun run = RunCli({QStringLiteral("--serial"), pty.Pty(), QStringLiteral("identity")});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY2(run.out.contains(QRegularExpression(QStringLiteral("Serial number:\\s+[0-9A-F]{8}"))), qPrintable(run.out));
    QVERIFY2(run.out.contains(QRegularExpression(QStringLiteral("Version:\\s+V\\S"))), qPrintable(run.out));

    CSimProcess gw;
    QVERIFY(gw.Start({QStringLiteral("--gateway")}));
    run = RunCli({QStringLiteral("--gateway"), gw.Gateway(), QStringLiteral("identity")});
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY2(run.out.contains(QStringLiteral("Configuration:")), qPrintable(run.out));
}

void TestLinkPaths::cliReportsSilenceAndMissingPort()
{
    CliRun run = RunCli({QStringLiteral("--serial"), QStringLiteral("/dev/altavo-no-such-port"), QStringLiteral("identity")});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("/dev/altavo-no-such-port")), qPrintable(Describe(run)));

    // A line where nobody answers: a simulator that drops every request.
    CSimProcess mute;
    QVERIFY(mute.Start({QStringLiteral("--pty"), QStringLiteral("--drop"), QStringLiteral("1")}));
    run = RunCli({QStringLiteral("--serial"), mute.Pty(), QStringLiteral("--timeout"), QStringLiteral("2"), QStringLiteral("identity")});
    QCOMPARE(run.status, 4);
    QVERIFY2(run.err.contains(QStringLiteral("no answer")), qPrintable(Describe(run)));
}

QTEST_GUILESS_MAIN(TestLinkPaths)
#include "tst_linkpaths.moc"
