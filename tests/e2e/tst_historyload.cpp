// Writers at once into one PostgreSQL history: altavo-cli processes, each against a simulator of its own on a pseudo-terminal, uploading and fetching logs in turn while the spools of programs that ran with the server down are replayed; every record arrives once.
#include "HistoryLoad.h"

#include <QTemporaryDir>
#include <QTest>

class TestHistoryLoad : public QObject
{
    Q_OBJECT

private slots:
    void everyRecordOnce();
};

void TestHistoryLoad::everyRecordOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CPgServer pg;
    QString error;
    QVERIFY2(pg.Start(&error), qPrintable(error));
    HistoryLoadPlan plan;
    plan.writers = 4;
    plan.seconds = 15;
    plan.spoolPrograms = 2;
    plan.logRecords = 300;
    const HistoryLoadResult result = CHistoryLoad(pg, dir.path()).Run(plan, QStringLiteral("load"));
    QVERIFY2(result.problem.isEmpty(), qPrintable(result.problem));
    // Each writer both uploaded and fetched its log at least once; each
    // spooling program left its upload and its log (two records each).
    QVERIFY(result.uploads >= plan.writers + plan.spoolPrograms);
    QVERIFY(result.logs >= plan.writers + plan.spoolPrograms);
    QCOMPARE(result.spooled, 4 * plan.spoolPrograms);
    QVERIFY(result.entries > 0);
}

QTEST_GUILESS_MAIN(TestHistoryLoad)
#include "tst_historyload.moc"
