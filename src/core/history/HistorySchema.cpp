// Statements of every schema version.
#include "history/HistorySchema.h"

const QString CHistorySchema::Application = QStringLiteral("altavo-view-history");

namespace {
const char *const Version1[] = {
    "CREATE TABLE history_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE instrument (id %ID%, serial TEXT NOT NULL UNIQUE, version TEXT NOT NULL DEFAULT '',"
    " configuration TEXT NOT NULL DEFAULT '', instrument_id TEXT NOT NULL DEFAULT '',"
    " first_seen BIGINT NOT NULL, last_seen BIGINT NOT NULL, cal_interval INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE snapshot (id %ID%, op_key TEXT NOT NULL UNIQUE, instrument BIGINT NOT NULL REFERENCES instrument(id),"
    " kind INTEGER NOT NULL, time BIGINT NOT NULL, computer TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '',"
    " options_text TEXT NOT NULL, verified INTEGER NOT NULL, differences TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX snapshot_instrument ON snapshot (instrument, time)",
    "CREATE TABLE log_retrieval (id %ID%, op_key TEXT NOT NULL UNIQUE, instrument BIGINT NOT NULL REFERENCES instrument(id),"
    " source INTEGER NOT NULL, file_name TEXT NOT NULL DEFAULT '', time BIGINT NOT NULL,"
    " computer TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '', entry_count BIGINT NOT NULL,"
    " added_count BIGINT NOT NULL, first_entry BIGINT, last_entry BIGINT)",
    "CREATE INDEX log_retrieval_instrument ON log_retrieval (instrument, time)",
    // One row per entry the instrument ever logged; the key makes a second
    // retrieval or an imported file add nothing twice.
    "CREATE TABLE log_entry (instrument BIGINT NOT NULL, t BIGINT NOT NULL, h BIGINT NOT NULL, seq INTEGER NOT NULL,"
    " kind INTEGER NOT NULL, code INTEGER NOT NULL, timeless INTEGER NOT NULL, rec %BLOB% NOT NULL,"
    " PRIMARY KEY (instrument, t, h))%WITHOUT_ROWID%",
    "CREATE TABLE firmware_run (id %ID%, op_key TEXT NOT NULL UNIQUE, serial TEXT NOT NULL, time BIGINT NOT NULL,"
    " computer TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '', file_name TEXT NOT NULL,"
    " sha256 TEXT NOT NULL, passed INTEGER NOT NULL, result TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX firmware_run_serial ON firmware_run (serial, time)",
    "CREATE TABLE board_test (id %ID%, op_key TEXT NOT NULL UNIQUE, serial TEXT NOT NULL DEFAULT '', time BIGINT NOT NULL,"
    " computer TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '', group_name TEXT NOT NULL,"
    " passed INTEGER NOT NULL, detail TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX board_test_serial ON board_test (serial, time)",
};

const char *const Version1To2[] = {
    "ALTER TABLE instrument ADD COLUMN bump_required INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE instrument ADD COLUMN settings_cal BIGINT",
    "ALTER TABLE instrument ADD COLUMN last_cal BIGINT",
    "ALTER TABLE instrument ADD COLUMN cal_due BIGINT",
    "ALTER TABLE instrument ADD COLUMN last_bump BIGINT",
    "ALTER TABLE instrument ADD COLUMN bump_due BIGINT",
    "CREATE INDEX instrument_cal_due ON instrument (cal_due)",
    "CREATE INDEX instrument_bump_due ON instrument (bump_due)",
    "CREATE TABLE calibration (instrument BIGINT NOT NULL REFERENCES instrument(id), kind INTEGER NOT NULL,"
    " sensor INTEGER NOT NULL, t BIGINT NOT NULL, passed INTEGER NOT NULL, result TEXT NOT NULL,"
    " PRIMARY KEY (instrument, kind, sensor, t))",
    "ALTER TABLE log_retrieval ADD COLUMN sensors TEXT NOT NULL DEFAULT ''",
};

const char *const Version2To3[] = {
    "ALTER TABLE instrument ADD COLUMN settings_cal_due BIGINT",
    "ALTER TABLE instrument ADD COLUMN log_cal BIGINT",
    "ALTER TABLE instrument ADD COLUMN log_cal_due BIGINT",
    "ALTER TABLE instrument ADD COLUMN log_cal_failed INTEGER NOT NULL DEFAULT 0",
};

template <size_t N>
QStringList List(const char *const (&statements)[N], bool postgres)
{
    QStringList out;
    for (const char *s : statements)
        out.append(CHistorySchema::Dialect(QString::fromLatin1(s), postgres));
    return out;
}
} // namespace

QString CHistorySchema::Dialect(QString s, bool postgres)
{
    s.replace(QLatin1String("%ID%"), postgres ? QLatin1String("BIGSERIAL PRIMARY KEY") : QLatin1String("INTEGER PRIMARY KEY"));
    s.replace(QLatin1String("%BLOB%"), postgres ? QLatin1String("BYTEA") : QLatin1String("BLOB"));
    s.replace(QLatin1String("%WITHOUT_ROWID%"), postgres ? QLatin1String("") : QLatin1String(" WITHOUT ROWID"));
    return s;
}

QStringList CHistorySchema::Create(int version, bool postgres)
{
    QStringList out = List(Version1, postgres);
    if (version >= 2)
        out += List(Version1To2, postgres);
    if (version >= 3)
        out += List(Version2To3, postgres);
    return out;
}

QStringList CHistorySchema::Upgrade(int from, bool postgres)
{
    if (from == 1)
        return List(Version1To2, postgres);
    if (from == 2)
        return List(Version2To3, postgres);
    return {};
}
