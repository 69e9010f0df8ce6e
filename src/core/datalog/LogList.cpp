// Columns and cell texts of the log list.
#include "datalog/LogList.h"

#include "datalog/LogSensors.h"
#include "datalog/LogText.h"

namespace {
QString OnOff(quint32 bits, int bit)
{
    return (bits & (1u << bit)) ? QStringLiteral("On") : QStringLiteral("Off");
}

// Sensor s of a calibration result word: bit s present, 8 + s failed, 12 + s weak.
QString CalResult(quint32 word, int s)
{
    if (!(word & (1u << s)))
        return QString();
    if (word & (1u << (8 + s)))
        return QStringLiteral("Fail");
    if (word & (1u << (12 + s)))
        return QStringLiteral("Weak");
    return QStringLiteral("Pass");
}

QString DataCell(const LogRecord &entry, int column, const LogSensors &sensors)
{
    if (column == LogList::Battery) {
        return entry.HasBattery() ? LogText::Fixed(entry.values[LogRecord::Battery], 3)
                                  : QString();
    }
    const int slot = column - LogList::HC;
    if (!entry.Present(slot))
        return QString();
    if (entry.IsOverRange(slot))
        return QStringLiteral("XXX");
    const double value = entry.values[slot];
    if (column == LogList::HC)
        return LogText::HCValueText(value, entry.unitBit);
    if (column == LogList::O2)
        return LogText::Fixed(value, 1);
    return LogText::ToxicValueText(value, LogList::ToxicSensorOf(column), sensors);
}

QString EventCell(const LogRecord &entry, int column, const LogSensors &sensors)
{
    if (column > LogList::Toxic2)
        return QString();
    const int s = column - LogList::HC;
    switch (entry.code) {
    case 29:
        return OnOff(entry.param, s);
    case 30: case 31: case 32:
        if (!(entry.param & (1u << s)))
            return QString();
        if (column == LogList::HC)
            return LogText::HCValueText(entry.values[0], entry.unitBit);
        if (column == LogList::O2)
            return LogText::Fixed(entry.values[1] / 10.0, 1);
        return LogText::ToxicValueText(entry.values[s] / sensors.ToxicDivisor(s - 1), s - 1,
                                       sensors);
    case 33:
        return CalResult(entry.param, s);
    case 63:
        if (column != LogList::HC)
            return QString();
        return LogText::Fixed(entry.param / sensors.CombustibleDivisor(),
                              sensors.CombustibleDecimals());
    case 79: case 80:
        return column == LogList::O2 ? LogText::Fixed(entry.param / 10.0, 1) : QString();
    case 113:
        return column == LogList::Toxic1
                   ? LogText::ToxicValueText(entry.param / sensors.ToxicDivisor(1), 1, sensors)
                   : QString();
    case 133:
        return column == LogList::Toxic2
                   ? LogText::ToxicValueText(entry.param / sensors.ToxicDivisor(2), 2, sensors)
                   : QString();
    default:
        return QString();
    }
}
} // namespace

int LogList::ToxicSensorOf(int column)
{
    if (column < Toxic1 || column > Toxic2Twa)
        return 0;
    return (column - Toxic1) % 2 == 0 ? 1 : 2;
}

QString LogList::Heading(int column, const LogSensors &sensors)
{
    switch (column) {
    case Type: return QStringLiteral("Type");
    case Date: return QStringLiteral("Date");
    case Time: return QStringLiteral("Time");
    case HC: return QStringLiteral("HC");
    case O2: return QStringLiteral("O2");
    case Toxic1: case Toxic2: return sensors.ToxicName(ToxicSensorOf(column));
    case Toxic1Stel: case Toxic2Stel:
        return sensors.ToxicName(ToxicSensorOf(column)) + QStringLiteral(" STEL");
    case Toxic1Twa: case Toxic2Twa:
        return sensors.ToxicName(ToxicSensorOf(column)) + QStringLiteral(" TWA");
    case Battery: return QStringLiteral("Battery");
    default: return QString();
    }
}

int LogList::Width(int column)
{
    static constexpr int widths[ColumnCount] = {200, 75, 75, 50, 50, 50, 50, 75, 75, 75, 75, 60};
    return (column >= 0 && column < ColumnCount) ? widths[column] : 0;
}

Qt::Alignment LogList::Alignment(int column)
{
    return column >= HC ? Qt::AlignRight : Qt::AlignLeft;
}

QString LogList::Cell(const LogRecord &entry, int column, const LogSensors &sensors)
{
    switch (column) {
    case Type:
        return LogText::TypeText(entry);
    case Date:
        return entry.time.toString(QStringLiteral("MM/dd/yy"));
    case Time:
        return entry.time.toString(QStringLiteral("HH:mm:ss"));
    default:
        break;
    }
    if (column < HC || column >= ColumnCount)
        return QString();
    if (entry.kind == LogRecord::Data)
        return DataCell(entry, column, sensors);
    if (entry.kind == LogRecord::Event)
        return EventCell(entry, column, sensors);
    return QString();
}
