// A PostgreSQL server of the test's own: a new cluster in a temporary folder, listening on a Unix socket there (and, in its TLS variant, on loopback TCP over TLS only), stopped and removed at the end.
#pragma once

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QVersionNumber>
#include <memory>

#ifndef Q_OS_WIN
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

/*
 * The server refuses to run as root, so when the test runs as root the
 * cluster belongs to the "postgres" account (or ALTAVO_PG_USER) and every
 * server program runs through runuser as that account. No TCP port is
 * opened: clients reach the server through the socket in the folder.
 *
 * The binaries are looked for in ALTAVO_PG_BIN, then the newest
 * /usr/lib/postgresql/<version>/bin. A machine without them fails the test
 * (scripts/bootstrap installs them); it never skips.
 *
 * The TLS variant (EnableTls before the first Start) makes a certificate
 * authority and a server certificate for localhost and 127.0.0.1 with
 * openssl, and a second authority that signed nothing. The server then also
 * listens on 127.0.0.1 at a free port, where pg_hba lets clients in over TLS
 * with a SCRAM password only; the socket stays open to the test itself.
 */
class CPgServer
{
public:
    explicit CPgServer(QStringList serverOptions = {QStringLiteral("-c"), QStringLiteral("fsync=off")})
        : m_options(std::move(serverOptions))
    {
    }
    ~CPgServer() { Stop(); }
    CPgServer(const CPgServer &) = delete;
    CPgServer &operator=(const CPgServer &) = delete;

    static QString BinDir()
    {
        const QString given = qEnvironmentVariable("ALTAVO_PG_BIN");
        if (!given.isEmpty())
            return given;
        QDir root(QStringLiteral("/usr/lib/postgresql"));
        QString best;
        QVersionNumber bestVersion;
        for (const QString &v : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QVersionNumber n = QVersionNumber::fromString(v);
            if (QFile::exists(root.filePath(v + QStringLiteral("/bin/initdb"))) && (best.isEmpty() || n > bestVersion)) {
                best = root.filePath(v + QStringLiteral("/bin"));
                bestVersion = n;
            }
        }
        return best;
    }

    // Call before the first Start.
    void EnableTls() { m_tls = true; }
    bool HasTls() const { return m_tls; }
    int Port() const { return m_port; }
    QString CaFile() const { return m_dir ? m_dir->path() + QStringLiteral("/ca.crt") : QString(); }
    QString OtherCaFile() const { return m_dir ? m_dir->path() + QStringLiteral("/other-ca.crt") : QString(); }
    // postgresql://user@127.0.0.1:port/database checking the server's certificate against the test's authority.
    QString TlsUrl(const QString &user, const QString &database, const QString &ca = QString()) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3?sslmode=verify-full&sslrootcert=%4")
            .arg(user)
            .arg(m_port)
            .arg(database, ca.isEmpty() ? CaFile() : ca);
    }

    // Creates the cluster on the first call, then starts the server.
    bool Start(QString *error)
    {
        const QString bin = BinDir();
        if (bin.isEmpty()) {
            *error = QStringLiteral("PostgreSQL server programs not found (no /usr/lib/postgresql/*/bin/initdb); run scripts/bootstrap");
            return false;
        }
        if (!m_dir) {
            m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/altavo-pg-XXXXXX"));
            if (!m_dir->isValid() || !GiveAway(m_dir->path(), error))
                return false;
            if (!Run(bin + QStringLiteral("/initdb"),
                     {QStringLiteral("-D"), DataDir(), QStringLiteral("-U"), User(), QStringLiteral("-A"), QStringLiteral("trust"),
                      QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                     error))
                return false;
            if (m_tls && !SetUpTls(error))
                return false;
        }
        QString options = QStringLiteral("-k %1 -p %2 ").arg(SocketDir()).arg(m_port);
        options += m_tls ? QStringLiteral("-c listen_addresses=127.0.0.1 -c ssl=on -c ssl_cert_file=%1/server.crt -c ssl_key_file=%1/server.key ")
                               .arg(m_dir->path())
                         : QStringLiteral("-c listen_addresses= ");
        options += m_options.join(QLatin1Char(' '));
        if (!Run(bin + QStringLiteral("/pg_ctl"),
                 {QStringLiteral("-D"), DataDir(), QStringLiteral("-l"), m_dir->path() + QStringLiteral("/server.log"),
                  QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
                 error)) {
            *error += QStringLiteral("\n") + Log();
            return false;
        }
        m_running = true;
        return true;
    }

    bool Stop()
    {
        if (!m_running)
            return true;
        QString error;
        m_running = !Run(BinDir() + QStringLiteral("/pg_ctl"),
                         {QStringLiteral("-D"), DataDir(), QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                          QStringLiteral("stop")},
                         &error);
        return !m_running;
    }

    bool IsRunning() const { return m_running; }

    bool CreateDatabase(const QString &name, QString *error)
    {
        return Run(BinDir() + QStringLiteral("/createdb"),
                   {QStringLiteral("-h"), SocketDir(), QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), User(), name}, error);
    }

    // Runs a psql script (backslash commands allowed) as the server's superuser.
    bool SqlScript(const QString &database, const QString &script, QString *error, QString *output = nullptr)
    {
        const QString path = m_dir->path() + QStringLiteral("/script-%1.sql").arg(++m_scripts);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(script.toUtf8()) < 0) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        f.close();
        return Run(BinDir() + QStringLiteral("/psql"),
                   {QStringLiteral("-h"), SocketDir(), QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), User(),
                    QStringLiteral("-d"), database, QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-qAt"),
                    QStringLiteral("-f"), path},
                   error, output);
    }

    // Runs SQL through psql on a database; the output in *output.
    bool Sql(const QString &database, const QString &sql, QString *error, QString *output = nullptr)
    {
        return Run(BinDir() + QStringLiteral("/psql"),
                   {QStringLiteral("-h"), SocketDir(), QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), User(),
                    QStringLiteral("-d"), database, QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-qAt"),
                    QStringLiteral("-c"), sql},
                   error, output);
    }

    QString SocketDir() const { return m_dir ? m_dir->path() : QString(); }
    QString Url(const QString &database) const
    {
        return m_port == 5432 ? QStringLiteral("postgresql://%1@localhost/%2?host=%3").arg(User(), database, SocketDir())
                              : QStringLiteral("postgresql://%1@localhost:%4/%2?host=%3").arg(User(), database, SocketDir()).arg(m_port);
    }
    QString Log() const
    {
        QFile f(m_dir ? m_dir->path() + QStringLiteral("/server.log") : QString());
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

    static QString User() { return QStringLiteral("altavo"); }

private:
    QString DataDir() const { return m_dir->path() + QStringLiteral("/data"); }

    static bool IsRoot()
    {
#ifndef Q_OS_WIN
        return ::geteuid() == 0;
#else
        return false;
#endif
    }
    static QString Account()
    {
        const QString given = qEnvironmentVariable("ALTAVO_PG_USER");
        return given.isEmpty() ? QStringLiteral("postgres") : given;
    }

    // As root the folder must belong to the account the server runs as.
    static bool GiveAway(const QString &path, QString *error)
    {
#ifndef Q_OS_WIN
        if (!IsRoot())
            return true;
        const QByteArray name = Account().toLocal8Bit();
        const passwd *pw = ::getpwnam(name.constData());
        if (!pw) {
            *error = QStringLiteral("running as root, but there is no account \"%1\" to run PostgreSQL as").arg(Account());
            return false;
        }
        const QByteArray p = QFile::encodeName(path);
        if (::chown(p.constData(), pw->pw_uid, pw->pw_gid) != 0 || ::chmod(p.constData(), 0700) != 0) {
            *error = QStringLiteral("cannot hand %1 to the account %2").arg(path, Account());
            return false;
        }
#else
        Q_UNUSED(path);
        Q_UNUSED(error);
#endif
        return true;
    }

    static bool Run(const QString &program, const QStringList &args, QString *error, QString *output = nullptr)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (IsRoot())
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), Account(), QStringLiteral("--"), program} + args);
        else
            p.start(program, args);
        if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
            *error = QStringLiteral("%1 did not run: %2").arg(program, p.errorString());
            p.kill();
            p.waitForFinished(1000);
            return false;
        }
        const QString text = QString::fromLocal8Bit(p.readAll());
        if (output)
            *output = text.trimmed();
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            *error = QStringLiteral("%1 failed (exit %2): %3").arg(program).arg(p.exitCode()).arg(text.trimmed());
            return false;
        }
        return true;
    }

    static int FreePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }

    // The authorities, the server's key and certificate, and a pg_hba that
    // takes TCP clients over TLS with a SCRAM password only.
    bool SetUpTls(QString *error)
    {
        m_port = FreePort();
        if (m_port == 0) {
            *error = QStringLiteral("no free loopback port for the TLS server");
            return false;
        }
        const QString d = m_dir->path() + QLatin1Char('/');
        const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
        const auto authority = [&](const QString &name, const QString &cn) {
            return Run(QStringLiteral("openssl"),
                       QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec
                           + QStringList{QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-subj"), QStringLiteral("/CN=") + cn,
                                         QStringLiteral("-keyout"), d + name + QStringLiteral(".key"), QStringLiteral("-out"),
                                         d + name + QStringLiteral(".crt")},
                       error);
        };
        if (!authority(QStringLiteral("ca"), QStringLiteral("Altavo test authority"))
            || !authority(QStringLiteral("other-ca"), QStringLiteral("Altavo other authority")))
            return false;
        if (!WriteFile(d + QStringLiteral("san.cnf"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n", error)
            || !Run(QStringLiteral("openssl"),
                    QStringList{QStringLiteral("req"), QStringLiteral("-new")} + ec
                        + QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=localhost"), QStringLiteral("-keyout"),
                                      d + QStringLiteral("server.key"), QStringLiteral("-out"), d + QStringLiteral("server.csr")},
                    error)
            || !Run(QStringLiteral("openssl"),
                    {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), d + QStringLiteral("server.csr"),
                     QStringLiteral("-CA"), d + QStringLiteral("ca.crt"), QStringLiteral("-CAkey"), d + QStringLiteral("ca.key"),
                     QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-extfile"),
                     d + QStringLiteral("san.cnf"), QStringLiteral("-out"), d + QStringLiteral("server.crt")},
                    error)
            || !Run(QStringLiteral("chmod"), {QStringLiteral("600"), d + QStringLiteral("server.key")}, error))
            return false;
        return WriteFile(DataDir() + QStringLiteral("/pg_hba.conf"),
                         "local all all trust\n"
                         "hostssl all all 127.0.0.1/32 scram-sha-256\n",
                         error);
    }

    static bool WriteFile(const QString &path, const QByteArray &text, QString *error)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size()) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
            return false;
        }
        return true;
    }

    QStringList m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_running = false;
    bool m_tls = false;
    int m_port = 5432;
    int m_scripts = 0;
};
