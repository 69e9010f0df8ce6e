// The plain values the instrument history stores and gives back: instruments, settings snapshots, log retrievals, calibrations, firmware runs, board tests and the fleet's rows.
#pragma once

#include "datalog/LogSensors.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

/*
 * Every time is UTC. Serial numbers are the instrument's own "%08X" text
 * (CInstrumentIdentity::SerialText), the key of everything else. Ids are the
 * database's row ids, stable for the life of the database; 0 means "none".
 *
 * Writes carry an operation key (opKey) made when the record is made: a
 * record that waited in the spool and is replayed, or replayed twice, is
 * recognised by it and stored once.
 */

// One row per serial number.
struct HistoryInstrument
{
    QString serial;
    QString version;       // "V1.23"
    QString configuration; // the configuration text
    QString instrumentId;  // the ID text the settings hold (trimmed)
    QDateTime firstSeen;
    QDateTime lastSeen;
    int calIntervalDays = 0;   // from the newest settings; 0: no calibration interval set
    bool bumpTestRequired = false; // the BumpTest switch of the newest settings
};

// A field that read back differently after a download.
struct HistoryDifference
{
    QString key;      // the options-file key, or "TimeKeeper byte N"
    QString sent;
    QString readBack;
};

// The settings as they were after an upload or a verified download.
struct HistorySnapshot
{
    enum Kind : int { Upload = 0, Download = 1 };

    qint64 id = 0;
    QString opKey;
    QString serial;
    Kind kind = Upload;
    QDateTime time;
    QString computer;
    QString user;
    QString optionsText; // the options file's text, as COptionsFile writes it
    // Downloads: true when the read-back matched what was sent; uploads: true.
    bool verified = true;
    QList<HistoryDifference> differences;
};

// One retrieval of a data log (from the instrument or an imported CSV file).
// The entries themselves are kept once per instrument; a retrieval knows the
// span of entry times it brought and how many were new.
struct HistoryLogRetrieval
{
    enum Source : int { Instrument = 0, CsvFile = 1 };

    qint64 id = 0;
    QString opKey;
    QString serial;
    Source source = Instrument;
    QString fileName;      // CsvFile: the file's name
    QDateTime time;        // when it was retrieved or imported
    QString computer;
    QString user;
    qint64 entryCount = 0; // entries the retrieval held
    qint64 addedCount = 0; // of those, entries the history did not hold yet
    QDateTime firstEntry;  // time span of its entries (invalid when it held none with a time)
    QDateTime lastEntry;
    // Gas names and divisors the log was read with, for showing it again.
    LogSensors sensors;
};

// A calibration or bump test as the log recorded it, for one sensor.
struct HistoryCalibration
{
    enum Kind : int { Calibration = 0, BumpTest = 1 };
    // Sensor numbers as the log's sensor mask counts them.
    enum Sensor : int { HC = 0, O2 = 1, Toxic1 = 2, Toxic2 = 3 };

    QString serial;
    Kind kind = Calibration;
    int sensor = HC;
    QDateTime time; // the event that ended it (completed, aborted, results)
    bool passed = false;
    QString result; // "Passed", "Failed", "Weak", "Aborted"
};

// One flash programming run.
struct HistoryFirmwareRun
{
    qint64 id = 0;
    QString opKey;
    QString serial;     // the serial number stamped (or the instrument's, when none was stamped)
    QDateTime time;
    QString computer;
    QString user;
    QString fileName;   // the HEX file's name
    QString sha256;     // of the HEX file's bytes, lower-case hex
    bool passed = false;
    QString result;     // the engine's last status text, or why it failed
};

// One board-test group's outcome.
struct HistoryBoardTest
{
    qint64 id = 0;
    QString opKey;
    QString serial;     // may be empty: a bare board has no serial number yet
    QDateTime time;
    QString computer;
    QString user;
    QString group;      // the group's name as the test tree shows it
    bool passed = false;
    QString detail;     // the failing items' messages, one per line
};

// One instrument as the fleet table and the due report show it.
struct HistoryFleetRow
{
    QString serial;
    QString instrumentId;
    QString configuration;
    QString version;
    QDateTime lastSeen;
    QDateTime lastCalibration; // newest passed calibration of any sensor in the log, else the settings' date
    // The earlier of the two reckonings below; invalid when neither has one.
    QDateTime calibrationDue;
    // The instrument's own reckoning: its newest settings' LastCalDate plus
    // CalInterval (invalid without a date or an interval).
    QDateTime instrumentDue;
    // The log's: the sensor due first (a failed or aborted newest
    // calibration is due at once), and the calibration that set it.
    QDateTime logDue;
    QDateTime logCalibration;
    bool logCalibrationFailed = false;
    QDateTime lastBumpTest;    // newest passed bump test
    QDateTime bumpTestDue;     // invalid unless the settings require bump tests
    bool overdue = false;      // a due date lies before the time asked about
};

// One line of an instrument's timeline, newest first.
struct HistoryTimelineItem
{
    enum Kind : int { Upload = 0, Download = 1, LogRetrieval = 2, Calibration = 3, BumpTest = 4, Firmware = 5, BoardTest = 6 };

    Kind kind = Upload;
    QDateTime time;
    bool passed = true;
    QString summary; // one line for a table cell
    // Upload/Download: the snapshot id; LogRetrieval: the retrieval id;
    // Firmware: the run id; BoardTest: the result id; Calibration/BumpTest: 0.
    qint64 refId = 0;
};

// What a write did.
struct HistoryWriteResult
{
    bool stored = false;  // in the database now
    bool spooled = false; // kept in the spool file until the database takes it
    qint64 id = 0;        // the row id when stored
    qint64 added = 0;     // log writes: entries that were new
    QString error;        // why it could not be stored (also when spooled)
};
