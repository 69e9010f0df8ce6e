// Intel HEX text for tests and benchmarks: one record line with its checksum, an image of blocks of words, the 256 KB image the firmware benchmarks program.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

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

// Blocks of flash words: the first word's address and the words from there.
using HexWordBlocks = QList<QPair<quint32, QList<quint16>>>;

// 16 words a record, low byte first, a bank record wherever the bank changes,
// and the end record.
inline QByteArray HexWordImage(const HexWordBlocks &blocks)
{
    QByteArray text;
    int bank = -1;
    for (const auto &[first, words] : blocks) {
        for (int i = 0; i < words.size(); i += 16) {
            const quint32 word = first + quint32(i);
            if (int(word >> 15) != bank) {
                bank = int(word >> 15);
                text += HexRecordLine(0, 4, QByteArray(1, '\0') + char(bank));
            }
            QByteArray data;
            for (quint16 w : words.mid(i, 16))
                data += char(w & 0xFF) + QByteArray(1, char(w >> 8));
            text += HexRecordLine(int((word & 0x7FFF) * 2), 0, data);
        }
    }
    return text + HexRecordLine(0, 1, {});
}

/*
 * 128 K words (256 KB) above the boot area, 16 words a record. The
 * configuration sector (0xC000..0xFFFF) is left out: the run erases and
 * stamps it itself. The program area the boot loader erases gets a varied
 * pattern; the rest of the flash keeps whatever it holds, so only zero words
 * (reachable by clearing bits whatever the cells hold) go there.
 */
inline QByteArray HexImage256K(qint64 *words = nullptr)
{
    QByteArray text;
    text.reserve(700 * 1024);
    int bank = -1;
    qint64 count = 0;
    auto add = [&](quint32 first, quint32 end) {
        for (quint32 word = first; word < end; word += 16) {
            if (int(word >> 15) != bank) {
                bank = int(word >> 15);
                text += HexRecordLine(0, 4, QByteArray(1, '\0') + char(bank));
            }
            QByteArray data;
            for (quint32 w = word; w < word + 16; ++w) {
                const quint16 v = w < 0xA000 ? quint16(0x3000 + 13 * w) : quint16(0);
                data += char(v & 0xFF);
                data += char(v >> 8);
            }
            text += HexRecordLine(int((word & 0x7FFF) * 2), 0, data);
            count += 16;
        }
    };
    add(0x4000, 0xC000);
    add(0x10000, 0x28000);
    if (words)
        *words = count;
    return text + HexRecordLine(0, 1, {});
}
