// altavo-cli on a shared history over TLS: the administrator's SQL it prints, "history init" by the owner only, a server with a foreign certificate refused while the upload completes, passwords kept out of every output and file, and a viewer who reads while its writes wait.
#include "PgServer.h"
#include "ProgramRuns.h"
#include "history/HistoryLocation.h"
#include "history/HistoryPasswordFile.h"
#include "history/HistorySchema.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {
const QString Database = QStringLiteral("altavo_history");
const QString OwnerPassword = QStringLiteral("Own3r:pass\\word");
const QString TechPassword = QStringLiteral("anna-t3ch");
const QString ViewerPassword = QStringLiteral("ben-v1ew");
} // namespace

class TestCliHistoryAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void initByTheOwnerOnly();
    void foreignCertificateRefusedUploadCompletes();
    void passwordNeverShownNorStored();
    void viewerReadsAndItsWriteWaits();

private:
    CliRun Cli(const QStringList &args);
    // Everything under the test's settings and data folders.
    QString FilesText() const;

    QTemporaryDir m_dir;
    CPgServer m_pg;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
};

void TestCliHistoryAccess::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pg.EnableTls();
    QString error;
    QVERIFY2(m_pg.Start(&error), qPrintable(error));
    // The administrator's SQL as the program prints it, run by a superuser.
    const CliRun sql = Cli({QStringLiteral("history"), QStringLiteral("init"), QStringLiteral("--print-sql")});
    QVERIFY2(sql.status == 0 && sql.out.contains(QStringLiteral("CREATE ROLE altavo_technician")), qPrintable(Describe(sql)));
    QVERIFY2(m_pg.SqlScript(QStringLiteral("postgres"), sql.out, &error), qPrintable(error));
    QVERIFY2(m_pg.Sql(QStringLiteral("postgres"),
                      QStringLiteral("ALTER ROLE altavo_owner PASSWORD '%1';"
                                     "CREATE ROLE anna LOGIN PASSWORD '%2' IN ROLE altavo_technician;"
                                     "CREATE ROLE ben LOGIN PASSWORD '%3' IN ROLE altavo_viewer;")
                          .arg(OwnerPassword, TechPassword, ViewerPassword),
                      &error),
             qPrintable(error));
    // The technician's and the viewer's passwords come from a password file.
    const QString passwords = m_dir.filePath(QStringLiteral("pgpass"));
    for (const auto &[user, password] : {qMakePair(QStringLiteral("anna"), TechPassword), qMakePair(QStringLiteral("ben"), ViewerPassword)}) {
        QVERIFY(CHistoryPasswordFile::Store(passwords, {QStringLiteral("127.0.0.1"), QString::number(m_pg.Port()), Database, user, password},
                                            &error));
    }
    m_env.insert(QStringLiteral("PGPASSFILE"), passwords);
}

void TestCliHistoryAccess::cleanupTestCase()
{
    m_pg.Stop();
}

CliRun TestCliHistoryAccess::Cli(const QStringList &args)
{
    return RunCli(args, m_env, 60000);
}

QString TestCliHistoryAccess::FilesText() const
{
    QString text;
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        QDirIterator it(qEnvironmentVariable(variable), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (f.open(QIODevice::ReadOnly))
                text += it.filePath() + QLatin1Char('\n') + QString::fromUtf8(f.readAll());
        }
    }
    return text;
}

void TestCliHistoryAccess::initByTheOwnerOnly()
{
    const CliRun tech = Cli({QStringLiteral("history"), QStringLiteral("init"), QStringLiteral("--history"), m_pg.TlsUrl(QStringLiteral("anna"), Database)});
    QVERIFY2(tech.status == 6, qPrintable(Describe(tech)));
    QVERIFY2(tech.err.contains(QStringLiteral("the user \"anna\" may not create it: only the history's owner creates or migrates it")),
             qPrintable(Describe(tech)));
    QVERIFY2(!tech.err.contains(QStringLiteral("spool")), qPrintable(Describe(tech))); // init keeps nothing back
    const QString owner = CHistoryLocation::WithPassword(m_pg.TlsUrl(CHistorySchema::OwnerRole, Database), OwnerPassword);
    CliRun init = Cli({QStringLiteral("history"), QStringLiteral("init"), QStringLiteral("--history"), owner});
    QVERIFY2(init.status == 0 && init.out.contains(QStringLiteral("schema version %1, created").arg(CHistorySchema::CurrentVersion)), qPrintable(Describe(init)));
    init = Cli({QStringLiteral("history"), QStringLiteral("init"), QStringLiteral("--history"), owner});
    QVERIFY2(init.status == 0 && init.out.contains(QStringLiteral("schema version %1, up to date").arg(CHistorySchema::CurrentVersion)), qPrintable(Describe(init)));
    QVERIFY(!(init.out + init.err).contains(OwnerPassword));
}

void TestCliHistoryAccess::foreignCertificateRefusedUploadCompletes()
{
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--serial-number"), QStringLiteral("0x5151")}));
    const QString foreign = m_pg.TlsUrl(QStringLiteral("anna"), Database, m_pg.OtherCaFile());
    const CliRun upload = Cli({QStringLiteral("upload"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), foreign});
    QVERIFY2(upload.status == 0 && upload.out.contains(QStringLiteral("Instrument ID:")), qPrintable(Describe(upload)));
    QVERIFY2(upload.err.contains(QStringLiteral("the server's certificate failed the certificate check")), qPrintable(Describe(upload)));
    QVERIFY2(upload.err.contains(QStringLiteral("2 record(s) wait in")), qPrintable(Describe(upload)));
    // The next run that trusts the right authority takes them in.
    const CliRun list = Cli({QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--history"), m_pg.TlsUrl(QStringLiteral("anna"), Database)});
    QVERIFY2(list.status == 0 && list.err.isEmpty() && list.out.contains(QStringLiteral("00005151")), qPrintable(Describe(list)));
}

void TestCliHistoryAccess::passwordNeverShownNorStored()
{
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--serial-number"), QStringLiteral("0x5252")}));
    const QString url = CHistoryLocation::WithPassword(m_pg.TlsUrl(CHistorySchema::OwnerRole, Database), OwnerPassword);
    const QString trace = m_dir.filePath(QStringLiteral("upload.trace"));
    const CliRun upload = Cli({QStringLiteral("upload"), QStringLiteral("-v"), QStringLiteral("--trace"), trace, QStringLiteral("--serial"), sim.Pty(),
                               QStringLiteral("--history"), url});
    QVERIFY2(upload.status == 0, qPrintable(Describe(upload)));
    QVERIFY2(upload.err.contains(QStringLiteral("Recorded in the history postgresql://altavo_owner@127.0.0.1:%1/%2").arg(m_pg.Port()).arg(Database)),
             qPrintable(Describe(upload)));
    const CliRun bad = Cli({QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("-v"), QStringLiteral("--history"),
                            url + QStringLiteral("&sslmode=sometimes")});
    QVERIFY2(bad.status == 6 && bad.err.contains(QStringLiteral("sslmode is one of")), qPrintable(Describe(bad)));
    QFile traceFile(trace);
    QVERIFY(traceFile.open(QIODevice::ReadOnly));
    const QString everything = upload.out + upload.err + bad.out + bad.err + FilesText() + QString::fromLatin1(traceFile.readAll());
    for (const QString &form : {OwnerPassword, QString::fromLatin1(QUrl::toPercentEncoding(OwnerPassword))})
        QVERIFY2(!everything.contains(form), qPrintable(everything.left(4000)));
    QVERIFY(bad.err.contains(CHistoryLocation::MaskText));
}

void TestCliHistoryAccess::viewerReadsAndItsWriteWaits()
{
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--serial-number"), QStringLiteral("0x5353")}));
    const QString tech = m_pg.TlsUrl(QStringLiteral("anna"), Database);
    const QString viewer = m_pg.TlsUrl(QStringLiteral("ben"), Database);
    CliRun run = Cli({QStringLiteral("upload"), QStringLiteral("-v"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), tech});
    QVERIFY2(run.status == 0 && run.err.contains(QStringLiteral("Recorded in the history")), qPrintable(Describe(run)));

    run = Cli({QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--history"), viewer});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("00005353")), qPrintable(Describe(run)));

    // The viewer's upload completes; its record is refused once, with a clear message, and waits.
    run = Cli({QStringLiteral("upload"), QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), viewer});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("Instrument ID:")), qPrintable(Describe(run)));
    QCOMPARE(run.err.count(QStringLiteral("the user \"ben\" may not write to this history")), 1);
    QVERIFY2(run.err.contains(QStringLiteral("technician role")) && run.err.contains(QStringLiteral("record(s) wait in")), qPrintable(Describe(run)));
    // Said once, in the program's words only: no driver complaints besides.
    QVERIFY2(!run.err.contains(QStringLiteral("Unable to")), qPrintable(Describe(run)));

    // It still reads everything while that waits.
    for (const QStringList &command : {QStringList{QStringLiteral("list")}, QStringList{QStringLiteral("show"), QStringLiteral("5353")},
                                       QStringList{QStringLiteral("due"), QStringLiteral("--within"), QStringLiteral("3650")}}) {
        run = Cli(QStringList{QStringLiteral("history")} + command + QStringList{QStringLiteral("--history"), viewer});
        QVERIFY2(run.status == 0 && !run.err.contains(QStringLiteral("Unable to")), qPrintable(Describe(run)));
        QVERIFY2(run.err.contains(QStringLiteral("may not write to this history")), qPrintable(Describe(run)));
    }
    QVERIFY2(run.out.contains(QStringLiteral("instrument(s) due within")), qPrintable(Describe(run)));
}

QTEST_GUILESS_MAIN(TestCliHistoryAccess)
#include "tst_clihistoryaccess.moc"
