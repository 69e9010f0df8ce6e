// The main window.
#include "MainFrame.h"

#include "AboutWindow.h"
#include "ComErrorDialog.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "DownloadReport.h"
#include "FileViewerDoc.h"
#include "GuiPrompt.h"
#include "HelpFileViewer.h"
#include "InstrumentFrame.h"
#include "NoticeDialog.h"
#include "Placement.h"
#include "ProgressDialog.h"
#include "Simulator.h"
#include "StatusPanes.h"
#include "ToolbarIcons.h"
#include "ViewRegistry.h"
#include "document/DownloadVerifier.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "views/InstrumentView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QString MainSection = QString::fromLatin1(Pref::MainWindow);
const QString PrefSection = QString::fromLatin1(Pref::Preferences);
const QString DefaultWebPage = QStringLiteral("https://www.veltrion-norvane.example/altavo-view");

const char *const StandardButtons = "Standard Buttons";
const char *const TransferButtons = "Transfer";
const char *const EngineeringButtons = "Engineering";

const QString DisplayModeTitle = QStringLiteral("Display Mode");
const QString DatalogFeaturesTitle = QStringLiteral("Datalog Features");
const QString AdvancedFeaturesTitle = QStringLiteral("Advanced Features");
const QString ConfigurationWizardTitle = QStringLiteral("Configuration Wizard");
const QString InteractiveTestTitle = QStringLiteral("Interactive Test");
const QString ProgrammingTitle = QStringLiteral("Programming");

// View commands and the titles of the views they open.
struct ViewCommand
{
    int id;
    const char *title;
};
const ViewCommand ViewCommands[] = {
    {CommandId::AdvancedFeatures, "Advanced Features"}, {CommandId::DatalogFeatures, "Datalog Features"},
    {CommandId::ViewLog, "Log View"},                   {CommandId::DisplayMode, "Display Mode"},
    {CommandId::ConfigurationWizard, "Configuration Wizard"},
    {CommandId::InstrumentView, "Instrument View"},     {CommandId::Sensors, "Sensors"},
    {CommandId::Analog, "Analog"},                      {CommandId::Digital, "Digital"},
    {CommandId::Memory, "Memory"},                      {CommandId::Flash, "Flash"},
    {CommandId::Ram, "RAM"},                            {CommandId::ToxicTable, "Toxic Table"},
    {CommandId::RangeTable, "Range Table"},             {CommandId::Programming, "Programming"},
};

QString ViewTitle(int commandId)
{
    for (const ViewCommand &v : ViewCommands) {
        if (v.id == commandId)
            return QString::fromLatin1(v.title);
    }
    if (const CViewInfo *info = CViewRegistry::FindCommand(commandId))
        return info->title;
    return {};
}

// Titles the saved window list may bring back; the programming view, the
// board test and the help text always start from their own commands.
bool Reopenable(const QString &title)
{
    if (title == ProgrammingTitle || title == InteractiveTestTitle || title == QLatin1String(CHelpFileViewer::Caption))
        return false;
    const CViewInfo *info = CViewRegistry::FindTitle(title);
    return info && info->reopenable;
}
} // namespace

CMainFrame::CMainFrame(const Options &options, QWidget *parent)
    : QMainWindow(parent), m_options(options), m_doc(CClock::System())
{
    setWindowIcon(CToolbarIcons::AppIcon());
    setObjectName(QStringLiteral("MainFrame"));
    m_prompt = std::make_unique<CGuiPrompt>(this);
    m_doc.SetPrompt(m_prompt.get());

    m_mdi = new QMdiArea;
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setBackground(QColor(0x7d, 0x8a, 0x96));
    setCentralWidget(m_mdi);

    m_commands = new CCommandTable(this);
    connect(m_commands, &CCommandTable::Triggered, this, &CMainFrame::OnCommand);
    CreateToolbars();
    CreateMenus();
    statusBar()->showMessage(QStringLiteral("Ready"));
    m_panes = new CStatusPanes(statusBar());

    // The document's windows: progress, notice, status line, caption.
    new CProgressDialog(m_doc.TransferProgress(), this);
    new CProgressDialog(m_doc.ClearProgress(), this);
    new CProgressDialog(m_doc.LogProgress(), this);
    new CNoticeDialog(m_doc.Notice(), this);
    for (CTransferProgress *p : {&m_doc.TransferProgress(), &m_doc.ClearProgress(), &m_doc.LogProgress()}) {
        connect(p, &CTransferProgress::Opened, this, &CMainFrame::UpdateCursor);
        connect(p, &CTransferProgress::Closed, this, &CMainFrame::UpdateCursor);
    }
    connect(&m_doc, &CInstrumentDoc::StatusLine, this, [this](const QString &text) { statusBar()->showMessage(text); });
    connect(&m_doc, &CInstrumentDoc::TitleChanged, this, &CMainFrame::UpdateCaption);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateMenuState);
    UpdateCaption();

    m_statusTimer.setInterval(StatusPeriodMs);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] {
        m_doc.PollInstrument();
        UpdateCommandStates();
    });

    m_checkTimer.setInterval(100);
    connect(&m_checkTimer, &QTimer::timeout, this, &CMainFrame::FollowDownloadCheck);

    // The ID entries are read only once the windows are set up.
    m_doc.SetIdEntriesWanted(false);
    if (m_options.simulate) {
        m_sim = std::make_unique<CSimulator>();
        m_doc.Link().OpenChannel(m_sim->ConnectInProcess());
        m_simulated = true;
    } else {
        SwitchPort(CPreferences::GetInt(PrefSection, QString::fromLatin1(Pref::CommPort), 1));
    }
    UpdateMenuState();
    UpdateCommandStates();
}

CMainFrame::~CMainFrame()
{
    m_statusTimer.stop();
    // Views hold the document by reference: they go before it does,
    // including windows closed but not yet deleted.
    for (CInstrumentFrame *frame : m_mdi->findChildren<CInstrumentFrame *>()) {
        disconnect(frame, nullptr, this, nullptr);
        delete frame;
    }
    m_doc.SetPrompt(nullptr);
}

QAction *CMainFrame::Action(int commandId) const
{
    return m_commands->Action(commandId);
}

// ---------------------------------------------------------------- menus, bars

void CMainFrame::CreateMenus()
{
    QMenuBar *bar = menuBar();
    auto disabled = [this](const QString &text) {
        auto *a = new QAction(text, this);
        a->setEnabled(false);
        return a;
    };
    auto act = [this](int id) { return m_commands->Action(id); };

    m_fileMenu = bar->addMenu(QStringLiteral("&File"));
    m_fileMenu->addAction(disabled(QStringLiteral("&New\tCtrl+N")));
    m_fileMenu->addAction(disabled(QStringLiteral("&Open...\tCtrl+O")));
    QAction *close = disabled(QStringLiteral("&Close"));
    QAction *save = disabled(QStringLiteral("&Save\tCtrl+S"));
    QAction *saveAs = disabled(QStringLiteral("Save &As..."));
    m_fileMenu->addAction(close);
    m_fileMenu->addAction(save);
    m_fileMenu->addAction(saveAs);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(act(CommandId::LoadOptions));
    m_fileMenu->addAction(act(CommandId::SaveOptions));
    QAction *printSeparator = m_fileMenu->addSeparator();
    m_printAction = new QAction(QStringLiteral("&Print..."), this);
    m_printAction->setShortcut(QKeySequence::Print);
    m_printAction->setStatusTip(QStringLiteral("Print the active window"));
    connect(m_printAction, &QAction::triggered, this, [this] { PrintActive(false); });
    m_previewAction = new QAction(QStringLiteral("Print Pre&view"), this);
    m_previewAction->setStatusTip(QStringLiteral("Display full pages"));
    connect(m_previewAction, &QAction::triggered, this, [this] { PrintActive(true); });
    m_fileMenu->addAction(m_printAction);
    m_fileMenu->addAction(m_previewAction);
    m_fileMenu->addAction(disabled(QStringLiteral("P&rint Setup...")));
    m_fileMenu->addSeparator();
    QAction *exit = m_fileMenu->addAction(QStringLiteral("E&xit"));
    exit->setStatusTip(QStringLiteral("Quit the application"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    m_documentEntries = {close, save, saveAs, printSeparator, m_printAction, m_previewAction};

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    for (const char *text : {"&Undo\tCtrl+Z", "Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V"})
        edit->addAction(disabled(QString::fromLatin1(text)));
    m_editMenuAction = edit->menuAction();

    m_viewMenu = bar->addMenu(QStringLiteral("&View"));
    QMenu *toolbars = m_viewMenu->addMenu(QStringLiteral("&Toolbars"));
    toolbars->addAction(act(CommandId::ToolbarStandard));
    toolbars->addAction(act(CommandId::ToolbarTransfer));
    toolbars->addAction(act(CommandId::ToolbarEngineering));
    m_statusBarAction = m_viewMenu->addAction(QStringLiteral("&Status Bar"));
    m_statusBarAction->setCheckable(true);
    m_statusBarAction->setChecked(true);
    m_statusBarAction->setStatusTip(QStringLiteral("Show or hide the status bar"));
    connect(m_statusBarAction, &QAction::toggled, statusBar(), &QWidget::setVisible);
    m_viewMenu->addSeparator();
    for (int id : {CommandId::AdvancedFeatures, CommandId::DatalogFeatures, CommandId::ViewLog, CommandId::DisplayMode})
        m_viewMenu->addAction(act(id));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(act(CommandId::ConfigurationWizard));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(act(CommandId::ResetViews));
    m_viewMenu->addAction(act(CommandId::LoadViews));

    QMenu *transfer = bar->addMenu(QStringLiteral("&Transfer"));
    transfer->addAction(act(CommandId::Upload));
    transfer->addAction(act(CommandId::Download));

    QMenu *options = bar->addMenu(QStringLiteral("&Options"));
    QMenu *ports = options->addMenu(QStringLiteral("&CommPort"));
    for (int i = 0; i < 4; ++i)
        ports->addAction(act(CommandId::Com1 + i));
    ports->addAction(act(CommandId::Network));
    options->addAction(act(CommandId::MultiWindow));
    options->addAction(act(CommandId::SingleWindow));
    options->addSeparator();
    options->addAction(act(CommandId::OptionsResetViews));

    m_windowMenu = bar->addMenu(QStringLiteral("&Window"));
    QAction *cascade = m_windowMenu->addAction(QStringLiteral("&Cascade"));
    cascade->setStatusTip(QStringLiteral("Arrange windows so they overlap"));
    connect(cascade, &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
    QAction *tile = m_windowMenu->addAction(QStringLiteral("&Tile"));
    tile->setStatusTip(QStringLiteral("Arrange windows as non-overlapping tiles"));
    connect(tile, &QAction::triggered, m_mdi, &QMdiArea::tileSubWindows);
    QAction *arrange = m_windowMenu->addAction(QStringLiteral("&Arrange Icons"));
    arrange->setStatusTip(QStringLiteral("Arrange icons at the bottom of the window"));
    connect(arrange, &QAction::triggered, this, [this] {
        int x = 0;
        for (QMdiSubWindow *w : m_mdi->subWindowList()) {
            if (!w->isMinimized())
                continue;
            w->move(x, m_mdi->viewport()->height() - w->height());
            x += w->width();
        }
    });
    m_windowMenu->addSeparator();
    m_windowMenu->addAction(act(CommandId::WindowClose));
    m_windowMenu->addAction(act(CommandId::WindowCloseAll));
    m_windowMenuAction = m_windowMenu->menuAction();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::RebuildWindowMenu);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(act(CommandId::ViewHelp));
    help->addAction(act(CommandId::WebPage));
    help->addSeparator();
    help->addAction(act(CommandId::About));

    for (QMenu *menu : bar->findChildren<QMenu *>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::CreateToolbars()
{
    auto make = [this](const char *caption, const QList<int> &ids, QSize button, Qt::ToolButtonStyle style, int iconSize) {
        auto *bar = new QToolBar(QString::fromLatin1(caption), this);
        bar->setObjectName(QString::fromLatin1(caption));
        bar->setToolButtonStyle(style);
        bar->setIconSize(QSize(iconSize, iconSize));
        bar->setMovable(true);
        bar->setFloatable(true);
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        for (int id : ids) {
            if (id == 0) {
                bar->addSeparator();
                continue;
            }
            QAction *action = m_commands->Action(id);
            bar->addAction(action);
            if (QWidget *w = bar->widgetForAction(action))
                w->setMinimumSize(button);
        }
        return bar;
    };
    m_standard = make(StandardButtons,
                      {CommandId::AdvancedFeatures, 0, CommandId::DatalogFeatures, 0, CommandId::ViewLog, 0,
                       CommandId::DisplayMode, 0, CommandId::ResetViews},
                      QSize(90, 36), Qt::ToolButtonTextUnderIcon, 22);
    m_transfer = make(TransferButtons, {CommandId::Upload, 0, CommandId::Download}, QSize(90, 36),
                      Qt::ToolButtonTextUnderIcon, 22);
    m_engineering = make(EngineeringButtons,
                         {CommandId::ConfigurationWizard, 0, CommandId::InstrumentView, 0, CommandId::Sensors, 0,
                          CommandId::Analog, 0, CommandId::Digital, 0, CommandId::Memory, 0, CommandId::Flash, 0,
                          CommandId::Ram, 0, CommandId::ToxicTable, 0, CommandId::RangeTable},
                         QSize(90, 20), Qt::ToolButtonTextBesideIcon, 16);
    DockToolbarsDefault();
    m_transfer->hide();
    m_engineering->hide();

    for (QToolBar *bar : {m_standard, m_transfer, m_engineering})
        connect(bar, &QToolBar::visibilityChanged, this, [this] { UpdateCommandStates(); });
}

void CMainFrame::DockToolbarsDefault()
{
    // Standard and Transfer share the top row, Transfer just right of
    // Standard; Engineering sits on the left edge.
    for (QToolBar *bar : {m_standard, m_transfer, m_engineering})
        removeToolBar(bar);
    addToolBar(Qt::TopToolBarArea, m_standard);
    addToolBar(Qt::TopToolBarArea, m_transfer);
    addToolBar(Qt::LeftToolBarArea, m_engineering);
}

void CMainFrame::UpdateMenuState()
{
    // Two menu states: with no child window open the document entries, the
    // Edit menu and the Window menu are not offered.
    const bool child = !ChildFrames().isEmpty();
    for (QAction *a : m_documentEntries)
        a->setVisible(child);
    m_editMenuAction->setVisible(child);
    m_windowMenuAction->setVisible(child);
    UpdateCommandStates();
}

void CMainFrame::RebuildWindowMenu()
{
    for (QAction *a : m_windowListEntries) {
        m_windowMenu->removeAction(a);
        a->deleteLater();
    }
    m_windowListEntries.clear();
    QList<QMdiSubWindow *> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    int n = 0;
    for (QMdiSubWindow *w : windows) {
        auto *frame = qobject_cast<CInstrumentFrame *>(w);
        if (!frame || frame->isHidden())
            continue;
        if (n == 0)
            m_windowListEntries.append(m_windowMenu->addSeparator());
        ++n;
        QAction *a = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(n).arg(frame->Caption()));
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
        m_windowListEntries.append(a);
    }
}

void CMainFrame::PruneLoadViews()
{
    // Once a window has been opened the saved list has nothing to add:
    // the entry leaves the menu, and so does a separator left doubled.
    if (m_loadViewsPruned)
        return;
    m_loadViewsPruned = true;
    m_viewMenu->removeAction(m_commands->Action(CommandId::LoadViews));
    const QList<QAction *> entries = m_viewMenu->actions();
    for (int i = entries.size() - 1; i > 0; --i) {
        if (entries[i]->isSeparator() && entries[i - 1]->isSeparator())
            m_viewMenu->removeAction(entries[i]);
    }
    if (!m_viewMenu->actions().isEmpty() && m_viewMenu->actions().last()->isSeparator())
        m_viewMenu->removeAction(m_viewMenu->actions().last());
}

void CMainFrame::UpdateCommandStates()
{
    const bool single = SingleWindowMode();
    for (const ViewCommand &v : ViewCommands) {
        QAction *a = m_commands->Action(v.id);
        if (!a)
            continue;
        const QString title = QString::fromLatin1(v.title);
        a->setEnabled(CViewRegistry::FindTitle(title) != nullptr);
        a->setChecked(FindChild(title) != nullptr);
    }
    m_commands->Action(CommandId::ResetViews)->setEnabled(!single);
    m_commands->Action(CommandId::OptionsResetViews)->setEnabled(!single);
    const int port = CommPortPreference();
    for (int i = 0; i < 4; ++i)
        m_commands->Action(CommandId::Com1 + i)->setChecked(!m_simulated && port == i + 1);
    m_commands->Action(CommandId::Network)->setChecked(!m_simulated && port == -1);
    m_commands->Action(CommandId::MultiWindow)->setChecked(!single);
    m_commands->Action(CommandId::SingleWindow)->setChecked(single);
    m_commands->Action(CommandId::ToolbarStandard)->setChecked(m_standard->isVisibleTo(this));
    m_commands->Action(CommandId::ToolbarTransfer)->setChecked(m_transfer->isVisibleTo(this));
    m_commands->Action(CommandId::ToolbarEngineering)->setChecked(m_engineering->isVisibleTo(this));
    m_statusBarAction->setChecked(statusBar()->isVisibleTo(this));
    const bool child = !ChildFrames().isEmpty();
    m_commands->Action(CommandId::WindowClose)->setEnabled(child);
    m_commands->Action(CommandId::WindowCloseAll)->setEnabled(child);

    bool canPrint = false;
    if (auto *frame = qobject_cast<CInstrumentFrame *>(m_mdi->activeSubWindow())) {
        if (frame->View())
            canPrint = frame->View()->CanPrint();
        else
            canPrint = frame->findChild<CFileViewer *>() != nullptr;
    }
    m_printAction->setEnabled(canPrint);
    m_previewAction->setEnabled(canPrint);

    m_panes->Refresh(m_doc, m_simulated);
}

// ---------------------------------------------------------------- commands

void CMainFrame::OnCommand(int id)
{
    switch (id) {
    case CommandId::LoadOptions:
        ChooseLoadOptions();
        break;
    case CommandId::SaveOptions:
        ChooseSaveOptions();
        break;
    case CommandId::ResetViews:
    case CommandId::OptionsResetViews:
        if (!SingleWindowMode())
            ResetViews();
        break;
    case CommandId::LoadViews:
        RestoreWindowList();
        break;
    case CommandId::ConfigurationWizard:
        CloseAllChildren();
        OpenView(ConfigurationWizardTitle);
        break;
    case CommandId::ToolbarStandard:
        m_standard->setVisible(!m_standard->isVisibleTo(this));
        break;
    case CommandId::ToolbarTransfer:
        m_transfer->setVisible(!m_transfer->isVisibleTo(this));
        break;
    case CommandId::ToolbarEngineering:
        m_engineering->setVisible(!m_engineering->isVisibleTo(this));
        break;
    case CommandId::Upload:
        m_doc.UploadAll();
        break;
    case CommandId::Download:
        Download();
        break;
    case CommandId::Com1:
    case CommandId::Com1 + 1:
    case CommandId::Com1 + 2:
    case CommandId::Com1 + 3:
        SwitchPort(id - CommandId::Com1 + 1);
        break;
    case CommandId::Network:
        SwitchPort(-1);
        break;
    case CommandId::MultiWindow:
        SetMultiWindow();
        break;
    case CommandId::SingleWindow:
        SetSingleWindow();
        break;
    case CommandId::WindowClose:
        if (QMdiSubWindow *w = m_mdi->activeSubWindow())
            w->close();
        break;
    case CommandId::WindowCloseAll:
        CloseAllChildren();
        break;
    case CommandId::ViewHelp:
        OpenHelp();
        break;
    case CommandId::WebPage:
        OpenWebPage();
        break;
    case CommandId::About:
        ShowAbout();
        break;
    case CommandId::RestartBoardTest:
        RestartBoardTest();
        break;
    default:
        OpenViewCommand(id);
        break;
    }
    UpdateCommandStates();
}

void CMainFrame::OpenViewCommand(int commandId)
{
    const QString title = ViewTitle(commandId);
    if (!title.isEmpty())
        OpenView(title);
}

CInstrumentFrame *CMainFrame::FindChild(const QString &caption) const
{
    for (CInstrumentFrame *frame : ChildFrames()) {
        if (frame->Caption() == caption)
            return frame;
    }
    return nullptr;
}

QList<CInstrumentFrame *> CMainFrame::ChildFrames() const
{
    QList<CInstrumentFrame *> frames;
    auto *active = qobject_cast<CInstrumentFrame *>(m_mdi->activeSubWindow());
    if (active && !active->isHidden())
        frames.append(active);
    const QList<QMdiSubWindow *> stack = m_mdi->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.crbegin(); it != stack.crend(); ++it) {
        auto *frame = qobject_cast<CInstrumentFrame *>(*it);
        // A closed window lingers in the list until it is deleted.
        if (frame && frame != active && !frame->isHidden())
            frames.append(frame);
    }
    return frames;
}

CInstrumentFrame *CMainFrame::OpenView(const QString &title)
{
    if (CInstrumentFrame *open = FindChild(title)) {
        m_mdi->setActiveSubWindow(open);
        open->raise();
        return open;
    }
    const CViewInfo *info = CViewRegistry::FindTitle(title);
    if (!info)
        return nullptr;
    CInstrumentView *view = info->create(m_doc, nullptr);
    auto *frame = new CInstrumentFrame(view);
    frame->setWindowIcon(windowIcon());
    m_mdi->addSubWindow(frame);
    // Queued: a view may ask for a command that closes its own window.
    connect(view, &CInstrumentView::CommandRequested, this, &CMainFrame::OnCommand, Qt::QueuedConnection);
    connect(frame, &QObject::destroyed, this, [this] { UpdateMenuState(); });
    frame->ShowAtPlacement();
    m_mdi->setActiveSubWindow(frame);
    view->OnInitialUpdate();
    PruneLoadViews();
    if (SingleWindowMode()) {
        CloseAllExcept(frame);
        frame->Place(true, true);
    }
    UpdateMenuState();
    return frame;
}

void CMainFrame::CloseAllChildren()
{
    for (CInstrumentFrame *frame : ChildFrames())
        frame->close();
    UpdateMenuState();
}

void CMainFrame::CloseAllExcept(CInstrumentFrame *keep)
{
    for (CInstrumentFrame *frame : ChildFrames()) {
        if (frame != keep)
            frame->close();
    }
}

void CMainFrame::OpenDefaultViews()
{
    if (CInstrumentFrame *f = OpenView(DisplayModeTitle))
        f->Place(false, true);
    if (CInstrumentFrame *f = OpenView(DatalogFeaturesTitle))
        f->Place(true, true);
    if (CInstrumentFrame *f = OpenView(AdvancedFeaturesTitle))
        f->Place(true, false);
}

void CMainFrame::ResetViews()
{
    CloseAllChildren();
    for (QToolBar *bar : {m_standard, m_transfer, m_engineering})
        bar->hide();
    statusBar()->show();
    DockToolbarsDefault();
    m_standard->show();
    m_transfer->show();
    m_engineering->hide();
    m_doc.ClearQueues();
    m_doc.CloseAllProgress();
    m_doc.UploadAll();
    m_uploadStarted = true;
    OpenDefaultViews();
}

void CMainFrame::SetMultiWindow()
{
    if (!SingleWindowMode())
        return;
    CPreferences::SetInt(PrefSection, QString::fromLatin1(Pref::SingleWindow), 0);
    CloseAllChildren();
    OpenDefaultViews();
}

void CMainFrame::SetSingleWindow()
{
    if (SingleWindowMode())
        return;
    CPreferences::SetInt(PrefSection, QString::fromLatin1(Pref::SingleWindow), 1);
    auto *active = qobject_cast<CInstrumentFrame *>(m_mdi->activeSubWindow());
    CloseAllExcept(active);
    if (active)
        active->Place(true, true);
}

void CMainFrame::RestartBoardTest()
{
    SaveWindowList();
    CloseAllChildren();
    m_doc.ClearQueues();
    m_doc.CloseAllProgress();
    OpenView(InteractiveTestTitle);
}

void CMainFrame::SwitchPort(int port)
{
    const QString key = QString::fromLatin1(Pref::CommPort);
    m_simulated = false;
    if (port < 0) {
        CPreferences::SetInt(PrefSection, key, -1);
        m_doc.Link().OpenPort(-1);
        return;
    }
    for (;;) {
        CPreferences::SetInt(PrefSection, key, port);
        if (m_doc.Link().OpenPort(port))
            return;
        CComErrorDialog dialog(port, this);
        if (dialog.exec() != QDialog::Accepted || dialog.ChosenPort() == 0)
            return;
        port = dialog.ChosenPort();
    }
}

bool CMainFrame::SingleWindowMode() const
{
    return CPreferences::GetInt(PrefSection, QString::fromLatin1(Pref::SingleWindow), 0) != 0;
}

int CMainFrame::CommPortPreference() const
{
    return CPreferences::GetInt(PrefSection, QString::fromLatin1(Pref::CommPort), 0);
}

// ---------------------------------------------------------------- layout

void CMainFrame::SaveWindowList()
{
    const QList<CInstrumentFrame *> frames = ChildFrames();
    int n = 0;
    for (CInstrumentFrame *frame : frames) {
        CPreferences::SetString(MainSection, Pref::WindowKey(n++), frame->Caption());
        frame->SavePlacement();
    }
    CPreferences::SetInt(MainSection, QString::fromLatin1(Pref::NumberOfWindows), n);
    SavePlacement();
}

bool CMainFrame::RestoreWindowList()
{
    const int count = CPreferences::GetInt(MainSection, QString::fromLatin1(Pref::NumberOfWindows), -1);
    // Backwards, so that the first entry (active at exit) ends on top.
    for (int i = count - 1; i >= 0; --i) {
        const QString title = CPreferences::GetString(MainSection, Pref::WindowKey(i));
        if (Reopenable(title))
            OpenView(title);
    }
    return count >= 0;
}

CMainFrame::BarRestore CMainFrame::RestoreBarState()
{
    const QString stored = CPreferences::GetString(MainSection, QString::fromLatin1(Pref::BarState)).trimmed();
    if (stored.isEmpty())
        return BarRestore::NothingStored;
    const QByteArray state = QByteArray::fromBase64(stored.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (state.isEmpty() || !restoreState(state))
        return BarRestore::Failed;
    return BarRestore::Restored;
}

void CMainFrame::SaveBarState()
{
    CPreferences::SetString(MainSection, QString::fromLatin1(Pref::BarState), QString::fromLatin1(saveState().toBase64()));
}

bool CMainFrame::RestorePlacement()
{
    CPlacement placement;
    if (!CPlacement::Read(MainSection, &placement))
        return false;
    // A rectangle on a screen that is no longer there would open the window
    // where nobody can see it.
    bool onScreen = false;
    for (QScreen *screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(placement.normal);
    if (!onScreen)
        return false;
    setGeometry(placement.normal);
    if (placement.showCmd == CPlacement::Maximised)
        showMaximized();
    else
        show(); // a window closed while minimised comes back where it was, not hidden
    return true;
}

void CMainFrame::SavePlacement()
{
    CPlacement placement;
    placement.showCmd = isMinimized() ? CPlacement::Minimised : isMaximized() ? CPlacement::Maximised : CPlacement::Normal;
    placement.normal = (isMinimized() || isMaximized()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    CPlacement::Write(MainSection, placement);
}

void CMainFrame::ApplyDefaultPlacement()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 900);
    const QSize size = QSize(1180, 820).boundedTo(area.size() * 0.95);
    resize(size);
    move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void CMainFrame::PostShowInitialise()
{
    m_doc.ReadStatusWords();
    if (m_options.newInstrument) {
        for (QToolBar *bar : {m_standard, m_transfer, m_engineering})
            bar->hide();
        CInstrumentFrame *test = OpenView(InteractiveTestTitle);
        if (test && SingleWindowMode()) {
            CloseAllExcept(test);
            test->Place(true, true);
        }
    } else {
        if (RestoreBarState() == BarRestore::Failed) {
            QMessageBox::warning(this, QStringLiteral("Altavo View"), QStringLiteral("Error loading toolbars"));
            ResetViews();
        }
        if (!RestoreWindowList())
            ResetViews();
    }
    StartStatusTimer();
    m_doc.SetIdEntriesWanted(true);
    // A simulated instrument is there to be looked at: fill the views at once.
    if (m_simulated && !m_uploadStarted) {
        m_doc.UploadAll();
        m_uploadStarted = true;
    }
    UpdateCommandStates();
}

void CMainFrame::StartStatusTimer()
{
    m_statusTimer.start();
}

void CMainFrame::OnIdle()
{
    if (m_options.newInstrument && menuBar()->isVisible())
        menuBar()->hide();
    m_doc.IdleCheck();
    UpdateCommandStates();
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    SaveWindowList();
    if (!m_options.newInstrument)
        SaveBarState();
    CloseAllChildren();
    m_statusTimer.stop();
    event->accept();
}

// ---------------------------------------------------------------- files, help

void CMainFrame::ChooseLoadOptions()
{
    const QString dir = CPreferences::GetString(MainSection, QString::fromLatin1(Pref::Directory), QStringLiteral("."));
    QFileDialog dialog(this, QStringLiteral("Load Options"), dir, QStringLiteral("KVO Files (*.kvo);;All Files (*.*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("kvo"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    CPreferences::SetString(MainSection, QString::fromLatin1(Pref::Directory), QFileInfo(path).absolutePath());
    LoadOptionsFile(path);
}

void CMainFrame::ChooseSaveOptions()
{
    const QString dir = CPreferences::GetString(MainSection, QString::fromLatin1(Pref::Directory), QStringLiteral("."));
    QFileDialog dialog(this, QStringLiteral("Save Options"), dir, QStringLiteral("KVO Files (*.kvo);;All Files (*.*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kvo"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    CPreferences::SetString(MainSection, QString::fromLatin1(Pref::Directory), QFileInfo(path).absolutePath());
    SaveOptionsFile(path);
}

bool CMainFrame::LoadOptionsFile(const QString &path)
{
    QString error;
    QStringList warnings;
    if (!m_doc.LoadOptions(path, &error, &warnings)) {
        QMessageBox::warning(this, QStringLiteral("Load Options"), error);
        return false;
    }
    if (!warnings.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Load Options"),
                        QStringLiteral("Some settings in %1 could not be taken as the file gives them. "
                                       "Check them before you download.")
                            .arg(QFileInfo(path).fileName()),
                        QMessageBox::Ok, this);
        box.setDetailedText(warnings.join(QLatin1Char('\n')));
        box.exec();
    }
    statusBar()->showMessage(QStringLiteral("Loaded %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool CMainFrame::SaveOptionsFile(const QString &path)
{
    QString error;
    if (!m_doc.SaveOptions(path, &error)) {
        QMessageBox::warning(this, QStringLiteral("Save Options"), error);
        return false;
    }
    statusBar()->showMessage(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void CMainFrame::Download()
{
    m_verifier = std::make_unique<CDownloadVerifier>(m_doc);
    m_doc.DownloadAll();
    // Right after the download is queued the image holds exactly what goes out.
    m_verifier->TakeSnapshot();
    m_checkState = DownloadCheck::Downloading;
    m_checkTimer.start();
}

void CMainFrame::FollowDownloadCheck()
{
    if (!m_verifier || !m_doc.Link().IsIdle())
        return;
    if (m_checkState == DownloadCheck::Downloading) {
        m_checkState = DownloadCheck::ReadingBack;
        statusBar()->showMessage(QStringLiteral("Checking the download"));
        m_verifier->StartReadBack();
        return;
    }
    if (m_checkState == DownloadCheck::ReadingBack)
        FinishDownloadCheck();
}

void CMainFrame::FinishDownloadCheck()
{
    m_checkTimer.stop();
    m_checkState = DownloadCheck::None;
    std::unique_ptr<CDownloadVerifier> verifier = std::move(m_verifier);
    if (!verifier->IsReadBackFinished()) {
        QMessageBox::warning(this, QStringLiteral("Download Check"),
                             QStringLiteral("The instrument did not return its settings for checking; the download is not verified."));
        return;
    }
    const QList<CDownloadDifference> differences = verifier->Differences();
    if (differences.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Download checked: the instrument holds every setting as sent"));
        return;
    }
    CDownloadReport report(differences, this);
    report.exec();
}

QString CMainFrame::HelpFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(CHelpFileViewer::Caption));
}

void CMainFrame::OpenHelp()
{
    const QString caption = QString::fromLatin1(CHelpFileViewer::Caption);
    if (CInstrumentFrame *open = FindChild(caption)) {
        m_mdi->setActiveSubWindow(open);
        return;
    }
    auto *doc = new CFileViewerDoc;
    QString error;
    if (!doc->Open(HelpFilePath(), &error)) {
        delete doc;
        QMessageBox::warning(this, QStringLiteral("Altavo View"), error);
        return;
    }
    auto *pane = new QWidget;
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *viewer = new CHelpFileViewer(doc);
    doc->setParent(viewer);
    layout->addWidget(viewer->CreateSearchBar(pane));
    layout->addWidget(viewer, 1);
    auto *frame = new CInstrumentFrame(pane, caption, QSize(720, 560));
    frame->setWindowIcon(CToolbarIcons::Icon(CommandId::ViewHelp));
    m_mdi->addSubWindow(frame);
    connect(viewer, &CHelpFileViewer::CloseRequested, frame, &QWidget::close);
    connect(frame, &QObject::destroyed, this, [this] { UpdateMenuState(); });
    frame->ShowAtPlacement();
    m_mdi->setActiveSubWindow(frame);
    PruneLoadViews();
    if (SingleWindowMode()) {
        CloseAllExcept(frame);
        frame->Place(true, true);
    }
    UpdateMenuState();
}

void CMainFrame::OpenWebPage()
{
    const QString address = CPreferences::GetString(PrefSection, QString::fromLatin1(Pref::WebPage), DefaultWebPage);
    QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

void CMainFrame::ShowAbout()
{
    auto *about = new CAboutWindow(this);
    about->ShowCentred(this);
}

void CMainFrame::PrintActive(bool preview)
{
    auto *frame = qobject_cast<CInstrumentFrame *>(m_mdi->activeSubWindow());
    if (!frame)
        return;
    if (auto *viewer = frame->findChild<CFileViewer *>()) {
        preview ? viewer->PrintPreview() : viewer->PrintWithDialog();
        return;
    }
    CInstrumentView *view = frame->View();
    if (!view || !view->CanPrint())
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, this);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, view, &CInstrumentView::Print);
        dialog.exec();
    } else {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            view->Print(&printer);
    }
}

void CMainFrame::UpdateCursor()
{
    if (m_doc.AnyProgressOpen())
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void CMainFrame::UpdateCaption()
{
    const QString title = m_doc.Title().trimmed();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Altavo View") : QStringLiteral("Altavo View - %1").arg(title));
}
