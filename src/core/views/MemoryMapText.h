// The "Memory" view's texts: flash sectors, their use markers and fill gauges.
#pragma once

#include <QString>
#include <QtGlobal>

/*
 * Each of the seven flash sectors carries a marker word saying what it
 * holds. The code sector's marker sits at 0x9000, in its middle; every
 * other marker is the sector's first word. The configuration sector also
 * keeps a fill pointer at 0xC002.
 */
class CMemoryMapText
{
public:
    enum Role { NoRole, StelRole, TwaRole, CurrentLogRole };

    static constexpr quint32 ConfigurationPointerWord = 0xC002;
    static constexpr int ConfigurationRow = 3;
    // The current log pointer is shown only for a log sector, never for the
    // code or configuration sectors.
    static constexpr int FirstLogRow = 4;

    // "0x%05X - 0x%05X": first and last word of sector `row`; empty outside.
    static QString SectorLabel(int row);
    // The first word of sector `row` (what an erase is given); 0 outside.
    static quint32 SectorStart(int row);
    // The word the marker of sector `row` is read from; 0 outside.
    static quint32 MarkerWord(int row);
    // Words read at the marker word of a row: three for the configuration
    // sector (its pointer at 0xC002 comes with it), else one.
    static int MarkerReadWords(int row) { return row == ConfigurationRow ? 3 : 1; }
    // The row whose marker sits at `word`; -1 for any other word.
    static int RowOfMarkerWord(qint64 word);

    // "CODE", "STEL", "TWA", "Current", "History", "Blank", "Invalid", or
    // empty for a word that is no marker.
    static QString UseText(quint16 marker);
    // Whether the sector's fill pointer means anything.
    static bool InUse(quint16 marker);
    static Role RoleOf(quint16 marker);

    static QString WordText(int word) { return QString::asprintf("%04X", unsigned(word) & 0xFFFFu); }
    // Percent of a STEL or TWA sector used: the pointer's low 12 bits of 4096 words.
    static double AverageSectorPercent(int pointer);
    // Percent of a 32768-word log sector used.
    static double LogSectorPercent(int pointer);
    // "%3.0lf%%"
    static QString GaugeText(double percent);

    // The question asked before sector `row` is erased, naming its words and its use.
    static QString EraseQuestion(int row, const QString &use);
};
