// Message boxes of the programming view and the wizard: the mismatch question
// carries the exclamation icon with OK and Cancel.
#pragma once

#include "platform/UserPrompt.h"

#include <QPointer>
#include <QWidget>

class CFirmwarePrompt final : public IUserPrompt
{
public:
    explicit CFirmwarePrompt(QWidget *parent) : m_parent(parent) {}

    void Message(const QString &caption, const QString &text, Icon icon) override;
    bool AskYesNo(const QString &caption, const QString &text) override;
    bool AskOkCancel(const QString &caption, const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};
