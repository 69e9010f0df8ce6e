// The instrument history on a thread of its own, so that a database that does not answer never holds up the windows.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class CHistoryStore;
class QThread;

// What the windows show of the store, read on the worker after every job.
struct HistoryState
{
    bool open = false;
    bool connected = false;
    bool warning = false;
    int spooled = 0;
    QString location;
    QString engine;
    QString error;       // why Open failed, or the last query's failure
    QString warningText; // CHistoryStore::WarningText()
    QString spoolFile;
    bool operator==(const HistoryState &) const = default;
};

/*
 * One CHistoryStore lives on the worker thread and is made, used and
 * destroyed there only: a Qt SQL connection belongs to the thread that
 * opened it. Jobs run one at a time in the order they were posted, so the
 * database takes the writes in the order the operations completed, and a
 * read posted after a write sees it. Answers come back through the event
 * loop of the thread that asked, and not at all once the asking object is
 * gone.
 *
 * Stop() (the destructor calls it) sends the jobs still waiting straight
 * to the spool instead of trying the database again, lets the job under way
 * end (a server's connect timeout is 5 s, an SQLite lock wait the busy
 * timeout) and joins the thread within a bound. A thread that overruns the
 * bound is left to finish on its own rather than be torn down mid-write.
 */
class CHistoryWorker : public QObject
{
    Q_OBJECT
public:
    // Longer than the server's connect timeout and the store's lock wait.
    static constexpr int StopBoundMs = 15000;
    static constexpr int DefaultBusyMs = 10000;

    explicit CHistoryWorker(QObject *parent = nullptr);
    ~CHistoryWorker() override;

    // Opens the location (see CHistoryStore::Open) on the worker; Opened
    // tells how it went. busyMs: the SQLite lock wait.
    void Open(const QString &location, int busyMs = DefaultBusyMs);
    void Close();

    // Runs job on the worker thread with the store, after every job posted before it.
    void Post(std::function<void(CHistoryStore &)> job);
    // Runs query there; answer gets its result on context's thread.
    template <typename T>
    void Ask(QObject *context, std::function<T(CHistoryStore &)> query, std::function<void(const T &)> answer);
    // Ask, waiting for the answer in a local event loop (the windows go on
    // meanwhile); nothing after timeoutMs.
    template <typename T>
    std::optional<T> Await(std::function<T(CHistoryStore &)> query, int timeoutMs = 120000);

    const HistoryState &State() const { return m_state; }
    // Jobs posted and not finished yet.
    int Pending() const { return m_pending; }
    // False when the thread overran the bound.
    bool Stop(int boundMs = StopBoundMs);

signals:
    void Opened(bool ok, const QString &error);
    // State() changed.
    void StateChanged();
    // The last job posted has finished.
    void Idle();

private:
    struct Shared;
    using Reply = std::function<void()>;
    // job runs on the worker and returns what to run back here (or nothing).
    void Run(std::function<Reply(CHistoryStore &)> job);
    void Finished(const HistoryState &state, const Reply &reply);

    std::shared_ptr<Shared> m_shared;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr; // lives on m_thread
    HistoryState m_state;
    int m_pending = 0;
    bool m_stopped = false;
};

template <typename T>
void CHistoryWorker::Ask(QObject *context, std::function<T(CHistoryStore &)> query, std::function<void(const T &)> answer)
{
    QPointer<QObject> guard(context);
    Run([query = std::move(query), answer = std::move(answer), guard](CHistoryStore &store) -> Reply {
        T value = query(store);
        return [answer, guard, value = std::move(value)] {
            if (guard)
                answer(value);
        };
    });
}

template <typename T>
std::optional<T> CHistoryWorker::Await(std::function<T(CHistoryStore &)> query, int timeoutMs)
{
    std::optional<T> result;
    if (m_stopped)
        return result;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    Ask<T>(&loop, std::move(query), [&](const T &value) {
        result = value;
        loop.quit();
    });
    loop.exec();
    return result;
}
