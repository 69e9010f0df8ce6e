// What the log chart draws for one session: its groups, their series and every point, as plain numbers.
#pragma once

#include "datalog/LogChartSetup.h"
#include "datalog/LogRecord.h"
#include "datalog/LogSession.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <limits>

/*
 * Groups, in this order, each only when its condition holds (at most five):
 *   channel 0, channel 1    always; title the channel's unit label
 *   channel 2               when the Toxic 2 slot carries the TC channel
 *   O2                      always
 *   Toxic 1                 always; title its gas name
 *   Toxic 2                 while fewer than five groups are made
 *
 * Series codes:
 *   0-2   channel c measured: HC readings taken in channel c's unit
 *   3     O2;  4, 5 Toxic 1, Toxic 2
 *   6-8   channel c calculated: HC readings taken in another unit, converted
 *         through %VOL to channel c's unit and capped at its full scale
 *   9, 10 Toxic 1, 2 STEL;  11, 12 Toxic 1, 2 TWA
 *   13-15 channel c warning line; 16 O2; 17, 18 Toxic 1, 2
 *   19-21 channel c high line;    22 O2; 23, 24 Toxic 1, 2
 *   25, 26 Toxic 1, 2 STEL limit; 27, 28 Toxic 1, 2 TWA limit
 * Readings in %VOL and %LOW are counted in tenths and drawn divided by 10.
 *
 * x is seconds from the session's first Data entry; a point without a value
 * is a hole (NaN), which the chart leaves undrawn. Level lines are two points
 * spanning the session's Data entries.
 */
class LogChartSeries
{
public:
    enum Group : int { Channel0 = 0, Channel1 = 1, Channel2 = 2, O2 = 3, Toxic1 = 4, Toxic2 = 5 };
    enum Colour : int { Norm = 0, Stel = 1, Twa = 2, Calculated = 3 };
    enum Style : int { Measured = 0, LineA = 1, LineB = 2 };

    static constexpr int MaximumGroups = 5;
    static constexpr int SeriesCodeCount = 29;
    static constexpr double Hole = std::numeric_limits<double>::quiet_NaN();
    static bool IsHole(double y) { return y != y; }

    struct GroupInfo
    {
        Group group = Channel0;
        QString title;
        QList<int> codes;   // in drawing order
        double yMaximum = 0.0;
        bool operator==(const GroupInfo &) const = default;
    };

    struct Series
    {
        int code = 0;
        QList<double> x;
        QList<double> y;
    };

    // "LEL", "VOL", "PPM", "GAS", "LOW", "HI"; "N/A" for any other code.
    static QString UnitLabel(int units);
    // Full Scale in chart units: tenths for %VOL and %LOW.
    static double ChartFullScale(int units, int fullScale);
    static double UnitScale(quint32 unitBit) { return (unitBit == 2 || unitBit == 16) ? 10.0 : 1.0; }
    // An HC reading (count, in its own unit) in another unit, through %VOL:
    // 1 %LEL is 0.05 %VOL and 1 PPM 0.0001 %VOL; capped at fullScale. The
    // other units pass unconverted.
    static double Convert(double count, quint32 fromUnit, int toUnits, double fullScale);

    static QList<GroupInfo> Groups(const LogChartSetup &setup);
    static Colour ColourOf(int code);
    static Style StyleOf(int code);
    static bool IsLevelLine(int code) { return code >= 13 && code < SeriesCodeCount; }
    // The y of one Data entry for a reading series (hole when not given).
    static double Value(const LogRecord &entry, int code, const LogChartSetup &setup);
    // The constant of a level line.
    static double Level(int code, const LogChartSetup &setup);

    // The session's first Data entry time, whole seconds since 1970 (UTC fields).
    static qint64 TimeBase(const QList<LogRecord> &entries, const LogSession &session);
    // x of every Data entry of the session.
    static QList<double> XValues(const QList<LogRecord> &entries, const LogSession &session);
    // Every series of a group for one session.
    static QList<Series> Compute(const QList<LogRecord> &entries, const LogSession &session,
                                 const GroupInfo &group, const LogChartSetup &setup);

    // The last session whose Data entries span time t (both ends included),
    // or -1 when none does.
    static int SessionAt(const QList<LogRecord> &entries, const QList<LogSession> &sessions, const QDateTime &t);
    // The session whose entries include entry `index`, or -1 when none does.
    static int SessionOfEntry(const QList<LogSession> &sessions, int index);
    // Within the session, the last entry whose time is not after t; the
    // session's first entry when all are later.
    static int EntryAt(const QList<LogRecord> &entries, const LogSession &session, const QDateTime &t);
};
