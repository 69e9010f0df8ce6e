// Message boxes for the core's prompts.
#include "GuiPrompt.h"

#include "CommandIds.h"
#include "ToolbarIcons.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
QMessageBox::Icon BoxIcon(IUserPrompt::Icon icon)
{
    switch (icon) {
    case IUserPrompt::Icon::Information:
        return QMessageBox::Information;
    case IUserPrompt::Icon::Warning:
        return QMessageBox::Warning;
    case IUserPrompt::Icon::Stop:
        return QMessageBox::Critical;
    case IUserPrompt::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void CGuiPrompt::Message(const QString &caption, const QString &text, Icon icon)
{
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool CGuiPrompt::AskYesNo(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

bool CGuiPrompt::AskOkCancel(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, m_parent);
    QPushButton *ok = nullptr;
    if (caption == QLatin1String("Serial Connection")) {
        // The reconnection question answers with the upload button itself.
        ok = box.addButton(QString(), QMessageBox::AcceptRole);
        ok->setIcon(CToolbarIcons::Icon(CommandId::Upload));
        ok->setIconSize(QSize(32, 32));
        ok->setToolTip(QStringLiteral("Upload"));
        box.setIcon(QMessageBox::Information);
    } else {
        ok = box.addButton(QMessageBox::Ok);
        box.setIcon(QMessageBox::Question);
    }
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok;
}
