// Many altavo-cli writers at once into one PostgreSQL history, each against a simulator of its own on a pseudo-terminal, while the spools other programs left behind are replayed: afterwards every record is counted in the database exactly once against what the simulators served.
#pragma once

#include "PgServer.h"
#include "ProgramRuns.h"
#include "history/HistorySpool.h"
#include "history/HistoryStore.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <memory>
#include <vector>

struct HistoryLoadPlan
{
    int writers = 4;
    int seconds = 15;
    int spoolPrograms = 2;
    int logRecords = 300;
};

struct HistoryLoadResult
{
    QString problem; // empty when every record arrived exactly once
    int runs = 0;    // altavo-cli runs of the writers
    int uploads = 0;
    int logs = 0;
    int spooled = 0;          // records the spool programs left waiting
    qint64 entries = 0;       // log entries stored
    double seconds = 0;       // the writers' phase
    double replaySeconds = 0; // until the last spool was replayed
    double longestRun = 0;    // the slowest altavo-cli run of a writer
};

class CHistoryLoad
{
public:
    CHistoryLoad(CPgServer &pg, const QString &folder) : m_pg(pg), m_folder(folder) {}

    HistoryLoadResult Run(const HistoryLoadPlan &plan, const QString &database)
    {
        HistoryLoadResult result;
        QString error;
        if (!m_pg.CreateDatabase(database, &error))
            return Failed(result, error);
        m_url = m_pg.Url(database);
        std::vector<std::unique_ptr<Program>> writers, spoolers;
        for (int i = 0; i < plan.writers + plan.spoolPrograms; ++i) {
            auto p = std::make_unique<Program>();
            p->serial = quint32(0x00C10000 + i);
            p->data = QStringLiteral("%1/program%2").arg(m_folder).arg(i);
            p->csv = QStringLiteral("%1/log%2.csv").arg(m_folder).arg(i);
            if (!p->sim.Start({QStringLiteral("--serial-number"), QString::number(p->serial), QStringLiteral("--seed"), QString::number(i + 1),
                               QStringLiteral("--log-records"), QString::number(plan.logRecords)}))
                return Failed(result, QStringLiteral("simulator %1 did not start").arg(i));
            (i < plan.writers ? writers : spoolers).push_back(std::move(p));
        }

        // Programs that ran while the server was down: an upload and a log each, in their spools.
        if (!m_pg.Stop())
            return Failed(result, QStringLiteral("the server did not stop"));
        for (auto &p : spoolers) {
            for (int step = 0; step < 2; ++step) {
                const CliRun run = RunCli(Command(*p, step), Environment(*p), 60000);
                if (run.status != 0 || !run.err.contains(QStringLiteral("record(s) wait")))
                    return Failed(result, QStringLiteral("a program meant to spool: ") + Describe(run));
                Count(*p, step, run);
            }
            result.spooled += SpooledIn(p->data);
        }
        if (!m_pg.Start(&error))
            return Failed(result, error);

        // The writers and the replays all at once.
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        int running = 0;
        const auto finished = [&] {
            if (--running == 0)
                loop.quit();
        };
        for (auto &p : spoolers) {
            ++running;
            Start(*p, {QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--history"), m_url}, [&](const CliRun &run) {
                if (run.status != 0 || !run.err.isEmpty())
                    Problem(result, QStringLiteral("a replay: ") + Describe(run));
                result.replaySeconds = qMax(result.replaySeconds, clock.elapsed() / 1000.0);
                finished();
            });
        }
        const qint64 endMs = qint64(plan.seconds) * 1000;
        std::function<void(Program &)> next = [&](Program &p) {
            const int step = p.steps++;
            QElapsedTimer own;
            own.start();
            Start(p, Command(p, step), [&, step, own, prog = &p](const CliRun &run) {
                ++result.runs;
                result.longestRun = qMax(result.longestRun, own.elapsed() / 1000.0);
                if (run.status != 0)
                    Problem(result, QStringLiteral("a writer: ") + Describe(run));
                else
                    Count(*prog, step, run);
                if (clock.elapsed() < endMs && result.problem.isEmpty())
                    next(*prog);
                else
                    finished();
            });
        };
        for (auto &p : writers) {
            ++running;
            next(*p);
        }
        QTimer::singleShot(endMs + 300000, &loop, &QEventLoop::quit);
        loop.exec();
        result.seconds = clock.elapsed() / 1000.0;
        if (running > 0)
            return Failed(result, QStringLiteral("%1 program(s) did not finish").arg(running));
        if (!result.problem.isEmpty())
            return result;

        // What a writer's last run left in its spool goes in with one more run.
        for (auto &p : writers) {
            const CliRun run = RunCli({QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--history"), m_url}, Environment(*p), 60000);
            if (run.status != 0)
                return Failed(result, QStringLiteral("the last replay: ") + Describe(run));
        }
        result.uploads = m_uploads;
        result.logs = m_logs;
        CHistoryStore store;
        if (!store.Open(m_url))
            return Failed(result, store.ErrorString());
        const int programs = int(writers.size() + spoolers.size());
        if (int(store.Fleet().size()) != programs)
            Problem(result, QStringLiteral("%1 instruments in the history, %2 served").arg(store.Fleet().size()).arg(programs));
        for (auto *list : {&writers, &spoolers}) {
            for (auto &p : *list) {
                const QString serial = QStringLiteral("%1").arg(p->serial, 8, 16, QLatin1Char('0')).toUpper();
                const qsizetype snapshots = store.Snapshots(serial).size();
                const QList<HistoryLogRetrieval> retrievals = store.Retrievals(serial);
                const qint64 entries = store.LogEntryCount(serial);
                result.entries += entries;
                if (snapshots != p->uploads || retrievals.size() != p->logs)
                    Problem(result, QStringLiteral("%1: %2 snapshots for %3 uploads, %4 retrievals for %5 logs")
                                        .arg(serial).arg(snapshots).arg(p->uploads).arg(retrievals.size()).arg(p->logs));
                for (const HistoryLogRetrieval &r : retrievals) {
                    if (r.entryCount != p->served)
                        Problem(result, QStringLiteral("%1: a retrieval of %2 entries, %3 served").arg(serial).arg(r.entryCount).arg(p->served));
                }
                if (p->logs > 0 && entries != p->served)
                    Problem(result, QStringLiteral("%1: %2 entries stored, %3 served").arg(serial).arg(entries).arg(p->served));
                if (SpooledIn(p->data) != 0)
                    Problem(result, QStringLiteral("%1: records still wait in its spool").arg(serial));
            }
        }
        return result;
    }

private:
    struct Program
    {
        quint32 serial = 0;
        QString data;
        QString csv;
        CSimProcess sim;
        std::unique_ptr<QProcess> cli;
        int steps = 0;
        int uploads = 0;
        int logs = 0;
        qint64 served = -1; // log entries the simulator served (without the retrieval's markers)
    };

    static HistoryLoadResult &Failed(HistoryLoadResult &result, const QString &problem)
    {
        Problem(result, problem);
        return result;
    }
    static void Problem(HistoryLoadResult &result, const QString &problem)
    {
        if (result.problem.isEmpty())
            result.problem = problem;
    }

    QStringList Command(const Program &p, int step) const
    {
        if (step % 2 == 0)
            return {QStringLiteral("upload"), QStringLiteral("--serial"), p.sim.Pty(), QStringLiteral("--history"), m_url};
        return {QStringLiteral("log"), QStringLiteral("--serial"), p.sim.Pty(), QStringLiteral("--csv"), p.csv, QStringLiteral("--history"), m_url};
    }

    // Each program keeps its spool in a data folder of its own, as on its own computer.
    QProcessEnvironment Environment(const Program &p) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_DATA_HOME"), p.data);
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), p.data + QStringLiteral("/config"));
        return e;
    }

    void Count(Program &p, int step, const CliRun &run)
    {
        if (step % 2 == 0) {
            ++p.uploads;
            ++m_uploads;
            return;
        }
        ++p.logs;
        ++m_logs;
        // "Log saved to FILE (N entries)." counts the start and end markers the retrieval adds.
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\((\\d+) entries\\)")).match(run.out);
        const qint64 served = m.hasMatch() ? m.captured(1).toLongLong() - 2 : -1;
        p.served = p.served < 0 || p.served == served ? served : -2;
    }

    static int SpooledIn(const QString &folder)
    {
        int records = 0;
        for (QDirIterator it(folder, {QStringLiteral("*.spool")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            records += CHistorySpool(it.next()).Count();
        return records;
    }

    void Start(Program &p, const QStringList &args, std::function<void(const CliRun &)> done)
    {
        p.cli = std::make_unique<QProcess>();
        QProcess *cli = p.cli.get();
        cli->setStandardInputFile(QProcess::nullDevice());
        cli->setProcessEnvironment(Environment(p));
        QObject::connect(cli, &QProcess::finished, cli, [cli, done = std::move(done)](int code, QProcess::ExitStatus status) {
            CliRun run;
            run.status = status == QProcess::NormalExit ? code : -1;
            run.out = QString::fromLocal8Bit(cli->readAllStandardOutput());
            run.err = QString::fromLocal8Bit(cli->readAllStandardError());
            // The next run replaces this process object: not from inside its own signal.
            QTimer::singleShot(0, [done, run] { done(run); });
        });
        cli->start(qEnvironmentVariable("ALTAVO_CLI"), args);
    }

    CPgServer &m_pg;
    QString m_folder;
    QString m_url;
    int m_uploads = 0;
    int m_logs = 0;
};
