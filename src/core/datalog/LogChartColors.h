// The log chart's colours as kept in the preferences: section "Chart Colors", one colour reference per value.
#pragma once

#include <QString>

/*
 * Values hold a colour reference 0x00BBGGRR (red in the low byte), as the
 * profile has always stored them. Background -1 means the system's window
 * colour, followed whenever that changes.
 */
struct LogChartColors
{
    static constexpr char Section[] = "Chart Colors";
    static constexpr char NormKey[] = "Norm";
    static constexpr char StelKey[] = "Stel";
    static constexpr char TwaKey[] = "Twa";
    static constexpr char CalculatedKey[] = "Calculated";
    static constexpr char MarkerKey[] = "Marker";
    static constexpr char BackgroundKey[] = "Background";

    static constexpr int DefaultNorm = 0x0000FF;       // red
    static constexpr int DefaultStel = 0x00C000;       // green
    static constexpr int DefaultTwa = 0xC0C000;        // blue-green
    static constexpr int DefaultCalculated = 0xC000C0; // purple
    static constexpr int DefaultMarker = 0xFF0000;     // blue
    static constexpr int SystemBackground = -1;

    int norm = DefaultNorm;
    int stel = DefaultStel;
    int twa = DefaultTwa;
    int calculated = DefaultCalculated;
    int marker = DefaultMarker;
    int background = SystemBackground;

    static LogChartColors Load();
    // Writes one value at once (the colour dialog stores each choice as it is made).
    static void Store(const QString &key, int value);
    // Back to the defaults of Norm, Stel, Twa and Marker and the system
    // background, written to the profile; Calculated keeps its colour.
    void Reset();

    // The colour of one of LogChartSeries' colour roles (Norm, Stel, Twa, Calculated).
    int Role(int colour) const;

    static int Red(int ref) { return ref & 0xFF; }
    static int Green(int ref) { return (ref >> 8) & 0xFF; }
    static int Blue(int ref) { return (ref >> 16) & 0xFF; }
    static int FromRgb(int red, int green, int blue) { return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16; }

    bool operator==(const LogChartColors &) const = default;
};
