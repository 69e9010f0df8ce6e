// What the instrument may answer to each request, and the check of a reply
// against the request at the head of the in-flight list.
#include "ReplyCheck.h"

#include "RecordNames.h"
#include "RecordTypes.h"

namespace ReplyCheck {

namespace {

using namespace RecordType;

// Requests the instrument answers with "#" when it has carried them out.
bool TakesAcknowledgement(int type)
{
    switch (type) {
    case WriteWords: case EndProgramming: case SelectBank: case SetProgramMode: case EraseSector:
    case WriteRam: case WriteTimeKeeper: case WriteIdEntry:
    case ResetPeaks: case ResetStelTwa: case ClearLog: case StartProgramming: case SendKeys:
        return true;
    default:
        return false;
    }
}

// Requests whose answer is some one-character reply, not a particular one.
bool TakesAnyCharacter(int type)
{
    switch (type) {
    case ResetPeaks: case ResetStelTwa: case ClearLog: case StartProgramming: case SendKeys:
        return true;
    default:
        return false;
    }
}

bool IsLogRequest(int type)
{
    return type == LogNext || type == LogRepeat;
}

// The record type that answers a request; -1 when no record does.
bool AnswersWithRecord(int requestType, int recordType)
{
    if (IsLogRequest(requestType))
        return recordType == WriteWords || recordType == EndProgramming; // a log record or the end record
    if (requestType == EndProgramming)
        return recordType == EndProgramming;
    if (requestType >= 256 || TakesAcknowledgement(requestType))
        return false;
    return recordType == requestType;
}

// Reads that name the place they read: the answer carries the same address.
bool EchoesAddress(int type)
{
    switch (type) {
    case ReadWords: case ReadRam: case ReadTimeKeeper: case ReadIdEntry: case ReadToxicTableChunk:
        return true;
    default:
        return false;
    }
}

Verdict CheckCharacter(const LinkRequest &head, char c, bool network)
{
    if (c == '*')
        return Verdict::Unreadable;
    if (!LinkRecord::IsReplyCharacter(c, network))
        return Verdict::Noise;
    const int type = head.type;
    switch (c) {
    case '#':
        return TakesAcknowledgement(type) ? Verdict::Answer : Verdict::Mismatch;
    case '$':
    case '%':
        // Refusals answer any record request: a range the instrument does not
        // hold, a word request before a bank is selected.
        return type < 256 ? Verdict::Answer : Verdict::Mismatch;
    case 'Z':
        return type == LogUploadStart || TakesAnyCharacter(type) ? Verdict::Answer : Verdict::Mismatch;
    default: // "!", "?", "|"
        return TakesAnyCharacter(type) ? Verdict::Answer : Verdict::Mismatch;
    }
}

} // namespace

int ExpectedLength(const LinkRequest &request)
{
    switch (request.type) {
    case ReadWords: case ReadRam: case ReadTimeKeeper: case ReadToxicTableChunk:
        return request.data.isEmpty() ? -1 : quint8(request.data[0]);
    case ReadIdEntry:
        return 16;
    case ReadLogSettings:
        return 3;
    case ReadLogStatus:
        return 7;
    case ReadAnalogA: case ReadAnalogB:
        return 10;
    case ReadBattery:
        return 3;
    case ReadPort:
        return 1;
    case ReadToxicTableCount:
        return -2;
    default:
        if (request.type >= ReadLiveBlock0 && request.type <= ReadLiveBlock0 + 3)
            return 8;
        if (request.type >= ReadMemoryPointer0 && request.type <= ReadMemoryPointer0 + 2)
            return 2;
        return -1;
    }
}

Verdict Check(const LinkRequest &head, const LinkReply &reply, bool network)
{
    if (!reply.IsRecord())
        return CheckCharacter(head, char(reply.code), network);
    if (!reply.intact)
        return Verdict::Garbled;
    if (!AnswersWithRecord(head.type, reply.type))
        return Verdict::Mismatch;
    if (EchoesAddress(head.type) && quint32(reply.address) != (head.wireAddress & 0xFFFF))
        return Verdict::Mismatch;
    const int expected = ExpectedLength(head);
    const int length = int(reply.data.size());
    if ((expected >= 0 && length != expected) || (expected == -2 && length < 1))
        return Verdict::Mismatch;
    return Verdict::Answer;
}

QString Reason(Verdict verdict, const LinkRequest &head, const LinkReply &reply)
{
    const QString request = RecordNames::Name(head.type);
    switch (verdict) {
    case Verdict::Answer:
        return QStringLiteral("answer to %1").arg(request);
    case Verdict::Unreadable:
        return QStringLiteral("instrument could not read %1").arg(request);
    case Verdict::Garbled:
        return QStringLiteral("damaged record (checksum or characters) for %1").arg(request);
    case Verdict::Noise:
        return QStringLiteral("character 0x%1 is no reply, for %2")
            .arg(quint8(reply.code), 2, 16, QLatin1Char('0'))
            .arg(request);
    case Verdict::Mismatch:
        break;
    }
    if (reply.IsRecord())
        return QStringLiteral("%1 record at 0x%2 with %3 bytes does not answer %4 at 0x%5")
            .arg(RecordNames::Name(reply.type))
            .arg(reply.address, 4, 16, QLatin1Char('0'))
            .arg(reply.data.size())
            .arg(request)
            .arg(head.wireAddress & 0xFFFF, 4, 16, QLatin1Char('0'));
    return QStringLiteral("\"%1\" does not answer %2").arg(QChar(reply.code)).arg(request);
}

} // namespace ReplyCheck
