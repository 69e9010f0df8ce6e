// Rows, addresses and cell texts of the "Flash" and "RAM" hexadecimal dumps.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class CWordImage;

/*
 * Flash: 0x28000 words, 16 to a row, 10240 rows; row r starts at word 16r.
 * RAM: 68 rows of 16 bytes. Rows 0-63 cover 0x000-0x3FF; rows 64-67 are
 * the four 16-byte windows 0x410, 0x510, 0x610 and 0x710 of the upper RAM,
 * where the firmware keeps its port images and display memory.
 */
class CMemoryDumpText
{
public:
    static constexpr int CellsPerRow = 16;
    static constexpr int FlashRowCount = 10240;
    static constexpr int RamRowCount = 68;
    static constexpr int RamLowRows = 64;

    static QString FlashRowLabel(int row) { return QString::asprintf("%05X", unsigned(row) * CellsPerRow); }
    // Word `column` (0..15) of a row, "%04X"; empty outside the image.
    static QString FlashCell(const CWordImage &image, int row, int column);
    // The row a word address falls in; -1 outside the memory.
    static int FlashRowOfWord(qint64 word);
    // The word a row's second half-read starts at: its arrival completes the row.
    static qint64 FlashRowCompletionWord(int row) { return qint64(row) * CellsPerRow + CellsPerRow / 2; }
    // After row `done` was read completely: the next row to read, given the
    // first visible row and the number of rows the page shows. A row inside
    // the page moves on to the one below it; anything else starts the page
    // over at its top.
    static int FlashNextRow(int done, int top, int pageRows);

    // First RAM byte a row shows; -1 outside the rows.
    static int RamRowStart(int row);
    // The row that starts exactly at `address`; -1 when no row does (a
    // reply at any other address has no cells to fill).
    static int RamRowOfAddress(qint64 address);
    static QString RamRowLabel(int row) { return QString::asprintf("%03X", unsigned(RamRowStart(row))); }
    // Byte `column` (0..15) of a row from the RAM image, "%02X"; empty when
    // the image does not reach it.
    static QString RamCell(const QByteArray &ram, int row, int column);
};
