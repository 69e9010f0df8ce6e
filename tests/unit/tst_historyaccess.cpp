// A shared history a shop can trust: server URLs with the client library's connection settings, passwords kept out of sight, the password file, TLS with a checked certificate, the service file, and the owner, technician and viewer roles on a real server.
#include "LogEvent.h"
#include "PgServer.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryLocation.h"
#include "history/HistoryPasswordFile.h"
#include "history/HistorySchema.h"
#include "history/HistoryStore.h"
#include "platform/BuildInfo.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString OwnerPassword = QStringLiteral("own:er\\pass");
const QString TechPassword = QStringLiteral("t3ch-secret");

HistoryInstrument Unit(const QString &serial)
{
    HistoryInstrument i;
    i.serial = serial;
    i.instrumentId = QStringLiteral("TRUCK 7");
    i.lastSeen = QDateTime::currentDateTimeUtc();
    return i;
}

QString ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Sets an environment variable for one scope.
struct EnvVar
{
    EnvVar(const char *name, const QString &value) : m_name(name) { qputenv(name, value.toLocal8Bit()); }
    ~EnvVar() { qunsetenv(m_name); }
    const char *m_name;
};
} // namespace

class TestHistoryAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void parsesConnectionSettings_data();
    void parsesConnectionSettings();
    void passwordsNeverShown_data();
    void passwordsNeverShown();
    void passwordFileEntry();
    void verifiedTlsStoresAndLists();
    void foreignCertificateRefusedAndSpooled();
    void passwordFromPasswordFile();
    void serviceFileWithoutHost();
    void ownerCreatesTechnicianWritesViewerReads();
    void onlyOwnerMigrates();

private:
    QString SocketUrl(const QString &user, const QString &database) const;
    // A database the owner role owns, with the technician's and viewer's rights as the administrator's SQL gives them.
    bool SharedDatabase(const QString &name, QString *error);

    QTemporaryDir m_dir;
    CPgServer m_pg;
};

void TestHistoryAccess::initTestCase()
{
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    QVERIFY(m_dir.isValid());
    // Never the user's own password file.
    qputenv("PGPASSFILE", m_dir.filePath(QStringLiteral("none.pgpass")).toLocal8Bit());
    m_pg.EnableTls();
    QString error;
    QVERIFY2(m_pg.Start(&error), qPrintable(error));
    // The roles and the database as an administrator sets them up.
    QVERIFY2(m_pg.SqlScript(QStringLiteral("postgres"), CHistorySchema::ServerSetupSql(), &error), qPrintable(error));
    QVERIFY2(m_pg.Sql(QStringLiteral("postgres"),
                      QStringLiteral("ALTER ROLE altavo_owner PASSWORD '%1';"
                                     "CREATE ROLE anna LOGIN PASSWORD '%2' IN ROLE altavo_technician;"
                                     "CREATE ROLE ben LOGIN PASSWORD 'viewer' IN ROLE altavo_viewer;")
                          .arg(OwnerPassword, TechPassword),
                      &error),
             qPrintable(error));
}

void TestHistoryAccess::cleanupTestCase()
{
    m_pg.Stop();
    qunsetenv("PGPASSFILE");
}

QString TestHistoryAccess::SocketUrl(const QString &user, const QString &database) const
{
    return QStringLiteral("postgresql://%1@localhost:%2/%3?host=%4").arg(user).arg(m_pg.Port()).arg(database, m_pg.SocketDir());
}

bool TestHistoryAccess::SharedDatabase(const QString &name, QString *error)
{
    const QString rights = CHistorySchema::ServerSetupSql(name).section(QStringLiteral("\\connect"), 1);
    return m_pg.CreateDatabase(name, error)
           && m_pg.Sql(name, QStringLiteral("ALTER DATABASE %1 OWNER TO %2").arg(name, CHistorySchema::OwnerRole), error)
           && m_pg.SqlScript(name, QStringLiteral("\\connect") + rights, error);
}

void TestHistoryAccess::parsesConnectionSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");   // empty: parses
    QTest::addColumn<QString>("options"); // what the driver gets besides host, port, database, user

    const QString defaults = QStringLiteral("connect_timeout=5;application_name=altavo-history");
    QTest::newRow("tls") << "postgresql://tech@db.shop:6543/history?sslmode=verify-full&sslrootcert=/etc/shop/ca.crt&sslcert=/home/t/c.crt&sslkey=/home/t/c.key"
                         << "" << defaults + ";sslmode='verify-full';sslrootcert='/etc/shop/ca.crt';sslcert='/home/t/c.crt';sslkey='/home/t/c.key'";
    QTest::newRow("own timeout") << "postgres://tech@db/history?connect_timeout=20&keepalives=1" << ""
                                 << "application_name=altavo-history;connect_timeout='20';keepalives='1'";
    QTest::newRow("quoted value") << "postgresql://t@db/h?sslrootcert=/my%20certs/it's%5Cca.crt" << ""
                                  << defaults + ";sslrootcert='/my certs/it\\'s\\\\ca.crt'";
    QTest::newRow("service, no host") << "postgresql:///?service=shop" << "" << defaults + ";service='shop'";
    QTest::newRow("ssl=true") << "postgresql://t@db/h?ssl=true" << "" << defaults + ";sslmode='require'";
    QTest::newRow("unknown keyword") << "postgresql://t@db/h?sslmod=require" << "unknown connection setting \"sslmod\"" << "";
    QTest::newRow("bad sslmode") << "postgresql://t@db/h?sslmode=strict" << "sslmode is one of" << "";
    QTest::newRow("semicolon") << "postgresql://t@db/h?options=-c%20a=b;c" << "cannot hold a ';'" << "";
    QTest::newRow("no host, no service") << "postgresql:///history" << "must name a host" << "";
    QTest::newRow("no database, no service") << "postgresql://t@db" << "must name a database" << "";
    QTest::newRow("bad port") << "postgresql://t@db/h?port=x" << "the port must be" << "";
}

void TestHistoryAccess::parsesConnectionSettings()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(QString, options);
    CHistoryLocation l;
    QString why;
    QCOMPARE(CHistoryLocation::Parse(text, QString(), &l, &why), error.isEmpty());
    if (!error.isEmpty()) {
        QVERIFY2(why.contains(error), qPrintable(why));
        return;
    }
    QCOMPARE(CHistoryDatabase::ConnectOptions(l), options);
    QVERIFY(!CHistoryDatabase::ConnectOptions(l).contains(QStringLiteral("password")));
}

void TestHistoryAccess::passwordsNeverShown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("without");

    QTest::newRow("user part") << "postgresql://tech:s3cret@db/history?sslmode=require" << "s3cret"
                               << "postgresql://tech@db/history?sslmode=require";
    QTest::newRow("encoded") << "postgresql://tech:p%40ss%3Aw@db:5433/history" << "p@ss:w" << "postgresql://tech@db:5433/history";
    QTest::newRow("query item") << "postgresql:///?service=shop&password=hunter2&sslmode=verify-full" << "hunter2"
                                << "postgresql:///?service=shop&sslmode=verify-full";
    QTest::newRow("only item") << "postgresql://t@db/h?password=hunter2" << "hunter2" << "postgresql://t@db/h";
    // Too broken to parse, and still not shown.
    QTest::newRow("raw @ in password") << "postgresql://tech:p@ss/w@db/history" << "p@ss/w" << "postgresql://tech@db/history";
    QTest::newRow("none") << "postgresql://tech@db/history" << "" << "postgresql://tech@db/history";
}

void TestHistoryAccess::passwordsNeverShown()
{
    QFETCH(QString, text);
    QFETCH(QString, password);
    QFETCH(QString, without);
    QString found;
    QCOMPARE(CHistoryLocation::WithoutPassword(text, &found), without);
    QCOMPARE(found, password);
    if (password.isEmpty())
        return;
    QVERIFY(!CHistoryLocation::Masked(text).contains(password));
    QVERIFY(!CHistoryLocation::Masked(text).contains(QString::fromLatin1(QUrl::toPercentEncoding(password))));
    QVERIFY(CHistoryLocation::Masked(text).contains(CHistoryLocation::MaskText));
    // What Parse, Shown and every error give.
    CHistoryLocation l;
    QString error;
    if (CHistoryLocation::Parse(text, QString(), &l, &error)) {
        QCOMPARE(l.password, password);
        QVERIFY(!l.Shown().contains(password));
    } else {
        QVERIFY2(!error.contains(password), qPrintable(error));
    }
    // Put back for one run, it is the password the URL carries.
    const QString again = CHistoryLocation::WithPassword(without, password);
    QVERIFY(CHistoryLocation::Parse(again, QString(), &l, &error));
    QCOMPARE(l.password, password);
}

void TestHistoryAccess::passwordFileEntry()
{
    const QString path = m_dir.filePath(QStringLiteral("entries/pgpass"));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("entries"))));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# shop servers\n"
            "*:*:*:tech:wildcard\n"
            "db\\:1:5432:history:tech:old\n"
            "other:5432:history:tech:keep\\:me\n");
    f.close();
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    CHistoryPasswordFile::Entry e{QStringLiteral("db:1"), QStringLiteral("5432"), QStringLiteral("history"), QStringLiteral("tech"),
                                  QStringLiteral("n:ew\\pw")};
    QString error;
    QVERIFY2(CHistoryPasswordFile::Store(path, e, &error), qPrintable(error));
    // Ahead of the wildcard, in place of the old one; the rest as it was.
    const QString expected = QStringLiteral("# shop servers\n"
                                            "db\\:1:5432:history:tech:n\\:ew\\\\pw\n"
                                            "*:*:*:tech:wildcard\n"
                                            "other:5432:history:tech:keep\\:me\n");
    QCOMPARE(ReadAll(path), expected);
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Once more: still one entry.
    QVERIFY(CHistoryPasswordFile::Store(path, e, &error));
    QCOMPARE(ReadAll(path), expected);
    // A new file in a new folder is private from the start.
    const QString fresh = m_dir.filePath(QStringLiteral("new/folder/pgpass"));
    QVERIFY(CHistoryPasswordFile::Store(fresh, e, &error));
    QCOMPARE(QFile::permissions(fresh) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    e.password = QStringLiteral("two\nlines");
    QVERIFY(!CHistoryPasswordFile::Store(fresh, e, &error));
    QVERIFY(!ReadAll(fresh).contains(QStringLiteral("two")));
}

void TestHistoryAccess::verifiedTlsStoresAndLists()
{
    QString error;
    QVERIFY2(SharedDatabase(QStringLiteral("tls_history"), &error), qPrintable(error));
    // The authority in a folder with a space: the setting goes through quoted.
    const QString folder = m_dir.filePath(QStringLiteral("shop certs"));
    QVERIFY(QDir().mkpath(folder));
    const QString ca = folder + QStringLiteral("/root ca.crt");
    QVERIFY(QFile::copy(m_pg.CaFile(), ca));
    const QString url = CHistoryLocation::WithPassword(
        m_pg.TlsUrl(CHistorySchema::OwnerRole, QStringLiteral("tls_history"), QString::fromLatin1(QUrl::toPercentEncoding(ca, "/"))),
        OwnerPassword);
    CHistoryStore store;
    QVERIFY2(store.Open(url), qPrintable(store.ErrorString()));
    QVERIFY2(store.IsConnected(), qPrintable(store.WarningText()));
    QVERIFY(!store.Location().contains(OwnerPassword));
    QVERIFY(store.RecordInstrument(Unit(QStringLiteral("0001E240"))).stored);
    QCOMPARE(store.Fleet().size(), 1);
    QCOMPARE(store.Fleet().first().serial, QStringLiteral("0001E240"));

    // The connection is encrypted, and the server checked the password.
    CHistoryLocation where;
    QVERIFY(CHistoryLocation::Parse(url, QString(), &where, &error));
    CHistoryDatabase db(where);
    QCOMPARE(db.Connect(&error), CHistoryDatabase::OpenResult::Ok);
    QSqlQuery q = db.Query();
    QVERIFY(q.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")) && q.next());
    QVERIFY(q.value(0).toBool());
    QCOMPARE(db.ConnectedAs().host, QStringLiteral("127.0.0.1"));
    QCOMPARE(db.ConnectedAs().port, QString::number(m_pg.Port()));
    QCOMPARE(db.ConnectedAs().user, CHistorySchema::OwnerRole);
    CHistoryStore wrong;
    QVERIFY(wrong.Open(CHistoryLocation::WithPassword(url, QStringLiteral("not-it"))));
    QVERIFY(!wrong.IsConnected());
    QVERIFY2(wrong.WarningText().contains(QStringLiteral("password authentication failed")), qPrintable(wrong.WarningText()));
    // The server takes TCP clients over TLS only.
    CHistoryStore plain;
    QVERIFY(plain.Open(QString(url).replace(QStringLiteral("sslmode=verify-full"), QStringLiteral("sslmode=disable"))));
    QVERIFY(!plain.IsConnected());
    QVERIFY2(plain.WarningText().contains(QStringLiteral("no encryption")), qPrintable(plain.WarningText()));
}

void TestHistoryAccess::foreignCertificateRefusedAndSpooled()
{
    QString error;
    QVERIFY2(SharedDatabase(QStringLiteral("foreign_ca"), &error), qPrintable(error));
    const QString right = CHistoryLocation::WithPassword(m_pg.TlsUrl(CHistorySchema::OwnerRole, QStringLiteral("foreign_ca")), OwnerPassword);
    const QString foreign =
        CHistoryLocation::WithPassword(m_pg.TlsUrl(CHistorySchema::OwnerRole, QStringLiteral("foreign_ca"), m_pg.OtherCaFile()), OwnerPassword);
    {
        CHistoryStore store;
        QVERIFY(store.Open(foreign)); // degraded: the record waits
        QVERIFY(!store.IsConnected());
        const HistoryWriteResult r = store.RecordInstrument(Unit(QStringLiteral("00A10001")));
        QVERIFY(!r.stored);
        QVERIFY(r.spooled);
        QVERIFY2(r.error.contains(QStringLiteral("certificate check")), qPrintable(r.error));
        QVERIFY2(r.error.contains(QDir::toNativeSeparators(m_pg.OtherCaFile())), qPrintable(r.error));
        QVERIFY(!r.error.contains(OwnerPassword));
        QCOMPARE(store.SpooledCount(), 1);
        QVERIFY(store.WarningText().contains(QStringLiteral("certificate check")));
    }
    // Not a single row went to the server that could not prove who it is.
    QString output;
    QVERIFY2(m_pg.Sql(QStringLiteral("foreign_ca"), QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'"), &error, &output),
             qPrintable(error));
    QCOMPARE(output, QStringLiteral("0"));
    // With the right authority the waiting record goes in.
    CHistoryStore store;
    QVERIFY(store.Open(right));
    QVERIFY(store.ReplaySpool());
    QCOMPARE(store.SpooledCount(), 0);
    QCOMPARE(store.Fleet().size(), 1);
}

void TestHistoryAccess::passwordFromPasswordFile()
{
    QString error;
    QVERIFY2(SharedDatabase(QStringLiteral("passfile"), &error), qPrintable(error));
    const QString url = m_pg.TlsUrl(CHistorySchema::OwnerRole, QStringLiteral("passfile"));
    {
        // No password anywhere: the message says where one goes.
        CHistoryStore store;
        QVERIFY(store.Open(url));
        QVERIFY(!store.IsConnected());
        QVERIFY2(store.WarningText().contains(QStringLiteral("wants a password")), qPrintable(store.WarningText()));
    }
    const QString file = m_dir.filePath(QStringLiteral("passfile.pgpass"));
    const EnvVar passfile("PGPASSFILE", file);
    QVERIFY(CHistoryPasswordFile::Store(file,
                                        {QStringLiteral("127.0.0.1"), QString::number(m_pg.Port()), QStringLiteral("passfile"),
                                         CHistorySchema::OwnerRole, OwnerPassword},
                                        &error));
    CHistoryLocation where;
    QVERIFY(CHistoryLocation::Parse(url, QString(), &where, &error));
    QCOMPARE(CHistoryPasswordFile::Path(where), file);
    CHistoryStore store;
    QVERIFY(store.Open(url));
    QVERIFY2(store.IsConnected(), qPrintable(store.WarningText()));
    QVERIFY(store.RecordInstrument(Unit(QStringLiteral("00B20003"))).stored);
}

void TestHistoryAccess::serviceFileWithoutHost()
{
    QString error;
    QVERIFY2(SharedDatabase(QStringLiteral("service_db"), &error), qPrintable(error));
    const QString services = m_dir.filePath(QStringLiteral("pg_service.conf"));
    QFile f(services);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[shop]\nhost=127.0.0.1\nport=%1\ndbname=service_db\nuser=%2\nsslmode=verify-full\nsslrootcert=%3\n")
                .arg(m_pg.Port())
                .arg(CHistorySchema::OwnerRole, m_pg.CaFile())
                .toUtf8());
    f.close();
    const QString passwords = m_dir.filePath(QStringLiteral("service.pgpass"));
    QVERIFY(CHistoryPasswordFile::Store(passwords,
                                        {QStringLiteral("127.0.0.1"), QString::number(m_pg.Port()), QStringLiteral("service_db"),
                                         CHistorySchema::OwnerRole, OwnerPassword},
                                        &error));
    const EnvVar serviceFile("PGSERVICEFILE", services);
    const EnvVar passfile("PGPASSFILE", passwords);
    CHistoryStore store;
    QVERIFY2(store.Open(QStringLiteral("postgresql:///?service=shop")), qPrintable(store.ErrorString()));
    QVERIFY2(store.IsConnected(), qPrintable(store.WarningText()));
    QCOMPARE(store.Location(), QStringLiteral("postgresql:///?service=shop"));
    QVERIFY(store.RecordInstrument(Unit(QStringLiteral("00C30004"))).stored);
    QCOMPARE(store.Fleet().size(), 1);
}

void TestHistoryAccess::ownerCreatesTechnicianWritesViewerReads()
{
    const QString db = CHistorySchema::DefaultServerDatabase;
    {
        // A technician cannot make the schema, and is told who can.
        CHistoryStore store;
        QVERIFY(store.Open(SocketUrl(QStringLiteral("anna"), db)));
        QVERIFY(!store.IsConnected());
        QVERIFY2(store.WarningText().contains(QStringLiteral("holds no instrument history yet, and the user \"anna\" may not create it")),
                 qPrintable(store.WarningText()));
        QVERIFY(store.WarningText().contains(QStringLiteral("altavo-cli history init")));
        QFile::remove(store.SpoolFile());
    }
    {
        CHistoryStore owner;
        QVERIFY(owner.Open(SocketUrl(CHistorySchema::OwnerRole, db)));
        QVERIFY2(owner.IsConnected(), qPrintable(owner.WarningText()));
        QCOMPARE(owner.FoundSchemaVersion(), 0);
    }
    {
        // The technician's log goes in through the bulk path (a temporary table and COPY).
        CHistoryStore tech;
        QVERIFY(tech.Open(SocketUrl(QStringLiteral("anna"), db)));
        QVERIFY2(tech.IsConnected(), qPrintable(tech.WarningText()));
        QVERIFY(tech.RecordInstrument(Unit(QStringLiteral("0001E240"))).stored);
        HistoryLogRetrieval retrieval;
        retrieval.serial = QStringLiteral("0001E240");
        QList<LogRecord> entries;
        const QDateTime t0(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
        entries.append(LogRecord::Marker(LogRecord::StartOfLog, t0));
        for (int i = 0; i < 50; ++i)
            entries.append(Event(24, t0.addSecs(10 * i)));
        entries.append(LogRecord::Marker(LogRecord::EndOfLog, t0.addSecs(600)));
        const HistoryWriteResult log = tech.RecordLog(retrieval, entries);
        QVERIFY2(log.stored, qPrintable(log.error));
        QCOMPARE(tech.LogEntryCount(QStringLiteral("0001E240")), qint64(50));
        QVERIFY(tech.RecordInstrument(Unit(QStringLiteral("0001E240"))).stored); // an update
    }
    // The viewer reads; a write is refused once, said plainly, and waits.
    CHistoryStore viewer;
    QVERIFY(viewer.Open(SocketUrl(QStringLiteral("ben"), db)));
    QVERIFY2(viewer.IsConnected(), qPrintable(viewer.WarningText()));
    QCOMPARE(viewer.Fleet().size(), 1);
    QCOMPARE(viewer.Retrievals(QStringLiteral("0001E240")).size(), 1);
    const HistoryWriteResult refused = viewer.RecordInstrument(Unit(QStringLiteral("00D40005")));
    QVERIFY(!refused.stored);
    QVERIFY(refused.spooled);
    QVERIFY2(refused.error.contains(QStringLiteral("the user \"ben\" may not write to this history")), qPrintable(refused.error));
    QVERIFY(refused.error.contains(QStringLiteral("technician role")));
    QCOMPARE(viewer.SpooledCount(), 1);
    // Asked again, it stays where it is: no loop, nothing lost.
    QVERIFY(!viewer.ReplaySpool());
    QCOMPARE(viewer.SpooledCount(), 1);
    QVERIFY(viewer.IsReadable());
    QCOMPARE(viewer.Fleet().size(), 1);
    QFile::remove(viewer.SpoolFile());
}

void TestHistoryAccess::onlyOwnerMigrates()
{
    QString error;
    QVERIFY2(SharedDatabase(QStringLiteral("old_history"), &error), qPrintable(error));
    {
        CHistoryLocation where;
        QVERIFY(CHistoryLocation::Parse(SocketUrl(CHistorySchema::OwnerRole, QStringLiteral("old_history")), QString(), &where, &error));
        CHistoryDatabase db(where);
        QCOMPARE(db.Connect(&error), CHistoryDatabase::OpenResult::Ok);
        QVERIFY(db.Begin(&error));
        QVERIFY2(CHistoryDatabase::CreateVersion(db, 1, &error), qPrintable(error));
        QVERIFY(db.Commit(&error));
    }
    {
        CHistoryStore tech;
        QVERIFY(tech.Open(SocketUrl(QStringLiteral("anna"), QStringLiteral("old_history"))));
        QVERIFY(!tech.IsConnected());
        QVERIFY2(tech.WarningText().contains(QStringLiteral("has history schema version 1, and the user \"anna\" may not migrate it to version %1").arg(CHistorySchema::CurrentVersion)),
                 qPrintable(tech.WarningText()));
        QFile::remove(tech.SpoolFile());
    }
    CHistoryStore owner;
    QVERIFY(owner.Open(SocketUrl(CHistorySchema::OwnerRole, QStringLiteral("old_history"))));
    QVERIFY2(owner.IsConnected(), qPrintable(owner.WarningText()));
    QCOMPARE(owner.FoundSchemaVersion(), 1);
    CHistoryStore tech;
    QVERIFY(tech.Open(SocketUrl(QStringLiteral("anna"), QStringLiteral("old_history"))));
    QVERIFY2(tech.IsConnected(), qPrintable(tech.WarningText()));
    QVERIFY(tech.RecordInstrument(Unit(QStringLiteral("0001E240"))).stored);
}

QTEST_GUILESS_MAIN(TestHistoryAccess)
#include "tst_historyaccess.moc"
