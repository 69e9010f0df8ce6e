// Reads a saved data-log file for the history: finds the gas divisors and combustible scale the file was written with, so its entries come back as the retrieval that wrote it had them.
#pragma once

#include "datalog/LogCsvReader.h"

#include <QList>
#include <QString>
#include <optional>

/*
 * A saved file names its gases but not their divisors, and without them a
 * reader puts values on the wrong grid (a "CO maximum" of 45 read back as
 * 50), so the same log would be kept twice. The divisors and scale are taken
 * from `known` (the instrument's last retrieval) when that reproduces the
 * file's rows, else from the choice that reproduces most of them.
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

    static Result Read(const QString &path, const std::optional<LogSensors> &known = std::nullopt);
    static Result Parse(const QByteArray &content, const std::optional<LogSensors> &known = std::nullopt);
};
