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

namespace {
QAtomicInt connectionCounter;
// Serialises schema changes of several programs on one PostgreSQL database.
constexpr qint64 SchemaLockKey = 0x41564849; // "AVHI"

QString DriverText(const QSqlError &e)
{
    QString text = e.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}
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

CHistoryDatabase::OpenResult CHistoryDatabase::Open(QString *error)
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
        db.setHostName(m_location.host);
        db.setPort(m_location.port);
        db.setUserName(m_location.user);
        db.setPassword(m_location.password);
        db.setDatabaseName(m_location.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=altavo-history"));
    } else {
        db.setDatabaseName(m_location.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs));
    }
    if (!db.open()) {
        *error = Failure(DriverText(db.lastError()));
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
    const OpenResult result = PrepareSchema(error);
    if (result != OpenResult::Ok)
        Close();
    return result;
}

QStringList CHistoryDatabase::Tables(QString *error) const
{
    QSqlQuery q = Query();
    const QString sql = IsPostgres()
                            ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()")
                            : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    QStringList tables;
    if (!q.exec(sql)) {
        *error = DriverText(q.lastError());
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
        Rollback();
        *error = Failure(why);
        // A schema that cannot be written now (locked, read-only) may be
        // written later; what is read stays readable.
        return OpenResult::Unavailable;
    }
    m_schemaReady = true;
    return OpenResult::Ok;
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
        QSqlQuery q = Query();
        // Only schema changes take this lock; data writes go side by side.
        if (!m_schemaReady)
            return q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLockKey)) || (*error = DriverText(q.lastError()), false);
        return true;
    }
    return Exec(QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool CHistoryDatabase::Commit(QString *error)
{
    return Exec(QStringLiteral("COMMIT"), error);
}

void CHistoryDatabase::Rollback()
{
    QString ignored;
    Exec(QStringLiteral("ROLLBACK"), &ignored);
}

bool CHistoryDatabase::Prepare(QSqlQuery &query, const QString &sql, QString *error) const
{
    if (query.prepare(sql))
        return true;
    *error = DriverText(query.lastError());
    return false;
}

bool CHistoryDatabase::Exec(QSqlQuery &query, QString *error) const
{
    if (query.exec())
        return true;
    *error = DriverText(query.lastError());
    return false;
}

bool CHistoryDatabase::Exec(const QString &sql, QString *error) const
{
    QSqlQuery q = Query();
    if (q.exec(sql))
        return true;
    *error = DriverText(q.lastError());
    return false;
}
