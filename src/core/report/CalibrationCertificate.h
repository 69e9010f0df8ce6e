// The calibration record's certificate part: for each calibration, the calibration gases and alarm levels the instrument's settings held then, each sensor's result, and who brought it into the history.
#pragma once

#include "history/HistoryTypes.h"

#include <QList>
#include <QString>

/*
 * The settings in force at a calibration are the newest snapshot taken at or
 * before it; a calibration older than every snapshot shows the oldest one,
 * and says that it was read later. The values are the options text's, which
 * the settings views write (calibration gases and levels in shown units);
 * the combustible unit comes from the instrument's configuration text, the
 * toxic ones from the gas names as the views give them.
 *
 * The computer and user are those of the retrieval that first brought the
 * calibration's log into the history (the oldest one whose span holds it).
 */
class CCalibrationCertificate
{
public:
    // calibrations: oldest first; snapshots and retrievals: any order.
    static QString Html(const QList<HistoryCalibration> &calibrations, const QList<HistorySnapshot> &snapshots,
                        const QList<HistoryLogRetrieval> &retrievals, const QString &configuration);

    // The settings one snapshot gives a sensor (0 HC, 1 O2, 2 Toxic 1, 3 Toxic 2).
    struct SensorSettings
    {
        QString name;    // "HC", "O2", "CO"
        QString unit;    // "%LEL", "%VOL", "PPM"
        QString calGas;  // empty when the settings have none
        QString warning;
        QString high;
        bool fitted = false;
    };
    static SensorSettings Settings(const QString &optionsText, int sensor, const QString &configuration);
};
