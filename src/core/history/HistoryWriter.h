// The history's write statements, run inside a transaction the caller holds.
#pragma once

#include "HistoryTypes.h"
#include "datalog/LogRecord.h"

#include <QList>
#include <QString>

class CHistoryDatabase;

/*
 * Every write looks for its opKey first: a record already stored (a spool
 * replayed twice, a replay after a write that did get through) is done
 * already and changes nothing. The functions return the row id, 0 when the
 * record is skipped, -1 on a database error (*error says why); the caller
 * then rolls back, so nothing is stored half.
 */
class CHistoryWriter
{
public:
    explicit CHistoryWriter(CHistoryDatabase &db) : m_db(db) {}

    // Upserts by serial; returns the instrument's row id.
    qint64 Instrument(const HistoryInstrument &instrument, QString *error);
    qint64 Snapshot(const HistorySnapshot &snapshot, QString *error);
    // *added: entries that were new.
    qint64 Log(const HistoryLogRetrieval &retrieval, const QList<LogRecord> &entries, qint64 *added, QString *error);
    qint64 FirmwareRun(const HistoryFirmwareRun &run, QString *error);
    qint64 BoardTest(const HistoryBoardTest &result, QString *error);

    // A log retrieval's row as it stands, without entries or calibrations.
    bool InsertRetrieval(qint64 instrument, const HistoryLogRetrieval &row, QString *error);
    // Calibrations the history does not hold yet; *added (when given) counts
    // those stored.
    bool StoreCalibrations(qint64 instrument, const QList<HistoryCalibration> &found, QString *error, qint64 *added = nullptr);
    // The id of table's row made by the operation opKey; 0 when there is
    // none, -1 on a failure.
    qint64 Existing(const char *table, const QString &opKey, QString *error);

    // Works out the instrument's last calibration and bump test and their due
    // dates from its calibration rows and newest settings.
    bool RefreshDue(qint64 instrument, QString *error);
    // The data step after the statements that take the schema from version
    // `from` to `from + 1`.
    bool Upgraded(int from, QString *error);

private:
    // Finds every instrument's calibrations again from its stored events (to
    // version 2; the due dates follow in the step to version 3).
    bool RederiveAll(QString *error);
    qint64 InstrumentFor(const QString &serial, const QDateTime &time, QString *error);
    // The row of the serial, made when missing; last seen stays as it is.
    qint64 KnownInstrument(const QString &serial, const QDateTime &time, QString *error);
    qint64 LastId(const char *table, const QString &opKey, QString *error);
    QString Greatest() const;
    QString Least() const;

    CHistoryDatabase &m_db;
};
