// Wizard page 5: programs the instrument with the chosen file and configuration.
#pragma once

#include "BasePropertyPage.h"
#include "firmware/WizardProgrammer.h"

#include <memory>

class IUserPrompt;
class QLabel;
class QProgressBar;

class CProgramPage : public CBasePropertyPage
{
    Q_OBJECT
public:
    explicit CProgramPage(CWizardSheet *sheet);
    ~CProgramPage() override;

    void OnEnter(bool forward) override;
    // Next: programs, and stays, until the instrument is done.
    bool validatePage() override;

    void SetPrompt(IUserPrompt *prompt);
    CWizardProgrammer &Programmer() const { return *m_programmer; }
    QLabel *StatusText() const { return m_status; }
    QProgressBar *Progress() const { return m_progress; }
    QLabel *ChoiceText(int choice) const; // 1 model .. 4 hex file

private:
    void OnState(CWizardProgrammer::State state);

    std::unique_ptr<IUserPrompt> m_ownPrompt;
    IUserPrompt *m_prompt = nullptr;
    std::unique_ptr<CWizardProgrammer> m_programmer;
    QLabel *m_model = nullptr;
    QLabel *m_units = nullptr;
    QLabel *m_gas = nullptr;
    QLabel *m_file = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
};
