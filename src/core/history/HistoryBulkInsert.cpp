// Bulk insertion of log entries.
#include "history/HistoryBulkInsert.h"

#include "history/HistoryDatabase.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>
#if ALTAVO_HAVE_LIBPQ
#include <libpq-fe.h>
#endif
#include <sqlite3.h>

namespace {
// Results of the engine paths: done, failed, or no handle (use Qt).
constexpr int Done = 1, Failed = 0, NoHandle = -1;

template <typename T>
T Handle(const CHistoryDatabase &db, const char *type)
{
    const QVariant v = db.Db().driver()->handle();
    // The PostgreSQL driver names its handle after the struct behind PGconn.
    if (!v.isValid() || (qstrcmp(v.typeName(), type) != 0 && !(qstrcmp(type, "PGconn*") == 0 && qstrcmp(v.typeName(), "pg_conn*") == 0)))
        return nullptr;
    return *static_cast<const T *>(v.constData());
}

template <typename T>
void PutBig(QByteArray &out, T value)
{
    const T big = qToBigEndian(value);
    out.append(reinterpret_cast<const char *>(&big), sizeof big);
}

// Reads a binary COPY stream's fields within what arrived; false past its end.
class CCopyReader
{
public:
    CCopyReader(const char *data, int size) : m_p(data), m_end(data + size) {}
    template <typename T>
    bool Big(T *value)
    {
        if (m_end - m_p < qsizetype(sizeof(T)))
            return false;
        *value = qFromBigEndian<T>(m_p);
        m_p += sizeof(T);
        return true;
    }
    bool Skip(qsizetype n)
    {
        if (n < 0 || m_end - m_p < n)
            return false;
        m_p += n;
        return true;
    }
    // An integer field of the given width.
    template <typename T>
    bool Field(T *value)
    {
        qint32 length = 0;
        return Big(&length) && length == qint32(sizeof(T)) && Big(value);
    }
    bool Bytes(QByteArray *out)
    {
        qint32 length = 0;
        if (!Big(&length) || length < 0 || m_end - m_p < length)
            return false;
        *out = QByteArray(m_p, length);
        m_p += length;
        return true;
    }

private:
    const char *m_p;
    const char *m_end;
};

const char ReadSql[] = "SELECT t, h, seq, kind, code, timeless, rec FROM log_entry WHERE instrument = %1 ORDER BY t, h";
} // namespace

bool CHistoryBulkInsert::Insert(CHistoryDatabase &db, qint64 instrument, const QList<const CHistoryLogCodec::Keyed *> &pending,
                                const QList<LogRecord> &entries, bool spanEmpty, qint64 *added, QString *error)
{
    return Insert(
        db, instrument, pending.size(),
        [&](qsizetype i, Row &row) {
            const CHistoryLogCodec::Keyed &k = *pending.at(i);
            const LogRecord &e = entries.at(k.index);
            row.t = k.timeMs;
            row.h = k.hash;
            row.seq = k.index;
            row.kind = int(e.kind);
            row.code = int(e.code);
            row.timeless = k.timeless;
            row.rec = CHistoryLogCodec::Encode(e);
        },
        spanEmpty, added, error);
}

bool CHistoryBulkInsert::InsertRows(CHistoryDatabase &db, qint64 instrument, const QList<Row> &rows, bool fresh, qint64 *added,
                                    QString *error)
{
    return Insert(db, instrument, rows.size(), [&](qsizetype i, Row &row) { row = rows.at(i); }, fresh, added, error);
}

bool CHistoryBulkInsert::Insert(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, bool spanEmpty,
                                qint64 *added, QString *error)
{
    if (count == 0)
        return true;
    int r = NoHandle;
    if (!db.IsPostgres()) {
        r = Sqlite(db, instrument, count, rows, added, error);
    } else if (!spanEmpty) {
        r = Postgres(db, instrument, count, rows, false, added, error);
    } else {
        // Another writer may have stored the same entries since the span was
        // read: its keys stop the straight copy, and the careful way runs.
        if (!db.Exec(QStringLiteral("SAVEPOINT history_bulk"), error))
            return false;
        r = Postgres(db, instrument, count, rows, true, added, error);
        if (r == Failed) {
            if (!db.Exec(QStringLiteral("ROLLBACK TO SAVEPOINT history_bulk"), error))
                return false;
            r = Postgres(db, instrument, count, rows, false, added, error);
        } else if (r == Done && !db.Exec(QStringLiteral("RELEASE SAVEPOINT history_bulk"), error)) {
            return false;
        }
    }
    if (r != NoHandle)
        return r == Done;
    return Qt(db, instrument, count, rows, added, error);
}

int CHistoryBulkInsert::Sqlite(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, qint64 *added,
                               QString *error)
{
    sqlite3 *handle = Handle<sqlite3 *>(db, "sqlite3*");
    if (!handle)
        return NoHandle;
    sqlite3_stmt *statement = nullptr;
    const char sql[] = "INSERT INTO log_entry (instrument, t, h, seq, kind, code, timeless, rec) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"
                       " ON CONFLICT DO NOTHING";
    if (sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(handle));
        return Failed;
    }
    int result = Done;
    Row row;
    for (qsizetype i = 0; i < count; ++i) {
        rows(i, row);
        sqlite3_bind_int64(statement, 1, instrument);
        sqlite3_bind_int64(statement, 2, row.t);
        sqlite3_bind_int64(statement, 3, row.h);
        sqlite3_bind_int(statement, 4, row.seq);
        sqlite3_bind_int(statement, 5, row.kind);
        sqlite3_bind_int(statement, 6, row.code);
        sqlite3_bind_int(statement, 7, row.timeless ? 1 : 0);
        sqlite3_bind_blob(statement, 8, row.rec.constData(), int(row.rec.size()), SQLITE_STATIC);
        if (sqlite3_step(statement) != SQLITE_DONE) {
            *error = QString::fromUtf8(sqlite3_errmsg(handle));
            result = Failed;
            break;
        }
        *added += sqlite3_changes(handle);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return result;
}

int CHistoryBulkInsert::Postgres(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, bool spanEmpty,
                                 qint64 *added, QString *error)
{
#if !ALTAVO_HAVE_LIBPQ
    // Built without the PostgreSQL client: Qt's bound values do the work.
    Q_UNUSED(db); Q_UNUSED(instrument); Q_UNUSED(count); Q_UNUSED(rows);
    Q_UNUSED(spanEmpty); Q_UNUSED(added); Q_UNUSED(error);
    return NoHandle;
#else
    PGconn *conn = Handle<PGconn *>(db, "PGconn*");
    if (!conn)
        return NoHandle;
    // Lives for the session, emptied at each commit.
    if (!spanEmpty
        && (!db.Exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS log_entry_in (LIKE log_entry) ON COMMIT DELETE ROWS"), error)
            || !db.Exec(QStringLiteral("TRUNCATE log_entry_in"), error)))
        return Failed;
    const auto finish = [&](PGresult *res, ExecStatusType wanted) {
        const bool ok = res && PQresultStatus(res) == wanted;
        if (!ok)
            *error = QString::fromUtf8(res ? PQresultErrorMessage(res) : PQerrorMessage(conn)).trimmed();
        PQclear(res);
        return ok;
    };
    const char *copy = spanEmpty ? "COPY log_entry (instrument, t, h, seq, kind, code, timeless, rec) FROM STDIN (FORMAT binary)"
                                 : "COPY log_entry_in (instrument, t, h, seq, kind, code, timeless, rec) FROM STDIN (FORMAT binary)";
    if (!finish(PQexec(conn, copy), PGRES_COPY_IN))
        return Failed;
    QByteArray chunk;
    chunk.reserve(1 << 20);
    chunk.append("PGCOPY\n\377\r\n\0", 11);
    PutBig<qint32>(chunk, 0);
    PutBig<qint32>(chunk, 0);
    bool sent = true;
    Row row;
    for (qsizetype i = 0; i < count; ++i) {
        rows(i, row);
        PutBig<qint16>(chunk, 8);
        PutBig<qint32>(chunk, 8);
        PutBig<qint64>(chunk, instrument);
        PutBig<qint32>(chunk, 8);
        PutBig<qint64>(chunk, row.t);
        PutBig<qint32>(chunk, 8);
        PutBig<qint64>(chunk, row.h);
        for (const qint32 v : {qint32(row.seq), qint32(row.kind), qint32(row.code), qint32(row.timeless ? 1 : 0)}) {
            PutBig<qint32>(chunk, 4);
            PutBig<qint32>(chunk, v);
        }
        PutBig<qint32>(chunk, qint32(row.rec.size()));
        chunk += row.rec;
        if (chunk.size() >= (1 << 20)) {
            sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
            chunk.clear();
            if (!sent)
                break;
        }
    }
    PutBig<qint16>(chunk, -1);
    if (sent)
        sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
    if (PQputCopyEnd(conn, sent ? nullptr : "the rows could not be sent") != 1 || !sent) {
        *error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        while (PGresult *res = PQgetResult(conn))
            PQclear(res);
        return Failed;
    }
    bool ok = true;
    while (PGresult *res = PQgetResult(conn))
        ok = finish(res, PGRES_COMMAND_OK) && ok;
    if (!ok)
        return Failed;
    if (spanEmpty) {
        *added += count;
        return Done;
    }
    QSqlQuery q = db.Query();
    if (!q.exec(QStringLiteral("INSERT INTO log_entry SELECT * FROM log_entry_in ON CONFLICT DO NOTHING"))) {
        *error = q.lastError().text();
        return Failed;
    }
    *added += qMax(0, q.numRowsAffected());
    return db.Exec(QStringLiteral("TRUNCATE log_entry_in"), error) ? Done : Failed;
#endif
}

bool CHistoryBulkInsert::Qt(CHistoryDatabase &db, qint64 instrument, qsizetype count, const Rows &rows, qint64 *added,
                            QString *error)
{
    const auto statement = [](int rows) {
        QString sql = QStringLiteral("INSERT INTO log_entry (instrument, t, h, seq, kind, code, timeless, rec) VALUES ");
        for (int i = 0; i < rows; ++i)
            sql += i ? QStringLiteral(",(?,?,?,?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?,?,?,?)");
        return sql + QStringLiteral(" ON CONFLICT DO NOTHING");
    };
    QSqlQuery full = db.Query(), rest = db.Query();
    bool fullReady = false;
    Row row;
    for (qsizetype start = 0; start < count; start += QtBatchRows) {
        const int batch = int(qMin<qsizetype>(QtBatchRows, count - start));
        QSqlQuery &run = batch == QtBatchRows ? full : rest;
        if (batch != QtBatchRows || !fullReady) {
            if (!db.Prepare(run, statement(batch), error))
                return false;
            fullReady = fullReady || batch == QtBatchRows;
        }
        int p = 0;
        for (int i = 0; i < batch; ++i) {
            rows(start + i, row);
            run.bindValue(p++, instrument);
            run.bindValue(p++, row.t);
            run.bindValue(p++, row.h);
            run.bindValue(p++, row.seq);
            run.bindValue(p++, row.kind);
            run.bindValue(p++, row.code);
            run.bindValue(p++, row.timeless ? 1 : 0);
            run.bindValue(p++, row.rec);
        }
        if (!db.Exec(run, error))
            return false;
        *added += qMax(0, run.numRowsAffected());
    }
    return true;
}

bool CHistoryBulkInsert::ReadRows(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error)
{
    const int r = db.IsPostgres() ? ReadPostgres(db, instrument, take, error) : ReadSqlite(db, instrument, take, error);
    if (r != NoHandle)
        return r == Done;
    return ReadQt(db, instrument, take, error);
}

int CHistoryBulkInsert::ReadSqlite(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error)
{
    sqlite3 *handle = Handle<sqlite3 *>(db, "sqlite3*");
    if (!handle)
        return NoHandle;
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = QByteArray(ReadSql).replace("%1", QByteArray::number(instrument));
    if (sqlite3_prepare_v2(handle, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(handle));
        return Failed;
    }
    int result = Done;
    Row row;
    for (;;) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_DONE)
            break;
        if (step != SQLITE_ROW) {
            *error = QString::fromUtf8(sqlite3_errmsg(handle));
            result = Failed;
            break;
        }
        row.t = sqlite3_column_int64(statement, 0);
        row.h = sqlite3_column_int64(statement, 1);
        row.seq = sqlite3_column_int(statement, 2);
        row.kind = sqlite3_column_int(statement, 3);
        row.code = sqlite3_column_int(statement, 4);
        row.timeless = sqlite3_column_int(statement, 5) != 0;
        const void *bytes = sqlite3_column_blob(statement, 6);
        row.rec = QByteArray(static_cast<const char *>(bytes), sqlite3_column_bytes(statement, 6));
        if (!take(row)) {
            result = Failed;
            break;
        }
    }
    sqlite3_finalize(statement);
    return result;
}

int CHistoryBulkInsert::ReadPostgres(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take,
                                     QString *error)
{
#if !ALTAVO_HAVE_LIBPQ
    Q_UNUSED(db); Q_UNUSED(instrument); Q_UNUSED(take); Q_UNUSED(error);
    return NoHandle;
#else
    PGconn *conn = Handle<PGconn *>(db, "PGconn*");
    if (!conn)
        return NoHandle;
    const QByteArray sql = "COPY (" + QByteArray(ReadSql).replace("%1", QByteArray::number(instrument)) + ") TO STDOUT (FORMAT binary)";
    PGresult *start = PQexec(conn, sql.constData());
    const bool copying = start && PQresultStatus(start) == PGRES_COPY_OUT;
    if (!copying)
        *error = QString::fromUtf8(start ? PQresultErrorMessage(start) : PQerrorMessage(conn)).trimmed();
    PQclear(start);
    if (!copying)
        return Failed;
    // One row per message after the header; the trailer is a count of -1.
    int result = Done;
    bool header = true, stopped = false;
    Row row;
    for (;;) {
        char *buffer = nullptr;
        const int size = PQgetCopyData(conn, &buffer, 0);
        if (size < 0) {
            if (size == -2) {
                *error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
                result = Failed;
            }
            break;
        }
        CCopyReader in(buffer, size);
        bool ok = true;
        if (header) {
            ok = in.Skip(11);
            qint32 flags = 0, extension = 0;
            ok = ok && in.Big(&flags) && in.Big(&extension) && in.Skip(extension);
            header = false;
        }
        qint16 fields = 0;
        if (ok && !stopped && in.Big(&fields) && fields != -1) {
            qint32 seq = 0, kind = 0, code = 0, timeless = 0;
            ok = fields == 7 && in.Field(&row.t) && in.Field(&row.h) && in.Field(&seq) && in.Field(&kind) && in.Field(&code)
                 && in.Field(&timeless) && in.Bytes(&row.rec);
            row.seq = seq;
            row.kind = kind;
            row.code = code;
            row.timeless = timeless != 0;
            if (ok && !take(row)) {
                stopped = true;
                result = Failed;
            }
        }
        PQfreemem(buffer);
        if (!ok && result == Done) {
            *error = QStringLiteral("the rows of the log could not be read back");
            result = Failed;
        }
    }
    // The copy is read to its end, so the connection is free again.
    while (PGresult *res = PQgetResult(conn)) {
        if (PQresultStatus(res) != PGRES_COMMAND_OK && result == Done) {
            *error = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
            result = Failed;
        }
        PQclear(res);
    }
    return result;
#endif
}

bool CHistoryBulkInsert::ReadQt(CHistoryDatabase &db, qint64 instrument, const std::function<bool(const Row &)> &take, QString *error)
{
    QSqlQuery q = db.Query();
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(ReadSql).arg(instrument))) {
        *error = q.lastError().text();
        return false;
    }
    Row row;
    while (q.next()) {
        row.t = q.value(0).toLongLong();
        row.h = q.value(1).toLongLong();
        row.seq = q.value(2).toInt();
        row.kind = q.value(3).toInt();
        row.code = q.value(4).toInt();
        row.timeless = q.value(5).toInt() != 0;
        row.rec = q.value(6).toByteArray();
        if (!take(row))
            return false;
    }
    return true;
}
