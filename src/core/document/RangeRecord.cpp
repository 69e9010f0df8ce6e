// One record of the instrument's combustible (HC) range table.
#include "RangeRecord.h"
#include "WordImage.h"

#include <algorithm>

CRangeRecord::CRangeRecord()
{
    m_bytes.fill(0xFF);
}

CRangeRecord::CRangeRecord(const QByteArray &bytes)
    : CRangeRecord()
{
    const int n = std::min<int>(Size, int(bytes.size()));
    for (int i = 0; i < n; ++i)
        m_bytes[size_t(i)] = quint8(bytes[i]);
}

CRangeRecord CRangeRecord::FromImage(const CWordImage &image, int r)
{
    if (r < 0 || r >= Count)
        r = 0;
    return CRangeRecord(image.Bytes(TableWord + qint64(r) * WordsPerRecord, Size));
}

QByteArray CRangeRecord::Bytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_bytes.data()), Size);
}

QString CRangeRecord::Label() const
{
    QString label;
    for (int i = 2; i < 6; ++i)
        label += m_bytes[size_t(i)] ? QChar(char16_t(m_bytes[size_t(i)])) : QChar(' '); // a NUL would end the text in a list control
    return label;
}

int CRangeRecord::Pot(int n) const
{
    return (n >= 1 && n <= 6) ? m_bytes[size_t(7 + n)] : 0;
}

void CRangeRecord::SetLabel(const QString &label)
{
    const QByteArray text = label.leftJustified(4, ' ', true).toLatin1();
    for (int i = 0; i < 4; ++i)
        m_bytes[size_t(2 + i)] = quint8(text[i]);
}

void CRangeRecord::SetPot(int n, int value)
{
    if (n >= 1 && n <= 6)
        m_bytes[size_t(7 + n)] = quint8(value);
}

double CRangeRecord::ShownLevel(int raw) const
{
    const double shown = raw / Scale();
    return IsPpm() ? shown * 10.0 : shown;
}

QString CRangeRecord::UnitLabel(int units)
{
    switch (units) {
    case UnitLel: return QStringLiteral("%LEL");
    case UnitVol: return QStringLiteral("%VOL");
    case UnitPpm: return QStringLiteral("PPM");
    case UnitGas: return QStringLiteral("%GAS");
    case UnitLow: return QStringLiteral("%LOW");
    case UnitHi: return QStringLiteral("%HI");
    default: return {};
    }
}

void CRangeRecord::SetWord(int offset, quint16 value)
{
    m_bytes[size_t(offset)] = quint8(value & 0xFF);
    m_bytes[size_t(offset) + 1] = quint8(value >> 8);
}
