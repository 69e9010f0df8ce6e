// Wizard page 3: the special gas, for the units that ask for one.
#pragma once

#include "BasePropertyPage.h"

class QComboBox;
class QLabel;

class CSpecialGasPage : public CBasePropertyPage
{
    Q_OBJECT
public:
    explicit CSpecialGasPage(CWizardSheet *sheet);

    void OnEnter(bool forward) override;
    int Answer(int choice, QString *text) const override;

    QComboBox *List() const { return m_list; }

private:
    void UpdateButtons();

    QLabel *m_model = nullptr;
    QLabel *m_units = nullptr;
    QComboBox *m_list = nullptr;
};
