// Copying a history.
#include "history/HistoryCopy.h"

#include "history/HistoryBulkInsert.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryFields.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <memory>

namespace {
QString Same(const CHistoryLocation &l)
{
    if (l.engine == CHistoryLocation::SQLite) {
        const QFileInfo file(l.file);
        return file.exists() ? file.canonicalFilePath() : file.absoluteFilePath();
    }
    return l.Shown();
}

class CCopier
{
public:
    CCopier(CHistoryDatabase &from, CHistoryDatabase &to, CHistoryCopy::Result &result, const CHistoryCopy::Progress &progress,
            int chunkRows)
        : m_from(from), m_to(to), m_result(result), m_progress(progress), m_chunkRows(qMax(1, chunkRows))
    {
        m_clock.start();
    }

    bool Run()
    {
        QStringList serials;
        qint64 entries = 0;
        if (!Strings(QStringLiteral("SELECT serial FROM instrument ORDER BY serial"), &serials)
            || !Count(QStringLiteral("SELECT COUNT(*) FROM log_entry"), {}, &entries))
            return false;
        m_totalEntries = entries;
        for (int i = 0; i < serials.size(); ++i) {
            if (!Instrument(serials.at(i)))
                return false;
            Tell(QStringLiteral("%1 of %2 instruments").arg(i + 1).arg(serials.size()), i + 1 == serials.size());
        }
        return Operations("firmware_run") && Operations("board_test");
    }

private:
    // Runs write in a transaction of the destination.
    bool InTransaction(const std::function<bool(QString *)> &write)
    {
        QString error;
        if (!m_to.Begin(&error) || !write(&error) || !m_to.Commit(&error)) {
            m_to.Rollback();
            return Fail(m_to, error);
        }
        return true;
    }

    bool Fail(const CHistoryDatabase &db, const QString &error)
    {
        m_result.error = db.Failure(error.simplified());
        return false;
    }

    bool Strings(const QString &sql, QStringList *out)
    {
        QSqlQuery q = m_from.Query();
        q.setForwardOnly(true);
        QString error;
        if (!m_from.Prepare(q, sql, &error) || !m_from.Exec(q, &error))
            return Fail(m_from, error);
        while (q.next())
            out->append(q.value(0).toString());
        return true;
    }

    static bool Count(CHistoryDatabase &db, const QString &sql, const QVariantList &binds, qint64 *count, QString *error)
    {
        QSqlQuery q = db.Query();
        if (!db.Prepare(q, sql, error))
            return false;
        for (const QVariant &v : binds)
            q.addBindValue(v);
        if (!db.Exec(q, error))
            return false;
        *count = q.next() ? q.value(0).toLongLong() : 0;
        return true;
    }

    bool Count(const QString &sql, const QVariantList &binds, qint64 *count)
    {
        QString error;
        return Count(m_from, sql, binds, count, &error) || Fail(m_from, error);
    }

    void Tell(const QString &what, bool last)
    {
        if (!m_progress || (!last && m_clock.elapsed() < 1000))
            return;
        m_clock.restart();
        m_progress(QStringLiteral("copying: %1, %2 of %3 log entries").arg(what).arg(m_result.entries.found).arg(m_totalEntries));
    }

    bool Instrument(const QString &serial)
    {
        QString error;
        const CHistoryReader reader(m_from);
        const std::optional<HistoryInstrument> instrument = reader.Instrument(serial, &error);
        QList<HistorySnapshot> snapshots = reader.Snapshots(serial, 0, &error);
        const QList<HistoryLogRetrieval> retrievals = reader.Retrievals(serial, 0, &error);
        const QList<HistoryCalibration> calibrations = reader.Calibrations(serial, &error);
        if (!error.isEmpty() || !instrument)
            return Fail(m_from, error.isEmpty() ? QStringLiteral("the instrument %1 cannot be read").arg(serial) : error);
        qint64 fromId = 0, toId = 0, held = 0;
        if (!Count(QStringLiteral("SELECT id FROM instrument WHERE serial = ?"), {serial}, &fromId))
            return false;
        ++m_result.instruments.found;
        m_result.snapshots.found += snapshots.size();
        m_result.retrievals.found += retrievals.size();
        m_result.calibrations.found += calibrations.size();
        const bool copied = InTransaction([&](QString *e) {
            CHistoryWriter writer(m_to);
            qint64 existing = 0;
            if (!Count(m_to, QStringLiteral("SELECT COUNT(*) FROM instrument WHERE serial = ?"), {serial}, &existing, e))
                return false;
            toId = writer.Instrument(*instrument, e);
            if (toId < 0)
                return false;
            m_result.instruments.added += existing == 0 ? 1 : 0;
            // Oldest first, as they were taken.
            std::reverse(snapshots.begin(), snapshots.end());
            for (const HistorySnapshot &s : snapshots) {
                const qint64 id = writer.Snapshot(s, e);
                if (id < 0)
                    return false;
                m_result.snapshots.added += id > 0 ? 1 : 0;
            }
            for (const HistoryLogRetrieval &r : retrievals) {
                if (!Retrieval(writer, toId, r, e))
                    return false;
            }
            return writer.StoreCalibrations(toId, calibrations, e, &m_result.calibrations.added) && writer.RefreshDue(toId, e)
                   && Count(m_to, QStringLiteral("SELECT COUNT(*) FROM log_entry WHERE instrument = ?"), {toId}, &held, e);
        });
        return copied && Entries(serial, fromId, toId, held == 0);
    }

    bool Retrieval(CHistoryWriter &writer, qint64 instrument, const HistoryLogRetrieval &r, QString *error)
    {
        const qint64 existing = writer.Existing("log_retrieval", r.opKey, error);
        if (existing != 0)
            return existing > 0;
        if (!writer.InsertRetrieval(instrument, r, error))
            return false;
        ++m_result.retrievals.added;
        return true;
    }

    // The entries in key order, a chunk at a time; fresh: the destination
    // held none of the instrument's entries when its copy began. A chunk the
    // destination holds already (the same count and sums of keys in its key
    // range, as the writer judges a day of a log) is not offered again.
    bool Entries(const QString &serial, qint64 fromId, qint64 toId, bool fresh)
    {
        QList<CHistoryBulkInsert::Row> rows;
        rows.reserve(m_chunkRows);
        const auto flush = [&] {
            if (rows.isEmpty())
                return true;
            m_result.entries.found += rows.size();
            const bool stored = InTransaction([&](QString *e) {
                bool held = false;
                return (fresh || Held(toId, rows, &held, e)) && (held || CHistoryBulkInsert::InsertRows(m_to, toId, rows, fresh, &m_result.entries.added, e));
            });
            rows.clear();
            Tell(serial, false);
            return stored;
        };
        bool written = true;
        QString error;
        const bool read = CHistoryBulkInsert::ReadRows(
            m_from, fromId,
            [&](const CHistoryBulkInsert::Row &row) {
                rows.append(row);
                if (rows.size() < m_chunkRows)
                    return true;
                written = flush();
                return written;
            },
            &error);
        if (!written)
            return false;
        if (!read)
            return Fail(m_from, error);
        return flush();
    }

    // True in *held when the destination holds exactly these keys in their range.
    bool Held(qint64 instrument, const QList<CHistoryBulkInsert::Row> &rows, bool *held, QString *error)
    {
        qint64 low = 0, high = 0;
        for (const CHistoryBulkInsert::Row &r : rows) {
            low += r.h & 0x7FFFFFFF;
            high += (r.h >> 31) & 0x7FFFFFFF;
        }
        QSqlQuery q = m_to.Query();
        if (!m_to.Prepare(q, QStringLiteral("SELECT COUNT(*), SUM(h & 2147483647), SUM((h / 2147483648) & 2147483647) FROM log_entry"
                                            " WHERE (instrument, t, h) >= (?, ?, ?) AND (instrument, t, h) <= (?, ?, ?)"),
                          error))
            return false;
        const CHistoryBulkInsert::Row &first = rows.constFirst(), &last = rows.constLast();
        for (const QVariant &v : QVariantList{instrument, first.t, first.h, instrument, last.t, last.h})
            q.addBindValue(v);
        if (!m_to.Exec(q, error) || !q.next())
            return false;
        *held = q.value(0).toLongLong() == rows.size() && q.value(1).toLongLong() == low && q.value(2).toLongLong() == high;
        return true;
    }

    // Firmware runs and board tests, bare boards without a serial included.
    bool Operations(const char *table)
    {
        QStringList serials;
        if (!Strings(QStringLiteral("SELECT DISTINCT serial FROM %1 ORDER BY serial").arg(QLatin1String(table)), &serials))
            return false;
        const bool firmware = qstrcmp(table, "firmware_run") == 0;
        CHistoryCopy::Tally &tally = firmware ? m_result.firmwareRuns : m_result.boardTests;
        const CHistoryReader reader(m_from);
        for (const QString &serial : serials) {
            QString error;
            const QList<HistoryFirmwareRun> runs = firmware ? reader.FirmwareRuns(serial, &error) : QList<HistoryFirmwareRun>();
            const QList<HistoryBoardTest> tests = firmware ? QList<HistoryBoardTest>() : reader.BoardTests(serial, &error);
            if (!error.isEmpty())
                return Fail(m_from, error);
            tally.found += runs.size() + tests.size();
            const bool copied = InTransaction([&](QString *e) {
                CHistoryWriter writer(m_to);
                for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
                    const qint64 id = writer.FirmwareRun(*it, e);
                    if (id < 0)
                        return false;
                    tally.added += id > 0 ? 1 : 0;
                }
                for (auto it = tests.crbegin(); it != tests.crend(); ++it) {
                    const qint64 id = writer.BoardTest(*it, e);
                    if (id < 0)
                        return false;
                    tally.added += id > 0 ? 1 : 0;
                }
                return true;
            });
            if (!copied)
                return false;
        }
        return true;
    }

    CHistoryDatabase &m_from;
    CHistoryDatabase &m_to;
    CHistoryCopy::Result &m_result;
    const CHistoryCopy::Progress &m_progress;
    QElapsedTimer m_clock;
    qint64 m_totalEntries = 0;
    int m_chunkRows;
};

// Opens one side; *error says why not.
std::unique_ptr<CHistoryDatabase> OpenSide(const CHistoryLocation &where, bool mustExist, QString *error)
{
    if (mustExist && where.engine == CHistoryLocation::SQLite && !QFileInfo::exists(where.file)) {
        *error = QStringLiteral("History database %1 does not exist.").arg(QDir::toNativeSeparators(where.file));
        return nullptr;
    }
    auto db = std::make_unique<CHistoryDatabase>(where);
    if (db->Open(error) != CHistoryDatabase::OpenResult::Ok)
        return nullptr;
    return db;
}
} // namespace

QString CHistoryCopy::Result::Summary() const
{
    const auto part = [](const Tally &t, const QString &what) { return QStringLiteral("%1 %2 (%3 new)").arg(t.found).arg(what).arg(t.added); };
    return QStringList{part(instruments, QStringLiteral("instruments")),
                       part(snapshots, QStringLiteral("settings snapshots")),
                       part(retrievals, QStringLiteral("log retrievals")),
                       part(entries, QStringLiteral("log entries")),
                       part(calibrations, QStringLiteral("calibrations and bump tests")),
                       part(firmwareRuns, QStringLiteral("firmware runs")),
                       part(boardTests, QStringLiteral("board tests"))}
        .join(QStringLiteral(", "));
}

CHistoryCopy::Result CHistoryCopy::Run(const QString &from, const QString &to, const Progress &progress, int chunkRows)
{
    Result result;
    CHistoryLocation source, destination;
    if (!CHistoryLocation::Parse(from, CHistoryStore::DefaultFile(), &source, &result.error)
        || !CHistoryLocation::Parse(to, CHistoryStore::DefaultFile(), &destination, &result.error)) {
        result.status = Result::CannotOpen;
        return result;
    }
    result.from = source.Shown();
    result.to = destination.Shown();
    if (Same(source) == Same(destination)) {
        result.status = Result::SameHistory;
        result.error = QStringLiteral("the history %1 cannot be copied onto itself.").arg(source.Shown());
        return result;
    }
    const std::unique_ptr<CHistoryDatabase> in = OpenSide(source, true, &result.error);
    const std::unique_ptr<CHistoryDatabase> out = in ? OpenSide(destination, false, &result.error) : nullptr;
    if (!in || !out) {
        result.status = Result::CannotOpen;
        return result;
    }
    CCopier copier(*in, *out, result, progress, chunkRows);
    result.status = copier.Run() ? Result::Done : Result::Failed;
    return result;
}
