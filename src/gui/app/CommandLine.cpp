// Command-line switches of the windowed program.
#include "CommandLine.h"

CCommandLine CCommandLine::Parse(const QStringList &args)
{
    CCommandLine line;
    for (const QString &arg : args) {
        // "/name" is a switch as on Windows; "/a/b" is an absolute path here.
        const bool slashSwitch = arg.startsWith(QLatin1Char('/')) && arg.indexOf(QLatin1Char('/'), 1) < 0;
        const bool isSwitch = slashSwitch || (arg.startsWith(QLatin1Char('-')) && arg.size() > 1);
        QString name;
        if (arg.startsWith(QLatin1String("--")))
            name = arg.mid(2);
        else if (isSwitch)
            name = arg.mid(1);
        if (name.compare(QLatin1String("new"), Qt::CaseInsensitive) == 0)
            line.m_newInstrument = true;
        else if (name.compare(QLatin1String("new?"), Qt::CaseInsensitive) == 0)
            line.m_askNewInstrument = true;
        else if (name.compare(QLatin1String("simulate"), Qt::CaseInsensitive) == 0)
            line.m_simulate = true;
        else if (name.startsWith(QLatin1String("log-records="), Qt::CaseInsensitive))
            line.m_logRecords = qMax(0, name.mid(12).toInt()); // the simulated instrument's log size
        else if (!isSwitch)
            line.m_files.append(arg);
    }
    return line;
}
