// Wizard page 1: the model.
#include "ModelPage.h"

#include "WizardSheet.h"
#include "firmware/WizardTables.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const char *const Prompt = "Please select the model";
}

CModelPage::CModelPage(CWizardSheet *sheet) : CBasePropertyPage(sheet)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromLatin1(Prompt), this));
    m_list = new QComboBox(this);
    m_list->addItems(CWizardTables::Models());
    m_list->setCurrentIndex(-1);
    layout->addWidget(m_list);
    layout->addStretch(1);
    // Typed keys choose by position; the list's own type-ahead never sees them.
    m_list->installEventFilter(this);
    installEventFilter(this);
    connect(m_list, &QComboBox::currentIndexChanged, this, &CModelPage::UpdateButtons);
}

void CModelPage::OnEnter(bool)
{
    m_list->setCurrentIndex(-1);
    m_keys.Reset();
    UpdateButtons();
}

void CModelPage::UpdateButtons()
{
    SetButtons(false, m_list->currentIndex() >= 0);
}

int CModelPage::Answer(int choice, QString *text) const
{
    if (choice != CWizardSheet::ModelChoice)
        return 0;
    const int index = m_list->currentIndex();
    if (text)
        *text = index >= 0 ? m_list->itemText(index) : QString();
    return index + 1;
}

bool CModelPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text[0].isPrint()) {
            for (const QChar c : text) {
                if (const auto typed = m_keys.Type(c))
                    m_list->setCurrentIndex(CModelKeySelector::SelectionFor(*typed, m_list->count()));
            }
            return true;
        }
    }
    return CBasePropertyPage::eventFilter(watched, event);
}
