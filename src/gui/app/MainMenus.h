// The main window's menu bar and its three toolbars over the command table,
// with the Window menu's list of open windows.
#pragma once

#include <QList>
#include <QObject>

class CCommandTable;
class CMainFrame;
class QAction;
class QMenu;
class QToolBar;

class CMainMenus : public QObject
{
    Q_OBJECT
public:
    // Builds the toolbars, docked as by default, and the menus.
    CMainMenus(CMainFrame &frame, CCommandTable &commands);

    QToolBar *StandardBar() const { return m_standard; }
    QToolBar *TransferBar() const { return m_transfer; }
    QToolBar *EngineeringBar() const { return m_engineering; }
    QAction *PrintAction() const { return m_printAction; }
    QAction *PreviewAction() const { return m_previewAction; }
    QAction *StatusBarAction() const { return m_statusBarAction; }

    void DockToolbarsDefault();
    // The entries offered only while a child window is open.
    void ShowDocumentEntries(bool child);
    void PruneLoadViews();

signals:
    void PrintRequested(bool preview);

private:
    void CreateMenus();
    void CreateToolbars();
    void RebuildWindowMenu();

    CMainFrame &m_frame;
    CCommandTable &m_commands;
    QToolBar *m_standard = nullptr;
    QToolBar *m_transfer = nullptr;
    QToolBar *m_engineering = nullptr;

    QMenu *m_fileMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QAction *m_editMenuAction = nullptr;
    QAction *m_windowMenuAction = nullptr;
    QList<QAction *> m_documentEntries; // File entries shown while a child window is open
    QList<QAction *> m_windowListEntries;
    QAction *m_printAction = nullptr;
    QAction *m_previewAction = nullptr;
    QAction *m_statusBarAction = nullptr;
    bool m_loadViewsPruned = false;
};
