// The board test's prompt window.
#include "BoardTestPrompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CBoardTestPrompt::CBoardTestPrompt(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setModal(false);
    m_text = new QLabel(this);
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(360);
    m_text->setTextFormat(Qt::PlainText);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    connect(m_cancel, &QPushButton::clicked, this, &CBoardTestPrompt::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
}

void CBoardTestPrompt::SetPrompt(const QString &title, const QString &text)
{
    setWindowTitle(title);
    m_text->setText(text);
}

QString CBoardTestPrompt::Text() const
{
    return m_text->text();
}

void CBoardTestPrompt::reject()
{
    // The sequence decides what a closed prompt means and hides the window.
    emit Cancelled();
}
