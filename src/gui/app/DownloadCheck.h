// The check that follows every download: once the download is through the
// instrument's settings are read back, and any difference is shown.
#pragma once

#include "document/DownloadVerifier.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>

class CInstrumentDoc;
class QMainWindow;

class CDownloadCheck : public QObject
{
    Q_OBJECT
public:
    enum class State { None, Downloading, ReadingBack };

    // Messages go to window's status bar and dialogs.
    CDownloadCheck(CInstrumentDoc &doc, QMainWindow *window);
    ~CDownloadCheck() override;

    // Queues the download and follows it to the read-back.
    void Download();
    State CurrentState() const { return m_state; }

signals:
    // The read-back came in; no differences: the download is verified.
    void Verified(const QList<CDownloadDifference> &differences);

private:
    void Follow();
    void Finish();

    CInstrumentDoc &m_doc;
    QMainWindow *m_window;
    std::unique_ptr<CDownloadVerifier> m_verifier;
    State m_state = State::None;
    QTimer m_timer;
};
