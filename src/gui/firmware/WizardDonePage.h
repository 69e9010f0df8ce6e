// Wizard page 6: what to do for the next instrument.
#pragma once

#include "BasePropertyPage.h"

class CWizardDonePage : public CBasePropertyPage
{
    Q_OBJECT
public:
    explicit CWizardDonePage(CWizardSheet *sheet);

    void OnEnter(bool forward) override;
};
