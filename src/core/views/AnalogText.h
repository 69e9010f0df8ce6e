// Rows and cell texts of the "Analog" view: the main board's converter channels.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

class CAnalogText
{
public:
    enum Column { Channel, Pin, Description, Adc, Voltage, Value, Meaning, ColumnCount };
    static constexpr int RowCount = 10;
    static constexpr int TemperatureRow = 2;
    static constexpr int BatteryRow = 3;
    // Which rows the five words of each reading reply carry, in order.
    static constexpr std::array<int, 5> RowsOfReplyA{0, 1, 6, 7, 8};
    static constexpr std::array<int, 5> RowsOfReplyB{2, 3, 4, 5, 9};

    static QString ColumnTitle(int column);
    static int ColumnWidth(int column);
    static bool RightAligned(int column) { return column == Adc || column == Voltage || column == Value; }
    // The fixed columns (Channel, Pin, Description) of a row.
    static QString FixedCell(int row, int column);
    // The reading columns (Adc .. Meaning) of a row for a raw 16-bit reading.
    static QString ReadingCell(int row, int column, int raw);
    // Word i (0..4) of a reply, low byte first; 0 beyond the bytes.
    static int ReplyWord(const QByteArray &reply, int i);

    // 5 V over 65536 counts.
    static double Volts(int raw) { return raw * 5.0 / 65536.0; }
};
