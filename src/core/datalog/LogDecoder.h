// Turns the instrument's binary log records into LogRecord entries, keeping the running log date.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"

#include <QByteArrayView>
#include <QDate>
#include <QList>

/*
 * Byte 0 of a record is the kind-and-hour byte:
 *   00-23 (BCD)  Data, hour in bits 0-6
 *   24           Recoverable Event
 *   25-2A        Config (its "hour" 25-30 lands on the next day, as stored)
 *   7F           filler, no entry
 *   80-A3 (BCD)  Event, hour in bits 0-6
 *   anything else: Illegal record
 * Bytes 1 and 2 are minute and second in BCD. Multi-byte numbers are low byte
 * first. BCD nibbles above 9 are taken as they come (0x1A reads as 20).
 *
 * Data:   3 presence mask, 4 high bits (bit 0 HC range bit 2, bits 1-7 bit 8 of
 *         O2, T1, T2, T1 STEL, T2 STEL, T1 TWA, T2 TWA), then the present
 *         values packed in mask order (HC 2 bytes: low 14 bits value, top 2
 *         range bits 0-1; the others 1 byte), then a battery word when two
 *         bytes remain.
 * Event:  3 code, 4... parameters by code (see LogDecoder.cpp).
 *
 * The records carry no date except in the date-carrying events (0, 1, 2, 13,
 * 63, 79, 80, 113, 133): those set the running log date before their own time
 * stamp is made. Their date field is year (99 = 1999, else 2000 + year),
 * month and day in BCD; impossible months and days roll over into the next
 * or previous month or year, so every record gets a usable time.
 *
 * Nothing is read beyond a record's length. A record too short for its kind,
 * mask or event code keeps what fitted and is marked truncated.
 */
class LogDecoder
{
public:
    explicit LogDecoder(const LogSensors &sensors = LogSensors());

    // Divisors for the toxic values of the records decoded from now on.
    void SetSensors(const LogSensors &sensors) { m_sensors = sensors; }
    const LogSensors &Sensors() const { return m_sensors; }

    // Until set, the running date is 1 January 2000.
    void SetRunningDate(const QDate &date) { m_runningDate = date; }
    QDate RunningDate() const { return m_runningDate; }

    // Decodes one record and appends its entry; false for a filler record.
    // Empty input appends an Illegal record stamped with the time of the last
    // entry, or with the running date at midnight when there is none.
    bool Decode(QByteArrayView bytes, QList<LogRecord> &entries);
    // The entry for one non-empty, non-filler record (filler gives an Illegal
    // entry here); the running date moves as in Decode.
    LogRecord DecodeRecord(QByteArrayView bytes);

    static LogRecord::Kind KindOf(quint8 byte0);
    static int Bcd(quint8 byte) { return (byte >> 4) * 10 + (byte & 0x0F); }
    // Midnight of a BCD date field, normalised as described above.
    static QDate DateField(quint8 year, quint8 month, quint8 day);
    // y/m/d rolled over like the C library's mktime: month 13 is January of
    // the next year, day 0 the last day of the month before.
    static QDate NormalisedDate(int year, int month, int day);

private:
    void DecodeData(QByteArrayView bytes, LogRecord &entry) const;
    void DecodeEvent(QByteArrayView bytes, LogRecord &entry);
    // Reads a date field at byte `at`; false when it does not fit.
    bool TakeDate(QByteArrayView bytes, qsizetype at);

    LogSensors m_sensors;
    QDate m_runningDate{2000, 1, 1};
};
