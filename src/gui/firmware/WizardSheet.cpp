// The configuration wizard's sheet.
#include "WizardSheet.h"

#include "BasePropertyPage.h"
#include "HexFilePage.h"
#include "ModelPage.h"
#include "ProgramPage.h"
#include "SpecialGasPage.h"
#include "UnitsPage.h"
#include "WizardDonePage.h"

#include <QAbstractButton>

namespace {
namespace Text {
const char *const Next = "&Next >";
const char *const Back = "< &Back";
const char *const Cancel = "Cancel";
const char *const StartOver = "&Start Over";
} // namespace Text
} // namespace

CWizardSheet::CWizardSheet(CInstrumentDoc &doc, QWidget *parent) : QWizard(parent), m_doc(doc)
{
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::NoDefaultButton, false);
    setButtonText(QWizard::NextButton, QString::fromLatin1(Text::Next));
    setButtonText(QWizard::BackButton, QString::fromLatin1(Text::Back));
    setButtonText(QWizard::CancelButton, QString::fromLatin1(Text::Cancel));
    // The done page is the last: its Next is the finish button under the
    // name the instrument line knows it by.
    setButtonText(QWizard::FinishButton, QString::fromLatin1(Text::StartOver));
    setButtonLayout({QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton,
                     QWizard::CancelButton});

    setPage(ModelPageId, new CModelPage(this));
    setPage(UnitsPageId, new CUnitsPage(this));
    setPage(SpecialGasPageId, new CSpecialGasPage(this));
    setPage(HexFilePageId, new CHexFilePage(this));
    setPage(ProgramPageId, new CProgramPage(this));
    setPage(DonePageId, new CWizardDonePage(this));
    setStartId(ModelPageId);

    connect(this, &QWizard::currentIdChanged, this, &CWizardSheet::OnPageChanged);
}

CBasePropertyPage *CWizardSheet::Page(int id) const
{
    return qobject_cast<CBasePropertyPage *>(page(id));
}

int CWizardSheet::Query(int choice, QString *text) const
{
    for (int id = 0; id < PageCount; ++id) {
        QString answer;
        const int n = Page(id) ? Page(id)->Answer(choice, &answer) : 0;
        if (n) {
            if (text)
                *text = answer.left(MaxAnswerLength);
            return n;
        }
    }
    if (text)
        text->clear();
    return 0;
}

void CWizardSheet::GoNext()
{
    m_explicit = 1;
    next();
    m_explicit = 0;
}

void CWizardSheet::GoBack()
{
    m_explicit = -1;
    back();
    m_explicit = 0;
}

void CWizardSheet::StartOver()
{
    m_explicit = 1;
    restart();
    m_explicit = 0;
}

void CWizardSheet::accept()
{
    StartOver();
}

void CWizardSheet::reject()
{
    emit CancelRequested();
}

void CWizardSheet::SetBackEnabled(bool enabled)
{
    m_backEnabled = enabled;
    if (QAbstractButton *b = button(QWizard::BackButton))
        b->setEnabled(enabled && currentId() != startId());
}

void CWizardSheet::OnPageChanged(int id)
{
    if (id < 0)
        return;
    // The buttons the user pressed are told apart by where they led.
    m_forward = m_explicit ? m_explicit > 0 : id > m_lastId;
    m_lastId = id;
    if (CBasePropertyPage *p = Page(id))
        p->Enter(m_forward);
}
