// An operator at the test box who answers every question Yes (or OK) and keeps the messages shown.
#pragma once

#include "platform/UserPrompt.h"

#include <QStringList>

class AgreeingOperator : public IUserPrompt
{
public:
    QStringList messages;
    void Message(const QString &, const QString &text, Icon) override { messages.append(text); }
    bool AskYesNo(const QString &, const QString &) override { return true; }
    bool AskOkCancel(const QString &, const QString &) override { return true; }
};
