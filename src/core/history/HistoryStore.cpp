// The instrument history store: the database when it answers, the spool when it does not.
#include "history/HistoryStore.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryLocation.h"
#include "history/HistoryReader.h"
#include "history/HistorySpoolCodec.h"
#include "history/HistoryWriter.h"
#include "platform/Preferences.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUuid>

namespace {
// The program's own folder under the user's data folder, named alike for
// every program of the suite so that they share one history.
QString DataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
           + QLatin1String(Pref::Organisation) + QLatin1Char('/') + QLatin1String(Pref::Application);
}

const QString PreferenceSection = QStringLiteral("History");
const QString PreferenceKey = QStringLiteral("Location");

// Beside an SQLite file when its folder can be written; otherwise, and for
// a server, in the user's data folder under a name made from the location.
QString SpoolPathFor(const CHistoryLocation &location)
{
    if (location.engine == CHistoryLocation::SQLite) {
        const QFileInfo db(location.file);
        const QFileInfo folder(db.absolutePath());
        if (folder.isDir() && folder.isWritable())
            return location.file + QStringLiteral(".spool");
    }
    const QByteArray tag = QCryptographicHash::hash(location.Shown().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return DataFolder() + QStringLiteral("/history-%1.spool").arg(QString::fromLatin1(tag));
}

template <typename T>
void Stamp(T &record)
{
    if (record.opKey.isEmpty())
        record.opKey = CHistoryStore::NewOpKey();
    if (!record.time.isValid())
        record.time = QDateTime::currentDateTimeUtc();
    if (record.computer.isEmpty())
        record.computer = CHistoryStore::ComputerName();
    if (record.user.isEmpty())
        record.user = CHistoryStore::UserName();
}
} // namespace

CHistoryStore::CHistoryStore(QObject *parent) : QObject(parent) {}

CHistoryStore::~CHistoryStore() = default;

QString CHistoryStore::DefaultFile()
{
    return DataFolder() + QStringLiteral("/history.db");
}

QString CHistoryStore::PreferredLocation()
{
    return CPreferences::GetString(PreferenceSection, PreferenceKey);
}

void CHistoryStore::SetPreferredLocation(const QString &location)
{
    CPreferences::SetString(PreferenceSection, PreferenceKey, CHistoryLocation::WithoutPassword(location));
}

QString CHistoryStore::SpoolFileFor(const QString &location)
{
    CHistoryLocation where;
    QString error;
    if (!CHistoryLocation::Parse(location, DefaultFile(), &where, &error))
        return {};
    return SpoolPathFor(where);
}

QString CHistoryStore::NewOpKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString CHistoryStore::ComputerName()
{
    return QSysInfo::machineHostName();
}

QString CHistoryStore::UserName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return user;
}

bool CHistoryStore::Open(const QString &location)
{
    Close();
    m_error.clear();
    m_dbError.clear();
    CHistoryLocation where;
    if (!CHistoryLocation::Parse(location, DefaultFile(), &where, &m_error))
        return false;
    m_shown = where.Shown();
    m_db = std::make_unique<CHistoryDatabase>(where);
    m_db->SetBusyTimeout(m_busyMs);
    QString error;
    const CHistoryDatabase::OpenResult result = m_db->Open(&error);
    if (result == CHistoryDatabase::OpenResult::Fatal) {
        m_error = error;
        m_db.reset();
        return false;
    }
    m_spool = std::make_unique<CHistorySpool>(SpoolPathFor(where));
    m_open = true;
    if (result == CHistoryDatabase::OpenResult::Unavailable)
        m_dbError = error.simplified();
    UpdateWarning();
    return true;
}

void CHistoryStore::Close()
{
    m_db.reset();
    m_spool.reset();
    m_open = false;
    if (m_warning) {
        m_warning = false;
        m_warningText.clear();
        emit WarningChanged();
    }
}

bool CHistoryStore::IsOpen() const
{
    return m_open;
}

bool CHistoryStore::IsConnected() const
{
    return m_db && m_db->IsOpen() && m_dbError.isEmpty();
}

bool CHistoryStore::IsReadable() const
{
    return m_db && m_db->IsOpen();
}

int CHistoryStore::FoundSchemaVersion() const
{
    return m_db ? m_db->FoundVersion() : 0;
}

QString CHistoryStore::Location() const
{
    return m_shown;
}

QString CHistoryStore::EngineName() const
{
    return m_db && m_db->IsPostgres() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite");
}

QString CHistoryStore::ErrorString() const
{
    return m_error;
}

bool CHistoryStore::SpoolWaits() const
{
    return m_spool && QFileInfo::exists(m_spool->Path());
}

bool CHistoryStore::HasWarning() const
{
    return m_warning;
}

QString CHistoryStore::WarningText() const
{
    return m_warningText;
}

int CHistoryStore::SpooledCount() const
{
    return m_spool ? m_spool->Count() : 0;
}

QString CHistoryStore::SpoolFile() const
{
    return m_spool ? m_spool->Path() : QString();
}

void CHistoryStore::UpdateWarning()
{
    QString text;
    if (m_open) {
        const int waiting = SpoolWaits() ? m_spool->Count() : 0;
        const QString reason = m_dbError.isEmpty() ? QStringLiteral("History database %1 was not written").arg(m_shown) : m_dbError;
        if (waiting > 0)
            text = QStringLiteral("%1. %2 record(s) wait in %3 and go in when the database can be written again.")
                       .arg(reason)
                       .arg(waiting)
                       .arg(QDir::toNativeSeparators(m_spool->Path()));
        else if (!m_dbError.isEmpty())
            text = QStringLiteral("%1. What the history cannot store waits in %2.").arg(m_dbError, QDir::toNativeSeparators(m_spool->Path()));
    }
    const bool warning = !text.isEmpty();
    if (warning != m_warning || text != m_warningText) {
        m_warning = warning;
        m_warningText = text;
        emit WarningChanged();
    }
}

bool CHistoryStore::Connect()
{
    if (!m_db || m_spoolOnly)
        return false;
    if (m_db->IsOpen())
        return true;
    QString error;
    const CHistoryDatabase::OpenResult result = m_db->Open(&error);
    if (result != CHistoryDatabase::OpenResult::Ok) {
        m_dbError = error.simplified();
        return false;
    }
    m_dbError.clear();
    return true;
}

void CHistoryStore::NoteFailure(const QString &error)
{
    // One line for a status bar or a terminal: the drivers' texts run over several.
    const QString text = error.simplified();
    m_dbError = text.startsWith(QLatin1String("History database")) ? text : QStringLiteral("History database %1: %2").arg(m_shown, text);
    // A server that went away is asked again from the start next time; a
    // locked or read-only file stays open.
    if (m_db && m_db->IsPostgres()) {
        QSqlQuery ping = m_db->Query();
        if (!ping.exec(QStringLiteral("SELECT 1")))
            m_db->Close();
    }
}

qint64 CHistoryStore::Transaction(const WriteStep &write, qint64 *added, QString *error)
{
    CHistoryWriter writer(*m_db);
    if (!m_db->Begin(error))
        return -1;
    const qint64 id = write(writer, added, error);
    if (id < 0) {
        m_db->Rollback();
        return -1;
    }
    if (!m_db->Commit(error)) {
        m_db->Rollback();
        return -1;
    }
    return id;
}

bool CHistoryStore::WriteNow(const WriteStep &write, HistoryWriteResult *result)
{
    QString error;
    qint64 added = 0;
    const qint64 id = Transaction(write, &added, &error);
    if (id < 0) {
        NoteFailure(error);
        return false;
    }
    result->stored = true;
    result->id = id;
    result->added = added;
    UpdateWarning();
    return true;
}

HistoryWriteResult CHistoryStore::Store(const CHistorySpool::Record &record, const WriteStep &write)
{
    HistoryWriteResult result;
    if (!m_open) {
        result.error = QStringLiteral("The instrument history is not open.");
        return result;
    }
    if (m_spoolOnly)
        return Spool(record);
    // What waits goes in first, so the database takes the records in order.
    if (SpoolWaits() || !IsConnected())
        ReplaySpool();
    if (IsConnected() && !SpoolWaits() && WriteNow(write, &result))
        return result;
    return Spool(record);
}

HistoryWriteResult CHistoryStore::Spool(const CHistorySpool::Record &record)
{
    HistoryWriteResult result;
    result.error = m_dbError.isEmpty() && m_spoolOnly ? QStringLiteral("The program closed before the history database %1 took the record.").arg(m_shown)
                                                       : m_dbError;
    QString spoolError;
    if (m_spool->Append(record, &spoolError))
        result.spooled = true;
    else
        result.error += QStringLiteral("; ") + spoolError;
    UpdateWarning();
    return result;
}

bool CHistoryStore::ReplaySpool()
{
    if (!m_open)
        return false;
    if (m_spoolOnly)
        return !SpoolWaits();
    if (!Connect()) {
        UpdateWarning();
        return !SpoolWaits();
    }
    m_dbError.clear();
    if (SpoolWaits()) {
        QString error;
        m_spool->Replay([this](const CHistorySpool::Record &r) { return ReplayOne(r); }, &error);
        if (!error.isEmpty() && m_dbError.isEmpty())
            m_dbError = error;
    }
    UpdateWarning();
    return !SpoolWaits();
}

CHistorySpool::Outcome CHistoryStore::ReplayOne(const CHistorySpool::Record &record)
{
    const QString kind = CHistorySpoolCodec::Kind(record);
    WriteStep step;
    HistoryInstrument instrument;
    HistorySnapshot snapshot;
    HistoryLogRetrieval retrieval;
    QList<LogRecord> entries;
    HistoryFirmwareRun run;
    HistoryBoardTest test;
    if (kind == QLatin1String("instrument") && CHistorySpoolCodec::Unpack(record, &instrument))
        step = [&](CHistoryWriter &w, qint64 *, QString *e) { return w.Instrument(instrument, e); };
    else if (kind == QLatin1String("snapshot") && CHistorySpoolCodec::Unpack(record, &snapshot))
        step = [&](CHistoryWriter &w, qint64 *, QString *e) { return w.Snapshot(snapshot, e); };
    else if (kind == QLatin1String("log") && CHistorySpoolCodec::Unpack(record, &retrieval, &entries))
        step = [&](CHistoryWriter &w, qint64 *added, QString *e) { return w.Log(retrieval, entries, added, e); };
    else if (kind == QLatin1String("firmware") && CHistorySpoolCodec::Unpack(record, &run))
        step = [&](CHistoryWriter &w, qint64 *, QString *e) { return w.FirmwareRun(run, e); };
    else if (kind == QLatin1String("boardtest") && CHistorySpoolCodec::Unpack(record, &test))
        step = [&](CHistoryWriter &w, qint64 *, QString *e) { return w.BoardTest(test, e); };
    else
        return CHistorySpool::Outcome::Reject;
    QString error;
    qint64 added = 0;
    if (Transaction(step, &added, &error) >= 0)
        return CHistorySpool::Outcome::Done;
    NoteFailure(error);
    return CHistorySpool::Outcome::Retry;
}

HistoryWriteResult CHistoryStore::RecordInstrument(const HistoryInstrument &instrument)
{
    HistoryInstrument i = instrument;
    if (!i.lastSeen.isValid())
        i.lastSeen = QDateTime::currentDateTimeUtc();
    return Store(CHistorySpoolCodec::Pack(i), [i](CHistoryWriter &w, qint64 *, QString *e) { return w.Instrument(i, e); });
}

HistoryWriteResult CHistoryStore::RecordSnapshot(const HistorySnapshot &snapshot)
{
    HistorySnapshot s = snapshot;
    Stamp(s);
    return Store(CHistorySpoolCodec::Pack(s), [&s](CHistoryWriter &w, qint64 *, QString *e) { return w.Snapshot(s, e); });
}

HistoryWriteResult CHistoryStore::RecordLog(const HistoryLogRetrieval &retrieval, const QList<LogRecord> &entries)
{
    HistoryLogRetrieval r = retrieval;
    Stamp(r);
    const WriteStep step = [&](CHistoryWriter &w, qint64 *added, QString *e) { return w.Log(r, entries, added, e); };
    // Packing a big log costs time; it is done only when the spool needs it.
    HistoryWriteResult result;
    if (m_open && !m_spoolOnly && !SpoolWaits() && IsConnected()) {
        if (WriteNow(step, &result))
            return result;
        // Tried once already: straight to the spool, without a second wait.
        return Spool(CHistorySpoolCodec::Pack(r, entries));
    }
    return Store(CHistorySpoolCodec::Pack(r, entries), step);
}

HistoryWriteResult CHistoryStore::RecordFirmwareRun(const HistoryFirmwareRun &run)
{
    HistoryFirmwareRun r = run;
    Stamp(r);
    return Store(CHistorySpoolCodec::Pack(r), [&r](CHistoryWriter &w, qint64 *, QString *e) { return w.FirmwareRun(r, e); });
}

HistoryWriteResult CHistoryStore::RecordBoardTest(const HistoryBoardTest &result)
{
    HistoryBoardTest r = result;
    Stamp(r);
    return Store(CHistorySpoolCodec::Pack(r), [&r](CHistoryWriter &w, qint64 *, QString *e) { return w.BoardTest(r, e); });
}

// ---- queries ----

#define HISTORY_READ(call, empty)                                   \
    do {                                                            \
        if (!m_db || !const_cast<CHistoryStore *>(this)->Connect()) \
            return empty;                                           \
        QString error;                                              \
        auto value = CHistoryReader(*m_db).call;                    \
        const_cast<CHistoryStore *>(this)->m_error = error;         \
        return value;                                               \
    } while (false)

std::optional<HistoryInstrument> CHistoryStore::Instrument(const QString &serial) const
{
    HISTORY_READ(Instrument(serial, &error), std::nullopt);
}

QList<HistoryFleetRow> CHistoryStore::Fleet(const QDateTime &now) const
{
    HISTORY_READ(Fleet(now, &error), {});
}

QList<HistoryFleetRow> CHistoryStore::Due(int days, const QDateTime &now) const
{
    HISTORY_READ(Due(days, now, &error), {});
}

QList<HistoryTimelineItem> CHistoryStore::Timeline(const QString &serial) const
{
    HISTORY_READ(Timeline(serial, &error), {});
}

std::optional<HistorySnapshot> CHistoryStore::Snapshot(qint64 id) const
{
    if (id <= 0)
        return std::nullopt;
    const QList<HistorySnapshot> found = [&]() -> QList<HistorySnapshot> { HISTORY_READ(Snapshots(QString(), id, &error), {}); }();
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

QList<HistorySnapshot> CHistoryStore::Snapshots(const QString &serial) const
{
    HISTORY_READ(Snapshots(serial, 0, &error), {});
}

QList<HistoryLogRetrieval> CHistoryStore::Retrievals(const QString &serial) const
{
    HISTORY_READ(Retrievals(serial, 0, &error), {});
}

QList<HistoryCalibration> CHistoryStore::Calibrations(const QString &serial) const
{
    HISTORY_READ(Calibrations(serial, &error), {});
}

QList<HistoryFirmwareRun> CHistoryStore::FirmwareRuns(const QString &serial) const
{
    HISTORY_READ(FirmwareRuns(serial, &error), {});
}

QList<HistoryBoardTest> CHistoryStore::BoardTests(const QString &serial) const
{
    HISTORY_READ(BoardTests(serial, &error), {});
}

QList<LogRecord> CHistoryStore::LogEntries(const QString &serial, qint64 retrievalId) const
{
    HISTORY_READ(LogEntries(serial, retrievalId, &error), {});
}

qint64 CHistoryStore::LogEntryCount(const QString &serial) const
{
    HISTORY_READ(LogEntryCount(serial, &error), 0);
}
