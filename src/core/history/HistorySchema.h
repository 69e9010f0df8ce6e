// The history database's tables, the same on SQLite and PostgreSQL, and the migrations from each earlier version.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

/*
 * Version 1: instruments, snapshots, retrievals, log entries, firmware runs,
 *            board tests.
 * Version 2: calibrations and bump tests as their own rows, derived from the
 *            stored log events; each instrument's last calibration, bump
 *            test and their due dates kept on its row (indexed), so the due
 *            report does not scan the log; the retrieval's gas names.
 * Version 3: the two reckonings of the calibration due date kept apart: the
 *            log's (per-sensor calibrations: the due date, the calibration
 *            that set it and whether it failed) and the instrument's own
 *            (its newest settings' LastCalDate plus CalInterval); cal_due is
 *            the earlier of them. Readings are keyed on their raw counts
 *            rather than on their printed row, so a changed gas divisor
 *            does not store them twice.
 *
 * The history_meta table marks a database as ours ("application") and holds
 * its version ("schema").
 */
class CHistorySchema
{
public:
    static constexpr int CurrentVersion = 3;
    static const QString Application; // the value of "application"

    // The statements that create version `version` (1 to the current one) from nothing.
    static QStringList Create(int version, bool postgres);
    // The statements that take version `from` to `from + 1` (before the data
    // step the database runs after them).
    static QStringList Upgrade(int from, bool postgres);
    // The roles of a shared server: the owner creates and migrates the
    // schema, technicians add and update records, viewers only read.
    static const QString OwnerRole, TechnicianRole, ViewerRole;
    static const QString DefaultServerDatabase; // "altavo_history"
    // What an administrator runs once with psql as a superuser: the three
    // roles, the database (default DefaultServerDatabase) owned by the owner,
    // and the rights each role has on every table the owner makes.
    static QString ServerSetupSql(const QString &database = QString());
    // Engine spelling: %ID%, %BLOB%, %WITHOUT_ROWID%.
    static QString Dialect(QString statement, bool postgres);
};
