// Wizard page 2: the combustible units, as the model offers them.
#pragma once

#include "BasePropertyPage.h"

#include <array>

class QButtonGroup;
class QLabel;
class QRadioButton;

class CUnitsPage : public CBasePropertyPage
{
    Q_OBJECT
public:
    static constexpr int ButtonCount = 4;

    explicit CUnitsPage(CWizardSheet *sheet);

    void OnEnter(bool forward) override;
    int Answer(int choice, QString *text) const override;

    QRadioButton *Button(int n) const { return m_buttons[size_t(n - 1)]; } // n 1..4
    QLabel *ModelText() const { return m_model; }

private:
    void Select(int n); // 0 clears every button
    void UpdateButtons();

    QLabel *m_model = nullptr;
    QButtonGroup *m_group = nullptr;
    std::array<QRadioButton *, ButtonCount> m_buttons{};
};
