// Flash programming against the simulated instrument: the requests of a run in
// order, the boot-area comparison, the stamp at the end, refused files and
// blocks, a silent instrument, the wizard's configuration, and the flash cells.
#include "HexText.h"
#include "SimFlash.h"
#include "SimRig.h"
#include "document/InstrumentIdentity.h"
#include "firmware/ConfigurationBuilder.h"
#include "firmware/ProgrammingEngine.h"
#include "firmware/WizardProgrammer.h"
#include "firmware/WizardTables.h"
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"
#include "platform/Preferences.h"

#include <QFile>
#include <QSettings>
#include <QTest>

using State = CProgrammingEngine::State;

namespace {

class ScriptedPrompt : public IUserPrompt
{
public:
    void Message(const QString &, const QString &text, Icon) override { messages.append(text); }
    bool AskYesNo(const QString &, const QString &) override { return false; }
    bool AskOkCancel(const QString &, const QString &text) override
    {
        questions.append(text);
        return goOn;
    }
    QStringList messages;
    QStringList questions;
    bool goOn = true;
};

QByteArray Words(const QList<quint16> &words)
{
    QByteArray b;
    for (quint16 w : words) {
        b.append(char(w & 0xFF));
        b.append(char(w >> 8));
    }
    return b;
}

// HEX text for blocks of words, perRecord words a record, with bank records where the bank changes.
QByteArray HexImage(const QList<QPair<quint32, QList<quint16>>> &blocks, bool withEnd = true, int perRecord = 8)
{
    QByteArray text;
    int bank = -1;
    for (const auto &[first, words] : blocks) {
        for (int i = 0; i < words.size(); i += perRecord) {
            const quint32 word = first + quint32(i);
            if (int(word >> 15) != bank) {
                bank = int(word >> 15);
                text += HexRecordLine(0, 4, QByteArray(1, '\0') + char(bank));
            }
            text += HexRecordLine(int((word & 0x7FFF) * 2), 0, Words(words.mid(i, perRecord)));
        }
    }
    if (withEnd)
        text += HexRecordLine(0, 1, {});
    return text;
}

QList<quint16> Code(int count, quint16 seed)
{
    QList<quint16> words;
    for (int i = 0; i < count; ++i)
        words.append(quint16(seed + 7 * i));
    return words;
}

QList<quint16> BootWords(const CSimInstrument &sim, quint32 first, int count)
{
    QList<quint16> words;
    for (int i = 0; i < count; ++i)
        words.append(sim.Word(first + quint32(i)));
    return words;
}

// A request as it went on the wire: type, wire address, data length.
struct Sent
{
    int type;
    unsigned address;
    int bytes;
    bool operator==(const Sent &o) const { return type == o.type && address == o.address && bytes == o.bytes; }
};

QString Describe(const QList<Sent> &list)
{
    QStringList lines;
    for (const Sent &s : list)
        lines.append(QStringLiteral("%1@%2/%3").arg(s.type).arg(s.address, 0, 16).arg(s.bytes));
    return lines.join(QLatin1Char(' '));
}

struct Bench
{
    SimRig rig;
    ScriptedPrompt prompt;
    CProgrammingEngine engine{rig.doc, QStringLiteral("Programming")};
    QTemporaryDir dir;
    QList<Sent> sent;

    Bench()
    {
        engine.SetPrompt(&prompt);
        engine.SetDateSource([] { return qint64(1893456000); }); // 2030-01-01 00:00:00 UTC
        QObject::connect(&rig.sim, &CSimulator::RequestServed, &rig.sim, [this](const QByteArray &request, const QByteArray &) {
            if (request.size() < LinkRecord::RecordLength(0) || request[0] != ':')
                return;
            const LinkReply r = LinkRecord::DecodeRecord(request.constData(), int(request.size()));
            // Bank selections are the link's own; the toxic records follow the count's reply.
            if (r.type != RecordType::SelectBank && r.type != RecordType::ReadToxicTableChunk)
                sent.append({r.type, unsigned(r.address), int(r.data.size())});
        });
    }
    CSimInstrument &Sim() { return rig.sim.Instrument(); }
    QString Write(const QString &name, const QByteArray &text)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            return {};
        return path;
    }
    bool Run(const QByteArray &text)
    {
        if (!engine.Start(Write(QStringLiteral("image.hex"), text)))
            return false;
        return rig.WaitFor([this] {
            return engine.GetState() != State::Running && engine.GetState() != State::Finishing;
        }) && rig.WaitIdle();
    }
};

void ClearSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
              QString::fromLatin1(Pref::Application))
        .clear();
}

} // namespace

class TestProgramming : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { ClearSettings(); }

    void requestOrder();
    void programsAndStamps();
    void refusedFileSendsNothing_data();
    void refusedFileSendsNothing();
    void bootComparison_data();
    void bootComparison();
    void refusedBlockFailsTheRun();
    void silentInstrumentStaysRecoverable();
    void fileValueName_data();
    void fileValueName();
    void wizardConfiguresInstrument_data();
    void wizardConfiguresInstrument();
    void flashOnlyClearsBits_data();
    void flashOnlyClearsBits();

private:
    QTemporaryDir m_settings;
};

void TestProgramming::initTestCase()
{
    UseTemporarySettings(m_settings);
}

void TestProgramming::requestOrder()
{
    Bench b;
    // 40 00 with base 0 is word 0x2000, in the boot area: read back. After
    // 00 01 an address of 0 is word 0x8000: written. LL 0x10 is 8 words.
    QByteArray text = HexRecordLine(0x4000, 0, Words(BootWords(b.Sim(), 0x2000, 2)));
    text += HexRecordLine(0x8000, 0, Words(Code(8, 0x100))); // word 0x4000
    text += HexRecordLine(0, 4, QByteArray("\x00\x01", 2));
    text += HexRecordLine(0x0000, 0, Words(Code(8, 0x200))); // word 0x8000
    text += HexRecordLine(0, 1, {});
    QVERIFY2(b.Run(text), qPrintable(b.engine.ErrorString()));
    QCOMPARE(b.engine.GetState(), State::Done);

    using namespace RecordType;
    const QList<Sent> expected = {
        {StartProgramming, 0, 0},
        {SetProgramMode, 1, 0},
        {ReadWords, 0x8006, 1},          // identity words 0xC003
        {EraseSector, 0x8000, 0},        // 0xC000
        {ReadWords, 0x4000, 1},          // word 0x2000, compared
        {WriteWords, 0x8000, 16},        // word 0x4000
        {WriteWords, 0x0000, 16},        // word 0x8000
        {EndProgramming, 0, 0},
        {QueryProgramMode, 0, 0},
        {ReadWords, 0x8020, 1},
        {ReadWords, 0x8030, 1},
        {ReadWords, 0x8040, 1},
        {ReadWords, 0x8050, 1},
        {ReadWords, 0x8060, 1},
        {ReadWords, 0x8070, 1},
        {ReadWords, 0x8080, 1},
        {ReadToxicTableCount, 0, 0},
        // The second identity read equals the first, which still waits when
        // it is queued: the link sends it once.
        {WriteWords, 0x8006, 10},        // checksum, serial number, date
        {WriteRam, unsigned(CProgrammingEngine::MarkerAddress), 3},
        {SetProgramMode, 0, 0},
    };
    QVERIFY2(b.sent == expected, qPrintable(QStringLiteral("sent %1\nwanted %2").arg(Describe(b.sent), Describe(expected))));
    QVERIFY(b.prompt.questions.isEmpty());
    QCOMPARE(b.Sim().Ram(CProgrammingEngine::MarkerAddress, 3), QByteArray("ZVQ"));
    QVERIFY(!b.Sim().ProgramMode());
}

void TestProgramming::programsAndStamps()
{
    Bench b;
    const QList<QPair<quint32, QList<quint16>>> blocks = {
        {0x0000, BootWords(b.Sim(), 0, 16)},
        {0x4000, Code(120, 0x1111)},
        {0x8000, Code(64, 0x2222)},
        {0x9000, {0xC0DE}},
        {0xC009, {0x312E, 0x3530}},
    };
    QVERIFY(b.Run(HexImage(blocks)));
    QCOMPARE(b.engine.GetState(), State::Done);
    QCOMPARE(b.engine.StatusText(), QStringLiteral("Done"));
    QCOMPARE(b.engine.ProgressPosition(), b.engine.ProgressMaximum());

    // Every word of the file is in the instrument, the rest of the program
    // area and the configuration sector are erased.
    for (const auto &[first, words] : blocks) {
        for (int i = 0; i < words.size(); ++i)
            QCOMPARE(b.Sim().Word(first + quint32(i)), words[i]);
    }
    QCOMPARE(b.Sim().Word(0x4000 + 120), quint16(0xFFFF));
    QCOMPARE(b.Sim().Word(0xC010), quint16(0xFFFF));

    // "SequentialID" missing: serial number 1, and 2 is kept for the next.
    QCOMPARE(b.Sim().SerialNumber(), 1u);
    QCOMPARE(CPreferences::GetInt(QStringLiteral("Programming"), QStringLiteral("SequentialID"), 0), 2);
    QCOMPARE(b.Sim().ProgrammingDate().toSecsSinceEpoch(), qint64(1893456000));
    QVERIFY(b.Sim().IsConfigurationValid());
    QCOMPARE(b.Sim().Version(), QByteArray("1.50"));
    QCOMPARE(b.rig.doc.Identity().SerialNumber(), 1u);

    // The next run stamps the next number.
    QVERIFY(b.Run(HexImage(blocks)));
    QCOMPARE(b.Sim().SerialNumber(), 2u);
    QVERIFY(b.Sim().IsConfigurationValid());
}

void TestProgramming::refusedFileSendsNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");

    QFile damaged(qEnvironmentVariable("ALTAVO_TEST_DATA") + QStringLiteral("/hex/damaged.hex"));
    QVERIFY2(damaged.open(QIODevice::ReadOnly), "ALTAVO_TEST_DATA names tests/data; run through ctest");
    QTest::newRow("wrong checksum") << damaged.readAll() << 6;
    QTest::newRow("no end record") << HexImage({{0x4000, Code(8, 1)}}, false) << 2;
    QTest::newRow("line cut short") << QByteArray(HexRecordLine(0x8000, 0, Words(Code(8, 1))).left(30) + "\r\n" + HexRecordLine(0, 1, {})) << 1;
    QTest::newRow("beyond the flash") << QByteArray(HexRecordLine(0, 4, QByteArray("\x00\x05", 2)) + HexRecordLine(0, 0, "ab") + HexRecordLine(0, 1, {})) << 2;
}

void TestProgramming::refusedFileSendsNothing()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    Bench b;
    const quint64 before = b.rig.sim.RequestsHandled();
    const QString path = b.Write(QStringLiteral("bad.hex"), text);
    QVERIFY(!b.engine.Start(path));
    QVERIFY2(b.engine.ErrorString().contains(QStringLiteral("line %1:").arg(line)), qPrintable(b.engine.ErrorString()));
    QVERIFY(b.engine.ErrorString().contains(path));
    QCOMPARE(b.engine.GetState(), State::Idle);
    QVERIFY(b.rig.doc.Link().IsIdle());
    QTest::qWait(50);
    QCOMPARE(b.rig.sim.RequestsHandled(), before);
}

void TestProgramming::bootComparison_data()
{
    QTest::addColumn<QList<quint32>>("changed"); // boot words the file gives differently
    QTest::addColumn<bool>("goOn");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("more");

    QTest::newRow("all match") << QList<quint32>{} << true << 0 << QString();
    QTest::newRow("one word, OK") << QList<quint32>{0x0103} << true << 1 << QString();
    QTest::newRow("one word, Cancel") << QList<quint32>{0x0103} << false << 1 << QString();
    QList<quint32> many;
    for (quint32 w = 0x0100; w < 0x0100 + 60; ++w)
        many.append(w);
    QTest::newRow("sixty words") << many << false << 50 << QStringLiteral("\n... and 10 more");
}

void TestProgramming::bootComparison()
{
    QFETCH(QList<quint32>, changed);
    QFETCH(bool, goOn);
    QFETCH(int, listed);
    QFETCH(QString, more);
    Bench b;
    b.prompt.goOn = goOn;
    QList<quint16> boot = BootWords(b.Sim(), 0x0100, 64);
    for (quint32 w : changed)
        boot[int(w - 0x0100)] ^= 0x0F0F;
    // One record of 64 words: one reply, one question.
    QVERIFY(b.Run(HexImage({{0x0100, boot}, {0x4000, Code(8, 3)}}, true, 64)));

    if (changed.isEmpty()) {
        QVERIFY(b.prompt.questions.isEmpty());
        QCOMPARE(b.engine.GetState(), State::Done);
        return;
    }
    QCOMPARE(b.prompt.questions.size(), 1);
    const QString report = b.prompt.questions.first();
    QVERIFY(report.startsWith(QStringLiteral("Mismatched ROM\n\nADDR\tROM\tHEX\n")));
    QCOMPARE(report.count(QLatin1Char('\n')) - 2 - (more.isEmpty() ? 0 : 1), listed);
    const quint32 first = changed.first();
    const quint16 held = b.Sim().Word(first);
    QVERIFY(report.contains(QStringLiteral("\n%1\t%2\t%3")
                                .arg(first, 4, 16, QLatin1Char('0'))
                                .arg(held, 4, 16, QLatin1Char('0'))
                                .arg(quint16(held ^ 0x0F0F), 4, 16, QLatin1Char('0'))
                                .toUpper()));
    QVERIFY(report.endsWith(more.isEmpty() ? QStringLiteral("\t%1").arg(quint16(b.Sim().Word(changed.last()) ^ 0x0F0F), 4, 16, QLatin1Char('0')).toUpper() : more));

    if (goOn) {
        QCOMPARE(b.engine.GetState(), State::Done);
        QCOMPARE(b.Sim().SerialNumber(), 1u);
    } else {
        QCOMPARE(b.engine.GetState(), State::Cancelled);
        QCOMPARE(b.engine.StatusText(), QStringLiteral("Cancelled"));
        QVERIFY(b.rig.doc.Link().IsIdle());
        // Nothing was stamped and no serial number spent.
        QCOMPARE(CPreferences::GetInt(QStringLiteral("Programming"), QStringLiteral("SequentialID"), 1), 1);
        QVERIFY(!b.sent.contains(Sent{RecordType::EndProgramming, 0, 0}));
    }
}

void TestProgramming::refusedBlockFailsTheRun()
{
    Bench b;
    // The history sector holds data that no erase of the run touches: words
    // whose bits would have to rise are refused with "$".
    const quint16 held = b.Sim().Word(0x18000);
    QVERIFY(held != 0xFFFF);
    QVERIFY(b.Run(HexImage({{0x4000, Code(8, 5)}, {0x18000, {quint16(~held)}}, {0x4100, Code(8, 9)}})));

    QCOMPARE(b.engine.GetState(), State::Failed);
    QCOMPARE(b.engine.StatusText(), QStringLiteral("Failed"));
    QCOMPARE(b.prompt.messages.size(), 1);
    QVERIFY2(b.prompt.messages.first().contains(QStringLiteral("at word 18000")), qPrintable(b.prompt.messages.first()));
    QCOMPARE(b.Sim().Word(0x18000), held);
    // The rest was dropped: no later block, no stamp, no serial number spent.
    QCOMPARE(b.Sim().Word(0x4100), quint16(0xFFFF));
    QVERIFY(!b.sent.contains(Sent{RecordType::EndProgramming, 0, 0}));
    QCOMPARE(CPreferences::GetInt(QStringLiteral("Programming"), QStringLiteral("SequentialID"), 1), 1);
}

void TestProgramming::silentInstrumentStaysRecoverable()
{
    Bench b;
    b.rig.doc.Link().SetReplyPeriods(40, 40);
    QList<int> codes;
    QStringList lines;
    QObject::connect(&b.rig.doc, &CInstrumentDoc::Updated, &b.rig.sim, [&codes](int code, const CReplyNotice &) { codes.append(code); });
    QObject::connect(&b.rig.doc, &CInstrumentDoc::StatusLine, &b.rig.sim, [&lines](const QString &l) { lines.append(l); });

    QList<QPair<quint32, QList<quint16>>> blocks;
    for (quint32 w = 0x4000; w < 0x4000 + 40 * 8; w += 8)
        blocks.append({w, Code(8, quint16(w))});
    // The instrument goes quiet after the fifth block.
    SimOptions quiet = b.rig.sim.Options();
    int written = 0;
    QObject::connect(&b.rig.sim, &CSimulator::RequestServed, &b.rig.sim, [&](const QByteArray &request, const QByteArray &) {
        if (request.startsWith(":10") && request.mid(7, 2) == "00" && ++written == 5) {
            quiet.dropProbability = 1.0;
            b.rig.sim.SetOptions(quiet);
        }
    });
    QVERIFY(b.engine.Start(b.Write(QStringLiteral("long.hex"), HexImage(blocks))));
    QVERIFY(b.rig.WaitFor([&] { return codes.contains(UpdateCode::CommunicationsLost); }));
    QCOMPARE(b.engine.GetState(), State::Running); // the run waits for the user

    // Recover: the instrument's next word (here its start-up announcement)
    // brings the marker, and it answers it.
    quiet.dropProbability = 0.0;
    b.rig.sim.SetOptions(quiet);
    b.rig.doc.StartRecovery();
    b.rig.sim.PowerCycle();
    QVERIFY(b.rig.WaitFor([&] { return lines.contains(QStringLiteral("Recovery Done")); }));
    QCOMPARE(b.rig.doc.ProgramMode(), 1);

    QVERIFY(b.Run(HexImage(blocks)));
    QCOMPARE(b.engine.GetState(), State::Done);
    for (const auto &[first, words] : blocks)
        QCOMPARE(b.Sim().Word(first + 7), words[7]);
}

void TestProgramming::fileValueName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("firmware") << "/fw/v142.hex" << "HexFile";
    QTest::newRow("flash test, any case") << "C:\\Test\\FLASHTST.HEX" << "FlashTestFile";
    QTest::newRow("board test") << "/fw/MustProg.hex" << "BoardTestFile";
    QTest::newRow("both names: the board test wins") << "/flashtst.hex/mustprog.hex" << "BoardTestFile";
    QTest::newRow("name without its extension") << "/fw/flashtst.bin" << "HexFile";
}

void TestProgramming::fileValueName()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(CProgrammingEngine::FileValueName(path), name);
}

void TestProgramming::wizardConfiguresInstrument_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("oxygen");
    QTest::newRow("48 soil vapour") << 1 << "-01 %LEL HEX" << false;
    QTest::newRow("49 fuel vapour") << 2 << "-02 %LEL HEX" << true;
}

void TestProgramming::wizardConfiguresInstrument()
{
    QFETCH(int, model);
    QFETCH(QString, text);
    QFETCH(bool, oxygen);
    Bench b;
    CWizardProgrammer wizard(b.rig.doc);
    wizard.Engine().SetPrompt(&b.prompt);
    QList<CWizardProgrammer::State> states;
    connect(&wizard, &CWizardProgrammer::StateChanged, this, [&states](CWizardProgrammer::State s) { states.append(s); });

    CWizardProgrammer::Choices c;
    wizard.Enter(c);
    QCOMPARE(wizard.GetState(), CWizardProgrammer::Error); // no file chosen

    c.model = model;
    c.modelText = CWizardTables::Models().value(model - 1);
    c.units = 1;
    c.unitsText = QStringLiteral("%LEL HEX");
    c.hexFile = b.Write(QStringLiteral("fw.hex"), HexImage({{0x0000, BootWords(b.Sim(), 0, 8)}, {0x4000, Code(24, 0x4444)}}));
    wizard.Enter(c);
    QCOMPARE(wizard.GetState(), CWizardProgrammer::Ready);
    for (int unit = 1; unit <= 2; ++unit) {
        states.clear();
        QVERIFY(wizard.Program());
        QVERIFY(b.rig.WaitFor([&] { return wizard.GetState() == CWizardProgrammer::Finished; }));
        QVERIFY(b.rig.WaitIdle());
        QCOMPARE(states, (QList<CWizardProgrammer::State>{CWizardProgrammer::DownloadingCode,
                                                          CWizardProgrammer::DownloadingConfiguration,
                                                          CWizardProgrammer::Finished}));
        // Each instrument gets the next serial number of the wizard's own counter.
        QCOMPARE(b.Sim().SerialNumber(), quint32(unit));
    }
    QCOMPARE(CPreferences::GetInt(QStringLiteral("Wizard"), QStringLiteral("SequentialID"), 0), 3);
    QCOMPARE(CPreferences::GetInt(QStringLiteral("Programming"), QStringLiteral("SequentialID"), 0), 0);

    QCOMPARE(QString::fromLatin1(b.Sim().ConfigurationText()), text);
    QCOMPARE(b.Sim().WordBytes(0xC020, 80), CConfigurationBuilder::RangeTable(true));
    // The checksum covers the configuration written after the stamp.
    QVERIFY(b.Sim().IsConfigurationValid());

    CSettingsImage s(b.rig.doc.Words());
    s.StoreTimeKeeper(0, b.Sim().TimeKeeper());
    QCOMPARE(s.GetSensor(CSettingsImage::SensorHC), 1);
    QCOMPARE(s.GetSensor(CSettingsImage::SensorO2), oxygen ? 1 : 0);
    QCOMPARE(s.GetHighAlarm(CSettingsImage::SensorHC, 0), 50.0);
    QCOMPARE(s.GetHighAlarm(CSettingsImage::SensorHC, 1), 500.0);
    QCOMPARE(s.GetCalWord(), QStringLiteral("***"));
    QCOMPARE(s.GetLogInterval(), 60);
    if (oxygen)
        QCOMPARE(s.GetHighAlarm(CSettingsImage::SensorO2), 23.5);
    QVERIFY(qAbs(b.Sim().Clock().secsTo(QDateTime::currentDateTime())) < 24 * 3600);
    QVERIFY(CWizardProgrammer::ApplyDefaults(s, CConfigurationBuilder::SettingsDefaults(model, CConfigurationBuilder::RangeTable(true))).isEmpty());
}

void TestProgramming::flashOnlyClearsBits_data()
{
    QTest::addColumn<quint16>("before");
    QTest::addColumn<quint16>("written");
    QTest::addColumn<bool>("taken");
    QTest::newRow("erased") << quint16(0xFFFF) << quint16(0x1234) << true;
    QTest::newRow("bits only cleared") << quint16(0x7FFF) << quint16(0x1234) << true;
    QTest::newRow("same value again") << quint16(0x1234) << quint16(0x1234) << true;
    QTest::newRow("a bit would rise") << quint16(0x1234) << quint16(0x1235) << false;
}

void TestProgramming::flashOnlyClearsBits()
{
    QFETCH(quint16, before);
    QFETCH(quint16, written);
    QFETCH(bool, taken);
    std::vector<quint16> words(16, 0xFFFF);
    words[5] = before;
    // The second word of the block is the one in question: a refused block
    // leaves its first word alone too.
    QCOMPARE(CSimFlash::Program(words, 4, Words({0x00AA, written})), taken);
    QCOMPARE(words[4], taken ? quint16(0x00AA) : quint16(0xFFFF));
    QCOMPARE(words[5], taken ? written : before);
    QVERIFY(!CSimFlash::Program(words, 15, Words({0, 0}))); // runs off the memory
}

QTEST_GUILESS_MAIN(TestProgramming)
#include "tst_programming.moc"
