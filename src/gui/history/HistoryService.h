// The windowed program's instrument history: the store chosen in the preferences, the recorder on the document, and the watches that tell it when operations complete.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class CHistoryRecorder;
class CHistoryWorker;
struct HistoryState;
class CInstrumentDoc;
class CInstrumentView;
class CUploadWatch;

/*
 * Nothing here can stop an operation on the instrument: a database that
 * cannot be opened leaves the store closed (OpenError() says why, and the
 * recorder records nothing), one that cannot be written spools, and both
 * show as a warning until they are mended.
 *
 * The store lives on the worker's thread: opening, writing, replaying the
 * spool and the history windows' reads all run there, in order, and the
 * windows hear of the outcome by signal. Going away, the service writes
 * what the recorder still holds and joins the worker within its bound, so a
 * record made just before the program closes ends in the database or in the
 * spool.
 */
class CHistoryService : public QObject
{
    Q_OBJECT
public:
    explicit CHistoryService(CInstrumentDoc &doc, QObject *parent = nullptr);
    ~CHistoryService() override;

    // Opens the location (empty: the default SQLite file) on the worker.
    // False at once for an address that can never work; a file that is not
    // a history database is found there and told by Opened(false).
    bool Open(const QString &location);
    // Opens the location the preferences name.
    bool OpenStored();

    CHistoryWorker &Worker() const { return *m_worker; }
    // The store as the worker last saw it (location, spool, warning).
    const HistoryState &State() const;
    CHistoryRecorder &Recorder() const { return *m_recorder; }
    QString OpenError() const { return m_openError; }
    // Empty when all is well; otherwise one line for the status bar.
    QString WarningText() const;
    // The longer explanation behind it (tool tip).
    QString WarningDetail() const;

    // A view has just opened: the ones that complete operations (log
    // window, programming, board test) are watched; history windows get
    // the store.
    void Attach(CInstrumentView *view);

signals:
    // An Open has ended (ok: the store is open, maybe degraded).
    void Opened(bool ok);
    // The warning changed, or the store was reopened.
    void WarningChanged();
    // Something was written (or spooled), or another database was opened:
    // history windows read again.
    void HistoryChanged();

private:
    CInstrumentDoc &m_doc;
    std::unique_ptr<CHistoryWorker> m_worker;
    std::unique_ptr<CHistoryRecorder> m_recorder;
    std::unique_ptr<CUploadWatch> m_uploads;
    QString m_openError;
};
