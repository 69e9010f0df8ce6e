// How the history keeps one log entry: its natural key (time and a hash that is the same whether the entry came from the instrument or from a saved CSV file) and its stored bytes.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

/*
 * The key of an entry is (instrument, time in ms, hash). The hash is taken
 * over a reading's type text and its values in the instrument's raw counts
 * (each value as the list prints it, multiplied back by its divisor; a gas
 * read with a Fraction of 0, unknown to the table, by its shown number), or
 * over any other entry's type text: a saved file holds only those texts, so
 * this is what a retrieval and a file of it have in common, and a toxic gas
 * whose divisor changed between two retrievals still gives its old readings
 * the keys they were stored with. Then over its occurrence among equal rows
 * before it in the same log: an instrument that wrote the same reading
 * twice in one second keeps both. Entries without a time take the time of
 * the entry before them, as the CSV reader does, and are marked so.
 *
 * The "Start of data log" and "End of data log" entries are made by the
 * program at each retrieval, not by the instrument; they are not stored.
 */
class CHistoryLogCodec
{
public:
    struct Keyed
    {
        qint64 timeMs = 0;  // entry time, or the previous entry's when it has none
        qint64 hash = 0;    // non-negative 63-bit
        bool timeless = false;
        int index = 0;      // position in the list given
    };

    static bool IsStored(const LogRecord &entry)
    {
        return entry.kind != LogRecord::StartOfLog && entry.kind != LogRecord::EndOfLog;
    }
    // Keys of the stored entries, in list order.
    static QList<Keyed> Keys(const QList<LogRecord> &entries, const LogSensors &sensors);
    // The hash of one stored entry before it is told apart from equal ones.
    static qint64 Hash(const LogRecord &entry, const LogSensors &sensors);
    // Gives equal (time, hash) pairs their occurrence numbers, in list order.
    static void TellApart(QList<Keyed> &keys);

    static QByteArray Encode(const LogRecord &entry);
    // false when the bytes are not an encoded entry.
    static bool Decode(const QByteArray &bytes, LogRecord *entry);
};
