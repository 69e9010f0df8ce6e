// Log entries into the history in bulk: through SQLite's own prepared statement, or PostgreSQL's binary COPY, inside the transaction the caller holds; and out of it the same way, for a copy.
#pragma once

#include "HistoryLogCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class CHistoryDatabase;

/*
 * A million entries through Qt's bound values cost most of the time in
 * QVariant traffic, so the rows go to the engines' own interfaces on the
 * connection Qt opened: one statement prepared once and stepped per row on
 * SQLite; on PostgreSQL a binary COPY into a temporary table, then one
 * INSERT ... SELECT ... ON CONFLICT DO NOTHING, so the key still keeps out
 * what another writer stored meanwhile. Without access to the engine's
 * handle the rows go through Qt in multi-row statements.
 */
class CHistoryBulkInsert
{
public:
    // One log_entry row: its key (t, h), its place and its stored bytes.
    struct Row
    {
        qint64 t = 0;
        qint64 h = 0;
        int seq = 0;
        int kind = 0;
        int code = 0;
        bool timeless = false;
        QByteArray rec;
    };

    // pending: the keys of the rows to offer; *added: rows that were new.
    // spanEmpty: the instrument had no entry in the rows' time span, so on
    // PostgreSQL they are copied straight into the table; when a writer
    // stored some of them meanwhile, the copy is undone to a savepoint and
    // the rows go the careful way.
    static bool Insert(CHistoryDatabase &db, qint64 instrument, const QList<const CHistoryLogCodec::Keyed *> &pending,
                       const QList<LogRecord> &entries, bool spanEmpty, qint64 *added, QString *error);

    // Rows as another history keeps them (a copy): keys and bytes unchanged,
    // the ones this history holds already left out. fresh: as spanEmpty.
    static bool InsertRows(CHistoryDatabase &db, qint64 instrument, const QList<Row> &rows, bool fresh, qint64 *added,
                           QString *error);
    // Every row of the instrument in key order (t, h), one call of take each;
    // take returns false to stop (and ReadRows returns false without an error).
    static bool ReadRows(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error);

    static constexpr int QtBatchRows = 256;

private:
    // Fills row i of count.
    using Rows = std::function<void(qsizetype i, Row &row)>;
    static bool Insert(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, bool spanEmpty, qint64 *added,
                       QString *error);
    static int Sqlite(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, qint64 *added, QString *error);
    static int Postgres(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, bool spanEmpty, qint64 *added,
                        QString *error);
    static bool Qt(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, qint64 *added, QString *error);
    static int ReadSqlite(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error);
    static int ReadPostgres(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error);
    static bool ReadQt(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error);
};
