// The history's worker thread.
#include "history/HistoryWorker.h"

#include "history/HistoryStore.h"

#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <mutex>

/*
 * What both threads reach. The worker posts its answers back only while the
 * owner is there to take them: a thread left running past the stop bound
 * finds `detached` set and posts nothing to an object that is gone.
 */
struct CHistoryWorker::Shared
{
    std::unique_ptr<CHistoryStore> store; // worker thread only
    std::atomic<bool> closing{false};
    std::mutex mutex;
    bool detached = false; // under mutex

    CHistoryStore &Store()
    {
        if (!store)
            store = std::make_unique<CHistoryStore>();
        return *store;
    }
};

namespace {
HistoryState StateOf(const CHistoryStore &store)
{
    HistoryState s;
    s.open = store.IsOpen();
    s.connected = store.IsConnected();
    s.warning = store.HasWarning();
    s.location = store.Location();
    s.engine = store.EngineName();
    s.error = store.ErrorString();
    s.warningText = store.WarningText();
    s.spoolFile = store.SpoolFile();
    // Counting reads the spool file; only worth it while something waits.
    s.spooled = s.warning ? store.SpooledCount() : 0;
    return s;
}
} // namespace

CHistoryWorker::CHistoryWorker(QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_thread(new QThread), m_context(new QObject)
{
    m_thread->setObjectName(QStringLiteral("history"));
    m_context->moveToThread(m_thread);
    m_thread->start();
}

CHistoryWorker::~CHistoryWorker()
{
    Stop();
}

void CHistoryWorker::Run(std::function<Reply(CHistoryStore &)> job)
{
    if (m_stopped)
        return;
    ++m_pending;
    const std::shared_ptr<Shared> shared = m_shared;
    QMetaObject::invokeMethod(
        m_context,
        [this, shared, job = std::move(job)] {
            CHistoryStore &store = shared->Store();
            // Once the program closes, what waits goes to the spool at once.
            if (shared->closing)
                store.SetSpoolOnly(true);
            Reply reply = job(store);
            const HistoryState state = StateOf(store);
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->detached)
                return;
            QMetaObject::invokeMethod(this, [this, state, reply = std::move(reply)] { Finished(state, reply); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CHistoryWorker::Finished(const HistoryState &state, const Reply &reply)
{
    --m_pending;
    if (!(state == m_state)) {
        m_state = state;
        emit StateChanged();
    }
    if (reply)
        reply();
    if (m_pending == 0)
        emit Idle();
}

void CHistoryWorker::Post(std::function<void(CHistoryStore &)> job)
{
    Run([job = std::move(job)](CHistoryStore &store) -> Reply {
        job(store);
        return {};
    });
}

void CHistoryWorker::Open(const QString &location, int busyMs)
{
    Run([this, location, busyMs](CHistoryStore &store) -> Reply {
        store.SetBusyTimeout(busyMs);
        const bool ok = store.Open(location);
        const QString error = store.ErrorString();
        return [this, ok, error] { emit Opened(ok, error); };
    });
}

void CHistoryWorker::Close()
{
    Post([](CHistoryStore &store) { store.Close(); });
}

bool CHistoryWorker::Stop(int boundMs)
{
    if (m_stopped)
        return true;
    m_stopped = true;
    m_shared->closing = true;
    // The store goes on the thread that made its connections.
    QMetaObject::invokeMethod(
        m_context,
        [shared = m_shared] {
            shared->store.reset();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (m_thread->wait(boundMs)) {
        // The thread has ended: what lived on it can go from here.
        delete m_context;
        delete m_thread;
        m_context = nullptr;
        m_thread = nullptr;
        return true;
    }
    qWarning("The history thread did not finish within %d ms; it is left to end on its own.", boundMs);
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->detached = true;
    }
    // Left to end on its own; the little it holds goes with the process.
    m_context = nullptr;
    m_thread = nullptr;
    return false;
}
