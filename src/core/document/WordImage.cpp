// The document's copy of the instrument's word-addressed flash memory.
#include "WordImage.h"

#include <algorithm>
#include <cstring>

CWordImage::CWordImage()
    : m_bytes(int(ByteCount), char(0xFF))
{
}

quint16 CWordImage::Word(qint64 word) const
{
    if (word < 0 || word >= WordCount)
        return 0xFFFF;
    const auto *p = reinterpret_cast<const quint8 *>(m_bytes.constData()) + 2 * word;
    return quint16(p[0] | (p[1] << 8));
}

void CWordImage::SetWord(qint64 word, quint16 value)
{
    if (word < 0 || word >= WordCount)
        return;
    char *p = m_bytes.data() + 2 * word;
    p[0] = char(value & 0xFF);
    p[1] = char(value >> 8);
}

int CWordImage::Store(qint64 word, const QByteArray &bytes)
{
    if (word < 0 || word >= WordCount || bytes.isEmpty())
        return 0;
    const qint64 start = 2 * word;
    const qint64 count = std::min<qint64>(bytes.size(), ByteCount - start);
    std::memcpy(m_bytes.data() + start, bytes.constData(), size_t(count));
    return int(count);
}

QByteArray CWordImage::Bytes(qint64 word, int byteCount) const
{
    if (word < 0 || word >= WordCount || byteCount <= 0)
        return {};
    const qint64 start = 2 * word;
    const qint64 count = std::min<qint64>(byteCount, ByteCount - start);
    return m_bytes.mid(int(start), int(count));
}

int CWordImage::SectorOf(qint64 word)
{
    for (int i = 0; i < SectorCount; ++i) {
        if (word >= SectorBounds[size_t(i)] && word < SectorBounds[size_t(i) + 1])
            return i;
    }
    return -1;
}

bool CWordImage::BlankSector(qint64 word)
{
    const int sector = SectorOf(word);
    if (sector < 0)
        return false;
    const qint64 first = SectorBounds[size_t(sector)];
    const qint64 end = SectorBounds[size_t(sector) + 1];
    std::memset(m_bytes.data() + 2 * first, 0xFF, size_t(2 * (end - first)));
    return true;
}
