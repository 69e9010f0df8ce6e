// Where things live in the simulated instrument's memories: sizes, the flash
// sector bounds and the fixed word addresses of the configuration sector.
#pragma once

#include <QtGlobal>
#include <array>

namespace SimMap {

constexpr int TimeKeeperSize = 64;
constexpr int ClockBytes = 7; // seconds .. year; byte 7 is the control register
constexpr int RamSize = 2048;

// Word memory: 16-bit words, five banks of 32K words.
constexpr quint32 WordCount = 0x28000;
constexpr quint32 WordsPerBank = 0x8000;
constexpr int BankCount = int(WordCount / WordsPerBank);

// The boot loader's words. The program only ever reads them back to compare
// with a firmware file; the instrument refuses to write them.
constexpr quint32 BootAreaEnd = 0x4000;
// Words between the boot loader and the first sector are written by a
// firmware download but belong to no erasable sector.
constexpr std::array<quint32, 8> SectorBounds = {0x8000, 0xA000, 0xB000, 0xC000, 0x10000, 0x18000, 0x20000, 0x28000};
constexpr int SectorCount = int(SectorBounds.size()) - 1;

// Marker words that tell what a sector holds, at the addresses the memory
// map reads (the code sector's marker sits in its middle, not at its start).
constexpr std::array<quint32, SectorCount> SectorMarkerAddress = {0x9000, 0xA000, 0xB000, 0xC000, 0x10000, 0x18000, 0x20000};
constexpr quint16 MarkerCode = 0xC0DE;
constexpr quint16 MarkerStel = 0xFFFA;
constexpr quint16 MarkerTwa = 0xFFF9;
constexpr quint16 MarkerCurrentLog = 0xFFFE;
constexpr quint16 MarkerHistory = 0xFFFC;

// Configuration sector.
constexpr quint32 ConfigSectorStart = 0xC000;
constexpr quint32 ConfigSectorEnd = 0x10000;
constexpr quint32 ConfigPointerWord = 0xC002;
constexpr quint32 ChecksumWord = 0xC003;
constexpr quint32 SerialWord = 0xC004;  // 32 bits, low word first
constexpr quint32 DateWord = 0xC006;    // seconds since 1970, low word first
constexpr quint32 VersionWord = 0xC009; // two words, four characters
constexpr quint32 ConfigTextWord = 0xC010;
constexpr int ConfigTextBytes = 32;
constexpr quint32 RangeTableWord = 0xC020;
constexpr int RangeRecordBytes = 20;
constexpr int RangeCount = 4;
// The words of the configuration sector, checksum included, add up to this
// (mod 65536) when the configuration is intact.
constexpr quint16 ConfigurationSum = 0xC0DE;

constexpr quint32 CurrentLogSector = 0x10000;
constexpr quint32 LogSectorWords = 0x8000;

// ID entries and the toxic gas table.
constexpr int IdEntryCount = 81;
constexpr int IdEntryLength = 16;
constexpr int ToxicRecordSize = 94;

// RAM: where the display firmware keeps its 40 bytes (clear of the area the
// board test walks, 288..1023), and the port images the digital view reads.
constexpr int DisplayAddress = 0x610;
constexpr int DisplayBytes = 40;
constexpr int PortAData = 16;
constexpr int PortBDirection = 17;
constexpr int PortBData = 18;
constexpr int LatchLow = 26;
constexpr int LatchHigh = 27;
constexpr int PortEDirection = 276;
constexpr int PortEData = 277;
constexpr int PortFDirection = 1296;
constexpr int PortFData = 1297;
constexpr int PortGDirection = 1298;
constexpr int PortGData = 1299;

} // namespace SimMap
