// The data-log file read on a thread of its own.
#include "datalog/LogCsvLoad.h"

#include <QThread>

CLogCsvLoad::CLogCsvLoad(QObject *parent) : QObject(parent)
{
}

CLogCsvLoad::~CLogCsvLoad()
{
    Stop();
    if (m_release)
        m_release->wait();
}

void CLogCsvLoad::Start(const QString &path, const LogCsvReader &reader)
{
    Stop();
    const quint64 run = ++m_run;
    m_path = path;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_thread.reset(QThread::create([this, run, path, reader, cancel = m_cancel] {
        const auto progress = [this, run](qint64 position, qint64 total) {
            QMetaObject::invokeMethod(this, [this, run, position, total] {
                if (run == m_run && m_thread)
                    emit Progress(position, total);
            }, Qt::QueuedConnection);
        };
        auto result = std::make_shared<LogCsvReader::Result>(reader.Load(path, progress, cancel.get()));
        if (cancel->load())
            return;
        auto sessions = std::make_shared<QList<LogSession>>(LogSession::Find(result->entries));
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(this, [this, run, result, sessions] {
            if (run != m_run || !m_thread)
                return;
            // The thread has nothing left to do but end.
            m_thread->wait();
            m_thread.reset();
            emit Finished(*result, *sessions);
        }, Qt::QueuedConnection);
    }));
    m_thread->setObjectName(QStringLiteral("log file"));
    m_thread->start(QThread::LowPriority);
}

void CLogCsvLoad::Cancel()
{
    Stop();
}

void CLogCsvLoad::Release(QList<LogRecord> entries)
{
    if (entries.size() < 10000 || !entries.isDetached())
        return;
    if (m_release)
        m_release->wait();
    auto list = std::make_shared<QList<LogRecord>>(std::move(entries));
    m_release.reset(QThread::create([list] { list->clear(); }));
    m_release->setObjectName(QStringLiteral("log entries freed"));
    m_release->start(QThread::LowPriority);
}

void CLogCsvLoad::Stop()
{
    if (!m_thread)
        return;
    m_cancel->store(true);
    m_thread->wait();
    m_thread.reset();
    ++m_run;
}
