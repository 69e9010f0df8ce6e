// Toxic table, gas choice and range Full Scale of the document, in the data log's terms.
#include "datalog/LogSensorSource.h"

#include "document/SettingsImage.h"

QList<LogToxicGas> LogSensorSource::ToxicTable(const CSettingsImage &settings)
{
    QList<LogToxicGas> table;
    const int count = settings.ToxicCount();
    table.reserve(count);
    for (int i = 0; i < count; ++i) {
        const CToxicRecord &record = settings.ToxicRecord(i);
        table.append(LogToxicGas{record.GasName(), record.Fraction()});
    }
    return table;
}

int LogSensorSource::HCFullScale(const CSettingsImage &settings)
{
    return settings.RangeRecord(settings.GetHCRangeIndex()).FullScale();
}

int LogSensorSource::LiveRecord(const CSettingsImage &settings, int sensor)
{
    const int slot = sensor == 2 ? CSettingsImage::SensorToxic2 : CSettingsImage::SensorToxic1;
    return settings.GetSensor(slot) ? settings.GetSensorGas(slot) : 0;
}

LogSensors LogSensorSource::Live(const CSettingsImage &settings)
{
    return LogSensors::FromTable(ToxicTable(settings), LiveRecord(settings, 1), LiveRecord(settings, 2),
                                 HCFullScale(settings));
}

LogSensors LogSensorSource::ForFile(const CSettingsImage &settings, const LogSensors &file)
{
    const QList<LogToxicGas> table = ToxicTable(settings);
    if (table.isEmpty())
        return LogSensors(file.ToxicName(1), file.Fraction(1), file.ToxicName(2), file.Fraction(2),
                          HCFullScale(settings));
    return LogSensors::ForFile(table, file.ToxicName(1), file.ToxicName(2), HCFullScale(settings));
}
