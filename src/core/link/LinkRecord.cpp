// Link message formatting and the reply cutters for serial and datagram input.
#include "LinkRecord.h"

namespace LinkRecord {

namespace {
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendHexByte(QByteArray &out, unsigned value)
{
    static const char digits[] = "0123456789ABCDEF";
    out.append(digits[(value >> 4) & 0xF]);
    out.append(digits[value & 0xF]);
}
} // namespace

bool IsHexDigit(char c)
{
    return HexValue(c) >= 0;
}

bool IsReplyCharacter(char c, bool network)
{
    switch (c) {
    case '!': case '#': case '$': case '%': case '*': case '?': case 'Z':
        return true;
    case '|':
        return network;
    default:
        return false;
    }
}

quint8 Checksum(int type, unsigned address, const QByteArray &data)
{
    // Summed over the full field values; only the low 8 bits survive, which is
    // the same as summing the transmitted bytes.
    unsigned sum = unsigned(data.size()) + ((address >> 8) & 0xFF) + (address & 0xFF) + unsigned(type);
    for (char b : data)
        sum += quint8(b);
    return quint8(0x100 - (sum & 0xFF));
}

QByteArray Format(int type, unsigned address, const QByteArray &data)
{
    if (type >= 256)
        return QByteArray(1, char(type & 0xFF));
    QByteArray out;
    out.reserve(RecordLength(int(data.size())));
    out.append(':');
    AppendHexByte(out, unsigned(data.size()));
    AppendHexByte(out, address >> 8);
    AppendHexByte(out, address);
    AppendHexByte(out, unsigned(type));
    for (char b : data)
        AppendHexByte(out, quint8(b));
    AppendHexByte(out, Checksum(type, address, data));
    return out;
}

unsigned ScanHex(const char *text, int width)
{
    int i = 0;
    while (i < width && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    unsigned value = 0;
    for (; i < width; ++i) {
        const int v = HexValue(text[i]);
        if (v < 0)
            break;
        value = (value << 4) | unsigned(v);
    }
    return value;
}

int RecordCount(const char *text)
{
    return int(ScanHex(text + 1, 2));
}

LinkReply DecodeRecord(const char *text, int available)
{
    LinkReply reply;
    const int n = RecordCount(text);
    if (available < RecordLength(n))
        return reply;
    const int length = RecordLength(n);
    reply.code = 0;
    reply.address = int(ScanHex(text + 3, 4));
    reply.type = int(ScanHex(text + 7, 2));
    reply.data.resize(n);
    for (int i = 0; i < n; ++i)
        reply.data[i] = char(ScanHex(text + 9 + 2 * i, 2));
    reply.text = QByteArray(text, length);
    bool digits = true;
    for (int i = 1; i < length && digits; ++i)
        digits = IsHexDigit(text[i]);
    reply.intact = digits && ScanHex(text + length - 2, 2) == Checksum(reply.type, unsigned(reply.address), reply.data);
    return reply;
}

QList<LinkReply> ParseDatagram(const QByteArray &datagram)
{
    QList<LinkReply> replies;
    const char *text = datagram.constData();
    const int size = int(datagram.size());
    int i = 0;
    while (i < size) {
        const char c = text[i];
        if (IsReplyCharacter(c, true)) {
            LinkReply r;
            r.code = quint8(c);
            r.text = QByteArray(1, c);
            replies.append(r);
            ++i;
        } else if (c == ':') {
            const int remaining = size - i;
            if (remaining < 3)
                break;
            const int length = RecordLength(RecordCount(text + i));
            if (remaining < length)
                break; // never joined across datagrams
            replies.append(DecodeRecord(text + i, remaining));
            i += length;
        } else {
            ++i;
        }
    }
    return replies;
}

} // namespace LinkRecord

bool CSerialReplyAssembler::Feed(const QByteArray &chunk, LinkReply &reply)
{
    if (m_buffer.isEmpty()) {
        for (qsizetype i = 0; i < chunk.size(); ++i) {
            const char c = chunk[i];
            if (c == ':') {
                m_buffer = chunk.mid(i);
                return TryComplete(reply);
            }
            if (LinkRecord::IsHexDigit(c))
                continue;
            // A reply character, or line noise reported as its own code (the
            // link counts a character that is no reply, NUL among them, as
            // no reply at all).
            reply = LinkReply();
            reply.code = quint8(c);
            reply.text = QByteArray(1, c);
            return true;
        }
        return false;
    }
    m_buffer.append(chunk);
    return TryComplete(reply);
}

bool CSerialReplyAssembler::TryComplete(LinkReply &reply)
{
    if (m_buffer.size() <= 2)
        return false;
    const int n = LinkRecord::RecordCount(m_buffer.constData());
    if (m_buffer.size() < LinkRecord::RecordLength(n))
        return false;
    reply = LinkRecord::DecodeRecord(m_buffer.constData(), int(m_buffer.size()));
    m_buffer.clear();
    return true;
}
