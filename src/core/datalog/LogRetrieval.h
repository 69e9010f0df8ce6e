// The data log of the log window: fetching it from the instrument record by record, the entries, the sessions and the session in view.
#pragma once

#include "datalog/LogDecoder.h"
#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"
#include "datalog/LogSession.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <functional>

class CInstrumentDoc;
class IUserPrompt;
struct CReplyNotice;

/*
 * Idle -> Start -> start pending -> (log status 136) retrieving -> (end
 * record, update 1) idle with sessions. Load replaces the entries in one go.
 *
 * The conversation, all through the document:
 *   Start        read the clock (7 bytes at 0) and the log status
 *   136          "Z"; open "Uploading Log" over the seconds from the log's
 *                start to the clock read at Start
 *   346 ("Z")    a "Start of data log" entry at the log's start, then "!"
 *   0            decode the record, then "!" for the next
 *   10000        "?" when no record came since the last tick (a lost record
 *                or request is fetched again; there is no retry limit)
 *   1            an "End of data log" entry at the clock read at Start, the
 *                sessions, then the save and clear questions
 *   10002        the instrument is gone: the upload stops with the entries
 *                received so far and their sessions, asking nothing
 * Updates 0 and 1 are shared with programming, whose notices carry a
 * negative status; those, and everything while not retrieving, are ignored.
 *
 * Entry times carry the instrument's wall-clock fields in UTC, like every
 * LogRecord.
 */
class CLogRetrieval : public QObject
{
    Q_OBJECT
public:
    static const QString ProgressCaption;    // "Uploading Log"
    static const QString QuestionCaption;
    static const QString SaveQuestion;       // "Would you like to save the data ?"
    static const QString ClearQuestion;      // "Would you like to clear the log ?"
    static const QString NoSessionQuestion;  // "No sessions retrieved.\nTry again ?"

    explicit CLogRetrieval(CInstrumentDoc &doc, QObject *parent = nullptr);

    CInstrumentDoc &Document() const { return m_doc; }
    // Who answers the questions after an upload; none asks nothing.
    void SetPrompt(IUserPrompt *prompt) { m_prompt = prompt; }
    // "Save" as the window runs it; true only when the file was written.
    void SetSaveHandler(std::function<bool()> save) { m_save = std::move(save); }

    // Asks for the configuration words (ranges) and the toxic table, so that
    // names and divisors are the instrument's before a log is fetched.
    void RequestTables();
    void Start();
    // A log read from a file: the entries and the sensors of its heading;
    // `sessions` are LogSession::Find of the entries when already known.
    void SetLoaded(const QList<LogRecord> &entries, const LogSensors &sensors);
    void SetLoaded(const QList<LogRecord> &entries, const LogSensors &sensors, const QList<LogSession> &sessions);
    // Empties the log (before a load).
    void Clear();

    const QList<LogRecord> &Entries() const { return m_entries; }
    const QList<LogSession> &Sessions() const { return m_sessions; }
    const LogSensors &Sensors() const { return m_sensors; }
    bool LiveSensors() const { return m_live; }
    bool StartPending() const { return m_startPending; }
    bool Retrieving() const { return m_retrieving; }
    bool Busy() const { return m_startPending || m_retrieving; }
    // The instrument clock read at Start (the end of the log).
    QDateTime ClockAtStart() const { return m_clock; }
    QDateTime LogStart() const { return m_logStart; }

    // -1 when no session is shown.
    int CurrentSession() const { return m_current; }
    // Ignored outside the session list.
    void SelectSession(int index);
    void PreviousSession() { if (m_current > 0) SelectSession(m_current - 1); }
    void NextSession() { if (m_current + 1 < m_sessions.size()) SelectSession(m_current + 1); }

    // The document's news; connected to its Updated signal.
    void OnUpdate(int code, const CReplyNotice &notice);

signals:
    // The entries were emptied.
    void Cleared();
    void EntriesAdded(int first, int count);
    // Sessions found after an upload or a load (possibly none).
    void SessionsFound();
    void CurrentSessionChanged(int index);
    // Toxic names or divisors changed: headings and group labels follow.
    void SensorsChanged();
    // Start pending or retrieving changed.
    void StateChanged();

private:
    void Append(const LogRecord &entry);
    void FindSessions();
    void ShowSessions(const QList<LogSession> &sessions);
    void Finish();
    void Abandon();
    void AskAfterUpload();
    void RefreshSensors();
    void SetState(bool startPending, bool retrieving);

    CInstrumentDoc &m_doc;
    IUserPrompt *m_prompt = nullptr;
    std::function<bool()> m_save;
    LogDecoder m_decoder;
    QList<LogRecord> m_entries;
    QList<LogSession> m_sessions;
    LogSensors m_sensors;
    bool m_live = true;
    bool m_fileShown = false;
    bool m_startPending = false;
    bool m_retrieving = false;
    bool m_recordArrived = false;
    QByteArray m_lastRecord; // bytes of the last log record taken, to spot a repeat of it
    QDateTime m_clock;
    QDateTime m_logStart;
    int m_current = -1;
};
