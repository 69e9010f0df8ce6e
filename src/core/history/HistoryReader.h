// The history's queries: the fleet, the due list, an instrument's timeline, snapshots, retrievals, calibrations and stored log entries.
#pragma once

#include "HistoryTypes.h"
#include "datalog/LogRecord.h"

#include <QList>
#include <QString>
#include <optional>

class CHistoryDatabase;

// Each query returns what it could read; *error is set when the database failed.
class CHistoryReader
{
public:
    explicit CHistoryReader(const CHistoryDatabase &db) : m_db(db) {}

    std::optional<HistoryInstrument> Instrument(const QString &serial, QString *error) const;
    QList<HistoryFleetRow> Fleet(const QDateTime &now, QString *error) const;
    QList<HistoryFleetRow> Due(int days, const QDateTime &now, QString *error) const;
    QList<HistorySnapshot> Snapshots(const QString &serial, qint64 id, QString *error) const;
    QList<HistoryLogRetrieval> Retrievals(const QString &serial, qint64 id, QString *error) const;
    QList<HistoryCalibration> Calibrations(const QString &serial, QString *error) const;
    QList<HistoryFirmwareRun> FirmwareRuns(const QString &serial, QString *error) const;
    QList<HistoryBoardTest> BoardTests(const QString &serial, QString *error) const;
    QList<HistoryTimelineItem> Timeline(const QString &serial, QString *error) const;
    QList<LogRecord> LogEntries(const QString &serial, qint64 retrievalId, QString *error) const;
    qint64 LogEntryCount(const QString &serial, QString *error) const;

private:
    QList<HistoryFleetRow> Rows(const QString &where, const QDateTime &now, const QDateTime &until, QString *error) const;

    const CHistoryDatabase &m_db;
};
