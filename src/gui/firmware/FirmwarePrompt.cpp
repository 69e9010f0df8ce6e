// Message boxes of the programming view and the wizard.
#include "FirmwarePrompt.h"

#include <QMessageBox>

void CFirmwarePrompt::Message(const QString &caption, const QString &text, Icon icon)
{
    const QMessageBox::Icon shown = icon == Icon::Stop      ? QMessageBox::Critical
                                    : icon == Icon::Warning ? QMessageBox::Warning
                                    : icon == Icon::Question ? QMessageBox::Question
                                                             : QMessageBox::Information;
    QMessageBox box(shown, caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool CFirmwarePrompt::AskYesNo(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

bool CFirmwarePrompt::AskOkCancel(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}
