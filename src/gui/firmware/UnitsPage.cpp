// Wizard page 2: the combustible units.
#include "UnitsPage.h"

#include "WizardSheet.h"
#include "firmware/WizardTables.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const char *const ModelTitle = "Model";
const char *const UnitsTitle = "Combustible Units";
} // namespace

CUnitsPage::CUnitsPage(CWizardSheet *sheet) : CBasePropertyPage(sheet)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ChoiceBox(QString::fromLatin1(ModelTitle), &m_model));
    auto *box = new QGroupBox(QString::fromLatin1(UnitsTitle), this);
    auto *boxLayout = new QVBoxLayout(box);
    m_group = new QButtonGroup(this);
    for (int n = 1; n <= ButtonCount; ++n) {
        auto *b = new QRadioButton(CWizardTables::UnitsButtonText(n), box);
        m_buttons[size_t(n - 1)] = b;
        m_group->addButton(b, n);
        boxLayout->addWidget(b);
    }
    layout->addWidget(box);
    layout->addStretch(1);
    connect(m_group, &QButtonGroup::idClicked, this, &CUnitsPage::UpdateButtons);
}

void CUnitsPage::Select(int n)
{
    // An exclusive group never lets the last button go.
    m_group->setExclusive(false);
    for (int i = 1; i <= ButtonCount; ++i)
        Button(i)->setChecked(i == n);
    m_group->setExclusive(true);
}

void CUnitsPage::OnEnter(bool forward)
{
    QString model;
    Query(CWizardSheet::ModelChoice, &model);
    m_model->setText(model);
    if (forward) {
        for (QRadioButton *b : m_buttons)
            b->setVisible(true);
        Select(1);
    }
    const CWizardTables::UnitsLayout units = CWizardTables::Units(CWizardTables::ModelNumber(model));
    if (!units.applies) {
        Select(0);
        UpdateButtons();
        Skip(forward);
        return;
    }
    if (!units.keepTexts) {
        for (int n = 1; n <= ButtonCount; ++n) {
            const bool shown = n <= units.texts.size();
            if (shown)
                Button(n)->setText(units.texts[n - 1]);
            Button(n)->setVisible(shown);
        }
        if (units.alwaysSelected)
            Select(1);
    }
    UpdateButtons();
}

void CUnitsPage::UpdateButtons()
{
    SetButtons(true, m_group->checkedId() > 0);
}

int CUnitsPage::Answer(int choice, QString *text) const
{
    if (choice != CWizardSheet::UnitsChoice)
        return 0;
    const int n = qMax(0, m_group->checkedId());
    if (text)
        *text = n ? Button(n)->text() : QString();
    return n;
}
