// Tells when the document has finished a whole upload, whoever started it (the Upload command, Reset Views, the start of a simulated run).
#pragma once

#include <QObject>
#include <QTimer>

class CInstrumentDoc;

/*
 * An upload ends with the "Uploading" window closing on its last step (the
 * toxic-table chunks and the 81 ID entries); the TimeKeeper pieces may still
 * be on the line then, so the upload counts as done once the link is idle
 * as well. A window closed before every step was done (Cancel, a lost
 * instrument) is no finished upload, and neither is the "Downloading" one.
 */
class CUploadWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int IdleWaitMs = 15000;

    explicit CUploadWatch(CInstrumentDoc &doc, QObject *parent = nullptr);

signals:
    void UploadFinished();

private:
    void OnClosed();
    void CheckIdle();

    CInstrumentDoc &m_doc;
    QTimer m_idle;
    int m_waitedMs = 0;
};
