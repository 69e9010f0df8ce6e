// One toxic gas record of the instrument's toxic table.
#include "ToxicRecord.h"

#include <algorithm>
#include <cstring>

CToxicRecord::CToxicRecord()
{
    m_bytes.fill(0);
}

CToxicRecord::CToxicRecord(const QByteArray &bytes)
    : CToxicRecord()
{
    Store(0, bytes);
}

QByteArray CToxicRecord::Bytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_bytes.data()), Size);
}

int CToxicRecord::Store(int offset, const QByteArray &bytes)
{
    if (offset < 0 || offset >= Size)
        return 0;
    const int count = std::min<int>(int(bytes.size()), Size - offset);
    if (count > 0)
        std::memcpy(m_bytes.data() + offset, bytes.constData(), size_t(count));
    return std::max(count, 0);
}

quint16 CToxicRecord::Word(int w) const
{
    if (w < 0 || w >= WordCount)
        return 0;
    return quint16(m_bytes[size_t(2 * w)] | (m_bytes[size_t(2 * w + 1)] << 8));
}

void CToxicRecord::SetWord(int w, quint16 value)
{
    if (w < 0 || w >= WordCount)
        return;
    m_bytes[size_t(2 * w)] = quint8(value & 0xFF);
    m_bytes[size_t(2 * w + 1)] = quint8(value >> 8);
}

QString CToxicRecord::GasName() const
{
    QString name;
    for (int i : {1, 0, 3}) // each word of the name is stored byte-swapped
        name += m_bytes[size_t(i)] ? QChar(char16_t(m_bytes[size_t(i)])) : QChar(' ');
    return name;
}

void CToxicRecord::SetGasName(const QString &name)
{
    const QByteArray text = name.leftJustified(3, ' ', true).toLatin1();
    m_bytes[1] = quint8(text[0]);
    m_bytes[0] = quint8(text[1]);
    m_bytes[3] = quint8(text[2]);
}

double CToxicRecord::Divisor() const
{
    return Fraction() == 0 ? 0.1 : double(Fraction());
}

double CToxicRecord::Shown(int raw) const
{
    return Fraction() == 0 ? raw * 10.0 : double(raw) / Fraction();
}
