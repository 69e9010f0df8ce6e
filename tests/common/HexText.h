// Intel HEX text for tests and benchmarks: one record line with its checksum.
#pragma once

#include <QByteArray>

// ":" count, address, type, data, checksum, CRLF; upper-case hex.
inline QByteArray HexRecordLine(int address, int type, const QByteArray &data)
{
    QByteArray body;
    body.append(char(data.size()));
    body.append(char((address >> 8) & 0xFF));
    body.append(char(address & 0xFF));
    body.append(char(type));
    body.append(data);
    int sum = 0;
    for (char c : body)
        sum += quint8(c);
    body.append(char((0x100 - (sum & 0xFF)) & 0xFF));
    return ':' + body.toHex().toUpper() + "\r\n";
}
