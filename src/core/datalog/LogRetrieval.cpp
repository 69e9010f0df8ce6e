// Fetching the data log record by record, session detection and the questions after an upload.
#include "datalog/LogRetrieval.h"

#include "datalog/LogSensorSource.h"
#include "document/InstrumentDoc.h"
#include "platform/UserPrompt.h"

#include <QTimer>
#include <limits>

const QString CLogRetrieval::ProgressCaption = QStringLiteral("Uploading Log");
const QString CLogRetrieval::QuestionCaption = QStringLiteral("Log View");
const QString CLogRetrieval::SaveQuestion = QStringLiteral("Would you like to save the data ?");
const QString CLogRetrieval::ClearQuestion = QStringLiteral("Would you like to clear the log ?");
const QString CLogRetrieval::NoSessionQuestion = QStringLiteral("No sessions retrieved.\nTry again ?");

namespace {
// The instrument's clock fields as a log time: its wall clock, no time zone.
QDateTime WallClock(const QDateTime &t)
{
    return t.isValid() ? QDateTime(t.date(), t.time(), Qt::UTC) : QDateTime();
}
} // namespace

CLogRetrieval::CLogRetrieval(CInstrumentDoc &doc, QObject *parent) : QObject(parent), m_doc(doc)
{
    connect(&doc, &CInstrumentDoc::Updated, this, &CLogRetrieval::OnUpdate);
    m_sensors = LogSensorSource::Live(doc.Settings());
}

void CLogRetrieval::RequestTables()
{
    m_doc.ReadConfigurationA();
    m_doc.ReadConfigurationB();
    m_doc.ReadToxicTableCount();
}

void CLogRetrieval::Start()
{
    if (Busy())
        return;
    m_live = true;
    m_fileShown = false;
    RefreshSensors();
    Clear();
    m_clock = QDateTime();
    m_logStart = QDateTime();
    m_doc.ReadClock();
    m_doc.ReadLogStatus();
    SetState(true, false);
}

void CLogRetrieval::Clear()
{
    m_entries.clear();
    m_sessions.clear();
    m_current = -1;
    emit Cleared();
    emit CurrentSessionChanged(-1);
}

void CLogRetrieval::SetLoaded(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    if (!Busy())
        SetLoaded(entries, sensors, LogSession::Find(entries));
}

void CLogRetrieval::SetLoaded(const QList<LogRecord> &entries, const LogSensors &sensors,
                              const QList<LogSession> &sessions)
{
    if (Busy())
        return;
    Clear();
    m_live = false;
    m_fileShown = true;
    m_sensors = sensors;
    emit SensorsChanged();
    m_entries = entries;
    if (!m_entries.isEmpty())
        emit EntriesAdded(0, int(m_entries.size()));
    ShowSessions(sessions);
}

void CLogRetrieval::SelectSession(int index)
{
    if (index < 0 || index >= m_sessions.size() || index == m_current)
        return;
    m_current = index;
    emit CurrentSessionChanged(index);
}

void CLogRetrieval::OnUpdate(int code, const CReplyNotice &notice)
{
    switch (code) {
    case UpdateCode::Clock:
        if (m_startPending)
            m_clock = WallClock(m_doc.Settings().GetClock());
        break;
    case UpdateCode::LogStatus: {
        if (!m_startPending)
            break;
        m_logStart = WallClock(m_doc.LogStartTime());
        if (!m_clock.isValid())
            m_clock = WallClock(m_doc.Settings().GetClock());
        m_decoder = LogDecoder(m_sensors);
        m_decoder.SetRunningDate(m_logStart.date());
        m_lastRecord.clear();
        m_doc.LogUploadStart();
        SetState(false, true);
        m_recordArrived = false;
        CTransferProgress &progress = m_doc.LogProgress();
        progress.Show(ProgressCaption);
        const qint64 span = m_logStart.secsTo(m_clock);
        progress.SetRange(0, int(qBound(qint64(0), span, qint64(std::numeric_limits<int>::max()))));
        progress.SetPosition(0);
        break;
    }
    case UpdateCode::LogUploadStart:
        if (!m_retrieving)
            break;
        Append(LogRecord::Marker(LogRecord::StartOfLog, m_logStart));
        m_doc.LogNext();
        break;
    case UpdateCode::LogData: {
        if (!m_retrieving || notice.status < 0)
            break;
        if (notice.repeat && !m_lastRecord.isEmpty() && notice.data == m_lastRecord) {
            // "?" after a lost "!" brings back the record the instrument sent
            // last; when that is the one already taken, the "!" itself was
            // lost and the instrument has not moved on.
            m_doc.LogNext();
            m_recordArrived = true;
            break;
        }
        m_lastRecord = notice.data;
        const int before = int(m_entries.size());
        m_decoder.Decode(notice.data, m_entries);
        if (m_entries.size() > before) {
            emit EntriesAdded(before, int(m_entries.size()) - before);
            if (m_entries.size() % 10 == 1) {
                const qint64 at = m_logStart.secsTo(m_entries.constLast().time);
                m_doc.LogProgress().SetPosition(int(qBound(qint64(0), at, qint64(std::numeric_limits<int>::max()))));
            }
        }
        m_doc.LogNext();
        m_recordArrived = true;
        break;
    }
    case UpdateCode::EndProgramming:
        if (m_retrieving && notice.status >= 0)
            Finish();
        break;
    case UpdateCode::Poll:
        if (m_retrieving && !m_recordArrived)
            m_doc.LogRepeat();
        m_recordArrived = false;
        break;
    case UpdateCode::CommunicationsLost:
        // A log read from a file needs no instrument.
        if (m_fileShown)
            m_doc.ClearErrorFlag();
        else if (Busy())
            Abandon();
        break;
    case UpdateCode::Settings:
    case UpdateCode::ToxicRecord:
        RefreshSensors();
        break;
    case UpdateCode::WordBlock:
        for (int r = 0; r < 4; ++r) {
            if (CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, r)) {
                RefreshSensors();
                break;
            }
        }
        break;
    default:
        break;
    }
}

void CLogRetrieval::Append(const LogRecord &entry)
{
    m_entries.append(entry);
    emit EntriesAdded(int(m_entries.size()) - 1, 1);
}

void CLogRetrieval::FindSessions()
{
    ShowSessions(LogSession::Find(m_entries));
}

void CLogRetrieval::ShowSessions(const QList<LogSession> &sessions)
{
    m_sessions = sessions;
    m_current = -1;
    emit SessionsFound();
    if (!m_sessions.isEmpty())
        SelectSession(0);
    else
        emit CurrentSessionChanged(-1);
}

void CLogRetrieval::Finish()
{
    Append(LogRecord::Marker(LogRecord::EndOfLog, m_clock));
    m_doc.LogProgress().Close();
    SetState(false, false);
    FindSessions();
    if (m_prompt) {
        // Asked after the reply has been handled, so a modal question never
        // sits inside the link's bookkeeping.
        QTimer::singleShot(0, this, &CLogRetrieval::AskAfterUpload);
    }
}

void CLogRetrieval::Abandon()
{
    // The document has emptied its queues and closed the bar, and an
    // instrument that was unplugged may come back switched off and on,
    // out of its upload: waiting on would keep Save and Start locked for
    // good. What arrived is kept without an end entry, since the log did
    // not end there. No questions: clearing a log that was only partly
    // read would lose the rest of it.
    const bool retrieving = m_retrieving;
    m_recordArrived = false;
    SetState(false, false);
    if (!retrieving)
        return;
    FindSessions();
    // Said once the reply handling is over, so the list of what arrived is
    // never mistaken for the whole log.
    if (m_prompt) {
        const int received = int(m_entries.size());
        QTimer::singleShot(0, this, [this, received] {
            m_prompt->Message(QuestionCaption,
                              QStringLiteral("The log upload stopped after %1 entries: the instrument stopped "
                                             "answering.\nThe list holds only what arrived; the instrument's "
                                             "log is unchanged.")
                                  .arg(received),
                              IUserPrompt::Icon::Warning);
        });
    }
}

void CLogRetrieval::AskAfterUpload()
{
    if (!m_prompt || Busy())
        return;
    if (m_sessions.isEmpty()) {
        if (m_prompt->AskYesNo(QuestionCaption, NoSessionQuestion))
            Start();
        return;
    }
    // Clearing is offered only when the log is safe: saved, or not wanted.
    // After a failed or abandoned save the instrument keeps the only copy.
    if (m_prompt->AskYesNo(QuestionCaption, SaveQuestion)) {
        if (!m_save || !m_save())
            return;
    }
    if (m_prompt->AskYesNo(QuestionCaption, ClearQuestion))
        m_doc.StartLogClear();
}

void CLogRetrieval::RefreshSensors()
{
    const LogSensors sensors = m_live ? LogSensorSource::Live(m_doc.Settings())
                                      : LogSensorSource::ForFile(m_doc.Settings(), m_sensors);
    if (sensors == m_sensors)
        return;
    m_sensors = sensors;
    // A log being fetched keeps the divisors it started with, so that its
    // values are all on one scale; its headings follow the names.
    emit SensorsChanged();
}

void CLogRetrieval::SetState(bool startPending, bool retrieving)
{
    if (startPending == m_startPending && retrieving == m_retrieving)
        return;
    m_startPending = startPending;
    m_retrieving = retrieving;
    emit StateChanged();
}
