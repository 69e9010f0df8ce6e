// Where the data log takes its toxic names, divisors and HC full scale from: the document's settings image and tables.
#pragma once

#include "datalog/LogSensors.h"

#include <QList>

class CSettingsImage;

class LogSensorSource
{
public:
    // Every record of the toxic table as the log needs it (record 0 = no sensor).
    static QList<LogToxicGas> ToxicTable(const CSettingsImage &settings);
    // Full Scale of the range the instrument is set to.
    static int HCFullScale(const CSettingsImage &settings);
    // Toxic table records of Toxic 1 and Toxic 2 (sensor 1 or 2) as the
    // instrument is set up: its gas nibble, or record 0 when not fitted.
    static int LiveRecord(const CSettingsImage &settings, int sensor);
    // A log read from the connected instrument.
    static LogSensors Live(const CSettingsImage &settings);
    // A log read from a file, shown as `file`: the toxic records named as
    // its gases give the divisors. With no toxic table the divisors the file
    // was read with stay; the file's texts showed them.
    static LogSensors ForFile(const CSettingsImage &settings, const LogSensors &file);
};
