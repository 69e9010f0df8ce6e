// The few table values the data log needs per sensor: toxic gas names and divisors, the combustible divisor.
#pragma once

#include <QList>
#include <QString>

// The part of one toxic gas record that the log uses; the document fills a
// list of these from its toxic table (index = record number, 0 = no sensor).
struct LogToxicGas
{
    QString name;     // 3 characters, e.g. "CO " or "H2S"
    int fraction = 0; // raw counts per shown unit; 0 stands for 0.1
};

/*
 * Sensor 1 is Toxic 1, sensor 2 is Toxic 2; any other number reads as sensor 1.
 * Toxic values are raw counts divided by the sensor's Fraction. HC maxima are
 * divided by 10 when the current range's Full Scale is below 75 (a range kept
 * in tenths), otherwise by 1.
 */
class LogSensors
{
public:
    LogSensors() = default;
    LogSensors(const QString &name1, int fraction1, const QString &name2, int fraction2,
               int hcFullScale);

    // Records picked by the instrument's Sensor3 and Sensor4 gas nibbles; an
    // index outside the table gives record 0, an empty table empty names.
    static LogSensors FromTable(const QList<LogToxicGas> &table, int record1, int record2,
                                int hcFullScale);
    // For a log read from a file: the records whose names equal the file's
    // column names give the divisors (record 0 when none does). The names stay
    // the file's own, so a file shown without a matching table is saved back
    // with the gas names it came with.
    static LogSensors ForFile(const QList<LogToxicGas> &table, const QString &name1,
                              const QString &name2, int hcFullScale);

    QString ToxicName(int sensor) const { return m_name[Index(sensor)]; }
    int Fraction(int sensor) const { return m_fraction[Index(sensor)]; }
    double ToxicDivisor(int sensor) const;
    // Decimals of a shown toxic value: 2 above a divisor of 20.01, 1 above 1.01, else 0.
    int ToxicDecimals(int sensor) const;
    // The same as a printf format ("%.2lf", "%.1lf", "%.0lf").
    QString ToxicFormat(int sensor) const;

    int HCFullScale() const { return m_hcFullScale; }
    double CombustibleDivisor() const { return m_hcFullScale < 75 ? 10.0 : 1.0; }
    int CombustibleDecimals() const { return m_hcFullScale < 75 ? 1 : 0; }

    bool operator==(const LogSensors &other) const = default;

private:
    static int Index(int sensor) { return sensor == 2 ? 1 : 0; }

    QString m_name[2];
    int m_fraction[2] = {0, 0};
    int m_hcFullScale = 0;
};
