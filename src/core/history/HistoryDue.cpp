// The due-date disagreement text.
#include "history/HistoryDue.h"

QString CHistoryDue::Disagreement(const HistoryFleetRow &row)
{
    if (!row.instrumentDue.isValid() || !row.logDue.isValid() || qAbs(row.instrumentDue.msecsTo(row.logDue)) <= ToleranceMs)
        return {};
    const auto day = [](const QDateTime &utc) { return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")); };
    return QStringLiteral("instrument: due %1; log: %2 %3")
        .arg(day(row.instrumentDue),
             row.logCalibrationFailed ? QStringLiteral("calibration failed") : QStringLiteral("calibrated"),
             day(row.logCalibration));
}
