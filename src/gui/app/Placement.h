// Window placements kept in the preferences: a section named after the window
// ("Main Window", or a view title) with its show state and the rectangle it has
// when neither minimised nor maximised.
#pragma once

#include <QRect>
#include <QString>

class CPlacement
{
public:
    // Show states as the placement values store them.
    enum ShowCmd { None = -1, Normal = 1, Minimised = 2, Maximised = 3 };

    int showCmd = None;
    QRect normal; // left, top, right, bottom stored; right and bottom exclusive

    // A placement is usable only when a show state is stored and the rectangle
    // is exactly four integers giving a non-empty rectangle.
    static bool Read(const QString &section, CPlacement *placement);
    static void Write(const QString &section, const CPlacement &placement);
    // What a window without a placement leaves: "ShowCmd" -1.
    static void WriteNone(const QString &section);

    // "%d,%d,%d,%d" of left, top, right, bottom.
    static bool ParseNormalPosition(const QString &text, QRect *rect);
    static QString FormatNormalPosition(const QRect &rect);
};
