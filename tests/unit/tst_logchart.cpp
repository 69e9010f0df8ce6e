// Chart series of a log session: groups, measured and calculated combustible values, holes, caps, level lines, marker lookups.
#include "datalog/LogChartSeries.h"
#include "datalog/LogChartColors.h"

#include <QtTest>
#include <cmath>

namespace {
const QDateTime Base(QDate(2004, 6, 15), QTime(14, 0), Qt::UTC);

LogRecord Data(int seconds, quint32 unitBit, double hc, double o2 = 20.9)
{
    LogRecord e;
    e.kind = LogRecord::Data;
    e.time = Base.addSecs(seconds);
    e.unitBit = unitBit;
    e.values[LogRecord::HC] = hc;
    e.values[LogRecord::O2] = o2;
    e.flags = LogRecord::PresentBit(LogRecord::O2);
    if (unitBit)
        e.flags |= LogRecord::PresentBit(LogRecord::HC);
    return e;
}

LogRecord Event(int seconds, int code)
{
    LogRecord e;
    e.kind = LogRecord::Event;
    e.code = quint32(code);
    e.time = Base.addSecs(seconds);
    return e;
}

// Channel 0 %LEL full scale 100, channel 1 %VOL 5.0, channel 2 PPM 1000.
LogChartSetup Setup(bool thirdChannel = false)
{
    LogChartSetup s;
    s.channels[0] = {1, 100.0, 10.0, 20.0};
    s.channels[1] = {2, 5.0, 0.5, 1.0};
    s.channels[2] = {4, 1000.0, 50.0, 100.0};
    s.thirdChannel = thirdChannel;
    s.o2Warning = 19.5;
    s.o2High = 23.5;
    s.toxic[0] = {QStringLiteral("CO "), 35.0, 200.0, 100.0, 50.0, 500.0};
    s.toxic[1] = {QStringLiteral("H2S"), 10.0, 15.0, 15.0, 10.0, 100.0};
    return s;
}

QString Describe(const QList<LogChartSeries::GroupInfo> &groups)
{
    QStringList parts;
    for (const LogChartSeries::GroupInfo &g : groups) {
        QStringList codes;
        for (int c : g.codes)
            codes.append(QString::number(c));
        parts.append(QStringLiteral("%1[%2]%3").arg(g.title, codes.join(QLatin1Char(','))).arg(g.yMaximum));
    }
    return parts.join(QLatin1Char(' '));
}
} // namespace

class TestLogChart : public QObject
{
    Q_OBJECT
private slots:
    void groups_data();
    void groups();
    void value_data();
    void value();
    void seriesOfASession();
    void styles_data();
    void styles();
    void markerLookups();
    void colourReferences();
};

void TestLogChart::groups_data()
{
    QTest::addColumn<bool>("thirdChannel");
    QTest::addColumn<int>("unitsOfChannel0");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two channels") << false << 1
        << "LEL[0,6,13,19]100 VOL[1,7,14,20]5 O2[3,16,22]30 CO [11,9,4,17,23,25,27]500 H2S[12,10,5,18,24,26,28]100";
    // The TC channel takes the fifth place, so Toxic 2 gets no chart.
    QTest::newRow("TC channel") << true << 1
        << "LEL[0,6,13,19]100 VOL[1,7,14,20]5 PPM[2,8,15,21]1000 O2[3,16,22]30 CO [11,9,4,17,23,25,27]500";
    QTest::newRow("unknown unit") << false << 0xFF
        << "N/A[0,6,13,19]100 VOL[1,7,14,20]5 O2[3,16,22]30 CO [11,9,4,17,23,25,27]500 H2S[12,10,5,18,24,26,28]100";
}

void TestLogChart::groups()
{
    QFETCH(bool, thirdChannel);
    QFETCH(int, unitsOfChannel0);
    LogChartSetup setup = Setup(thirdChannel);
    setup.channels[0].units = unitsOfChannel0;
    QTEST(Describe(LogChartSeries::Groups(setup)), "expected");
}

void TestLogChart::value_data()
{
    QTest::addColumn<quint32>("unitBit");
    QTest::addColumn<double>("count");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("expected"); // NaN: a hole

    const double hole = LogChartSeries::Hole;
    QTest::newRow("LEL measured in LEL chart") << 1u << 12.0 << 0 << 12.0;
    QTest::newRow("LEL not measured in VOL chart") << 1u << 12.0 << 1 << hole;
    QTest::newRow("LEL 100 calculated in VOL chart") << 1u << 100.0 << 7 << 5.0;
    QTest::newRow("LEL not calculated in its own chart") << 1u << 100.0 << 6 << hole;
    QTest::newRow("VOL counts in tenths") << 2u << 25.0 << 1 << 2.5;
    QTest::newRow("VOL 2.5 calculated as LEL") << 2u << 25.0 << 6 << 50.0;
    QTest::newRow("VOL 4.0 capped at LEL full scale") << 2u << 40.0 << 6 << 80.0;
    QTest::newRow("VOL 5.0 as LEL reaches the cap") << 2u << 50.0 << 6 << 100.0;
    QTest::newRow("PPM 10000 calculated in VOL chart") << 4u << 10000.0 << 7 << 1.0;
    QTest::newRow("PPM in PPM chart") << 4u << 400.0 << 2 << 400.0;
    QTest::newRow("LEL as PPM capped at 1000") << 1u << 50.0 << 8 << 1000.0;
    QTest::newRow("no HC reading") << 0u << 0.0 << 6 << hole;
    QTest::newRow("O2") << 1u << 12.0 << 3 << 20.9;
    QTest::newRow("toxic without a value") << 1u << 12.0 << 4 << hole;
}

void TestLogChart::value()
{
    QFETCH(quint32, unitBit);
    QFETCH(double, count);
    QFETCH(int, code);
    QFETCH(double, expected);
    const double y = LogChartSeries::Value(Data(0, unitBit, count), code, Setup(true));
    if (std::isnan(expected))
        QVERIFY2(LogChartSeries::IsHole(y), qPrintable(QString::number(y)));
    else
        QCOMPARE(y, expected);
}

void TestLogChart::seriesOfASession()
{
    // A power-on, readings in %LEL, a range change to %VOL, an event between.
    QList<LogRecord> entries{Event(0, 2), Data(60, 1, 10), Data(120, 1, 20), Event(150, 40),
                             Data(180, 2, 10), Data(240, 2, 12), Event(300, 0)};
    entries[2].flags |= LogRecord::PresentBit(LogRecord::Toxic1);
    entries[2].values[LogRecord::Toxic1] = 7;
    const LogSession session{1, 6, 4, QStringLiteral("?"), QStringLiteral("?")};
    const LogChartSetup setup = Setup();
    const QList<LogChartSeries::GroupInfo> groups = LogChartSeries::Groups(setup);

    QCOMPARE(LogChartSeries::TimeBase(entries, session), Base.addSecs(60).toSecsSinceEpoch());
    QCOMPARE(LogChartSeries::XValues(entries, session), (QList<double>{0, 60, 120, 180}));

    const QList<LogChartSeries::Series> lel = LogChartSeries::Compute(entries, session, groups[0], setup);
    QCOMPARE(lel.size(), 4);
    QCOMPARE(lel[0].code, 0);
    QCOMPARE(lel[0].x, (QList<double>{0, 60, 120, 180}));
    QCOMPARE(lel[0].y[0], 10.0);
    QCOMPARE(lel[0].y[1], 20.0);
    QVERIFY(LogChartSeries::IsHole(lel[0].y[2]));
    QVERIFY(LogChartSeries::IsHole(lel[1].y[0]));
    QCOMPARE(lel[1].y[2], 20.0);   // 1.0 %VOL
    QCOMPARE(lel[1].y[3], 24.0);
    // Level lines span the readings.
    QCOMPARE(lel[2].x, (QList<double>{0, 180}));
    QCOMPARE(lel[2].y, (QList<double>{10, 10}));
    QCOMPARE(lel[3].y, (QList<double>{20, 20}));

    const QList<LogChartSeries::Series> co = LogChartSeries::Compute(entries, session, groups[3], setup);
    QCOMPARE(co[2].code, 4);
    QVERIFY(LogChartSeries::IsHole(co[2].y[0]));
    QCOMPARE(co[2].y[1], 7.0);
    QCOMPARE(co[5].y, (QList<double>{100, 100})); // STEL limit
    QCOMPARE(co[6].y, (QList<double>{50, 50}));   // TWA limit
}

void TestLogChart::styles_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("style");
    QTest::newRow("measured") << 0 << int(LogChartSeries::Norm) << int(LogChartSeries::Measured);
    QTest::newRow("calculated") << 8 << int(LogChartSeries::Calculated) << int(LogChartSeries::Measured);
    QTest::newRow("STEL") << 10 << int(LogChartSeries::Stel) << int(LogChartSeries::Measured);
    QTest::newRow("TWA") << 11 << int(LogChartSeries::Twa) << int(LogChartSeries::Measured);
    QTest::newRow("warning line") << 16 << int(LogChartSeries::Norm) << int(LogChartSeries::LineA);
    QTest::newRow("high line") << 22 << int(LogChartSeries::Norm) << int(LogChartSeries::LineB);
    QTest::newRow("STEL limit") << 26 << int(LogChartSeries::Stel) << int(LogChartSeries::LineB);
    QTest::newRow("TWA limit") << 27 << int(LogChartSeries::Twa) << int(LogChartSeries::LineB);
}

void TestLogChart::styles()
{
    QFETCH(int, code);
    QTEST(int(LogChartSeries::ColourOf(code)), "colour");
    QTEST(int(LogChartSeries::StyleOf(code)), "style");
}

void TestLogChart::markerLookups()
{
    // Two sessions; the second starts on a later day at an earlier clock time.
    QList<LogRecord> entries{Event(0, 2), Data(60, 1, 1), Data(120, 1, 1), Event(130, 0),
                             Event(86400, 2), Data(86400 + 60, 1, 1), Data(86400 + 600, 1, 1)};
    const QList<LogSession> sessions{{1, 3, 2, {}, {}}, {5, 6, 2, {}, {}}};
    QCOMPARE(LogChartSeries::SessionAt(entries, sessions, Base.addSecs(60)), 0);
    QCOMPARE(LogChartSeries::SessionAt(entries, sessions, Base.addSecs(120)), 0);
    QCOMPARE(LogChartSeries::SessionAt(entries, sessions, Base.addSecs(125)), -1); // past the last reading
    QCOMPARE(LogChartSeries::SessionAt(entries, sessions, Base.addSecs(86400 + 300)), 1);

    QCOMPARE(LogChartSeries::EntryAt(entries, sessions[0], Base.addSecs(119)), 1);
    QCOMPARE(LogChartSeries::EntryAt(entries, sessions[0], Base.addSecs(500)), 3);
    QCOMPARE(LogChartSeries::EntryAt(entries, sessions[1], Base), 5);

    // A row belongs to the session whose entries hold it; the power-on rows
    // between sessions belong to none.
    QCOMPARE(LogChartSeries::SessionOfEntry(sessions, 3), 0);
    QCOMPARE(LogChartSeries::SessionOfEntry(sessions, 4), -1);
    QCOMPARE(LogChartSeries::SessionOfEntry(sessions, 5), 1);
}

void TestLogChart::colourReferences()
{
    // Red sits in the low byte of a stored colour.
    QCOMPARE(LogChartColors::Red(LogChartColors::DefaultNorm), 255);
    QCOMPARE(LogChartColors::Blue(LogChartColors::DefaultMarker), 255);
    QCOMPARE(LogChartColors::FromRgb(0xC0, 0, 0xC0), LogChartColors::DefaultCalculated);
    LogChartColors c;
    c.calculated = 0x123456;
    QCOMPARE(c.Role(LogChartSeries::Calculated), 0x123456);
    QCOMPARE(c.Role(LogChartSeries::Stel), LogChartColors::DefaultStel);
}

QTEST_GUILESS_MAIN(TestLogChart)
#include "tst_logchart.moc"
