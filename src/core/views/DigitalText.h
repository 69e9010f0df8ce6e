// Rows and decoded pin states of the "Digital" view: the main board's ports and output latches.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/*
 * The firmware keeps images of its ports in RAM:
 *   16 port A data, 17/18 port B direction/data, 26/27 latches L0-L7 and
 *   L8-L15, 276/277 port E direction/data, 1296/1297 port F and 1298/1299
 *   port G direction/data.
 * A set direction bit is an input. Port A has no direction image; its two
 * pins are always inputs. The latches are outputs only. The Up and Down
 * buttons (B6, B7) are read through the button flags rather than port B.
 */
class CDigitalText
{
public:
    enum Column { PortColumn, Pin, Description, Dir, Value, Meaning, ColumnCount };
    enum Port { PortA, PortB, PortE, PortF, PortG, LatchLow, LatchHigh, PortCount };
    static constexpr int RowCount = 29;
    static constexpr int UpButtonRow = 6;
    static constexpr int DownButtonRow = 7;
    static constexpr int PortADirection = 19;

    struct Read
    {
        int address;
        int count;
    };
    // The RAM reads of one refresh, in the order they are asked for.
    static const QList<Read> &Reads();

    struct State
    {
        QString dir;
        QString value;
        QString meaning;
    };

    static QString ColumnTitle(int column);
    static int ColumnWidth(int column);
    // The fixed columns (Port, Pin, Description) of a row.
    static QString FixedCell(int row, int column);

    // The ports whose images start at a RAM address; none for any other address.
    static QList<Port> PortsAt(qint64 address);
    // The rows of a port, in order.
    static QList<int> RowsOf(Port port);
    // Direction and data bytes of a port from the RAM image; false when the
    // image does not hold them.
    static bool PortBytes(const QByteArray &ram, Port port, int *direction, int *data);
    // Dir, Value and Meaning of a row of `port` for its direction and data bytes.
    static State PinState(int row, int direction, int data);
    // Value and Meaning of the Up or Down button row from the button flags
    // (bit 1 Up, bit 2 Down held).
    static State ButtonState(int row, int flags);
};
