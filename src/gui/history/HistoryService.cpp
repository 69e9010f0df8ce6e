// The windowed program's history.
#include "HistoryService.h"

#include "HistoryDatabaseDialog.h"
#include "HistoryWindow.h"
#include "LogHistoryImport.h"
#include "UploadWatch.h"
#include "boardtest/InteractiveTest.h"
#include "datalog/Log.h"
#include "firmware/ConfigurationWizard.h"
#include "firmware/ProgramPage.h"
#include "firmware/Programming.h"
#include "firmware/WizardSheet.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"

#include <QLineEdit>
#include <QPointer>

CHistoryService::CHistoryService(CInstrumentDoc &doc, QObject *parent)
    : QObject(parent), m_doc(doc), m_worker(std::make_unique<CHistoryWorker>()),
      m_recorder(std::make_unique<CHistoryRecorder>(doc)), m_uploads(std::make_unique<CUploadWatch>(doc))
{
    m_recorder->SetWorker(m_worker.get());
    connect(m_worker.get(), &CHistoryWorker::StateChanged, this, &CHistoryService::WarningChanged);
    connect(m_worker.get(), &CHistoryWorker::Opened, this, [this](bool ok, const QString &error) {
        m_openError = ok ? QString() : error;
        emit WarningChanged();
        emit HistoryChanged();
        emit Opened(ok);
    });
    connect(m_recorder.get(), &CHistoryRecorder::Recorded, this, &CHistoryService::HistoryChanged);
    connect(m_uploads.get(), &CUploadWatch::UploadFinished, m_recorder.get(), &CHistoryRecorder::UploadDone);
}

CHistoryService::~CHistoryService()
{
    // What the recorder still holds is posted before the worker stops.
    m_uploads.reset();
    m_recorder->Flush();
    m_recorder.reset();
    m_worker->Stop();
}

const HistoryState &CHistoryService::State() const
{
    return m_worker->State();
}

bool CHistoryService::Open(const QString &location)
{
    CHistoryLocation where;
    QString error;
    if (!CHistoryLocation::Parse(location, CHistoryStore::DefaultFile(), &where, &error)) {
        m_openError = error;
        m_worker->Close();
        emit WarningChanged();
        emit HistoryChanged();
        emit Opened(false);
        return false;
    }
    m_openError.clear();
    m_worker->Open(location);
    return true;
}

bool CHistoryService::OpenStored()
{
    return Open(CHistoryDatabaseDialog::StoredLocation());
}

QString CHistoryService::WarningText() const
{
    if (!m_openError.isEmpty())
        return QStringLiteral("History not kept: the database cannot be opened");
    if (State().warning) {
        const int waiting = State().spooled;
        return waiting > 0 ? QStringLiteral("History: %1 record(s) wait to be written").arg(waiting)
                           : QStringLiteral("History: the database cannot be written");
    }
    return {};
}

QString CHistoryService::WarningDetail() const
{
    if (!m_openError.isEmpty())
        return m_openError;
    return State().warning ? State().warningText : QString();
}

void CHistoryService::Attach(CInstrumentView *view)
{
    if (auto *history = qobject_cast<CHistoryWindow *>(view)) {
        history->SetHistory(m_worker.get());
        connect(this, &CHistoryService::HistoryChanged, history, &CHistoryWindow::Refresh);
    } else if (auto *log = qobject_cast<CLog *>(view)) {
        m_recorder->WatchLog(log->Log());
        CLogHistoryImport::Attach(*log, *m_worker, [this] { emit HistoryChanged(); });
    } else if (auto *programming = qobject_cast<CProgramming *>(view)) {
        QPointer<QLineEdit> file = programming->FileEdit();
        m_recorder->WatchProgramming(programming->Engine(), [file] { return file ? file->text().trimmed() : QString(); });
    } else if (auto *wizard = qobject_cast<CConfigurationWizard *>(view)) {
        CWizardSheet *sheet = wizard->Sheet();
        if (auto *page = sheet ? qobject_cast<CProgramPage *>(sheet->Page(CWizardSheet::ProgramPageId)) : nullptr) {
            QPointer<CWizardSheet> guard(sheet);
            m_recorder->WatchProgramming(page->Programmer().Engine(), [guard] {
                QString file;
                if (guard)
                    guard->Query(CWizardSheet::HexFileChoice, &file);
                return file;
            });
        }
    } else if (auto *test = qobject_cast<CInteractiveTest *>(view)) {
        m_recorder->WatchBoardTest(test->Sequence());
    }
}
