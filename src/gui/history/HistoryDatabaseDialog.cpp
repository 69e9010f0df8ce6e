// The history database preference.
#include "HistoryDatabaseDialog.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryLocation.h"
#include "history/HistoryPasswordFile.h"
#include "history/HistoryStore.h"
#include "platform/BuildInfo.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QUrl>
#include <QVBoxLayout>
#include <thread>
#include <QEventLoop>

const QString CHistoryDatabaseDialog::Caption = QStringLiteral("History Database");

namespace {
const QString Scheme = QStringLiteral("postgresql://");

// Passwords given in this run without "Remember password", by location.
QHash<QString, QString> &SessionPasswords()
{
    static QHash<QString, QString> passwords;
    return passwords;
}
} // namespace

/*
 * A connection attempt waits up to the server's connect timeout; it runs on
 * a thread of its own (its database connection made, used and closed there)
 * while the windows go on, the dialog disabled and a wait cursor shown.
 */
template <typename T>
T CHistoryDatabaseDialog::Waiting(std::function<T()> work)
{
    setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    T result;
    std::thread worker([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    QGuiApplication::restoreOverrideCursor();
    setEnabled(true);
    return result;
}

CHistoryDatabaseDialog::CHistoryDatabaseDialog(QWidget *parent)
    : QDialog(parent),
      m_default(new QRadioButton(QStringLiteral("&This computer: an SQLite file, nothing to set up"), this)),
      m_server(new QRadioButton(QStringLiteral("&Shared PostgreSQL server, for several computers:"), this)),
      m_address(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_remember(new QCheckBox(QStringLiteral("&Remember password"), this)), m_test(new QPushButton(QStringLiteral("&Test Connection"), this)),
      m_result(new QLabel(this))
{
    setWindowTitle(Caption);
    auto *group = new QButtonGroup(this);
    group->addButton(m_default);
    group->addButton(m_server);

    auto *file = new QLabel(QDir::toNativeSeparators(CHistoryStore::DefaultFile()), this);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setContentsMargins(24, 0, 0, 6);
    file->setStyleSheet(QStringLiteral("color: #555555;"));
    m_address->setPlaceholderText(QStringLiteral("postgresql://user@host/database"));
    m_address->setMinimumWidth(380);
    auto *hint = new QLabel(QStringLiteral("postgresql://user@host[:port]/database[?sslmode=verify-full&sslrootcert=ca.crt],\n"
                                           "?host=/socket/folder for a local server, or postgresql:///?service=name"),
                            this);
    if (!SharedServerAvailable()) {
        hint->setText(QStringLiteral("Not in this build: it keeps the history in the SQLite file on this computer."));
    }
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("from the password file when empty"));
    m_remember->setToolTip(QDir::toNativeSeparators(CHistoryPasswordFile::Path(CHistoryLocation())));
    hint->setContentsMargins(24, 0, 0, 6);
    hint->setStyleSheet(QStringLiteral("color: #555555;"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CHistoryDatabaseDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_test, &QPushButton::clicked, this, &CHistoryDatabaseDialog::TestConnection);
    connect(group, &QButtonGroup::buttonToggled, this, &CHistoryDatabaseDialog::UpdateControls);
    connect(m_address, &QLineEdit::editingFinished, this, &CHistoryDatabaseDialog::TakePasswordFromAddress);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_default);
    layout->addWidget(file);
    layout->addWidget(m_server);
    auto *address = new QHBoxLayout;
    address->setContentsMargins(24, 0, 0, 0);
    address->addWidget(m_address, 1);
    layout->addLayout(address);
    layout->addWidget(hint);
    auto *password = new QHBoxLayout;
    password->setContentsMargins(24, 0, 0, 6);
    password->addWidget(new QLabel(QStringLiteral("&Password:"), this));
    static_cast<QLabel *>(password->itemAt(0)->widget())->setBuddy(m_password);
    password->addWidget(m_password, 1);
    password->addWidget(m_remember);
    layout->addLayout(password);
    auto *test = new QHBoxLayout;
    test->addWidget(m_test);
    test->addWidget(m_result, 1);
    layout->addLayout(test);
    layout->addStretch(1);
    layout->addWidget(buttons);

    SetLocation(StoredLocation());
}

QString CHistoryDatabaseDialog::StoredLocation()
{
    // The same preference the command-line program reads without --history.
    QString kept;
    const QString stored = CHistoryLocation::WithoutPassword(CHistoryStore::PreferredLocation().trimmed(), &kept);
    if (!kept.isEmpty()) {
        // An earlier version kept a typed password in the preferences: it
        // moves to the password file (under the URL's own host, port,
        // database and user) and serves this run in any case.
        CHistoryLocation where;
        QString error;
        if (CHistoryLocation::Parse(stored, QString(), &where, &error) && !where.host.isEmpty() && !where.user.isEmpty()
            && !where.database.isEmpty()) {
            const CHistoryPasswordFile::Entry entry{where.host, QString::number(where.port > 0 ? where.port : 5432), where.database,
                                                    where.user, kept};
            CHistoryPasswordFile::Store(CHistoryPasswordFile::Path(where), entry, &error);
        }
        SessionPasswords().insert(stored, kept);
        CHistoryStore::SetPreferredLocation(stored);
    }
    const QString password = SessionPasswords().value(stored);
    return password.isEmpty() ? stored : CHistoryLocation::WithPassword(stored, password);
}

void CHistoryDatabaseDialog::StoreLocation(const QString &location)
{
    QString password;
    const QString stored = CHistoryLocation::WithoutPassword(location.trimmed(), &password);
    if (!password.isEmpty())
        SessionPasswords().insert(stored, password);
    CHistoryStore::SetPreferredLocation(stored);
}

QString CHistoryDatabaseDialog::CheckLocation(const QString &location)
{
    const QString text = location.trimmed();
    if (text.isEmpty())
        return {};
    if (!text.startsWith(Scheme, Qt::CaseInsensitive))
        return QStringLiteral("Give the server's address as postgresql://user@host/database.");
    // The host may come as host= (a local socket) and the database as
    // dbname=; a service names both (postgresql:///?service=name, as the
    // dialog's hint offers).
    const QUrl url(text, QUrl::StrictMode);
    const QString query = url.query();
    const bool service = query.contains(QLatin1String("service="));
    const bool host = !url.host().isEmpty() || query.contains(QLatin1String("host=")) || service;
    const bool database = url.path().size() >= 2 || query.contains(QLatin1String("dbname=")) || service;
    if (!url.isValid() || !host || !database)
        return QStringLiteral("\"%1\" is not a server address: it needs a host and a database, as in postgresql://user@host/database.")
            .arg(CHistoryLocation::Masked(text));
    CHistoryLocation where;
    QString error;
    if (!CHistoryLocation::Parse(text, QString(), &where, &error))
        return error;
    return {};
}

bool CHistoryDatabaseDialog::SharedServerAvailable()
{
    return BuildInfo::HasPostgresClient() && QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"));
}

QString CHistoryDatabaseDialog::Location() const
{
    return m_server->isChecked() ? CHistoryLocation::WithoutPassword(m_address->text().trimmed()) : QString();
}

void CHistoryDatabaseDialog::SetLocation(const QString &location)
{
    const bool server = SharedServerAvailable() && location.trimmed().startsWith(Scheme, Qt::CaseInsensitive);
    (server ? m_server : m_default)->setChecked(true);
    QString password;
    m_address->setText(server ? CHistoryLocation::WithoutPassword(location.trimmed(), &password) : QString());
    m_password->setText(password);
    UpdateControls();
}

void CHistoryDatabaseDialog::TakePasswordFromAddress()
{
    QString password;
    const QString address = CHistoryLocation::WithoutPassword(m_address->text(), &password);
    if (address == m_address->text())
        return;
    m_address->setText(address);
    if (!password.isEmpty())
        m_password->setText(password);
}

void CHistoryDatabaseDialog::UpdateControls()
{
    m_server->setEnabled(SharedServerAvailable());
    m_address->setEnabled(m_server->isChecked());
    m_password->setEnabled(m_server->isChecked());
    m_remember->setEnabled(m_server->isChecked());
    m_result->clear();
}

bool CHistoryDatabaseDialog::TestConnection()
{
    TakePasswordFromAddress();
    const QString location = Location();
    const QString problem = CheckLocation(location);
    if (!problem.isEmpty()) {
        m_result->setText(problem);
        return false;
    }
    struct Outcome
    {
        bool ok = false;
        QString text;
    };
    const QString full = CHistoryLocation::WithPassword(location, m_server->isChecked() ? m_password->text() : QString());
    const Outcome outcome = Waiting<Outcome>([full] {
        CHistoryStore store;
        if (!store.Open(full))
            return Outcome{false, store.ErrorString()};
        if (!store.IsConnected() || store.HasWarning())
            return Outcome{false, store.WarningText().isEmpty() ? store.ErrorString() : store.WarningText()};
        return Outcome{true, QStringLiteral("Connected: %1 %2").arg(store.EngineName(), store.Location())};
    });
    m_result->setText(outcome.text);
    return outcome.ok;
}

bool CHistoryDatabaseDialog::RememberPassword(const QString &location, const QString &password)
{
    // Only a password the server took is written, under the host, port,
    // database and user the connection really used (a service file may
    // name them).
    CHistoryLocation where;
    QString error;
    if (!CHistoryLocation::Parse(CHistoryLocation::WithPassword(location, password), QString(), &where, &error)) {
        m_result->setText(error);
        return false;
    }
    struct Outcome
    {
        bool connected = false;
        QString error;
        CHistoryPasswordFile::Entry entry;
    };
    const Outcome outcome = Waiting<Outcome>([where] {
        Outcome o;
        CHistoryDatabase db(where);
        o.connected = db.Connect(&o.error) == CHistoryDatabase::OpenResult::Ok;
        o.entry = db.ConnectedAs();
        db.Close();
        return o;
    });
    const bool connected = outcome.connected;
    error = outcome.error;
    CHistoryPasswordFile::Entry entry = outcome.entry;
    if (!connected) {
        m_result->setText(QStringLiteral("The password is not remembered: %1").arg(error));
        return false;
    }
    entry.password = password;
    if (!CHistoryPasswordFile::Store(CHistoryPasswordFile::Path(where), entry, &error)) {
        m_result->setText(error);
        return false;
    }
    return true;
}

void CHistoryDatabaseDialog::accept()
{
    TakePasswordFromAddress();
    const QString location = Location();
    const QString problem = CheckLocation(location);
    if (!problem.isEmpty()) {
        m_result->setText(problem);
        m_address->setFocus();
        return;
    }
    const QString password = m_server->isChecked() ? m_password->text() : QString();
    if (!password.isEmpty() && m_remember->isChecked()) {
        if (!RememberPassword(location, password))
            return;
        SessionPasswords().remove(location);
    } else if (!password.isEmpty()) {
        SessionPasswords().insert(location, password);
    }
    StoreLocation(location);
    QDialog::accept();
}
