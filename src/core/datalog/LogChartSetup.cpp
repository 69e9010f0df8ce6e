// Collecting the chart's channels, levels and limits from the settings image and the tables.
#include "datalog/LogChartSetup.h"

#include "datalog/LogChartSeries.h"
#include "datalog/LogSensorSource.h"
#include "datalog/LogSensors.h"
#include "document/SettingsImage.h"

LogChartSetup LogChartSetup::FromSettings(const CSettingsImage &settings, const LogSensors &sensors, bool live)
{
    LogChartSetup setup;
    for (int c = 0; c < ChannelCount; ++c) {
        const CRangeRecord range = settings.RangeRecord(c);
        Channel &channel = setup.channels[size_t(c)];
        channel.units = range.DisplayUnits();
        channel.fullScale = LogChartSeries::ChartFullScale(range.DisplayUnits(), range.FullScale());
        channel.warning = settings.GetWarningAlarm(CSettingsImage::SensorHC, c);
        channel.high = settings.GetHighAlarm(CSettingsImage::SensorHC, c);
    }
    setup.thirdChannel = settings.Toxic2CarriesTC();
    setup.o2Warning = settings.GetWarningAlarm(CSettingsImage::SensorO2);
    setup.o2High = settings.GetHighAlarm(CSettingsImage::SensorO2);
    for (int s = 1; s <= 2; ++s) {
        Toxic &toxic = setup.toxic[size_t(s - 1)];
        const int slot = s == 1 ? CSettingsImage::SensorToxic1 : CSettingsImage::SensorToxic2;
        toxic.name = sensors.ToxicName(s);
        toxic.warning = settings.GetWarningAlarm(slot);
        toxic.high = settings.GetHighAlarm(slot);
        const int record = live ? LogSensorSource::LiveRecord(settings, s)
                                : settings.FindToxicGas(sensors.ToxicName(s).trimmed());
        const CToxicRecord &gas = settings.ToxicRecord(record);
        toxic.stel = gas.Shown(gas.StelAlarm());
        toxic.twa = gas.Shown(gas.TwaAlarm());
        const CToxicRecord &fitted = settings.ToxicRecord(settings.GetSensorGas(slot));
        toxic.maximum = fitted.Shown(fitted.MaximumReading());
    }
    return setup;
}
