// Stateless conversions between the instrument's stored codes and the values and texts the user sees.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

/*
 * Shared by the settings image, the options file, the log decoder and the
 * views, none of which needs an instrument image for these.
 */
class CSettingsCodec
{
public:
    // ---- levels ----
    // Decimals a level is shown with for a scale (raw counts per shown unit):
    // 2 above 20.01, 1 above 1.01, else 0.
    static int DecimalsForScale(double scale);
    // Fixed decimals with halves rounded away from zero, as the instrument's
    // lists show them: FormatFixed(0.25, 1) == "0.3", FormatFixed(0.75, 1) == "0.8"
    // (printf would give "0.2" for the first). A value whose decimal form ends
    // in 5 counts as a half even when its binary form falls just below
    // (0.35 -> "0.4"). Never prints "-0.0".
    static QString FormatFixed(double value, int decimals);
    // FormatFixed with the decimals of the scale.
    static QString FormatLevel(double value, double scale);

    // ---- passwords: 10-bit numbers ----
    // "%03u", or "***" for 1000 to 1023.
    static QString PasswordText(int value);
    // Read as "%u" reads (blanks, optional sign, digits), cut to 10 bits; text
    // without a leading number gives 1023.
    static int ParsePassword(const QString &text);

    // ---- BCD date and time ----
    static int FromBcd(quint8 value) { return (value >> 4) * 10 + (value & 0x0F); }
    // value 0..99.
    static quint8 ToBcd(int value) { return quint8(((value / 10) << 4) | (value % 10)); }
    // The instrument's BCD date and time, year within the century: 70-99 ->
    // 19xx, 0-38 -> 20xx, any other year 1970; a month or day out of range
    // becomes 1 (a day past the month's end its last day), an hour, minute or
    // second out of range 0. Always a valid local date and time.
    static QDateTime DecodeBcdDateTime(quint8 year, quint8 month, quint8 day,
                                       quint8 hour, quint8 minute, quint8 second);

    // ---- coded times ----
    static const QList<int> &AlarmDelayTable();     // seconds of codes 0..3
    static const QList<int> &BackLightDelayTable(); // seconds of codes 0..15
    static const QList<int> &LogIntervalTable();    // seconds of codes 0..7 (0 and 4 both 60)
    // The first code from `first` on whose table value is at least `wanted`,
    // else the last code.
    static int CodeAtLeast(const QList<int> &table, int wanted, int first = 0);
    // Calibration interval: codes 0-7 are days, 8-63 weeks (7 x code - 42 days).
    static int CalIntervalDays(int code);
    // Days below 8 as the code itself (a negative interval as none), longer
    // intervals as days / 7 + 6, cut to 6 bits.
    static int CalIntervalCode(int days);

    // ---- toxic gases ----
    // "%  " for hydrogen ("H2 "), else "PPM".
    static QString ToxicUnits(const QString &gasName);
};
