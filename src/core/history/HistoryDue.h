// How the history tells that an instrument's own due date and its log's disagree, in the words every report, table and command uses.
#pragma once

#include "HistoryTypes.h"

#include <QString>

class CHistoryDue
{
public:
    // More than this apart, the two reckonings are said to differ.
    static constexpr qint64 ToleranceMs = 86400000;

    // "instrument: due 2026-03-14; log: calibrated 2026-12-04" (or "log:
    // calibration failed 2026-12-04") when the instrument's due date and the
    // log's lie more than a day apart; empty otherwise. Dates in this
    // computer's local time, as yyyy-MM-dd.
    static QString Disagreement(const HistoryFleetRow &row);
};
