// The ID dialog.
#include "FormIdDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <QRegularExpression>

namespace {
namespace Text {
const char *const Line1 = "Line 1";
const char *const Line2 = "Line 2";
const char *const Accept = "Accept";
const char *const Cancel = "Cancel";
} // namespace Text

// Trailing blanks are padding, not text the user has to delete first.
QString Shown(const QString &half)
{
    static const QRegularExpression trailing(QStringLiteral(" +$"));
    return half.left(8).remove(trailing);
}
} // namespace

CFormIdDialog::CFormIdDialog(const QString &title, const QString &line1, const QString &line2, QWidget *parent)
    : QDialog(parent), m_line1(new QLineEdit(this)), m_line2(new QLineEdit(this))
{
    setWindowTitle(title);
    // The instrument keeps 16 characters: two display lines of 8.
    m_line1->setMaxLength(8);
    m_line2->setMaxLength(8);
    m_line1->setText(Shown(line1));
    m_line2->setText(Shown(line2));
    auto *form = new QFormLayout;
    form->addRow(QString::fromLatin1(Text::Line1), m_line1);
    form->addRow(QString::fromLatin1(Text::Line2), m_line2);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *accept = buttons->addButton(QString::fromLatin1(Text::Accept), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromLatin1(Text::Cancel), QDialogButtonBox::RejectRole);
    accept->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString CFormIdDialog::Line1() const
{
    return m_line1->text().leftJustified(8, QLatin1Char(' '), true);
}

QString CFormIdDialog::Line2() const
{
    return m_line2->text().leftJustified(8, QLatin1Char(' '), true);
}
