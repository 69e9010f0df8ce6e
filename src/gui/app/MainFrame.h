// The main window: owns the instrument document, carries the menus, the three
// toolbars and the status bar, opens the views as child windows, switches
// ports and runs the one-second status poll.
#pragma once

#include "DownloadCheck.h"
#include "document/InstrumentDoc.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

class CCommandTable;
class CGuiPrompt;
class CInstrumentFrame;
class CMainMenus;
class COptionsFileCommands;
class CPortSwitcher;
class CSerialLogCommands;
class CSimulator;
class CStatusPanes;
class CWindowLayout;
class QMdiArea;
class QToolBar;

class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int StatusPeriodMs = 1000;

    struct Options
    {
        bool simulate = false;      // an in-process simulated instrument instead of the stored port
        int simulatedLogRecords = 0; // its generated log's size; 0 keeps the demonstration log
        bool newInstrument = false; // production mode: board test only, no menu
    };

    // The section of the toolbar layout restore outcome.
    enum class BarRestore { NothingStored, Restored, Failed };

    explicit CMainFrame(const Options &options, QWidget *parent = nullptr);
    ~CMainFrame() override;

    CInstrumentDoc &Document() { return m_doc; }
    CSimulator *Simulator() const { return m_sim.get(); }
    bool IsSimulated() const { return m_simulated; }
    bool IsNewInstrumentMode() const { return m_options.newInstrument; }
    QMdiArea *MdiArea() const { return m_mdi; }
    CStatusPanes &StatusPanes() const { return *m_panes; }
    QToolBar *StandardBar() const { return m_standard; }
    QToolBar *TransferBar() const { return m_transfer; }
    QToolBar *EngineeringBar() const { return m_engineering; }
    QAction *Action(int commandId) const;

    // Carries out a menu, toolbar or view command (CommandIds.h).
    void OnCommand(int commandId);

    // Opens the view with that title, or brings it to the top when it is
    // open. nullptr when no view of that title is known.
    CInstrumentFrame *OpenView(const QString &title);
    // Open child windows, the active one first, then in stacking order.
    QList<CInstrumentFrame *> ChildFrames() const;
    CInstrumentFrame *FindChild(const QString &caption) const;
    void CloseAllChildren();
    void ResetViews();
    // 1..4 for COMn, -1 for the network gateway; offers another port when a
    // COM port cannot be opened.
    void SwitchPort(int port);

    // The window list and the toolbar layout in the preferences.
    void SaveWindowList();
    bool RestoreWindowList();
    BarRestore RestoreBarState();
    void SaveBarState();
    // The main window's own placement under "Main Window".
    bool RestorePlacement();
    void SavePlacement();
    // Size and position when nothing valid is stored.
    void ApplyDefaultPlacement();

    // After the window first shows: restores layout, starts the poll.
    void PostShowInitialise();
    void StartStatusTimer();
    // What the application runs whenever the event loop falls idle.
    void OnIdle();
    // Menu check marks and enabled states, and the status panes.
    void UpdateCommandStates();

    // Options files. Kept as their own entry points so that other callers
    // (tests, a future command line) reach the same code.
    bool LoadOptionsFile(const QString &path);
    bool SaveOptionsFile(const QString &path);

    // The check that follows every download: the instrument's settings are
    // read back once the download is through, and differences are shown.
    using DownloadCheck = CDownloadCheck::State;
    DownloadCheck DownloadCheckState() const { return m_downloadCheck->CurrentState(); }

    void OpenHelp();
    static QString HelpFilePath();
    void ShowAbout();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void UpdateMenuState();
    void OpenViewCommand(int commandId);
    void SetMultiWindow();
    void SetSingleWindow();
    void CloseAllExcept(CInstrumentFrame *keep);
    void RestartBoardTest();
    void OpenWebPage();
    void PrintActive(bool preview);
    void UpdateCursor();
    void UpdateCaption();
    bool SingleWindowMode() const;

    Options m_options;
    std::unique_ptr<CSimulator> m_sim;
    CInstrumentDoc m_doc;
    std::unique_ptr<CGuiPrompt> m_prompt;
    bool m_simulated = false;
    bool m_uploadStarted = false;

    QMdiArea *m_mdi = nullptr;
    CCommandTable *m_commands = nullptr;
    CMainMenus *m_menus = nullptr;
    QToolBar *m_standard = nullptr;
    QToolBar *m_transfer = nullptr;
    QToolBar *m_engineering = nullptr;
    CStatusPanes *m_panes = nullptr;
    QTimer m_statusTimer;

    std::unique_ptr<CWindowLayout> m_layout;
    std::unique_ptr<CPortSwitcher> m_ports;
    std::unique_ptr<COptionsFileCommands> m_optionsFiles;

    std::unique_ptr<CDownloadCheck> m_downloadCheck;
    CSerialLogCommands *m_serialLog = nullptr;
};
