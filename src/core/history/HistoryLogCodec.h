// How the history keeps one log entry: its natural key (time and a hash that is the same whether the entry came from the instrument or from a saved CSV file) and its stored bytes.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

/*
 * The key of an entry is (instrument, time in ms, hash). The hash is taken
 * over a reading's row as the CSV file writes it with the sensors the log
 * was read with, or over any other entry's type text (a saved file holds
 * only those texts, so this is what a retrieval and a file of it have in
 * common), and over its occurrence among
 * equal rows before it in the same log: an instrument that wrote the same
 * reading twice in one second keeps both, and a CSV file of a log gives the
 * keys its retrieval gave. Entries without a time take the time of the entry
 * before them, as the CSV reader does, and are marked so.
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

    static QByteArray Encode(const LogRecord &entry);
    // false when the bytes are not an encoded entry.
    static bool Decode(const QByteArray &bytes, LogRecord *entry);
};
