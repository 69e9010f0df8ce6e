// The main window.
#include "MainFrame.h"

#include "AboutWindow.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "FileViewerDoc.h"
#include "GuiPrompt.h"
#include "HelpFileViewer.h"
#include "InstrumentFrame.h"
#include "MainMenus.h"
#include "NoticeDialog.h"
#include "OptionsFileCommands.h"
#include "PortSwitcher.h"
#include "ProgressDialog.h"
#include "Simulator.h"
#include "StatusPanes.h"
#include "ToolbarIcons.h"
#include "ViewRegistry.h"
#include "WindowLayout.h"
#include "datalog/Log.h"
#include "datalog/LogRetrieval.h"
#include "history/HistoryDatabaseDialog.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryService.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "platform/Clock.h"
#include "platform/DataFiles.h"
#include "platform/Preferences.h"
#include "SerialLogCommands.h"
#include "views/InstrumentView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QString MainSection = QString::fromLatin1(Pref::MainWindow);
const QString PrefSection = QString::fromLatin1(Pref::Preferences);
const QString DefaultWebPage = QStringLiteral("https://www.veltrion-norvane.example/altavo-view");

const QString ConfigurationWizardTitle = QStringLiteral("Configuration Wizard");
const QString InteractiveTestTitle = QStringLiteral("Interactive Test");

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
    {CommandId::InstrumentHistory, "Instrument History"},
};
const QString LogViewTitle = QStringLiteral("Log View");

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
    m_menus = new CMainMenus(*this, *m_commands);
    m_standard = m_menus->StandardBar();
    m_transfer = m_menus->TransferBar();
    m_engineering = m_menus->EngineeringBar();
    connect(m_menus, &CMainMenus::PrintRequested, this, &CMainFrame::PrintActive);
    m_layout = std::make_unique<CWindowLayout>(*this);
    m_ports = std::make_unique<CPortSwitcher>(m_doc, this);
    m_optionsFiles = std::make_unique<COptionsFileCommands>(m_doc, this);
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

    m_downloadCheck = std::make_unique<CDownloadCheck>(m_doc, this);
    m_serialLog = new CSerialLogCommands(m_doc.Link(), this);
    connect(m_serialLog, &CSerialLogCommands::Changed, this,
            [this](bool tracing) { m_commands->Action(CommandId::SerialLogFile)->setChecked(tracing); });
    m_commands->Action(CommandId::SerialLogFile)->setChecked(m_serialLog->IsTracing());

    // The history is opened before the instrument is: the first upload is
    // recorded too. A database that cannot be opened only shows a warning.
    m_history = std::make_unique<CHistoryService>(m_doc);
    m_historyWarning = new QLabel(this);
    m_historyWarning->setStyleSheet(QStringLiteral("QLabel { background: #fff3cd; color: #5c4400; padding: 0 6px; }"));
    statusBar()->addPermanentWidget(m_historyWarning);
    connect(m_history.get(), &CHistoryService::WarningChanged, this, &CMainFrame::UpdateHistoryWarning);
    connect(m_downloadCheck.get(), &CDownloadCheck::Verified, &m_history->Recorder(), &CHistoryRecorder::DownloadVerified);
    m_history->OpenStored();
    UpdateHistoryWarning();

    // The ID entries are read only once the windows are set up.
    m_doc.SetIdEntriesWanted(false);
    if (m_options.simulate) {
        SimOptions simOptions;
        simOptions.logRecords = m_options.simulatedLogRecords;
        m_sim = std::make_unique<CSimulator>(simOptions);
        m_doc.Link().OpenChannel(m_sim->ConnectInProcess());
        m_simulated = true;
    } else {
        // A stored port the program never offers (a hand-edited 7, say) counts
        // as no port stored.
        int port = CPreferences::GetInt(PrefSection, QString::fromLatin1(Pref::CommPort), 1);
        if (port != -1 && (port < 1 || port > 4))
            port = 1;
        SwitchPort(port);
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

void CMainFrame::UpdateMenuState()
{
    // Two menu states: with no child window open the document entries, the
    // Edit menu and the Window menu are not offered.
    const bool child = !ChildFrames().isEmpty();
    m_menus->ShowDocumentEntries(child);
    UpdateCommandStates();
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
    const int port = CPortSwitcher::StoredPort();
    for (int i = 0; i < 4; ++i)
        m_commands->Action(CommandId::Com1 + i)->setChecked(!m_simulated && port == i + 1);
    m_commands->Action(CommandId::Network)->setChecked(!m_simulated && port == -1);
    m_commands->Action(CommandId::MultiWindow)->setChecked(!single);
    m_commands->Action(CommandId::SingleWindow)->setChecked(single);
    m_commands->Action(CommandId::ToolbarStandard)->setChecked(m_standard->isVisibleTo(this));
    m_commands->Action(CommandId::ToolbarTransfer)->setChecked(m_transfer->isVisibleTo(this));
    m_commands->Action(CommandId::ToolbarEngineering)->setChecked(m_engineering->isVisibleTo(this));
    m_menus->StatusBarAction()->setChecked(statusBar()->isVisibleTo(this));
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
    m_menus->PrintAction()->setEnabled(canPrint);
    m_menus->PreviewAction()->setEnabled(canPrint);

    m_panes->Refresh(m_doc, m_simulated);
}

// ---------------------------------------------------------------- commands

void CMainFrame::OnCommand(int id)
{
    switch (id) {
    case CommandId::LoadOptions:
        m_optionsFiles->ChooseLoad();
        break;
    case CommandId::SaveOptions:
        m_optionsFiles->ChooseSave();
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
        m_downloadCheck->Download();
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
    case CommandId::SerialLogFile:
        m_serialLog->Choose();
        m_commands->Action(CommandId::SerialLogFile)->setChecked(m_serialLog->IsTracing());
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
    case CommandId::HistoryDatabase:
        ChooseHistoryDatabase();
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
    m_history->Attach(view);
    if (auto *history = qobject_cast<CHistoryWindow *>(view))
        connect(history, &CHistoryWindow::OpenLogRequested, this, &CMainFrame::ShowStoredLog);
    connect(frame, &QObject::destroyed, this, [this] { UpdateMenuState(); });
    frame->ShowAtPlacement();
    m_mdi->setActiveSubWindow(frame);
    view->OnInitialUpdate();
    m_menus->PruneLoadViews();
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

void CMainFrame::ResetViews()
{
    CloseAllChildren();
    for (QToolBar *bar : {m_standard, m_transfer, m_engineering})
        bar->hide();
    statusBar()->show();
    m_menus->DockToolbarsDefault();
    m_standard->show();
    m_transfer->show();
    m_engineering->hide();
    m_doc.ClearQueues();
    m_doc.CloseAllProgress();
    m_doc.UploadAll();
    m_uploadStarted = true;
    m_layout->OpenDefaultViews();
}

void CMainFrame::SetMultiWindow()
{
    if (!SingleWindowMode())
        return;
    CPreferences::SetInt(PrefSection, QString::fromLatin1(Pref::SingleWindow), 0);
    CloseAllChildren();
    m_layout->OpenDefaultViews();
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
    m_simulated = false;
    m_ports->Switch(port);
}

bool CMainFrame::SingleWindowMode() const
{
    return CPreferences::GetInt(PrefSection, QString::fromLatin1(Pref::SingleWindow), 0) != 0;
}

// ---------------------------------------------------------------- layout

void CMainFrame::SaveWindowList()
{
    m_layout->SaveWindowList();
}

bool CMainFrame::RestoreWindowList()
{
    return m_layout->RestoreWindowList();
}

CMainFrame::BarRestore CMainFrame::RestoreBarState()
{
    return m_layout->RestoreBarState();
}

void CMainFrame::SaveBarState()
{
    m_layout->SaveBarState();
}

bool CMainFrame::RestorePlacement()
{
    return m_layout->RestorePlacement();
}

void CMainFrame::SavePlacement()
{
    m_layout->SavePlacement();
}

void CMainFrame::ApplyDefaultPlacement()
{
    m_layout->ApplyDefaultPlacement();
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

bool CMainFrame::LoadOptionsFile(const QString &path)
{
    return m_optionsFiles->Load(path);
}

bool CMainFrame::SaveOptionsFile(const QString &path)
{
    return m_optionsFiles->Save(path);
}

QString CMainFrame::HelpFilePath()
{
    return CDataFiles::Locate(QString::fromLatin1(CHelpFileViewer::Caption));
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
    m_menus->PruneLoadViews();
    if (SingleWindowMode()) {
        CloseAllExcept(frame);
        frame->Place(true, true);
    }
    UpdateMenuState();
}

void CMainFrame::UpdateHistoryWarning()
{
    const QString text = m_history->WarningText();
    m_historyWarning->setText(text);
    m_historyWarning->setToolTip(m_history->WarningDetail());
    m_historyWarning->setVisible(!text.isEmpty());
}

void CMainFrame::ChooseHistoryDatabase()
{
    CHistoryDatabaseDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The database is opened on the history's own thread; a failure is told when it is known.
    connect(
        m_history.get(), &CHistoryService::Opened, this,
        [this](bool ok) {
            if (!ok)
                QMessageBox::warning(this, CHistoryDatabaseDialog::Caption, m_history->OpenError());
        },
        Qt::SingleShotConnection);
    m_history->OpenStored();
    UpdateHistoryWarning();
}

bool CMainFrame::ShowStoredLog(const QList<LogRecord> &entries, const LogSensors &sensors, const QString &serial)
{
    CInstrumentFrame *frame = OpenView(LogViewTitle);
    auto *log = frame ? qobject_cast<CLog *>(frame->View()) : nullptr;
    if (!log)
        return false;
    if (!log->ShowStored(entries, sensors)) {
        QMessageBox::information(this, LogViewTitle,
                                 QStringLiteral("The log window is fetching the instrument's log or loading a file. Open the stored log "
                                                "once it has finished."));
        return false;
    }
    statusBar()->showMessage(QStringLiteral("Stored log of %1: %2 entries").arg(serial).arg(entries.size()));
    return true;
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
