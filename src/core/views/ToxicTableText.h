// Row labels and cell texts of the "Toxic Table" view.
#pragma once

#include "document/ToxicRecord.h"

#include <QString>

class CToxicTableText
{
public:
    enum Row {
        AlarmMinimum, AlarmMaximum, CalGas1, CalGas4 = CalGas1 + 3, StelAlarm, TwaAlarm, BiasTimeout,
        MaximumReading, TempCo0, TempCo15 = TempCo0 + 15, Deadband, Filtering, Direction, Fraction,
        MinimumValue, MaximumValue, MinimumOffset, MaximumOffset, MinimumSpan, MaximumSpan, WeakSpan,
        DefaultWarningAlarm, DefaultHighAlarm, DefaultCalGasIndex, CalWaitTime, DefaultOffset,
        DefaultSpan, MuxSettings, SpanAttenuation, RowCount
    };

    // The row's label in the "Parameter" column; empty outside the rows.
    static QString RowLabel(int row);
    // The text of a row in the column of one gas record.
    static QString Cell(const CToxicRecord &record, int row);
    // A raw level of the record as the user sees it: raw / Fraction with as
    // many decimals as the Fraction gives.
    static QString Level(const CToxicRecord &record, int raw);
};
