// Wizard page 3: the special gas.
#include "SpecialGasPage.h"

#include "WizardSheet.h"
#include "firmware/WizardTables.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const char *const ModelTitle = "Model";
const char *const UnitsTitle = "Combustible Units";
const char *const GasTitle = "Special Gas";
} // namespace

CSpecialGasPage::CSpecialGasPage(CWizardSheet *sheet) : CBasePropertyPage(sheet)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ChoiceBox(QString::fromLatin1(ModelTitle), &m_model));
    layout->addWidget(ChoiceBox(QString::fromLatin1(UnitsTitle), &m_units));
    auto *box = new QGroupBox(QString::fromLatin1(GasTitle), this);
    auto *boxLayout = new QVBoxLayout(box);
    m_list = new QComboBox(box);
    boxLayout->addWidget(m_list);
    layout->addWidget(box);
    layout->addStretch(1);
    connect(m_list, &QComboBox::currentIndexChanged, this, &CSpecialGasPage::UpdateButtons);
}

void CSpecialGasPage::OnEnter(bool forward)
{
    // Coming back keeps the gas chosen before, when the list is the same.
    const QString before = m_list->currentText();
    m_list->clear();
    QString model, units;
    Query(CWizardSheet::ModelChoice, &model);
    const int unitsChoice = Query(CWizardSheet::UnitsChoice, &units);
    m_model->setText(model);
    m_units->setText(units);

    const CWizardTables::GasList list = CWizardTables::SpecialGasCase(CWizardTables::ModelNumber(model), unitsChoice);
    if (list == CWizardTables::GasList::None) {
        UpdateButtons();
        Skip(forward);
        return;
    }
    m_list->addItems(CWizardTables::SpecialGases(list));
    if (forward)
        m_list->setCurrentIndex(CWizardTables::SpecialGasPreset(list) - 1);
    else
        m_list->setCurrentIndex(m_list->findText(before));
    UpdateButtons();
}

void CSpecialGasPage::UpdateButtons()
{
    SetButtons(true, m_list->currentIndex() >= 0);
}

int CSpecialGasPage::Answer(int choice, QString *text) const
{
    if (choice != CWizardSheet::SpecialGasChoice)
        return 0;
    const int index = m_list->currentIndex();
    if (text)
        *text = index >= 0 ? m_list->itemText(index) : QString();
    return index + 1;
}
