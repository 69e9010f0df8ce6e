// The numbers with which the document tells its views what happened: the
// record type of a reply, or one of the notices below.
#pragma once

#include <QByteArray>

namespace UpdateCode {
enum : int {
    Timeout = -1,
    LogData = 0,            // also WriteWords acknowledgements (status -1 / -2)
    EndProgramming = 1,
    ProgramMode = 14,
    SetProgramMode = 15,
    EraseSector = 17,
    WordBlock = 18,
    RamBlock = 32,
    RamWritten = 33,
    Settings = 40,          // the settings bytes of the TimeKeeper block arrived
    TimeKeeperWritten = 41,
    IdEntry = 48,
    LiveBlock0 = 128,       // 128..131
    LogSettings = 134,
    LogStatus = 136,
    AnalogA = 137,
    MemoryPointer0 = 138,   // 138..140
    AnalogB = 141,
    Battery = 142,
    Port = 143,
    DisplayAddress = 146,
    ToxicRecord = 148,
    ToxicCount = 149,
    BoardTest0 = 240,       // 240..243
    LogUploadStart = 346,   // a "Z" reply
    Clock = 1000,
    BeforeDownload = 1002,  // views store their edits into the document
    RangeIndex = 1003,      // the one-byte poll of TimeKeeper byte 22
    Poll = 10000,
    Idle = 10001,
    CommunicationsLost = 10002,
    GasChanged = 10004,
    Reconnected = 10005,
};
} // namespace UpdateCode

// What came with an update: an address (word, RAM, TimeKeeper or entry index)
// and a count, a status for programming acknowledgements, or the data bytes
// of a log record.
struct CReplyNotice
{
    qint64 address = 0;
    int count = 0;
    int status = 0;
    QByteArray data;
    // A log record sent in answer to "?" rather than "!": it may be the
    // record the program already has.
    bool repeat = false;

    static CReplyNotice At(qint64 address, int count) { return {address, count, 0, {}}; }
    static CReplyNotice Status(int status, int count = 0) { return {0, count, status, {}}; }
};
