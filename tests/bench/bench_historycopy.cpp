// Copying a history with a million log entries from SQLite into PostgreSQL and back, and the second copy that finds everything there.
#include "PgServer.h"
#include "SimInstrument.h"
#include "SimLogGenerator.h"
#include "datalog/LogDecoder.h"
#include "history/HistoryCopy.h"
#include "history/HistoryStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace {
const QDateTime Now(QDate(2026, 3, 2), QTime(17, 30, 0), Qt::UTC);

QList<LogRecord> Entries(int records, LogSensors *sensors)
{
    const CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(CSimInstrument([] { return Now; }));
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(5, records, Now, settings);
    *sensors = LogSensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
    LogDecoder decoder(*sensors);
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, log.start)};
    entries.reserve(records + 2);
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, Now));
    return entries;
}

void Copy(const char *what, const QString &from, const QString &to)
{
    QElapsedTimer t;
    t.start();
    const CHistoryCopy::Result r = CHistoryCopy::Run(from, to);
    const double s = t.nsecsElapsed() * 1e-9;
    std::printf("  %-34s %6.2f s  %s%s\n", what, s, r.status == CHistoryCopy::Result::Done ? "" : "FAILED: ",
                qPrintable(r.status == CHistoryCopy::Result::Done ? r.Summary() : r.error));
    std::fflush(stdout);
}
} // namespace

// bench_historycopy [ENTRIES]: 1000000 by default.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int records = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 1000000;
    QTemporaryDir dir;
    CPgServer pg(QStringList{}); // fsync on, as installed
    QString error;
    if (!pg.Start(&error) || !pg.CreateDatabase(QStringLiteral("copy"), &error) || !pg.CreateDatabase(QStringLiteral("again"), &error)) {
        std::printf("postgresql: %s\n", qPrintable(error));
        return 1;
    }
    const QString sqlite = dir.filePath(QStringLiteral("source.db"));
    const QString back = dir.filePath(QStringLiteral("back.db"));
    {
        LogSensors sensors;
        const QList<LogRecord> log = Entries(records, &sensors);
        CHistoryStore store;
        store.Open(sqlite);
        HistoryLogRetrieval r;
        r.serial = QStringLiteral("0001E240");
        r.sensors = sensors;
        const HistoryWriteResult w = store.RecordLog(r, log);
        std::printf("source: %lld log entries stored in SQLite%s\n", static_cast<long long>(w.added), w.stored ? "" : " (FAILED)");
    }
    Copy("SQLite -> PostgreSQL (empty)", sqlite, pg.Url(QStringLiteral("copy")));
    Copy("SQLite -> PostgreSQL again", sqlite, pg.Url(QStringLiteral("copy")));
    Copy("PostgreSQL -> SQLite (empty)", pg.Url(QStringLiteral("copy")), back);
    Copy("PostgreSQL -> SQLite again", pg.Url(QStringLiteral("copy")), back);
    return 0;
}
