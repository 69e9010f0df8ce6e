// Copying a history in chunks: a copy that carries on after the source has grown adds exactly the new entries, whichever chunks they fall in, a copy of what is there adds nothing, and the copied log reads back entry for entry.
#include "HistoryEngines.h"
#include "history/HistoryCopy.h"
#include "history/HistoryLogCodec.h"
#include "history/HistoryStore.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDateTime Now(QDate(2026, 9, 14), QTime(10, 0, 0), Qt::UTC);
const QString Serial = QStringLiteral("0001E240");
constexpr int Chunk = 97; // small, so that chunk edges fall everywhere

QList<LogRecord> Log(quint32 seed, int records, const QDateTime &end)
{
    CSimLogGenerator::Settings s;
    s.instrumentId = "UNIT";
    s.operators = {"ANN"};
    s.locations = {"TANK 4"};
    return DecodedLog(CSimLogGenerator::Build(seed, records, end, s), LogSensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100), end);
}

bool Retrieve(const QString &location, const QList<LogRecord> &entries, const QDateTime &when)
{
    CHistoryStore store;
    HistoryLogRetrieval r;
    r.serial = Serial;
    r.time = when;
    r.sensors = LogSensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
    return store.Open(location) && store.RecordLog(r, entries).stored;
}

QByteArray Stored(const QString &location, qint64 *count)
{
    CHistoryStore store;
    store.Open(location);
    *count = store.LogEntryCount(Serial);
    QByteArray all;
    for (const LogRecord &e : store.LogEntries(Serial))
        all += CHistoryLogCodec::Encode(e) + e.time.toString(Qt::ISODateWithMs).toLatin1();
    return all;
}
} // namespace

class TestHistoryCopy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void carriesOnInChunks_data();
    void carriesOnInChunks();

private:
    QString Fresh(const QString &engine);

    QTemporaryDir m_dir;
    CPgServer m_pg;
    int m_databases = 0;
};

void TestHistoryCopy::initTestCase()
{
    // Every copy here has the server on one side.
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    QString error;
    QVERIFY2(m_pg.Start(&error), qPrintable(error));
}

void TestHistoryCopy::cleanupTestCase()
{
    m_pg.Stop();
}

QString TestHistoryCopy::Fresh(const QString &engine)
{
    return FreshHistoryLocation(m_dir, m_pg, QStringLiteral("c%1").arg(++m_databases), engine);
}

void TestHistoryCopy::carriesOnInChunks_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("sqlite to postgresql") << "sqlite" << "postgresql";
    QTest::newRow("postgresql to sqlite") << "postgresql" << "sqlite";
}

void TestHistoryCopy::carriesOnInChunks()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    const QString source = Fresh(from), copy = Fresh(to);
    QVERIFY(Retrieve(source, Log(3, 1500, Now.addDays(-10)), Now.addDays(-10)));
    qint64 first = 0;
    Stored(source, &first);
    QVERIFY(first > 1000);

    CHistoryCopy::Result r = CHistoryCopy::Run(source, copy, {}, Chunk);
    QVERIFY2(r.status == CHistoryCopy::Result::Done, qPrintable(r.error));
    QCOMPARE(r.entries.found, first);
    QCOMPARE(r.entries.added, first);

    // The instrument logs on: a later retrieval brings entries before,
    // between and after the ones copied (another log of the same days).
    QVERIFY(Retrieve(source, Log(4, 900, Now.addDays(-9)), Now.addDays(-1)));
    qint64 all = 0;
    const QByteArray expected = Stored(source, &all);
    QVERIFY(all > first);
    r = CHistoryCopy::Run(source, copy, {}, Chunk);
    QVERIFY2(r.status == CHistoryCopy::Result::Done, qPrintable(r.error));
    QCOMPARE(r.entries.found, all);
    QCOMPARE(r.entries.added, all - first);
    QCOMPARE(r.retrievals.added, qint64(1));
    qint64 copied = 0;
    QCOMPARE(Stored(copy, &copied), expected);
    QCOMPARE(copied, all);

    // Everything there: nothing added, in chunks of any size.
    for (int chunk : {Chunk, 1, CHistoryCopy::ChunkRows}) {
        r = CHistoryCopy::Run(source, copy, {}, chunk);
        QVERIFY2(r.status == CHistoryCopy::Result::Done, qPrintable(r.error));
        QCOMPARE(r.entries.added, qint64(0));
        QCOMPARE(r.instruments.added + r.retrievals.added + r.calibrations.added, qint64(0));
    }
    QCOMPARE(Stored(copy, &copied), expected);
}

QTEST_GUILESS_MAIN(TestHistoryCopy)
#include "tst_historycopy.moc"
