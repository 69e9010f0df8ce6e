// The core's questions and messages as message boxes over the main window.
#pragma once

#include "platform/UserPrompt.h"

#include <QPointer>
#include <QWidget>

class CGuiPrompt final : public IUserPrompt
{
public:
    explicit CGuiPrompt(QWidget *parent) : m_parent(parent) {}

    void Message(const QString &caption, const QString &text, Icon icon) override;
    bool AskYesNo(const QString &caption, const QString &text) override;
    bool AskOkCancel(const QString &caption, const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};
