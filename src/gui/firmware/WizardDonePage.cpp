// Wizard page 6: what to do for the next instrument.
#include "WizardDonePage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
const char *const Lines[] = {
    "To do another instrument with the same options, connect the new instrument and hit Back.",
    "To do another instrument with new options, connect the new instrument and hit Start Over.",
    "To quit, hit Cancel",
};
} // namespace

CWizardDonePage::CWizardDonePage(CWizardSheet *sheet) : CBasePropertyPage(sheet)
{
    auto *layout = new QVBoxLayout(this);
    for (const char *line : Lines) {
        auto *label = new QLabel(QString::fromLatin1(line), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    setFinalPage(true);
}

void CWizardDonePage::OnEnter(bool)
{
    SetButtons(true, true);
}
