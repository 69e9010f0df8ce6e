// The main window's layout in the preferences: the list of open views, the
// toolbar layout, the window's own placement, and the default set of views
// that Reset Views opens.
#pragma once

#include "MainFrame.h"

class CWindowLayout
{
public:
    explicit CWindowLayout(CMainFrame &frame) : m_frame(frame) {}

    void SaveWindowList();
    // False when no list was ever stored.
    bool RestoreWindowList();
    CMainFrame::BarRestore RestoreBarState();
    void SaveBarState();
    bool RestorePlacement();
    void SavePlacement();
    void ApplyDefaultPlacement();
    // The views a fresh layout starts with: Display Mode, Datalog Features
    // and Advanced Features, each in its default place.
    void OpenDefaultViews();

private:
    CMainFrame &m_frame;
};
