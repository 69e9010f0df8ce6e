// How the history's composite fields are written into a column and read back: times, differences, gas names, settings taken from an options text.
#pragma once

#include "HistoryTypes.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

class CHistoryFields
{
public:
    // Milliseconds since 1970 UTC; a null QVariant for an invalid time.
    static QVariant Ms(const QDateTime &time);
    static QDateTime FromMs(const QVariant &value);

    static QString DifferencesText(const QList<HistoryDifference> &differences);
    static QList<HistoryDifference> Differences(const QString &text);

    static QString SensorsText(const LogSensors &sensors);
    static LogSensors Sensors(const QString &text);

    // What the instrument row takes from a snapshot's options text.
    struct SettingsFacts
    {
        int calIntervalDays = 0;
        bool bumpTestRequired = false;
        QDateTime lastCalDate; // the settings' LastCalDate, midnight UTC; invalid when absent
        QString instrumentId;
    };
    static SettingsFacts Facts(const QString &optionsText);
};
