// The simulated instrument's flash cells: programming can only clear bits, and
// the boot loader takes over the program area when a download starts.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <vector>

class CSimInstrument;

/*
 * Real flash is written by clearing bits; only an erase sets them again. The
 * firmware's driver checks a block before it programs it: if any word would
 * need a 0 bit to become 1 (the word was not erased and differs), the whole
 * block is refused and nothing changes. Otherwise every word becomes
 * old AND new, which is the new value.
 *
 * StartProgramming hands the instrument to its boot loader, which erases the
 * program area (words 0x4000 to 0x9FFF: the part below the first sector and
 * the code sector) so that the download that follows lands on erased cells.
 * The configuration sector is erased by the program's own EraseSector; the
 * STEL, TWA and log sectors keep their data.
 *
 * Programs carry an eight-character name in words 0x4000 to 0x4003 (two
 * characters a word, low byte first); the board test reads it to know which
 * of its test programs is loaded.
 */
class CSimFlash
{
public:
    static constexpr quint32 ProgramAreaStart = 0x4000;
    static constexpr quint32 ProgramAreaEnd = 0xA000;
    static constexpr quint32 ProgramNameWord = 0x4000;
    static constexpr int ProgramNameBytes = 8;

    // True when every word of the block can be reached by clearing bits.
    static bool CanProgram(const std::vector<quint16> &words, quint32 word, const QByteArray &bytes);
    // Programs the block (2 bytes a word, low byte first); false, with
    // nothing changed, when CanProgram does not hold or it leaves the memory.
    static bool Program(std::vector<quint16> &words, quint32 word, const QByteArray &bytes);
    static void EraseProgramArea(std::vector<quint16> &words);
    // The loaded program's name; empty when the name words are erased.
    static QByteArray ProgramName(const CSimInstrument &instrument);
};
