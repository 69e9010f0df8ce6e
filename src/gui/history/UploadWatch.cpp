// Finished uploads.
#include "UploadWatch.h"

#include "document/InstrumentDoc.h"
#include "document/TransferProgress.h"

namespace {
const QString UploadCaption = QStringLiteral("Uploading");
constexpr int IdlePollMs = 50;
}

CUploadWatch::CUploadWatch(CInstrumentDoc &doc, QObject *parent) : QObject(parent), m_doc(doc)
{
    m_idle.setInterval(IdlePollMs);
    connect(&m_idle, &QTimer::timeout, this, &CUploadWatch::CheckIdle);
    connect(&m_doc.TransferProgress(), &CTransferProgress::Closed, this, &CUploadWatch::OnClosed);
    // A new transfer window means whatever was awaited is superseded.
    connect(&m_doc.TransferProgress(), &CTransferProgress::Opened, &m_idle, &QTimer::stop);
}

void CUploadWatch::OnClosed()
{
    const CTransferProgress &p = m_doc.TransferProgress();
    if (p.Caption() != UploadCaption || p.StepCount() == 0 || p.StepsDone() != p.StepCount())
        return;
    m_waitedMs = 0;
    m_idle.start();
}

void CUploadWatch::CheckIdle()
{
    if (!m_doc.Link().IsIdle()) {
        m_waitedMs += IdlePollMs;
        if (m_waitedMs >= IdleWaitMs)
            m_idle.stop(); // the line never calmed down: no complete upload to record
        return;
    }
    m_idle.stop();
    emit UploadFinished();
}
