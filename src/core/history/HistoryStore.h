// The instrument history: one database (an SQLite file or a PostgreSQL server) holding every instrument, settings snapshot, log entry, calibration, firmware run and board test, with a spool for what the database could not take.
#pragma once

#include "HistorySpool.h"
#include "HistoryTypes.h"
#include "datalog/LogRecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class CHistoryDatabase;
class CHistoryWriter;

/*
 * Locations:
 *   empty                           the default SQLite file, DefaultFile()
 *   /path/file.db, sqlite:/path     an SQLite file (created on first use)
 *   postgresql://user@host[:port]/db[?host=/socket/dir]
 *
 * Open() only fails on a location that can never work: a bad URL, a file
 * that is not a history database or is damaged (the error names it), a
 * schema newer than this program. A server that is down, a locked or
 * read-only file open "degraded": every write goes to the spool file and
 * HasWarning() is true; the next write or ReplaySpool() tries the database
 * again and, once it answers, replays the spool first. A write never throws
 * or blocks the caller for longer than the database's busy wait.
 *
 * Writes are idempotent: instruments by serial, log entries by their
 * natural key (instrument, time, a hash of the decoded entry and its
 * occurrence among equal entries), snapshots, retrievals, firmware runs and
 * board tests by their opKey. Fill opKey with NewOpKey() (the Record*
 * functions do it when it is empty).
 *
 * Queries read the database only (not the spool) and return empty results
 * when it cannot be read; ErrorString() then says why.
 */
class CHistoryStore : public QObject
{
    Q_OBJECT
public:
    explicit CHistoryStore(QObject *parent = nullptr);
    ~CHistoryStore() override;

    // The default SQLite file in the user's data folder, the same for the
    // windowed program and altavo-cli.
    static QString DefaultFile();
    // The location the preferences name ("History" / "Location"); empty
    // means DefaultFile(). The windows' preference dialog sets it; a
    // password in it is never kept.
    static QString PreferredLocation();
    static void SetPreferredLocation(const QString &location);
    static QString NewOpKey();
    // The computer's and the user's names as snapshots record them.
    static QString ComputerName();
    static QString UserName();

    bool Open(const QString &location = QString());
    void Close();
    bool IsOpen() const;
    // True when the database answered at the last attempt.
    bool IsConnected() const;
    // True when the database can be read, even if it refused the last write
    // (a viewer's spool waiting for someone allowed to write it).
    bool IsReadable() const;
    // The location as shown to the user (no password).
    QString Location() const;
    // "SQLite" or "PostgreSQL".
    QString EngineName() const;
    QString ErrorString() const;
    // How long a write waits for another program's lock on an SQLite file
    // before it goes to the spool (default 10 s). Set before Open().
    void SetBusyTimeout(int ms) { m_busyMs = ms; }
    // Every write goes to the spool without trying the database (a program
    // that is closing and must not wait for a server).
    void SetSpoolOnly(bool on) { m_spoolOnly = on; }
    // The spool file a store opened on this location uses; empty for a bad location.
    static QString SpoolFileFor(const QString &location);
    // The schema version the database had when it was opened (0: created
    // now); the current version after a migration is CHistorySchema::CurrentVersion.
    int FoundSchemaVersion() const;

    // ---- the spool ----
    // True while records wait in the spool (or the database failed).
    bool HasWarning() const;
    // e.g. "History database /x/history.db is read-only: 3 records wait in /y/history.spool".
    QString WarningText() const;
    int SpooledCount() const;
    QString SpoolFile() const;
    // Tries the database and writes what waits in the spool. True when the
    // spool is empty afterwards.
    bool ReplaySpool();

    // ---- writes ----
    // Creates or updates the instrument's row (first seen kept, last seen
    // moved on, empty fields keep what the row had).
    HistoryWriteResult RecordInstrument(const HistoryInstrument &instrument);
    // Also takes the calibration interval and bump-test switch from the
    // options text into the instrument's row.
    HistoryWriteResult RecordSnapshot(const HistorySnapshot &snapshot);
    // Stores the entries the history does not hold yet and derives their
    // calibrations and bump tests; retrieval.entryCount, firstEntry and
    // lastEntry are filled in from the entries. result.added counts new entries.
    HistoryWriteResult RecordLog(const HistoryLogRetrieval &retrieval, const QList<LogRecord> &entries);
    HistoryWriteResult RecordFirmwareRun(const HistoryFirmwareRun &run);
    HistoryWriteResult RecordBoardTest(const HistoryBoardTest &result);

    // ---- queries ----
    std::optional<HistoryInstrument> Instrument(const QString &serial) const;
    // Every instrument, by serial; overdue judged at `now`.
    QList<HistoryFleetRow> Fleet(const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    // Instruments whose calibration or bump test falls due within `days`
    // days of `now` (overdue ones included), soonest first.
    QList<HistoryFleetRow> Due(int days, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    // Transfers, retrievals, calibrations, bump tests, firmware runs and
    // board tests of one instrument, newest first.
    QList<HistoryTimelineItem> Timeline(const QString &serial) const;
    std::optional<HistorySnapshot> Snapshot(qint64 id) const;
    // Newest first.
    QList<HistorySnapshot> Snapshots(const QString &serial) const;
    QList<HistoryLogRetrieval> Retrievals(const QString &serial) const;
    // Oldest first (the calibration record).
    QList<HistoryCalibration> Calibrations(const QString &serial) const;
    QList<HistoryFirmwareRun> FirmwareRuns(const QString &serial) const;
    QList<HistoryBoardTest> BoardTests(const QString &serial) const;
    // The stored entries in log order, ready for the log window
    // (CLogRetrieval::LoadEntries-style use). retrievalId 0: every entry of
    // the instrument; otherwise the entries in that retrieval's time span.
    QList<LogRecord> LogEntries(const QString &serial, qint64 retrievalId = 0) const;
    qint64 LogEntryCount(const QString &serial) const;

signals:
    // HasWarning() or WarningText() changed.
    void WarningChanged();

private:
    using WriteStep = std::function<qint64(CHistoryWriter &writer, qint64 *added, QString *error)>;
    HistoryWriteResult Store(const CHistorySpool::Record &record, const WriteStep &write);
    HistoryWriteResult Spool(const CHistorySpool::Record &record);
    // Runs one write in its own transaction; the row id, or -1.
    qint64 Transaction(const WriteStep &write, qint64 *added, QString *error);
    // The write in a transaction of its own; false (and the failure noted) when the database did not take it.
    bool WriteNow(const WriteStep &write, HistoryWriteResult *result);
    CHistorySpool::Outcome ReplayOne(const CHistorySpool::Record &record);
    bool Connect();
    void NoteFailure(const QString &error);
    void UpdateWarning();
    bool SpoolWaits() const;

    std::unique_ptr<CHistoryDatabase> m_db;
    std::unique_ptr<CHistorySpool> m_spool;
    QString m_shown;
    QString m_error;     // why Open failed, or the last query's failure
    QString m_dbError;   // why the database cannot be written now
    int m_busyMs = 10000;
    bool m_open = false;
    bool m_warning = false;
    bool m_spoolOnly = false;
    QString m_warningText;
};
