// Toxic divisors, number formats and gas names for the data log.
#include "datalog/LogSensors.h"

LogSensors::LogSensors(const QString &name1, int fraction1, const QString &name2, int fraction2,
                       int hcFullScale)
    : m_name{name1, name2}, m_fraction{fraction1, fraction2}, m_hcFullScale(hcFullScale)
{
}

LogSensors LogSensors::FromTable(const QList<LogToxicGas> &table, int record1, int record2,
                                 int hcFullScale)
{
    const auto pick = [&table](int record) {
        if (table.isEmpty())
            return LogToxicGas{};
        return (record >= 0 && record < table.size()) ? table.at(record) : table.at(0);
    };
    const LogToxicGas gas1 = pick(record1);
    const LogToxicGas gas2 = pick(record2);
    return LogSensors(gas1.name, gas1.fraction, gas2.name, gas2.fraction, hcFullScale);
}

LogSensors LogSensors::ForFile(const QList<LogToxicGas> &table, const QString &name1,
                               const QString &name2, int hcFullScale)
{
    const auto fractionOf = [&table](const QString &name) {
        for (const LogToxicGas &gas : table) {
            if (gas.name == name)
                return gas.fraction;
        }
        return table.isEmpty() ? 0 : table.at(0).fraction;
    };
    return LogSensors(name1, fractionOf(name1), name2, fractionOf(name2), hcFullScale);
}

double LogSensors::ToxicDivisor(int sensor) const
{
    const int fraction = Fraction(sensor);
    return fraction == 0 ? 0.1 : double(fraction);
}

int LogSensors::ToxicDecimals(int sensor) const
{
    const double divisor = ToxicDivisor(sensor);
    if (divisor > 20.01)
        return 2;
    if (divisor > 1.01)
        return 1;
    return 0;
}

QString LogSensors::ToxicFormat(int sensor) const
{
    return QStringLiteral("%.%1lf").arg(ToxicDecimals(sensor));
}
