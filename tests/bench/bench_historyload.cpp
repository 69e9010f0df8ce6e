// The history under load: writers at once (altavo-cli against simulators of their own) into one PostgreSQL server while the spools of other programs are replayed, every record counted in once.
#include "HistoryLoad.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

// bench_historyload [WRITERS [SECONDS [SPOOLS]]]: 16 60 4 by default.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM"))
        qputenv("ALTAVO_SIM", ALTAVO_SIM_PATH);
    if (qEnvironmentVariableIsEmpty("ALTAVO_CLI"))
        qputenv("ALTAVO_CLI", ALTAVO_CLI_PATH);
    const QStringList args = app.arguments();
    HistoryLoadPlan plan;
    plan.writers = args.size() > 1 ? args[1].toInt() : 16;
    plan.seconds = args.size() > 2 ? args[2].toInt() : 60;
    plan.spoolPrograms = args.size() > 3 ? args[3].toInt() : 4;
    plan.logRecords = 300;
    QTemporaryDir dir;
    CPgServer pg(QStringList{}); // fsync on, as installed
    QString error;
    if (!pg.Start(&error)) {
        std::printf("postgresql: %s\n", qPrintable(error));
        return 1;
    }
    const HistoryLoadResult r = CHistoryLoad(pg, dir.path()).Run(plan, QStringLiteral("load"));
    std::printf("%d writers for %d s, %d spools replayed at once\n", plan.writers, plan.seconds, plan.spoolPrograms);
    std::printf("  altavo-cli runs: %d (%d uploads, %d log fetches of %d records, the spooling programs' included) in %.1f s; slowest run %.2f s\n", r.runs, r.uploads,
                r.logs, plan.logRecords, r.seconds, r.longestRun);
    std::printf("  spooled records replayed: %d, the last spool empty after %.2f s\n", r.spooled, r.replaySeconds);
    std::printf("  log entries stored: %lld\n", static_cast<long long>(r.entries));
    std::printf("  every record once: %s\n", r.problem.isEmpty() ? "yes" : qPrintable(QStringLiteral("NO - ") + r.problem));
    return r.problem.isEmpty() ? 0 : 1;
}
