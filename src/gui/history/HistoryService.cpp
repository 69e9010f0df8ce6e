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
#include "history/HistoryStore.h"

#include <QLineEdit>
#include <QPointer>

CHistoryService::CHistoryService(CInstrumentDoc &doc, QObject *parent)
    : QObject(parent), m_doc(doc), m_store(std::make_unique<CHistoryStore>()),
      m_recorder(std::make_unique<CHistoryRecorder>(doc)), m_uploads(std::make_unique<CUploadWatch>(doc))
{
    connect(m_store.get(), &CHistoryStore::WarningChanged, this, &CHistoryService::WarningChanged);
    connect(m_recorder.get(), &CHistoryRecorder::Recorded, this, &CHistoryService::HistoryChanged);
    connect(m_uploads.get(), &CUploadWatch::UploadFinished, m_recorder.get(), &CHistoryRecorder::UploadDone);
}

CHistoryService::~CHistoryService()
{
    m_recorder->SetStore(nullptr);
}

bool CHistoryService::Open(const QString &location)
{
    m_recorder->SetStore(nullptr);
    m_store->Close();
    const bool opened = m_store->Open(location);
    m_openError = opened ? QString() : m_store->ErrorString();
    if (opened)
        m_recorder->SetStore(m_store.get());
    emit WarningChanged();
    emit HistoryChanged();
    return opened;
}

bool CHistoryService::OpenStored()
{
    return Open(CHistoryDatabaseDialog::StoredLocation());
}

QString CHistoryService::WarningText() const
{
    if (!m_openError.isEmpty())
        return QStringLiteral("History not kept: the database cannot be opened");
    if (m_store->HasWarning()) {
        const int waiting = m_store->SpooledCount();
        return waiting > 0 ? QStringLiteral("History: %1 record(s) wait to be written").arg(waiting)
                           : QStringLiteral("History: the database cannot be written");
    }
    return {};
}

QString CHistoryService::WarningDetail() const
{
    if (!m_openError.isEmpty())
        return m_openError;
    return m_store->HasWarning() ? m_store->WarningText() : QString();
}

void CHistoryService::Attach(CInstrumentView *view)
{
    if (auto *history = qobject_cast<CHistoryWindow *>(view)) {
        history->SetStore(m_store.get());
        connect(this, &CHistoryService::HistoryChanged, history, &CHistoryWindow::Refresh);
    } else if (auto *log = qobject_cast<CLog *>(view)) {
        m_recorder->WatchLog(log->Log());
        CLogHistoryImport::Attach(*log, *m_store, [this] { emit HistoryChanged(); });
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
