// The status bar panes.
#include "StatusPanes.h"

#include "CommandIds.h"
#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"

#include <QLabel>
#include <QStatusBar>

namespace {
struct PaneEntry
{
    int id;
    const char *widthTemplate;
};

// Left to right; each pane is as wide as its template text.
const PaneEntry Panes[] = {
    {PaneId::Version, "V0.00XXXX"},
    {PaneId::ProgrammingDate, "12/29/2000 23:59:59"},
    {PaneId::Serial, "FFFFFFFF"},
    {PaneId::Configuration, "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXX"},
    {PaneId::WindowMode, "Single Window "},
    {PaneId::Port, "COM3"},
    {PaneId::LinkState, "COMM OK"},
};
} // namespace

CStatusPanes::CStatusPanes(QStatusBar *bar) : QObject(bar)
{
    for (const PaneEntry &entry : Panes) {
        auto *label = new QLabel(bar);
        label->setObjectName(QStringLiteral("Pane%1").arg(entry.id));
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        const int margins = 2 * label->frameWidth() + 10;
        label->setFixedWidth(label->fontMetrics().horizontalAdvance(QLatin1String(entry.widthTemplate)) + margins);
        bar->addPermanentWidget(label);
        m_panes.insert(entry.id, label);
    }
}

CStatusPanes::Texts CStatusPanes::Compute(CInstrumentDoc &doc, bool simulated)
{
    Texts t;
    const CInstrumentIdentity id = doc.Identity();
    t.version = id.VersionText();
    t.date = id.ProgrammingDateText();
    t.serial = id.SerialText();
    t.configuration = id.ConfigurationText();
    const QString prefs = QString::fromLatin1(Pref::Preferences);
    t.windowMode = CPreferences::GetInt(prefs, QString::fromLatin1(Pref::SingleWindow), 0) ? QStringLiteral("Single Window")
                                                                                             : QStringLiteral("Multi Window");
    if (simulated) {
        t.port = QStringLiteral("SIM");
    } else {
        const int port = CPreferences::GetInt(prefs, QString::fromLatin1(Pref::CommPort), 0);
        t.port = port < 0 ? QStringLiteral("IP") : QStringLiteral("COM%1").arg(port);
    }
    t.link = doc.Link().GetLastReplyCode() >= 0 ? QStringLiteral("Comm OK") : QStringLiteral("Timeout");
    return t;
}

void CStatusPanes::Refresh(CInstrumentDoc &doc, bool simulated)
{
    const Texts t = Compute(doc, simulated);
    Set(PaneId::Version, t.version);
    Set(PaneId::ProgrammingDate, t.date);
    Set(PaneId::Serial, t.serial);
    Set(PaneId::Configuration, t.configuration);
    Set(PaneId::WindowMode, t.windowMode);
    Set(PaneId::Port, t.port);
    Set(PaneId::LinkState, t.link);
}

QString CStatusPanes::Text(int id) const
{
    QLabel *label = m_panes.value(id);
    return label ? label->text() : QString();
}

void CStatusPanes::Set(int id, const QString &text)
{
    QLabel *label = m_panes.value(id);
    if (label && label->text() != text) {
        label->setText(text);
        label->setToolTip(text);
    }
}
