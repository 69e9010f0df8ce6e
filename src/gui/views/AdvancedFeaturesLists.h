// The rules behind the Advanced Features lists: the bounds of the alarm
// lists, the calibration-gas choices, the HC sensor choices, the O2 presets
// and the texts of the coded lists. Worked out from the settings alone, so
// the form only fills its lists with them.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class CSettingsImage;

class CAdvancedFeaturesLists
{
public:
    // A list of values from..to in steps, shown with so many decimals.
    struct Span
    {
        double from, to, step;
        int decimals;
    };
    struct O2Preset
    {
        double highFrom, highTo, warningFrom, warningTo, high, warning;
    };
    struct HCCalGas
    {
        Span values;
        QString name, unit;
    };

    // O2 levels are kept in tenths of a percent; the alarms stay within 0 and 30 %.
    static constexpr double O2Top = 30.0;
    static constexpr double O2Step = 0.1;
    static constexpr int O2Decimals = 1;

    // Rows as CAdvancedFeatures::Row; sensors count from 1 for HC.
    static int SensorOf(int row) { return row + 1; }
    static bool ToxicCarriesTC(const CSettingsImage &s, int row);
    static double AlarmStep(const CSettingsImage &s, int row);
    static int AlarmDecimals(const CSettingsImage &s, int row);
    // Bounds of the alarm lists: the partner is the selected (or the
    // document's) level of the other list of the same sensor.
    static Span HighSpan(const CSettingsImage &s, int row, double warning, int o2Configuration);
    static Span WarningSpan(const CSettingsImage &s, int row, double high, int o2Configuration);

    // Empty when no range takes a calibration gas.
    static std::optional<HCCalGas> HCCalGasChoices(const CSettingsImage &s);
    static Span O2CalGasSpan() { return {0.0, 15.0, 1.0, 1}; }
    static QStringList ToxicCalGasTexts(const CSettingsImage &s, int row);
    static QStringList HCSelectItems(const CSettingsImage &s);
    // configuration 0..2, as the O2 Alarms buttons.
    static const O2Preset &O2PresetFor(int configuration);

    static QStringList AlarmDelayTexts();
    static QStringList BackLightTexts();
    static QStringList CalIntervalTexts();
    static QString BackLightText(int seconds);
    static QString CalIntervalText(int days);
    // A Cal Interval text back into days ("None" 0, weeks times 7).
    static int CalIntervalDays(const QString &text);
};
