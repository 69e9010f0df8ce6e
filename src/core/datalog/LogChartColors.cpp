// Reading, writing and resetting the chart colours in the preferences.
#include "datalog/LogChartColors.h"

#include "datalog/LogChartSeries.h"
#include "platform/Preferences.h"

namespace {
int Read(const char *key, int def)
{
    return CPreferences::GetInt(QString::fromLatin1(LogChartColors::Section), QString::fromLatin1(key), def);
}
} // namespace

LogChartColors LogChartColors::Load()
{
    LogChartColors c;
    c.norm = Read(NormKey, DefaultNorm);
    c.stel = Read(StelKey, DefaultStel);
    c.twa = Read(TwaKey, DefaultTwa);
    c.calculated = Read(CalculatedKey, DefaultCalculated);
    c.marker = Read(MarkerKey, DefaultMarker);
    c.background = Read(BackgroundKey, SystemBackground);
    return c;
}

void LogChartColors::Store(const QString &key, int value)
{
    CPreferences::SetInt(QString::fromLatin1(Section), key, value);
}

void LogChartColors::Reset()
{
    norm = DefaultNorm;
    stel = DefaultStel;
    twa = DefaultTwa;
    marker = DefaultMarker;
    background = SystemBackground;
    Store(QString::fromLatin1(NormKey), norm);
    Store(QString::fromLatin1(StelKey), stel);
    Store(QString::fromLatin1(TwaKey), twa);
    Store(QString::fromLatin1(MarkerKey), marker);
    Store(QString::fromLatin1(BackgroundKey), background);
}

int LogChartColors::Role(int colour) const
{
    switch (colour) {
    case LogChartSeries::Stel: return stel;
    case LogChartSeries::Twa: return twa;
    case LogChartSeries::Calculated: return calculated;
    default: return norm;
    }
}
