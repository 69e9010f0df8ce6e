// Reads a saved data-log file for the history: finds the gas divisors and combustible scale the file was written with, so its entries come back as the retrieval that wrote it had them.
#pragma once

#include "HistoryTypes.h"
#include "datalog/LogCsvReader.h"

#include <QList>
#include <QString>
#include <optional>

class CHistoryStore;

/*
 * A saved file names its gases but not their divisors. The divisors and HC
 * scale of `known` (the instrument's last retrieval) are used when they
 * reproduce the file's rows at least as well as what the file itself shows;
 * otherwise the reader takes each sensor's divisor from the decimals its
 * values are shown with, and HC maxima as counted in whole units.
 */
class CHistoryCsvImport
{
public:
    struct Result
    {
        LogCsvReader::Result read;
        // Reading rows the chosen sensors do not write back exactly as the
        // file has them (0 for a file this program saved).
        qsizetype unmatched = 0;
    };

    // "0001e240", "1e240" -> "0001E240"; empty when the text is no
    // hexadecimal serial number of up to 8 digits.
    static QString NormalSerial(const QString &text);

    static Result Read(const QString &path, const std::optional<LogSensors> &known = std::nullopt);
    static Result Parse(const QByteArray &content, const std::optional<LogSensors> &known = std::nullopt);

    // Reads the file with the divisors of the instrument's last retrieval and
    // records it as an import for serial. *imported (when given) gets what
    // was read; a file that cannot be read is not recorded and the result's
    // error names it.
    static HistoryWriteResult Record(CHistoryStore &store, const QString &path, const QString &serial, Result *imported = nullptr);
    // The instrument a saved log belongs to, when the history tells it: a
    // known serial number in the file's name, or the one instrument whose ID
    // the log's "Instrument" entries name. Empty when none or several fit.
    static QString MatchSerial(const QList<HistoryFleetRow> &fleet, const QString &path, const QList<LogRecord> &entries);
};
