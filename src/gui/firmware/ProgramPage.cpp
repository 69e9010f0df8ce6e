// Wizard page 5: programming.
#include "ProgramPage.h"

#include "FirmwarePrompt.h"
#include "WizardSheet.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char *const ModelTitle = "Model";
const char *const UnitsTitle = "Combustible Units";
const char *const GasTitle = "Special Gas";
const char *const FileTitle = "Hex File";
} // namespace

CProgramPage::CProgramPage(CWizardSheet *sheet)
    : CBasePropertyPage(sheet),
      m_ownPrompt(std::make_unique<CFirmwarePrompt>(sheet)),
      m_programmer(std::make_unique<CWizardProgrammer>(sheet->Document()))
{
    m_prompt = m_ownPrompt.get();
    m_programmer->Engine().SetPrompt(m_prompt);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ChoiceBox(QString::fromLatin1(ModelTitle), &m_model));
    layout->addWidget(ChoiceBox(QString::fromLatin1(UnitsTitle), &m_units));
    layout->addWidget(ChoiceBox(QString::fromLatin1(GasTitle), &m_gas));
    layout->addWidget(ChoiceBox(QString::fromLatin1(FileTitle), &m_file));
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_status = new QLabel(this);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addStretch(1);

    connect(m_programmer.get(), &CWizardProgrammer::StateChanged, this, &CProgramPage::OnState);
    connect(&m_programmer->Engine(), &CProgrammingEngine::ProgressChanged, this, [this](int position, int maximum) {
        m_progress->setRange(0, qMax(maximum, 1));
        m_progress->setValue(position);
    });
}

CProgramPage::~CProgramPage() = default;

void CProgramPage::SetPrompt(IUserPrompt *prompt)
{
    m_prompt = prompt ? prompt : m_ownPrompt.get();
    m_programmer->Engine().SetPrompt(m_prompt);
}

QLabel *CProgramPage::ChoiceText(int choice) const
{
    switch (choice) {
    case CWizardSheet::ModelChoice: return m_model;
    case CWizardSheet::UnitsChoice: return m_units;
    case CWizardSheet::SpecialGasChoice: return m_gas;
    case CWizardSheet::HexFileChoice: return m_file;
    default: return nullptr;
    }
}

void CProgramPage::OnEnter(bool)
{
    CWizardProgrammer::Choices c;
    c.model = Query(CWizardSheet::ModelChoice, &c.modelText);
    c.units = Query(CWizardSheet::UnitsChoice, &c.unitsText);
    c.gas = Query(CWizardSheet::SpecialGasChoice, &c.gasText);
    Query(CWizardSheet::HexFileChoice, &c.hexFile);
    m_model->setText(c.modelText);
    m_units->setText(c.unitsText);
    m_gas->setText(c.gasText);
    m_file->setText(c.hexFile);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_programmer->Enter(c);
    OnState(m_programmer->GetState());
}

bool CProgramPage::validatePage()
{
    if (m_programmer->GetState() == CWizardProgrammer::Finished)
        return true;
    if (!m_programmer->Program())
        m_prompt->Message(QStringLiteral("Configuration Wizard"), m_programmer->ErrorString(), IUserPrompt::Icon::Stop);
    return false;
}

void CProgramPage::OnState(CWizardProgrammer::State state)
{
    m_status->setText(CWizardProgrammer::StateText(state));
    switch (state) {
    case CWizardProgrammer::Ready:
        SetButtons(true, true);
        break;
    case CWizardProgrammer::Finished:
        SetButtons(false, true);
        // The instrument is done: on to the last page without a click.
        QTimer::singleShot(0, Sheet(), [sheet = Sheet(), self = this] {
            if (sheet->currentPage() == self)
                sheet->GoNext();
        });
        break;
    case CWizardProgrammer::Error:
        SetButtons(true, false);
        break;
    default:
        break;
    }
}
