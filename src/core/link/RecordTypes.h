// Record types of the instrument protocol. Types of 256 and above go on the
// wire as the single character (type & 0xFF).
#pragma once

namespace RecordType {
enum : int {
    WriteWords = 0,
    EndProgramming = 1,
    SelectBank = 4,
    QueryProgramMode = 14,
    SetProgramMode = 15,
    EraseSector = 17,
    ReadWords = 18,
    ReadRam = 32,
    WriteRam = 33,
    ReadTimeKeeper = 40,
    WriteTimeKeeper = 41,
    ReadIdEntry = 48,
    WriteIdEntry = 49,
    ReadLiveBlock0 = 128, // 128..131
    ResetPeaks = 132,
    ResetStelTwa = 133,
    ReadLogSettings = 134,
    ClearLog = 135,
    ReadLogStatus = 136,
    ReadAnalogA = 137,
    ReadMemoryPointer0 = 138, // 138..140
    ReadAnalogB = 141,
    ReadBattery = 142,
    ReadPort = 143,
    StartProgramming = 144,
    SendKeys = 145,
    ReadDisplayAddress = 146,
    ReadToxicTableChunk = 148,
    ReadToxicTableCount = 149,
    BoardTest0 = 240, // 240..243
    LogNext = 289,    // "!"
    LogRepeat = 319,  // "?"
    LogUploadStart = 346, // "Z"
};

// Address of the marker request that Resynchronise parks in flight.
constexpr unsigned RecoveryMarkerAddress = 0xDEAD0001u;

// Word requests carry an absolute word address that the link turns into a
// bank-relative byte offset on the wire.
constexpr bool IsWordRequest(int type)
{
    return type == WriteWords || type == EraseSector || type == ReadWords;
}
} // namespace RecordType
