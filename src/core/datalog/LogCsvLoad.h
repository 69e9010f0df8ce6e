// Reads a data-log file on a thread of its own, so the window that asked stays responsive over a million rows.
#pragma once

#include "datalog/LogCsvReader.h"
#include "datalog/LogSession.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

class QThread;

/*
 * One load at a time. The reading runs on its own thread through the same
 * LogCsvReader as a load in one piece, so the entries are exactly the same;
 * the sessions are found there too. Progress and Finished arrive on this
 * object's thread. Cancel, a new Start and the destructor stop a running
 * read at its next line and wait for the thread: nothing of a cancelled load
 * is ever reported, and no thread outlives this object.
 */
class CLogCsvLoad : public QObject
{
    Q_OBJECT
public:
    explicit CLogCsvLoad(QObject *parent = nullptr);
    ~CLogCsvLoad() override;

    // Starts reading `path`; a load still running is cancelled first.
    void Start(const QString &path, const LogCsvReader &reader);
    void Cancel();
    bool Running() const { return m_thread != nullptr; }
    // Frees a long list of entries (the ones a load replaced) on a thread of
    // its own; a million of them take tens of milliseconds. Pass the last
    // reference to them.
    void Release(QList<LogRecord> entries);
    QString Path() const { return m_path; }

signals:
    // Bytes read and the file's size, about every 2%.
    void Progress(qint64 position, qint64 total);
    // The whole file read (Result::error says whether it could be), and
    // LogSession::Find of its entries.
    void Finished(const LogCsvReader::Result &result, const QList<LogSession> &sessions);

private:
    void Stop();

    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<QThread> m_release;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_run = 0; // reports of an earlier run are dropped
    QString m_path;
};
