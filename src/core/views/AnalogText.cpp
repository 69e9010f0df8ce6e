// Rows and cell texts of the "Analog" view: the main board's converter channels.
#include "AnalogText.h"

#include "document/SettingsCodec.h"

namespace {
struct RowInfo
{
    int channel;
    int pin;
    const char *description;
};
constexpr RowInfo Rows[CAnalogText::RowCount] = {
    {0, 31, "Toxic1"}, {1, 32, "Toxic2"}, {2, 33, "Temperature"}, {3, 34, "Battery"}, {4, 28, "Toxic2-P"},
    {5, 27, "Toxic1-P"}, {8, 24, "O2"}, {9, 23, "TC"}, {10, 22, "HC"}, {11, 21, "Not Used"}};

namespace Text {
const char *const Columns[] = {"Channel", "Pin", "Description", "ADC", "Voltage", "Value", "Meaning"};
const char *const Volts = "%1 V";
const char *const MilliVolts = "%1 mV";
const char *const Celsius = "%1C";
} // namespace Text
constexpr int Widths[] = {40, 40, 100, 50, 75, 100, 100};

// The temperature sensor gives 10 mV per degree above 500 mV at 0 C, and
// reaches the converter through a divider of 250; the battery through one of 2.
constexpr double TemperatureDivider = 250.0;
constexpr double TemperatureZeroMv = 500.0;
constexpr double MvPerDegree = 10.0;
constexpr double BatteryDivider = 2.0;

QString Fixed(const char *pattern, double value, int decimals)
{
    return QString::fromLatin1(pattern).arg(CSettingsCodec::FormatFixed(value, decimals));
}
} // namespace

QString CAnalogText::ColumnTitle(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(Text::Columns[column]) : QString();
}

int CAnalogText::ColumnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? Widths[column] : 0;
}

QString CAnalogText::FixedCell(int row, int column)
{
    if (row < 0 || row >= RowCount)
        return {};
    switch (column) {
    case Channel: return QString::number(Rows[row].channel);
    case Pin: return QString::number(Rows[row].pin);
    case Description: return QString::fromLatin1(Rows[row].description);
    default: return {};
    }
}

QString CAnalogText::ReadingCell(int row, int column, int raw)
{
    if (row < 0 || row >= RowCount)
        return {};
    const double volts = Volts(raw);
    switch (column) {
    case Adc: return QString::number(raw);
    case Voltage: return Fixed(Text::Volts, volts, 3);
    case Value:
        if (row == TemperatureRow)
            return Fixed(Text::MilliVolts, volts * TemperatureDivider, 1);
        if (row == BatteryRow)
            return Fixed(Text::Volts, volts * BatteryDivider, 3);
        return {};
    case Meaning:
        if (row == TemperatureRow)
            return Fixed(Text::Celsius, (volts * TemperatureDivider - TemperatureZeroMv) / MvPerDegree, 1);
        return {};
    default: return {};
    }
}

int CAnalogText::ReplyWord(const QByteArray &reply, int i)
{
    const int at = 2 * i;
    if (i < 0 || at + 1 >= reply.size())
        return 0;
    return quint8(reply[at]) | (quint8(reply[at + 1]) << 8);
}
