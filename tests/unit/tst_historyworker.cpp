// The history's worker thread: writes in the order they were posted and answered on the asking thread, nothing answered to an asker that is gone, and a stop that sends what still waits to the spool instead of the server that never answers.
#include "platform/BuildInfo.h"
#include "EventWait.h"
#include "SilentServer.h"
#include "history/HistorySpool.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {
const QDateTime Start(QDate(2026, 6, 1), QTime(8, 0, 0), Qt::UTC);

HistoryWriteResult BoardTest(CHistoryStore &store, int n)
{
    HistoryBoardTest t;
    t.serial = QStringLiteral("00000ABC");
    t.group = QStringLiteral("Group %1").arg(n);
    t.time = Start.addSecs(n);
    t.passed = true;
    return store.RecordBoardTest(t);
}
} // namespace

class TestHistoryWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesInOrder();
    void noAnswerToAGoneAsker();
    void stopSpoolsWhatWaits();

private:
    QTemporaryDir m_dir;
};

void TestHistoryWorker::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
}

void TestHistoryWorker::writesInOrder()
{
    CHistoryWorker worker;
    QSignalSpy opened(&worker, &CHistoryWorker::Opened);
    worker.Open(m_dir.filePath(QStringLiteral("order.db")));
    constexpr int Writes = 40;
    QList<qint64> ids;
    QSet<QThread *> ranOn, answeredOn;
    for (int n = 0; n < Writes; ++n) {
        worker.Ask<HistoryWriteResult>(
            this,
            [n, &ranOn](CHistoryStore &store) {
                ranOn.insert(QThread::currentThread()); // one job at a time: no race on the set
                return BoardTest(store, n);
            },
            [&](const HistoryWriteResult &r) {
                answeredOn.insert(QThread::currentThread());
                ids.append(r.stored ? r.id : -1);
            });
    }
    QCOMPARE(worker.Pending(), Writes + 1);
    QVERIFY(WaitUntil([&] { return ids.size() == Writes; }));
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.first().first().toBool());
    QCOMPARE(answeredOn, QSet<QThread *>{QThread::currentThread()});
    QCOMPARE(ranOn.size(), 1);
    QVERIFY(!ranOn.contains(QThread::currentThread()));
    for (int n = 1; n < Writes; ++n)
        QVERIFY2(ids.at(n) > ids.at(n - 1) && ids.at(n - 1) > 0, "the writes went in out of order");
    // Read back in a later job: the groups in the order they were posted.
    const std::optional<QList<HistoryBoardTest>> tests =
        worker.Await<QList<HistoryBoardTest>>([](CHistoryStore &store) { return store.BoardTests(QStringLiteral("00000ABC")); });
    QVERIFY(tests && tests->size() == Writes);
    QCOMPARE(tests->first().group, QStringLiteral("Group %1").arg(Writes - 1)); // newest first
    QVERIFY(worker.State().open && worker.State().connected && !worker.State().warning);
}

void TestHistoryWorker::noAnswerToAGoneAsker()
{
    CHistoryWorker worker;
    worker.Open(m_dir.filePath(QStringLiteral("gone.db")));
    bool answered = false;
    auto asker = std::make_unique<QObject>();
    worker.Ask<HistoryWriteResult>(asker.get(), [](CHistoryStore &store) { return BoardTest(store, 1); },
                                   [&](const HistoryWriteResult &) { answered = true; });
    asker.reset();
    QVERIFY(WaitUntil([&] { return worker.Pending() == 0; }));
    QVERIFY(!answered);
    // The write itself was made.
    const auto count = worker.Await<qsizetype>([](CHistoryStore &store) { return store.BoardTests(QStringLiteral("00000ABC")).size(); });
    QCOMPARE(count.value_or(-1), qsizetype(1));
}

void TestHistoryWorker::stopSpoolsWhatWaits()
{
    // The open waits out the server's connect timeout; the writes posted
    // behind it go to the spool the moment the program stops, in order.
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    CSilentServer silent;
    QVERIFY(silent.Start());
    const QString url = silent.Url(QStringLiteral("stop"));
    const QString spool = CHistoryStore::SpoolFileFor(url);
    QFile::remove(spool);
    auto worker = std::make_unique<CHistoryWorker>();
    worker->Open(url);
    for (int n = 0; n < 5; ++n)
        worker->Post([n](CHistoryStore &store) { BoardTest(store, n); });
    QVERIFY(worker->Stop());
    worker.reset();
    QStringList groups;
    QString error;
    CHistorySpool(spool).Replay(
        [&](const CHistorySpool::Record &r) {
            groups << QString::fromUtf8(r.meta);
            return CHistorySpool::Outcome::Done;
        },
        &error);
    QCOMPARE(groups.size(), 5);
    for (int n = 0; n < 5; ++n)
        QVERIFY2(groups.at(n).contains(QStringLiteral("Group %1").arg(n)), qPrintable(groups.at(n)));
    QFile::remove(spool);
}

QTEST_GUILESS_MAIN(TestHistoryWorker)
#include "tst_historyworker.moc"
