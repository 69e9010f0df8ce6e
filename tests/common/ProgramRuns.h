// The two programs as a user runs them: altavo-sim as its own process (its
// ready lines tell where it listens) and altavo-cli with its exit status and
// output. The test CMake helper names both executables in ALTAVO_SIM and
// ALTAVO_CLI.
#pragma once

#include "EventWait.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// Runs altavo-cli to the end with no terminal on stdin (so it never asks).
// Time limits here stretch by the wait scale (EventWait.h).
inline CliRun RunCli(const QStringList &args, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                     int timeoutMs = 30000)
{
    QProcess cli;
    cli.setStandardInputFile(QProcess::nullDevice());
    cli.setProcessEnvironment(environment);
    cli.start(qEnvironmentVariable("ALTAVO_CLI"), args);
    if (!cli.waitForFinished(timeoutMs * WaitScale())) {
        cli.kill();
        cli.waitForFinished(1000);
    }
    CliRun run;
    run.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}

inline QString Describe(const CliRun &run)
{
    return QStringLiteral("status %1\nstdout:\n%2\nstderr:\n%3").arg(run.status).arg(run.out, run.err);
}

// altavo-sim in its own process, stopped (by its own process id) when this goes.
class CSimProcess
{
public:
    CSimProcess() { m_process.setProcessChannelMode(QProcess::SeparateChannels); }
    ~CSimProcess() { Stop(); }

    // Starts it and waits for its ready lines ("pty: ..." and/or "gateway: ...").
    bool Start(const QStringList &args)
    {
        m_process.start(qEnvironmentVariable("ALTAVO_SIM"), args);
        if (!m_process.waitForStarted(5000 * WaitScale()))
            return false;
        const bool wantPty = args.contains(QStringLiteral("--pty")) || !args.contains(QStringLiteral("--gateway"));
        const bool wantGateway = args.contains(QStringLiteral("--gateway"));
        QByteArray out;
        QDeadlineTimer deadline(15000 * WaitScale()); // a large generated log takes a moment to build
        while (!deadline.hasExpired()) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
            for (const QByteArray &raw : out.split('\n')) {
                const QString line = QString::fromLocal8Bit(raw.trimmed());
                if (line.startsWith(QLatin1String("pty: ")))
                    m_pty = line.mid(5);
                const QRegularExpressionMatch m =
                    QRegularExpression(QStringLiteral("^gateway: (\\S+) tcp (\\d+) udp (\\d+)")).match(line);
                if (m.hasMatch()) {
                    m_host = m.captured(1);
                    m_tcpPort = m.captured(2).toUShort();
                    m_udpPort = m.captured(3).toUShort();
                }
            }
            if ((!wantPty || !m_pty.isEmpty()) && (!wantGateway || m_tcpPort != 0))
                return true;
        }
        return false;
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000 * WaitScale()))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    QString Pty() const { return m_pty; }
    QString Gateway() const { return QStringLiteral("%1:%2").arg(m_host).arg(m_tcpPort); }
    quint16 UdpPort() const { return m_udpPort; }
    QProcess &Process() { return m_process; }

private:
    QProcess m_process;
    QString m_pty;
    QString m_host;
    quint16 m_tcpPort = 0;
    quint16 m_udpPort = 0;
};
