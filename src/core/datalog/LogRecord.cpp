// One decoded data-log entry; the markers that frame an upload.
#include "datalog/LogRecord.h"

LogRecord LogRecord::Marker(Kind kind, const QDateTime &time)
{
    LogRecord entry;
    entry.kind = kind;
    entry.time = time;
    return entry;
}
