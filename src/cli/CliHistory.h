// The command-line program's instrument history: the "history" commands, and recording the operations that touch an instrument.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class CHistoryRecorder;
class CHistoryStore;

class CCliHistory
{
public:
    struct Options
    {
        QString location;   // --history URL; empty: the preference, else the default file
        bool record = true; // false with --no-history
        bool verbose = false;
        int withinDays = 30;       // history due --within DAYS
        QString serialNumber;      // history import-csv --serial SERIAL
        QString pdfFile;           // history due / show SERIAL --pdf FILE: the report as a PDF file
        bool printSql = false;     // history init --print-sql
        QString copyFrom;          // history copy --from URL; empty: the location above
        QString copyTo;            // history copy --to URL
    };

    // The location the options name, the preference, or the default file.
    static QString Location(const Options &options);

    // The store that records this run's operation; none with --no-history or
    // when it cannot be opened (the reason goes to stderr: the operation runs
    // all the same).
    static std::unique_ptr<CHistoryStore> OpenForRecording(const Options &options);
    // After the operation: a line on stderr when the record had to wait in the
    // spool or could not be made. Never changes the exit status.
    static void Report(const CHistoryRecorder &recorder, const CHistoryStore *store, bool verbose);

    // "history list", "history show SERIAL", "history due", "history
    // import-csv FILE", "history init [--print-sql]", "history copy --to URL":
    // args are the words after "history". Returns a CliExit status.
    static int Run(const QStringList &args, const Options &options);
};
