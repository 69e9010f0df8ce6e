// The configuration wizard's choice tables and the rules by which its pages apply.
#pragma once

#include <QString>
#include <QStringList>

/*
 * Models are keyed by model number, the integer the model entry's text starts
 * with ("48: ..." is model 48). The units page and the special-gas page both
 * decide by that number, so the two pages stay in step when the model list
 * grows: models 44 to 47 offer "PPM %LEL %HC (Hydrogen or Propane)" as their
 * third units choice and get the hydrogen-or-propane gas list; models 2 and
 * 12 to 43 offer "%LEL HC (All Other Gases)" and get the general list.
 */
class CWizardTables
{
public:
    // What the units page shows for a model.
    struct UnitsLayout
    {
        // False: the page clears all its buttons and skips itself.
        bool applies = true;
        // Models the table does not know (above 52): the buttons keep whatever
        // texts they had, all four shown.
        bool keepTexts = false;
        // The buttons shown, in order; the others are hidden. Empty when keepTexts.
        QStringList texts;
        // True: the one choice is selected whichever way the page is entered.
        // Otherwise the first choice is preset only when moving forward.
        bool alwaysSelected = false;
    };

    enum class GasList { None, HydrogenOrPropane, General };
    enum class PageMove { Stay, Next, Back };

    // The units choice (1 to 4) after which a special gas is asked for.
    static constexpr int SpecialGasUnitsChoice = 3;

    // Page 1 entries, position 1 first.
    static QStringList Models();
    // The integer the text starts with (leading blanks and a sign allowed); 0 when none.
    static int ModelNumber(const QString &entryText);

    // Button texts before any model has set them (n = 1 to 4).
    static QString UnitsButtonText(int n);
    static UnitsLayout Units(int modelNumber);

    // None when the special-gas page skips itself.
    static GasList SpecialGasCase(int modelNumber, int unitsChoice);
    static QStringList SpecialGases(GasList list);
    // 1-based position preset when the page is entered moving forward; 0 for None.
    static int SpecialGasPreset(GasList list);

    static bool UnitsPageApplies(int modelNumber) { return Units(modelNumber).applies; }
    static bool SpecialGasPageApplies(int modelNumber, int unitsChoice)
    {
        return SpecialGasCase(modelNumber, unitsChoice) != GasList::None;
    }
    // A page that does not apply passes itself in the direction the user was going.
    static PageMove SkipMove(bool applies, bool forward)
    {
        return applies ? PageMove::Stay : (forward ? PageMove::Next : PageMove::Back);
    }
};
