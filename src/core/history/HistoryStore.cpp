// The instrument history store (first cut: the interface, no database yet).
#include "history/HistoryStore.h"

#include "history/HistoryDatabase.h"
#include "history/HistorySpool.h"

#include <QStandardPaths>
#include <QUuid>

CHistoryStore::CHistoryStore(QObject *parent) : QObject(parent) {}
CHistoryStore::~CHistoryStore() = default;

QString CHistoryStore::DefaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history.db");
}
QString CHistoryStore::NewOpKey() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }
QString CHistoryStore::ComputerName() { return QString(); }
QString CHistoryStore::UserName() { return QString(); }
bool CHistoryStore::Open(const QString &location) { m_location = location; m_open = true; return true; }
void CHistoryStore::Close() { m_open = false; }
bool CHistoryStore::IsOpen() const { return m_open; }
bool CHistoryStore::IsConnected() const { return false; }
QString CHistoryStore::Location() const { return m_location; }
QString CHistoryStore::EngineName() const { return QStringLiteral("SQLite"); }
QString CHistoryStore::ErrorString() const { return m_error; }
bool CHistoryStore::HasWarning() const { return false; }
QString CHistoryStore::WarningText() const { return QString(); }
int CHistoryStore::SpooledCount() const { return 0; }
QString CHistoryStore::SpoolFile() const { return QString(); }
bool CHistoryStore::ReplaySpool() { return true; }
HistoryWriteResult CHistoryStore::RecordInstrument(const HistoryInstrument &) { return {}; }
HistoryWriteResult CHistoryStore::RecordSnapshot(const HistorySnapshot &) { return {}; }
HistoryWriteResult CHistoryStore::RecordLog(const HistoryLogRetrieval &, const QList<LogRecord> &) { return {}; }
HistoryWriteResult CHistoryStore::RecordFirmwareRun(const HistoryFirmwareRun &) { return {}; }
HistoryWriteResult CHistoryStore::RecordBoardTest(const HistoryBoardTest &) { return {}; }
std::optional<HistoryInstrument> CHistoryStore::Instrument(const QString &) const { return std::nullopt; }
QList<HistoryFleetRow> CHistoryStore::Fleet(const QDateTime &) const { return {}; }
QList<HistoryFleetRow> CHistoryStore::Due(int, const QDateTime &) const { return {}; }
QList<HistoryTimelineItem> CHistoryStore::Timeline(const QString &) const { return {}; }
std::optional<HistorySnapshot> CHistoryStore::Snapshot(qint64) const { return std::nullopt; }
QList<HistorySnapshot> CHistoryStore::Snapshots(const QString &) const { return {}; }
QList<HistoryLogRetrieval> CHistoryStore::Retrievals(const QString &) const { return {}; }
QList<HistoryCalibration> CHistoryStore::Calibrations(const QString &) const { return {}; }
QList<HistoryFirmwareRun> CHistoryStore::FirmwareRuns(const QString &) const { return {}; }
QList<HistoryBoardTest> CHistoryStore::BoardTests(const QString &) const { return {}; }
QList<LogRecord> CHistoryStore::LogEntries(const QString &, qint64) const { return {}; }
qint64 CHistoryStore::LogEntryCount(const QString &) const { return 0; }
