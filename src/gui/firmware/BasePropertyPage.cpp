// The base of the wizard's pages.
#include "BasePropertyPage.h"

#include "WizardSheet.h"

#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

CBasePropertyPage::CBasePropertyPage(CWizardSheet *sheet) : QWizardPage(sheet), m_sheet(sheet) {}

CInstrumentDoc &CBasePropertyPage::Document() const
{
    return m_sheet->Document();
}

void CBasePropertyPage::Enter(bool forward)
{
    m_skipped = false;
    OnEnter(forward);
}

void CBasePropertyPage::SetButtons(bool back, bool next)
{
    m_backEnabled = back;
    if (m_nextEnabled != next) {
        m_nextEnabled = next;
        emit completeChanged();
    }
    // The sheet sets its own Back state after every change of page or
    // completeness; the page's word comes after it.
    if (m_sheet->currentPage() == this)
        m_sheet->SetBackEnabled(back);
}

void CBasePropertyPage::Skip(bool forward)
{
    m_skipped = true;
    m_nextEnabled = true;
    // Pressed once the sheet has finished showing this page.
    QTimer::singleShot(0, m_sheet, [sheet = m_sheet, self = this, forward] {
        if (sheet->currentPage() != self)
            return;
        if (forward)
            sheet->GoNext();
        else
            sheet->GoBack();
    });
}

int CBasePropertyPage::Query(int choice, QString *text) const
{
    return m_sheet->Query(choice, text);
}

QGroupBox *CBasePropertyPage::ChoiceBox(const QString &title, QLabel **text)
{
    auto *box = new QGroupBox(title, this);
    auto *layout = new QVBoxLayout(box);
    *text = new QLabel(box);
    (*text)->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    layout->addWidget(*text);
    return box;
}
