// The "Configuration Wizard" view.
#include "ConfigurationWizard.h"

#include "WizardSheet.h"
#include "app/ViewRegistry.h"

#include <QMdiSubWindow>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CConfigurationWizard, "Configuration Wizard", 32865, true)

CConfigurationWizard::CConfigurationWizard(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QStringLiteral("Configuration Wizard"), parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // A child control, not a window of its own.
    m_sheet = new CWizardSheet(doc, this);
    m_sheet->setWindowFlags(Qt::Widget);
    layout->addWidget(m_sheet);
    connect(m_sheet, &CWizardSheet::CancelRequested, this, &CConfigurationWizard::CloseWindow);
}

void CConfigurationWizard::OnInitialUpdate()
{
    m_sheet->restart();
}

QSize CConfigurationWizard::FormSize() const
{
    return m_sheet->sizeHint();
}

void CConfigurationWizard::CloseWindow()
{
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *frame = qobject_cast<QMdiSubWindow *>(w)) {
            frame->close();
            return;
        }
    }
    close();
}
