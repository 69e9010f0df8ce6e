// Session detection: where sessions start and end, which are dropped, and the
// operator and location each one carries.
#include "datalog/LogSession.h"

#include <QtTest>

namespace {
/*
 * A log written as words: "S@t" start marker, "E@t" end marker, "D@t" data,
 * "P@t" power-on (averages reset), "p@t" power-on (averages kept), "F@t"
 * powered off, "O:name" operator, "L:name" location; t in seconds from
 * 15 June 2004 00:00; events without a time take the time before them.
 */
QList<LogRecord> Log(const QString &words)
{
    const QDateTime base(QDate(2004, 6, 15), QTime(0, 0), Qt::UTC);
    QList<LogRecord> entries;
    QDateTime time = base;
    for (const QString &word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        LogRecord entry;
        const QChar tag = word.at(0);
        if (word.size() > 1 && word.at(1) == QLatin1Char('@'))
            time = base.addSecs(word.mid(2).toInt());
        entry.time = time;
        if (tag == QLatin1Char('D')) {
            entry.kind = LogRecord::Data;
        } else if (tag == QLatin1Char('S') || tag == QLatin1Char('E')) {
            entry.kind = tag == QLatin1Char('S') ? LogRecord::StartOfLog : LogRecord::EndOfLog;
        } else {
            entry.kind = LogRecord::Event;
            entry.code = tag == QLatin1Char('P') ? 2 : tag == QLatin1Char('p') ? 1
                         : tag == QLatin1Char('F') ? 0 : tag == QLatin1Char('O') ? 7 : 8;
            if (word.size() > 1 && word.at(1) == QLatin1Char(':'))
                entry.text = word.mid(2);
        }
        entries.append(entry);
    }
    return entries;
}

// "first-last/count/operator/location" per session.
QString Describe(const QList<LogSession> &sessions)
{
    QStringList parts;
    for (const LogSession &s : sessions)
        parts.append(QStringLiteral("%1-%2/%3/%4/%5").arg(s.first).arg(s.last).arg(s.dataCount).arg(s.operatorText, s.location));
    return parts.join(QLatin1Char(' '));
}
} // namespace

class TestLogSession : public QObject
{
    Q_OBJECT
private slots:
    void find_data();
    void find();
};

void TestLogSession::find_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("sessions");

    QTest::newRow("no entries") << "" << "";
    QTest::newRow("3 data records are too few") << "S@0 P@0 D@0 D@200 D@400 E@900" << "";
    QTest::newRow("4 records over exactly 300 s are dropped") << "P@0 D@0 D@100 D@200 D@300" << "";
    QTest::newRow("301 s are kept") << "P@0 D@0 D@100 D@200 D@301" << "1-4/4/?/?";
    QTest::newRow("span runs to the last entry, not the last data")
        << "S@0 P@0 D@0 D@10 D@20 D@30 E@301" << "2-6/4/?/?";
    QTest::newRow("trailing power-off belongs to the session")
        << "S@0 P@0 D@0 D@100 D@200 D@400 F@500 p@600 D@600" << "2-6/4/?/?";
    QTest::newRow("two power-ons in a row") << "P@0 p@10 D@20 D@200 D@300 D@400" << "2-5/4/?/?";
    QTest::newRow("power-off alone ends nothing")
        << "P@0 D@0 D@100 F@150 D@200 D@400" << "1-5/4/?/?";
    QTest::newRow("operator before the first power-on carries on")
        << "O:ANN L:PIT P@0 D@0 D@100 D@200 D@400 P@500 D@500 D@600 D@700 D@900"
        << "3-6/4/ANN/PIT 8-11/4/ANN/PIT";
    QTest::newRow("operator in force when the session closes")
        << "P@0 D@0 D@100 O:BOB D@200 D@400 P@500 D@500 D@600 D@700 D@900 O:CY"
        << "1-5/4/BOB/? 7-11/4/CY/?";
    QTest::newRow("padding of ID texts dropped") << "O:ANN___ P@0 D@0 D@100 D@200 D@400" << "2-5/4/ANN/?";
}

void TestLogSession::find()
{
    QFETCH(QString, log);
    QFETCH(QString, sessions);
    QList<LogRecord> entries = Log(log);
    for (LogRecord &entry : entries)
        entry.text.replace(QLatin1Char('_'), QLatin1Char(' '));
    QCOMPARE(Describe(LogSession::Find(entries)), sessions);
}

QTEST_GUILESS_MAIN(TestLogSession)
#include "tst_logsession.moc"
