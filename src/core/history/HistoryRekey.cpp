// Keys of stored readings made again from their stored values.
#include "history/HistoryRekey.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryFields.h"
#include "history/HistoryLogCodec.h"

#include <QSqlQuery>
#include <QVariant>
#include <limits>
#include <optional>

namespace {
struct Span
{
    qint64 from = 0;
    qint64 to = 0;
    LogSensors sensors;
};

struct Row
{
    qint64 t = 0;
    qint64 oldHash = 0;
    LogRecord entry;
};

bool RekeyInstrument(CHistoryDatabase &db, qint64 instrument, QString *error)
{
    QSqlQuery q = db.Query();
    q.setForwardOnly(true);
    if (!db.Prepare(q, QStringLiteral("SELECT first_entry, last_entry, sensors FROM log_retrieval WHERE instrument = ?"
                                      " AND first_entry IS NOT NULL ORDER BY id"),
                    error))
        return false;
    q.addBindValue(instrument);
    if (!db.Exec(q, error))
        return false;
    QList<Span> spans;
    std::optional<LogSensors> newest;
    while (q.next()) {
        if (q.value(2).toString().isEmpty())
            continue;
        Span s{q.value(0).toLongLong(), q.value(1).toLongLong(), CHistoryFields::Sensors(q.value(2).toString())};
        spans.append(s);
        newest = s.sensors;
    }
    // Two decimals hold every value a divisor of 1, 10 or 100 gave.
    const LogSensors fallback = newest ? *newest : LogSensors(QString(), 100, QString(), 100, 100);
    const auto sensorsAt = [&](qint64 t) -> const LogSensors & {
        for (const Span &s : spans) {
            if (t >= s.from && t <= s.to)
                return s.sensors;
        }
        return fallback;
    };

    QSqlQuery update = db.Query();
    if (!db.Prepare(update, QStringLiteral("UPDATE log_entry SET h = ? WHERE instrument = ? AND t = ? AND h = ?"), error))
        return false;
    qint64 from = std::numeric_limits<qint64>::min();
    for (;;) {
        if (!db.Prepare(q, QStringLiteral("SELECT t, h, rec FROM log_entry WHERE instrument = ? AND kind = %1 AND t >= ?"
                                          " ORDER BY t, seq LIMIT %2")
                               .arg(int(LogRecord::Data))
                               .arg(CHistoryRekey::BlockRows),
                        error))
            return false;
        q.addBindValue(instrument);
        q.addBindValue(from);
        if (!db.Exec(q, error))
            return false;
        QList<Row> rows;
        while (q.next()) {
            Row r;
            r.t = q.value(0).toLongLong();
            r.oldHash = q.value(1).toLongLong();
            if (CHistoryLogCodec::Decode(q.value(2).toByteArray(), &r.entry))
                rows.append(r);
        }
        q.finish();
        const bool last = rows.size() < CHistoryRekey::BlockRows;
        if (rows.isEmpty())
            return true;
        // A full block may end inside one second's readings: those wait for
        // the next block, which starts at that time.
        qsizetype take = rows.size();
        if (!last) {
            while (take > 0 && rows.at(take - 1).t == rows.last().t)
                --take;
            if (take == 0)
                take = rows.size();
        }
        QList<CHistoryLogCodec::Keyed> keys;
        keys.reserve(take);
        for (qsizetype i = 0; i < take; ++i) {
            CHistoryLogCodec::Keyed k;
            k.timeMs = rows.at(i).t;
            k.index = int(i);
            k.hash = CHistoryLogCodec::Hash(rows.at(i).entry, sensorsAt(rows.at(i).t));
            keys.append(k);
        }
        CHistoryLogCodec::TellApart(keys);
        for (const CHistoryLogCodec::Keyed &k : keys) {
            const Row &r = rows.at(k.index);
            if (k.hash == r.oldHash)
                continue;
            update.bindValue(0, k.hash);
            update.bindValue(1, instrument);
            update.bindValue(2, r.t);
            update.bindValue(3, r.oldHash);
            if (!db.Exec(update, error))
                return false;
        }
        if (last)
            return true;
        from = take == rows.size() ? rows.last().t + 1 : rows.at(take).t;
    }
}
} // namespace

bool CHistoryRekey::Run(CHistoryDatabase &db, QString *error)
{
    QSqlQuery ids = db.Query();
    if (!db.Prepare(ids, QStringLiteral("SELECT id FROM instrument ORDER BY id"), error) || !db.Exec(ids, error))
        return false;
    QList<qint64> instruments;
    while (ids.next())
        instruments.append(ids.value(0).toLongLong());
    for (qint64 instrument : instruments) {
        if (!RekeyInstrument(db, instrument, error))
            return false;
    }
    return true;
}
