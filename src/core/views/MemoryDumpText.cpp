// Rows, addresses and cell texts of the "Flash" and "RAM" hexadecimal dumps.
#include "MemoryDumpText.h"

#include "document/WordImage.h"

namespace {
// The upper windows lie 0x100 apart, from 0x410 on.
constexpr int UpperRamStart = 0x410;
constexpr int UpperRamStride = 0x100;
} // namespace

QString CMemoryDumpText::FlashCell(const CWordImage &image, int row, int column)
{
    if (row < 0 || row >= FlashRowCount || column < 0 || column >= CellsPerRow)
        return {};
    return QString::asprintf("%04X", unsigned(image.Word(qint64(row) * CellsPerRow + column)));
}

int CMemoryDumpText::FlashRowOfWord(qint64 word)
{
    if (word < 0 || word >= CWordImage::WordCount)
        return -1;
    return int(word / CellsPerRow);
}

int CMemoryDumpText::FlashNextRow(int done, int top, int pageRows)
{
    const int next = done >= top && done < top + pageRows ? done + 1 : top;
    return qBound(0, next, FlashRowCount - 1);
}

int CMemoryDumpText::RamRowStart(int row)
{
    if (row < 0 || row >= RamRowCount)
        return -1;
    if (row < RamLowRows)
        return row * CellsPerRow;
    return UpperRamStart + (row - RamLowRows) * UpperRamStride;
}

int CMemoryDumpText::RamRowOfAddress(qint64 address)
{
    if (address < 0 || address % CellsPerRow != 0)
        return -1;
    if (address < RamLowRows * CellsPerRow)
        return int(address / CellsPerRow);
    if (address < UpperRamStart || (address - UpperRamStart) % UpperRamStride != 0)
        return -1;
    const qint64 row = RamLowRows + (address - UpperRamStart) / UpperRamStride;
    return row < RamRowCount ? int(row) : -1;
}

QString CMemoryDumpText::RamCell(const QByteArray &ram, int row, int column)
{
    const int start = RamRowStart(row);
    if (start < 0 || column < 0 || column >= CellsPerRow || start + column >= ram.size())
        return {};
    return QString::asprintf("%02X", unsigned(quint8(ram[start + column])));
}
