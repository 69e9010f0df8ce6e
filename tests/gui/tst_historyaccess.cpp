// The History Database dialog with a password: it never shows it nor keeps it in the preferences, "Remember password" writes the password file once a TLS server took it, and a password not remembered serves this run only. A viewer's History window reads while its write waits.
#include "EventWait.h"
#include "PgServer.h"
#include "SimRig.h"
#include "history/FleetModel.h"
#include "history/HistoryDatabaseDialog.h"
#include "history/HistoryLocation.h"
#include "history/HistorySchema.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"
#include "history/HistoryWindow.h"
#include "platform/BuildInfo.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Owner = QStringLiteral("shop_owner");
const QString Password = QStringLiteral("pa:ss\\w0rd");

QString ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestHistoryAccessDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void rememberPasswordWritesThePasswordFile();
    void refusedPasswordIsNotRemembered();
    void passwordNotRememberedServesThisRun();
    void viewerWindowReads();
    void passwordFromEarlierPreferencesMoves();

private:
    QString Url() const { return m_pg.TlsUrl(Owner, QStringLiteral("shop")); }
    // Every text the dialog shows, and every settings file.
    static QString Visible(const QWidget &dialog);
    QString SettingsText() const;
    // Fills the form as a user types it: the password inside the address.
    static void Type(CHistoryDatabaseDialog &dialog, const QString &address);

    QTemporaryDir m_settings;
    QTemporaryDir m_dir;
    QString m_passfile;
    CPgServer m_pg;
};

void TestHistoryAccessDialog::initTestCase()
{
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    UseTemporarySettings(m_settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
    m_passfile = m_dir.filePath(QStringLiteral("pgpass"));
    qputenv("PGPASSFILE", m_passfile.toLocal8Bit());
    m_pg.EnableTls();
    QString error;
    QVERIFY2(m_pg.Start(&error), qPrintable(error));
    QVERIFY2(m_pg.Sql(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(Owner, QString(Password).replace(QLatin1Char('\''), QLatin1String("''"))), &error),
             qPrintable(error));
    QVERIFY2(m_pg.CreateDatabase(QStringLiteral("shop"), &error), qPrintable(error));
    QVERIFY2(m_pg.Sql(QStringLiteral("shop"), QStringLiteral("ALTER DATABASE shop OWNER TO %1").arg(Owner), &error), qPrintable(error));
    QVERIFY2(m_pg.SqlScript(QStringLiteral("postgres"), CHistorySchema::ServerSetupSql(QStringLiteral("fleet")), &error), qPrintable(error));
    QVERIFY2(m_pg.Sql(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE vera LOGIN IN ROLE altavo_viewer"), &error), qPrintable(error));
}

void TestHistoryAccessDialog::cleanupTestCase()
{
    m_pg.Stop();
    qunsetenv("PGPASSFILE");
}

void TestHistoryAccessDialog::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation), QString::fromLatin1(Pref::Application))
        .clear();
    QFile::remove(m_passfile);
}

QString TestHistoryAccessDialog::Visible(const QWidget &dialog)
{
    QString text;
    for (const QLabel *l : dialog.findChildren<QLabel *>())
        text += l->text() + l->toolTip() + QLatin1Char('\n');
    for (const QLineEdit *e : dialog.findChildren<QLineEdit *>()) {
        if (e->echoMode() == QLineEdit::Normal)
            text += e->text() + QLatin1Char('\n');
    }
    return text + dialog.windowTitle();
}

QString TestHistoryAccessDialog::SettingsText() const
{
    QString text;
    QDirIterator it(m_settings.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        text += ReadAll(it.next());
    return text;
}

void TestHistoryAccessDialog::Type(CHistoryDatabaseDialog &dialog, const QString &address)
{
    dialog.ServerButton()->setChecked(true);
    dialog.AddressEdit()->setText(address);
    emit dialog.AddressEdit()->editingFinished();
}

void TestHistoryAccessDialog::rememberPasswordWritesThePasswordFile()
{
    CHistoryDatabaseDialog dialog;
    Type(dialog, CHistoryLocation::WithPassword(Url(), Password));
    // Out of the address at once, into the field that shows dots.
    QCOMPARE(dialog.AddressEdit()->text(), Url());
    QCOMPARE(dialog.PasswordEdit()->text(), Password);
    QCOMPARE(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
    QVERIFY2(dialog.TestConnection(), qPrintable(dialog.TestResult()->text()));
    QVERIFY(!Visible(dialog).contains(Password));
    if (!qEnvironmentVariableIsEmpty("ALTAVO_SCREENSHOTS"))
        dialog.grab().save(QDir(qEnvironmentVariable("ALTAVO_SCREENSHOTS")).filePath(QStringLiteral("history-database-dialog.png")));
    dialog.RememberBox()->setChecked(true);
    dialog.accept();
    QVERIFY2(dialog.result() == QDialog::Accepted, qPrintable(dialog.TestResult()->text()));

    // Under the host, port, database and user the connection used, escaped; private to its owner.
    QCOMPARE(ReadAll(m_passfile), QStringLiteral("127.0.0.1:%1:shop:%2:pa\\:ss\\\\w0rd\n").arg(m_pg.Port()).arg(Owner));
    QCOMPARE(QFile::permissions(m_passfile) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(CHistoryStore::PreferredLocation(), Url());
    QVERIFY(!SettingsText().isEmpty());
    QVERIFY(!SettingsText().contains(Password));
    QVERIFY(!SettingsText().contains(QString::fromLatin1(QUrl::toPercentEncoding(Password))));

    // The next start finds it in the password file, not in this run's memory.
    CHistoryDatabaseDialog again;
    QCOMPARE(again.Location(), Url());
    QVERIFY(again.PasswordEdit()->text().isEmpty());
    QCOMPARE(CHistoryDatabaseDialog::StoredLocation(), Url());
    CHistoryStore store;
    QVERIFY(store.Open(CHistoryDatabaseDialog::StoredLocation()));
    QVERIFY2(store.IsConnected(), qPrintable(store.WarningText()));
}

void TestHistoryAccessDialog::refusedPasswordIsNotRemembered()
{
    CHistoryDatabaseDialog dialog;
    Type(dialog, Url());
    dialog.PasswordEdit()->setText(QStringLiteral("not-the-one"));
    dialog.RememberBox()->setChecked(true);
    dialog.accept();
    QVERIFY(dialog.result() != QDialog::Accepted);
    QVERIFY2(dialog.TestResult()->text().startsWith(QStringLiteral("The password is not remembered:")), qPrintable(dialog.TestResult()->text()));
    QVERIFY2(dialog.TestResult()->text().contains(QStringLiteral("password authentication failed")), qPrintable(dialog.TestResult()->text()));
    QVERIFY(!dialog.TestResult()->text().contains(QStringLiteral("not-the-one")));
    QVERIFY(!QFile::exists(m_passfile));
    QVERIFY(CHistoryStore::PreferredLocation().isEmpty());
}

void TestHistoryAccessDialog::passwordNotRememberedServesThisRun()
{
    {
        CHistoryDatabaseDialog dialog;
        Type(dialog, Url());
        dialog.PasswordEdit()->setText(Password);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QVERIFY(!QFile::exists(m_passfile));
    QCOMPARE(CHistoryStore::PreferredLocation(), Url());
    QVERIFY(!SettingsText().contains(Password));
    // The windows open the history with it for the rest of this run.
    CHistoryStore store;
    QVERIFY(store.Open(CHistoryDatabaseDialog::StoredLocation()));
    QVERIFY2(store.IsConnected(), qPrintable(store.WarningText()));
    QVERIFY(!store.Location().contains(Password));
    CHistoryDatabaseDialog again;
    QCOMPARE(again.Location(), Url());
    QVERIFY(!Visible(again).contains(Password));
}

void TestHistoryAccessDialog::viewerWindowReads()
{
    const auto url = [this](const QString &user) {
        return QStringLiteral("postgresql://%1@localhost:%2/fleet?host=%3").arg(user).arg(m_pg.Port()).arg(m_pg.SocketDir());
    };
    HistoryInstrument unit;
    unit.serial = QStringLiteral("00A10001");
    unit.instrumentId = QStringLiteral("TRUCK 7");
    {
        CHistoryStore owner;
        QVERIFY(owner.Open(url(CHistorySchema::OwnerRole)));
        QVERIFY(owner.RecordInstrument(unit).stored);
    }
    // The window reads on a history thread of its own, as the main frame's does.
    CHistoryWorker viewer;
    viewer.Open(url(QStringLiteral("vera")));
    SimRig rig;
    CHistoryWindow window(rig.doc);
    QSignalSpy refreshed(&window, &CHistoryWindow::Refreshed);
    window.SetHistory(&viewer);
    window.resize(window.FormSize());
    window.OnInitialUpdate();
    QVERIFY(WaitUntil([&] { return refreshed.size() >= 1 && viewer.Pending() == 0; }, 20000));
    QCOMPARE(window.FleetModel()->rowCount(), 1);
    QVERIFY(window.LocationLabel()->text().contains(QStringLiteral("1 instrument(s)")));
    QVERIFY(!window.WarningLabel()->parentWidget()->isVisibleTo(&window));

    unit.serial = QStringLiteral("00A10002");
    const std::optional<bool> spooled =
        viewer.Await<bool>([unit](CHistoryStore &store) { return store.RecordInstrument(unit).spooled; });
    QVERIFY(spooled && *spooled);
    refreshed.clear();
    window.Refresh();
    QVERIFY(WaitUntil([&] { return refreshed.size() >= 1 && viewer.Pending() == 0; }, 20000));
    QCOMPARE(window.FleetModel()->rowCount(), 1);
    QVERIFY2(window.WarningLabel()->text().contains(QStringLiteral("the user \"vera\" may not write to this history")),
             qPrintable(window.WarningLabel()->text()));
    QVERIFY(window.WarningLabel()->parentWidget()->isVisibleTo(&window));
    const std::optional<QString> spool = viewer.Await<QString>([](CHistoryStore &store) { return store.SpoolFile(); });
    QVERIFY(spool);
    QFile::remove(*spool);
}

void TestHistoryAccessDialog::passwordFromEarlierPreferencesMoves()
{
    // As an earlier version stored what the user typed.
    CPreferences::SetString(QStringLiteral("History"), QStringLiteral("Location"), CHistoryLocation::WithPassword(Url(), Password));
    QVERIFY(SettingsText().contains(QString::fromLatin1(QUrl::toPercentEncoding(Password))));
    CHistoryStore store;
    QVERIFY(store.Open(CHistoryDatabaseDialog::StoredLocation()));
    QVERIFY2(store.IsConnected(), qPrintable(store.WarningText()));
    QCOMPARE(CHistoryStore::PreferredLocation(), Url());
    QVERIFY(!SettingsText().contains(QString::fromLatin1(QUrl::toPercentEncoding(Password))));
    QCOMPARE(ReadAll(m_passfile), QStringLiteral("127.0.0.1:%1:shop:%2:pa\\:ss\\\\w0rd\n").arg(m_pg.Port()).arg(Owner));
    // The next run finds it there.
    CHistoryStore next;
    QVERIFY(next.Open(Url()));
    QVERIFY2(next.IsConnected(), qPrintable(next.WarningText()));
}

QTEST_MAIN(TestHistoryAccessDialog)
#include "tst_historyaccess.moc"
