// One logging session: a run of Data entries between two power-ons, with the operator and location in force.
#pragma once

#include "datalog/LogRecord.h"

#include <QList>
#include <QString>

struct LogSession
{
    // A session needs this many Data entries and a span of more than this many seconds.
    static constexpr int MinimumDataCount = 4;
    static constexpr qint64 MinimumSpanSeconds = 300;

    int first = 0;     // index of its first entry (always a Data entry)
    int last = 0;      // index of its last entry
    int dataCount = 0;
    QString operatorText = QStringLiteral("?");
    QString location = QStringLiteral("?");

    /*
     * Splits entries into sessions. A session starts at the first Data entry
     * after a power-on event (1 or 2) and runs to the entry before the next
     * power-on, or to the last entry; "Powered off" ends nothing. Operator (7)
     * and Location (8) events stay in force across sessions until replaced;
     * their trailing blanks (the instrument pads its ID texts) are dropped.
     * Sessions with too few Data entries or too short a span are left out.
     */
    static QList<LogSession> Find(const QList<LogRecord> &entries);

    bool operator==(const LogSession &other) const = default;
};
