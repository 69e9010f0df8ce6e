// Decoding of the instrument's binary log records.
#include "datalog/LogDecoder.h"

namespace {
quint8 ByteAt(QByteArrayView bytes, qsizetype i)
{
    return i < bytes.size() ? quint8(bytes[i]) : 0;
}

quint16 WordAt(QByteArrayView bytes, qsizetype i)
{
    return quint16(ByteAt(bytes, i) | (ByteAt(bytes, i + 1) << 8));
}

// Characters from `at` up to a NUL, at most `limit`, never past the record.
// `terminated` tells whether the text ended by a NUL or its full length.
QString TakeText(QByteArrayView bytes, qsizetype at, qsizetype limit, bool *complete)
{
    QString text;
    qsizetype i = at;
    for (; i < bytes.size() && i < at + limit; ++i) {
        if (bytes[i] == 0) {
            *complete = true;
            return text;
        }
        text += QChar(quint8(bytes[i]));
    }
    *complete = (i == at + limit);
    return text;
}

bool IsToxicNameEvent(quint32 code)
{
    return (code >= 101 && code <= 112) || code == 116 || (code >= 121 && code <= 132)
           || code == 136;
}
} // namespace

LogDecoder::LogDecoder(const LogSensors &sensors) : m_sensors(sensors) {}

LogRecord::Kind LogDecoder::KindOf(quint8 byte0)
{
    if (byte0 == 0x24)
        return LogRecord::RecoverableEvent;
    if (byte0 >= 0x25 && byte0 <= 0x2A)
        return LogRecord::Config;
    const quint8 hour = byte0 & 0x7F;
    const bool bcdHour = (hour & 0x0F) <= 9 && hour <= 0x23;
    if (!bcdHour)
        return LogRecord::Illegal;
    return (byte0 & 0x80) ? LogRecord::Event : LogRecord::Data;
}

QDate LogDecoder::NormalisedDate(int year, int month, int day)
{
    const QDate first(year, 1, 1);
    return first.addMonths(month - 1).addDays(day - 1);
}

QDate LogDecoder::DateField(quint8 year, quint8 month, quint8 day)
{
    const int y = Bcd(year);
    return NormalisedDate(y == 99 ? 1999 : 2000 + y, Bcd(month), Bcd(day));
}

bool LogDecoder::TakeDate(QByteArrayView bytes, qsizetype at)
{
    if (at + 3 > bytes.size())
        return false;
    m_runningDate = DateField(ByteAt(bytes, at), ByteAt(bytes, at + 1), ByteAt(bytes, at + 2));
    return true;
}

bool LogDecoder::Decode(QByteArrayView bytes, QList<LogRecord> &entries)
{
    if (bytes.isEmpty()) {
        LogRecord entry;
        entry.kind = LogRecord::Illegal;
        entry.time = entries.isEmpty() ? QDateTime(m_runningDate, QTime(0, 0), Qt::UTC)
                                       : entries.constLast().time;
        entries.append(entry);
        return true;
    }
    if (quint8(bytes[0]) == 0x7F)
        return false;
    entries.append(DecodeRecord(bytes));
    return true;
}

LogRecord LogDecoder::DecodeRecord(QByteArrayView bytes)
{
    LogRecord entry;
    entry.raw = bytes.toByteArray();
    const quint8 byte0 = ByteAt(bytes, 0);
    entry.kind = bytes.isEmpty() ? LogRecord::Illegal : KindOf(byte0);
    if (bytes.size() < 3)
        entry.truncated = true;

    if (entry.kind == LogRecord::Data)
        DecodeData(bytes, entry);
    else if (entry.kind == LogRecord::Event)
        DecodeEvent(bytes, entry);

    const int seconds = Bcd(byte0 & 0x7F) * 3600 + Bcd(ByteAt(bytes, 1)) * 60 + Bcd(ByteAt(bytes, 2));
    entry.time = QDateTime(m_runningDate, QTime(0, 0), Qt::UTC).addSecs(seconds);
    return entry;
}

void LogDecoder::DecodeData(QByteArrayView bytes, LogRecord &entry) const
{
    const qsizetype n = bytes.size();
    if (n < 5)
        entry.truncated = true;
    const quint8 mask = ByteAt(bytes, 3);
    const quint8 high = ByteAt(bytes, 4);
    qsizetype pos = 5;

    for (int slot = 0; slot < 8; ++slot) {
        if (!(mask & (1u << slot)))
            continue;
        const qsizetype size = slot == LogRecord::HC ? 2 : 1;
        if (pos + size > n) {
            entry.truncated = true;
            break;
        }
        entry.flags |= LogRecord::PresentBit(slot);
        if (slot == LogRecord::HC) {
            const quint16 word = WordAt(bytes, pos);
            const int value = word & 0x3FFF;
            const int range = ((high & 0x01) << 2) | (word >> 14);
            entry.unitBit = 1u << range;
            entry.values[slot] = value;
            if (value == LogRecord::HCOverRange)
                entry.flags |= LogRecord::OverRangeBit(slot);
        } else {
            const int raw = ByteAt(bytes, pos) | ((high & (1u << slot)) ? 0x100 : 0);
            if (raw == LogRecord::OverRange9Bit)
                entry.flags |= LogRecord::OverRangeBit(slot);
            if (slot == LogRecord::O2) {
                entry.values[slot] = raw * 0.1;
            } else {
                // Slots 2, 4, 6 belong to Toxic 1; 3, 5, 7 to Toxic 2.
                const int sensor = (slot % 2 == 0) ? 1 : 2;
                entry.values[slot] = raw / m_sensors.ToxicDivisor(sensor);
            }
        }
        pos += size;
    }

    if (!entry.truncated && pos + 2 <= n) {
        entry.flags |= LogRecord::BatteryPresent;
        entry.values[LogRecord::Battery] = WordAt(bytes, pos) * 10.0 / 65536.0;
    }
}

/*
 * Event parameters, from byte 4:
 *   0, 1, 2, 13         date field (sets the running date)
 *   4, 26, 29, 33       16-bit word
 *   7, 8, 9, 67         16 characters, NUL-terminated when shorter
 *   30, 31, 32          4 sensor mask and high bits (bit 4 HC range bit 2,
 *                       bits 5-7 bit 8 of O2, T1, T2); 5-6 HC word; 7 O2;
 *                       8 Toxic 1; 9 Toxic 2
 *   63, 79, 80          16-bit raw value, then a date field at 6
 *   101-112, 116,
 *   121-132, 136        gas name of up to 3 characters
 *   113, 133            NUL-terminated gas name of length L, 16-bit raw value
 *                       at 5 + L, date field at 7 + L
 */
void LogDecoder::DecodeEvent(QByteArrayView bytes, LogRecord &entry)
{
    const qsizetype n = bytes.size();
    if (n < 4) {
        entry.code = LogRecord::NoCode;
        entry.truncated = true;
        return;
    }
    const quint32 code = quint8(bytes[3]);
    entry.code = code;
    bool complete = true;

    switch (code) {
    case 0: case 1: case 2: case 13:
        if (!TakeDate(bytes, 4))
            entry.truncated = true;
        return;
    case 4: case 26: case 29: case 33:
        if (n < 6)
            entry.truncated = true;
        else
            entry.param = WordAt(bytes, 4);
        return;
    case 7: case 8: case 9: case 67:
        entry.text = TakeText(bytes, 4, 16, &complete);
        entry.truncated = !complete;
        return;
    case 30: case 31: case 32: {
        if (n < 5) {
            entry.truncated = true;
            return;
        }
        const quint8 maskByte = ByteAt(bytes, 4);
        entry.param = maskByte & 0x0F;
        if (n >= 7) {
            const quint16 word = WordAt(bytes, 5);
            entry.values[0] = word & 0x3FFF;
            entry.unitBit = 1u << ((((maskByte >> 4) & 1) << 2) | (word >> 14));
        } else if (entry.param & 0x01) {
            entry.truncated = true;
        }
        for (int s = 1; s < 4; ++s) {
            const qsizetype at = 6 + s;
            if (at < n)
                entry.values[s] = ByteAt(bytes, at) | ((maskByte & (0x10u << s)) ? 0x100 : 0);
            else if (entry.param & (1u << s))
                entry.truncated = true;
        }
        return;
    }
    case 63: case 79: case 80:
        if (n < 6) {
            entry.truncated = true;
            return;
        }
        entry.param = WordAt(bytes, 4);
        if (!TakeDate(bytes, 6))
            entry.truncated = true;
        return;
    case 113: case 133: {
        entry.text = TakeText(bytes, 4, n, &complete);
        const qsizetype length = entry.text.size();
        if (!complete || n < 7 + length) {
            entry.truncated = true;
            return;
        }
        entry.param = WordAt(bytes, 5 + length);
        if (!TakeDate(bytes, 7 + length))
            entry.truncated = true;
        return;
    }
    default:
        break;
    }
    if (IsToxicNameEvent(code)) {
        entry.text = TakeText(bytes, 4, 3, &complete);
        entry.truncated = !complete;
    }
}
