// The simulated instrument's flash cells.
#include "SimFlash.h"

#include "SimInstrument.h"

#include <algorithm>

namespace {
quint16 WordOf(const QByteArray &bytes, int i)
{
    return quint16(quint8(bytes[2 * i]) | (quint8(bytes[2 * i + 1]) << 8));
}
} // namespace

bool CSimFlash::CanProgram(const std::vector<quint16> &words, quint32 word, const QByteArray &bytes)
{
    if (bytes.isEmpty() || (bytes.size() & 1))
        return false;
    const quint64 count = quint64(bytes.size() / 2);
    if (quint64(word) + count > words.size())
        return false;
    for (int i = 0; i < int(count); ++i) {
        const quint16 want = WordOf(bytes, i);
        if ((words[word + quint32(i)] & want) != want)
            return false;
    }
    return true;
}

bool CSimFlash::Program(std::vector<quint16> &words, quint32 word, const QByteArray &bytes)
{
    if (!CanProgram(words, word, bytes))
        return false;
    for (int i = 0; i < int(bytes.size() / 2); ++i)
        words[word + quint32(i)] &= WordOf(bytes, i);
    return true;
}

void CSimFlash::EraseProgramArea(std::vector<quint16> &words)
{
    const auto end = std::min<size_t>(ProgramAreaEnd, words.size());
    if (ProgramAreaStart < end)
        std::fill(words.begin() + ProgramAreaStart, words.begin() + end, quint16(0xFFFF));
}

QByteArray CSimFlash::ProgramName(const CSimInstrument &instrument)
{
    const QByteArray name = instrument.WordBytes(ProgramNameWord, ProgramNameBytes);
    return name.count(char(0xFF)) == name.size() ? QByteArray() : name;
}
