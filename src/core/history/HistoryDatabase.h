// One connection to the history database: opening it, telling ours from a foreign or damaged file, creating and migrating the schema, transactions.
#pragma once

#include "HistoryLocation.h"
#include "HistoryPasswordFile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

class CHistoryDatabase
{
public:
    enum class OpenResult {
        Ok,
        Unavailable, // could not be reached or written now; may work later
        Fatal,       // never works as it is: foreign, damaged or newer
    };

    explicit CHistoryDatabase(const CHistoryLocation &location);
    ~CHistoryDatabase();
    CHistoryDatabase(const CHistoryDatabase &) = delete;
    CHistoryDatabase &operator=(const CHistoryDatabase &) = delete;

    // How long an SQLite writer waits for another one's lock.
    void SetBusyTimeout(int ms) { m_busyMs = ms; }

    // Connects, then creates or migrates the schema when it is missing or
    // older (which only the database's owner may do: anyone else is told so).
    OpenResult Open(QString *error);
    // Only the connection: no schema is looked at or made.
    OpenResult Connect(QString *error);
    void Close();
    bool IsOpen() const;
    bool IsPostgres() const { return m_location.engine == CHistoryLocation::PostgreSQL; }
    const CHistoryLocation &Location() const { return m_location; }
    QSqlDatabase Db() const { return QSqlDatabase::database(m_name, false); }
    // The schema version found at Open (before any migration).
    int FoundVersion() const { return m_foundVersion; }

    // A writing transaction: on SQLite it takes the write lock at once, so
    // two writers queue instead of failing half way.
    bool Begin(QString *error);
    bool Commit(QString *error);
    void Rollback();

    QSqlQuery Query() const { return QSqlQuery(Db()); }
    bool Prepare(QSqlQuery &query, const QString &sql, QString *error) const;
    bool Exec(QSqlQuery &query, QString *error) const;
    bool Exec(const QString &sql, QString *error) const;
    // "<location>: <driver text>"
    QString Failure(const QString &what) const;
    // The driver's text, with what to do about a refused right or a failed
    // certificate check.
    QString Explain(const QSqlError &error, const QString &statement = QString()) const;
    // The user the server knows this connection as (the URL's until connected).
    QString UserName() const;
    // Whom the open server connection logged in as, where: the password
    // file's fields (the password left empty).
    CHistoryPasswordFile::Entry ConnectedAs() const;
    // The settings the PostgreSQL driver passes to the client library.
    static QString ConnectOptions(const CHistoryLocation &location);

    // Creates the given version from nothing; for tests of the migrations.
    static bool CreateVersion(CHistoryDatabase &db, int version, QString *error);

private:
    OpenResult CheckSqliteFile(QString *error) const;
    OpenResult PrepareSchema(QString *error);
    bool Migrate(int from, QString *error);
    QString SchemaDenied(int version, const QString &why) const;
    // *error from a failed statement; on PostgreSQL its transaction ends.
    void Failed(const QSqlError &e, const QString &statement, QString *error) const;
    QStringList Tables(QString *error) const;

    CHistoryLocation m_location;
    QString m_name;
    int m_busyMs = 10000;
    int m_foundVersion = 0;
    bool m_schemaReady = false;
    mutable bool m_denied = false; // the last failure was a refused right
    mutable QString m_deniedText;  // the server's words for it
    mutable bool m_inTransaction = false; // PostgreSQL: between Begin and its end
};
