// Reads a saved data-log file back into entries, so sessions and charts can be seen without an instrument.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>

/*
 * Rows come back as the entries they were written from, as far as the texts
 * allow:
 *   - "Data" with an HC unit suffix gives that unit bit; the HC count is the
 *     shown number, times 10 for %VOL and %LOW.
 *   - Values are put back on the raw-count grid of their sensor when that
 *     reproduces the shown text, so a reloaded log charts the same numbers.
 *   - With no toxic table at all there is no Fraction to read the grid from;
 *     the file's own texts give it instead: a value shown with 0, 1 or 2
 *     decimals counts in 1, 1/10 or 1/100 units, and each sensor keeps the
 *     Fraction (1, 10 or 100) that most of its values were shown with (1 when
 *     it shows none). A toxic table's record 0 ("no sensor", Fraction 0 =
 *     divisor 0.1) is no stand-in: on its grid of ten units a "CO maximum"
 *     of 45 would come back as 50.
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
        LogSensors sensors;        // gas names from the heading, divisors from the table (or the texts)
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

    /*
     * Takes a file a line at a time and gives exactly the result Parse gives
     * for the whole text: Parse, Load and a load in the background all read
     * through it.
     */
    class Lines
    {
    public:
        // `expectedRows` only sizes the entry list up front.
        explicit Lines(const LogCsvReader &reader, qsizetype expectedRows = 0);

        // One line without its '\n'. False once the row limit has stopped the
        // reading (the result carries the error); later lines are not taken.
        bool Take(QByteArrayView line);
        // Lines taken so far, blank ones included.
        int LineNumber() const { return m_lineNumber; }
        // The entries and problems; call once, after the last line.
        Result Finish();

        // How shown toxic values go back to raw counts: the table's divisors,
        // or with no table each value's own decimals (see above); `seen`
        // counts the values per sensor shown with 0, 1 and 2 decimals.
        struct Grid
        {
            LogSensors sensors;
            bool fromText = false;
            std::array<std::array<qsizetype, 3>, 2> seen{};
            bool overRange = false; // a toxic "XXX" waits for its sensor's divisor
        };

    private:
        const LogCsvReader &m_reader;
        Result m_result;
        Grid m_grid;
        QList<QByteArrayView> m_fields;
        int m_lineNumber = 0;
        bool m_haveHeading = false;
        bool m_stopped = false;
    };

    Result Parse(QByteArrayView content, const Progress &progress = {}) const;
    // Reads the file in blocks, never all of it at once. When `cancel` turns
    // true the reading stops at the next line; what it gives then is of no use.
    Result Load(const QString &path, const Progress &progress = {},
                const std::atomic<bool> *cancel = nullptr) const;

    // Month/day/year and hour:minute:second as the file writes them; a missing
    // day is 1, a missing year 0 (2000), year 99 is 1999 and any other year
    // below 100 is 2000 + year.
    static QDateTime ParseTime(QByteArrayView date, QByteArrayView time);

private:
    QList<LogToxicGas> m_table;
    int m_hcFullScale = 0;
};
