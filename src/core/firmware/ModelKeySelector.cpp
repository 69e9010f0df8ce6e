// Picks a model-list entry from two digits typed in a row on the wizard's model page.
#include "firmware/ModelKeySelector.h"

std::optional<int> CModelKeySelector::Type(QChar c)
{
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
        Reset();
        return std::nullopt;
    }
    const int digit = c.unicode() - '0';
    if (m_firstDigit < 0) {
        m_firstDigit = digit;
        return std::nullopt;
    }
    const int typed = m_firstDigit * 10 + digit;
    Reset();
    return typed;
}
