// The program's 600 by 450 picture, shown by the splash and the About window.
#pragma once

#include <QPixmap>
#include <QString>

class CBrandPicture
{
public:
    static constexpr int Width = 600;
    static constexpr int Height = 450;

    // footer: a line at the bottom ("Starting..." for the splash, the
    // copyright and a closing hint for the About window).
    static QPixmap Draw(const QString &footer);
};
