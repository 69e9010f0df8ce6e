// Wizard page 4: the firmware file.
#include "HexFilePage.h"

#include "HexFileDialog.h"
#include "WizardSheet.h"
#include "platform/Preferences.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char *const ModelTitle = "Model";
const char *const UnitsTitle = "Combustible Units";
const char *const GasTitle = "Special Gas";
const char *const FileTitle = "Hex File";
const char *const Browse = "Browse";
} // namespace

CHexFilePage::CHexFilePage(CWizardSheet *sheet) : CBasePropertyPage(sheet)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ChoiceBox(QString::fromLatin1(ModelTitle), &m_model));
    layout->addWidget(ChoiceBox(QString::fromLatin1(UnitsTitle), &m_units));
    layout->addWidget(ChoiceBox(QString::fromLatin1(GasTitle), &m_gas));
    auto *box = new QGroupBox(QString::fromLatin1(FileTitle), this);
    auto *row = new QHBoxLayout(box);
    m_file = new QLineEdit(box);
    m_file->setMaxLength(CWizardSheet::MaxAnswerLength);
    m_file->setText(CPreferences::GetString(QString::fromLatin1(Pref::Wizard), QString::fromLatin1(Pref::HexFile)));
    m_browse = new QPushButton(QString::fromLatin1(Browse), box);
    row->addWidget(m_file, 1);
    row->addWidget(m_browse);
    layout->addWidget(box);
    layout->addStretch(1);
    connect(m_file, &QLineEdit::textChanged, this, &CHexFilePage::UpdateButtons);
    connect(m_browse, &QPushButton::clicked, this,
            [this] { m_file->setText(CHexFileDialog::Choose(this, m_file->text())); });
}

void CHexFilePage::OnEnter(bool)
{
    QString text;
    Query(CWizardSheet::ModelChoice, &text);
    m_model->setText(text);
    Query(CWizardSheet::UnitsChoice, &text);
    m_units->setText(text);
    Query(CWizardSheet::SpecialGasChoice, &text);
    m_gas->setText(text);
    UpdateButtons();
}

void CHexFilePage::UpdateButtons()
{
    SetButtons(true, !m_file->text().isEmpty());
}

int CHexFilePage::Answer(int choice, QString *text) const
{
    if (choice != CWizardSheet::HexFileChoice)
        return 0;
    if (text)
        *text = m_file->text();
    return 1;
}

bool CHexFilePage::validatePage()
{
    CPreferences::SetString(QString::fromLatin1(Pref::Wizard), QString::fromLatin1(Pref::HexFile), m_file->text());
    return true;
}
