// Reads a saved data-log file back into entries, so sessions and charts can be seen without an instrument.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

/*
 * Rows come back as the entries they were written from, as far as the texts
 * allow:
 *   - "Data" with an HC unit suffix gives that unit bit; the HC count is the
 *     shown number, times 10 for %VOL and %LOW.
 *   - Values are put back on the raw-count grid of their sensor when that
 *     reproduces the shown text, so a reloaded log charts the same numbers.
 *   - "XXX" gives an over-range value at the over-range count.
 *   - Events are found by their text; codes 4, 7, 8, 9, 26, 29, 30-33, 63, 67,
 *     79, 80, 113 and 133 get their parameters back from the type text and
 *     the value columns; toxic events whose gas name matches neither column
 *     name are taken as Toxic 1's.
 *   - A type text ending in LogText::TruncatedMarker gives a truncated entry.
 *   - A row with fewer than three fields takes the time of the row before.
 * Blank lines are skipped. Problems are reported with their line number and
 * never stop the reading; lines longer than MaximumLineLength are cut.
 */
class LogCsvReader
{
public:
    struct Problem
    {
        int line = 0; // 1 = the heading
        QString text;
        bool operator==(const Problem &other) const = default;
    };

    struct Result
    {
        QList<LogRecord> entries;
        LogSensors sensors;        // gas names from the heading, divisors from the table
        QList<Problem> problems;
        QString error;             // "Error reading <path>"; the entries read so far stay
        QString detail;            // why, for the error
        bool Ok() const { return error.isEmpty(); }
    };

    // Position in bytes and the total, reported about every 2% of the input.
    using Progress = std::function<void(qint64 position, qint64 total)>;

    static constexpr qsizetype MaximumLineLength = 65536;
    static constexpr qsizetype MaximumRows = 2000000;
    static constexpr qint64 MaximumFileSize = qint64(256) << 20;

    // `table` is the toxic table (record 0 = no sensor) and `hcFullScale` the
    // current range's Full Scale, as for a live log.
    LogCsvReader(const QList<LogToxicGas> &table, int hcFullScale);

    Result Parse(QByteArrayView content, const Progress &progress = {}) const;
    Result Load(const QString &path, const Progress &progress = {}) const;

    // Month/day/year and hour:minute:second as the file writes them; a missing
    // day is 1, a missing year 0 (2000), year 99 is 1999 and any other year
    // below 100 is 2000 + year.
    static QDateTime ParseTime(QByteArrayView date, QByteArrayView time);

private:
    LogRecord ParseRow(const QList<QByteArrayView> &fields, const LogSensors &sensors,
                       QStringList *problems) const;

    QList<LogToxicGas> m_table;
    int m_hcFullScale = 0;
};
