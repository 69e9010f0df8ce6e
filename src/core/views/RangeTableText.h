// Row labels and cell texts of the "Range Table" view.
#pragma once

#include "document/RangeRecord.h"

#include <QString>

class CRangeTableText
{
public:
    enum Row {
        Active, AutoRange, NotCh4Hex, NextRange, DoubleClickRange, Label, HCSupply, DisplayUnits,
        Pot1, Pot6 = Pot1 + 5, Gain, FullScaleMv, FullScale, AlarmMinimum, AlarmMaximum, RowCount
    };

    // The row's label in the "Parameter" column; empty outside the rows.
    static QString RowLabel(int row);
    // The text of a row in the column of one range record. active: the
    // record is the one HCRangeIndex selects. A record marked not in use
    // shows nothing at all.
    static QString Cell(const CRangeRecord &record, int row, bool active);

    // The bridge amplifier's gain set by the six pots: 1 + (Pot 1..4) / Rp,
    // Rp the parallel of Pot 5 and Pot 6 in whole pot steps. 1 when Pot 5 or
    // Pot 6 is 0 (that leg is open); false with *finite when both are set but
    // Rp truncates to 0, where the quotient has no value.
    static double GainOf(const CRangeRecord &record, bool *finite = nullptr);
};
