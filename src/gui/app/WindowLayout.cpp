// The main window's layout in the preferences.
#include "WindowLayout.h"

#include "HelpFileViewer.h"
#include "InstrumentFrame.h"
#include "Placement.h"
#include "ViewRegistry.h"
#include "platform/Preferences.h"
#include "views/InstrumentView.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
const QString MainSection = QString::fromLatin1(Pref::MainWindow);

const QString DisplayModeTitle = QStringLiteral("Display Mode");
const QString DatalogFeaturesTitle = QStringLiteral("Datalog Features");
const QString AdvancedFeaturesTitle = QStringLiteral("Advanced Features");
const QString InteractiveTestTitle = QStringLiteral("Interactive Test");
const QString ProgrammingTitle = QStringLiteral("Programming");

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

void CWindowLayout::SaveWindowList()
{
    const QList<CInstrumentFrame *> frames = m_frame.ChildFrames();
    int n = 0;
    for (CInstrumentFrame *frame : frames) {
        CPreferences::SetString(MainSection, Pref::WindowKey(n++), frame->Caption());
        frame->SavePlacement();
    }
    CPreferences::SetInt(MainSection, QString::fromLatin1(Pref::NumberOfWindows), n);
    m_frame.SavePlacement();
}

bool CWindowLayout::RestoreWindowList()
{
    const int count = CPreferences::GetInt(MainSection, QString::fromLatin1(Pref::NumberOfWindows), -1);
    // Backwards, so that the first entry (active at exit) ends on top.
    for (int i = count - 1; i >= 0; --i) {
        const QString title = CPreferences::GetString(MainSection, Pref::WindowKey(i));
        if (Reopenable(title))
            m_frame.OpenView(title);
    }
    return count >= 0;
}

CMainFrame::BarRestore CWindowLayout::RestoreBarState()
{
    const QString stored = CPreferences::GetString(MainSection, QString::fromLatin1(Pref::BarState)).trimmed();
    if (stored.isEmpty())
        return CMainFrame::BarRestore::NothingStored;
    const QByteArray state = QByteArray::fromBase64(stored.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (state.isEmpty() || !m_frame.restoreState(state))
        return CMainFrame::BarRestore::Failed;
    return CMainFrame::BarRestore::Restored;
}

void CWindowLayout::SaveBarState()
{
    CPreferences::SetString(MainSection, QString::fromLatin1(Pref::BarState), QString::fromLatin1(m_frame.saveState().toBase64()));
}

bool CWindowLayout::RestorePlacement()
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
    m_frame.setGeometry(placement.normal);
    if (placement.showCmd == CPlacement::Maximised)
        m_frame.showMaximized();
    else
        m_frame.show(); // a window closed while minimised comes back where it was, not hidden
    return true;
}

void CWindowLayout::SavePlacement()
{
    const bool minimised = m_frame.isMinimized();
    const bool maximised = m_frame.isMaximized();
    CPlacement placement;
    placement.showCmd = minimised ? CPlacement::Minimised : maximised ? CPlacement::Maximised : CPlacement::Normal;
    placement.normal = (minimised || maximised) && m_frame.normalGeometry().isValid() ? m_frame.normalGeometry()
                                                                                        : m_frame.geometry();
    CPlacement::Write(MainSection, placement);
}

void CWindowLayout::ApplyDefaultPlacement()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 900);
    const QSize size = QSize(1180, 820).boundedTo(area.size() * 0.95);
    m_frame.resize(size);
    m_frame.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void CWindowLayout::OpenDefaultViews()
{
    if (CInstrumentFrame *f = m_frame.OpenView(DisplayModeTitle))
        f->Place(false, true);
    if (CInstrumentFrame *f = m_frame.OpenView(DatalogFeaturesTitle))
        f->Place(true, true);
    if (CInstrumentFrame *f = m_frame.OpenView(AdvancedFeaturesTitle))
        f->Place(true, false);
}
