// A log event as the instrument's log records it, for the tests that make calibrations and bump tests from events.
#pragma once

#include "datalog/LogRecord.h"

inline LogRecord Event(int code, const QDateTime &time, quint32 param = 0)
{
    LogRecord e;
    e.kind = LogRecord::Event;
    e.code = quint32(code);
    e.param = param;
    e.time = time;
    return e;
}
