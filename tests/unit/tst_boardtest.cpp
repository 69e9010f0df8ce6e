// The board test against the simulated board in its test box: a whole run
// with an operator who does what the prompts say, each board fault failing
// its own items, the memory walks and patterns, and the limits file.
#include "ScriptedOperator.h"
#include "SimRig.h"
#include "boardtest/BoardTestLimits.h"
#include "boardtest/BoardTestPatterns.h"
#include "boardtest/BoardTestSequence.h"
#include "boardtest/EngineDownload.h"
#include "boardtest/BoardTestMeasurement.h"
#include "views/AnalogText.h"
#include "platform/Preferences.h"

#include <algorithm>

#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// The operator answers as each test scripts it (Yes unless told otherwise;
// No to another board), and the rig works the test box as the prompts ask. A
// reading that will not come into its limits is given up with "Cancel", as
// an operator would.
struct BoardRig
{
    SimRig rig;
    ScriptedOperator op;
    CEngineDownload download{rig.doc, &op};
    CBoardTestSequence test{rig.doc, &op};
    QTimer poll;
    QTimer patience;
    QStringList browsePrompts;
    QStringList cancelled; // titles of the prompts given up with "Cancel"
    quint8 held = 0;       // buttons the operator keeps down until asked about them

    explicit BoardRig(const SimBoardFaults &faults = {})
    {
        CSimInstrument &board = rig.sim.Instrument();
        // A bare board: nothing in the flash sectors yet.
        for (int s = 0; s < SimMap::SectorCount; ++s)
            board.EraseSector(s);
        board.TestBox().SetFaults(faults);
        CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("FlashTestFile"),
                                QFINDTESTDATA("../../src/resources/firmware/flashtst.hex"));
        CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("BoardTestFile"),
                                QFINDTESTDATA("../../src/resources/firmware/mustprog.hex"));
        test.SetLimitsFile(QFINDTESTDATA("../../src/resources/boardtest/PCBTest.ini"));
        test.SetDownload(&download);
        test.SetReadInterval(2);
        // The main frame's one-second notice, quicker.
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [this] { rig.doc.UpdateAllViews(UpdateCode::Poll); });
        poll.start();
        patience.setSingleShot(true);
        patience.setInterval(1500);
        QObject::connect(&patience, &QTimer::timeout, [this] {
            if (test.PromptVisible()) {
                cancelled.append(test.PromptTitle());
                test.CancelPrompt();
            }
        });
        op.Answer(QStringLiteral("Would you like to test another board ?"), false);
        QObject::connect(&test, &CBoardTestSequence::PromptChanged, [this] { Work(); });
    }

    void Work()
    {
        CSimTestBox::Knobs &box = rig.sim.Instrument().TestBox().Box();
        if (!test.PromptVisible()) {
            rig.sim.Instrument().PressKeys(held);
            patience.stop();
            return;
        }
        const QString title = test.PromptTitle();
        const QString text = test.PromptText();
        if (text.startsWith(QLatin1String("Please browse")))
            browsePrompts.append(text);
        if (text == QLatin1String("Connect the board and apply power")) {
            QTimer::singleShot(0, &rig.sim, [this] { rig.sim.PowerCycle(); });
            return;
        }
        if (title == QLatin1String("Power On Current") || title == QLatin1String("Power On Setup")) {
            QTimer::singleShot(0, &test, [this] { test.CancelPrompt(); });
            return;
        }
        const int keys = text == QLatin1String("Push the On/Off button") ? 1
                         : text == QLatin1String("Push the UP button")   ? 2
                         : text == QLatin1String("Push the DOWN button") ? 4
                                                                          : -1;
        if (keys > 0)
            rig.sim.Instrument().PressKeys(quint8(keys) | held);
        if (text.contains(QLatin1String("Alkaline")))
            box.rechargeable = false;
        if (text.contains(QLatin1String("Rechargeable")))
            box.rechargeable = true;
        if (text == QLatin1String("Checking with the pump on"))
            box.pumpClogged = false;
        if (text == QLatin1String("Clog the pump"))
            box.pumpClogged = true;

        // The analog prompts: set what the text asks for.
        static const QRegularExpression setTo(QStringLiteral("^Set (HC|TC|O2|Toxic 1|Toxic 2) to ([0-9.]+)(mV|uA)"));
        const QRegularExpressionMatch m = setTo.match(text);
        if (m.hasMatch()) {
            const double value = m.captured(2).toDouble();
            const QString what = m.captured(1);
            if (what == QLatin1String("HC"))
                box.hcMillivolts = value;
            else if (what == QLatin1String("TC"))
                box.tcMillivolts = value;
            else if (what == QLatin1String("O2"))
                box.o2Millivolts = value;
            else
                box.toxicMicroamps[what.endsWith(QLatin1Char('2')) ? 1 : 0] = value;
        }
        if (text.startsWith(QLatin1String("Set the battery voltage to 4.5V")))
            box.batteryVolts = 4.5;
        if (text.startsWith(QLatin1String("Set the battery voltage to 5.5V")))
            box.batteryVolts = 5.5;
        if (title == QLatin1String("Normal Temperature"))
            box.temperatureC = 22.0;
        if (title == QLatin1String("Low Temperature"))
            box.temperatureC = -5.0;
        for (int t = 0; t < 2; ++t) {
            const QString name = QStringLiteral("Toxic %1").arg(t + 1);
            if (text.startsWith(QLatin1String("Disconnect ") + name))
                box.toxicConnected[t] = false;
            if (text.startsWith(QLatin1String("Connect ") + name))
                box.toxicConnected[t] = true;
        }
        if (title != QLatin1String("Flash Test") && !patience.isActive())
            patience.start();
        else if (title == QLatin1String("Flash Test"))
            patience.stop();
    }

    bool Run(int firstGroup = CBoardTestTree::Power)
    {
        test.Start(firstGroup);
        return rig.WaitFor([this] { return !test.IsRunning(); }, 240000);
    }

    QStringList FailedLeaves() const
    {
        QStringList failed;
        const CBoardTestTree &tree = test.Tree();
        for (int g = 0; g < CBoardTestTree::GroupCount; ++g) {
            for (int leaf : tree.Leaves(g)) {
                if (tree.At(leaf).state == CBoardTestTree::Failed)
                    failed.append(tree.PathOf(leaf));
            }
        }
        return failed;
    }
    QList<int> GroupStates() const
    {
        QList<int> states;
        for (int g = 0; g < CBoardTestTree::GroupCount; ++g)
            states.append(test.Tree().At(test.Tree().GroupNode(g)).state);
        return states;
    }
};

} // namespace

class TestBoardTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { UseTemporarySettings(m_settings); }

    void limitParsing_data();
    void limitParsing();
    void limitsFile();
    void ramWalk();
    void patterns_data();
    void patterns();
    void fullPassingRun();
    void boardFault_data();
    void boardFault();
    void operatorAndBoardFailures_data();
    void operatorAndBoardFailures();
    void batteryInBatteryVolts_data();
    void batteryInBatteryVolts();
    void missingTestFileAsksToBrowse();
    void flashPatternNamesTheBank();

private:
    QTemporaryDir m_settings;
};

void TestBoardTest::limitParsing_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("setting");
    QTest::newRow("three numbers") << "1.55 1.85 12.5" << 1.55 << 1.85 << 12.5;
    QTest::newRow("two numbers") << "20 60" << 20.0 << 60.0 << 0.0;
    QTest::newRow("one number: maximum 0") << "4.5" << 4.5 << 0.0 << 0.0;
    QTest::newRow("missing key") << "0 0" << 0.0 << 0.0 << 0.0;
    QTest::newRow("empty") << "" << 0.0 << 0.0 << 0.0;
    QTest::newRow("negative and units") << "-0.5mA 1.5mA" << -0.5 << 1.5 << 0.0;
    // Each field starts after its space; atof-style reading skips the blank.
    QTest::newRow("two spaces") << "1  2" << 1.0 << 2.0 << 2.0;
    QTest::newRow("text") << "low high" << 0.0 << 0.0 << 0.0;
}

void TestBoardTest::limitParsing()
{
    QFETCH(QString, value);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, setting);
    const BoardTestLimit limit = CBoardTestLimits::Parse(value);
    QCOMPARE(limit.minimum, minimum);
    QCOMPARE(limit.maximum, maximum);
    QCOMPARE(limit.setting, setting);
}

void TestBoardTest::limitsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCBTest.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[main pcb test]\r\nlow battery=4.4 4.6\r\nO2 Span=1.4 1.65 10\r\n");
    file.close();

    CBoardTestLimits limits;
    limits.Load(path);
    QCOMPARE(limits.Lookup(QStringLiteral("Low Battery")).maximum, 4.6);
    QCOMPARE(limits.Lookup(QStringLiteral("O2 Span")).setting, 10.0);
    const BoardTestLimit missing = limits.Lookup(QStringLiteral("TC Span"));
    QCOMPARE(missing.minimum, 0.0);
    QCOMPARE(missing.maximum, 0.0);
    // Only a reading of exactly 0 passes a missing key.
    QVERIFY(missing.Within(0.0));
    QVERIFY(!missing.Within(0.01));

    CBoardTestLimits none;
    none.Load(dir.filePath(QStringLiteral("absent.ini")));
    QCOMPARE(none.Lookup(QStringLiteral("Low Battery")).maximum, 0.0);
}

void TestBoardTest::ramWalk()
{
    const QList<int> walk = CBoardTestPatterns::RamWalk();
    QSet<int> touched;
    for (int start : walk) {
        for (int a = start; a < start + CBoardTestPatterns::RamBlock; ++a)
            touched.insert(a);
    }
    QSet<int> expected;
    for (int a = 288; a <= 1023; ++a) {
        if (!(a >= 512 && a <= 543) && !(a >= 768 && a <= 799))
            expected.insert(a);
    }
    QCOMPARE(touched, expected);
    QCOMPARE(walk.first(), 288);
    QCOMPARE(walk.last(), 1008);
    QVERIFY(std::is_sorted(walk.begin(), walk.end()));
}

void TestBoardTest::patterns_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("byte");
    QTest::newRow("ones 0") << int(CBoardTestPatterns::WalkingOnes) << 0 << 0x01;
    QTest::newRow("ones 7") << int(CBoardTestPatterns::WalkingOnes) << 7 << 0x80;
    QTest::newRow("ones 300") << int(CBoardTestPatterns::WalkingOnes) << 300 << 0x10;
    QTest::newRow("zeroes 1") << int(CBoardTestPatterns::WalkingZeroes) << 1 << 0xFD;
    QTest::newRow("zeroes 300") << int(CBoardTestPatterns::WalkingZeroes) << 300 << 0xEF;
}

void TestBoardTest::patterns()
{
    QFETCH(int, kind);
    QFETCH(int, index);
    QFETCH(int, byte);
    QCOMPARE(quint8(CBoardTestPatterns::Ram(CBoardTestPatterns::Kind(kind))[index]), quint8(byte));

    // The generator is the C standard's example: seed 1 starts 16838, 5758.
    CBoardTestPatterns::Generator generator(1);
    QCOMPARE(generator.Next(), 16838);
    QCOMPARE(generator.Next(), 5758);
    // One call per byte from the seed, the byte being the low 8 bits.
    CBoardTestPatterns::Generator seeded(CBoardTestPatterns::RamSeed);
    const QByteArray random = CBoardTestPatterns::Ram(CBoardTestPatterns::Random);
    QCOMPARE(quint8(random[0]), quint8(seeded.Next()));
    QCOMPARE(quint8(random[1]), quint8(seeded.Next()));
    QCOMPARE(CBoardTestPatterns::TimeKeeper(CBoardTestPatterns::Random).size(), 56);
}

void TestBoardTest::fullPassingRun()
{
    BoardRig bench;
    QSignalSpy quit(&bench.test, &CBoardTestSequence::QuitWanted);
    QSignalSpy programming(&bench.test, &CBoardTestSequence::ProgrammingWanted);
    QVERIFY(bench.Run());

    QCOMPARE(bench.FailedLeaves(), QStringList());
    QCOMPARE(bench.GroupStates(), QList<int>(CBoardTestTree::GroupCount, CBoardTestTree::Passed));
    QCOMPARE(bench.test.Tree().At(CBoardTestTree::Root).state, CBoardTestTree::Passed);
    QCOMPARE(bench.op.messages,
             QStringList{QStringLiteral("Power down, disconnect the serial port,\n and check that the off current is "
                                        "between 0.0mA and 0.5mA")});
    QCOMPARE(bench.op.questions.last(), QStringLiteral("Would you like to test another board ?"));
    QVERIFY(bench.op.questions.contains(QStringLiteral("Is the pump voltage between 4.50V and 5.50V ?")));
    QVERIFY(bench.op.questions.contains(QStringLiteral("Is the TC supply voltage between 1.90V and 2.10V ?")));
    QCOMPARE(quit.count(), 1);
    QCOMPARE(programming.count(), 2);
    QVERIFY(bench.browsePrompts.isEmpty());

    // What the board is left with: the board test code, the pattern
    // sectors blank, blank settings, the clock set, the
    // ports given back and the LEL supply as the firmware had it.
    CSimInstrument &board = bench.rig.sim.Instrument();
    QCOMPARE(board.WordBytes(0x4000, 8), QByteArray("MUSTPROG"));
    QCOMPARE(board.Word(0xA000), quint16(0xFFFF));
    QCOMPARE(board.Word(0x27FFF), quint16(0xFFFF));
    QCOMPARE(board.TimeKeeper().mid(8), QByteArray(56, '\0'));
    QVERIFY(qAbs(board.Clock().secsTo(QDateTime::currentDateTime())) < 5);
    QVERIFY(!board.TestBox().TestMode());
    QVERIFY(quint8(board.Ram(SimMap::PortBData, 1)[0]) & 0x02); // pump off
}

void TestBoardTest::boardFault_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("group");
    QTest::addColumn<QStringList>("failedLeaves");
    QTest::addColumn<QStringList>("messages");

    // The stuck bits sit where only walking zeroes sets them.
    QTest::newRow("ram") << "ram" << int(CBoardTestTree::Ram) << QStringList{"RAM > Walking Zeroes"}
                         << QStringList{"RAM Failed", "RAM Failed"};
    QTest::newRow("timekeeper") << "timekeeper" << int(CBoardTestTree::TimeKeeper)
                                << QStringList{"Time Keeper > Walking Zeroes"}
                                << QStringList{"TimeKeeper Data Failed", "TimeKeeper Failed"};
    // A sector that will not erase cannot be blank or take the pattern.
    QTest::newRow("flash") << "flash" << int(CBoardTestTree::Flash)
                           << QStringList{"Flash > Erase", "Flash > Blank Check", "Flash > Program", "Flash > Verify",
                                          "Flash > Erase", "Flash > Blank Check"}
                           << QStringList{"Flash Erase Failed", "Flash Blank Check Failed", "Flash Programming Failed",
                                          "Flash Verify Failed", "Flash Erase Failed", "Flash Blank Check Failed",
                                          "Flash Failed"};
    QTest::newRow("analog") << "analog" << int(CBoardTestTree::Analog) << QStringList{"Analog I/O > O2 Sensor > Span"}
                            << QStringList{"Analog I/O Failed"};
}

void TestBoardTest::boardFault()
{
    QFETCH(QString, fault);
    QFETCH(int, group);
    QFETCH(QStringList, failedLeaves);
    QFETCH(QStringList, messages);

    SimBoardFaults faults;
    QVERIFY(SimBoardFaults::Parse(fault, faults));
    BoardRig bench(faults);
    QVERIFY(bench.Run());

    QCOMPARE(bench.FailedLeaves(), failedLeaves);
    QList<int> states(CBoardTestTree::GroupCount, CBoardTestTree::Passed);
    states[group] = CBoardTestTree::Failed;
    QCOMPARE(bench.GroupStates(), states);
    QCOMPARE(bench.test.Tree().At(CBoardTestTree::Root).state, CBoardTestTree::Failed);
    bench.op.messages.removeLast(); // the closing step's
    QCOMPARE(bench.op.messages, messages);
    // Only the failed sub-item's own item fails with it.
    for (const QString &path : failedLeaves) {
        const int leaf = bench.test.Tree().Find(path);
        const int item = bench.test.Tree().ItemOf(leaf);
        QCOMPARE(bench.test.Tree().At(item).state, CBoardTestTree::Failed);
    }
}

void TestBoardTest::operatorAndBoardFailures_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("held");            // buttons held as the group starts
    QTest::addColumn<QStringList>("no");      // questions answered No
    QTest::addColumn<QStringList>("asked");   // questions that must come
    QTest::addColumn<QStringList>("failed");  // items and sub-items that fail
    QTest::addColumn<QStringList>("cancelled"); // prompts given up with "Cancel"
    QTest::addColumn<QStringList>("messages");

    const QString digital = QStringLiteral("Digital I/O Failed");
    const int d = CBoardTestTree::Digital;
    auto no = [&](const char *row, const char *question, QStringList failed) {
        QTest::newRow(row) << d << QString() << 0 << QStringList{question} << QStringList{question} << failed << QStringList()
                           << QStringList{digital};
    };
    no("No: speaker", "Is the speaker on ?", {"Digital I/O > Speaker"});
    no("No: left alarm LEDs", "Are the left alarm LEDs on ?", {"Digital I/O > Left Alarm LEDs"});
    no("No: right alarm LEDs", "Are the right alarm LEDs on ?", {"Digital I/O > Right Alarm LEDs"});
    no("No: back light", "Is the LCD back light on ?", {"Digital I/O > Back Light"});
    no("No: pump voltage", "Is the pump voltage between 4.50V and 5.50V ?", {"Digital I/O > Pump", "Digital I/O > Pump > On Voltage"});
    no("No: 2.2V LEL", "Is the LEL supply voltage between 2.10V and 2.30V ?",
       {"Digital I/O > LEL Supply", "Digital I/O > LEL Supply > 2.2V LEL"});
    no("No: 1V LEL", "Is the LEL supply voltage between 0.95V and 1.05V ?",
       {"Digital I/O > LEL Supply", "Digital I/O > LEL Supply > 1V LEL"});
    no("No: 2V TC", "Is the TC supply voltage between 1.90V and 2.10V ?",
       {"Digital I/O > LEL Supply", "Digital I/O > LEL Supply > 2V TC"});

    // A button that reads pressed at the start: Yes (and let go) reads it
    // again, No fails its "Released".
    const struct { const char *name; int keys; const char *item; } buttons[] = {
        {"On/Off", 1, "Digital I/O > On/Off Button"}, {"UP", 2, "Digital I/O > Up Button"}, {"DOWN", 4, "Digital I/O > Down Button"}};
    for (const auto &b : buttons) {
        const QString question = QStringLiteral("Is the %1 button pushed ?").arg(QLatin1String(b.name));
        const QString item = QLatin1String(b.item);
        QTest::addRow("No: %s held at the start", b.name) << d << QString() << b.keys << QStringList{question}
                                                          << QStringList{question} << QStringList{item, item + " > Released"}
                                                          << QStringList() << QStringList{digital};
        QTest::addRow("Yes: %s held at the start, then let go", b.name)
            << d << QString() << b.keys << QStringList() << QStringList{question} << QStringList() << QStringList() << QStringList();
    }
    QTest::newRow("button stuck pressed") << d << "button" << 0 << QStringList{"Is the On/Off button pushed ?"}
                                          << QStringList{"Is the On/Off button pushed ?"}
                                          << QStringList{"Digital I/O > On/Off Button", "Digital I/O > On/Off Button > Released"}
                                          << QStringList() << QStringList{digital};
    QTest::newRow("battery type stuck") << d << "batteryswitch" << 0 << QStringList() << QStringList()
                                        << QStringList{"Digital I/O > Battery Type", "Digital I/O > Battery Type > Rechargeable"}
                                        << QStringList{"Battery Type Test"} << QStringList{digital};
    QTest::newRow("recovery failing") << int(CBoardTestTree::Power) << "recovery" << 0 << QStringList() << QStringList()
                                      << QStringList() << QStringList() << QStringList{"Recovery Failed"};
    const QString analog = QStringLiteral("Analog I/O Failed");
    QTest::newRow("battery reading outside its limits")
        << int(CBoardTestTree::Analog) << "battery" << 0 << QStringList() << QStringList()
        << QStringList{"Analog I/O > Battery", "Analog I/O > Battery > Low", "Analog I/O > Battery > Normal"}
        << QStringList{"Low Battery", "Normal Battery"} << QStringList{analog};
    QTest::newRow("O2 span outside its limits") << int(CBoardTestTree::Analog) << "analog" << 0 << QStringList() << QStringList()
                                                << QStringList{"Analog I/O > O2 Sensor", "Analog I/O > O2 Sensor > Span"}
                                                << QStringList{"O2 Span"} << QStringList{analog};
}

void TestBoardTest::operatorAndBoardFailures()
{
    QFETCH(int, group);
    QFETCH(QString, fault);
    QFETCH(int, held);
    QFETCH(QStringList, no);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, cancelled);
    QFETCH(QStringList, messages);

    bool ended = false;
    QStringList shown;
    SimBoardFaults faults;
    QVERIFY(SimBoardFaults::Parse(fault, faults));
    BoardRig bench(faults);
    for (const QString &question : no)
        bench.op.Answer(question, false);
    // Asked about a button held down, a Yes lets it go.
    bench.op.beforeAnswer = [&bench](const QString &text, bool yes) {
        const quint8 key = text == QLatin1String("Is the On/Off button pushed ?") ? 1
                           : text == QLatin1String("Is the UP button pushed ?")   ? 2
                           : text == QLatin1String("Is the DOWN button pushed ?") ? 4
                                                                                  : 0;
        if (yes && key) {
            bench.held = quint8(bench.held & ~key);
            bench.rig.sim.Instrument().PressKeys(bench.held);
        }
    };
    bench.held = quint8(held);
    bench.rig.sim.Instrument().PressKeys(bench.held);
    // The group ends where the next one starts; its message comes before.
    QObject::connect(&bench.test, &CBoardTestSequence::GroupStarted, &bench.test, [&](int started) {
        if (started == group + 1 && !ended) {
            ended = true;
            shown = bench.op.messages;
        }
    });
    bench.test.Start(group);
    QVERIFY(bench.rig.WaitFor([&] { return ended; }, 60000));

    for (const QString &question : asked)
        QVERIFY2(bench.op.questions.contains(question), qPrintable(question));
    const CBoardTestTree &tree = bench.test.Tree();
    const int groupNode = tree.GroupNode(group);
    QStringList failedNodes, notPassed;
    std::function<void(int)> walk = [&](int node) {
        for (int child : tree.At(node).children) {
            const int state = tree.At(child).state;
            if (state == CBoardTestTree::Failed)
                failedNodes.append(tree.PathOf(child));
            else if (state != CBoardTestTree::Passed)
                notPassed.append(tree.PathOf(child));
            walk(child);
        }
    };
    walk(groupNode);
    QCOMPARE(failedNodes, failed);
    QCOMPARE(notPassed, QStringList());
    QCOMPARE(tree.At(groupNode).state, messages.isEmpty() ? CBoardTestTree::Passed : CBoardTestTree::Failed);
    QCOMPARE(bench.cancelled, cancelled);
    QCOMPARE(shown, messages);
}

void TestBoardTest::batteryInBatteryVolts_data()
{
    QTest::addColumn<int>("leaf");
    QTest::addColumn<double>("batteryVolts");
    QTest::addColumn<QString>("text");
    QTest::newRow("low") << 0 << 4.5 << "Set the battery voltage to 4.5V.  Its now 4.50V (4.40,4.60)";
    QTest::newRow("normal") << 1 << 5.5 << "Set the battery voltage to 5.5V    Its now 5.50V (5.40,5.60)";
}

void TestBoardTest::batteryInBatteryVolts()
{
    // The battery reaches the converter halved; the operator sets battery
    // volts on the box and reads them back in the prompt, as the Analog view
    // shows them, and the limits file holds battery volts.
    QFETCH(int, leaf);
    QFETCH(double, batteryVolts);
    QFETCH(QString, text);
    CSimTestBox box;
    box.Box().batteryVolts = batteryVolts;
    const int raw = box.Raw(CAnalogText::BatteryRow);
    const CBoardTestMeasurement m = CBoardTestMeasurement::ForLeaf(leaf).value(0);
    CBoardTestLimits limits;
    limits.Load(QFINDTESTDATA("../../src/resources/boardtest/PCBTest.ini"));
    QCOMPARE(m.Text(limits.Lookup(m.key), m.Value(raw)), text);
    QCOMPARE(QString::asprintf("%.3lf V", m.Value(raw)), CAnalogText::ReadingCell(CAnalogText::BatteryRow, CAnalogText::Value, raw));
}

void TestBoardTest::missingTestFileAsksToBrowse()
{
    // Without the file the operator runs the programming view; its end of
    // programming ends the item.
    BoardRig bench;
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("FlashTestFile"), QStringLiteral("nowhere/flashtst.hex"));
    bench.test.Start(CBoardTestTree::Flash);
    QVERIFY(bench.rig.WaitFor([&] { return !bench.browsePrompts.isEmpty(); }));
    QCOMPARE(bench.browsePrompts.first(), QStringLiteral("Please browse for flashtst.hex and then click Program"));
    const int leaf = bench.test.CurrentLeaf();
    CEngineDownload view(bench.rig.doc, &bench.op);
    QString error;
    QVERIFY(view.Start(QFINDTESTDATA("../../src/resources/firmware/flashtst.hex"), &error));
    QVERIFY(bench.rig.WaitFor([&] { return bench.test.CurrentLeaf() != leaf; }));
    QCOMPARE(bench.test.Tree().At(leaf).state, CBoardTestTree::Passed);
}

void TestBoardTest::flashPatternNamesTheBank()
{
    QVERIFY(CBoardTestSequence::FlashPattern(0xA000) != CBoardTestSequence::FlashPattern(0x1A000));
    QVERIFY(CBoardTestSequence::FlashPattern(0xA000) != CBoardTestSequence::FlashPattern(0xA001));
}

QTEST_GUILESS_MAIN(TestBoardTest)
#include "tst_boardtest.moc"
