// Loads arbitrary bytes as a data-log file, with a toxic table and without
// one, then shows, saves and splits the result into sessions.
#include "datalog/LogCsv.h"
#include "datalog/LogCsvReader.h"
#include "datalog/LogList.h"
#include "datalog/LogPrint.h"
#include "datalog/LogSession.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<LogToxicGas> table{{QStringLiteral("   "), 0}, {QStringLiteral("CO "), 1},
                                   {QStringLiteral("H2S"), 10}, {QStringLiteral("NO2"), 100}};
    for (const QList<LogToxicGas> &toxic : {table, QList<LogToxicGas>{}}) {
        const LogCsvReader::Result result = LogCsvReader(toxic, 50).Parse(input);
        if (result.entries.size() > input.size())
            std::abort();
        for (const LogCsvReader::Problem &problem : result.problems) {
            if (problem.line < 1)
                std::abort();
        }
        LogCsv::FileText(result.entries, result.sensors);
        LogPrint::Text(result.entries.mid(0, 64), result.sensors);
        LogSession::Find(result.entries);
    }
    return 0;
}
