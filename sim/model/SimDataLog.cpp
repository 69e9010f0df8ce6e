// Data log of the simulated instrument.
#include "SimDataLog.h"

#include "link/LinkRecord.h"

#include <QRandomGenerator>

namespace {
quint8 ToBcd(int value)
{
    return quint8(((value / 10) % 10) << 4 | (value % 10));
}

// Appends records in time order and puts a date event at each midnight, as
// the instrument does so that time stamps keep their day.
class CLogWriter
{
public:
    CLogWriter(QList<QByteArray> &records, const QDate &day) : m_records(records), m_day(day) {}
    void Add(const QDateTime &when, const QByteArray &record)
    {
        if (when.date() != m_day) {
            m_day = when.date();
            m_records.append(CSimDataLog::Event(QTime(0, 0), 13, CSimDataLog::DateField(m_day)));
        }
        m_records.append(record);
    }

private:
    QList<QByteArray> &m_records;
    QDate m_day;
};
} // namespace

QByteArray CSimDataLog::Bcd(int value)
{
    return QByteArray(1, char(ToBcd(value)));
}

QByteArray CSimDataLog::DateField(const QDate &date)
{
    return Bcd(date.year() % 100) + Bcd(date.month()) + Bcd(date.day());
}

QByteArray CSimDataLog::Event(const QTime &time, int code, const QByteArray &parameters)
{
    QByteArray r;
    r.append(char(0x80 | ToBcd(time.hour())));
    r.append(char(ToBcd(time.minute())));
    r.append(char(ToBcd(time.second())));
    r.append(char(code));
    r.append(parameters);
    return r;
}

QByteArray CSimDataLog::DataRecord(const QTime &time, const Sample &s)
{
    QByteArray r;
    r.append(char(ToBcd(time.hour())));
    r.append(char(ToBcd(time.minute())));
    r.append(char(ToBcd(time.second())));
    r.append(char(s.mask));
    quint8 high = 0;
    QByteArray values;
    if (s.mask & 0x01) {
        // Range bits 0-1 ride in the top of the HC word, bit 2 in the high-bits byte.
        values.append(char(s.hc & 0xFF));
        values.append(char(((s.hc >> 8) & 0x3F) | ((s.hcRange & 3) << 6)));
        if (s.hcRange & 4)
            high |= 0x01;
    }
    if (s.mask & 0x02) {
        values.append(char(s.o2 & 0xFF));
        if (s.o2 & 0x100)
            high |= 0x02;
    }
    for (int i = 0; i < 6; ++i) {
        if (!(s.mask & (0x04 << i)))
            continue;
        values.append(char(s.toxic[i] & 0xFF));
        if (s.toxic[i] & 0x100)
            high |= quint8(0x04 << i);
    }
    r.append(char(high));
    r.append(values);
    if (s.withBattery) {
        r.append(char(s.battery & 0xFF));
        r.append(char(s.battery >> 8));
    }
    return r;
}

void CSimDataLog::BuildDemo(const QDateTime &now, const Demo &demo)
{
    QRandomGenerator random(0x106u);
    const int interval = qMax(1, demo.intervalSeconds);
    QList<QByteArray> records;
    const QDateTime firstOn = now.addSecs(-3 * 3600);
    CLogWriter log(records, firstOn.date());

    const QByteArray idParam = demo.instrumentId.leftJustified(16, ' ', true);
    const QByteArray opParam = demo.operatorId.leftJustified(16, ' ', true);
    const QByteArray locParam = demo.locationId.leftJustified(16, ' ', true);
    const QByteArray gas = demo.toxic1Name.left(3).trimmed() + QByteArray(1, '\0');
    const quint8 mask = quint8(0x0F | (demo.logStel ? 0x30 : 0) | (demo.logTwa ? 0xC0 : 0));

    auto sample = [&](int toxic1) {
        Sample s;
        s.mask = mask;
        s.hc = quint16(random.bounded(3));
        s.o2 = quint16(208 + random.bounded(3));
        s.toxic[0] = quint16(toxic1);
        s.toxic[1] = quint16(random.bounded(4));
        s.toxic[2] = quint16(toxic1 / 3);
        s.toxic[3] = 0;
        s.toxic[4] = quint16(toxic1 / 8);
        s.toxic[5] = 0;
        s.battery = demo.batteryWord;
        return s;
    };
    auto powerOn = [&](const QDateTime &t, int code) {
        log.Add(t, Event(t.time(), code, DateField(t.date())));
        log.Add(t, Event(t.time(), 9, idParam));
        log.Add(t, Event(t.time(), 7, opParam));
        log.Add(t, Event(t.time(), 8, locParam));
        log.Add(t, Event(t.time(), 29, QByteArray("\x0F\x00", 2)));
        log.Add(t, Event(t.time(), 26, QByteArray("\x06\x00", 2)));
    };

    // First session: twenty readings with a brief CO rise over the warning level.
    powerOn(firstOn, 2);
    static const int rise[] = {0, 0, 0, 0, 0, 0, 0, 6, 14, 29, 33, 24, 10, 3, 1, 0, 0, 0, 0, 0};
    QDateTime t = firstOn;
    bool alarm = false;
    for (int i = 0; i < 20; ++i) {
        t = t.addSecs(interval);
        const int co = rise[i] * qMax(1, demo.toxic1Warning) / 25 + int(random.bounded(2));
        log.Add(t, DataRecord(t.time(), sample(co)));
        if (!alarm && co >= demo.toxic1Warning) {
            log.Add(t, Event(t.time(), 101, gas));
            alarm = true;
        } else if (alarm && co < demo.toxic1Warning) {
            log.Add(t, Event(t.time(), 102, gas));
            alarm = false;
        }
    }
    t = t.addSecs(30);
    log.Add(t, Event(t.time(), 0, DateField(t.date())));

    // Second session: switched on 25 minutes ago and still running.
    const QDateTime secondOn = now.addSecs(-25 * 60);
    powerOn(secondOn, 1);
    t = secondOn;
    for (int i = 0; i < 200; ++i) {
        t = t.addSecs(interval);
        if (t > now)
            break;
        log.Add(t, DataRecord(t.time(), sample(int(random.bounded(3)))));
    }
    SetRecords(firstOn, records);
}

QDate CSimDataLog::Generate(quint32 seed, int records, const QDateTime &now, const CSimLogGenerator::Settings &settings)
{
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(seed, records, now, settings);
    // The generator keeps wall-clock times in UTC; the status reports the
    // same wall-clock digits.
    SetRecords(QDateTime(log.start.date(), log.start.time()), log.records);
    return log.lastPassedCalibration.date();
}

void CSimDataLog::SetRecords(const QDateTime &start, const QList<QByteArray> &records)
{
    m_start = start;
    m_records = records;
    m_next = 0;
    m_lastSent = -1;
    m_totalBytes = 0;
    for (const QByteArray &r : m_records)
        m_totalBytes += r.size();
    qint64 sectors = 1;
    while (sectors * CapacityBytes < m_totalBytes)
        sectors *= 2;
    m_capacity = qMax(m_capacity, sectors * CapacityBytes);
}

int CSimDataLog::UsedBytes() const
{
    return int(qMin<qint64>(m_totalBytes, CapacityBytes));
}

QByteArray CSimDataLog::RecordReply(int index) const
{
    if (index < 0 || index >= m_records.size())
        return LinkRecord::Format(1, 0, {}); // the end record
    return LinkRecord::Format(0, unsigned(index) & 0xFFFF, m_records[index]);
}

QByteArray CSimDataLog::StartUpload()
{
    m_next = 0;
    m_lastSent = -1;
    return QByteArray("Z");
}

QByteArray CSimDataLog::Next()
{
    if (m_clearStarted.isValid() || m_next >= m_records.size()) {
        m_lastSent = -2;
        return RecordReply(-1);
    }
    m_lastSent = m_next++;
    return RecordReply(m_lastSent);
}

QByteArray CSimDataLog::Repeat()
{
    if (m_lastSent == -1)
        return Next();
    return RecordReply(m_lastSent == -2 ? -1 : m_lastSent);
}

void CSimDataLog::StartClear(const QDateTime &now)
{
    if (!m_clearStarted.isValid())
        m_clearStarted = now;
}

int CSimDataLog::ClearingStepsLeft(const QDateTime &now)
{
    if (!m_clearStarted.isValid())
        return 0;
    const qint64 elapsed = qMax<qint64>(0, m_clearStarted.msecsTo(now));
    const qint64 done = elapsed / ClearStepMs;
    if (done >= ClearSteps) {
        const QDateTime finished = m_clearStarted.addMSecs(qint64(ClearSteps) * ClearStepMs);
        m_clearStarted = QDateTime();
        SetRecords(QDateTime(finished.date(), QTime(finished.time().hour(), finished.time().minute(),
                                                    finished.time().second())),
                   {});
        return 0;
    }
    return int(ClearSteps - done);
}

QByteArray CSimDataLog::StatusBytes(const QDateTime &now)
{
    const int left = ClearingStepsLeft(now);
    const QDateTime s = m_start.isValid() ? m_start : now;
    QByteArray b;
    b += Bcd(s.date().year() % 100);
    b += Bcd(s.date().month());
    b += Bcd(s.date().day());
    b += Bcd(s.time().hour());
    b += Bcd(s.time().minute());
    b += Bcd(s.time().second());
    b += char(left);
    return b;
}

QByteArray CSimDataLog::SettingsBytes(const QDateTime &now, int intervalSeconds, bool overwriteOnFull)
{
    ClearingStepsLeft(now);
    // A reading with both averages and the battery takes 16 bytes.
    const int recordBytes = 16;
    const qint64 free = qMax<qint64>(0, m_capacity - m_totalBytes);
    const qint64 bytesPerHour = qint64(recordBytes) * 3600 / qMax(1, intervalSeconds);
    const qint64 hours = qBound(qint64(0), free / qMax(qint64(1), bytesPerHour), qint64(65535));
    const bool full = free < recordBytes;
    quint8 flags = 0;
    if (full)
        flags = overwriteOnFull ? 0x02 : 0x01;
    QByteArray b;
    b += char(hours & 0xFF);
    b += char(hours >> 8);
    b += char(flags);
    return b;
}
