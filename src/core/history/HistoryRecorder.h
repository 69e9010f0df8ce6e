// Writes the history at the points where an operation on the instrument has completed, the same way for the command-line program and the windows.
#pragma once

#include "HistoryStore.h"
#include "HistoryTypes.h"
#include "datalog/LogRecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class CBoardTestSequence;
class CHistoryWorker;
class CInstrumentDoc;
class CLogRetrieval;
class CProgrammingEngine;
struct CDownloadDifference;

/*
 * The recorder reads what it records from the document (identity words,
 * settings image, tables) at the moment it is told an operation completed,
 * so it must be told after the operation's last reply has been handled.
 * Without a store (none given, or SetStore(nullptr) for --no-history) every
 * call does nothing. Nothing here can fail an operation: a history that
 * cannot be written spools (see CHistoryStore) and the outcome goes to
 * LastResult() and the Recorded signal only.
 *
 * With a worker (SetWorker, the windows) the records are made from the
 * document here and written on the worker's thread in the order they were
 * made; LastResult() and Recorded follow once the worker has written them.
 *
 * The Watch* functions connect to an engine's own completion signals, for
 * callers that hold the engine anyway (the windows). The direct calls are
 * for callers that follow the operation themselves (the command-line
 * program); call one or the other for an operation, not both.
 */
class CHistoryRecorder : public QObject
{
    Q_OBJECT
public:
    explicit CHistoryRecorder(CInstrumentDoc &doc, CHistoryStore *store = nullptr, QObject *parent = nullptr);
    ~CHistoryRecorder() override;

    void SetStore(CHistoryStore *store);
    CHistoryStore *Store() const { return m_store.data(); }
    // Writes through the worker instead of a store of this thread.
    void SetWorker(CHistoryWorker *worker);
    bool IsRecording() const;

    // The document holds a complete upload: identity, configuration,
    // tables, settings and the 81 ID entries.
    void UploadDone();
    // A download was read back; verified when differences is empty.
    void DownloadVerified(const QList<CDownloadDifference> &differences);
    // The instrument answered (identity read): its row only, last seen now.
    void InstrumentSeen();
    // A log retrieval from the instrument ended with these entries (a cut
    // retrieval records what arrived); sensors as CLogRetrieval::Sensors().
    void LogRetrieved(const QList<LogRecord> &entries, const LogSensors &sensors = LogSensors());
    // A firmware run ended (Done, Failed or Cancelled). The serial is the one
    // the engine stamped, or the document's when none was.
    void FirmwareRunDone(const QString &hexFile, bool passed, const QString &result, quint32 stampedSerial = 0);
    // A board-test group ended.
    void BoardTestGroupDone(const QString &group, bool passed, const QString &detail = QString());

    // Records every instrument retrieval this log object completes (not
    // logs loaded from a file).
    void WatchLog(CLogRetrieval &log);
    // Records the engine's runs as they end; hexFile() names the file of the run.
    void WatchProgramming(CProgrammingEngine &engine, std::function<QString()> hexFile);
    // Records each group as the sequence finishes it.
    void WatchBoardTest(CBoardTestSequence &sequence);

    // The instrument's serial as the document holds it ("%08X"), empty when
    // the identity words were never read or are erased.
    QString CurrentSerial() const;

    const HistoryWriteResult &LastResult() const { return m_last; }
    // Writes what the Watch* connections have queued (they write from the
    // event loop, never inside the reply handling that ended the
    // operation). The destructor flushes too.
    void Flush();

signals:
    // After each write attempt (stored or spooled); what names the kind:
    // "upload", "download", "log", "firmware", "boardtest".
    void Recorded(const QString &what, const HistoryWriteResult &result);

private:
    using Job = std::function<HistoryWriteResult(CHistoryStore &)>;
    void Note(const QString &what, const HistoryWriteResult &result);
    // Runs the write on the store, or posts it to the worker.
    void Write(const QString &what, Job job);
    HistoryInstrument InstrumentNow() const;
    // The instrument's row as the document names it; false (and noted) when it has no serial number.
    bool KnownInstrument(const QString &what, HistoryInstrument *instrument);
    void RecordSnapshot(int kind, bool verified, const QList<HistoryDifference> &differences);
    void Later(std::function<void()> write);

    CInstrumentDoc &m_doc;
    QPointer<CHistoryStore> m_store;
    QPointer<CHistoryWorker> m_worker;
    HistoryWriteResult m_last;
    QList<std::function<void()>> m_pending;
    bool m_flushQueued = false;
};
