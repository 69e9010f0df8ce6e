// The "Memory" view's texts: flash sectors, their use markers and fill gauges.
#include "MemoryMapText.h"

#include "document/WordImage.h"

#include <array>

namespace {
constexpr std::array<quint32, CWordImage::SectorCount> MarkerWords{0x9000, 0xA000, 0xB000, 0xC000,
                                                                   0x10000, 0x18000, 0x20000};
namespace Text {
const char *const Code = "CODE";
const char *const Stel = "STEL";
const char *const Twa = "TWA";
const char *const Current = "Current";
const char *const History = "History";
const char *const Blank = "Blank";
const char *const Invalid = "Invalid";
const char *const UnknownUse = "unknown";
const char *const EraseQuestion =
    "Erase flash sector %1?\n\nIts use: %2.\nEverything stored in it will be lost. This cannot be undone.";
} // namespace Text

constexpr double AverageSectorWords = 4096.0;
constexpr double LogSectorWords = 32768.0;
} // namespace

QString CMemoryMapText::SectorLabel(int row)
{
    if (row < 0 || row >= CWordImage::SectorCount)
        return {};
    return QString::asprintf("0x%05X - 0x%05X", unsigned(CWordImage::SectorBounds[size_t(row)]),
                             unsigned(CWordImage::SectorBounds[size_t(row) + 1] - 1));
}

quint32 CMemoryMapText::SectorStart(int row)
{
    return row >= 0 && row < CWordImage::SectorCount ? quint32(CWordImage::SectorBounds[size_t(row)]) : 0;
}

quint32 CMemoryMapText::MarkerWord(int row)
{
    return row >= 0 && row < CWordImage::SectorCount ? MarkerWords[size_t(row)] : 0;
}

int CMemoryMapText::RowOfMarkerWord(qint64 word)
{
    for (int row = 0; row < CWordImage::SectorCount; ++row) {
        if (qint64(MarkerWords[size_t(row)]) == word)
            return row;
    }
    return -1;
}

QString CMemoryMapText::UseText(quint16 marker)
{
    switch (marker) {
    case 0xC0DE: return QString::fromLatin1(Text::Code);
    case 0xFFFA: return QString::fromLatin1(Text::Stel);
    case 0xFFF9: return QString::fromLatin1(Text::Twa);
    case 0xFFFE: return QString::fromLatin1(Text::Current);
    case 0xFFFC: return QString::fromLatin1(Text::History);
    case 0xFFFF: return QString::fromLatin1(Text::Blank);
    case 0x0000: return QString::fromLatin1(Text::Invalid);
    default: return {};
    }
}

bool CMemoryMapText::InUse(quint16 marker)
{
    return marker == 0xC0DE || RoleOf(marker) != NoRole;
}

CMemoryMapText::Role CMemoryMapText::RoleOf(quint16 marker)
{
    switch (marker) {
    case 0xFFFA: return StelRole;
    case 0xFFF9: return TwaRole;
    case 0xFFFE: return CurrentLogRole;
    default: return NoRole;
    }
}

double CMemoryMapText::AverageSectorPercent(int pointer)
{
    return (pointer & 0xFFF) * 100.0 / AverageSectorWords;
}

double CMemoryMapText::LogSectorPercent(int pointer)
{
    return (pointer & 0xFFFF) * 100.0 / LogSectorWords;
}

QString CMemoryMapText::GaugeText(double percent)
{
    return QString::asprintf("%3.0lf%%", percent);
}

QString CMemoryMapText::EraseQuestion(int row, const QString &use)
{
    return QString::fromLatin1(Text::EraseQuestion)
        .arg(SectorLabel(row), use.isEmpty() ? QString::fromLatin1(Text::UnknownUse) : use);
}
