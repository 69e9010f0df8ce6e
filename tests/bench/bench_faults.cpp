// Operations on a lossy line: altavo-cli's upload, a 2000-record log fetch and
// a 256 KB firmware run against altavo-sim on a pseudo-terminal at 115200
// baud, clean and with 5% of the requests lost, as time over the clean run's
// time, and the extra time per lost reply in reply periods (1.0: each loss
// costs one reply period and nothing more).
#include "EventWait.h"
#include "HexText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr double SerialReplyPeriodS = 0.5; // the link's reply period on a serial port

struct Timing
{
    bool ok = false;
    double seconds = 0;
    int lost = 0; // requests the simulator lost
    int requests = 0;
    QString failure;
};

Timing RunOnce(const QStringList &simArgs, const QStringList &command, const QString &settings)
{
    Timing t;
    QProcess sim;
    QByteArray simOut, simErr;
    QObject::connect(&sim, &QProcess::readyReadStandardOutput, [&] { simOut += sim.readAllStandardOutput(); });
    QObject::connect(&sim, &QProcess::readyReadStandardError, [&] { simErr += sim.readAllStandardError(); });
    sim.start(QStringLiteral(ALTAVO_SIM_PATH), QStringList{QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200"),
                                                          QStringLiteral("--trace")} + simArgs);
    static const QRegularExpression ready(QStringLiteral("pty: (\\S+)"));
    QString pty;
    WaitUntil([&] {
        const QRegularExpressionMatch m = ready.match(QString::fromLocal8Bit(simOut));
        if (m.hasMatch())
            pty = m.captured(1);
        return !pty.isEmpty() || sim.state() == QProcess::NotRunning;
    }, 30000);
    if (pty.isEmpty()) {
        t.failure = QStringLiteral("the simulator did not start");
        return t;
    }
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings);
    cli.setProcessEnvironment(environment);
    cli.setStandardInputFile(QProcess::nullDevice());
    QByteArray cliErr;
    QObject::connect(&cli, &QProcess::readyReadStandardError, [&] { cliErr += cli.readAllStandardError(); });
    QObject::connect(&cli, &QProcess::readyReadStandardOutput, [&] { cli.readAllStandardOutput(); });
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(ALTAVO_CLI_PATH), QStringList{QStringLiteral("--serial"), pty} + command);
    // The event loop keeps both programs' output flowing while we wait.
    WaitUntil([&] { return cli.state() == QProcess::NotRunning; }, 900000);
    t.seconds = clock.nsecsElapsed() * 1e-9;
    if (cli.state() != QProcess::NotRunning) {
        cli.kill();
        cli.waitForFinished(2000);
    }
    sim.terminate();
    WaitUntil([&] { return sim.state() == QProcess::NotRunning; }, 5000);
    t.lost = int(simErr.count("!! request lost"));
    t.requests = int(simErr.count("\n-> ")) + (simErr.startsWith("-> ") ? 1 : 0);
    t.ok = cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    if (!t.ok)
        t.failure = QStringLiteral("status %1: %2").arg(cli.exitCode()).arg(QString::fromLocal8Bit(cliErr.right(300)));
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString seed = args.value(0, QStringLiteral("1"));
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("fw256k.hex"));
    {
        QFile f(image);
        if (!f.open(QIODevice::WriteOnly) || f.write(HexImage256K()) < 0)
            return 1;
    }
    struct Case
    {
        const char *name;
        QStringList sim;
        QStringList command;
    };
    const QList<Case> cases = {
        {"upload (options file)", {}, {QStringLiteral("upload"), QStringLiteral("--options"), dir.filePath(QStringLiteral("u.kvo"))}},
        {"log fetch, 2000 records", {QStringLiteral("--log-records"), QStringLiteral("2000")},
         {QStringLiteral("log"), QStringLiteral("--csv"), dir.filePath(QStringLiteral("l.csv"))}},
        {"firmware run, 256 KB", {}, {QStringLiteral("program"), image}},
    };
    std::printf("altavo-cli against altavo-sim --pty --baud 115200 --seed %s, clean and with --drop 0.05\n", qPrintable(seed));
    for (const Case &c : cases) {
        QTemporaryDir settings;
        const Timing clean = RunOnce(c.sim + QStringList{QStringLiteral("--seed"), seed}, c.command, settings.path());
        QTemporaryDir settings2;
        const Timing lossy = RunOnce(c.sim + QStringList{QStringLiteral("--seed"), seed, QStringLiteral("--drop"), QStringLiteral("0.05")},
                                     c.command, settings2.path());
        if (!clean.ok || !lossy.ok) {
            std::printf("%s: failed (clean: %s; lossy: %s)\n", c.name, clean.ok ? "ok" : qPrintable(clean.failure),
                        lossy.ok ? "ok" : qPrintable(lossy.failure));
            std::fflush(stdout);
            continue;
        }
        const double perLoss = lossy.lost > 0 ? (lossy.seconds - clean.seconds) / lossy.lost / SerialReplyPeriodS : 0.0;
        std::printf("%s: clean %.2f s (%d requests), --drop 0.05 %.2f s (%d requests, %d lost): ratio %.2f; "
                    "%.2f reply periods per lost request; ratio to clean + one period per loss %.2f\n",
                    c.name, clean.seconds, clean.requests, lossy.seconds, lossy.requests, lossy.lost,
                    lossy.seconds / clean.seconds, perLoss,
                    lossy.seconds / (clean.seconds + lossy.lost * SerialReplyPeriodS));
        std::fflush(stdout);
    }
    return 0;
}
