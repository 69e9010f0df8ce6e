// Finds the calibrations and bump tests in a data log, per sensor, with their outcome.
#pragma once

#include "HistoryTypes.h"
#include "datalog/LogRecord.h"

#include <QList>

/*
 * A calibration as the instrument logs it: Cal started (11), Air adjust
 * (10), Before and After cal values (31, 32, their mask the sensors), Cal
 * results (33: bits 0-3 the sensors calibrated, bits 8-11 those that failed,
 * bits 12-15 those that passed weak), Cal completed (36); or Cal aborted
 * (35) on the way. A bump test: Bump test started (28), Bump test values
 * (30, its mask the sensors), Bump test completed (24) or aborted (25); No
 * gas detected (34) during one fails it.
 *
 * Sensors of an abort before any values are the ones the session's Enabled
 * sensors (29) named; without one, the HC sensor.
 */
class CHistoryCalibrationFinder
{
public:
    // serial is left empty; times are the events' own.
    static QList<HistoryCalibration> Find(const QList<LogRecord> &entries);

    static constexpr int CalStarted = 11;
    static constexpr int CalResults = 33;
    static constexpr int CalAborted = 35;
    static constexpr int CalCompleted = 36;
    static constexpr int AfterCalValues = 32;
    static constexpr int EnabledSensors = 29;
    static constexpr int BumpStarted = 28;
    static constexpr int BumpValues = 30;
    static constexpr int BumpCompleted = 24;
    static constexpr int BumpAborted = 25;
    static constexpr int NoGasDetected = 34;
    // Event codes the finder looks at (for a database that derives from stored entries).
    static QList<int> Codes();
};
