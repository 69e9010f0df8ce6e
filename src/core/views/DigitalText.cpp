// Rows and decoded pin states of the "Digital" view: the main board's ports and output latches.
#include "DigitalText.h"

namespace {
struct RowInfo
{
    const char *port;
    int pin;
    const char *description;
    CDigitalText::Port group;
    int bit;
};
constexpr RowInfo Rows[CDigitalText::RowCount] = {
    {"A0", 60, "On/Off Button", CDigitalText::PortA, 0},
    {"A1", 44, "Battery Type", CDigitalText::PortA, 1},
    {"B0", 59, "Alarm 2 LEDs", CDigitalText::PortB, 0},
    {"B1", 58, "Pump Off", CDigitalText::PortB, 1},
    {"B2", 54, "Back Light", CDigitalText::PortB, 2},
    {"B3", 57, "Speaker", CDigitalText::PortB, 3},
    {"B6", 47, "Up Button *", CDigitalText::PortB, 6},
    {"B7", 48, "Down Button *", CDigitalText::PortB, 7},
    {"E3", 15, "Pressure Switch", CDigitalText::PortE, 3},
    {"F2", 25, "HC Supply Mux S0", CDigitalText::PortF, 2},
    {"F3", 26, "HC Supply Mux S1", CDigitalText::PortF, 3},
    {"G5", 39, "Alarm 1 LEDs", CDigitalText::PortG, 5},
    {"G7", 40, "LCD Power", CDigitalText::PortG, 7},
    {"L0", 2, "Flash A15", CDigitalText::LatchLow, 0},
    {"L1", 5, "Flash A16", CDigitalText::LatchLow, 1},
    {"L2", 6, "Toxic 2 Bias Mux S0", CDigitalText::LatchLow, 2},
    {"L3", 9, "Toxic 2 Bias Mux S1", CDigitalText::LatchLow, 3},
    {"L4", 12, "Toxic 2 Gain Mux S0", CDigitalText::LatchLow, 4},
    {"L5", 15, "Toxic 2 Gain Mux S1", CDigitalText::LatchLow, 5},
    {"L6", 16, "Toxic 2 Gain Mux S2", CDigitalText::LatchLow, 6},
    {"L7", 19, "Flash Enable", CDigitalText::LatchLow, 7},
    {"L8", 2, "Pot Chip Select", CDigitalText::LatchHigh, 0},
    {"L9", 5, "Pot Data", CDigitalText::LatchHigh, 1},
    {"L10", 6, "Pot Clock", CDigitalText::LatchHigh, 2},
    {"L11", 9, "Toxic 1 Bias Mux S0", CDigitalText::LatchHigh, 3},
    {"L12", 12, "Toxic 1 Bias Mux S1", CDigitalText::LatchHigh, 4},
    {"L13", 15, "Toxic 1 Gain Mux S0", CDigitalText::LatchHigh, 5},
    {"L14", 16, "Toxic 1 Gain Mux S1", CDigitalText::LatchHigh, 6},
    {"L15", 19, "Toxic 1 Gain Mux S2", CDigitalText::LatchHigh, 7},
};

namespace Text {
const char *const Columns[] = {"Port", "Pin", "Description", "Dir", "Value", "Meaning"};
const char *const In = "I";
const char *const Out = "O";
const char *const High = "H";
const char *const Low = "L";
// Single pins: the meaning with the bit clear, then with it set.
struct Meaning
{
    const char *port;
    const char *clear;
    const char *set;
};
constexpr Meaning Meanings[] = {
    {"A0", "On/Off Pushed", "On/Off Not Pushed"},
    {"A1", "Alkaline", "Rechargeable"},
    {"B0", "Alarm 2 LEDs On", "Alarm 2 LEDs Off"},
    {"B1", "Pump On", "Pump Off"},
    {"B2", "Back Light Off", "Back Light On"},
    {"B3", "Speaker On", "Speaker Off"},
    {"E3", "Pressure OK", "Pressure Bad"},
    {"G5", "Alarm 1 LEDs On", "Alarm 1 LEDs Off"},
    {"G7", "LCD Power Off", "LCD Power On"},
    {"L7", "Flash Disabled", "Flash Enabled"},
    {"L8", "Pot Selected", "Pot Not Selected"},
    {"L9", "Data = 0", "Data = 1"},
    {"L10", "Clock Inactive", "Clock Active"},
};
const char *const HcSupply[] = {"HC Supply Off", "HC Supply 2V TC", "HC Supply 1V HC", "HC Supply 2V HC"};
const char *const Page = "Page %1";
const char *const Toxic2Bias = "Toxic 2 Bias = %1";
const char *const Toxic2Gain = "Toxic 2 Gain = %1";
const char *const Toxic1Bias = "Toxic 1 Bias = %1";
const char *const Toxic1Gain = "Toxic 1 Gain = %1";
const char *const UpPushed[] = {"Up Not Pushed", "Up Pushed"};
const char *const DownPushed[] = {"Down Not Pushed", "Down Pushed"};
} // namespace Text
constexpr int Widths[] = {40, 40, 180, 40, 50, 150};

QString L(const char *text) { return QString::fromLatin1(text); }

// A group of latch pins that together select one value: the meaning every
// pin of the group shows.
QString GroupMeaning(const QString &port, int data)
{
    if (port == QLatin1String("F2") || port == QLatin1String("F3"))
        return L(Text::HcSupply[(data >> 2) & 3]);
    if (port == QLatin1String("L0") || port == QLatin1String("L1"))
        return L(Text::Page).arg(data & 3);
    if (port == QLatin1String("L2") || port == QLatin1String("L3"))
        return L(Text::Toxic2Bias).arg((data >> 2) & 3);
    if (port == QLatin1String("L4") || port == QLatin1String("L5") || port == QLatin1String("L6"))
        return L(Text::Toxic2Gain).arg((data >> 4) & 7);
    if (port == QLatin1String("L11") || port == QLatin1String("L12"))
        return L(Text::Toxic1Bias).arg((data >> 3) & 3);
    if (port == QLatin1String("L13") || port == QLatin1String("L14") || port == QLatin1String("L15"))
        return L(Text::Toxic1Gain).arg((data >> 5) & 7);
    return {};
}
} // namespace

const QList<CDigitalText::Read> &CDigitalText::Reads()
{
    static const QList<Read> reads{{16, 3}, {276, 2}, {1296, 4}, {26, 2}};
    return reads;
}

QString CDigitalText::ColumnTitle(int column)
{
    return column >= 0 && column < ColumnCount ? L(Text::Columns[column]) : QString();
}

int CDigitalText::ColumnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? Widths[column] : 0;
}

QString CDigitalText::FixedCell(int row, int column)
{
    if (row < 0 || row >= RowCount)
        return {};
    switch (column) {
    case PortColumn: return L(Rows[row].port);
    case Pin: return QString::number(Rows[row].pin);
    case Description: return L(Rows[row].description);
    default: return {};
    }
}

QList<CDigitalText::Port> CDigitalText::PortsAt(qint64 address)
{
    switch (address) {
    case 16: return {PortA, PortB};
    case 26: return {LatchLow, LatchHigh};
    case 276: return {PortE};
    case 1296: return {PortF, PortG};
    default: return {};
    }
}

QList<int> CDigitalText::RowsOf(Port port)
{
    QList<int> rows;
    for (int row = 0; row < RowCount; ++row) {
        if (Rows[row].group == port)
            rows.append(row);
    }
    return rows;
}

bool CDigitalText::PortBytes(const QByteArray &ram, Port port, int *direction, int *data)
{
    int dirAt = -1, dataAt = -1, fixedDir = 0;
    switch (port) {
    case PortA: dataAt = 16; fixedDir = PortADirection; break;
    case PortB: dirAt = 17; dataAt = 18; break;
    case LatchLow: dataAt = 26; break;
    case LatchHigh: dataAt = 27; break;
    case PortE: dirAt = 276; dataAt = 277; break;
    case PortF: dirAt = 1296; dataAt = 1297; break;
    case PortG: dirAt = 1298; dataAt = 1299; break;
    default: return false;
    }
    if (dataAt >= ram.size() || dirAt >= ram.size())
        return false;
    *direction = dirAt >= 0 ? quint8(ram[dirAt]) : fixedDir;
    *data = quint8(ram[dataAt]);
    return true;
}

CDigitalText::State CDigitalText::PinState(int row, int direction, int data)
{
    State s;
    if (row < 0 || row >= RowCount)
        return s;
    const RowInfo &info = Rows[row];
    const bool latch = info.group == LatchLow || info.group == LatchHigh;
    const bool button = row == UpButtonRow || row == DownButtonRow;
    const bool in = button || (!latch && (direction >> info.bit) & 1);
    s.dir = L(in ? Text::In : Text::Out);
    const bool set = (data >> info.bit) & 1;
    s.value = L(set ? Text::High : Text::Low);
    const QString port = L(info.port);
    for (const Text::Meaning &m : Text::Meanings) {
        if (port == QLatin1String(m.port)) {
            s.meaning = L(set ? m.set : m.clear);
            return s;
        }
    }
    s.meaning = GroupMeaning(port, data);
    return s;
}

CDigitalText::State CDigitalText::ButtonState(int row, int flags)
{
    State s;
    if (row != UpButtonRow && row != DownButtonRow)
        return s;
    const bool held = (flags >> (row == UpButtonRow ? 1 : 2)) & 1;
    s.dir = L(Text::In);
    // The button pulls its pin low while held.
    s.value = L(held ? Text::Low : Text::High);
    s.meaning = L(row == UpButtonRow ? Text::UpPushed[held] : Text::DownPushed[held]);
    return s;
}
