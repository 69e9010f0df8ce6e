// Queries of the history.
#include "history/HistoryReader.h"

#include "datalog/LogSession.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryFields.h"
#include "history/HistoryLogCodec.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {
const QString SensorNames[] = {QStringLiteral("HC"), QStringLiteral("O2"), QStringLiteral("Toxic 1"), QStringLiteral("Toxic 2")};

QString SensorName(int sensor)
{
    return sensor >= 0 && sensor < 4 ? SensorNames[sensor] : QStringLiteral("Sensor %1").arg(sensor);
}

// Runs one query with its bound values and maps each row it returns; an empty
// list (with *error set) when the database failed.
template <typename T, typename RowMapper>
QList<T> Select(const CHistoryDatabase &db, const QString &sql, const QVariantList &binds, QString *error, RowMapper map)
{
    QSqlQuery q = db.Query();
    q.setForwardOnly(true);
    if (!db.Prepare(q, sql, error))
        return {};
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!db.Exec(q, error))
        return {};
    QList<T> out;
    while (q.next())
        out.append(map(q));
    return out;
}

// The columns an operation's row starts with: id, op key, serial, time,
// computer, user; its own ones follow from column 6.
template <typename R>
R Operation(const QSqlQuery &q)
{
    R r;
    r.id = q.value(0).toLongLong();
    r.opKey = q.value(1).toString();
    r.serial = q.value(2).toString();
    r.time = CHistoryFields::FromMs(q.value(3));
    r.computer = q.value(4).toString();
    r.user = q.value(5).toString();
    return r;
}
} // namespace

std::optional<HistoryInstrument> CHistoryReader::Instrument(const QString &serial, QString *error) const
{
    QSqlQuery q = m_db.Query();
    if (!m_db.Prepare(q, QStringLiteral("SELECT serial, version, configuration, instrument_id, first_seen, last_seen, cal_interval,"
                                        " bump_required FROM instrument WHERE serial = ?"),
                      error))
        return std::nullopt;
    q.addBindValue(serial);
    if (!m_db.Exec(q, error) || !q.next())
        return std::nullopt;
    HistoryInstrument i;
    i.serial = q.value(0).toString();
    i.version = q.value(1).toString();
    i.configuration = q.value(2).toString();
    i.instrumentId = q.value(3).toString();
    i.firstSeen = CHistoryFields::FromMs(q.value(4));
    i.lastSeen = CHistoryFields::FromMs(q.value(5));
    i.calIntervalDays = q.value(6).toInt();
    i.bumpTestRequired = q.value(7).toInt() != 0;
    return i;
}

QList<HistoryFleetRow> CHistoryReader::Rows(const QString &where, const QDateTime &now, const QDateTime &until, QString *error) const
{
    QString sql = QStringLiteral("SELECT serial, instrument_id, configuration, version, last_seen, last_cal, cal_due, last_bump,"
                                 " bump_due, settings_cal_due, log_cal_due, log_cal, log_cal_failed FROM instrument");
    QVariantList binds;
    if (!where.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + where;
        binds = {until.toMSecsSinceEpoch(), until.toMSecsSinceEpoch()};
    }
    sql += QStringLiteral(" ORDER BY serial");
    return Select<HistoryFleetRow>(m_db, sql, binds, error, [&](const QSqlQuery &q) {
        HistoryFleetRow r;
        r.serial = q.value(0).toString();
        r.instrumentId = q.value(1).toString();
        r.configuration = q.value(2).toString();
        r.version = q.value(3).toString();
        r.lastSeen = CHistoryFields::FromMs(q.value(4));
        r.lastCalibration = CHistoryFields::FromMs(q.value(5));
        r.calibrationDue = CHistoryFields::FromMs(q.value(6));
        r.lastBumpTest = CHistoryFields::FromMs(q.value(7));
        r.bumpTestDue = CHistoryFields::FromMs(q.value(8));
        r.instrumentDue = CHistoryFields::FromMs(q.value(9));
        r.logDue = CHistoryFields::FromMs(q.value(10));
        r.logCalibration = CHistoryFields::FromMs(q.value(11));
        r.logCalibrationFailed = q.value(12).toInt() != 0;
        r.overdue = (r.calibrationDue.isValid() && r.calibrationDue < now) || (r.bumpTestDue.isValid() && r.bumpTestDue < now);
        return r;
    });
}

QList<HistoryFleetRow> CHistoryReader::Fleet(const QDateTime &now, QString *error) const
{
    return Rows(QString(), now, now, error);
}

QList<HistoryFleetRow> CHistoryReader::Due(int days, const QDateTime &now, QString *error) const
{
    QList<HistoryFleetRow> rows = Rows(QStringLiteral("cal_due <= ? OR bump_due <= ?"), now, now.addDays(qMax(0, days)), error);
    const auto soonest = [](const HistoryFleetRow &r) {
        QDateTime t = r.calibrationDue;
        if (r.bumpTestDue.isValid() && (!t.isValid() || r.bumpTestDue < t))
            t = r.bumpTestDue;
        return t;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const HistoryFleetRow &a, const HistoryFleetRow &b) { return soonest(a) < soonest(b); });
    return rows;
}

QList<HistorySnapshot> CHistoryReader::Snapshots(const QString &serial, qint64 id, QString *error) const
{
    const QString where = id ? QStringLiteral("s.id = ?") : QStringLiteral("i.serial = ?");
    const QString sql = QStringLiteral("SELECT s.id, s.op_key, i.serial, s.time, s.computer, s.user_name, s.kind, s.options_text,"
                                       " s.verified, s.differences FROM snapshot s JOIN instrument i ON i.id = s.instrument"
                                       " WHERE %1 ORDER BY s.time DESC, s.id DESC")
                            .arg(where);
    return Select<HistorySnapshot>(m_db, sql, {id ? QVariant(id) : QVariant(serial)}, error, [](const QSqlQuery &q) {
        HistorySnapshot s = Operation<HistorySnapshot>(q);
        s.kind = HistorySnapshot::Kind(q.value(6).toInt());
        s.optionsText = q.value(7).toString();
        s.verified = q.value(8).toInt() != 0;
        s.differences = CHistoryFields::Differences(q.value(9).toString());
        return s;
    });
}

QList<HistoryLogRetrieval> CHistoryReader::Retrievals(const QString &serial, qint64 id, QString *error) const
{
    const QString where = id ? QStringLiteral("r.id = ?") : QStringLiteral("i.serial = ?");
    const QString sql = QStringLiteral("SELECT r.id, r.op_key, i.serial, r.time, r.computer, r.user_name, r.source, r.file_name,"
                                       " r.entry_count, r.added_count, r.first_entry, r.last_entry, r.sensors"
                                       " FROM log_retrieval r JOIN instrument i ON i.id = r.instrument WHERE %1"
                                       " ORDER BY r.time DESC, r.id DESC")
                            .arg(where);
    return Select<HistoryLogRetrieval>(m_db, sql, {id ? QVariant(id) : QVariant(serial)}, error, [](const QSqlQuery &q) {
        HistoryLogRetrieval r = Operation<HistoryLogRetrieval>(q);
        r.source = HistoryLogRetrieval::Source(q.value(6).toInt());
        r.fileName = q.value(7).toString();
        r.entryCount = q.value(8).toLongLong();
        r.addedCount = q.value(9).toLongLong();
        r.firstEntry = CHistoryFields::FromMs(q.value(10));
        r.lastEntry = CHistoryFields::FromMs(q.value(11));
        r.sensors = CHistoryFields::Sensors(q.value(12).toString());
        return r;
    });
}

QList<HistoryCalibration> CHistoryReader::Calibrations(const QString &serial, QString *error) const
{
    const QString sql = QStringLiteral("SELECT c.kind, c.sensor, c.t, c.passed, c.result FROM calibration c"
                                       " JOIN instrument i ON i.id = c.instrument WHERE i.serial = ? ORDER BY c.t, c.kind, c.sensor");
    return Select<HistoryCalibration>(m_db, sql, {serial}, error, [&](const QSqlQuery &q) {
        HistoryCalibration c;
        c.serial = serial;
        c.kind = HistoryCalibration::Kind(q.value(0).toInt());
        c.sensor = q.value(1).toInt();
        c.time = CHistoryFields::FromMs(q.value(2));
        c.passed = q.value(3).toInt() != 0;
        c.result = q.value(4).toString();
        return c;
    });
}

QList<HistoryFirmwareRun> CHistoryReader::FirmwareRuns(const QString &serial, QString *error) const
{
    const QString sql = QStringLiteral("SELECT id, op_key, serial, time, computer, user_name, file_name, sha256, passed, result"
                                       " FROM firmware_run WHERE serial = ? ORDER BY time DESC, id DESC");
    return Select<HistoryFirmwareRun>(m_db, sql, {serial}, error, [](const QSqlQuery &q) {
        HistoryFirmwareRun r = Operation<HistoryFirmwareRun>(q);
        r.fileName = q.value(6).toString();
        r.sha256 = q.value(7).toString();
        r.passed = q.value(8).toInt() != 0;
        r.result = q.value(9).toString();
        return r;
    });
}

QList<HistoryBoardTest> CHistoryReader::BoardTests(const QString &serial, QString *error) const
{
    const QString sql = QStringLiteral("SELECT id, op_key, serial, time, computer, user_name, group_name, passed, detail"
                                       " FROM board_test WHERE serial = ? ORDER BY time DESC, id DESC");
    return Select<HistoryBoardTest>(m_db, sql, {serial}, error, [](const QSqlQuery &q) {
        HistoryBoardTest r = Operation<HistoryBoardTest>(q);
        r.group = q.value(6).toString();
        r.passed = q.value(7).toInt() != 0;
        r.detail = q.value(8).toString();
        return r;
    });
}

QList<HistoryTimelineItem> CHistoryReader::Timeline(const QString &serial, QString *error) const
{
    QList<HistoryTimelineItem> items;
    for (const HistorySnapshot &s : Snapshots(serial, 0, error)) {
        HistoryTimelineItem t;
        t.kind = s.kind == HistorySnapshot::Download ? HistoryTimelineItem::Download : HistoryTimelineItem::Upload;
        t.time = s.time;
        t.passed = s.verified;
        t.refId = s.id;
        if (s.kind == HistorySnapshot::Upload)
            t.summary = QStringLiteral("Settings uploaded");
        else if (s.verified)
            t.summary = QStringLiteral("Settings downloaded and verified");
        else
            t.summary = QStringLiteral("Settings downloaded, NOT verified: %1 field(s) differ").arg(s.differences.size());
        items.append(t);
    }
    for (const HistoryLogRetrieval &r : Retrievals(serial, 0, error)) {
        HistoryTimelineItem t;
        t.kind = HistoryTimelineItem::LogRetrieval;
        t.time = r.time;
        t.refId = r.id;
        t.summary = (r.source == HistoryLogRetrieval::CsvFile ? QStringLiteral("Log imported from %1: ").arg(r.fileName)
                                                               : QStringLiteral("Log retrieved: "))
                    + QStringLiteral("%1 entries, %2 new").arg(r.entryCount).arg(r.addedCount);
        items.append(t);
    }
    for (const HistoryCalibration &c : Calibrations(serial, error)) {
        HistoryTimelineItem t;
        t.kind = c.kind == HistoryCalibration::BumpTest ? HistoryTimelineItem::BumpTest : HistoryTimelineItem::Calibration;
        t.time = c.time;
        t.passed = c.passed;
        t.summary = QStringLiteral("%1 %2: %3")
                        .arg(c.kind == HistoryCalibration::BumpTest ? QStringLiteral("Bump test") : QStringLiteral("Calibration"),
                             SensorName(c.sensor), c.result);
        items.append(t);
    }
    for (const HistoryFirmwareRun &r : FirmwareRuns(serial, error)) {
        HistoryTimelineItem t;
        t.kind = HistoryTimelineItem::Firmware;
        t.time = r.time;
        t.passed = r.passed;
        t.refId = r.id;
        t.summary = QStringLiteral("Firmware %1 (SHA-256 %2): %3").arg(r.fileName, r.sha256.left(16), r.result);
        items.append(t);
    }
    for (const HistoryBoardTest &r : BoardTests(serial, error)) {
        HistoryTimelineItem t;
        t.kind = HistoryTimelineItem::BoardTest;
        t.time = r.time;
        t.passed = r.passed;
        t.refId = r.id;
        t.summary = QStringLiteral("Board test %1: %2").arg(r.group, r.passed ? QStringLiteral("Passed") : QStringLiteral("Failed"));
        items.append(t);
    }
    std::stable_sort(items.begin(), items.end(), [](const HistoryTimelineItem &a, const HistoryTimelineItem &b) { return a.time > b.time; });
    return items;
}

QList<LogRecord> CHistoryReader::LogEntries(const QString &serial, qint64 retrievalId, QString *error) const
{
    QDateTime from, to;
    if (retrievalId) {
        const QList<HistoryLogRetrieval> r = Retrievals(QString(), retrievalId, error);
        if (r.isEmpty() || r.first().serial != serial)
            return {};
        from = r.first().firstEntry;
        to = r.first().lastEntry;
        if (!from.isValid())
            return {};
    }
    QSqlQuery q = m_db.Query();
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT e.t, e.timeless, e.rec FROM log_entry e JOIN instrument i ON i.id = e.instrument"
                                 " WHERE i.serial = ?");
    if (retrievalId)
        sql += QStringLiteral(" AND e.t BETWEEN ? AND ?");
    sql += QStringLiteral(" ORDER BY e.t, e.seq");
    if (!m_db.Prepare(q, sql, error))
        return {};
    q.addBindValue(serial);
    if (retrievalId) {
        q.addBindValue(from.toMSecsSinceEpoch());
        q.addBindValue(to.toMSecsSinceEpoch());
    }
    if (!m_db.Exec(q, error))
        return {};
    QList<LogRecord> entries;
    while (q.next()) {
        LogRecord e;
        if (!CHistoryLogCodec::Decode(q.value(2).toByteArray(), &e))
            continue;
        if (q.value(1).toInt() == 0)
            e.time = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong(), Qt::UTC);
        entries.append(e);
    }
    // The markers a retrieval makes around the log, so sessions are found as
    // in the log window.
    if (!entries.isEmpty()) {
        QDateTime first, last;
        for (const LogRecord &e : entries) {
            if (e.time.isValid()) {
                if (!first.isValid())
                    first = e.time;
                last = e.time;
            }
        }
        entries.prepend(LogRecord::Marker(LogRecord::StartOfLog, from.isValid() ? from : first));
        entries.append(LogRecord::Marker(LogRecord::EndOfLog, to.isValid() ? to : last));
    }
    return entries;
}

qint64 CHistoryReader::LogEntryCount(const QString &serial, QString *error) const
{
    QSqlQuery q = m_db.Query();
    if (!m_db.Prepare(q, QStringLiteral("SELECT COUNT(*) FROM log_entry e JOIN instrument i ON i.id = e.instrument WHERE i.serial = ?"), error))
        return 0;
    q.addBindValue(serial);
    if (!m_db.Exec(q, error) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}
