// Columns of the log list: headings, widths, alignment and the text of every cell.
#pragma once

#include "datalog/LogRecord.h"

#include <QByteArray>
#include <QString>
#include <Qt>

class LogSensors;

/*
 * Each cell depends on its own entry and the sensors only, so a table model
 * can ask for any cell at any time. Event cells:
 *   29 Enabled sensors   HC, O2, Toxic 1, Toxic 2 "On"/"Off"
 *   30-32 sensor values  the values their mask holds
 *   33 Cal results       "Pass", "Weak" or "Fail" per reported sensor
 *   63 HC maximum        HC; 79/80 O2 minimum/maximum: O2
 *   113/133              Toxic 1 / Toxic 2 maximum
 */
class LogList
{
public:
    enum Column : int {
        Type = 0,
        Date = 1,
        Time = 2,
        HC = 3,
        O2 = 4,
        Toxic1 = 5,
        Toxic2 = 6,
        Toxic1Stel = 7,
        Toxic2Stel = 8,
        Toxic1Twa = 9,
        Toxic2Twa = 10,
        Battery = 11,
        ColumnCount = 12
    };

    // Toxic columns are headed by their sensor's gas name; empty outside 0-11.
    static QString Heading(int column, const LogSensors &sensors);
    // Pixels; 0 outside 0-11.
    static int Width(int column);
    static Qt::Alignment Alignment(int column);
    // Empty outside 0-11 and where the entry has nothing for the column.
    static QString Cell(const LogRecord &entry, int column, const LogSensors &sensors);
    // The cell as Latin-1 bytes appended to `out`; the value columns go
    // straight to bytes, which matters for a file of a million rows.
    static void AppendCell(QByteArray &out, const LogRecord &entry, int column,
                           const LogSensors &sensors);

    // Sensor (1 or 2) of a toxic column 5-10, 0 for the others.
    static int ToxicSensorOf(int column);
};
