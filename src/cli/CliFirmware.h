// The command-line program's flash commands: "program" and "wizard".
#pragma once

#include <QString>

class CCliSession;

class CCliFirmware
{
public:
    // What "wizard" was told; 0 where an option was not given.
    struct WizardOptions
    {
        int model = 0; // the model number the list shows (48) or its list position (1)
        int units = 0; // units button 1 to 4
        int gas = 0;   // special-gas list position
    };

    // Programs the file; the boot-area comparison's mismatches go to stderr
    // and stop the run. Returns a CliExit status.
    static int Program(CCliSession &session, const QString &hexFile);
    // Checks the choices as the wizard's pages would offer them, then
    // programs the file and writes the configuration. Returns a CliExit status.
    static int Wizard(CCliSession &session, const WizardOptions &options, const QString &hexFile);
    // The choices checked without an instrument; false with *error saying
    // what the pages would not offer.
    static bool ResolveChoices(const WizardOptions &options, int *model, QString *modelText, int *units,
                               QString *unitsText, int *gas, QString *gasText, QString *error);
};
