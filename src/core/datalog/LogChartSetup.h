// The instrument values the log chart draws against: combustible channels, alarm levels, toxic limits and scales.
#pragma once

#include <QString>
#include <array>

class CSettingsImage;
class LogSensors;

/*
 * Everything here is in the units the chart draws: combustible channel c is
 * range record c with its Display Units (the HC unit bit of the log) and its
 * Full Scale, tenths for %VOL and %LOW; O2 in percent; toxic levels are the
 * gas record's counts divided by its Fraction.
 */
struct LogChartSetup
{
    struct Channel
    {
        int units = 0;          // Display Units code, 1 %LEL .. 32 %HI
        double fullScale = 0.0; // in chart units
        double warning = 0.0;   // alarm levels as the user sees them
        double high = 0.0;
        bool operator==(const Channel &) const = default;
    };

    struct Toxic
    {
        QString name;           // 3-character gas name
        double warning = 0.0;
        double high = 0.0;
        double stel = 0.0;      // "STEL Alarm" of the gas record the log uses
        double twa = 0.0;       // "TWA Alarm"
        double maximum = 0.0;   // "Maximum Reading" of the gas the instrument has fitted
        bool operator==(const Toxic &) const = default;
    };

    static constexpr int ChannelCount = 3;
    static constexpr double O2Maximum = 30.0;

    std::array<Channel, ChannelCount> channels{};
    // Range 0's HC Supply is TC: the Toxic 2 slot carries a third combustible channel.
    bool thirdChannel = false;
    double o2Warning = 0.0;
    double o2High = 0.0;
    std::array<Toxic, 2> toxic{};

    /*
     * The chart of a log whose toxic names and divisors are `sensors`. The
     * STEL and TWA limits come from the gas records the log's values were
     * divided by: the instrument's gas choice for a live log, the records
     * named like the file's columns (record 0 when none is) for a file. The
     * axis maximum always follows the gas the instrument has fitted.
     */
    static LogChartSetup FromSettings(const CSettingsImage &settings, const LogSensors &sensors, bool live);

    bool operator==(const LogChartSetup &) const = default;
};
