// What every benchmark that runs the simulator sets first: preferences in a temporary folder, never the user's, and the simulator this build made.
#pragma once

#include <QByteArray>
#include <QStandardPaths>
#include <QTemporaryDir>

inline void UseBenchSettings(const QTemporaryDir &settings)
{
    QStandardPaths::setTestModeEnabled(true);
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    qputenv("ALTAVO_SIM", ALTAVO_SIM_PATH);
}
