// altavo-sim's board-test switches as a user gives them: each fault named on
// the command line reaches the bare board the program talks to over a
// pseudo-terminal, and a word it does not know is refused with the list of
// the ones it does.
#include "EventWait.h"
#include "ProgramRuns.h"
#include "document/InstrumentDoc.h"
#include "platform/Clock.h"

#include <QProcess>
#include <QTest>

class TestSimBoard : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void faultReachesBoard_data();
    void faultReachesBoard();
    void unknownFaultRefused();
};

void TestSimBoard::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM"))
        QSKIP("ALTAVO_SIM names the simulator; run through ctest");
}

void TestSimBoard::faultReachesBoard_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("programModeRefused");
    QTest::addColumn<bool>("onOffPressed");
    QTest::newRow("sound board") << QStringList{"--board-test"} << false << false;
    QTest::newRow("recovery") << QStringList{"--board-fault", "recovery"} << true << false;
    QTest::newRow("button") << QStringList{"--board-fault", "button"} << false << true;
    QTest::newRow("joined") << QStringList{"--board-fault", "Button,recovery"} << true << true;
    QTest::newRow("repeated") << QStringList{"--board-fault", "button", "--board-fault", "recovery"} << true << true;
}

void TestSimBoard::faultReachesBoard()
{
    QFETCH(QStringList, args);
    QFETCH(bool, programModeRefused);
    QFETCH(bool, onOffPressed);

    CSimProcess sim;
    QVERIFY(sim.Start(QStringList{"--pty"} + args));
    CInstrumentDoc doc(CClock::System());
    QCOMPARE(doc.Link().OpenSerialDevice(sim.Pty()), 1);

    int modeStatus = 1;
    bool portRead = false;
    QObject::connect(&doc, &CInstrumentDoc::Updated, &doc, [&](int code, const CReplyNotice &notice) {
        if (code == UpdateCode::SetProgramMode)
            modeStatus = notice.status;
        if (code == UpdateCode::RamBlock && notice.address == 16)
            portRead = true;
    });
    doc.SetProgramMode(1);
    doc.ReadRam(16, 3);
    QVERIFY(WaitUntil([&] { return modeStatus != 1 && portRead; }, 10000));
    // A refusal is told as such (status -2); an acknowledgement is status 0.
    QCOMPARE(modeStatus, programModeRefused ? -2 : 0);
    // Port A bit 0 is the On/Off button, low while pressed.
    QCOMPARE(!(quint8(doc.Ram()[16]) & 0x01), onOffPressed);
}

void TestSimBoard::unknownFaultRefused()
{
    QProcess sim;
    sim.start(qEnvironmentVariable("ALTAVO_SIM"), {QStringLiteral("--board-fault"), QStringLiteral("ram,stuck")});
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(sim.readAllStandardError()).trimmed(),
             QStringLiteral("altavo-sim: --board-fault takes ram, timekeeper, flash, analog, button, batteryswitch, recovery, "
                            "battery, not \"stuck\""));
}

QTEST_GUILESS_MAIN(TestSimBoard)
#include "tst_simboard.moc"
