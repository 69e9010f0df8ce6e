// The program's own toolbar and window icons, drawn at start so they stay
// sharp on any screen scale.
#pragma once

#include <QIcon>

class CToolbarIcons
{
public:
    // The icon of a command (CommandIds.h); an empty icon for commands without one.
    static QIcon Icon(int commandId);
    // The program's window icon: a small detector.
    static QIcon AppIcon();
};
