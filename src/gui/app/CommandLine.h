// What the program was started with: the new-instrument switches, the
// simulated instrument, and anything else given on the command line.
#pragma once

#include <QStringList>

class CCommandLine
{
public:
    // args without the program name. "/new" and "-new" in any case turn on
    // new-instrument mode, "/new?" asks first; "--simulate" (or "/simulate",
    // "-simulate") runs on a simulated instrument.
    static CCommandLine Parse(const QStringList &args);

    bool NewInstrument() const { return m_newInstrument; }
    bool AskNewInstrument() const { return m_askNewInstrument; }
    bool Simulate() const { return m_simulate; }
    // "--log-records=N": the simulated instrument holds a generated log of N records.
    int LogRecords() const { return m_logRecords; }
    // Arguments that are not switches: file names, which the program cannot open.
    QStringList Files() const { return m_files; }

private:
    bool m_newInstrument = false;
    bool m_askNewInstrument = false;
    bool m_simulate = false;
    int m_logRecords = 0;
    QStringList m_files;
};
