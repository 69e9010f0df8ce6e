// Radio button groups of the settings forms.
#include "FormRadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

CFormRadioGroup::CFormRadioGroup(const QString &title, const QStringList &buttons, int columns, QWidget *parent)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this))
{
    auto *grid = new QGridLayout(this);
    columns = qMax(1, columns);
    for (int i = 0; i < buttons.size(); ++i) {
        auto *b = new QRadioButton(buttons[i], this);
        m_group->addButton(b, i);
        m_buttons.append(b);
        grid->addWidget(b, i / columns, i % columns);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &CFormRadioGroup::Clicked);
}

int CFormRadioGroup::Value() const
{
    return m_group->checkedId();
}

void CFormRadioGroup::SetValue(int index)
{
    // An exclusive group will not let its last checked button go.
    m_group->setExclusive(false);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setChecked(i == index);
    m_group->setExclusive(true);
}

QRadioButton *CFormRadioGroup::Button(int index) const
{
    return (index >= 0 && index < m_buttons.size()) ? m_buttons[index] : nullptr;
}
