// Names of the record types.
#include "RecordNames.h"

#include "RecordTypes.h"

namespace RecordNames {

QString Name(int type)
{
    using namespace RecordType;
    switch (type) {
    case WriteWords: return QStringLiteral("WriteWords");
    case EndProgramming: return QStringLiteral("EndProgramming");
    case SelectBank: return QStringLiteral("SelectBank");
    case QueryProgramMode: return QStringLiteral("QueryProgramMode");
    case SetProgramMode: return QStringLiteral("SetProgramMode");
    case EraseSector: return QStringLiteral("EraseSector");
    case ReadWords: return QStringLiteral("ReadWords");
    case ReadRam: return QStringLiteral("ReadRam");
    case WriteRam: return QStringLiteral("WriteRam");
    case ReadTimeKeeper: return QStringLiteral("ReadTimeKeeper");
    case WriteTimeKeeper: return QStringLiteral("WriteTimeKeeper");
    case ReadIdEntry: return QStringLiteral("ReadIdEntry");
    case WriteIdEntry: return QStringLiteral("WriteIdEntry");
    case ResetPeaks: return QStringLiteral("ResetPeaks");
    case ResetStelTwa: return QStringLiteral("ResetStelTwa");
    case ReadLogSettings: return QStringLiteral("ReadLogSettings");
    case ClearLog: return QStringLiteral("ClearLog");
    case ReadLogStatus: return QStringLiteral("ReadLogStatus");
    case ReadAnalogA: return QStringLiteral("ReadAnalogA");
    case ReadAnalogB: return QStringLiteral("ReadAnalogB");
    case ReadBattery: return QStringLiteral("ReadBattery");
    case ReadPort: return QStringLiteral("ReadPort");
    case StartProgramming: return QStringLiteral("StartProgramming");
    case SendKeys: return QStringLiteral("SendKeys");
    case ReadDisplayAddress: return QStringLiteral("ReadDisplayAddress");
    case ReadToxicTableChunk: return QStringLiteral("ReadToxicTableChunk");
    case ReadToxicTableCount: return QStringLiteral("ReadToxicTableCount");
    case LogNext: return QStringLiteral("LogNext");
    case LogRepeat: return QStringLiteral("LogRepeat");
    case LogUploadStart: return QStringLiteral("LogUploadStart");
    default:
        break;
    }
    if (type >= ReadLiveBlock0 && type <= ReadLiveBlock0 + 3)
        return QStringLiteral("ReadLiveBlock%1").arg(type - ReadLiveBlock0);
    if (type >= ReadMemoryPointer0 && type <= ReadMemoryPointer0 + 2)
        return QStringLiteral("ReadMemoryPointer%1").arg(type - ReadMemoryPointer0);
    if (type >= BoardTest0 && type <= BoardTest0 + 3)
        return QStringLiteral("BoardTest%1").arg(type - BoardTest0);
    return QStringLiteral("Type 0x%1").arg(type & 0xFFFF, 2, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x"));
}

} // namespace RecordNames
