// The configuration wizard's choice tables and the rules by which its pages apply.
#include "firmware/WizardTables.h"

QStringList CWizardTables::Models()
{
    return {QStringLiteral("48: ALTAVO, SOIL VAPOR"), QStringLiteral("49: ALTAVO, FUEL VAPOR")};
}

int CWizardTables::ModelNumber(const QString &entryText)
{
    qsizetype i = 0;
    while (i < entryText.size() && (entryText[i] == QLatin1Char(' ') || entryText[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < entryText.size() && (entryText[i] == QLatin1Char('-') || entryText[i] == QLatin1Char('+'))) {
        negative = entryText[i] == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < entryText.size() && entryText[i] >= QLatin1Char('0') && entryText[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (entryText[i].unicode() - '0');
        if (value > 1000000) // far beyond any model number; stop before overflow
            break;
    }
    return int(negative ? -value : value);
}

QString CWizardTables::UnitsButtonText(int n)
{
    return QStringLiteral("Combustible Units %1").arg(n);
}

CWizardTables::UnitsLayout CWizardTables::Units(int modelNumber)
{
    UnitsLayout layout;
    if (modelNumber == 2 || (modelNumber >= 12 && modelNumber <= 43)) {
        layout.texts = QStringList{QStringLiteral("%LEL CH4 (0 - 100% LEL Methane)"),
                                   QStringLiteral("%VOL CH4 (0.0 - 5.0% VOL Methane)"),
                                   QStringLiteral("%LEL HC (All Other Gases)"), QStringLiteral("%LEL HEX (Hexane)")};
    } else if (modelNumber >= 44 && modelNumber <= 47) {
        layout.texts = QStringList{QStringLiteral("PPM %LEL %GAS (0 - 100% LEL Methane)"),
                                   QStringLiteral("PPM %LOW %HI (0 - 5.0% VOL Methane)"),
                                   QStringLiteral("PPM %LEL %HC (Hydrogen or Propane)")};
    } else if (modelNumber == 48 || modelNumber == 49 || modelNumber == 52) {
        layout.texts = QStringList{QStringLiteral("%LEL HEX")};
        layout.alwaysSelected = true;
    } else if (modelNumber == 50 || modelNumber == 51) {
        layout.texts = QStringList{QStringLiteral("%LEL H2")};
        layout.alwaysSelected = true;
    } else if (modelNumber > 52) {
        layout.keepTexts = true;
    } else {
        layout.applies = false; // 0, 1, 3 to 11, and anything below 0
    }
    return layout;
}

CWizardTables::GasList CWizardTables::SpecialGasCase(int modelNumber, int unitsChoice)
{
    if (unitsChoice != SpecialGasUnitsChoice)
        return GasList::None;
    if ((modelNumber >= 3 && modelNumber <= 11) || (modelNumber >= 48 && modelNumber <= 52))
        return GasList::None;
    if (modelNumber >= 44 && modelNumber <= 47)
        return GasList::HydrogenOrPropane;
    return GasList::General;
}

QStringList CWizardTables::SpecialGases(GasList list)
{
    switch (list) {
    case GasList::HydrogenOrPropane:
        return {QStringLiteral("Hydrogen (H2)"), QStringLiteral("Propane")};
    case GasList::General:
        return {QStringLiteral("Acetone"),
                QStringLiteral("Acrylonitrile"),
                QStringLiteral("Benzene"),
                QStringLiteral("Butadiene"),
                QStringLiteral("Carbon Monoxide"),
                QStringLiteral("Chloroform"),
                QStringLiteral("Dimethyl Formamide"),
                QStringLiteral("Ethyl Acetate"),
                QStringLiteral("Ethyl Alcohol"),
                QStringLiteral("Formaldehyde"),
                QStringLiteral("Heptane"),
                QStringLiteral("Hydrogen (H2)"),
                QStringLiteral("Methyl Chloroform"),
                QStringLiteral("Methyl Ethyl Ketone"),
                QStringLiteral("Methylene Chloride"),
                QStringLiteral("Pentane"),
                QStringLiteral("Perchloroethylene"),
                QStringLiteral("Propane"),
                QStringLiteral("Propyl Acetate"),
                QStringLiteral("Propyl Alcohol"),
                QStringLiteral("Styrene"),
                QStringLiteral("Toluene"),
                QStringLiteral("Trichloroethylene")};
    case GasList::None:
        break;
    }
    return {};
}

int CWizardTables::SpecialGasPreset(GasList list)
{
    switch (list) {
    case GasList::HydrogenOrPropane:
        return 1; // "Hydrogen (H2)"
    case GasList::General:
        return 18; // "Propane"
    case GasList::None:
        break;
    }
    return 0;
}
