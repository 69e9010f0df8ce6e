// An operator who answers each question as the test's script says, by the
// question's exact text (Yes to any question the script does not name), and
// keeps every prompt in the order it came.
#pragma once

#include "platform/UserPrompt.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>

class ScriptedOperator : public IUserPrompt
{
public:
    enum class Kind { Message, YesNo, OkCancel };
    struct Prompt
    {
        Kind kind;
        QString caption;
        QString text;
        bool answer; // what was answered; true for a message
    };

    // The answer to a question, by its exact text.
    void Answer(const QString &text, bool yes) { m_answers.insert(text, yes); }
    // Runs before each question is answered, with the text and the answer
    // about to be given: an operator who acts on the box as they answer.
    std::function<void(const QString &text, bool answer)> beforeAnswer;

    QList<Prompt> prompts;
    QStringList messages;  // the messages' texts, in order
    QStringList questions; // the questions' texts, in order

    void Message(const QString &caption, const QString &text, Icon) override
    {
        prompts.append({Kind::Message, caption, text, true});
        messages.append(text);
    }
    bool AskYesNo(const QString &caption, const QString &text) override { return Ask(Kind::YesNo, caption, text); }
    bool AskOkCancel(const QString &caption, const QString &text) override { return Ask(Kind::OkCancel, caption, text); }

private:
    bool Ask(Kind kind, const QString &caption, const QString &text)
    {
        const bool answer = m_answers.value(text, true);
        if (beforeAnswer)
            beforeAnswer(text, answer);
        prompts.append({kind, caption, text, answer});
        questions.append(text);
        return answer;
    }

    QHash<QString, bool> m_answers;
};
