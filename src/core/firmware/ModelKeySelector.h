// Picks a model-list entry from two digits typed in a row on the wizard's model page.
#pragma once

#include <QChar>
#include <optional>

/*
 * Production staff key the model's list position rather than scroll: "0"
 * then "2" selects the second entry. Any character that is not a digit drops
 * a half-typed pair; after a complete pair the next digit starts a new one.
 * The page swallows every typed character, so the list's own type-ahead never
 * sees them.
 */
class CModelKeySelector
{
public:
    // The two-digit number (0 to 99) once the second digit of a pair arrives.
    std::optional<int> Type(QChar c);
    void Reset() { m_firstDigit = -1; }

    // The 0-based list index a typed number selects, or -1 to clear the
    // selection when there is no such entry (as "00" or "99" on a short list).
    static int SelectionFor(int typed, int entryCount)
    {
        return typed >= 1 && typed <= entryCount ? typed - 1 : -1;
    }

private:
    int m_firstDigit = -1;
};
