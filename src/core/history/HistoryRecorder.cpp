// Writes the history where operations complete (first cut: the interface).
#include "history/HistoryRecorder.h"

#include "history/HistoryStore.h"

CHistoryRecorder::CHistoryRecorder(CInstrumentDoc &doc, CHistoryStore *store, QObject *parent)
    : QObject(parent), m_doc(doc), m_store(store)
{
}
CHistoryRecorder::~CHistoryRecorder() = default;
void CHistoryRecorder::SetStore(CHistoryStore *store) { m_store = store; }
void CHistoryRecorder::UploadDone() {}
void CHistoryRecorder::DownloadVerified(const QList<CDownloadDifference> &) {}
void CHistoryRecorder::LogRetrieved(const QList<LogRecord> &) {}
void CHistoryRecorder::FirmwareRunDone(const QString &, bool, const QString &, quint32) {}
void CHistoryRecorder::BoardTestGroupDone(const QString &, bool, const QString &) {}
void CHistoryRecorder::WatchLog(CLogRetrieval &) {}
void CHistoryRecorder::WatchProgramming(CProgrammingEngine &, std::function<QString()>) {}
void CHistoryRecorder::WatchBoardTest(CBoardTestSequence &) {}
QString CHistoryRecorder::CurrentSerial() const { return QString(); }
