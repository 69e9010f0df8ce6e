// The rules behind the Advanced Features lists.
#include "AdvancedFeaturesLists.h"

#include "AdvancedFeatures.h"
#include "FormValueList.h"
#include "document/SettingsCodec.h"
#include "document/SettingsImage.h"

namespace {
const char *const Off = "OFF";
const char *const None = "None";
const char *const TcCalGas = "50";

using Form = CAdvancedFeatures;

// Increasing alarms sit above fresh air, decreasing ones below it.
constexpr CAdvancedFeaturesLists::O2Preset O2Presets[3] = {
    {22.5, 30.0, 0.0, 22.5, 23.5, 22.5},
    {19.5, 30.0, 0.0, 23.5, 23.5, 19.5},
    {0.0, 19.5, 18.0, 30.0, 18.0, 19.5},
};
} // namespace

bool CAdvancedFeaturesLists::ToxicCarriesTC(const CSettingsImage &s, int row)
{
    return row == Form::RowToxic2 && s.Toxic2CarriesTC();
}

double CAdvancedFeaturesLists::AlarmStep(const CSettingsImage &s, int row)
{
    switch (row) {
    case Form::RowHC: {
        const CRangeRecord range = s.RangeRecord(s.GetHCRangeIndex());
        if (range.FullScale() < 75)
            return 0.1;
        return range.IsPpm() ? 10.0 : 1.0;
    }
    case Form::RowO2: return O2Step;
    default: return 1.0 / s.LevelScale(SensorOf(row));
    }
}

int CAdvancedFeaturesLists::AlarmDecimals(const CSettingsImage &s, int row)
{
    return CSettingsCodec::DecimalsForScale(s.LevelScale(SensorOf(row)));
}

CAdvancedFeaturesLists::Span CAdvancedFeaturesLists::HighSpan(const CSettingsImage &s, int row, double warning,
                                                              int o2Configuration)
{
    double from = warning, to = 0.0;
    switch (row) {
    case Form::RowHC: {
        const CRangeRecord range = s.RangeRecord(s.GetHCRangeIndex());
        to = range.ShownLevel(range.AlarmMaximum());
        break;
    }
    case Form::RowO2:
        if (o2Configuration == 2) {
            from = 0.0;
            to = warning;
        } else {
            to = O2Top;
        }
        break;
    default: {
        const CToxicRecord &gas = s.ToxicRecord(s.GetSensorGas(SensorOf(row)));
        to = gas.Shown(gas.AlarmMaximum());
        break;
    }
    }
    return {from, to, AlarmStep(s, row), row == Form::RowO2 ? O2Decimals : AlarmDecimals(s, row)};
}

CAdvancedFeaturesLists::Span CAdvancedFeaturesLists::WarningSpan(const CSettingsImage &s, int row, double high,
                                                                 int o2Configuration)
{
    double from = 0.0, to = high;
    switch (row) {
    case Form::RowHC: {
        const CRangeRecord range = s.RangeRecord(s.GetHCRangeIndex());
        from = range.ShownLevel(range.AlarmMinimum());
        break;
    }
    case Form::RowO2:
        if (o2Configuration == 2) {
            from = high;
            to = O2Top;
        }
        break;
    default: {
        const CToxicRecord &gas = s.ToxicRecord(s.GetSensorGas(SensorOf(row)));
        from = gas.Shown(gas.AlarmMinimum());
        break;
    }
    }
    return {from, to, AlarmStep(s, row), row == Form::RowO2 ? O2Decimals : AlarmDecimals(s, row)};
}

std::optional<CAdvancedFeaturesLists::HCCalGas> CAdvancedFeaturesLists::HCCalGasChoices(const CSettingsImage &s)
{
    for (int r = 0; r < CRangeRecord::Count; ++r) {
        const CRangeRecord range = s.RangeRecord(r);
        const int units = range.DisplayUnits();
        if (range.NotInUse()
            || (units != CRangeRecord::UnitLel && units != CRangeRecord::UnitVol && units != CRangeRecord::UnitLow))
            continue;
        const int decimals = CSettingsCodec::DecimalsForScale(range.Scale());
        const Span values = units == CRangeRecord::UnitLel ? Span{5.0, 75.0, 5.0, decimals}
                                                           : Span{0.25, 3.75, 0.25, decimals};
        return HCCalGas{values, range.Label(), CRangeRecord::UnitLabel(units)};
    }
    return std::nullopt;
}

QStringList CAdvancedFeaturesLists::ToxicCalGasTexts(const CSettingsImage &s, int row)
{
    if (ToxicCarriesTC(s, row))
        return {QString::fromLatin1(TcCalGas)};
    const CToxicRecord &gas = s.ToxicRecord(s.GetSensorGas(SensorOf(row)));
    const int decimals = CSettingsCodec::DecimalsForScale(gas.Divisor());
    QStringList texts;
    for (int n = 1; n <= 4; ++n)
        texts.append(CSettingsCodec::FormatFixed(gas.Shown(gas.CalGas(n)), decimals));
    return texts;
}

QStringList CAdvancedFeaturesLists::HCSelectItems(const CSettingsImage &s)
{
    QStringList items{QString::fromLatin1(Off), s.RangeName(0)};
    if (!s.RangeRecord(0).NotCh4Hex())
        items.append(s.RangeName(2));
    return items;
}

const CAdvancedFeaturesLists::O2Preset &CAdvancedFeaturesLists::O2PresetFor(int configuration)
{
    return O2Presets[configuration];
}

QStringList CAdvancedFeaturesLists::AlarmDelayTexts()
{
    QStringList texts;
    for (int seconds : CSettingsCodec::AlarmDelayTable())
        texts.append(QString::asprintf("%d", seconds));
    return texts;
}

QStringList CAdvancedFeaturesLists::BackLightTexts()
{
    QStringList texts;
    for (int seconds : CSettingsCodec::BackLightDelayTable())
        texts.append(BackLightText(seconds));
    return texts;
}

QStringList CAdvancedFeaturesLists::CalIntervalTexts()
{
    QStringList texts{CalIntervalText(0)};
    for (int days = 1; days <= 6; ++days)
        texts.append(CalIntervalText(days));
    for (int days = 7; days <= 182; days += 7)
        texts.append(CalIntervalText(days));
    return texts;
}

QString CAdvancedFeaturesLists::BackLightText(int seconds)
{
    if (seconds < 60)
        return QString::asprintf("%d seconds", seconds);
    const int minutes = seconds / 60;
    return QString::asprintf("%d minute", minutes) + (seconds != 60 ? QStringLiteral("s") : QString());
}

QString CAdvancedFeaturesLists::CalIntervalText(int days)
{
    if (days <= 0)
        return QString::fromLatin1(None);
    if (days < 7)
        return QString::asprintf("%d day", days) + (days != 1 ? QStringLiteral("s") : QString());
    return QString::asprintf("%d week", days / 7) + (days != 7 ? QStringLiteral("s") : QString());
}

int CAdvancedFeaturesLists::CalIntervalDays(const QString &text)
{
    const int n = int(CFormValueList::LeadingNumber(text));
    return text.contains(QLatin1String("week")) ? n * 7 : n;
}
