// Opening, checking, creating and migrating the history database.
#include "history/HistoryDatabase.h"

#include "history/HistorySchema.h"
#include "history/HistoryWriter.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>
#if ALTAVO_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

namespace {
QAtomicInt connectionCounter;
// Serialises schema changes of several programs on one PostgreSQL database.
constexpr qint64 SchemaLockKey = 0x41564849; // "AVHI"

QString DriverText(const QSqlError &e)
{
    QString text = e.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

// The server's own sentence, without its "ERROR:" and the statement it quotes.
QString ServerSentence(const QSqlError &e)
{
    QString text = e.databaseText().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (text.startsWith(QLatin1String("ERROR:")))
        text = text.mid(6).trimmed();
    return text.isEmpty() ? DriverText(e) : text;
}

// The server's code for a right the user does not have.
bool IsDenied(const QSqlError &e)
{
    return e.nativeErrorCode() == QLatin1String("42501") || e.text().contains(QLatin1String("permission denied"));
}

// In the driver's connection text, single-quoted: ' and \ escaped.
QString Quoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

#if ALTAVO_HAVE_LIBPQ
PGconn *Connection(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    // The driver names its handle after the struct behind PGconn.
    if (!v.isValid() || (qstrcmp(v.typeName(), "PGconn*") != 0 && qstrcmp(v.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(v.constData());
}
#endif
} // namespace

CHistoryDatabase::CHistoryDatabase(const CHistoryLocation &location)
    : m_location(location), m_name(QStringLiteral("altavo-history-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

CHistoryDatabase::~CHistoryDatabase()
{
    Close();
    QSqlDatabase::removeDatabase(m_name);
}

void CHistoryDatabase::Close()
{
    m_inTransaction = false;
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
}

bool CHistoryDatabase::IsOpen() const
{
    return QSqlDatabase::contains(m_name) && Db().isOpen();
}

QString CHistoryDatabase::Failure(const QString &what) const
{
    return QStringLiteral("History database %1: %2").arg(m_location.Shown(), what);
}

CHistoryDatabase::OpenResult CHistoryDatabase::CheckSqliteFile(QString *error) const
{
    QFile file(m_location.file);
    if (!file.exists() || QFileInfo(file).size() == 0)
        return OpenResult::Ok;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = Failure(QStringLiteral("cannot be read: %1").arg(file.errorString()));
        return OpenResult::Unavailable;
    }
    const QByteArray header = file.read(16);
    if (header != QByteArray("SQLite format 3\0", 16)) {
        *error = QStringLiteral("%1 is not an instrument history database, or it is damaged: it is not an SQLite database file.")
                     .arg(QDir::toNativeSeparators(m_location.file));
        return OpenResult::Fatal;
    }
    return OpenResult::Ok;
}

QString CHistoryDatabase::ConnectOptions(const CHistoryLocation &location)
{
    // The driver writes host, database, user and password (each only when
    // not empty, the port when not -1) into the client library's connection
    // text itself, then appends these items with every ';' turned into a
    // space: any keyword the library knows passes, values single-quoted
    // (a ';' inside one cannot, so Parse refuses it).
    QStringList items;
    if (location.Option(QStringLiteral("connect_timeout")).isEmpty())
        items.append(QStringLiteral("connect_timeout=5"));
    if (location.Option(QStringLiteral("application_name")).isEmpty())
        items.append(QStringLiteral("application_name=altavo-history"));
    for (const auto &[key, value] : location.options)
        items.append(key + QLatin1Char('=') + Quoted(value));
    return items.join(QLatin1Char(';'));
}

QString CHistoryDatabase::Explain(const QSqlError &e, const QString &statement) const
{
    const QString text = DriverText(e).simplified();
    m_denied = IsPostgres() && IsDenied(e);
    if (m_denied) {
        m_deniedText = ServerSentence(e);
        const bool read = statement.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
        return read ? QStringLiteral("the user \"%1\" may not read this history (%2): reading takes the viewer role").arg(UserName(), m_deniedText)
                    : QStringLiteral("the user \"%1\" may not write to this history (%2): writing takes the technician role")
                          .arg(UserName(), m_deniedText);
    }
    if (!IsPostgres())
        return text;
    if (text.contains(QLatin1String("certificate verify failed")) || text.contains(QLatin1String("does not match host name"))
        || text.contains(QLatin1String("root certificate file")) || text.contains(QLatin1String("certificate is not yet valid"))
        || text.contains(QLatin1String("certificate has expired"))) {
        const QString root = m_location.Option(QStringLiteral("sslrootcert"));
        return QStringLiteral("the server's certificate failed the certificate check (sslmode=%1, trusted certificates: %2); "
                              "the server is not used: %3")
            .arg(m_location.Option(QStringLiteral("sslmode")).isEmpty() ? QStringLiteral("prefer") : m_location.Option(QStringLiteral("sslmode")),
                 root.isEmpty() ? QStringLiteral("~/.postgresql/root.crt") : QDir::toNativeSeparators(root),
                 e.databaseText().trimmed().isEmpty() ? text : e.databaseText().simplified());
    }
    if (text.contains(QLatin1String("no password supplied")))
        return QStringLiteral("the server wants a password: remember it in the history database dialog, or put it in the password file %1 (%2)")
            .arg(QDir::toNativeSeparators(CHistoryPasswordFile::Path(m_location)), text);
    return text;
}

QString CHistoryDatabase::UserName() const
{
    const QString user = ConnectedAs().user;
    return user.isEmpty() ? m_location.user : user;
}

CHistoryPasswordFile::Entry CHistoryDatabase::ConnectedAs() const
{
    CHistoryPasswordFile::Entry e;
#if ALTAVO_HAVE_LIBPQ
    PGconn *conn = IsPostgres() ? Connection(Db()) : nullptr;
    if (!conn)
        return e;
    e.host = QString::fromLocal8Bit(PQhost(conn));
    // The client library looks up "localhost" for its default socket folder.
    if (e.host.isEmpty() || (m_location.host.isEmpty() && e.host.startsWith(QLatin1Char('/'))))
        e.host = QStringLiteral("localhost");
    e.port = QString::fromLocal8Bit(PQport(conn));
    if (e.port.isEmpty())
        e.port = QStringLiteral("5432");
    e.database = QString::fromLocal8Bit(PQdb(conn));
    e.user = QString::fromLocal8Bit(PQuser(conn));
#endif
    return e;
}

CHistoryDatabase::OpenResult CHistoryDatabase::Open(QString *error)
{
    QString dummy;
    if (!error)
        error = &dummy;
    if (IsOpen())
        return OpenResult::Ok;
    const OpenResult connected = Connect(error);
    if (connected != OpenResult::Ok)
        return connected;
    const OpenResult result = PrepareSchema(error);
    if (result != OpenResult::Ok)
        Close();
    return result;
}

CHistoryDatabase::OpenResult CHistoryDatabase::Connect(QString *error)
{
    QString dummy;
    if (!error)
        error = &dummy;
    if (IsOpen())
        return OpenResult::Ok;
    const bool postgres = IsPostgres();
    const QString driver = postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = QStringLiteral("The Qt SQL driver %1 is not installed, so the history database %2 cannot be used.")
                     .arg(driver, m_location.Shown());
        return OpenResult::Fatal;
    }
    if (!postgres) {
        const OpenResult check = CheckSqliteFile(error);
        if (check != OpenResult::Ok)
            return check;
        const QString folder = QFileInfo(m_location.file).absolutePath();
        if (!QDir().mkpath(folder)) {
            *error = Failure(QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
            return OpenResult::Unavailable;
        }
    }
    QSqlDatabase db = QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false)
                                                     : QSqlDatabase::addDatabase(driver, m_name);
    if (postgres) {
        // What the URL leaves out the client library finds itself: in the
        // service file, its environment and the password file.
        db.setHostName(m_location.host);
        db.setPort(m_location.port > 0 ? m_location.port : -1);
        db.setUserName(m_location.user);
        db.setPassword(m_location.password);
        db.setDatabaseName(m_location.database);
        db.setConnectOptions(ConnectOptions(m_location));
    } else {
        db.setDatabaseName(m_location.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs));
    }
    if (!db.open()) {
        *error = Failure(Explain(db.lastError()));
        return OpenResult::Unavailable;
    }
    if (!postgres) {
        QString ignored;
        // WAL lets readers go on while one program writes; NORMAL is safe with WAL.
        Exec(QStringLiteral("PRAGMA journal_mode=WAL"), &ignored);
        Exec(QStringLiteral("PRAGMA synchronous=NORMAL"), &ignored);
        // A long log goes in without the cache thrashing (64 MB at most).
        Exec(QStringLiteral("PRAGMA cache_size=-65536"), &ignored);
    } else {
        QString ignored;
        Exec(QStringLiteral("SET client_min_messages TO WARNING"), &ignored);
    }
    return OpenResult::Ok;
}

QStringList CHistoryDatabase::Tables(QString *error) const
{
    QSqlQuery q = Query();
    const QString sql = IsPostgres()
                            ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()")
                            : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    QStringList tables;
    if (!q.exec(sql)) {
        *error = Explain(q.lastError(), sql);
        return {};
    }
    while (q.next())
        tables.append(q.value(0).toString());
    error->clear();
    return tables;
}

CHistoryDatabase::OpenResult CHistoryDatabase::PrepareSchema(QString *error)
{
    const QString shown = m_location.Shown();
    QString why;
    QStringList tables = Tables(&why);
    if (!why.isEmpty()) {
        // The first read of the file: a damaged one fails here.
        if (!IsPostgres()) {
            *error = QStringLiteral("%1 is damaged or is not an instrument history database: %2").arg(shown, why);
            return OpenResult::Fatal;
        }
        *error = Failure(why);
        return OpenResult::Unavailable;
    }
    const auto readMeta = [&](int *version, QString *application) {
        QSqlQuery q = Query();
        if (!q.exec(QStringLiteral("SELECT name, value FROM history_meta")))
            return false;
        while (q.next()) {
            if (q.value(0).toString() == QLatin1String("schema"))
                *version = q.value(1).toString().toInt();
            else if (q.value(0).toString() == QLatin1String("application"))
                *application = q.value(1).toString();
        }
        return true;
    };
    const auto judge = [&](const QStringList &tables, int *version) -> OpenResult {
        *version = 0;
        if (tables.isEmpty())
            return OpenResult::Ok;
        QString application;
        if (!tables.contains(QLatin1String("history_meta")) || !readMeta(version, &application)
            || application != CHistorySchema::Application) {
            *error = QStringLiteral("%1 is not an instrument history database: it holds other tables (%2).")
                         .arg(shown, QStringList(tables.mid(0, 5)).join(QStringLiteral(", ")));
            return OpenResult::Fatal;
        }
        if (*version < 1 || *version > CHistorySchema::CurrentVersion) {
            *error = QStringLiteral("%1 has history schema version %2; this program knows versions 1 to %3. Use a newer program.")
                         .arg(shown)
                         .arg(*version)
                         .arg(CHistorySchema::CurrentVersion);
            return OpenResult::Fatal;
        }
        return OpenResult::Ok;
    };
    int version = 0;
    OpenResult verdict = judge(tables, &version);
    m_foundVersion = version;
    m_schemaReady = verdict == OpenResult::Ok && version == CHistorySchema::CurrentVersion;
    if (verdict != OpenResult::Ok || m_schemaReady)
        return verdict;

    // Create or migrate under the write lock, looking again: another program
    // may have done it meanwhile.
    if (!Begin(&why)) {
        *error = Failure(why);
        return OpenResult::Unavailable;
    }
    tables = Tables(&why);
    verdict = why.isEmpty() ? judge(tables, &version) : OpenResult::Unavailable;
    if (verdict != OpenResult::Ok) {
        if (!why.isEmpty())
            *error = Failure(why);
        Rollback();
        return verdict;
    }
    bool ok = true;
    if (version == 0) {
        ok = CreateVersion(*this, CHistorySchema::CurrentVersion, &why);
    } else {
        for (int from = version; ok && from < CHistorySchema::CurrentVersion; ++from)
            ok = Migrate(from, &why);
    }
    if (!ok || !Commit(&why)) {
        const bool denied = m_denied;
        Rollback();
        *error = denied ? SchemaDenied(version, why) : Failure(why);
        // A schema that cannot be written now (locked, read-only) may be
        // written later; what is read stays readable.
        return OpenResult::Unavailable;
    }
    m_schemaReady = true;
    return OpenResult::Ok;
}

QString CHistoryDatabase::SchemaDenied(int version, const QString &why) const
{
    const QString user = UserName();
    const QString what = version == 0 ? QStringLiteral("holds no instrument history yet, and the user \"%1\" may not create it").arg(user)
                                      : QStringLiteral("has history schema version %1, and the user \"%2\" may not migrate it to version %3")
                                            .arg(version)
                                            .arg(user)
                                            .arg(CHistorySchema::CurrentVersion);
    return QStringLiteral("History database %1 %2: only the history's owner creates or migrates it, with "
                          "\"altavo-cli history init\" (%3)")
        .arg(m_location.Shown(), what, m_denied ? m_deniedText : why);
}

bool CHistoryDatabase::CreateVersion(CHistoryDatabase &db, int version, QString *error)
{
    for (const QString &sql : CHistorySchema::Create(version, db.IsPostgres())) {
        if (!db.Exec(sql, error))
            return false;
    }
    QSqlQuery q = db.Query();
    if (!db.Prepare(q, QStringLiteral("INSERT INTO history_meta (name, value) VALUES (?, ?)"), error))
        return false;
    q.addBindValue(QStringLiteral("application"));
    q.addBindValue(CHistorySchema::Application);
    if (!db.Exec(q, error))
        return false;
    q.addBindValue(QStringLiteral("schema"));
    q.addBindValue(QString::number(version));
    return db.Exec(q, error);
}

bool CHistoryDatabase::Migrate(int from, QString *error)
{
    for (const QString &sql : CHistorySchema::Upgrade(from, IsPostgres())) {
        if (!Exec(sql, error))
            return false;
    }
    // What the new columns hold is worked out from the rows already stored.
    CHistoryWriter writer(*this);
    if (!writer.Upgraded(from, error))
        return false;
    QSqlQuery q = Query();
    if (!Prepare(q, QStringLiteral("UPDATE history_meta SET value = ? WHERE name = 'schema'"), error))
        return false;
    q.addBindValue(QString::number(from + 1));
    return Exec(q, error);
}

bool CHistoryDatabase::Begin(QString *error)
{
    if (IsPostgres()) {
        if (!Exec(QStringLiteral("BEGIN"), error))
            return false;
        m_inTransaction = true;
        // Only schema changes take this lock; data writes go side by side.
        if (!m_schemaReady)
            return Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLockKey), error);
        return true;
    }
    return Exec(QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool CHistoryDatabase::Commit(QString *error)
{
    const bool ok = Exec(QStringLiteral("COMMIT"), error);
    m_inTransaction = false;
    return ok;
}

void CHistoryDatabase::Rollback()
{
    if (IsPostgres() && !m_inTransaction)
        return; // already ended where the statement failed
    QString ignored;
    Exec(QStringLiteral("ROLLBACK"), &ignored);
    m_inTransaction = false;
}

void CHistoryDatabase::Failed(const QSqlError &e, const QString &statement, QString *error) const
{
    *error = Explain(e, statement);
    // A failed statement leaves a PostgreSQL transaction good for nothing but
    // its end; ending it here lets the statements already prepared in it be
    // freed without the driver complaining on stderr.
    if (m_inTransaction) {
        m_inTransaction = false;
        QSqlQuery end = Query();
        end.exec(QStringLiteral("ROLLBACK"));
    }
}

bool CHistoryDatabase::Prepare(QSqlQuery &query, const QString &sql, QString *error) const
{
    if (query.prepare(sql))
        return true;
    Failed(query.lastError(), sql, error);
    return false;
}

bool CHistoryDatabase::Exec(QSqlQuery &query, QString *error) const
{
    if (query.exec())
        return true;
    Failed(query.lastError(), query.lastQuery(), error);
    return false;
}

bool CHistoryDatabase::Exec(const QString &sql, QString *error) const
{
    QSqlQuery q = Query();
    if (q.exec(sql))
        return true;
    Failed(q.lastError(), sql, error);
    return false;
}
