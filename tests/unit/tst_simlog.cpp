// The simulator's generated data log read back with the program's decoder: every record decodes, the sessions, alarms and events are the ones written, and a seed always gives the same log.
#include "SimDataLog.h"
#include "SimInstrument.h"
#include "SimLogGenerator.h"
#include "Simulator.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogSession.h"
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"

#include <QSet>
#include <QTest>

namespace {

using Settings = CSimLogGenerator::Settings;

const QDateTime Now(QDate(2026, 3, 18), QTime(1, 30, 0));

QDateTime Wall(const QDateTime &t)
{
    return QDateTime(t.date(), t.time(), Qt::UTC);
}

// A tank-cleaning crew's unit: %LEL switching to %VOL, CO and H2S, averages
// kept over breaks.
Settings CrewUnit(int interval = 60)
{
    Settings s;
    s.instrumentId = "CREW UNIT 12";
    s.operators = {"ANN", "BOB", "CHO PARK"};
    s.locations = {"TANK 4", "PUMP ROOM", "JETTY 2", "HOLD 3"};
    s.intervalSeconds = interval;
    s.retainAverages = true;
    s.hcRange = {1, 100, 10, 50};     // %LEL
    s.hcNextRange = {2, 1000, 25, 50}; // %VOL in tenths: 100.0 % full scale, 2.5 and 5.0 % alarms
    return s;
}

Settings InstrumentSettings()
{
    return CSimLogGenerator::SettingsOf(CSimInstrument([] { return Now; }));
}

// Fractions of 1, so toxic values read back as the raw counts the levels are in.
LogSensors RawSensors(const Settings &s)
{
    return LogSensors(QString::fromLatin1(s.toxicName[0]), 1, QString::fromLatin1(s.toxicName[1]), 1, 100);
}

QList<LogRecord> Decode(const CSimLogGenerator::Result &log, const Settings &s)
{
    LogDecoder decoder(RawSensors(s));
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries;
    entries.reserve(log.records.size());
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    return entries;
}

int Raw(const LogRecord &e, int slot)
{
    return slot == LogRecord::O2 ? int(qRound(e.values[slot] * 10.0)) : int(qRound(e.values[slot]));
}

// Each alarm with the slot it watches and its level; HC levels follow the
// range a reading was logged in.
struct Level
{
    int onCode;
    int slot;
    bool decreasing;
    int level;
    int hcLevel; // -1, or 0 warning / 1 high of the reading's range
};

QList<Level> Levels(const Settings &s)
{
    QList<Level> levels{{51, LogRecord::HC, false, 0, 0},
                        {53, LogRecord::HC, false, 0, 1},
                        {83, LogRecord::O2, true, s.o2Warning, -1},
                        {73, LogRecord::O2, false, s.o2High, -1}};
    for (int t = 0; t < 2; ++t) {
        const int base = t == 0 ? 100 : 120;
        levels.append({base + 1, LogRecord::Toxic1 + t, false, s.toxicWarning[t], -1});
        levels.append({base + 3, LogRecord::Toxic1 + t, false, s.toxicHigh[t], -1});
        levels.append({base + 5, LogRecord::Toxic1Stel + t, false, s.toxicStel[t], -1});
        levels.append({base + 7, LogRecord::Toxic1Twa + t, false, s.toxicTwa[t], -1});
    }
    return levels;
}

LinkReply Reply(const QByteArray &text)
{
    if (text.size() < LinkRecord::RecordLength(0) || text[0] != ':')
        return {};
    return LinkRecord::DecodeRecord(text.constData(), int(text.size()));
}

QString At(const LogRecord &e)
{
    return e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

class TestSimLog : public QObject
{
    Q_OBJECT
private slots:
    void decodesAsWritten_data();
    void decodesAsWritten();
    void holdsWhatAWorkingLogHolds();
    void seedGivesTheSameLog();
    void clockSetBackOverlapsTheNewestSessions();
    void simulatorServesAGeneratedLog();
};

void TestSimLog::decodesAsWritten_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<int>("records");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("one short session") << CrewUnit() << 60 << 3u;
    QTest::newRow("a few shifts") << CrewUnit() << 2000 << 7u;
    QTest::newRow("the simulator's own settings") << InstrumentSettings() << 6000 << 1u;
    QTest::newRow("5-second interval") << CrewUnit(5) << 40000 << 21u;
    QTest::newRow("15-minute interval") << CrewUnit(900) << 3000 << 4u;
}

void TestSimLog::decodesAsWritten()
{
    QFETCH(Settings, settings);
    QFETCH(int, records);
    QFETCH(quint32, seed);
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(seed, records, Now, settings);
    QCOMPARE(log.records.size(), records);
    const QList<LogRecord> entries = Decode(log, settings);
    QCOMPARE(entries.size(), records);

    // Every record is a reading or an event of full length, in time order,
    // from the log's start to a little before now.
    QCOMPARE(entries.first().time, log.start);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LogRecord &e = entries[i];
        if ((e.kind != LogRecord::Data && e.kind != LogRecord::Event) || e.truncated)
            QFAIL(qPrintable(QStringLiteral("record %1 at %2: kind %3%4").arg(i).arg(At(e)).arg(e.kind).arg(e.truncated ? " truncated" : "")));
        if (i > 0 && e.time < entries[i - 1].time)
            QFAIL(qPrintable(QStringLiteral("record %1 at %2 goes back in time").arg(i).arg(At(e))));
    }
    QVERIFY(entries.last().time <= Wall(Now));

    // The program finds the sessions that were written, with their IDs.
    const QList<LogSession> found = LogSession::Find(entries);
    QCOMPARE(found.size(), log.sessions.size());
    for (qsizetype i = 0; i < found.size(); ++i) {
        const LogSession &f = found[i];
        const CSimLogGenerator::Session &w = log.sessions[i];
        QCOMPARE(entries[f.first].time, w.firstData);
        QCOMPARE(entries[f.last].time, w.powerOff);
        QVERIFY(entries[f.last].IsEvent(0));
        QCOMPARE(f.dataCount, w.dataCount);
        QCOMPARE(f.operatorText, QString::fromLatin1(w.operatorId));
        QCOMPARE(f.location, QString::fromLatin1(w.locationId));
        QVERIFY(!f.operatorText.isEmpty() && !f.location.isEmpty());
    }

    // Alarm events bracket exactly the readings at or past their levels, and
    // none is left on when the instrument is switched on again.
    const QList<Level> levels = Levels(settings);
    QHash<int, bool> on;
    for (const LogRecord &e : entries) {
        if (e.kind == LogRecord::Event) {
            if (e.code == 1 || e.code == 2) {
                for (auto it = on.cbegin(); it != on.cend(); ++it) {
                    if (it.value())
                        QFAIL(qPrintable(QStringLiteral("alarm %1 still on at the power-on at %2").arg(it.key()).arg(At(e))));
                }
            }
            for (const Level &l : levels) {
                if (e.code == quint32(l.onCode) || e.code == quint32(l.onCode + 1)) {
                    const bool switchOn = e.code == quint32(l.onCode);
                    if (on.value(l.onCode) == switchOn)
                        QFAIL(qPrintable(QStringLiteral("event %1 at %2 repeats the alarm's state").arg(e.code).arg(At(e))));
                    on[l.onCode] = switchOn;
                }
            }
            continue;
        }
        for (const Level &l : levels) {
            if (!e.Present(l.slot))
                continue;
            int level = l.level;
            if (l.hcLevel >= 0) {
                const CSimLogGenerator::HcRange &r = e.unitBit == quint32(settings.hcRange.unitBit) ? settings.hcRange : settings.hcNextRange;
                QCOMPARE(e.unitBit, quint32(r.unitBit));
                level = l.hcLevel == 0 ? r.warning : r.high;
            }
            const int value = Raw(e, l.slot);
            const bool beyond = level > 0 && (l.decreasing ? value <= level : value >= level);
            if (on.value(l.onCode) != beyond)
                QFAIL(qPrintable(QStringLiteral("reading %1 at %2 against level %3: alarm %4 is %5")
                                     .arg(value).arg(At(e)).arg(level).arg(l.onCode).arg(on.value(l.onCode) ? "on" : "off")));
        }
    }
}

void TestSimLog::holdsWhatAWorkingLogHolds()
{
    const Settings settings = CrewUnit();
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(11, 20000, Now, settings);
    const QList<LogRecord> entries = Decode(log, settings);

    QSet<QString> seen;
    QHash<int, int> firstBattery; // by session, in millivolts
    const QList<LogSession> sessions = LogSession::Find(entries);
    int session = -1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LogRecord &e = entries[i];
        while (session + 1 < sessions.size() && i >= sessions[session + 1].first)
            ++session;
        if (e.kind == LogRecord::Data) {
            seen.insert(QStringLiteral("reading in unit %1").arg(e.unitBit));
            if (e.Present(LogRecord::Toxic1Stel) && e.Present(LogRecord::Toxic2Twa) && e.HasBattery())
                seen.insert(QStringLiteral("STEL, TWA and battery"));
            const int mv = int(qRound(e.values[LogRecord::Battery] * 1000));
            if (i == sessions.value(session).first)
                firstBattery[session] = mv;
            else if (i == sessions.value(session).last - 1 || !entries.value(i + 1).IsEvent(0)) {
                // Over a whole shift the pack runs down.
                if (sessions[session].dataCount >= 120 && entries.value(i + 1).kind != LogRecord::Data &&
                    e.time.secsTo(entries[sessions[session].first].time) <= -7200 && mv < firstBattery.value(session))
                    seen.insert(QStringLiteral("battery running down"));
            }
            continue;
        }
        if (e.kind != LogRecord::Event)
            continue;
        switch (e.code) {
        case 1:
            seen.insert(QStringLiteral("power-on keeping averages"));
            break;
        case 13:
            if (e.time.time() == QTime(0, 0) && i > 0 && !entries[i - 1].IsEvent(1) && !entries[i - 1].IsEvent(2))
                seen.insert(QStringLiteral("midnight"));
            break;
        case 30:
        case 33:
        case 40:
        case 83:
        case 101:
        case 103:
        case 121:
        case 123:
            seen.insert(QStringLiteral("event %1").arg(e.code));
            break;
        default:
            break;
        }
    }
    const QStringList wanted{QStringLiteral("reading in unit 1"), QStringLiteral("reading in unit 2"),
                             QStringLiteral("STEL, TWA and battery"), QStringLiteral("battery running down"),
                             QStringLiteral("power-on keeping averages"), QStringLiteral("midnight"),
                             QStringLiteral("event 30"), QStringLiteral("event 33"), QStringLiteral("event 40"),
                             QStringLiteral("event 83"), QStringLiteral("event 101"), QStringLiteral("event 103"),
                             QStringLiteral("event 121"), QStringLiteral("event 123")};
    QStringList missing;
    for (const QString &w : wanted) {
        if (!seen.contains(w))
            missing.append(w);
    }
    QCOMPARE(missing, QStringList());
}

void TestSimLog::seedGivesTheSameLog()
{
    const Settings settings = CrewUnit();
    const CSimLogGenerator::Result a = CSimLogGenerator::Build(7, 5000, Now, settings);
    const CSimLogGenerator::Result b = CSimLogGenerator::Build(7, 5000, Now, settings);
    QCOMPARE(a.records, b.records);
    QCOMPARE(a.start, b.start);
    QVERIFY(CSimLogGenerator::Build(8, 5000, Now, settings).records != a.records);
}

void TestSimLog::clockSetBackOverlapsTheNewestSessions()
{
    Settings settings = CrewUnit();
    settings.newestOverlapSeconds = 3600;
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(5, 3000, Now, settings);
    QCOMPARE(log.records.size(), 3000);
    QVERIFY(log.sessions.size() >= 2);
    const CSimLogGenerator::Session &previous = log.sessions[log.sessions.size() - 2];
    const CSimLogGenerator::Session &newest = log.sessions.last();
    // The session before it was to be off by an hour after the newest began;
    // it ends on its last reading, within an interval of that.
    const qint64 overlap = newest.powerOn.secsTo(previous.powerOff);
    QVERIFY2(overlap > 3600 - 2 * settings.intervalSeconds && overlap <= 3600, qPrintable(QString::number(overlap)));

    // The log goes back in time once, at the newest power-on, and the program
    // still finds every session with its readings.
    const QList<LogRecord> entries = Decode(log, settings);
    QCOMPARE(entries.size(), 3000);
    QList<QDateTime> backAt;
    for (qsizetype i = 1; i < entries.size(); ++i) {
        if (entries[i].time < entries[i - 1].time)
            backAt.append(entries[i].time);
    }
    QCOMPARE(backAt, QList<QDateTime>{newest.powerOn});
    const QList<LogSession> found = LogSession::Find(entries);
    QCOMPARE(found.size(), log.sessions.size());
    QCOMPARE(found.last().dataCount, newest.dataCount);
    QCOMPARE(entries[found.last().first].time, newest.firstData);
}

void TestSimLog::simulatorServesAGeneratedLog()
{
    SimOptions options;
    options.now = [] { return Now; };
    options.seed = 9;
    options.logRecords = 2500;
    CSimulator sim(options);
    CSimInstrument &instrument = sim.Instrument();
    QCOMPARE(instrument.Log().Records().size(), 2500);

    // The log status gives the first record's day and time; the upload sends
    // every record and then the end record.
    const LinkReply status = Reply(instrument.Handle(LinkRecord::Format(RecordType::ReadLogStatus, 0, {})));
    const QList<LogRecord> first = [&] {
        QList<LogRecord> e;
        LogDecoder decoder;
        decoder.Decode(instrument.Log().Records().first(), e);
        return e;
    }();
    QCOMPARE(status.data.left(3), CSimDataLog::DateField(first.first().time.date()));
    QCOMPARE(instrument.Handle("Z"), QByteArray("Z"));
    int sent = 0;
    while (Reply(instrument.Handle("!")).type == 0)
        ++sent;
    QCOMPARE(sent, 2500);

    // A log far past one sector gets a memory that holds it, with room left.
    options.logRecords = 120000;
    CSimulator large(options);
    const CSimDataLog &log = large.Instrument().Log();
    QCOMPARE(log.Records().size(), 120000);
    QVERIFY(log.TotalBytes() > CSimDataLog::CapacityBytes);
    QVERIFY(log.Capacity() >= log.TotalBytes());
    const LinkReply settings = Reply(large.Instrument().Handle(LinkRecord::Format(RecordType::ReadLogSettings, 0, {})));
    QCOMPARE(settings.data.size(), 3);
    QCOMPARE(quint8(settings.data[2]), quint8(0)); // neither stopped nor overwriting
}

QTEST_GUILESS_MAIN(TestSimLog)
#include "tst_simlog.moc"
