// Calibrations and bump tests from the log's events.
#include "history/HistoryCalibrationFinder.h"

namespace {
void Add(QList<HistoryCalibration> &out, HistoryCalibration::Kind kind, int mask, const QDateTime &time, bool passed,
         const QString &result)
{
    for (int sensor = 0; sensor < 4; ++sensor) {
        if (!(mask & (1 << sensor)))
            continue;
        HistoryCalibration c;
        c.kind = kind;
        c.sensor = sensor;
        c.time = time;
        c.passed = passed;
        c.result = result;
        out.append(c);
    }
}
} // namespace

QList<int> CHistoryCalibrationFinder::Codes()
{
    return {CalStarted, CalResults, CalAborted, CalCompleted, AfterCalValues, EnabledSensors,
            BumpStarted, BumpValues, BumpCompleted, BumpAborted, NoGasDetected};
}

QList<HistoryCalibration> CHistoryCalibrationFinder::Find(const QList<LogRecord> &entries)
{
    QList<HistoryCalibration> out;
    int enabled = 0;
    bool inCal = false, calResults = false, inBump = false, noGas = false;
    int calMask = 0, bumpMask = 0;
    const auto fallback = [&] { return enabled ? enabled : 1; };
    for (const LogRecord &e : entries) {
        if (e.kind != LogRecord::Event || !e.time.isValid())
            continue;
        switch (int(e.code)) {
        case EnabledSensors:
            enabled = int(e.param & 0xF);
            break;
        case CalStarted:
            inCal = true;
            calResults = false;
            calMask = 0;
            break;
        case AfterCalValues:
            if (inCal)
                calMask = int(e.param & 0xF);
            break;
        case CalResults: {
            const int p = int(e.param);
            for (int sensor = 0; sensor < 4; ++sensor) {
                if (!(p & (1 << sensor)))
                    continue;
                const bool failed = p & (0x100 << sensor);
                const bool weak = p & (0x1000 << sensor);
                Add(out, HistoryCalibration::Calibration, 1 << sensor, e.time, !failed,
                    failed ? QStringLiteral("Failed") : weak ? QStringLiteral("Weak") : QStringLiteral("Passed"));
            }
            calResults = true;
            break;
        }
        case CalCompleted:
            // Results already told each sensor's outcome.
            if (inCal && !calResults)
                Add(out, HistoryCalibration::Calibration, calMask ? calMask : fallback(), e.time, true, QStringLiteral("Passed"));
            inCal = false;
            break;
        case CalAborted:
            if (inCal && !calResults)
                Add(out, HistoryCalibration::Calibration, calMask ? calMask : fallback(), e.time, false, QStringLiteral("Aborted"));
            inCal = false;
            break;
        case BumpStarted:
            inBump = true;
            noGas = false;
            bumpMask = 0;
            break;
        case BumpValues:
            if (inBump)
                bumpMask = int(e.param & 0xF);
            break;
        case NoGasDetected:
            if (inBump)
                noGas = true;
            break;
        case BumpCompleted:
            if (inBump)
                Add(out, HistoryCalibration::BumpTest, bumpMask ? bumpMask : fallback(), e.time, !noGas,
                    noGas ? QStringLiteral("No gas detected") : QStringLiteral("Passed"));
            inBump = false;
            break;
        case BumpAborted:
            if (inBump)
                Add(out, HistoryCalibration::BumpTest, bumpMask ? bumpMask : fallback(), e.time, false, QStringLiteral("Aborted"));
            inBump = false;
            break;
        default:
            break;
        }
    }
    return out;
}
