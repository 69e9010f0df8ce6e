// Log record decoding: kinds, packed values, over-range, battery, dates,
// event parameters and texts, and records shorter than they should be.
#include "datalog/LogDecoder.h"
#include "datalog/LogList.h"
#include "datalog/LogText.h"

#include <QtTest>

namespace {
// Toxic 1 "CO" in whole units, Toxic 2 "H2S" in tenths, HC range in tenths.
const LogSensors Sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 50);

QByteArray Bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QStringList ValueCells(const LogRecord &entry)
{
    QStringList cells;
    for (int column = LogList::HC; column < LogList::ColumnCount; ++column)
        cells.append(LogList::Cell(entry, column, Sensors));
    return cells;
}

LogRecord DecodeOne(const QByteArray &bytes, LogDecoder *decoder = nullptr)
{
    LogDecoder own(Sensors);
    QList<LogRecord> entries;
    (decoder ? decoder : &own)->Decode(bytes, entries);
    return entries.value(0);
}
} // namespace

class TestLogDecoder : public QObject
{
    Q_OBJECT
private slots:
    void kinds_data();
    void kinds();
    void dataValues_data();
    void dataValues();
    void eventTexts_data();
    void eventTexts();
    void runningDate_data();
    void runningDate();
    void truncated_data();
    void truncated();
    void emptyRecord();
};

void TestLogDecoder::kinds_data()
{
    QTest::addColumn<int>("byte0");
    QTest::addColumn<int>("kind"); // -1: no entry

    QTest::newRow("00 data") << 0x00 << int(LogRecord::Data);
    QTest::newRow("23 data at hour 23") << 0x23 << int(LogRecord::Data);
    QTest::newRow("0A illegal") << 0x0A << int(LogRecord::Illegal);
    QTest::newRow("1F illegal") << 0x1F << int(LogRecord::Illegal);
    QTest::newRow("24 recoverable event") << 0x24 << int(LogRecord::RecoverableEvent);
    QTest::newRow("25 config") << 0x25 << int(LogRecord::Config);
    QTest::newRow("2A config") << 0x2A << int(LogRecord::Config);
    QTest::newRow("2B illegal") << 0x2B << int(LogRecord::Illegal);
    QTest::newRow("7F filler") << 0x7F << -1;
    QTest::newRow("80 event") << 0x80 << int(LogRecord::Event);
    QTest::newRow("A3 event at hour 23") << 0xA3 << int(LogRecord::Event);
    QTest::newRow("8A illegal") << 0x8A << int(LogRecord::Illegal);
    QTest::newRow("A4 illegal") << 0xA4 << int(LogRecord::Illegal);
    QTest::newRow("FF illegal") << 0xFF << int(LogRecord::Illegal);
}

void TestLogDecoder::kinds()
{
    QFETCH(int, byte0);
    QFETCH(int, kind);
    LogDecoder decoder(Sensors);
    QList<LogRecord> entries;
    const QByteArray record = char(byte0) + Bytes("00000000000000");
    QCOMPARE(decoder.Decode(record, entries), kind >= 0);
    QCOMPARE(entries.size(), kind >= 0 ? 1 : 0);
    if (kind >= 0) {
        QCOMPARE(int(entries.at(0).kind), kind);
        QCOMPARE(entries.at(0).raw, record);
    }
}

void TestLogDecoder::dataValues_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("type");
    // HC, O2, CO, H2S, CO STEL, H2S STEL, CO TWA, H2S TWA, Battery
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("HC, O2, both toxics, battery")
        << Bytes("140530" "0F00" "0C00" "D1" "00" "00" "075F") << "Data (%LEL)"
        << QStringList{"12", "20.9", "0", "0.0", "", "", "", "", "3.712"};
    QTest::newRow("no battery when the values fill the record")
        << Bytes("140530" "0300" "0C00" "D1") << "Data (%LEL)"
        << QStringList{"12", "20.9", "", "", "", "", "", "", ""};
    QTest::newRow("one byte over the values is no battery")
        << Bytes("140530" "0300" "0C00" "D1" "07") << "Data (%LEL)"
        << QStringList{"12", "20.9", "", "", "", "", "", "", ""};
    QTest::newRow("range 7 keeps no unit and shows no HC")
        << Bytes("140530" "0101" "23C1") << "Data"
        << QStringList{"", "", "", "", "", "", "", "", ""};
    QTest::newRow("%VOL counts tenths") << Bytes("140530" "0100" "1940") << "Data (%VOL)"
                                        << QStringList{"2.5", "", "", "", "", "", "", "", ""};
    QTest::newRow("%LOW via the range bit in byte 4") << Bytes("140530" "0101" "1900") << "Data (%LOW)"
                                                      << QStringList{"2.5", "", "", "", "", "", "", "", ""};
    QTest::newRow("PPM") << Bytes("140530" "0100" "1080") << "Data (PPM)"
                         << QStringList{"16", "", "", "", "", "", "", "", ""};
    QTest::newRow("HC 3FFF over-range") << Bytes("140530" "0100" "FF3F") << "Data (%LEL)"
                                        << QStringList{"XXX", "", "", "", "", "", "", "", ""};
    QTest::newRow("HC 7FFF over-range") << Bytes("140530" "0100" "FF7F") << "Data (%VOL)"
                                        << QStringList{"XXX", "", "", "", "", "", "", "", ""};
    QTest::newRow("HC BFFF over-range") << Bytes("140530" "0100" "FFBF") << "Data (PPM)"
                                        << QStringList{"XXX", "", "", "", "", "", "", "", ""};
    QTest::newRow("HC FFFF over-range") << Bytes("140530" "0101" "FFFF") << "Data"
                                        << QStringList{"XXX", "", "", "", "", "", "", "", ""};
    QTest::newRow("O2 511 over-range") << Bytes("140530" "0202" "FF") << "Data"
                                       << QStringList{"", "XXX", "", "", "", "", "", "", ""};
    QTest::newRow("O2 bit 8") << Bytes("140530" "0202" "00") << "Data"
                              << QStringList{"", "25.6", "", "", "", "", "", "", ""};
    QTest::newRow("STEL and TWA in mask order, each with its bit 8")
        << Bytes("140530" "F0A0" "01" "02" "03" "04") << "Data"
        << QStringList{"", "", "", "", "1", "25.8", "3", "26.0", ""};
    QTest::newRow("toxic 511 over-range") << Bytes("140530" "0C0C" "FF" "FF") << "Data"
                                          << QStringList{"", "", "XXX", "XXX", "", "", "", "", ""};
}

void TestLogDecoder::dataValues()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, type);
    QFETCH(QStringList, cells);
    const LogRecord entry = DecodeOne(record);
    QCOMPARE(entry.kind, LogRecord::Data);
    QVERIFY(!entry.truncated);
    QCOMPARE(LogList::Cell(entry, LogList::Type, Sensors), type);
    QCOMPARE(ValueCells(entry), cells);
}

void TestLogDecoder::eventTexts_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("cells"); // HC, O2, CO, H2S

    const QStringList none{"", "", "", ""};
    QTest::newRow("3 fixed text") << Bytes("80000003") << "Cal reminder on" << none;
    QTest::newRow("4 percent full") << Bytes("800000042D00") << "End of log - 45% full" << none;
    QTest::newRow("7 operator padded to 16") << Bytes("80000007") + "JOHN" + '\0'
                                            << "Operator JOHN            " << none;
    QTest::newRow("9 instrument, 16 used of more") << Bytes("80000009") + "ABCDEFGHIJKLMNOPQR"
                                                  << "Instrument ABCDEFGHIJKLMNOP" << none;
    QTest::newRow("24 completed, no unit") << Bytes("80000018") << "Bump test completed" << none;
    QTest::newRow("26 battery gauge") << Bytes("8000001A2C01") << "Battery gauge = 300" << none;
    QTest::newRow("29 enabled sensors") << Bytes("8000001D0B00") << "Enabled sensors"
                                        << QStringList{"On", "On", "Off", "On"};
    QTest::newRow("30 bump values by mask") << Bytes("8000001E" "0D" "0C00" "D1" "05" "21")
                                            << "Bump test values"
                                            << QStringList{"12", "", "5", "3.3"};
    QTest::newRow("30 values the mask leaves out may be missing") << Bytes("8000001E" "03" "0C00" "D1")
                                                                  << "Bump test values" << QStringList{"12", "20.9", "", ""};
    QTest::newRow("31 %VOL with bits 8") << Bytes("8000001F" "EF" "1940" "00" "01" "02")
                                         << "Before cal values (%VOL)"
                                         << QStringList{"2.5", "25.6", "257", "25.8"};
    QTest::newRow("32 range bit 2 gives %HI") << Bytes("80000020" "11" "1940" "00" "00" "00")
                                              << "After cal values (%HI)"
                                              << QStringList{"25", "", "", ""};
    QTest::newRow("33 HC failed, O2 absent, CO passed") << Bytes("800000210501") << "Cal results"
                                                        << QStringList{"Fail", "", "Pass", ""};
    QTest::newRow("33 weak and fail bits") << Bytes("800000210742") << "Cal results"
                                           << QStringList{"Pass", "Fail", "Weak", ""};
    QTest::newRow("63 HC maximum in tenths") << Bytes("8000003F7B00040615") << "HC maximum"
                                             << QStringList{"12.3", "", "", ""};
    QTest::newRow("79 O2 minimum") << Bytes("8000004FC800040615") << "O2 minimum"
                                   << QStringList{"", "20.0", "", ""};
    QTest::newRow("67 HC gas") << Bytes("80000043") + "Methane" + '\0' << "HC gas is Methane" << none;
    QTest::newRow("101 toxic 1 warning") << Bytes("80000065") + "CO" + '\0' << "CO warning alarm on" << none;
    QTest::newRow("105 name of 3 without end") << Bytes("80000069") + "H2S"
                                               << "H2S STEL alarm on" << none;
    QTest::newRow("113 with 2-character name") << Bytes("80000071") + "CO" + Bytes("00" "2C01" "040615")
                                               << "CO maximum" << QStringList{"", "", "300", ""};
    QTest::newRow("133 toxic 2 maximum") << Bytes("80000085") + "H2S" + Bytes("00" "0A00" "040615")
                                         << "H2S maximum" << QStringList{"", "", "", "1.0"};
    QTest::newRow("136 toxic 2 zero") << Bytes("80000088") + "H2S" << "H2S zero following adjustment" << none;
    QTest::newRow("114 no text") << Bytes("80000072") + "CO" << "" << none;
    QTest::newRow("200 unknown code") << Bytes("800000C8") << "" << none;
}

void TestLogDecoder::eventTexts()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, type);
    QFETCH(QStringList, cells);
    const LogRecord entry = DecodeOne(record);
    QCOMPARE(entry.kind, LogRecord::Event);
    QVERIFY(!entry.truncated);
    QCOMPARE(LogList::Cell(entry, LogList::Type, Sensors), type);
    QCOMPARE(ValueCells(entry).first(4), cells);
}

void TestLogDecoder::runningDate_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("time"); // of the entry, yyyy-MM-dd HH:mm:ss
    QTest::addColumn<QDate>("after");  // running date after it

    const QDate start(2004, 6, 15);
    QTest::newRow("data keeps the date") << Bytes("235959" "0000") << "2004-06-15 23:59:59" << start;
    QTest::newRow("config hour 25 is the next day") << Bytes("250102") << "2004-06-16 01:01:02" << start;
    QTest::newRow("power on 99-12-31") << Bytes("92000002991231") << "1999-12-31 12:00:00" << QDate(1999, 12, 31);
    QTest::newRow("power on 00-01-01") << Bytes("80000001000101") << "2000-01-01 00:00:00" << QDate(2000, 1, 1);
    QTest::newRow("date event 13") << Bytes("8000000D051130") << "2005-11-30 00:00:00" << QDate(2005, 11, 30);
    QTest::newRow("63 date after its word") << Bytes("8130003F7B00060102") << "2006-01-02 01:30:00" << QDate(2006, 1, 2);
    QTest::newRow("113 date after the name") << Bytes("80000071") + "CO" + Bytes("00" "2C01" "070304")
                                             << "2007-03-04 00:00:00" << QDate(2007, 3, 4);
    QTest::newRow("month 13 rolls into the next year") << Bytes("80000000041301") << "2005-01-01 00:00:00" << QDate(2005, 1, 1);
    QTest::newRow("day 0 is the last of the month before") << Bytes("80000000040300") << "2004-02-29 00:00:00" << QDate(2004, 2, 29);
    QTest::newRow("nibbles above 9 taken as they come") << Bytes("0A1A00" "0000") << "2004-06-15 10:20:00" << start;
}

void TestLogDecoder::runningDate()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, time);
    QFETCH(QDate, after);
    LogDecoder decoder(Sensors);
    decoder.SetRunningDate(QDate(2004, 6, 15));
    const LogRecord entry = DecodeOne(record, &decoder);
    QCOMPARE(entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), time);
    QCOMPARE(decoder.RunningDate(), after);
}

void TestLogDecoder::truncated_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("cells"); // HC, O2, CO, H2S
    QTest::addColumn<QDate>("after");

    const QStringList none{"", "", "", ""};
    const QDate start(2004, 6, 15);
    const QString cut = LogText::TruncatedMarker;
    QTest::newRow("data missing its O2 byte") << Bytes("140000" "0300" "0C00") << "Data (%LEL)" + cut
                                              << QStringList{"12", "", "", ""} << start;
    QTest::newRow("data missing half its HC word") << Bytes("140000" "0100" "0C") << "Data" + cut << none << start;
    QTest::newRow("data without mask") << Bytes("140000") << "Data" + cut << none << start;
    QTest::newRow("one byte") << Bytes("14") << "Data" + cut << none << start;
    QTest::newRow("illegal byte alone") << Bytes("FF") << "Illegal record" + cut << none << start;
    QTest::newRow("event without code") << Bytes("800000") << cut << none << start;
    QTest::newRow("power on without date") << Bytes("8000000299") << "Powered on - averages reset" + cut << none << start;
    QTest::newRow("operator cut short") << Bytes("80000007") + "AB" << "Operator AB              " + cut << none << start;
    QTest::newRow("percent without word") << Bytes("8000000405") << "End of log - 0% full" + cut << none << start;
    QTest::newRow("bump values missing Toxic 2") << Bytes("8000001E" "0F" "0C00" "D1" "05") << "Bump test values" + cut
                                                 << QStringList{"12", "20.9", "5", "0.0"} << start;
    QTest::newRow("63 without its date") << Bytes("8000003F7B00") << "HC maximum" + cut
                                         << QStringList{"12.3", "", "", ""} << start;
    QTest::newRow("113 name without end") << Bytes("80000071") + "CO" << "CO maximum" + cut << QStringList{"", "", "0", ""} << start;
    QTest::newRow("113 date cut") << Bytes("80000071") + "CO" + Bytes("00" "2C01" "0703")
                                  << "CO maximum" + cut << QStringList{"", "", "300", ""} << start;
    QTest::newRow("toxic name cut") << Bytes("8000006543") << "C warning alarm on" + cut << none << start;
}

void TestLogDecoder::truncated()
{
    QFETCH(QByteArray, record);
    QFETCH(QString, type);
    QFETCH(QStringList, cells);
    QFETCH(QDate, after);
    LogDecoder decoder(Sensors);
    decoder.SetRunningDate(QDate(2004, 6, 15));
    const LogRecord entry = DecodeOne(record, &decoder);
    QVERIFY(entry.truncated);
    QCOMPARE(LogList::Cell(entry, LogList::Type, Sensors), type);
    QCOMPARE(ValueCells(entry).first(4), cells);
    QCOMPARE(decoder.RunningDate(), after);
}

void TestLogDecoder::emptyRecord()
{
    LogDecoder decoder(Sensors);
    decoder.SetRunningDate(QDate(2004, 6, 15));
    QList<LogRecord> entries;
    QVERIFY(decoder.Decode(QByteArrayView(), entries));
    QCOMPARE(entries.constLast().kind, LogRecord::Illegal);
    QCOMPARE(entries.constLast().time, QDateTime(QDate(2004, 6, 15), QTime(0, 0), Qt::UTC));

    decoder.Decode(Bytes("143000" "0000"), entries);
    QVERIFY(decoder.Decode(QByteArray(), entries));
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.constLast().time, entries.at(1).time);
    QCOMPARE(LogList::Cell(entries.constLast(), LogList::Type, Sensors), QStringLiteral("Illegal record"));
}

QTEST_GUILESS_MAIN(TestLogDecoder)
#include "tst_logdecoder.moc"
