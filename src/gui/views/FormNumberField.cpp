// Number fields of the live forms.
#include "FormNumberField.h"

#include "FormValueList.h"

CFormNumberField::CFormNumberField(const QString &format, QWidget *parent) : QLabel(parent), m_format(format)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-00000.000")) + 8);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void CFormNumberField::SetFormat(const QString &format)
{
    const double v = Value();
    m_format = format;
    if (!text().isEmpty())
        SetValue(v);
}

void CFormNumberField::SetValue(double value)
{
    // The formats are the program's own constants, never user text.
    setText(QString::asprintf(m_format.toLatin1().constData(), value));
}

double CFormNumberField::Value() const
{
    return CFormValueList::LeadingNumber(text());
}
