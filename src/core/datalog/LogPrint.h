// The "Print Data" text: the log list as fixed-width lines for an 8-point Courier page.
#pragma once

#include "datalog/LogRecord.h"

#include <QList>
#include <QString>

class LogSensors;

/*
 * Thirteen fields per line (the list's twelve columns and an empty thirteenth):
 * type 32 characters, date and time 9 each, then ten value fields of 5 that
 * hold at most 4 characters right-aligned, so 100 characters and CR LF.
 * Two heading lines split each heading at its blanks: the part before the
 * first one above the part after the last one ("CO STEL" prints CO over STEL).
 */
class LogPrint
{
public:
    static constexpr int FieldCount = 13;

    static QString Text(const QList<LogRecord> &entries, const LogSensors &sensors);
    // One line of field texts, laid out as above, with its CR LF.
    static QString Line(const QStringList &fields);
};
