// The filled state of a settings form.
#include "FormSnapshot.h"

#include "FormRadioGroup.h"

#include <QComboBox>
#include <QLineEdit>

void CFormSnapshot::Take(const QList<QWidget *> &controls)
{
    for (const QWidget *c : controls)
        m_states.insert(c, State(c));
}

void CFormSnapshot::Forget(const QList<QWidget *> &controls)
{
    for (const QWidget *c : controls)
        m_states.remove(c);
}

bool CFormSnapshot::Changed(const QWidget *control) const
{
    const auto it = m_states.constFind(control);
    return it == m_states.constEnd() || *it != State(control);
}

QList<QWidget *> CFormSnapshot::Unchanged() const
{
    QList<QWidget *> controls;
    for (auto it = m_states.constBegin(); it != m_states.constEnd(); ++it) {
        if (*it == State(it.key()))
            controls.append(const_cast<QWidget *>(it.key()));
    }
    return controls;
}

QString CFormSnapshot::State(const QWidget *control)
{
    if (const auto *list = qobject_cast<const QComboBox *>(control))
        return QString::number(list->currentIndex()) + QLatin1Char('\n') + list->currentText();
    if (const auto *group = qobject_cast<const CFormRadioGroup *>(control))
        return QString::number(group->Value());
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    return {};
}
