// The read-back check after a download.
#include "DownloadCheck.h"

#include "DownloadReport.h"
#include "document/DownloadVerifier.h"
#include "document/InstrumentDoc.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

CDownloadCheck::CDownloadCheck(CInstrumentDoc &doc, QMainWindow *window) : m_doc(doc), m_window(window)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &CDownloadCheck::Follow);
}

CDownloadCheck::~CDownloadCheck() = default;

void CDownloadCheck::Download()
{
    m_verifier = std::make_unique<CDownloadVerifier>(m_doc);
    m_doc.DownloadAll();
    // Right after the download is queued the image holds exactly what goes out.
    m_verifier->TakeSnapshot();
    m_state = State::Downloading;
    m_timer.start();
}

void CDownloadCheck::Follow()
{
    if (!m_verifier || !m_doc.Link().IsIdle())
        return;
    if (m_state == State::Downloading) {
        m_state = State::ReadingBack;
        m_window->statusBar()->showMessage(QStringLiteral("Checking the download"));
        m_verifier->StartReadBack();
        return;
    }
    if (m_state == State::ReadingBack)
        Finish();
}

void CDownloadCheck::Finish()
{
    m_timer.stop();
    m_state = State::None;
    std::unique_ptr<CDownloadVerifier> verifier = std::move(m_verifier);
    if (!verifier->IsReadBackFinished()) {
        QMessageBox::warning(m_window, QStringLiteral("Download Check"),
                             QStringLiteral("The instrument did not return its settings for checking; the download is not verified."));
        return;
    }
    const QList<CDownloadDifference> differences = verifier->Differences();
    emit Verified(differences);
    if (differences.isEmpty()) {
        m_window->statusBar()->showMessage(QStringLiteral("Download checked: the instrument holds every setting as sent"));
        return;
    }
    CDownloadReport report(differences, m_window);
    report.exec();
}
