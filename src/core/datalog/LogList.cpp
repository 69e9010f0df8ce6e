// Columns and cell texts of the log list.
#include "datalog/LogList.h"

#include "datalog/LogSensors.h"
#include "datalog/LogText.h"

namespace {
// A value column's cell: a word (empty for none) or a number with its decimals.
struct Shown
{
    QLatin1StringView word;
    double value = 0;
    int decimals = -1;
};

Shown Number(double value, int decimals)
{
    return {QLatin1StringView(), value, decimals};
}

Shown HCNumber(double value, quint32 unitBit)
{
    const int decimals = LogText::HCDecimals(unitBit);
    if (decimals < 0)
        return {};
    return Number(value / LogText::HCUnitScale(unitBit), decimals);
}

Shown ToxicNumber(double value, int sensor, const LogSensors &sensors)
{
    return Number(value, sensors.ToxicDecimals(sensor));
}

Shown OnOff(quint32 bits, int bit)
{
    return {(bits & (1u << bit)) ? QLatin1StringView("On") : QLatin1StringView("Off")};
}

// Sensor s of a calibration result word: bit s present, 8 + s failed, 12 + s weak.
Shown CalResult(quint32 word, int s)
{
    if (!(word & (1u << s)))
        return {};
    if (word & (1u << (8 + s)))
        return {QLatin1StringView("Fail")};
    if (word & (1u << (12 + s)))
        return {QLatin1StringView("Weak")};
    return {QLatin1StringView("Pass")};
}

Shown DataCell(const LogRecord &entry, int column, const LogSensors &sensors)
{
    if (column == LogList::Battery)
        return entry.HasBattery() ? Number(entry.values[LogRecord::Battery], 3) : Shown();
    const int slot = column - LogList::HC;
    if (!entry.Present(slot))
        return {};
    if (entry.IsOverRange(slot))
        return {QLatin1StringView("XXX")};
    const double value = entry.values[slot];
    if (column == LogList::HC)
        return HCNumber(value, entry.unitBit);
    if (column == LogList::O2)
        return Number(value, 1);
    return ToxicNumber(value, LogList::ToxicSensorOf(column), sensors);
}

Shown EventCell(const LogRecord &entry, int column, const LogSensors &sensors)
{
    if (column > LogList::Toxic2)
        return {};
    const int s = column - LogList::HC;
    switch (entry.code) {
    case 29:
        return OnOff(entry.param, s);
    case 30: case 31: case 32:
        if (!(entry.param & (1u << s)))
            return {};
        if (column == LogList::HC)
            return HCNumber(entry.values[0], entry.unitBit);
        if (column == LogList::O2)
            return Number(entry.values[1] / 10.0, 1);
        return ToxicNumber(entry.values[s] / sensors.ToxicDivisor(s - 1), s - 1, sensors);
    case 33:
        return CalResult(entry.param, s);
    case 63:
        if (column != LogList::HC)
            return {};
        return Number(entry.param / sensors.CombustibleDivisor(), sensors.CombustibleDecimals());
    case 79: case 80:
        return column == LogList::O2 ? Number(entry.param / 10.0, 1) : Shown();
    case 113:
        return column == LogList::Toxic1
                   ? ToxicNumber(entry.param / sensors.ToxicDivisor(1), 1, sensors)
                   : Shown();
    case 133:
        return column == LogList::Toxic2
                   ? ToxicNumber(entry.param / sensors.ToxicDivisor(2), 2, sensors)
                   : Shown();
    default:
        return {};
    }
}

// Columns HC to Battery; the others show nothing here.
Shown ValueCell(const LogRecord &entry, int column, const LogSensors &sensors)
{
    if (column < LogList::HC || column >= LogList::ColumnCount)
        return {};
    if (entry.kind == LogRecord::Data)
        return DataCell(entry, column, sensors);
    if (entry.kind == LogRecord::Event)
        return EventCell(entry, column, sensors);
    return {};
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
    const Shown shown = ValueCell(entry, column, sensors);
    if (shown.decimals >= 0)
        return LogText::Fixed(shown.value, shown.decimals);
    return shown.word.isEmpty() ? QString() : QString(shown.word);
}

void LogList::AppendCell(QByteArray &out, const LogRecord &entry, int column,
                         const LogSensors &sensors)
{
    if (column < HC) {
        out.append(Cell(entry, column, sensors).toLatin1());
        return;
    }
    const Shown shown = ValueCell(entry, column, sensors);
    if (shown.decimals >= 0)
        LogText::AppendFixed(out, shown.value, shown.decimals);
    else
        out.append(shown.word);
}
