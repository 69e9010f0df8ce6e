// The simulated instrument's data log: the log records it would upload one
// by one after "Z", its start time, and the clearing it does in 84 steps.
#pragma once

#include "SimLogGenerator.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

class CSimDataLog
{
public:
    static constexpr int ClearSteps = 84;
    static constexpr int ClearStepMs = 50;
    // The current log sector, less its marker word: the whole log memory of
    // a standard instrument.
    static constexpr int CapacityBytes = 2 * 0x8000 - 2;

    // What the demonstration log is made of: the instrument's IDs and
    // logging settings at the time it was written.
    struct Demo
    {
        QByteArray instrumentId;
        QByteArray operatorId;
        QByteArray locationId;
        QByteArray toxic1Name; // up to 3 characters
        int intervalSeconds = 60;
        bool logStel = true;
        bool logTwa = true;
        int toxic1Warning = 25; // raw
        quint16 batteryWord = 26870;
    };

    // Two sessions ending at now: an earlier one with a short CO rise and its
    // alarm events, and the running one up to the present.
    void BuildDemo(const QDateTime &now, const Demo &demo);
    // A log of exactly `records` records made from the seed, ending near now
    // (SimLogGenerator.h). Gives the date of its newest calibration that
    // every sensor passed (invalid when it holds none).
    QDate Generate(quint32 seed, int records, const QDateTime &now, const CSimLogGenerator::Settings &settings);
    // A log larger than one sector is held in a larger memory: the smallest
    // count of sectors, doubling from one, that takes it. The memory keeps
    // its size when the log is cleared.
    void SetRecords(const QDateTime &start, const QList<QByteArray> &records);
    const QList<QByteArray> &Records() const { return m_records; }
    QDateTime StartTime() const { return m_start; }
    // Bytes in the current log sector (what its memory pointer counts).
    int UsedBytes() const;
    qint64 TotalBytes() const { return m_totalBytes; }
    qint64 Capacity() const { return m_capacity; }

    // Replies to "Z", "!" and "?".
    QByteArray StartUpload();
    QByteArray Next();
    QByteArray Repeat();

    void StartClear(const QDateTime &now);
    // Steps of the clearing still to do (0 when not clearing); a finished
    // clearing empties the log and restarts it at the moment it finished.
    int ClearingStepsLeft(const QDateTime &now);

    // Reply bytes of the log status (type 136) and log settings (type 134).
    QByteArray StatusBytes(const QDateTime &now);
    QByteArray SettingsBytes(const QDateTime &now, int intervalSeconds, bool overwriteOnFull);

    // Record builders, in the instrument's log layout.
    static QByteArray DateField(const QDate &date);
    static QByteArray Event(const QTime &time, int code, const QByteArray &parameters = {});
    struct Sample
    {
        quint16 hc = 0; // 14 bits
        quint16 o2 = 209;
        quint16 toxic[6] = {}; // Toxic 1, Toxic 2, their STEL, their TWA (9 bits)
        quint8 mask = 0x0F;
        quint16 battery = 0;
        bool withBattery = true;
        int hcRange = 0; // range index 0-7: the HC unit bit is 1 << hcRange
    };
    static QByteArray DataRecord(const QTime &time, const Sample &sample);

private:
    static QByteArray Bcd(int value);
    QByteArray RecordReply(int index) const;

    QList<QByteArray> m_records;
    qint64 m_totalBytes = 0;
    qint64 m_capacity = CapacityBytes;
    QDateTime m_start;
    int m_next = 0;
    int m_lastSent = -1; // -2 after the end record
    QDateTime m_clearStarted;
};
