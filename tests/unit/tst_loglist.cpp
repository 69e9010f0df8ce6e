// Log list columns and the fixed-width "Print Data" lines.
#include "datalog/LogList.h"
#include "datalog/LogPrint.h"
#include "datalog/LogSensors.h"

#include <QtTest>

namespace {
const LogSensors Sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
}

class TestLogList : public QObject
{
    Q_OBJECT
private slots:
    void columns_data();
    void columns();
    void printLine_data();
    void printLine();
    void printHeadings();
};

void TestLogList::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("right");

    QTest::newRow("type") << 0 << "Type" << 200 << false;
    QTest::newRow("date") << 1 << "Date" << 75 << false;
    QTest::newRow("time") << 2 << "Time" << 75 << false;
    QTest::newRow("HC") << 3 << "HC" << 50 << true;
    QTest::newRow("O2") << 4 << "O2" << 50 << true;
    QTest::newRow("toxic 1") << 5 << "CO" << 50 << true;
    QTest::newRow("toxic 2") << 6 << "H2S" << 50 << true;
    QTest::newRow("toxic 1 STEL") << 7 << "CO STEL" << 75 << true;
    QTest::newRow("toxic 2 STEL") << 8 << "H2S STEL" << 75 << true;
    QTest::newRow("toxic 1 TWA") << 9 << "CO TWA" << 75 << true;
    QTest::newRow("toxic 2 TWA") << 10 << "H2S TWA" << 75 << true;
    QTest::newRow("battery") << 11 << "Battery" << 60 << true;
    QTest::newRow("beyond") << 12 << "" << 0 << true;
}

void TestLogList::columns()
{
    QFETCH(int, column);
    QFETCH(QString, heading);
    QFETCH(int, width);
    QFETCH(bool, right);
    QCOMPARE(LogList::Heading(column, Sensors), heading);
    QCOMPARE(LogList::Width(column), width);
    QCOMPARE(LogList::Alignment(column) == Qt::AlignRight, right);
}

void TestLogList::printLine_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("line");

    const QString blanks10(50, QLatin1Char(' '));
    QTest::newRow("value cut to 4 and right-aligned")
        << QStringList{"Data", "06/15/04", "14:05:30", "12.345"}
        << QString("Data").leftJustified(32) + "06/15/04 14:05:30  12.3" + QString(45, ' ') + "\r\n";
    QTest::newRow("long type cut at 32")
        << QStringList{"Powered on - averages not reset!!"}
        << QString("Powered on - averages not reset!") + QString(18, ' ') + blanks10 + "\r\n";
    QTest::newRow("long date cut at 9")
        << QStringList{"", "1234567890"} << QString(32, ' ') + "123456789" + QString(9, ' ') + blanks10 + "\r\n";
}

void TestLogList::printLine()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, line);
    QCOMPARE(LogPrint::Line(fields), line);
    QCOMPARE(LogPrint::Line(fields).size(), 102);
}

void TestLogList::printHeadings()
{
    const QStringList lines = LogPrint::Text({}, Sensors).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QString("Type").leftJustified(32) + "Date     Time        HC   O2   CO  H2S   CO  H2S   CO  H2S Batt     ");
    QCOMPARE(lines.at(1), QString(70, ' ') + " STEL STEL  TWA  TWA" + QString(10, ' '));
    QCOMPARE(lines.at(2), QString());
}

QTEST_GUILESS_MAIN(TestLogList)
#include "tst_loglist.moc"
