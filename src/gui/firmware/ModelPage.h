// Wizard page 1: the model, picked from the list or by its two-digit position.
#pragma once

#include "BasePropertyPage.h"
#include "firmware/ModelKeySelector.h"

class QComboBox;

class CModelPage : public CBasePropertyPage
{
    Q_OBJECT
public:
    explicit CModelPage(CWizardSheet *sheet);

    void OnEnter(bool forward) override;
    int Answer(int choice, QString *text) const override;

    QComboBox *List() const { return m_list; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void UpdateButtons();

    QComboBox *m_list = nullptr;
    CModelKeySelector m_keys;
};
