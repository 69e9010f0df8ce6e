// The data-log file: the golden row, a whole upload against its golden files,
// save and load giving back the same list, sessions and chart values, event
// parameters read back, values read without a toxic table, reading in steps
// and in the background giving the same entries as in one piece, splitting,
// dates, bad input and file errors.
#include "HistoryEngines.h"
#include "SimLogGenerator.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvLoad.h"
#include "datalog/LogCsvReader.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogList.h"
#include "datalog/LogPrint.h"
#include "datalog/LogSession.h"
#include "datalog/LogText.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
const QList<LogToxicGas> Table{{QStringLiteral("   "), 0}, {QStringLiteral("CO "), 1}, {QStringLiteral("H2S"), 10}};
constexpr int FullScale = 50; // HC maxima in tenths
const LogSensors Sensors = LogSensors::FromTable(Table, 1, 2, FullScale);
const QByteArray Heading = LogCsv::HeadingLine(Sensors) + "\r\n";

QString DataPath(const QString &name)
{
    const QString fallback = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../data");
    return qEnvironmentVariable("ALTAVO_TEST_DATA", fallback) + QStringLiteral("/log/") + name;
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records of a fixture: hex bytes and "quoted text" per line, '#' comments,
// <empty> for a record without bytes.
QList<QByteArray> ReadRecords(const QString &path)
{
    QList<QByteArray> records;
    for (QByteArray line : ReadFile(path).split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QByteArray record;
        for (qsizetype i = 0; i < line.size();) {
            if (line[i] == ' ') {
                ++i;
            } else if (line[i] == '"') {
                const qsizetype close = line.indexOf('"', i + 1);
                record += line.mid(i + 1, close - i - 1);
                i = close + 1;
            } else if (line[i] == '<') {
                i = line.size();
            } else {
                record += QByteArray::fromHex(line.mid(i, 2));
                i += 2;
            }
        }
        records.append(record);
    }
    return records;
}

// The upload as the log view builds it: start marker, records, end marker.
QList<LogRecord> DecodeFixture()
{
    LogDecoder decoder(Sensors);
    decoder.SetRunningDate(QDate(2004, 6, 15));
    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, QDateTime(QDate(2004, 6, 15), QTime(14, 0), Qt::UTC))};
    for (const QByteArray &record : ReadRecords(DataPath(QStringLiteral("upload.records"))))
        decoder.Decode(record, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, QDateTime(QDate(1999, 12, 31), QTime(1, 20), Qt::UTC)));
    return entries;
}

// Compares with a golden file, or rewrites it when asked to (see tests/data/log/README).
void CompareGolden(const QByteArray &actual, const QString &name)
{
    const QString path = DataPath(name);
    if (qEnvironmentVariableIsSet("ALTAVO_REGENERATE_GOLDEN")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(actual);
    }
    const QByteArray expected = ReadFile(path);
    QCOMPARE(actual.size(), expected.size());
    QCOMPARE(actual, expected);
}

QStringList RowTexts(const LogRecord &entry, const LogSensors &sensors)
{
    QStringList cells;
    for (int column = 0; column < LogList::ColumnCount; ++column)
        cells.append(LogList::Cell(entry, column, sensors));
    return cells;
}

LogCsvReader::Result ParseRows(const QByteArray &rows)
{
    return LogCsvReader(Table, FullScale).Parse(Heading + rows);
}

// A generated log of `records` records as "Save" writes it.
QByteArray GeneratedFile(int records)
{
    const QDateTime now(QDate(2026, 3, 2), QTime(17, 30), Qt::UTC);
    CSimLogGenerator::Settings settings;
    settings.operators = {"ANN", "BOB"};
    settings.locations = {"TANK 4", "PUMP ROOM"};
    return LogCsv::FileText(DecodedLog(CSimLogGenerator::Build(7, records, now, settings), Sensors, now), Sensors);
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

// Everything a reading gives except the error text, which names the file
// only when there is one.
void CompareResults(const LogCsvReader::Result &actual, const LogCsvReader::Result &expected)
{
    QCOMPARE(actual.Ok(), expected.Ok());
    QCOMPARE(actual.detail, expected.detail);
    QCOMPARE(actual.sensors, expected.sensors);
    QCOMPARE(actual.problems, expected.problems);
    QCOMPARE(actual.entries.size(), expected.entries.size());
    for (qsizetype i = 0; i < expected.entries.size(); ++i) {
        if (!(actual.entries.at(i) == expected.entries.at(i)))
            QFAIL(qPrintable(QStringLiteral("entry %1 differs").arg(i)));
    }
}

QList<int> ProblemLines(const LogCsvReader::Result &result)
{
    QList<int> lines;
    for (const LogCsvReader::Problem &problem : result.problems) {
        if (!lines.contains(problem.line))
            lines.append(problem.line);
    }
    return lines;
}
} // namespace

class TestLogCsv : public QObject
{
    Q_OBJECT
private slots:
    void goldenRow();
    void uploadGolden();
    void saveLoadRoundTrip();
    void eventsReadBack_data();
    void eventsReadBack();
    void withoutToxicTable_data();
    void withoutToxicTable();
    void readingInStepsGivesTheSameEntries_data();
    void readingInStepsGivesTheSameEntries();
    void backgroundLoadCancelsAndEnds();
    void split_data();
    void split();
    void parseTime_data();
    void parseTime();
    void badInput_data();
    void badInput();
    void unknownGasNamesKept();
    void fileErrors();
};

void TestLogCsv::goldenRow()
{
    const LogSensors sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 1, 100);
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(QDate(2004, 6, 15));
    const LogRecord entry = decoder.DecodeRecord(QByteArray::fromHex("140530" "0F00" "0C00" "D1" "00" "00" "075F"));
    QCOMPARE(LogCsv::HeadingLine(sensors),
             QByteArray(R"csv("Type","Date","Time","HC","O2","CO","H2S","CO STEL","H2S STEL","CO TWA","H2S TWA","Battery","Pump")csv"));
    QCOMPARE(LogCsv::RowLine(entry, sensors), QByteArray(R"csv("Data (%LEL)",06/15/04,14:05:30,12,20.9,0,0,,,,,3.712)csv"));
}

void TestLogCsv::uploadGolden()
{
    const QList<LogRecord> entries = DecodeFixture();
    CompareGolden(LogCsv::FileText(entries, Sensors), QStringLiteral("upload.csv"));
    CompareGolden(LogPrint::Text(entries, Sensors).toLatin1(), QStringLiteral("upload.print.txt"));
    QCOMPARE(LogSession::Find(entries).size(), 2);
}

void TestLogCsv::saveLoadRoundTrip()
{
    const QList<LogRecord> entries = DecodeFixture();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    QString error;
    QVERIFY2(LogCsv::Save(path, entries, Sensors, &error), qPrintable(error));
    QCOMPARE(ReadFile(path), LogCsv::FileText(entries, Sensors));

    qint64 lastPosition = -1;
    const LogCsvReader::Result loaded = LogCsvReader(Table, FullScale).Load(path, [&](qint64 position, qint64 total) {
        QVERIFY(position > lastPosition && position <= total);
        lastPosition = position;
    });
    QVERIFY2(loaded.Ok(), qPrintable(loaded.error));
    QVERIFY(loaded.problems.isEmpty());
    QCOMPARE(loaded.sensors, Sensors);
    QCOMPARE(loaded.entries.size(), entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LogRecord &before = entries.at(i);
        const LogRecord &after = loaded.entries.at(i);
        QCOMPARE(RowTexts(after, Sensors), RowTexts(before, Sensors));
        QCOMPARE(after.time, before.time);
        QCOMPARE(after.truncated, before.truncated);
        if (before.kind == LogRecord::Data) {
            // What the chart draws: present and over-range flags, unit and values.
            // A reading in an unnamed range shows no HC text, so the file cannot keep it.
            const bool hcShown = LogText::HCDecimals(before.unitBit) >= 0;
            const quint32 hcBits = LogRecord::PresentBit(LogRecord::HC) | LogRecord::OverRangeBit(LogRecord::HC);
            QCOMPARE(after.flags, hcShown ? before.flags : before.flags & ~hcBits);
            QCOMPARE(after.unitBit, hcShown ? before.unitBit : 0u);
            for (int slot = hcShown ? 0 : 1; slot < 8; ++slot)
                QCOMPARE(after.values[slot], before.values[slot]);
        }
    }
    QCOMPARE(LogSession::Find(loaded.entries), LogSession::Find(entries));
    QCOMPARE(LogCsv::FileText(loaded.entries, loaded.sensors), ReadFile(path));
}

void TestLogCsv::eventsReadBack_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QString>("entry"); // kind/code/param/unit/'text'/4 values

    QTest::newRow("4 percent") << QByteArray(R"csv("End of log - 45% full",06/15/04,14:00:00)csv") << "3/4/45/0/''/0,0,0,0";
    QTest::newRow("5 is not 4") << QByteArray(R"csv("End of log - stopped when full",06/15/04,14:00:00)csv") << "3/5/0/0/''/0,0,0,0";
    QTest::newRow("6 is not 4") << QByteArray(R"csv("End of log - overwritten",06/15/04,14:00:00)csv") << "3/6/0/0/''/0,0,0,0";
    QTest::newRow("7 operator") << QByteArray(R"csv("Operator JOHN SMITH      ",06/15/04,14:00:00)csv") << "3/7/0/0/'JOHN SMITH      '/0,0,0,0";
    QTest::newRow("7 truncated") << QByteArray(R"csv("Operator AB               [truncated]",06/15/04,14:00:00)csv") << "3/7/0/0/'AB              '/0,0,0,0";
    QTest::newRow("26 gauge") << QByteArray(R"csv("Battery gauge = 300",06/15/04,14:00:00)csv") << "3/26/300/0/''/0,0,0,0";
    QTest::newRow("29 sensors") << QByteArray(R"csv("Enabled sensors",06/15/04,14:00:00,On,On,Off,On,,,,,)csv") << "3/29/11/0/''/0,0,0,0";
    QTest::newRow("30 values") << QByteArray(R"csv("Bump test values",06/15/04,14:00:00,12,20.9,5,3.3,,,,,)csv") << "3/30/15/1/''/12,209,5,33";
    QTest::newRow("30 tenths") << QByteArray(R"csv("Bump test values",06/15/04,14:00:00,2.5,,,,,,,,)csv") << "3/30/1/2/''/25,0,0,0";
    QTest::newRow("31 %VOL") << QByteArray(R"csv("Before cal values (%VOL)",06/15/04,14:00:00,2.5,20.9,5,3.3,,,,,)csv") << "3/31/15/2/''/25,209,5,33";
    QTest::newRow("32 %HI") << QByteArray(R"csv("After cal values (%HI)",06/15/04,14:00:00,25,,,,,,,,)csv") << "3/32/1/32/''/25,0,0,0";
    QTest::newRow("33 results") << QByteArray(R"csv("Cal results",06/15/04,14:00:00,Fail,,Pass,Weak,,,,,)csv") << "3/33/33037/0/''/0,0,0,0";
    QTest::newRow("63 tenths times 10") << QByteArray(R"csv("HC maximum",06/15/04,14:00:00,12.3,,,,,,,,)csv") << "3/63/123/0/''/0,0,0,0";
    // Written where the range counted whole units; shown here in tenths.
    QTest::newRow("63 whole unchanged") << QByteArray(R"csv("HC maximum",06/15/04,14:00:00,123,,,,,,,,)csv") << "3/63/123/0/''/0,0,0,0";
    QTest::newRow("79 O2 minimum") << QByteArray(R"csv("O2 minimum",06/15/04,14:00:00,,20.0,,,,,,,)csv") << "3/79/200/0/''/0,0,0,0";
    QTest::newRow("113 heading name") << QByteArray(R"csv("CO  maximum",06/15/04,14:00:00,,,300,,,,,,)csv") << "3/113/300/0/'CO '/0,0,0,0";
    QTest::newRow("113 other spelling") << QByteArray(R"csv("CO maximum",06/15/04,14:00:00,,,300,,,,,,)csv") << "3/113/300/0/'CO'/0,0,0,0";
    QTest::newRow("133 by its column") << QByteArray(R"csv("H2S maximum",06/15/04,14:00:00,,,,1.0,,,,,)csv") << "3/133/10/0/'H2S'/0,0,0,0";
    QTest::newRow("125 toxic 2 STEL alarm") << QByteArray(R"csv("H2S STEL alarm on",06/15/04,14:00:00)csv") << "3/125/0/0/'H2S'/0,0,0,0";
    QTest::newRow("2 power on") << QByteArray(R"csv("Powered on - averages reset",06/15/04,14:00:00)csv") << "3/2/0/0/''/0,0,0,0";
    QTest::newRow("empty text") << QByteArray(R"csv("",06/15/04,14:00:00)csv") << "3/12/0/0/''/0,0,0,0";
    QTest::newRow("unknown text") << QByteArray(R"csv("Mystery",06/15/04,14:00:00)csv") << "3/255/0/0/''/0,0,0,0";
    QTest::newRow("data %LOW") << QByteArray(R"csv("Data (%LOW)",06/15/04,14:00:00,2.5,20.9,,,,,,,)csv") << "0/0/0/16/''/25,20.9,0,0";
    QTest::newRow("data over-range") << QByteArray(R"csv("Data (%LEL)",06/15/04,14:00:00,XXX,XXX,,,,,,,)csv") << "0/0/0/1/''/16383,51.1,0,0";
    QTest::newRow("config") << QByteArray(R"csv("Config",06/15/04,14:00:00,,,,,,,,,)csv") << "2/0/0/0/''/0,0,0,0";
}

void TestLogCsv::eventsReadBack()
{
    QFETCH(QByteArray, row);
    QFETCH(QString, entry);
    const LogCsvReader::Result result = ParseRows(row + "\r\n");
    QCOMPARE(result.entries.size(), 1);
    const LogRecord &e = result.entries.at(0);
    const QString actual = QStringLiteral("%1/%2/%3/%4/'%5'/%6,%7,%8,%9")
                               .arg(int(e.kind)).arg(e.code).arg(e.param).arg(e.unitBit).arg(e.text)
                               .arg(e.values[0]).arg(e.values[1]).arg(e.values[2]).arg(e.values[3]);
    QCOMPARE(actual, entry);
    // Whatever was read back shows the row's own texts again.
    if (e.code != 255 && QByteArray(QTest::currentDataTag()) != "63 whole unchanged")
        QCOMPARE(LogCsv::RowLine(e, result.sensors).left(row.size()), row);
}

void TestLogCsv::withoutToxicTable_data()
{
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<int>("fraction1");
    QTest::addColumn<int>("fraction2");
    QTest::addColumn<QString>("values"); // param of the maxima, else the toxic values of the first row

    // Record 0's divisor of 0.1 put raw counts ten shown units apart, and
    // a maximum of 45 came back as raw 5, shown 50.
    QTest::newRow("whole units") << QByteArray(R"csv("CO  maximum",06/15/04,14:00:00,,,45,,,,,,)csv" "\r\n"
                                               R"csv("H2S maximum",06/15/04,14:00:00,,,,7,,,,,)csv" "\r\n")
                                 << 1 << 1 << "45,7";
    QTest::newRow("tenths") << QByteArray(R"csv("Data (%LEL)",06/15/04,14:05:30,12,20.9,4,0.3,,,,,3.712)csv" "\r\n"
                                          R"csv("H2S maximum",06/15/04,14:06:00,,,,1.5,,,,,)csv" "\r\n")
                            << 1 << 10 << "15";
    QTest::newRow("hundredths") << QByteArray(R"csv("CO  maximum",06/15/04,14:06:00,,,0.25,,,,,,)csv" "\r\n") << 100 << 1 << "25";
    QTest::newRow("over-range on the file's grid")
        << QByteArray(R"csv("Data (%LEL)",06/15/04,14:05:30,12,20.9,XXX,0.3,,XXX,,,3.712)csv" "\r\n"
                      R"csv("Data (%LEL)",06/15/04,14:06:30,12,20.9,4,0.4,,,,,3.712)csv" "\r\n")
        << 1 << 10 << "511,0.3,51.1";
    QTest::newRow("sensor values in tenths") << QByteArray(R"csv("Before cal values (%VOL)",06/15/04,14:00:00,2.5,20.9,5,3.3,,,,,)csv" "\r\n")
                                             << 1 << 10 << "5,33";
    QTest::newRow("the values most shown decide")
        << QByteArray(R"csv("Data (%LEL)",06/15/04,14:05:30,12,20.9,4.0,0.30,,,,,3.712)csv" "\r\n"
                      R"csv("Data (%LEL)",06/15/04,14:06:30,12,20.9,4.5,0.35,,,,,3.712)csv" "\r\n"
                      R"csv("Data (%LEL)",06/15/04,14:07:30,12,20.9,4,0.35,,,,,3.712)csv" "\r\n")
        << 10 << 100 << "4,0.3";
    QTest::newRow("no values") << QByteArray(R"csv("Powered on - averages reset",06/15/04,14:00:00,,,,,,,,,)csv" "\r\n") << 1 << 1 << "";
}

void TestLogCsv::withoutToxicTable()
{
    QFETCH(QByteArray, rows);
    QFETCH(int, fraction1);
    QFETCH(int, fraction2);
    QFETCH(QString, values);
    const LogCsvReader::Result result = LogCsvReader({}, FullScale).Parse(Heading + rows);
    QVERIFY(result.Ok());
    QVERIFY(result.problems.isEmpty());
    QCOMPARE(result.sensors, LogSensors(QStringLiteral("CO "), fraction1, QStringLiteral("H2S"), fraction2, FullScale));

    QStringList actual;
    for (const LogRecord &e : result.entries) {
        if (e.IsEvent(113) || e.IsEvent(133))
            actual.append(QString::number(e.param));
    }
    if (actual.isEmpty() && !result.entries.isEmpty()) {
        const LogRecord &e = result.entries.first();
        const int count = e.kind == LogRecord::Data ? 6 : 2;
        for (int slot = LogRecord::Toxic1; slot < LogRecord::Toxic1 + count; ++slot) {
            if (e.kind == LogRecord::Data ? e.Present(slot) : (e.param & (1u << slot)) != 0)
                actual.append(QString::number(e.values[slot]));
        }
    }
    QCOMPARE(actual.join(QLatin1Char(',')), values);
    // Written again with what was found, the file is the same to the byte.
    if (QByteArray(QTest::currentDataTag()) != "the values most shown decide")
        QCOMPARE(LogCsv::FileText(result.entries, result.sensors), Heading + rows);
}

void TestLogCsv::readingInStepsGivesTheSameEntries_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("table");

    const QByteArray golden = ReadFile(DataPath(QStringLiteral("upload.csv")));
    const QByteArray generated = GeneratedFile(200000);
    const QByteArray row = R"csv("Data (%LEL)",06/15/04,14:05:30,12,20.9,0,0.0,,,,,3.712)csv";
    QTest::newRow("golden file") << golden << true;
    QTest::newRow("golden file, no toxic table") << golden << false;
    QTest::newRow("generated, 200 000 records") << generated << true;
    QTest::newRow("generated, no toxic table") << generated << false;
    // Lines that run over the reader's 1 MB blocks, and a last line without its end.
    QTest::newRow("long lines, no final line end")
        << Heading + row + "\r\n\"Data\",1/1/4,1:1:1," + QByteArray(3 << 20, '9') + "\r\r\n" + row + "\n\n"
               + QByteArray((1 << 20) - 7, ' ') + "\r\n" + row
        << true;
    QTest::newRow("binary") << Heading + QByteArray("\"\0\xff\",\0,\xfe\r\n\x01\x02,,,,,,,,,,,,,,,,,\"", 24) << true;
    QTest::newRow("not a log") << QByteArray("hello\nworld") << false;
    QTest::newRow("empty") << QByteArray() << true;
}

void TestLogCsv::readingInStepsGivesTheSameEntries()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, table);
    const LogCsvReader reader(table ? Table : QList<LogToxicGas>{}, FullScale);
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("log.csv"), content);
    QVERIFY(!path.isEmpty());

    const LogCsvReader::Result whole = reader.Parse(content);
    qint64 last = -1;
    const LogCsvReader::Result steps = reader.Load(path, [&](qint64 position, qint64 total) {
        QVERIFY(position > last && position <= total);
        QCOMPARE(total, content.size());
        last = position;
    });
    CompareResults(steps, whole);
    if (!content.isEmpty())
        QCOMPARE(last, content.size());

    CLogCsvLoad load;
    QSignalSpy finished(&load, &CLogCsvLoad::Finished);
    load.Start(path, reader);
    QVERIFY(load.Running());
    QVERIFY(finished.wait(60000));
    QVERIFY(!load.Running());
    CompareResults(finished.at(0).at(0).value<LogCsvReader::Result>(), whole);
    QCOMPARE(finished.at(0).at(1).value<QList<LogSession>>(), LogSession::Find(whole.entries));
}

void TestLogCsv::backgroundLoadCancelsAndEnds()
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("log.csv"), GeneratedFile(100000));
    const LogCsvReader reader(Table, FullScale);
    {
        // Cancelled: nothing of it is ever reported.
        CLogCsvLoad load;
        QSignalSpy finished(&load, &CLogCsvLoad::Finished);
        QSignalSpy progress(&load, &CLogCsvLoad::Progress);
        load.Start(path, reader);
        QVERIFY(progress.wait(60000));
        load.Cancel();
        QVERIFY(!load.Running());
        const int reported = int(progress.size());
        QTest::qWait(200);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(progress.size(), reported);

        // A second file started over a first: only the second is reported.
        const QString other = WriteFile(dir, QStringLiteral("other.csv"), Heading + R"csv("Config",06/15/04,14:00:00)csv");
        load.Start(path, reader);
        load.Start(other, reader);
        QVERIFY(finished.wait(60000));
        QTest::qWait(100);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).value<LogCsvReader::Result>().entries.size(), 1);
        QCOMPARE(load.Path(), other);
    }
    {
        // Dropped while reading: the thread ends with it.
        auto load = std::make_unique<CLogCsvLoad>();
        load->Start(path, reader);
        load.reset();
        QTest::qWait(100);
    }
    // A file that is not there is reported like any other.
    CLogCsvLoad load;
    QSignalSpy finished(&load, &CLogCsvLoad::Finished);
    load.Start(dir.filePath(QStringLiteral("missing.csv")), reader);
    QVERIFY(finished.wait(60000));
    const LogCsvReader::Result missing = finished.at(0).at(0).value<LogCsvReader::Result>();
    QCOMPARE(missing.error, QStringLiteral("Error reading ") + dir.filePath(QStringLiteral("missing.csv")));
}

void TestLogCsv::split_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("row");
    QTest::addColumn<QList<QByteArray>>("fields");
    QTest::addColumn<bool>("ok");

    using F = QList<QByteArray>;
    QTest::newRow("quoted and plain") << QByteArray(R"csv("a,b",1,,2)csv") << false << F{"a,b", "1", "", "2"} << true;
    QTest::newRow("trailing comma adds nothing") << QByteArray("1,2,") << false << F{"1", "2"} << true;
    QTest::newRow("quoted heading") << QByteArray(R"csv("x","y")csv") << false << F{"x", "y"} << true;
    QTest::newRow("unclosed quote keeps what came before") << QByteArray(R"csv(1,"ab)csv") << false << F{"1"} << false;
    QTest::newRow("quote inside a row's type text") << QByteArray(R"csv("Operator O"BRIEN",06/15/04,14:00:00)csv") << true
                                                    << F{"Operator O\"BRIEN", "06/15/04", "14:00:00"} << true;
    QTest::newRow("row with a lone quote") << QByteArray(R"csv("Data)csv") << true << F{} << false;
    QTest::newRow("empty") << QByteArray() << true << F{} << true;
}

void TestLogCsv::split()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, row);
    QFETCH(QList<QByteArray>, fields);
    QFETCH(bool, ok);
    bool splitOk = !ok;
    QCOMPARE(row ? LogCsv::SplitRow(line, &splitOk) : LogCsv::Split(line, &splitOk), fields);
    QCOMPARE(splitOk, ok);
}

void TestLogCsv::parseTime_data()
{
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<QString>("expected");

    QTest::newRow("99 is 1999") << QByteArray("1/2/99") << QByteArray("14:05:30") << "1999-01-02 14:05:30";
    QTest::newRow("04 is 2004") << QByteArray("1/2/04") << QByteArray("0:0:0") << "2004-01-02 00:00:00";
    QTest::newRow("missing year is 2000") << QByteArray("1/2") << QByteArray("") << "2000-01-02 00:00:00";
    QTest::newRow("missing day is 1") << QByteArray("3") << QByteArray("7") << "2000-03-01 07:00:00";
    QTest::newRow("four-digit year") << QByteArray("12/31/2004") << QByteArray("23:59") << "2004-12-31 23:59:00";
    QTest::newRow("huge numbers stay bounded") << QByteArray("99999999999999999999/1/1") << QByteArray("99999999999999") << "";
}

void TestLogCsv::parseTime()
{
    QFETCH(QByteArray, date);
    QFETCH(QByteArray, time);
    QFETCH(QString, expected);
    const QDateTime parsed = LogCsvReader::ParseTime(date, time);
    if (expected.isEmpty())
        QVERIFY(parsed.isValid());
    else
        QCOMPARE(parsed.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), expected);
}

void TestLogCsv::badInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QList<int>>("problemLines");

    const QByteArray row = R"csv("Data (%LEL)",06/15/04,14:05:30,12,20.9,0,0.0,,,,,3.712)csv";
    QTest::newRow("empty file") << QByteArray() << 0 << QList<int>{1};
    QTest::newRow("heading only") << Heading << 0 << QList<int>{};
    QTest::newRow("not a log") << QByteArray("hello\nworld\n") << 1 << QList<int>{1, 2};
    QTest::newRow("row cut in its quote") << Heading + row + "\r\n\"Data (%LE" << 2 << QList<int>{3};
    QTest::newRow("row without time") << Heading + row + "\r\n\"Config\",06/15/04\r\n" << 2 << QList<int>{3};
    QTest::newRow("junk number") << Heading + R"csv("Data (%LEL)",06/15/04,14:05:30,1x2)csv" << 1 << QList<int>{2};
    QTest::newRow("blank lines and bare LF") << Heading + "\n\n" + row + "\n\r\n" << 1 << QList<int>{};
    QTest::newRow("binary") << Heading + QByteArray("\"\0\xff\",\0,\xfe\r\n\x01\x02,,,,,,,,,,,,,,,,,\"", 24) << 2 << QList<int>{2, 3};
    QTest::newRow("huge field") << Heading + "\"Data\",1/1/4,1:1:1," + QByteArray(200000, '9') + "\r\n" + row << 2 << QList<int>{2};
}

void TestLogCsv::badInput()
{
    QFETCH(QByteArray, content);
    QFETCH(int, entries);
    QFETCH(QList<int>, problemLines);
    const LogCsvReader::Result result = LogCsvReader(Table, FullScale).Parse(content);
    QVERIFY(result.Ok());
    QCOMPARE(result.entries.size(), entries);
    QCOMPARE(ProblemLines(result), problemLines);
    for (const LogRecord &entry : result.entries)
        RowTexts(entry, result.sensors);
}

void TestLogCsv::unknownGasNamesKept()
{
    const QByteArray heading = R"csv("Type","Date","Time","HC","O2","NO2","SO2","NO2 STEL","SO2 STEL","NO2 TWA","SO2 TWA","Battery","Pump")csv";
    const LogCsvReader::Result result = LogCsvReader(Table, FullScale).Parse(heading + "\r\n");
    QCOMPARE(result.sensors.ToxicName(1), QStringLiteral("NO2"));
    QCOMPARE(result.sensors.ToxicName(2), QStringLiteral("SO2"));
    QCOMPARE(result.sensors.ToxicDivisor(1), 0.1); // record 0
    QCOMPARE(LogCsv::HeadingLine(result.sensors), heading);
}

void TestLogCsv::fileErrors()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/log.csv"));
    QString error;
    QVERIFY(!LogCsv::Save(missing, DecodeFixture(), Sensors, &error));
    QCOMPARE(error, QStringLiteral("Error writing ") + missing);

    const LogCsvReader::Result result = LogCsvReader(Table, FullScale).Load(missing);
    QVERIFY(!result.Ok());
    QCOMPARE(result.error, QStringLiteral("Error reading ") + missing);
    QVERIFY(result.entries.isEmpty());
}

QTEST_GUILESS_MAIN(TestLogCsv)
#include "tst_logcsv.moc"
