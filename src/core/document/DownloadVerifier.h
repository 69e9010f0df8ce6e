// Checks a download by reading the instrument's settings and ID texts back and comparing them with what was sent.
#pragma once

#include "SettingsImage.h"
#include "UpdateCodes.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

class CInstrumentDoc;

// One field whose read-back differs from what was sent.
struct CDownloadDifference
{
    QString key;      // the options-file key, or "TimeKeeper byte N" for bits no key covers
    QString sent;     // shown value as sent
    QString readBack; // shown value as the instrument holds it
};

/*
 * A detector whose alarm levels differ from what the technician set is
 * dangerous, and the instrument acknowledges a write before it has stored
 * it. So after a download:
 *   1. TakeSnapshot() right after DownloadAll() returns: the document's image
 *      then holds exactly the bytes that were queued;
 *   2. once the download has finished (the link is idle), StartReadBack()
 *      reads the TimeKeeper settings (bytes 8-63) and the 81 ID entries into
 *      the document again;
 *   3. on ReadBackFinished, Differences() names every field that changed.
 * Values are shown with the tables the document holds, so the range and
 * toxic tables should have been uploaded before.
 */
class CDownloadVerifier : public QObject
{
    Q_OBJECT
public:
    explicit CDownloadVerifier(CInstrumentDoc &doc, QObject *parent = nullptr);

    void TakeSnapshot();
    bool HasSnapshot() const { return m_sent.has_value(); }
    void StartReadBack();
    bool IsReadBackFinished() const { return m_reading && m_settingsBack && m_idsBack.size() == CSettingsImage::IdEntryCount; }

    // Snapshot against the document as it is now; empty without a snapshot.
    QList<CDownloadDifference> Differences() const;

    // Settings bytes 8-63 and ID entries of two images, field by field; bits
    // that differ but belong to no key are listed by byte.
    static QList<CDownloadDifference> Compare(const CSettingsImage &sent, const CSettingsImage &readBack);

signals:
    void ReadBackFinished();

private:
    void OnUpdated(int code, const CReplyNotice &notice);

    CInstrumentDoc &m_doc;
    std::optional<CSettingsImage> m_sent;
    bool m_reading = false;
    bool m_settingsBack = false;
    QSet<int> m_idsBack;
};
