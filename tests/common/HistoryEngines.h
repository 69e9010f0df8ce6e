// What the history tests share: test rows for both database engines, a new empty database per row, and a generated log decoded as a retrieval would.
#pragma once

#include "PgServer.h"
#include "SimLogGenerator.h"
#include "datalog/LogDecoder.h"
#include "platform/BuildInfo.h"

#include <QTemporaryDir>
#include <QTest>

// The engines this build keeps a history in: a build without the
// PostgreSQL client (Windows) keeps SQLite only.
inline QStringList HistoryEngineNames()
{
    QStringList engines{QStringLiteral("sqlite")};
    if (BuildInfo::HasPostgresClient())
        engines << QStringLiteral("postgresql");
    return engines;
}

// One row per engine; the test function's data function calls it.
inline void HistoryEngineRows()
{
    QTest::addColumn<QString>("engine");
    for (const QString &engine : HistoryEngineNames())
        QTest::newRow(qPrintable(engine)) << engine;
}

// A new, empty database called name of the engine given ("sqlite" or
// "postgresql"): a SQLite file in dir or a database on the test's own server.
inline QString FreshHistoryLocation(const QTemporaryDir &dir, CPgServer &pg, const QString &name, const QString &engine)
{
    if (engine == QLatin1String("sqlite"))
        return dir.filePath(name + QStringLiteral(".db"));
    QString error;
    if (!pg.CreateDatabase(name, &error))
        qWarning("%s", qPrintable(error));
    return pg.Url(name);
}

// The same, of the engine the test row names.
inline QString FreshHistoryLocation(const QTemporaryDir &dir, CPgServer &pg, const QString &name)
{
    QFETCH(QString, engine);
    return FreshHistoryLocation(dir, pg, name, engine);
}

// The generated records decoded between the markers a retrieval puts around
// a log, the last at end.
inline QList<LogRecord> DecodedLog(const CSimLogGenerator::Result &log, const LogSensors &sensors, const QDateTime &end)
{
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, log.start)};
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, end));
    return entries;
}
