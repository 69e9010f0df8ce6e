// Keys and stored bytes of log entries.
#include "history/HistoryLogCodec.h"

#include "datalog/LogList.h"
#include "datalog/LogSensors.h"
#include "datalog/LogText.h"

#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace {
quint64 Fnv1a(QByteArrayView bytes, quint64 h = 14695981039346656037ull)
{
    for (char c : bytes) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return h;
}

template <typename T>
void Put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

template <typename T>
bool Take(const char *&p, const char *end, T *value)
{
    if (end - p < qsizetype(sizeof(T)))
        return false;
    std::memcpy(value, p, sizeof(T));
    p += sizeof(T);
    return true;
}

constexpr quint8 FormatVersion = 1;
} // namespace

QList<CHistoryLogCodec::Keyed> CHistoryLogCodec::Keys(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    QList<Keyed> keys;
    keys.reserve(entries.size());
    qint64 lastTime = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const LogRecord &e = entries.at(i);
        if (!IsStored(e))
            continue;
        Keyed k;
        k.index = i;
        k.timeless = !e.time.isValid();
        k.timeMs = k.timeless ? lastTime : e.time.toMSecsSinceEpoch();
        lastTime = k.timeMs;
        keys.append(k);
    }
    // A long log is hashed on two threads.
    Keyed *const data = keys.data();
    const auto hash = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            data[i].hash = Hash(entries.at(data[i].index), sensors);
    };
    const qsizetype half = keys.size() / 2;
    if (keys.size() >= 100000 && std::thread::hardware_concurrency() > 1) {
        std::thread other([&] { hash(half, keys.size()); });
        hash(0, half);
        other.join();
    } else {
        hash(0, keys.size());
    }
    TellApart(keys);
    return keys;
}

namespace {
// A shown value as whole counts of the unit the instrument logs it in: the
// value printed as the list prints it, read back and multiplied out. The
// same reading gives the same count whatever divisor it was shown with (25
// raw counts of CO are "25" with a divisor of 1 and "2.5" with 10), and a
// saved file, which holds only the printed text, gives the count its
// retrieval gave.
qint64 Count(double shown, int decimals, double unitsPerShown)
{
    char text[400];
    const auto printed = std::to_chars(text, text + sizeof text, shown, std::chars_format::fixed, qBound(0, decimals, 20));
    double back = 0;
    if (printed.ec != std::errc() || std::from_chars(text, printed.ptr, back).ec != std::errc())
        return std::numeric_limits<qint64>::min();
    return qint64(std::llround(back * unitsPerShown));
}

// What identifies a reading: its type text and, per value column, whether
// the list shows nothing, "XXX" or a number, and that number in raw counts.
QByteArray ReadingKey(const LogRecord &e, const LogSensors &sensors)
{
    QByteArray key = LogText::TypeText(e).toUtf8();
    key.reserve(key.size() + 8 * 9 + 16);
    for (int slot = LogRecord::HC; slot <= LogRecord::Toxic2Twa; ++slot) {
        if (!e.Present(slot)) {
            key += '-';
            continue;
        }
        if (e.IsOverRange(slot)) {
            key += 'X';
            continue;
        }
        const double value = e.values[size_t(slot)];
        qint64 count = 0;
        if (slot == LogRecord::HC) {
            const int decimals = LogText::HCDecimals(e.unitBit);
            if (decimals < 0) {
                key += '-'; // an unnamed range shows no value
                continue;
            }
            const double scale = LogText::HCUnitScale(e.unitBit);
            count = Count(value / scale, decimals, scale);
        } else if (slot == LogRecord::O2) {
            count = Count(value, 1, 10.0);
        } else {
            // A Fraction of 0 is what a gas the table does not know reads
            // with (a file of another instrument's gas): its shown number is
            // all there is to go by.
            const int sensor = LogList::ToxicSensorOf(LogList::HC + slot);
            count = Count(value, sensors.ToxicDecimals(sensor), sensors.Fraction(sensor) == 0 ? 1.0 : sensors.ToxicDivisor(sensor));
        }
        key += '#';
        Put(key, count);
    }
    if (e.HasBattery()) {
        key += 'B';
        Put(key, Count(e.values[LogRecord::Battery], 3, 1000.0));
    }
    return key;
}
} // namespace

qint64 CHistoryLogCodec::Hash(const LogRecord &e, const LogSensors &sensors)
{
    // Readings by their raw counts; other entries by their type text: the
    // values of an event (a maximum, calibration counts) are read back from
    // a file only as finely as its gas table allows.
    const QByteArray key = e.kind == LogRecord::Data ? ReadingKey(e, sensors) : LogText::TypeText(e).toUtf8();
    return qint64(Fnv1a(key) & 0x7FFFFFFFFFFFFFFFull);
}

void CHistoryLogCodec::TellApart(QList<Keyed> &keys)
{
    // Equal rows at the same time are told apart by their order: the second
    // one's hash is taken again with its occurrence number.
    QList<qsizetype> order(keys.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        const Keyed &x = keys.at(a), &y = keys.at(b);
        return x.timeMs != y.timeMs ? x.timeMs < y.timeMs : x.hash != y.hash ? x.hash < y.hash : a < b;
    });
    for (qsizetype start = 0; start < order.size();) {
        const Keyed &head = keys.at(order[start]);
        qsizetype end = start + 1;
        while (end < order.size() && keys.at(order[end]).timeMs == head.timeMs && keys.at(order[end]).hash == head.hash)
            ++end;
        for (qsizetype j = start + 1; j < end; ++j) {
            Keyed &k = keys[order[j]];
            const quint64 h = Fnv1a(QByteArray::number(j - start), quint64(k.hash) ^ 0xA5);
            k.hash = qint64(h & 0x7FFFFFFFFFFFFFFFull);
        }
        start = end;
    }
}

QByteArray CHistoryLogCodec::Encode(const LogRecord &e)
{
    QByteArray out;
    out.reserve(48 + e.raw.size() + e.text.size());
    Put(out, FormatVersion);
    Put(out, quint8(e.kind));
    Put(out, quint8(e.truncated ? 1 : 0));
    Put(out, quint32(e.flags));
    Put(out, quint32(e.code));
    Put(out, quint32(e.param));
    Put(out, quint32(e.unitBit));
    quint16 present = 0;
    for (int s = 0; s < LogRecord::SlotCount; ++s) {
        if (e.values[size_t(s)] != 0.0)
            present |= quint16(1u << s);
    }
    Put(out, present);
    for (int s = 0; s < LogRecord::SlotCount; ++s) {
        if (present & (1u << s))
            Put(out, e.values[size_t(s)]);
    }
    const QByteArray text = e.text.toUtf8();
    Put(out, quint16(text.size()));
    out += text;
    Put(out, quint16(e.raw.size()));
    out += e.raw;
    return out;
}

bool CHistoryLogCodec::Decode(const QByteArray &bytes, LogRecord *e)
{
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    quint8 version = 0, kind = 0, truncated = 0;
    quint32 flags = 0, code = 0, param = 0, unitBit = 0;
    quint16 present = 0;
    if (!Take(p, end, &version) || version != FormatVersion || !Take(p, end, &kind) || kind > LogRecord::Illegal
        || !Take(p, end, &truncated) || !Take(p, end, &flags) || !Take(p, end, &code) || !Take(p, end, &param)
        || !Take(p, end, &unitBit) || !Take(p, end, &present))
        return false;
    e->kind = LogRecord::Kind(kind);
    e->truncated = truncated != 0;
    e->flags = flags;
    e->code = code;
    e->param = param;
    e->unitBit = unitBit;
    for (int s = 0; s < LogRecord::SlotCount; ++s) {
        double v = 0.0;
        if ((present & (1u << s)) && !Take(p, end, &v))
            return false;
        e->values[size_t(s)] = v;
    }
    quint16 n = 0;
    if (!Take(p, end, &n) || end - p < n)
        return false;
    e->text = QString::fromUtf8(p, n);
    p += n;
    if (!Take(p, end, &n) || end - p < n)
        return false;
    e->raw = QByteArray(p, n);
    p += n;
    return p == end;
}
