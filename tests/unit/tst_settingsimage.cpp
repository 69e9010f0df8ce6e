// Settings image, word image, range and toxic records: layouts and conversions between stored and shown values.
#include "document/RangeRecord.h"
#include "document/SettingsCodec.h"
#include "document/SettingsImage.h"
#include "document/ToxicRecord.h"
#include "document/WordImage.h"

#include <QtTest>

using S = CSettingsImage;

namespace {

// Writes range record r into the flash image the way an upload would.
void WriteRange(CWordImage &words, int r, int fullScale, int units, int supply = CRangeRecord::SupplyLel,
                quint16 flags = 0, const QString &label = QStringLiteral("CH4"))
{
    CRangeRecord rec;
    rec.SetFlags(flags);
    rec.SetLabel(label);
    rec.SetHCSupply(supply);
    rec.SetDisplayUnits(units);
    rec.SetFullScale(fullScale);
    rec.SetAlarmMinimum(5);
    rec.SetAlarmMaximum(95);
    words.Store(CRangeRecord::TableWord + CRangeRecord::WordsPerRecord * r, rec.Bytes());
}

CToxicRecord MakeGas(const QString &name, int fraction, QList<int> calGas = {10, 20, 50, 100})
{
    CToxicRecord rec;
    rec.SetGasName(name);
    rec.SetWord(CToxicRecord::FractionWord, quint16(fraction));
    for (int i = 0; i < 4; ++i)
        rec.SetWord(CToxicRecord::CalGas1Word + i, quint16(calGas.value(i)));
    return rec;
}

// A table of three gases: 0 no sensor, 1 CO, 2 H2.
void FillToxicTable(S &image, int coFraction = 1, int h2Fraction = 10)
{
    image.SetToxicCount(3);
    image.SetToxicRecord(0, MakeGas(QStringLiteral("---"), 1));
    image.SetToxicRecord(1, MakeGas(QStringLiteral("CO "), coFraction));
    image.SetToxicRecord(2, MakeGas(QStringLiteral("H2 "), h2Fraction));
}

quint16 BlockWord(const S &image, int offset)
{
    const auto &b = image.TimeKeeperBytes();
    return quint16(b[size_t(offset)] | (b[size_t(offset) + 1] << 8));
}

QDateTime At(int y, int mo, int d, int h = 12, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

} // namespace

class TestSettingsImage : public QObject
{
    Q_OBJECT

private slots:
    void wordImageBounds();
    void blankSector_data();
    void blankSector();

    void perRangeArgument_data();
    void perRangeArgument();
    void levels_data();
    void levels();
    void formatFixed_data();
    void formatFixed();
    void decimalsForScale_data();
    void decimalsForScale();

    void codedFields_data();
    void codedFields();
    void calGas_data();
    void calGas();
    void passwords_data();
    void passwords();

    void lastCalDate_data();
    void lastCalDate();
    void clockKeepsForeignBits();
    void clockDecode_data();
    void clockDecode();

    void settersTouchOnlyTheirBits_data();
    void settersTouchOnlyTheirBits();

    void idEntries_data();
    void idEntries();
    void toxicTable();
    void rangeRecordLayout();
    void blockTouchesRange_data();
    void blockTouchesRange();
};

// ---------------------------------------------------------------- word image

void TestSettingsImage::wordImageBounds()
{
    CWordImage words;
    QCOMPARE(words.Word(0), quint16(0xFFFF));
    QCOMPARE(words.Raw().size(), qsizetype(0x50000));

    // Received low byte first.
    QCOMPARE(words.Store(0xC003, QByteArray::fromHex("3412")), 2);
    QCOMPARE(words.Word(0xC003), quint16(0x1234));

    // A block running past the last word keeps only what fits.
    QCOMPARE(words.Store(CWordImage::WordCount - 1, QByteArray::fromHex("0102030405")), 2);
    QCOMPARE(words.Word(CWordImage::WordCount - 1), quint16(0x0201));
    QCOMPARE(words.Raw().size(), qsizetype(0x50000));
    QCOMPARE(words.Bytes(CWordImage::WordCount - 1, 16), QByteArray::fromHex("0102"));

    // Addresses outside the image neither read nor write.
    QCOMPARE(words.Store(-1, QByteArray(4, 0)), 0);
    QCOMPARE(words.Store(CWordImage::WordCount, QByteArray(4, 0)), 0);
    words.SetWord(-5, 0);
    words.SetWord(CWordImage::WordCount, 0);
    QCOMPARE(words.Word(-1), quint16(0xFFFF));
    QCOMPARE(words.Word(CWordImage::WordCount), quint16(0xFFFF));
    QVERIFY(words.Bytes(CWordImage::WordCount, 2).isEmpty());
    QVERIFY(words.Bytes(-1, 2).isEmpty());
}

void TestSettingsImage::blankSector_data()
{
    QTest::addColumn<qint64>("word");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("end");

    QTest::newRow("inside C000 sector") << qint64(0xC010) << qint64(0xC000) << qint64(0x10000);
    QTest::newRow("first word of a sector") << qint64(0xA000) << qint64(0xA000) << qint64(0xB000);
    QTest::newRow("last sector") << qint64(0x27FFF) << qint64(0x20000) << qint64(0x28000);
    QTest::newRow("below the sectors") << qint64(0x100) << qint64(-1) << qint64(-1);
}

void TestSettingsImage::blankSector()
{
    QFETCH(qint64, word);
    QFETCH(qint64, first);
    QFETCH(qint64, end);

    CWordImage words;
    words.Store(0, QByteArray(int(CWordImage::ByteCount), 0));
    QCOMPARE(words.BlankSector(word), first >= 0);
    for (qint64 w : {qint64(0), qint64(0x7FFF), qint64(0x8000), qint64(0x9FFF), qint64(0xA000), qint64(0xBFFF),
                     qint64(0xC000), qint64(0xFFFF), qint64(0x10000), qint64(0x1FFFF), qint64(0x20000),
                     qint64(0x27FFF)}) {
        const bool blank = first >= 0 && w >= first && w < end;
        QCOMPARE(words.Word(w), quint16(blank ? 0xFFFF : 0));
    }
}

// ---------------------------------------------------------------- per-range HC fields

void TestSettingsImage::perRangeArgument_data()
{
    QTest::addColumn<QString>("field");
    for (const char *f : {"CalOffset", "HighAlarm", "WarningAlarm", "CalDac"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TestSettingsImage::perRangeArgument()
{
    QFETCH(QString, field);

    CWordImage words;
    for (int r = 0; r < 4; ++r)
        WriteRange(words, r, 100, CRangeRecord::UnitLel);
    S image(words);
    image.SetHCRangeIndex(2);

    auto set = [&](int range, int v) {
        if (field == "CalOffset") image.SetCalOffset(S::SensorHC, range, v);
        else if (field == "HighAlarm") image.SetHighAlarm(S::SensorHC, range, v);
        else if (field == "WarningAlarm") image.SetWarningAlarm(S::SensorHC, range, v);
        else image.SetCalDac(range, v);
    };
    auto get = [&](int range) -> double {
        if (field == "CalOffset") return image.GetCalOffset(S::SensorHC, range);
        if (field == "HighAlarm") return image.GetHighAlarm(S::SensorHC, range);
        if (field == "WarningAlarm") return image.GetWarningAlarm(S::SensorHC, range);
        return image.GetCalDac(range);
    };

    for (int r = 0; r < 4; ++r)
        set(r, 10 + r);
    set(S::CurrentRange, 77);
    QCOMPARE(get(2), 77.0);
    QCOMPARE(get(S::CurrentRange), 77.0);
    QCOMPARE(get(1), 11.0);
    QCOMPARE(get(3), 13.0);

    const auto before = image.TimeKeeperBytes();
    for (int bad : {4, -2, 100}) {
        set(bad, 55);
        QCOMPARE(get(bad), 0.0);
    }
    QVERIFY(image.TimeKeeperBytes() == before);
}

// ---------------------------------------------------------------- alarm levels

void TestSettingsImage::levels_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<int>("fullScale");  // HC range 0
    QTest::addColumn<int>("units");      // HC range 0
    QTest::addColumn<int>("fraction");   // gas of both toxic sensors
    QTest::addColumn<double>("shown");
    QTest::addColumn<int>("raw");
    QTest::addColumn<double>("readBack");

    QTest::newRow("O2 23.5") << 2 << 100 << 1 << 1 << 23.5 << 235 << 23.5;
    QTest::newRow("O2 19.9") << 2 << 100 << 1 << 1 << 19.9 << 199 << 19.9;
    QTest::newRow("O2 rounds to nearest") << 2 << 100 << 1 << 1 << 21.37 << 214 << 21.4;
    QTest::newRow("HC FS 100 whole units") << 1 << 100 << 1 << 1 << 10.4 << 10 << 10.0;
    QTest::newRow("HC FS 5 tenths") << 1 << 5 << 2 << 1 << 2.3 << 23 << 2.3;
    QTest::newRow("HC FS 74 tenths") << 1 << 74 << 1 << 1 << 2.5 << 25 << 2.5;
    QTest::newRow("HC FS 75 whole units") << 1 << 75 << 1 << 1 << 2.5 << 3 << 3.0;
    QTest::newRow("HC PPM FS 500") << 1 << 500 << 4 << 1 << 500.0 << 50 << 500.0;
    QTest::newRow("HC PPM FS 50") << 1 << 50 << 4 << 1 << 25.0 << 25 << 25.0;
    QTest::newRow("toxic fraction 0") << 3 << 100 << 1 << 0 << 50.0 << 5 << 50.0;
    QTest::newRow("toxic fraction 10") << 4 << 100 << 1 << 10 << 2.5 << 25 << 2.5;
    QTest::newRow("toxic wraps past 10 bits") << 3 << 100 << 1 << 10 << 150.0 << (1500 & 1023) << 47.6;
    QTest::newRow("negative wraps too") << 2 << 100 << 1 << 1 << -0.1 << 1023 << 102.3;
}

void TestSettingsImage::levels()
{
    QFETCH(int, sensor);
    QFETCH(int, fullScale);
    QFETCH(int, units);
    QFETCH(int, fraction);
    QFETCH(double, shown);
    QFETCH(int, raw);
    QFETCH(double, readBack);

    CWordImage words;
    WriteRange(words, 0, fullScale, units);
    S image(words);
    image.SetToxicCount(2);
    image.SetToxicRecord(1, MakeGas(QStringLiteral("CO "), fraction));
    image.SetSensorGas(S::SensorToxic1, 1);
    image.SetSensorGas(S::SensorToxic2, 1);

    image.SetHighAlarm(sensor, 0, shown);
    image.SetWarningAlarm(sensor, 0, shown);
    QCOMPARE(image.GetHighAlarmRaw(sensor, 0), raw);
    QCOMPARE(image.GetWarningAlarmRaw(sensor, 0), raw);
    QCOMPARE(image.GetHighAlarm(sensor, 0), readBack);
    QCOMPARE(image.GetWarningAlarm(sensor, 0), readBack);
}

void TestSettingsImage::formatFixed_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("0.25 up") << 0.25 << 1 << "0.3";
    QTest::newRow("0.75 up") << 0.75 << 1 << "0.8";
    QTest::newRow("3.75 up") << 3.75 << 1 << "3.8";
    QTest::newRow("0.35 stored below half") << 0.35 << 1 << "0.4";
    QTest::newRow("1.005 two decimals") << 1.005 << 2 << "1.01";
    QTest::newRow("half to whole") << 2.5 << 0 << "3";
    QTest::newRow("below half") << 0.249 << 1 << "0.2";
    QTest::newRow("negative half") << -0.25 << 1 << "-0.3";
    QTest::newRow("no negative zero") << -0.04 << 1 << "0.0";
    QTest::newRow("zero with decimals") << 0.0 << 2 << "0.00";
    QTest::newRow("leading zero") << 0.05 << 2 << "0.05";
    QTest::newRow("large") << 65535.0 << 1 << "65535.0";
}

void TestSettingsImage::formatFixed()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(CSettingsCodec::FormatFixed(value, decimals), text);
}

void TestSettingsImage::decimalsForScale_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("decimals");
    QTest::newRow("fraction 100") << 100.0 << 2;
    QTest::newRow("fraction 20") << 20.0 << 1;
    QTest::newRow("O2 and tenths HC") << 10.0 << 1;
    QTest::newRow("whole units") << 1.0 << 0;
    QTest::newRow("fraction 0") << 0.1 << 0;
}

void TestSettingsImage::decimalsForScale()
{
    QFETCH(double, scale);
    QFETCH(int, decimals);
    QCOMPARE(CSettingsCodec::DecimalsForScale(scale), decimals);
}

// ---------------------------------------------------------------- coded fields

void TestSettingsImage::codedFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("readBack");

    QTest::newRow("CalInterval 0") << "CalInterval" << 0 << 0 << 0;
    QTest::newRow("CalInterval 7") << "CalInterval" << 7 << 7 << 7;
    QTest::newRow("CalInterval 10") << "CalInterval" << 10 << 7 << 7;
    QTest::newRow("CalInterval 14") << "CalInterval" << 14 << 8 << 14;
    QTest::newRow("CalInterval 182") << "CalInterval" << 182 << 32 << 182;
    QTest::newRow("CalInterval 399") << "CalInterval" << 399 << 63 << 399;
    QTest::newRow("CalInterval negative") << "CalInterval" << -3 << 0 << 0;
    QTest::newRow("BackLight 45") << "BackLightDelay" << 45 << 8 << 45;
    QTest::newRow("BackLight 46") << "BackLightDelay" << 46 << 9 << 50;
    QTest::newRow("BackLight 1000") << "BackLightDelay" << 1000 << 15 << 600;
    QTest::newRow("BackLight 0") << "BackLightDelay" << 0 << 0 << 5;
    QTest::newRow("BackLight 120") << "BackLightDelay" << 120 << 12 << 120;
    QTest::newRow("AlarmDelay 2") << "AlarmDelay" << 2 << 2 << 3;
    QTest::newRow("AlarmDelay 9") << "AlarmDelay" << 9 << 3 << 5;
    QTest::newRow("LogInterval 60 never code 0") << "LogInterval" << 60 << 4 << 60;
    QTest::newRow("LogInterval 1") << "LogInterval" << 1 << 1 << 5;
    QTest::newRow("LogInterval 10000") << "LogInterval" << 10000 << 7 << 900;
}

void TestSettingsImage::codedFields()
{
    QFETCH(QString, field);
    QFETCH(int, wanted);
    QFETCH(int, code);
    QFETCH(int, readBack);

    CWordImage words;
    S image(words);
    auto &b = image.TimeKeeperBytes();
    int stored = -1;
    int got = -1;
    if (field == "CalInterval") {
        image.SetCalInterval(wanted);
        stored = (BlockWord(image, 58) >> 9) & 0x3F;
        got = image.GetCalInterval();
    } else if (field == "BackLightDelay") {
        image.SetBackLightDelay(wanted);
        stored = b[61] >> 4;
        got = image.GetBackLightDelay();
    } else if (field == "AlarmDelay") {
        image.SetAlarmDelay(wanted);
        stored = (BlockWord(image, 26) >> 2) & 3;
        got = image.GetAlarmDelay();
    } else {
        image.SetLogInterval(wanted);
        stored = (b[62] >> 4) & 7;
        got = image.GetLogInterval();
    }
    QCOMPARE(stored, code);
    QCOMPARE(got, readBack);
}

void TestSettingsImage::calGas_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<int>("units0");     // Display Units of HC range 0
    QTest::addColumn<int>("units1");     // and of range 1
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("readBack");

    QTest::newRow("HC %LEL 40") << 1 << 1 << 1 << 40.0 << 7 << 40.0;
    QTest::newRow("HC %LEL 42 truncates") << 1 << 1 << 1 << 42.0 << 7 << 40.0;
    QTest::newRow("HC %VOL 0.3") << 1 << 2 << 1 << 0.3 << 0 << 0.3;
    QTest::newRow("HC %VOL 0.8") << 1 << 2 << 1 << 0.8 << 2 << 0.8;
    QTest::newRow("HC %VOL 2.3") << 1 << 2 << 1 << 2.3 << 8 << 2.3;
    QTest::newRow("HC %VOL 4.0") << 1 << 2 << 1 << 4.0 << 15 << 4.0;
    QTest::newRow("HC %LOW 1.3") << 1 << 16 << 1 << 1.3 << 4 << 1.3;
    QTest::newRow("HC %GAS uses range 1 %VOL") << 1 << 8 << 2 << 2.0 << 7 << 2.0;
    QTest::newRow("HC %HI uses range 1 %LEL") << 1 << 32 << 1 << 50.0 << 9 << 50.0;
    QTest::newRow("O2 truncates") << 2 << 1 << 1 << 7.9 << 7 << 7.0;
    // Toxic 1 is CO with Fraction 1 (gases 10, 20, 50, 100); Toxic 2 is H2
    // with Fraction 10 (1, 2, 5, 10).
    QTest::newRow("toxic exact choice") << 3 << 1 << 1 << 50.0 << 2 << 50.0;
    QTest::newRow("toxic next above") << 3 << 1 << 1 << 21.0 << 2 << 50.0;
    QTest::newRow("toxic none above") << 3 << 1 << 1 << 500.0 << 0 << 10.0;
    QTest::newRow("toxic fraction 10") << 4 << 1 << 1 << 2.0 << 1 << 2.0;
}

void TestSettingsImage::calGas()
{
    QFETCH(int, sensor);
    QFETCH(int, units0);
    QFETCH(int, units1);
    QFETCH(double, value);
    QFETCH(int, code);
    QFETCH(double, readBack);

    CWordImage words;
    WriteRange(words, 0, 5, units0);
    WriteRange(words, 1, 100, units1);
    S image(words);
    FillToxicTable(image);
    image.SetSensorGas(S::SensorToxic1, 1);
    image.SetSensorGas(S::SensorToxic2, 2);

    image.SetCalGas(sensor, value);
    QCOMPARE(image.GetCalGasCode(sensor), code);
    QCOMPARE(image.GetCalGas(sensor), readBack);
}

void TestSettingsImage::passwords_data()
{
    QTest::addColumn<int>("which"); // 0 CalWord, 1 PassWord, 2 LogWord
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("not a number") << 0 << "abc" << 1023 << "***";
    QTest::newRow("stars") << 1 << "***" << 1023 << "***";
    QTest::newRow("empty") << 2 << "" << 1023 << "***";
    QTest::newRow("one digit") << 0 << "7" << 7 << "007";
    QTest::newRow("leading zero") << 1 << "012" << 12 << "012";
    QTest::newRow("leading number only") << 2 << " 42x" << 42 << "042";
    QTest::newRow("999") << 0 << "999" << 999 << "999";
    QTest::newRow("1000 hidden") << 1 << "1000" << 1000 << "***";
    QTest::newRow("cut to 10 bits") << 2 << "1025" << 1 << "001";
    QTest::newRow("high half only") << 0 << "992" << 992 << "992";
}

void TestSettingsImage::passwords()
{
    QFETCH(int, which);
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(QString, shown);

    CWordImage words;
    S image(words);
    const int low = 38 + 2 * which;
    QString got;
    switch (which) {
    case 0: image.SetCalWord(text); got = image.GetCalWord(); break;
    case 1: image.SetPassWord(text); got = image.GetPassWord(); break;
    default: image.SetLogWord(text); got = image.GetLogWord(); break;
    }
    QCOMPARE(got, shown);
    // Bits 0-4 in bits 10-14 of the first word, bits 5-9 in the word 14 bytes on.
    const int stored = ((BlockWord(image, low) >> 10) & 0x1F) | (((BlockWord(image, low + 14) >> 10) & 0x1F) << 5);
    QCOMPARE(stored, value);
}

// ---------------------------------------------------------------- dates and clock

void TestSettingsImage::lastCalDate_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("day");
    QTest::addColumn<QDate>("shown");

    QTest::newRow("31 Dec read on 1 Jan") << At(2024, 1, 1, 9) << QDate(2023, 12, 31) << 365 << QDate(2023, 12, 31);
    QTest::newRow("today") << At(2023, 7, 4, 0, 0, 1) << QDate(2023, 7, 4) << 185 << QDate(2023, 7, 4);
    QTest::newRow("tomorrow means last year") << At(2023, 7, 4) << QDate(2023, 7, 5) << 186 << QDate(2022, 7, 5);
    QTest::newRow("1 Jan") << At(2023, 3, 1) << QDate(2023, 1, 1) << 1 << QDate(2023, 1, 1);
    QTest::newRow("invalid stores 0") << At(2023, 3, 1) << QDate() << 0 << QDate(2022, 12, 31);
}

void TestSettingsImage::lastCalDate()
{
    QFETCH(QDateTime, now);
    QFETCH(QDate, date);
    QFETCH(int, day);
    QFETCH(QDate, shown);

    CWordImage words;
    S image(words, [now] { return now; });
    image.TimeKeeperBytes().fill(0xFF);
    image.SetLastCalDate(date);
    QCOMPARE(BlockWord(image, 58) & 0x1FF, day);
    QCOMPARE(image.GetLastCalDate(), shown);
}

void TestSettingsImage::clockKeepsForeignBits()
{
    CWordImage words;
    S image(words);
    auto &b = image.TimeKeeperBytes();
    b[0] = 0xA5; // bit 7 is the oscillator's, not ours
    b[2] = 0xC7; // bits 6-7 likewise
    b[3] = 0x5A; // day of week
    b[7] = 0x3C; // control
    b[8] = 0x11;

    image.SetClock(At(2023, 12, 31, 23, 59, 58));
    QCOMPARE(image.TimeKeeperPiece(0, 9), QByteArray::fromHex("d859e35a311223" "3c11"));
    QCOMPARE(image.GetClock(), At(2023, 12, 31, 23, 59, 58));

    image.SetClock(At(1999, 1, 2, 3, 4, 5));
    QCOMPARE(image.TimeKeeperPiece(0, 7), QByteArray::fromHex("8504c3" "5a020199"));
    QCOMPARE(image.GetClock(), At(1999, 1, 2, 3, 4, 5));

    const auto before = b;
    image.SetClock(QDateTime());
    QVERIFY(b == before);
}

void TestSettingsImage::clockDecode_data()
{
    QTest::addColumn<QByteArray>("registers"); // bytes 0-6
    QTest::addColumn<QDateTime>("expected");

    QTest::newRow("70 is 1970") << QByteArray::fromHex("00000000010170") << At(1970, 1, 1, 0);
    QTest::newRow("99 is 1999") << QByteArray::fromHex("00000000010199") << At(1999, 1, 1, 0);
    QTest::newRow("00 is 2000") << QByteArray::fromHex("00000000010100") << At(2000, 1, 1, 0);
    QTest::newRow("38 is 2038") << QByteArray::fromHex("00000000010138") << At(2038, 1, 1, 0);
    QTest::newRow("39 gives 1970") << QByteArray::fromHex("00000000010139") << At(1970, 1, 1, 0);
    QTest::newRow("erased gives 1970 start") << QByteArray(7, char(0xFF)) << At(1970, 1, 1, 0, 0, 0);
    QTest::newRow("masked bits ignored") << QByteArray::fromHex("d959e3ff311223") << At(2023, 12, 31, 23, 59, 59);
    QTest::newRow("month 13 day 0") << QByteArray::fromHex("00000000001323") << At(2023, 1, 1, 0);
    QTest::newRow("hour 24 minute 60 second 60") << QByteArray::fromHex("60602400150623") << At(2023, 6, 15, 0);
    QTest::newRow("31 February") << QByteArray::fromHex("00001200310223") << At(2023, 2, 28, 12);
}

void TestSettingsImage::clockDecode()
{
    QFETCH(QByteArray, registers);
    QFETCH(QDateTime, expected);

    CWordImage words;
    S image(words);
    QCOMPARE(image.StoreTimeKeeper(0, registers), 7);
    QCOMPARE(image.GetClock(), expected);
}

// ---------------------------------------------------------------- bit isolation

void TestSettingsImage::settersTouchOnlyTheirBits_data()
{
    // Which bits a setter owns: pairs of (even byte offset, 16-bit word mask).
    QTest::addColumn<QString>("field");
    QTest::addColumn<QList<int>>("masks");

    auto row = [](const char *f, QList<int> m) { QTest::newRow(f) << QString::fromLatin1(f) << m; };
    row("CalOffset1-2", {12, 0xFFFF});
    row("CalOffset4", {20, 0xFFFF});
    row("CalSpan3", {26, 0xFFC0});
    row("CalDac1", {32, 0xFC00, 46, 0xFC00});
    row("HighAlarm1-3", {36, 0x03FF});
    row("HighAlarm2", {38, 0x03FF});
    row("WarningAlarm1-0", {44, 0x03FF});
    row("WarningAlarm4", {56, 0x03FF});
    row("CalGas1", {22, 0x000F});
    row("CalGas2", {24, 0x000F});
    row("CalGas3", {26, 0x0003});
    row("CalGas4", {28, 0x0003});
    row("HCRangeIndex", {22, 0x0030});
    row("O2AlarmConfiguration", {24, 0x0030});
    row("AlarmDelay", {26, 0x000C});
    row("ComfortAlert", {26, 0x0030});
    row("CalWord", {38, 0x7C00, 52, 0x7C00});
    row("PassWord", {40, 0x7C00, 54, 0x7C00});
    row("LogWord", {42, 0x7C00, 56, 0x7C00});
    row("AlarmLatch", {38, 0x8000});
    row("LunchBreak", {40, 0x8000});
    row("BumpTest", {42, 0x8000});
    row("TemperatureAlarm", {56, 0x8000});
    row("LastCalDate", {58, 0x01FF});
    row("CalInterval", {58, 0x7E00});
    row("Sensor3 gas", {60, 0x000F});
    row("Sensor4 gas", {60, 0x00F0});
    row("Sensor1", {60, 0x0100});
    row("Sensor4", {60, 0x0800});
    row("BackLightDelay", {60, 0xF000});
    row("OperatorIndex", {62, 0x000F});
    row("LogInterval", {62, 0x0070});
    row("LogMemoryManager", {62, 0x0080});
    row("LocationIndex", {62, 0x3F00});
    row("LogAverages", {62, 0xC000});
    row("clock", {0, 0xFF7F, 2, 0x003F, 4, 0xFFFF, 6, 0x00FF});
}

void TestSettingsImage::settersTouchOnlyTheirBits()
{
    QFETCH(QString, field);
    QFETCH(QList<int>, masks);

    std::array<quint8, S::TimeKeeperSize> owned{};
    for (int i = 0; i + 1 < masks.size(); i += 2) {
        owned[size_t(masks[i])] |= quint8(masks[i + 1] & 0xFF);
        owned[size_t(masks[i]) + 1] |= quint8(masks[i + 1] >> 8);
    }

    CWordImage words;
    for (int r = 0; r < 4; ++r)
        WriteRange(words, r, 100, CRangeRecord::UnitLel);
    // Both bit states everywhere: a pattern and its complement.
    bool changed = false;
    for (bool invert : {false, true}) {
        S image(words, [] { return At(2023, 6, 1); });
        FillToxicTable(image);
        std::array<quint8, S::TimeKeeperSize> pattern;
        for (int i = 0; i < S::TimeKeeperSize; ++i)
            pattern[size_t(i)] = quint8((i * 37 + 11) ^ (invert ? 0xFF : 0));
        image.TimeKeeperBytes() = pattern;

        if (field == "CalOffset1-2") image.SetCalOffset(1, 2, 0xFFFF);
        else if (field == "CalOffset4") image.SetCalOffset(4, S::CurrentRange, 0xFFFF);
        else if (field == "CalSpan3") image.SetCalSpan(3, 0xFFFF);
        else if (field == "CalDac1") image.SetCalDac(1, 0xFFF);
        else if (field == "HighAlarm1-3") image.SetHighAlarm(1, 3, 1023);
        else if (field == "HighAlarm2") image.SetHighAlarm(2, S::CurrentRange, 102.3);
        else if (field == "WarningAlarm1-0") image.SetWarningAlarm(1, 0, 1023);
        else if (field == "WarningAlarm4") image.SetWarningAlarm(4, S::CurrentRange, 1e6);
        else if (field == "CalGas1") image.SetCalGas(1, 80);
        else if (field == "CalGas2") image.SetCalGas(2, 15);
        else if (field == "CalGas3") image.SetCalGas(3, 100);
        else if (field == "CalGas4") image.SetCalGas(4, 1000);
        else if (field == "HCRangeIndex") image.SetHCRangeIndex(3);
        else if (field == "O2AlarmConfiguration") image.SetO2AlarmConfiguration(3);
        else if (field == "AlarmDelay") image.SetAlarmDelay(5);
        else if (field == "ComfortAlert") image.SetComfortAlert(3);
        else if (field == "CalWord") image.SetCalWord("***");
        else if (field == "PassWord") image.SetPassWord("***");
        else if (field == "LogWord") image.SetLogWord("***");
        else if (field == "AlarmLatch") image.SetAlarmLatch(7);
        else if (field == "LunchBreak") image.SetLunchBreak(7);
        else if (field == "BumpTest") image.SetBumpTest(7);
        else if (field == "TemperatureAlarm") image.SetTemperatureAlarm(7);
        else if (field == "LastCalDate") image.SetLastCalDate(QDate(2020, 12, 31));
        else if (field == "CalInterval") image.SetCalInterval(399);
        else if (field == "Sensor3 gas") image.SetSensorGas(3, 15);
        else if (field == "Sensor4 gas") image.SetSensorGas(4, 15);
        else if (field == "Sensor1") image.SetSensor(1, 5);
        else if (field == "Sensor4") image.SetSensor(4, 5);
        else if (field == "BackLightDelay") image.SetBackLightDelay(600);
        else if (field == "OperatorIndex") image.SetOperatorIndex(16);
        else if (field == "LogInterval") image.SetLogInterval(900);
        else if (field == "LogMemoryManager") image.SetLogMemoryManager(1);
        else if (field == "LocationIndex") image.SetLocationIndex(64);
        else if (field == "LogAverages") image.SetLogAverages(3);
        else if (field == "clock") image.SetClock(At(2099, 12, 31, 23, 59, 59));
        else QFAIL("unknown field");

        const auto &after = image.TimeKeeperBytes();
        for (int i = 0; i < S::TimeKeeperSize; ++i) {
            const quint8 diff = after[size_t(i)] ^ pattern[size_t(i)];
            if (diff & ~owned[size_t(i)])
                QFAIL(qPrintable(QStringLiteral("byte %1 changed outside the field: %2 -> %3")
                                     .arg(i).arg(pattern[size_t(i)], 2, 16).arg(after[size_t(i)], 2, 16)));
            changed |= diff != 0;
        }
    }
    QVERIFY2(changed, "the setter wrote nothing");
}

// ---------------------------------------------------------------- ID table

void TestSettingsImage::idEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");

    QTest::newRow("20 characters cut") << 1 << "ABCDEFGHIJKLMNOPQRST" << "ABCDEFGHIJKLMNOP";
    QTest::newRow("short padded") << 65 << "AB" << "AB              ";
    QTest::newRow("empty") << 81 << "" << "                ";
    QTest::newRow("entry 0 ignored") << 0 << "X" << "";
    QTest::newRow("entry 82 ignored") << 82 << "X" << "";
}

void TestSettingsImage::idEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(QString, stored);

    CWordImage words;
    S image(words);
    image.SetIdEntry(entry, text);
    QCOMPARE(image.IdEntry(entry), stored);
    QCOMPARE(image.IdEntryBytes(entry), stored.toLatin1());

    // The same from received characters.
    S received(words);
    received.StoreIdEntry(entry, text.toLatin1());
    QCOMPARE(received.IdEntry(entry), stored);
}

// ---------------------------------------------------------------- toxic table

void TestSettingsImage::toxicTable()
{
    CWordImage words;
    S image(words);
    QCOMPARE(image.ToxicGasName(0), QStringLiteral("   ")); // nothing uploaded yet

    image.SetToxicCount(3);
    // The name's words arrive byte-swapped: "2H", then " " in the high byte.
    QCOMPARE(image.StoreToxicChunk(2, 0, QByteArray("2H\x00 ", 4)), 4);
    QCOMPARE(image.ToxicGasName(2), QStringLiteral("H2 "));
    QCOMPARE(image.StoreToxicChunk(1, 0, QByteArray("OC\x00 ", 4)), 4);
    QCOMPARE(image.StoreToxicChunk(0, 0, QByteArray("--\x00-", 4)), 4);

    // Chunks stay inside their record and the table.
    QCOMPARE(image.StoreToxicChunk(1, 80, QByteArray(20, char(0x12))), 14);
    QCOMPARE(image.ToxicRecord(1).SpanAttenuation(), 0x1212);
    QCOMPARE(image.StoreToxicChunk(1, 94, QByteArray(2, 1)), 0);
    QCOMPARE(image.StoreToxicChunk(3, 0, QByteArray(2, 1)), 0);
    QCOMPARE(image.StoreToxicChunk(-1, 0, QByteArray(2, 1)), 0);
    QCOMPARE(image.ToxicCount(), 3);

    // Beyond the table: record 0.
    QCOMPARE(image.ToxicGasName(7), QStringLiteral("---"));

    image.SetSensorGas(S::SensorToxic1, 2);
    image.SetSensorGas(S::SensorToxic2, 9);
    QCOMPARE(image.SensorGasName(S::SensorToxic1), QStringLiteral("---")); // not fitted
    image.SetSensor(S::SensorToxic1, 1);
    image.SetSensor(S::SensorToxic2, 1);
    QCOMPARE(image.SensorGasName(S::SensorToxic1), QStringLiteral("H2 "));
    QCOMPARE(image.SensorUnits(S::SensorToxic1), QStringLiteral("%  "));
    QCOMPARE(image.SensorGasName(S::SensorToxic2), QStringLiteral("---"));
    QCOMPARE(image.SensorUnits(S::SensorToxic2), QStringLiteral("PPM"));

    QCOMPARE(image.FindToxicGas(QStringLiteral("CO")), 1);
    QCOMPARE(image.FindToxicGas(QStringLiteral("co")), 0);
    QCOMPARE(image.FindToxicGas(QStringLiteral("H2")), 2);
}

void TestSettingsImage::rangeRecordLayout()
{
    CWordImage words;
    // Range 1 as the instrument sends it: flags 0x00B6 (auto range, not CH4/Hex,
    // next range 3, double click 2), "NMC ", supply ME, %LEL, pots 1..6,
    // full scale 100, alarms 5 and 95.
    words.Store(0xC02A, QByteArray::fromHex("b6004e4d432002010102030405066400050" "05f00"));
    S image(words);
    const CRangeRecord r = image.RangeRecord(1);
    QVERIFY(!r.NotInUse());
    QVERIFY(r.AutoRange());
    QVERIFY(r.NotCh4Hex());
    QCOMPARE(r.NextRange(), 3);
    QCOMPARE(r.DoubleClickRange(), 2);
    QCOMPARE(r.Label(), QStringLiteral("NMC "));
    QCOMPARE(r.HCSupply(), 2);
    QCOMPARE(r.DisplayUnits(), 1);
    QCOMPARE(r.Pot(1), 1);
    QCOMPARE(r.Pot(6), 6);
    QCOMPARE(r.FullScale(), 100);
    QCOMPARE(r.AlarmMinimum(), 5);
    QCOMPARE(r.AlarmMaximum(), 95);
    QCOMPARE(image.RangeName(1), QStringLiteral("NMC "));
    // Outside 0..3 the lookups use record 0, still erased here.
    QCOMPARE(image.RangeRecord(4).Bytes(), image.RangeRecord(0).Bytes());
    QVERIFY(!image.Toxic2CarriesTC());
    WriteRange(words, 0, 100, CRangeRecord::UnitGas, CRangeRecord::SupplyTc);
    QVERIFY(image.Toxic2CarriesTC());
}

void TestSettingsImage::blockTouchesRange_data()
{
    QTest::addColumn<qint64>("word");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("range");
    QTest::addColumn<bool>("touches");

    QTest::newRow("first read, range 0") << qint64(0xC020) << 16 << 0 << true;
    QTest::newRow("first read, range 1") << qint64(0xC020) << 16 << 1 << false;
    QTest::newRow("second read, range 0") << qint64(0xC028) << 16 << 0 << true;
    QTest::newRow("second read, range 1") << qint64(0xC028) << 16 << 1 << true;
    QTest::newRow("ending at the record counts") << qint64(0xC018) << 16 << 0 << true;
    QTest::newRow("starting after it") << qint64(0xC034) << 16 << 1 << false;
    QTest::newRow("last read, range 3") << qint64(0xC040) << 16 << 3 << true;
    QTest::newRow("range 4") << qint64(0xC040) << 16 << 4 << false;
}

void TestSettingsImage::blockTouchesRange()
{
    QFETCH(qint64, word);
    QFETCH(int, bytes);
    QFETCH(int, range);
    QFETCH(bool, touches);
    QCOMPARE(S::BlockTouchesRangeRecord(word, bytes, range), touches);
}

QTEST_GUILESS_MAIN(TestSettingsImage)
#include "tst_settingsimage.moc"
