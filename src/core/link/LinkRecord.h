// Wire format of link messages: hex records ":NNAAAATT<data>CC" and
// one-character messages, plus the two reply cutters (serial chunks and
// datagrams). Pure functions over bytes so they can be fuzzed on their own.
#pragma once

#include <QByteArray>
#include <QList>

// One reply cut out of the received characters.
// code: 0 for a record, else the character code (0..255) of a one-character reply.
// intact is false for a record whose checksum is wrong or that holds characters
// other than hex digits: its fields cannot be trusted, only traced.
struct LinkReply
{
    int code = 0;
    int type = -1;
    int address = 0;
    QByteArray data;
    bool intact = true;
    QByteArray text; // the characters it was cut from, for the protocol trace

    bool IsRecord() const { return code == 0 && type >= 0; }

    bool operator==(const LinkReply &o) const
    {
        return code == o.code && type == o.type && address == o.address && data == o.data && intact == o.intact;
    }
};

namespace LinkRecord {

// Two's complement of the low 8 bits of count + address bytes + type + data.
quint8 Checksum(int type, unsigned address, const QByteArray &data);

// The text a request goes out as: one character for type >= 256, otherwise
// the upper-case hex record (address written as its low 16 bits).
QByteArray Format(int type, unsigned address, const QByteArray &data);

// Characters a record with n data bytes occupies, colon to checksum.
constexpr int RecordLength(int n) { return 11 + 2 * n; }

// Reads a fixed-width hex field the way "%x" would: leading blanks skipped,
// hex digits taken until the first other character; no digits gives 0.
unsigned ScanHex(const char *text, int width);

// Decodes a complete record starting at text[0] == ':'; the caller guarantees
// at least RecordLength(n) characters are available. The record is intact when
// every character after the colon is a hex digit and its checksum is right.
LinkReply DecodeRecord(const char *text, int available);

// Count field of a record whose first three characters are present.
int RecordCount(const char *text);

// Characters that the serial receiver reports as one-character replies when no
// record is being assembled.
bool IsReplyCharacter(char c, bool network);
bool IsHexDigit(char c);

// Cuts one datagram into its replies, in order.
QList<LinkReply> ParseDatagram(const QByteArray &datagram);

} // namespace LinkRecord

// Assembles replies from serial chunks. At most one reply per chunk comes out,
// because one request is in flight at a time; anything after a completed
// record in the same chunk is dropped.
class CSerialReplyAssembler
{
public:
    // Feeds one received chunk; returns true and fills reply when a reply is complete.
    bool Feed(const QByteArray &chunk, LinkReply &reply);
    void Clear() { m_buffer.clear(); }
    bool IsAssembling() const { return !m_buffer.isEmpty(); }
    const QByteArray &Buffer() const { return m_buffer; }

private:
    bool TryComplete(LinkReply &reply);
    QByteArray m_buffer;
};
