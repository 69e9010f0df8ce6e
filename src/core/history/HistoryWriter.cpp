// The history's writes.
#include "history/HistoryWriter.h"

#include "history/HistoryBulkInsert.h"
#include "history/HistoryCalibrationFinder.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryFields.h"
#include "history/HistoryLogCodec.h"
#include "history/HistoryRekey.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <limits>

namespace {
// The drivers bind a null QString as NULL; the text columns hold '' instead.
QString Text(const QString &s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

constexpr qint64 DayMs = 86400000;

// What a day of entries adds up to: equal sums on both sides mean the day is
// stored already and need not be offered again.
struct DaySum
{
    qint64 count = 0;
    qint64 low = 0;
    qint64 high = 0;
    bool operator==(const DaySum &) const = default;
};

qint64 Day(qint64 ms)
{
    // Floor division, so times before 1970 fall into their own day too.
    return ms >= 0 ? ms / DayMs : -((-ms + DayMs - 1) / DayMs);
}

// One statement that returns no rows, with its values bound in order.
bool Run(const CHistoryDatabase &db, const QString &sql, const QVariantList &binds, QString *error)
{
    QSqlQuery q = db.Query();
    if (!db.Prepare(q, sql, error))
        return false;
    for (const QVariant &v : binds)
        q.addBindValue(v);
    return db.Exec(q, error);
}
} // namespace

QString CHistoryWriter::Greatest() const
{
    return m_db.IsPostgres() ? QStringLiteral("GREATEST") : QStringLiteral("MAX");
}

QString CHistoryWriter::Least() const
{
    return m_db.IsPostgres() ? QStringLiteral("LEAST") : QStringLiteral("MIN");
}

qint64 CHistoryWriter::Existing(const char *table, const QString &opKey, QString *error)
{
    QSqlQuery q = m_db.Query();
    if (!m_db.Prepare(q, QStringLiteral("SELECT id FROM %1 WHERE op_key = ?").arg(QLatin1String(table)), error))
        return -1;
    q.addBindValue(Text(opKey));
    if (!m_db.Exec(q, error))
        return -1;
    return q.next() ? q.value(0).toLongLong() : 0;
}

qint64 CHistoryWriter::LastId(const char *table, const QString &opKey, QString *error)
{
    const qint64 id = Existing(table, opKey, error);
    if (id == 0)
        *error = QStringLiteral("the new %1 row cannot be found again").arg(QLatin1String(table));
    return id > 0 ? id : -1;
}

qint64 CHistoryWriter::Instrument(const HistoryInstrument &i, QString *error)
{
    const QDateTime seen = i.lastSeen.isValid() ? i.lastSeen : QDateTime::currentDateTimeUtc();
    const QDateTime first = i.firstSeen.isValid() ? i.firstSeen : seen;
    QSqlQuery q = m_db.Query();
    // A newer record's texts win; a record replayed late from the spool only
    // fills what the row lacks and moves neither first nor last seen wrongly.
    const QString newer = QStringLiteral("excluded.last_seen >= instrument.last_seen");
    const auto field = [&](const char *column) {
        return QStringLiteral("%1 = CASE WHEN excluded.%1 <> '' AND (%2 OR instrument.%1 = '') THEN excluded.%1 ELSE instrument.%1 END")
            .arg(QLatin1String(column), newer);
    };
    const QString sql = QStringLiteral(
                            "INSERT INTO instrument (serial, version, configuration, instrument_id, first_seen, last_seen)"
                            " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (serial) DO UPDATE SET %1, %2, %3,"
                            " first_seen = %4(instrument.first_seen, excluded.first_seen),"
                            " last_seen = %5(instrument.last_seen, excluded.last_seen)")
                            .arg(field("version"), field("configuration"), field("instrument_id"), Least(), Greatest());
    if (!m_db.Prepare(q, sql, error))
        return -1;
    q.addBindValue(Text(i.serial));
    q.addBindValue(Text(i.version));
    q.addBindValue(Text(i.configuration));
    q.addBindValue(Text(i.instrumentId));
    q.addBindValue(first.toMSecsSinceEpoch());
    q.addBindValue(seen.toMSecsSinceEpoch());
    if (!m_db.Exec(q, error))
        return -1;
    if (!m_db.Prepare(q, QStringLiteral("SELECT id FROM instrument WHERE serial = ?"), error))
        return -1;
    q.addBindValue(Text(i.serial));
    if (!m_db.Exec(q, error))
        return -1;
    if (!q.next()) {
        *error = QStringLiteral("the instrument %1 cannot be found again").arg(i.serial);
        return -1;
    }
    return q.value(0).toLongLong();
}

qint64 CHistoryWriter::InstrumentFor(const QString &serial, const QDateTime &time, QString *error)
{
    HistoryInstrument i;
    i.serial = serial;
    i.firstSeen = time;
    i.lastSeen = time;
    return Instrument(i, error);
}

qint64 CHistoryWriter::KnownInstrument(const QString &serial, const QDateTime &time, QString *error)
{
    QSqlQuery q = m_db.Query();
    if (!m_db.Prepare(q, QStringLiteral("INSERT INTO instrument (serial, first_seen, last_seen) VALUES (?, ?, ?)"
                                        " ON CONFLICT (serial) DO NOTHING"),
                      error))
        return -1;
    q.addBindValue(Text(serial));
    q.addBindValue(time.toMSecsSinceEpoch());
    q.addBindValue(time.toMSecsSinceEpoch());
    if (!m_db.Exec(q, error) || !m_db.Prepare(q, QStringLiteral("SELECT id FROM instrument WHERE serial = ?"), error))
        return -1;
    q.addBindValue(Text(serial));
    if (!m_db.Exec(q, error))
        return -1;
    if (!q.next()) {
        *error = QStringLiteral("the instrument %1 cannot be found again").arg(serial);
        return -1;
    }
    return q.value(0).toLongLong();
}

qint64 CHistoryWriter::Snapshot(const HistorySnapshot &s, QString *error)
{
    const qint64 existing = Existing("snapshot", s.opKey, error);
    if (existing != 0)
        return existing < 0 ? -1 : 0;
    const qint64 instrument = InstrumentFor(s.serial, s.time, error);
    if (instrument < 0)
        return -1;
    if (!Run(m_db,
             QStringLiteral("INSERT INTO snapshot (op_key, instrument, kind, time, computer, user_name, options_text,"
                            " verified, differences) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {Text(s.opKey), instrument, int(s.kind), s.time.toMSecsSinceEpoch(), Text(s.computer), Text(s.user),
              Text(s.optionsText), s.verified ? 1 : 0, Text(CHistoryFields::DifferencesText(s.differences))},
             error))
        return -1;
    const qint64 id = LastId("snapshot", s.opKey, error);
    if (id < 0)
        return -1;

    // The newest settings give the instrument its intervals and ID.
    const CHistoryFields::SettingsFacts facts = CHistoryFields::Facts(s.optionsText);
    if (!Run(m_db,
             QStringLiteral("UPDATE instrument SET cal_interval = ?, bump_required = ?, settings_cal = ?"
                            " WHERE id = ? AND NOT EXISTS (SELECT 1 FROM snapshot WHERE instrument = ? AND time > ?)"),
             {facts.calIntervalDays, facts.bumpTestRequired ? 1 : 0, CHistoryFields::Ms(facts.lastCalDate), instrument, instrument,
              s.time.toMSecsSinceEpoch()},
             error)
        || !RefreshDue(instrument, error))
        return -1;
    return id;
}

qint64 CHistoryWriter::Log(const HistoryLogRetrieval &r, const QList<LogRecord> &entries, qint64 *added, QString *error)
{
    *added = 0;
    const qint64 existing = Existing("log_retrieval", r.opKey, error);
    if (existing != 0)
        return existing < 0 ? -1 : 0;
    // A saved file is not a sight of the instrument: it names the row (made
    // when missing) but does not move its last seen.
    const qint64 instrument = r.source == HistoryLogRetrieval::CsvFile ? KnownInstrument(r.serial, r.time, error)
                                                                        : InstrumentFor(r.serial, r.time, error);
    if (instrument < 0)
        return -1;

    const QList<CHistoryLogCodec::Keyed> keys = CHistoryLogCodec::Keys(entries, r.sensors);
    QHash<qint64, DaySum> incoming;
    DaySum all;
    qint64 minT = std::numeric_limits<qint64>::max(), maxT = std::numeric_limits<qint64>::min();
    for (const CHistoryLogCodec::Keyed &k : keys) {
        DaySum &d = incoming[Day(k.timeMs)];
        ++d.count;
        d.low += k.hash & 0x7FFFFFFF;
        d.high += (k.hash >> 31) & 0x7FFFFFFF;
        ++all.count;
        all.low += k.hash & 0x7FFFFFFF;
        all.high += (k.hash >> 31) & 0x7FFFFFFF;
        minT = qMin(minT, k.timeMs);
        maxT = qMax(maxT, k.timeMs);
    }

    QSqlQuery q = m_db.Query();
    q.setForwardOnly(true);
    const auto sums = [&](const QString &select, const QString &group) {
        return m_db.Prepare(q, QStringLiteral("SELECT %1 COUNT(*), SUM(h & 2147483647), SUM((h / 2147483648) & 2147483647)"
                                              " FROM log_entry WHERE instrument = ? AND t BETWEEN ? AND ?%2")
                                   .arg(select, group),
                            error)
               && (q.addBindValue(instrument), q.addBindValue(minT), q.addBindValue(maxT), m_db.Exec(q, error));
    };
    // The whole span first: a log retrieved again is found stored in one
    // pass; only when it differs are the days compared.
    DaySum span;
    if (!keys.isEmpty()) {
        if (!sums(QString(), QString()))
            return -1;
        if (q.next())
            span = {q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong()};
    }
    QList<const CHistoryLogCodec::Keyed *> pending;
    if (span.count == 0) {
        for (const CHistoryLogCodec::Keyed &k : keys)
            pending.append(&k);
    } else if (span != all) {
        // Floor division on both engines, as Day() does.
        if (!sums(QStringLiteral("(t - ((t % 86400000) + 86400000) % 86400000) / 86400000 AS d,"), QStringLiteral(" GROUP BY d")))
            return -1;
        QHash<qint64, DaySum> stored;
        while (q.next())
            stored.insert(q.value(0).toLongLong(), {q.value(1).toLongLong(), q.value(2).toLongLong(), q.value(3).toLongLong()});
        // Only days that differ are offered; the key still keeps out every
        // entry stored already.
        for (const CHistoryLogCodec::Keyed &k : keys) {
            const qint64 d = Day(k.timeMs);
            if (stored.value(d) != incoming.value(d))
                pending.append(&k);
        }
    }
    if (!CHistoryBulkInsert::Insert(m_db, instrument, pending, entries, span.count == 0, added, error))
        return -1;

    HistoryLogRetrieval row = r;
    row.entryCount = keys.size();
    row.addedCount = *added;
    for (const LogRecord &e : entries) {
        if (!e.time.isValid())
            continue;
        if (!row.firstEntry.isValid() || e.time < row.firstEntry)
            row.firstEntry = e.time;
        if (!row.lastEntry.isValid() || e.time > row.lastEntry)
            row.lastEntry = e.time;
    }
    if (!InsertRetrieval(instrument, row, error))
        return -1;
    const qint64 id = LastId("log_retrieval", row.opKey, error);
    if (id < 0 || !StoreCalibrations(instrument, CHistoryCalibrationFinder::Find(entries), error) || !RefreshDue(instrument, error))
        return -1;
    return id;
}

bool CHistoryWriter::InsertRetrieval(qint64 instrument, const HistoryLogRetrieval &row, QString *error)
{
    return Run(m_db,
               QStringLiteral("INSERT INTO log_retrieval (op_key, instrument, source, file_name, time, computer, user_name,"
                              " entry_count, added_count, first_entry, last_entry, sensors)"
                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {Text(row.opKey), instrument, int(row.source), Text(row.fileName), row.time.toMSecsSinceEpoch(), Text(row.computer),
                Text(row.user), row.entryCount, row.addedCount, CHistoryFields::Ms(row.firstEntry), CHistoryFields::Ms(row.lastEntry),
                CHistoryFields::SensorsText(row.sensors)},
               error);
}

bool CHistoryWriter::StoreCalibrations(qint64 instrument, const QList<HistoryCalibration> &found, QString *error, qint64 *added)
{
    if (found.isEmpty())
        return true;
    QSqlQuery q = m_db.Query();
    if (!m_db.Prepare(q, QStringLiteral("INSERT INTO calibration (instrument, kind, sensor, t, passed, result) VALUES (?, ?, ?, ?, ?, ?)"
                                        " ON CONFLICT DO NOTHING"),
                      error))
        return false;
    for (const HistoryCalibration &c : found) {
        q.bindValue(0, instrument);
        q.bindValue(1, int(c.kind));
        q.bindValue(2, c.sensor);
        q.bindValue(3, c.time.toMSecsSinceEpoch());
        q.bindValue(4, c.passed ? 1 : 0);
        q.bindValue(5, Text(c.result));
        if (!m_db.Exec(q, error))
            return false;
        if (added)
            *added += qMax(0, q.numRowsAffected());
    }
    return true;
}

bool CHistoryWriter::RefreshDue(qint64 instrument, QString *error)
{
    QSqlQuery q = m_db.Query();
    if (!m_db.Prepare(q, QStringLiteral("SELECT cal_interval, bump_required, settings_cal, first_seen FROM instrument WHERE id = ?"), error))
        return false;
    q.addBindValue(instrument);
    if (!m_db.Exec(q, error))
        return false;
    if (!q.next())
        return true;
    const qint64 intervalMs = q.value(0).toLongLong() * DayMs;
    const bool bumpRequired = q.value(1).toInt() != 0;
    const QVariant settingsCal = q.value(2);
    const qint64 firstSeen = q.value(3).toLongLong();

    if (!m_db.Prepare(q, QStringLiteral("SELECT kind, sensor, MAX(t), MAX(CASE WHEN passed <> 0 THEN t END) FROM calibration"
                                        " WHERE instrument = ? GROUP BY kind, sensor"),
                      error))
        return false;
    q.addBindValue(instrument);
    if (!m_db.Exec(q, error))
        return false;
    QVariant lastCal, lastBump, bumpDue, logDue, logCal, settingsDue;
    bool logFailed = false, anyBump = false;
    const auto earliest = [](QVariant &due, qint64 t) {
        if (due.isNull() || t < due.toLongLong())
            due = t;
    };
    const auto latest = [](QVariant &last, const QVariant &t) {
        if (!t.isNull() && (last.isNull() || t.toLongLong() > last.toLongLong()))
            last = t.toLongLong();
    };
    while (q.next()) {
        const bool bump = q.value(0).toInt() == HistoryCalibration::BumpTest;
        const qint64 newest = q.value(2).toLongLong();
        const QVariant passedAt = q.value(3);
        // A sensor whose newest attempt failed is due at once.
        const bool newestPassed = !passedAt.isNull() && passedAt.toLongLong() == newest;
        if (bump) {
            anyBump = true;
            latest(lastBump, passedAt);
            if (bumpRequired)
                earliest(bumpDue, newestPassed ? newest + DayMs : newest);
        } else {
            latest(lastCal, passedAt);
            if (!newestPassed || intervalMs > 0) {
                const qint64 due = newestPassed ? newest + intervalMs : newest;
                if (logDue.isNull() || due < logDue.toLongLong()) {
                    logDue = due;
                    logCal = newest;
                    logFailed = !newestPassed;
                }
            }
        }
    }
    // The instrument's own reckoning, as its settings view shows it.
    if (!settingsCal.isNull()) {
        // Last calibration is the log's when it holds one.
        if (lastCal.isNull())
            lastCal = settingsCal.toLongLong();
        if (intervalMs > 0)
            settingsDue = settingsCal.toLongLong() + intervalMs;
    }
    QVariant calDue = logDue;
    if (!settingsDue.isNull())
        earliest(calDue, settingsDue.toLongLong());
    if (bumpRequired && !anyBump)
        bumpDue = firstSeen;
    const QVariant none(QMetaType::fromType<qint64>());
    const auto value = [&none](const QVariant &v) { return v.isNull() ? none : v; };
    return Run(m_db,
               QStringLiteral("UPDATE instrument SET last_cal = ?, cal_due = ?, last_bump = ?, bump_due = ?, settings_cal_due = ?,"
                              " log_cal = ?, log_cal_due = ?, log_cal_failed = ? WHERE id = ?"),
               {value(lastCal), value(calDue), value(lastBump), value(bumpDue), value(settingsDue), value(logCal), value(logDue),
                logFailed ? 1 : 0, instrument},
               error);
}

qint64 CHistoryWriter::FirmwareRun(const HistoryFirmwareRun &r, QString *error)
{
    const qint64 existing = Existing("firmware_run", r.opKey, error);
    if (existing != 0)
        return existing < 0 ? -1 : 0;
    if (!r.serial.isEmpty() && InstrumentFor(r.serial, r.time, error) < 0)
        return -1;
    if (!Run(m_db,
             QStringLiteral("INSERT INTO firmware_run (op_key, serial, time, computer, user_name, file_name, sha256,"
                            " passed, result) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {Text(r.opKey), Text(r.serial), r.time.toMSecsSinceEpoch(), Text(r.computer), Text(r.user), Text(r.fileName),
              Text(r.sha256), r.passed ? 1 : 0, Text(r.result)},
             error))
        return -1;
    return LastId("firmware_run", r.opKey, error);
}

qint64 CHistoryWriter::BoardTest(const HistoryBoardTest &r, QString *error)
{
    const qint64 existing = Existing("board_test", r.opKey, error);
    if (existing != 0)
        return existing < 0 ? -1 : 0;
    if (!Run(m_db,
             QStringLiteral("INSERT INTO board_test (op_key, serial, time, computer, user_name, group_name, passed, detail)"
                            " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
             {Text(r.opKey), Text(r.serial), r.time.toMSecsSinceEpoch(), Text(r.computer), Text(r.user), Text(r.group),
              r.passed ? 1 : 0, Text(r.detail)},
             error))
        return -1;
    return LastId("board_test", r.opKey, error);
}

bool CHistoryWriter::RederiveAll(QString *error)
{
    QSqlQuery ids = m_db.Query();
    if (!ids.exec(QStringLiteral("SELECT id FROM instrument"))) {
        *error = QStringLiteral("cannot list the instruments");
        return false;
    }
    QList<qint64> instruments;
    while (ids.next())
        instruments.append(ids.value(0).toLongLong());
    QString codes;
    for (int c : CHistoryCalibrationFinder::Codes())
        codes += (codes.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(c);
    for (qint64 instrument : instruments) {
        QSqlQuery q = m_db.Query();
        q.setForwardOnly(true);
        if (!m_db.Prepare(q, QStringLiteral("SELECT t, timeless, rec FROM log_entry WHERE instrument = ? AND kind = %1 AND code IN (%2)"
                                            " ORDER BY t, seq")
                                 .arg(int(LogRecord::Event))
                                 .arg(codes),
                          error))
            return false;
        q.addBindValue(instrument);
        if (!m_db.Exec(q, error))
            return false;
        QList<LogRecord> events;
        while (q.next()) {
            LogRecord e;
            if (!CHistoryLogCodec::Decode(q.value(2).toByteArray(), &e))
                continue;
            if (q.value(1).toInt() == 0)
                e.time = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong(), Qt::UTC);
            events.append(e);
        }
        // The newest settings' facts were never taken out in version 1.
        if (!m_db.Prepare(q, QStringLiteral("SELECT options_text FROM snapshot WHERE instrument = ? ORDER BY time DESC"), error))
            return false;
        q.addBindValue(instrument);
        if (!m_db.Exec(q, error))
            return false;
        if (q.next()) {
            const CHistoryFields::SettingsFacts facts = CHistoryFields::Facts(q.value(0).toString());
            if (!Run(m_db, QStringLiteral("UPDATE instrument SET bump_required = ?, settings_cal = ? WHERE id = ?"),
                     {facts.bumpTestRequired ? 1 : 0, CHistoryFields::Ms(facts.lastCalDate), instrument}, error))
                return false;
        }
        if (!StoreCalibrations(instrument, CHistoryCalibrationFinder::Find(events), error))
            return false;
    }
    return true;
}

bool CHistoryWriter::Upgraded(int from, QString *error)
{
    if (from == 1)
        return RederiveAll(error);
    if (from != 2)
        return true;
    if (!CHistoryRekey::Run(m_db, error))
        return false;
    // Both reckonings of every instrument's due date, from what it holds.
    QSqlQuery ids = m_db.Query();
    if (!m_db.Prepare(ids, QStringLiteral("SELECT id FROM instrument"), error) || !m_db.Exec(ids, error))
        return false;
    QList<qint64> instruments;
    while (ids.next())
        instruments.append(ids.value(0).toLongLong());
    for (qint64 instrument : instruments) {
        if (!RefreshDue(instrument, error))
            return false;
    }
    return true;
}
