// Writes a data log of any size from a seed: shifts of readings with their power cycles, IDs, alarms, calibrations and bump tests.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

class CSimInstrument;

/*
 * The log is a run of sessions, newest last, the newest switched off a few
 * minutes before `now`. Each session is written as the instrument writes it:
 *
 *   power-on (1 or 2, dated), Date (13), Instrument, Operator, Location,
 *   Enabled sensors, Battery gauge [, Cal reminder on]
 *   [calibration 11 10 31 32 33 36, or aborted 11 10 35 | bump test 28 30 24]
 *   readings every interval, with between two readings the events that
 *   happened since: Range changed (40), alarms on and off, Battery pack
 *   warning, a new Location; a Date at 00:00:00 before the first record of
 *   each new day
 *   at switch-off: the alarms still on go off, then the maxima (63, 79, 80,
 *   113, 133, dated) and Powered off (0, dated)
 *
 * Alarms are judged on the logged readings: an alarm is on exactly while the
 * readings (in the range they were logged in) are at or past its level, so
 * the events always bracket the readings beyond it. The on and off events
 * carry the second at which the reading crossed, between the two readings.
 *
 * `records` is the exact number of log records; the oldest session takes
 * what the newer ones leave. A handful of records gives one cut-off session;
 * a session the program would keep needs a few dozen (a few hundred at a
 * 5-second interval).
 *
 * Times are the instrument's wall-clock time; the QDateTime values given
 * back are in UTC like the decoded LogRecord times, so no daylight-saving
 * rule of this computer bends them.
 */
class CSimLogGenerator
{
public:
    // One combustible range, in the log's own units: %LEL and PPM as shown,
    // %VOL and %LOW in tenths.
    struct HcRange
    {
        int unitBit = 0; // 1 %LEL, 2 %VOL, 4 PPM, 8 %GAS, 16 %LOW, 32 %HI; 0 none
        int fullScale = 0;
        int warning = 0;
        int high = 0;
    };

    struct Settings
    {
        QByteArray instrumentId;
        // The IDs sessions are logged under; the first of each is the one in
        // use now, which the newest session has.
        QList<QByteArray> operators;
        QList<QByteArray> locations;
        quint8 sensors = 0x0F; // fitted: bit 0 HC, 1 O2, 2 Toxic 1, 3 Toxic 2
        int intervalSeconds = 60;
        bool logStel = true;
        bool logTwa = true;
        // A power-on after a short break keeps the STEL and TWA sums
        // ("Powered on - averages not reset") instead of restarting them.
        bool retainAverages = false;
        // The range in use, and the range it switches to when a reading goes
        // past its full scale (unitBit 0: none; used only when it reads higher).
        HcRange hcRange{1, 100, 10, 50};
        HcRange hcNextRange;
        int hcCalGasLel = 40;
        int o2Warning = 195; // tenths of a percent; decreasing alarm
        int o2High = 235;    // increasing alarm
        QByteArray toxicName[2] = {"CO", "H2S"};
        // Raw counts (shown value times the gas's fraction); STEL and TWA 0: no alarm.
        int toxicWarning[2] = {25, 100};
        int toxicHigh[2] = {50, 200};
        int toxicStel[2] = {200, 150};
        int toxicTwa[2] = {35, 100};
        int toxicCalGas[2] = {100, 250};
        double batteryFullVolts = 4.10;
        // 0: every session starts after the one before it ended. N: the
        // instrument's clock was set back before the newest session was
        // switched on, so that the one before it runs on until N seconds
        // (less its last interval) after the newest started: the two
        // sessions' times overlap.
        int newestOverlapSeconds = 0;
    };

    // What one session holds, as the program's session list should show it.
    struct Session
    {
        QDateTime powerOn;
        QDateTime firstData; // invalid when the session has no reading
        QDateTime powerOff;  // invalid when the records ran out first
        int dataCount = 0;
        QByteArray operatorId; // without the padding
        QByteArray locationId; // the last one in force
    };

    struct Result
    {
        QDateTime start; // time of the first record
        QList<QByteArray> records;
        QList<Session> sessions; // oldest first
        // The newest calibration that every sensor passed (its results'
        // time); invalid when the log holds none. The instrument keeps its
        // date as LastCalDate.
        QDateTime lastPassedCalibration;
    };

    static Result Build(quint32 seed, int records, const QDateTime &now, const Settings &settings);

    // The instrument's own IDs, sensors, logging settings, alarm levels and
    // ranges, as its log would reflect them.
    static Settings SettingsOf(const CSimInstrument &instrument);

    // A combustible reading in %LEL as the log keeps it in a range of the
    // given unit, and back.
    static double LogUnitsPerLel(int unitBit);
};
