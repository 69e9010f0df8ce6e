// The simulated instrument's side of the engineering views: its display
// memory and buttons, and the calibration DAC word it keeps in RAM.
#include "SimInstrument.h"
#include "SimMemoryMap.h"

#include <QTest>

namespace {
QDateTime Fixed() { return QDateTime(QDate(2031, 6, 15), QTime(10, 0, 1)); }

quint16 RamWord(const CSimInstrument &in, int address)
{
    const QByteArray b = in.Ram(address, 2);
    return quint16(quint8(b[0]) | (quint8(b[1]) << 8));
}
} // namespace

class TestEngineeringSim : public QObject
{
    Q_OBJECT
private slots:
    void calDac_data();
    void calDac();
    void buttons_data();
    void buttons();
    void displayMemory();
};

void TestEngineeringSim::calDac_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("dac");
    QTest::newRow("factory, range 0") << 0 << -1;
    QTest::newRow("range 2") << 2 << 0x5A5;
    QTest::newRow("all bits") << 3 << 0xFFF;
}

void TestEngineeringSim::calDac()
{
    QFETCH(int, range);
    QFETCH(int, dac);
    CSimInstrument in(Fixed);
    if (dac >= 0) {
        // Low six bits in the top of HighAlarm1-r, high six in WarningAlarm1-r.
        QByteArray tk = in.TimeKeeper();
        auto put = [&](int offset, int bits) {
            const int w = (quint8(tk[offset]) | (quint8(tk[offset + 1]) << 8)) & 0x3FF;
            const int v = w | (bits << 10);
            tk[offset] = char(v & 0xFF);
            tk[offset + 1] = char(v >> 8);
        };
        put(30 + 2 * range, dac & 0x3F);
        put(44 + 2 * range, dac >> 6);
        tk[22] = char((quint8(tk[22]) & ~0x30) | (range << 4));
        in.SetTimeKeeper(0, tk);
    }
    in.LiveBlock(0); // the firmware's next pass
    QCOMPARE(int(RamWord(in, 190)), dac >= 0 ? dac : 776);
}

void TestEngineeringSim::buttons_data()
{
    // Key bytes sent one after the other, then the screen and whether the display is on.
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("lamps"); // annunciator bits of the screen (heartbeat, logging aside)
    QTest::newRow("power-on") << QList<int>{} << int(CSimDisplay::Readings) << true << 0x00;
    QTest::newRow("down once") << QList<int>{4, 0} << int(CSimDisplay::Peaks) << true << 0x08;
    QTest::newRow("held down acts once") << QList<int>{4, 4, 4} << int(CSimDisplay::Peaks) << true << 0x08;
    QTest::newRow("down twice") << QList<int>{4, 0, 4, 0} << int(CSimDisplay::Averages) << true << 0x30;
    QTest::newRow("up wraps") << QList<int>{2, 0} << int(CSimDisplay::Status) << true << 0x00;
    QTest::newRow("down wraps") << QList<int>{4, 0, 4, 0, 4, 0, 4, 0} << int(CSimDisplay::Readings) << true << 0x00;
    QTest::newRow("off") << QList<int>{1, 0} << int(CSimDisplay::Readings) << false << 0x00;
    QTest::newRow("buttons ignored while off") << QList<int>{1, 0, 4, 0} << int(CSimDisplay::Readings) << false << 0x00;
    QTest::newRow("on again shows readings") << QList<int>{4, 0, 1, 0, 1, 0} << int(CSimDisplay::Readings) << true << 0x00;
}

void TestEngineeringSim::buttons()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, screen);
    QFETCH(bool, on);
    QFETCH(int, lamps);
    CSimInstrument in(Fixed);
    for (int k : keys)
        in.PressKeys(quint8(k));
    QCOMPARE(int(in.Display().Shown()), screen);
    QCOMPARE(in.Display().IsOn(), on);
    in.LiveBlock(0);
    const QByteArray memory = in.Ram(SimMap::DisplayAddress, SimMap::DisplayBytes);
    const int bits = quint8(memory[39]);
    if (on) {
        QCOMPARE(bits & 0x38, lamps);
        QVERIFY(bits & 0x40);           // logging
        QVERIFY(bits & 0x01);           // odd second
        QVERIFY(memory.left(32).trimmed().size() > 0);
    } else {
        QCOMPARE(memory.left(32), QByteArray(32, ' '));
        QCOMPARE(bits, 0);
    }
    // A restart shows the readings again.
    in.PowerCycle();
    QCOMPARE(in.Display().Shown(), CSimDisplay::Readings);
    QVERIFY(in.Display().IsOn());
}

void TestEngineeringSim::displayMemory()
{
    CSimInstrument in(Fixed);
    in.Sensors().Expose(CSimSensors::HC, 12.0);
    in.Sensors().Expose(CSimSensors::O2, 20.9);
    in.LiveBlock(0);
    const QByteArray m = in.Ram(SimMap::DisplayAddress, SimMap::DisplayBytes);
    QCOMPARE(m.mid(0, 8), QByteArray(" 12 20.9"));
    QCOMPARE(m.mid(8, 8), QByteArray("%LEL O2\x05"));
    QCOMPARE(m.mid(24, 8), QByteArray("CO   H2S"));
    QCOMPARE(quint8(m[32]), quint8(0x0E)); // battery gauge cap
    // 12 %LEL is over the 10 %LEL warning: the alarm annunciator lights.
    QVERIFY(quint8(m[39]) & 0x02);

    // The status screen: the instrument's clock, and the range's name and unit.
    in.PressKeys(2);
    in.PressKeys(0);
    in.LiveBlock(0);
    const QByteArray s = in.Ram(SimMap::DisplayAddress, SimMap::DisplayBytes);
    QCOMPARE(s.mid(0, 8), in.Clock().toString(QStringLiteral("HH:mm:ss")).toLatin1());
    QCOMPARE(s.mid(24, 8), QByteArray("TC  %LEL"));
}

QTEST_GUILESS_MAIN(TestEngineeringSim)
#include "tst_engineeringsim.moc"
