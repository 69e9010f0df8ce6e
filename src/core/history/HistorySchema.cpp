// Statements of every schema version.
#include "history/HistorySchema.h"

const QString CHistorySchema::Application = QStringLiteral("altavo-view-history");
const QString CHistorySchema::OwnerRole = QStringLiteral("altavo_owner");
const QString CHistorySchema::TechnicianRole = QStringLiteral("altavo_technician");
const QString CHistorySchema::ViewerRole = QStringLiteral("altavo_viewer");
const QString CHistorySchema::DefaultServerDatabase = QStringLiteral("altavo_history");

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

namespace {
QString Identifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString CHistorySchema::ServerSetupSql(const QString &database)
{
    const QString db = Identifier(database.isEmpty() ? DefaultServerDatabase : database);
    const QString owner = OwnerRole, technician = TechnicianRole, viewer = ViewerRole;
    QString sql;
    const auto line = [&sql](const QString &text) { sql += text + QLatin1Char('\n'); };
    line(QStringLiteral("-- A shared instrument history on PostgreSQL: run once as a superuser,"));
    line(QStringLiteral("--   psql -v ON_ERROR_STOP=1 -f history-setup.sql"));
    line(QStringLiteral("-- then create the schema as the owner: altavo-cli history init --history postgresql://%1@HOST/%2").arg(owner, database.isEmpty() ? DefaultServerDatabase : database));
    line(QString());
    line(QStringLiteral("-- The owner creates and migrates the schema; give it a password (\\password %1).").arg(owner));
    line(QStringLiteral("CREATE ROLE %1 LOGIN;").arg(owner));
    line(QStringLiteral("-- Groups: technicians add and update records, viewers only read."));
    line(QStringLiteral("CREATE ROLE %1 NOLOGIN;").arg(technician));
    line(QStringLiteral("CREATE ROLE %1 NOLOGIN;").arg(viewer));
    line(QStringLiteral("CREATE DATABASE %1 OWNER %2 ENCODING 'UTF8' TEMPLATE template0;").arg(db, owner));
    line(QString());
    line(QStringLiteral("\\connect %1").arg(db));
    line(QStringLiteral("REVOKE ALL ON DATABASE %1 FROM PUBLIC;").arg(db));
    line(QStringLiteral("-- Technicians' log writes stage rows in a temporary table."));
    line(QStringLiteral("GRANT CONNECT, TEMPORARY ON DATABASE %1 TO %2;").arg(db, technician));
    line(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2;").arg(db, viewer));
    line(QStringLiteral("-- The owner makes the tables, on servers before version 15 too."));
    line(QStringLiteral("ALTER SCHEMA public OWNER TO %1;").arg(owner));
    line(QStringLiteral("REVOKE CREATE ON SCHEMA public FROM PUBLIC;"));
    line(QStringLiteral("GRANT USAGE ON SCHEMA public TO %1, %2;").arg(technician, viewer));
    line(QStringLiteral("-- Every table and sequence the owner makes, now or in a later migration:"));
    line(QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE %1 IN SCHEMA public GRANT SELECT, INSERT, UPDATE ON TABLES TO %2;").arg(owner, technician));
    line(QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE %1 IN SCHEMA public GRANT USAGE, SELECT ON SEQUENCES TO %2;").arg(owner, technician));
    line(QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE %1 IN SCHEMA public GRANT SELECT ON TABLES TO %2;").arg(owner, viewer));
    line(QStringLiteral("-- The tables of a history made before these rights:"));
    line(QStringLiteral("GRANT SELECT, INSERT, UPDATE ON ALL TABLES IN SCHEMA public TO %1;").arg(technician));
    line(QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %1;").arg(technician));
    line(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1;").arg(viewer));
    line(QString());
    line(QStringLiteral("-- One login per person, in the group of what they may do:"));
    line(QStringLiteral("--   CREATE ROLE anna LOGIN PASSWORD 'choose-one' IN ROLE %1;").arg(technician));
    line(QStringLiteral("--   CREATE ROLE ben LOGIN PASSWORD 'choose-one' IN ROLE %1;").arg(viewer));
    return sql;
}
