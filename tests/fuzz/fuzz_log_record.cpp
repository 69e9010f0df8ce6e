// Decodes arbitrary bytes as a stream of log records: the first byte of each
// chunk gives the record length, as the link hands over one record at a time.
#include "datalog/LogCsv.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogList.h"
#include "datalog/LogSession.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const LogSensors sensors(QStringLiteral("CO "), 0, QStringLiteral("H2S"), 100, 50);
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(QDate(2004, 6, 15));
    QList<LogRecord> entries;
    for (qsizetype at = 0; at < input.size();) {
        const qsizetype length = qMin<qsizetype>(quint8(input[at]), input.size() - at - 1);
        const QByteArrayView record = input.sliced(at + 1, length);
        const bool added = decoder.Decode(record, entries);
        if (added && entries.constLast().raw != record.toByteArray())
            std::abort();
        at += 1 + length;
    }
    for (const LogRecord &entry : entries) {
        for (int column = 0; column < LogList::ColumnCount; ++column)
            LogList::Cell(entry, column, sensors);
        LogCsv::RowLine(entry, sensors);
    }
    for (const LogSession &session : LogSession::Find(entries)) {
        if (session.first < 0 || session.last >= entries.size() || session.first > session.last)
            std::abort();
    }
    return 0;
}
