// The main window's menus and toolbars.
#include "MainMenus.h"

#include "CommandIds.h"
#include "CommandTable.h"
#include "InstrumentFrame.h"
#include "MainFrame.h"
#include "views/InstrumentView.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace {
const char *const StandardButtons = "Standard Buttons";
const char *const TransferButtons = "Transfer";
const char *const EngineeringButtons = "Engineering";
} // namespace

CMainMenus::CMainMenus(CMainFrame &frame, CCommandTable &commands)
    : QObject(&frame), m_frame(frame), m_commands(commands)
{
    CreateToolbars();
    CreateMenus();
}

void CMainMenus::CreateMenus()
{
    QMenuBar *bar = m_frame.menuBar();
    auto disabled = [this](const QString &text) {
        auto *a = new QAction(text, &m_frame);
        a->setEnabled(false);
        return a;
    };
    auto act = [this](int id) { return m_commands.Action(id); };

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
    m_printAction = new QAction(QStringLiteral("&Print..."), &m_frame);
    m_printAction->setShortcut(QKeySequence::Print);
    m_printAction->setStatusTip(QStringLiteral("Print the active window"));
    connect(m_printAction, &QAction::triggered, this, [this] { emit PrintRequested(false); });
    m_previewAction = new QAction(QStringLiteral("Print Pre&view"), &m_frame);
    m_previewAction->setStatusTip(QStringLiteral("Display full pages"));
    connect(m_previewAction, &QAction::triggered, this, [this] { emit PrintRequested(true); });
    m_fileMenu->addAction(m_printAction);
    m_fileMenu->addAction(m_previewAction);
    m_fileMenu->addAction(disabled(QStringLiteral("P&rint Setup...")));
    m_fileMenu->addSeparator();
    QAction *exit = m_fileMenu->addAction(QStringLiteral("E&xit"));
    exit->setStatusTip(QStringLiteral("Quit the application"));
    connect(exit, &QAction::triggered, &m_frame, &QWidget::close);
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
    connect(m_statusBarAction, &QAction::toggled, m_frame.statusBar(), &QWidget::setVisible);
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
    options->addAction(act(CommandId::SerialLogFile));
    options->addSeparator();
    options->addAction(act(CommandId::OptionsResetViews));

    m_windowMenu = bar->addMenu(QStringLiteral("&Window"));
    QAction *cascade = m_windowMenu->addAction(QStringLiteral("&Cascade"));
    cascade->setStatusTip(QStringLiteral("Arrange windows so they overlap"));
    connect(cascade, &QAction::triggered, m_frame.MdiArea(), &QMdiArea::cascadeSubWindows);
    QAction *tile = m_windowMenu->addAction(QStringLiteral("&Tile"));
    tile->setStatusTip(QStringLiteral("Arrange windows as non-overlapping tiles"));
    connect(tile, &QAction::triggered, m_frame.MdiArea(), &QMdiArea::tileSubWindows);
    QAction *arrange = m_windowMenu->addAction(QStringLiteral("&Arrange Icons"));
    arrange->setStatusTip(QStringLiteral("Arrange icons at the bottom of the window"));
    connect(arrange, &QAction::triggered, this, [this] {
        QMdiArea *mdi = m_frame.MdiArea();
        int x = 0;
        for (QMdiSubWindow *w : mdi->subWindowList()) {
            if (!w->isMinimized())
                continue;
            w->move(x, mdi->viewport()->height() - w->height());
            x += w->width();
        }
    });
    m_windowMenu->addSeparator();
    m_windowMenu->addAction(act(CommandId::WindowClose));
    m_windowMenu->addAction(act(CommandId::WindowCloseAll));
    m_windowMenuAction = m_windowMenu->menuAction();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainMenus::RebuildWindowMenu);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(act(CommandId::ViewHelp));
    help->addAction(act(CommandId::WebPage));
    help->addSeparator();
    help->addAction(act(CommandId::About));

    for (QMenu *menu : bar->findChildren<QMenu *>())
        connect(menu, &QMenu::aboutToShow, &m_frame, &CMainFrame::UpdateCommandStates);
}

void CMainMenus::CreateToolbars()
{
    auto make = [this](const char *caption, const QList<int> &ids, QSize button, Qt::ToolButtonStyle style, int iconSize) {
        auto *bar = new QToolBar(QString::fromLatin1(caption), &m_frame);
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
            QAction *action = m_commands.Action(id);
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
        connect(bar, &QToolBar::visibilityChanged, &m_frame, [this] { m_frame.UpdateCommandStates(); });
}

void CMainMenus::DockToolbarsDefault()
{
    // Standard and Transfer share the top row, Transfer just right of
    // Standard; Engineering sits on the left edge.
    for (QToolBar *bar : {m_standard, m_transfer, m_engineering})
        m_frame.removeToolBar(bar);
    m_frame.addToolBar(Qt::TopToolBarArea, m_standard);
    m_frame.addToolBar(Qt::TopToolBarArea, m_transfer);
    m_frame.addToolBar(Qt::LeftToolBarArea, m_engineering);
}

void CMainMenus::ShowDocumentEntries(bool child)
{
    for (QAction *a : m_documentEntries)
        a->setVisible(child);
    m_editMenuAction->setVisible(child);
    m_windowMenuAction->setVisible(child);
}

void CMainMenus::RebuildWindowMenu()
{
    for (QAction *a : m_windowListEntries) {
        m_windowMenu->removeAction(a);
        a->deleteLater();
    }
    m_windowListEntries.clear();
    QMdiArea *mdi = m_frame.MdiArea();
    QList<QMdiSubWindow *> windows = mdi->subWindowList(QMdiArea::CreationOrder);
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
        a->setChecked(w == mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [mdi, w] { mdi->setActiveSubWindow(w); });
        m_windowListEntries.append(a);
    }
}

void CMainMenus::PruneLoadViews()
{
    // Once a window has been opened the saved list has nothing to add:
    // the entry leaves the menu, and so does a separator left doubled.
    if (m_loadViewsPruned)
        return;
    m_loadViewsPruned = true;
    m_viewMenu->removeAction(m_commands.Action(CommandId::LoadViews));
    const QList<QAction *> entries = m_viewMenu->actions();
    for (int i = entries.size() - 1; i > 0; --i) {
        if (entries[i]->isSeparator() && entries[i - 1]->isSeparator())
            m_viewMenu->removeAction(entries[i]);
    }
    if (!m_viewMenu->actions().isEmpty() && m_viewMenu->actions().last()->isSeparator())
        m_viewMenu->removeAction(m_viewMenu->actions().last());
}
