// How the core asks the user something without owning a window: the program
// answers with dialogs, the command line with its switches and the terminal,
// tests with scripted answers.
#pragma once

#include <QString>

class IUserPrompt
{
public:
    enum class Icon { Information, Warning, Stop, Question };

    virtual ~IUserPrompt() = default;
    virtual void Message(const QString &caption, const QString &text, Icon icon) = 0;
    // true for Yes.
    virtual bool AskYesNo(const QString &caption, const QString &text) = 0;
    // true for OK.
    virtual bool AskOkCancel(const QString &caption, const QString &text) = 0;
};

// Answers nothing and says nothing: for operations run without anyone present.
class CSilentPrompt final : public IUserPrompt
{
public:
    explicit CSilentPrompt(bool answer = false) : m_answer(answer) {}
    void Message(const QString &, const QString &, Icon) override {}
    bool AskYesNo(const QString &, const QString &) override { return m_answer; }
    bool AskOkCancel(const QString &, const QString &) override { return m_answer; }

private:
    bool m_answer;
};
