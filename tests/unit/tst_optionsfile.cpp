// Options file save and load through real files, and the download check that compares what was sent with what the instrument holds.
#include "../common/SimRig.h"
#include "document/DownloadVerifier.h"
#include "document/InstrumentDoc.h"
#include "document/OptionsFile.h"
#include "document/RangeRecord.h"
#include "document/SettingsImage.h"
#include "document/ToxicRecord.h"
#include "document/WordImage.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using S = CSettingsImage;

namespace {

const QDateTime FixedNow(QDate(2024, 6, 15), QTime(12, 0));

void WriteRange(CWordImage &words, int r, const QString &label, int units, int fullScale)
{
    CRangeRecord rec;
    rec.SetFlags(0);
    rec.SetLabel(label);
    rec.SetHCSupply(CRangeRecord::SupplyLel);
    rec.SetDisplayUnits(units);
    rec.SetFullScale(fullScale);
    words.Store(CRangeRecord::TableWord + CRangeRecord::WordsPerRecord * r, rec.Bytes());
}

CToxicRecord Gas(const QString &name, int fraction, QList<int> calGas)
{
    CToxicRecord rec;
    rec.SetGasName(name);
    rec.SetWord(CToxicRecord::FractionWord, quint16(fraction));
    for (int i = 0; i < 4; ++i)
        rec.SetWord(CToxicRecord::CalGas1Word + i, quint16(calGas.value(i)));
    return rec;
}

// The instrument's tables: ranges in whole %LEL, PPM (tens), %VOL (tenths);
// gases 0 none, 1 CO in ppm, 2 H2S in tenths of a ppm, 3 H2 in hundredths.
void FillTables(CWordImage &words, S &s)
{
    WriteRange(words, 0, QStringLiteral("LEL "), CRangeRecord::UnitLel, 100);
    WriteRange(words, 1, QStringLiteral("PPM "), CRangeRecord::UnitPpm, 500);
    WriteRange(words, 2, QStringLiteral("VOL "), CRangeRecord::UnitVol, 5);
    WriteRange(words, 3, QStringLiteral("LEL2"), CRangeRecord::UnitLel, 100);
    s.SetToxicCount(4);
    s.SetToxicRecord(0, Gas(QStringLiteral("---"), 1, {0, 0, 0, 0}));
    s.SetToxicRecord(1, Gas(QStringLiteral("CO "), 1, {50, 100, 200, 250}));
    s.SetToxicRecord(2, Gas(QStringLiteral("H2S"), 10, {100, 250, 500, 1000}));
    s.SetToxicRecord(3, Gas(QStringLiteral("H2 "), 100, {100, 200, 400, 800}));
}

// Bits no key carries: HCRangeIndex (byte 22 bits 4-5), reserved bits of
// words 28, 52, 54 and 58.
constexpr quint8 UnkeyedMask[S::TimeKeeperSize] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0x30, 0, 0, 0, 0, 0, 0x3C, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0x80, 0, 0x80, 0, 0, 0, 0x80, 0, 0, 0, 0};

// A fully set-up instrument image; every value survives a save and load.
void FillSettings(S &s)
{
    auto &b = s.TimeKeeperBytes();
    const quint8 clock[8] = {0x30, 0x45, 0x13, 0x06, 0x14, 0x06, 0x24, 0x40};
    for (int i = 0; i < 8; ++i)
        b[size_t(i)] = clock[i];
    for (int i = S::SettingsOffset; i < S::TimeKeeperSize; ++i)
        b[size_t(i)] = quint8(0xA5 & UnkeyedMask[i]);
    s.SetHCRangeIndex(2);
    for (int r = 0; r < 4; ++r) {
        s.SetCalOffset(S::SensorHC, r, 6000 + r);
        s.SetCalDac(r, 700 + 101 * r);
    }
    s.SetCalOffset(2, 0, 21894);
    s.SetCalOffset(3, 0, 2080);
    s.SetCalOffset(4, 0, 65535);
    for (int sensor = 1; sensor <= 4; ++sensor)
        s.SetCalSpan(sensor, 6976 + 640 * sensor);
    s.SetLastCalDate(QDate(2024, 2, 14));
    for (int sensor = 1; sensor <= 4; ++sensor)
        s.SetSensor(sensor, 1);
    s.SetSensorGas(3, 1);
    s.SetSensorGas(4, 2);
    s.SetHighAlarm(1, 0, 50);
    s.SetHighAlarm(1, 1, 500);
    s.SetHighAlarm(1, 2, 2.5);
    s.SetHighAlarm(1, 3, 60);
    s.SetWarningAlarm(1, 0, 10);
    s.SetWarningAlarm(1, 1, 100);
    s.SetWarningAlarm(1, 2, 1.2);
    s.SetWarningAlarm(1, 3, 20);
    s.SetHighAlarm(2, 0, 23.5);
    s.SetWarningAlarm(2, 0, 19.5);
    s.SetHighAlarm(3, 0, 35);
    s.SetWarningAlarm(3, 0, 25);
    s.SetHighAlarm(4, 0, 20.5);
    s.SetWarningAlarm(4, 0, 10);
    s.SetCalGas(1, 40);
    s.SetCalGas(2, 0);
    s.SetCalGas(3, 100);
    s.SetCalGas(4, 50);
    s.SetCalWord(QStringLiteral("012"));
    s.SetPassWord(QStringLiteral("***"));
    s.SetLogWord(QStringLiteral("999"));
    s.SetCalInterval(182);
    s.SetBackLightDelay(45);
    s.SetO2AlarmConfiguration(2);
    s.SetComfortAlert(3);
    s.SetAlarmLatch(1);
    s.SetAlarmDelay(3);
    s.SetLunchBreak(1);
    s.SetBumpTest(1);
    s.SetTemperatureAlarm(1);
    s.SetOperatorIndex(5);
    s.SetLocationIndex(33);
    s.SetLogInterval(90);
    s.SetLogMemoryManager(1);
    s.SetLogAverages(2);
    for (int n = 1; n <= S::OperatorCount; ++n)
        s.SetOperatorId(n, QStringLiteral("Operator %1").arg(n));
    for (int n = 1; n <= S::LocationCount; ++n)
        s.SetLocationId(n, QStringLiteral("Loc=%1 [x]").arg(n));
    s.SetInstrumentId(QStringLiteral("UNIT 0042"));
}

struct Image
{
    CWordImage words;
    S settings{words, [] { return FixedNow; }};
    Image()
    {
        FillTables(words, settings);
        FillSettings(settings);
    }
};

// The same instrument with every keyed field cleared: what a load must fill.
void ClearKeyed(S &s)
{
    auto &b = s.TimeKeeperBytes();
    for (int i = S::SettingsOffset; i < S::TimeKeeperSize; ++i)
        b[size_t(i)] &= UnkeyedMask[i];
    for (int e = 1; e <= S::IdEntryCount; ++e)
        s.SetIdEntry(e, QString());
}

QStringList Ids(const S &s)
{
    QStringList out;
    for (int e = 1; e <= S::IdEntryCount; ++e)
        out << s.IdEntry(e);
    return out;
}

QByteArray Block(const S &s)
{
    return QByteArray(reinterpret_cast<const char *>(s.TimeKeeperBytes().data()), S::TimeKeeperSize);
}

QByteArray Save(const S &s)
{
    CProfileFile file;
    COptionsFile::Write(s, file);
    return file.ToBytes();
}

QStringList Load(const QByteArray &bytes, S &s)
{
    CProfileFile file;
    file.LoadFromBytes(bytes);
    return COptionsFile::Apply(file, s);
}

QString DataPath(const QString &name)
{
    return qEnvironmentVariable("ALTAVO_TEST_DATA") + QStringLiteral("/options/") + name;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A document holding the fixture tables and settings, without a link.
struct DocRig
{
    CInstrumentDoc doc{CClock::System()};
    QList<int> codes;
    QList<qint64> addresses;
    DocRig()
    {
        FillTables(doc.Words(), doc.Settings());
        FillSettings(doc.Settings());
        QObject::connect(&doc, &CInstrumentDoc::Updated, [this](int code, const CReplyNotice &n) {
            codes << code;
            addresses << n.address;
        });
    }
};

} // namespace

class TestOptionsFile : public QObject
{
    Q_OBJECT
private slots:
    void saveThenLoadRestoresBlockAndIds();
    void freshFileMatchesGolden();
    void savingOverAFileKeepsItsOtherLines();
    void toxicSensorMatching_data();
    void toxicSensorMatching();
    void toxicLevelsUseTheFilesGas();
    void keyConversions_data();
    void keyConversions();
    void unstorableValuesAreReported();
    void emptyFileLoadsZerosAndRefreshesViews();
    void unreadableFileLeavesDocumentUntouched();
    void truncatedFileReportsMissingSections();
    void saveRefreshesViewsAndReportsWriteErrors();
    void verifierNamesFieldsThatDiffer();
    void verifierReadsBackFromTheInstrument_data();
    void verifierReadsBackFromTheInstrument();
};

void TestOptionsFile::saveThenLoadRestoresBlockAndIds()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("unit.kvo"));
    DocRig rig;
    const QByteArray block = Block(rig.doc.Settings());
    const QStringList ids = Ids(rig.doc.Settings());
    QString error;
    QVERIFY2(rig.doc.SaveOptions(path, &error), qPrintable(error));
    QCOMPARE(rig.doc.OptionsPath(), path);

    ClearKeyed(rig.doc.Settings());
    QVERIFY(Block(rig.doc.Settings()) != block);
    QStringList warnings;
    QVERIFY2(rig.doc.LoadOptions(path, &error, &warnings), qPrintable(error));
    QCOMPARE(warnings, QStringList());
    QCOMPARE(Block(rig.doc.Settings()).toHex(' '), block.toHex(' '));
    QCOMPARE(Ids(rig.doc.Settings()), ids);
}

void TestOptionsFile::freshFileMatchesGolden()
{
    // golden.kvo was written by hand from the file layout and the settings
    // block's bit map for the fixture's values (tests/data/options/README.md
    // works every TimeKeeper byte out), never by this program: a wrong key,
    // format or bit fails here, not only a change.
    Image image;
    const QByteArray bytes = Save(image.settings);
    const QString golden = DataPath(QStringLiteral("golden.kvo"));
    QFile f(golden);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(golden));
    const QByteArray expected = f.readAll();
    const QList<QByteArray> got = bytes.split('\n');
    const QList<QByteArray> wanted = expected.split('\n');
    for (int i = 0; i < qMin(got.size(), wanted.size()); ++i)
        QVERIFY2(got[i] == wanted[i], qPrintable(QStringLiteral("line %1: saved \"%2\", the layout gives \"%3\"")
                                                     .arg(i + 1)
                                                     .arg(QString::fromLatin1(got[i].trimmed()), QString::fromLatin1(wanted[i].trimmed()))));
    QCOMPARE(bytes, expected);

    // The raw copy is the block as held, checksum included.
    CProfileFile file;
    file.LoadFromBytes(bytes);
    QByteArray raw;
    QVERIFY(file.GetStruct(COptionsFile::BinarySection, COptionsFile::TimeKeeperKey, raw, S::TimeKeeperSize));
    QCOMPARE(raw, Block(image.settings));
    QCOMPARE(file.Sections(), QStringList({QStringLiteral("Sensors"), QStringLiteral("Advanced Features"),
                                           QStringLiteral("Datalog Features"), QStringLiteral("Binary")}));

    // Loaded into an image with every keyed field cleared, the hand-written
    // keys give back the fixture's block and IDs.
    Image loaded;
    ClearKeyed(loaded.settings);
    QCOMPARE(Load(expected, loaded.settings), QStringList());
    QCOMPARE(Block(loaded.settings).toHex(' '), Block(image.settings).toHex(' '));
    QCOMPARE(Ids(loaded.settings), Ids(image.settings));
}

void TestOptionsFile::savingOverAFileKeepsItsOtherLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.kvo"));
    QVERIFY(WriteFile(path, "; bay 7 detectors\n[Advanced Features]\nhighalarm2=19\nNote=checked by K.L.\n"));
    DocRig rig;
    QString error;
    QVERIFY2(rig.doc.SaveOptions(path, &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.value(0), QByteArray("; bay 7 detectors"));
    QCOMPARE(lines.value(1), QByteArray("[Advanced Features]"));
    QCOMPARE(lines.value(2), QByteArray("highalarm2=23.5")); // replaced where it stood, spelling kept
    QCOMPARE(lines.value(3), QByteArray("Note=checked by K.L."));
}

void TestOptionsFile::toxicSensorMatching_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("fitted");
    QTest::addColumn<int>("gas");
    QTest::addColumn<bool>("warned");
    QTest::newRow("name with trailing blank in the table") << "CO" << 1 << 1 << false;
    QTest::newRow("three letters") << "H2S" << 1 << 2 << false;
    QTest::newRow("case counts") << "co" << 1 << 0 << true;
    QTest::newRow("minus: not fitted") << "-H2S" << 0 << 0 << false;
    QTest::newRow("missing") << "" << 0 << 0 << false;
    QTest::newRow("gas not in the table") << "NH3" << 1 << 0 << true;
}

void TestOptionsFile::toxicSensorMatching()
{
    QFETCH(QString, value);
    QFETCH(int, fitted);
    QFETCH(int, gas);
    QFETCH(bool, warned);
    Image image;
    QByteArray bytes = Save(image.settings);
    bytes.replace("Sensor4=H2S", "Sensor4=" + value.toLatin1());
    const QStringList warnings = Load(bytes, image.settings);
    QCOMPARE(image.settings.GetSensor(4), fitted);
    QCOMPARE(image.settings.GetSensorGas(4), gas);
    QCOMPARE(warnings.filter(QStringLiteral("Sensor4")).size(), warned ? 1 : 0);
    QCOMPARE(image.settings.GetSensorGas(3), 1);
}

void TestOptionsFile::toxicLevelsUseTheFilesGas()
{
    // A CO file loaded where Toxic 1 is set up for H2S (tenths of a ppm):
    // the levels are ppm of CO and must stay so.
    Image image;
    const QByteArray bytes = Save(image.settings);
    image.settings.SetSensorGas(3, 2);
    QCOMPARE(Load(bytes, image.settings), QStringList());
    QCOMPARE(image.settings.GetSensorGas(3), 1);
    QCOMPARE(image.settings.GetHighAlarmRaw(3), 35);
    QCOMPARE(image.settings.GetHighAlarm(3), 35.0);
    QCOMPARE(image.settings.GetWarningAlarm(3), 25.0);
    QCOMPARE(image.settings.GetCalGas(3), 100.0);
}

void TestOptionsFile::keyConversions_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");
    QTest::newRow("CalWord ***") << "CalWord=" << "***" << "CalWord" << 1023;
    QTest::newRow("CalWord 012") << "CalWord=" << "012" << "CalWord" << 12;
    QTest::newRow("CalWord text") << "CalWord=" << "abc" << "CalWord" << 1023;
    QTest::newRow("BackLightDelay 45") << "BackLightDelay=" << "45" << "BackLightDelayCode" << 8;
    QTest::newRow("AlarmDelay 2") << "AlarmDelay=" << "2" << "AlarmDelayCode" << 2;
    QTest::newRow("LastCalDate 07/04/2003") << "LastCalDate=" << "07/04/2003" << "DayOfYear" << 185;
    QTest::newRow("LastCalDate without year") << "LastCalDate=" << "03/01" << "DayOfYear" << 60; // 1999
    QTest::newRow("LastCalDate month only") << "LastCalDate=" << "2" << "DayOfYear" << 32;
    QTest::newRow("CalSpan upper bits") << "CalSpan1=" << "6999" << "CalSpan1" << 6976;
    QTest::newRow("CalOffset leading number") << "CalOffset1-3=" << "  77xyz" << "CalOffset1-3" << 77;
    QTest::newRow("PPM range level in tens") << "HighAlarm1-1=" << "350" << "HighAlarm1-1Raw" << 35;
    QTest::newRow("ID cut to 16") << "InstrumentID=" << "ABCDEFGHIJKLMNOPQRST" << "InstrumentIDLength" << 16;
}

void TestOptionsFile::keyConversions()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, field);
    QFETCH(int, expected);
    Image image;
    QList<QByteArray> lines = Save(image.settings).split('\n');
    for (QByteArray &line : lines) {
        if (line.startsWith(key.toLatin1()))
            line = key.toLatin1() + value.toLatin1() + '\r';
    }
    Load(lines.join('\n'), image.settings);
    const S &s = image.settings;
    const auto &b = s.TimeKeeperBytes();
    int actual = -1;
    if (field == QLatin1String("CalWord"))
        actual = ((b[39] >> 2) & 31) | (((b[53] >> 2) & 31) << 5); // bits 10-14 of words 38 and 52
    else if (field == QLatin1String("BackLightDelayCode"))
        actual = b[61] >> 4;
    else if (field == QLatin1String("AlarmDelayCode"))
        actual = (b[26] >> 2) & 3;
    else if (field == QLatin1String("DayOfYear"))
        actual = (b[58] | (b[59] << 8)) & 0x1FF;
    else if (field == QLatin1String("CalSpan1"))
        actual = s.GetCalSpan(1);
    else if (field == QLatin1String("CalOffset1-3"))
        actual = s.GetCalOffset(1, 3);
    else if (field == QLatin1String("HighAlarm1-1Raw"))
        actual = s.GetHighAlarmRaw(1, 1);
    else if (field == QLatin1String("InstrumentIDLength"))
        actual = s.InstrumentId() == QLatin1String("ABCDEFGHIJKLMNOP") ? 16 : -1;
    QCOMPARE(actual, expected);
}

void TestOptionsFile::unstorableValuesAreReported()
{
    Image image;
    QByteArray bytes = Save(image.settings);
    bytes.replace("HighAlarm4=20.5", "HighAlarm4=200");   // 2000 tenths wrap in 10 bits
    bytes.replace("WarningAlarm2=19.5", "WarningAlarm2=19.54"); // below the shown tenths: fine
    bytes.replace("HighAlarm1-1=500", "HighAlarm1-1=505"); // PPM range counts in tens
    bytes.replace("CalGas2=0", "CalGas2=20.9");           // whole %VOL 0..15 only
    const QStringList warnings = Load(bytes, image.settings);
    QCOMPARE(warnings.size(), 3);
    QVERIFY(warnings[0].startsWith(QLatin1String("HighAlarm1-1: 505")));
    QVERIFY(warnings[1].contains(QLatin1String("HighAlarm4: 200 cannot be stored; the instrument would hold 97.6")));
    QVERIFY(warnings[2].startsWith(QLatin1String("CalGas2: 20.9")));
}

void TestOptionsFile::emptyFileLoadsZerosAndRefreshesViews()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.kvo"));
    QVERIFY(WriteFile(path, {}));
    DocRig rig;
    const QByteArray before = Block(rig.doc.Settings());
    QString error;
    QStringList warnings;
    QVERIFY(rig.doc.LoadOptions(path, &error, &warnings));
    QCOMPARE(warnings.size(), 3); // the three settings sections are missing
    QVERIFY(warnings[0].startsWith(QLatin1String("empty.kvo: [Sensors]")));

    const S &s = rig.doc.Settings();
    for (int sensor = 1; sensor <= 4; ++sensor) {
        QCOMPARE(s.GetSensor(sensor), 0);
        QCOMPARE(s.GetHighAlarmRaw(sensor, 0), 0);
        QCOMPARE(s.GetSensorGas(3), 0);
    }
    QCOMPARE(s.GetPassWord(), QStringLiteral("***"));
    QCOMPARE(s.IdEntry(81), QString(16, QLatin1Char(' ')));
    for (int i = 0; i < S::TimeKeeperSize; ++i) {
        const quint8 kept = i < S::SettingsOffset ? 0xFF : UnkeyedMask[i];
        QCOMPARE(s.TimeKeeperBytes()[size_t(i)] & kept, quint8(before[i]) & kept);
    }

    QCOMPARE(rig.codes.size(), 1 + S::IdEntryCount);
    QCOMPARE(rig.codes.first(), int(UpdateCode::Settings));
    QCOMPARE(rig.addresses.first(), 0);
    for (int e = 1; e <= S::IdEntryCount; ++e) {
        QCOMPARE(rig.codes[e], int(UpdateCode::IdEntry));
        QCOMPARE(rig.addresses[e], qint64(e));
    }
}

void TestOptionsFile::unreadableFileLeavesDocumentUntouched()
{
    QTemporaryDir dir;
    DocRig rig;
    const QByteArray block = Block(rig.doc.Settings());
    for (const QString &path : {dir.filePath(QStringLiteral("missing.kvo")), dir.path()}) {
        QString error;
        QVERIFY(!rig.doc.LoadOptions(path, &error));
        QVERIFY2(error.contains(QFileInfo(path).fileName()), qPrintable(error));
    }
    QCOMPARE(Block(rig.doc.Settings()), block);
    QVERIFY(rig.codes.isEmpty());
}

void TestOptionsFile::truncatedFileReportsMissingSections()
{
    Image image;
    const QByteArray full = Save(image.settings);
    const QByteArray cut = full.left(full.indexOf("AlarmLatch="));
    ClearKeyed(image.settings);
    const QStringList warnings = Load(cut, image.settings);
    QCOMPARE(warnings, QStringList({QStringLiteral("[Datalog Features]: the section is missing; its settings load as 0 and blank")}));
    // What the file still held is taken.
    QCOMPARE(image.settings.GetHighAlarm(2), 23.5);
    QCOMPARE(image.settings.GetComfortAlert(), 3);
    QCOMPARE(image.settings.GetAlarmLatch(), 0);
}

void TestOptionsFile::saveRefreshesViewsAndReportsWriteErrors()
{
    QTemporaryDir dir;
    DocRig rig;
    // A view with an edit stores it when told 1002; the file must carry it.
    QObject::connect(&rig.doc, &CInstrumentDoc::Updated, [&rig](int code, const CReplyNotice &) {
        if (code == UpdateCode::BeforeDownload)
            rig.doc.Settings().SetHighAlarm(2, 0, 22.0);
    });
    const QString good = dir.filePath(QStringLiteral("edited.kvo"));
    QVERIFY(rig.doc.SaveOptions(good));
    QCOMPARE(CProfileFile::GetFileString(good, QStringLiteral("advanced features"), QStringLiteral("highalarm2")),
             QStringLiteral("22"));

    const QString bad = dir.filePath(QStringLiteral("no-such-folder/x.kvo"));
    QString error;
    QVERIFY(!rig.doc.SaveOptions(bad, &error));
    QVERIFY2(error.contains(QLatin1String("x.kvo")), qPrintable(error));
    QCOMPARE(rig.doc.OptionsPath(), good);
}

void TestOptionsFile::verifierNamesFieldsThatDiffer()
{
    Image sent;
    S back(sent.settings);
    back.SetHighAlarm(3, 0, 34);
    back.SetLocationId(3, QStringLiteral("Somewhere else"));
    back.TimeKeeperBytes()[28] ^= 0x04; // a reserved bit
    const QList<CDownloadDifference> d = CDownloadVerifier::Compare(sent.settings, back);
    QCOMPARE(d.size(), 3);
    QCOMPARE(d[0].key, QStringLiteral("HighAlarm3"));
    QCOMPARE(d[0].sent, QStringLiteral("35"));
    QCOMPARE(d[0].readBack, QStringLiteral("34"));
    QCOMPARE(d[1].key, QStringLiteral("LocationID03"));
    QCOMPARE(d[1].readBack, QStringLiteral("Somewhere else  "));
    QCOMPARE(d[2].key, QStringLiteral("TimeKeeper byte 28"));
    QVERIFY(CDownloadVerifier::Compare(sent.settings, S(sent.settings)).isEmpty());

    // Levels are shown with the decimals of their scale.
    S o2(sent.settings);
    o2.SetHighAlarm(2, 0, 23.0);
    const QList<CDownloadDifference> e = CDownloadVerifier::Compare(sent.settings, o2);
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].readBack, QStringLiteral("23.0"));
}

void TestOptionsFile::verifierReadsBackFromTheInstrument_data()
{
    QTest::addColumn<bool>("tamper");
    QTest::newRow("instrument stored everything") << false;
    QTest::newRow("instrument lost a level and an ID") << true;
}

void TestOptionsFile::verifierReadsBackFromTheInstrument()
{
    QFETCH(bool, tamper);
    SimRig rig;
    rig.doc.SetIdEntriesWanted(true);
    rig.doc.UploadAll();
    QVERIFY(rig.WaitFor([&] { return rig.doc.Settings().ToxicCount() > 0 && !rig.doc.TransferProgress().IsOpen() && rig.doc.Link().IsIdle(); }));

    rig.doc.Settings().SetHighAlarm(3, 0, 60);
    rig.doc.Settings().SetInstrumentId(QStringLiteral("BAY 7"));
    CDownloadVerifier verifier(rig.doc);
    rig.doc.DownloadAll();
    verifier.TakeSnapshot();
    QVERIFY(rig.WaitIdle());
    QCOMPARE(rig.sim.Instrument().IdEntry(81), QByteArray("BAY 7           "));
    if (tamper) {
        // As if the instrument had acknowledged writes it did not keep.
        rig.sim.Instrument().SetTimeKeeper(40, QByteArray(1, char(49)));
        rig.sim.Instrument().SetIdEntry(65, QByteArray("Nobody          "));
    }
    QSignalSpy finished(&verifier, &CDownloadVerifier::ReadBackFinished);
    verifier.StartReadBack();
    QVERIFY(rig.WaitFor([&] { return verifier.IsReadBackFinished(); }));
    QCOMPARE(finished.size(), 1);
    const QList<CDownloadDifference> d = verifier.Differences();
    if (!tamper) {
        QCOMPARE(d.size(), 0);
        return;
    }
    QCOMPARE(d.size(), 2);
    QCOMPARE(d[0].key, QStringLiteral("HighAlarm3"));
    QCOMPARE(d[0].sent, QStringLiteral("60"));
    QCOMPARE(d[0].readBack, QStringLiteral("49"));
    QCOMPARE(d[1].key, QStringLiteral("OperatorID01"));
}

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "tst_optionsfile.moc"
