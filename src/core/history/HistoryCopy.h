// Copies one instrument history into another (SQLite to PostgreSQL and back): every instrument, settings snapshot, log retrieval and entry, calibration, bump test, firmware run and board test.
#pragma once

#include <QString>
#include <functional>

/*
 * The rows keep the keys the store writes by (instruments by serial, log
 * entries by instrument, time and hash, calibrations by instrument, kind,
 * sensor and time, everything else by its opKey), so a second copy adds
 * nothing, and a copy back finds every row at home. Values go over as they
 * are: a retrieval keeps its own counts and time span, an entry its stored
 * bytes. Due dates are worked out again in the destination from the rows
 * that make them.
 *
 * Each instrument's rows go in one transaction of the destination, its log
 * entries in transactions of ChunkRows, so a copy that fails half way leaves
 * whole rows only and the next copy carries on where it stopped.
 */
class CHistoryCopy
{
public:
    static constexpr int ChunkRows = 50000;

    struct Tally
    {
        qint64 found = 0; // rows in the source
        qint64 added = 0; // of those, rows the destination did not hold
    };
    struct Result
    {
        enum Status { Done, SameHistory, CannotOpen, Failed };
        Status status = Failed;
        QString error;
        QString from, to; // as shown to the user
        Tally instruments, snapshots, retrievals, entries, calibrations, firmwareRuns, boardTests;
        // "3 instruments (3 new), 6 settings snapshots (6 new), ..."
        QString Summary() const;
    };
    // Lines for a terminal, at most about one a second.
    using Progress = std::function<void(const QString &line)>;

    // from, to: locations as CHistoryStore::Open takes them (empty: the default file).
    static Result Run(const QString &from, const QString &to, const Progress &progress = {}, int chunkRows = ChunkRows);
};
