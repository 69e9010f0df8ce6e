// The "Configuration Wizard" view: sets up a new instrument in one pass.
#pragma once

#include "views/InstrumentView.h"

class CWizardSheet;

class CConfigurationWizard : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CConfigurationWizard(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    QSize FormSize() const override;

    CWizardSheet *Sheet() const { return m_sheet; }

private:
    void CloseWindow();

    CWizardSheet *m_sheet = nullptr;
};
