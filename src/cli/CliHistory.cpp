// The "history" commands of altavo-cli and the recording of its operations.
#include "CliHistory.h"

#include "CliSession.h"
#include "datalog/LogCsvReader.h"
#include "history/HistoryCopy.h"
#include "history/HistoryCsvImport.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryLocation.h"
#include "history/HistoryRecorder.h"
#include "history/HistorySchema.h"
#include "history/HistoryStore.h"
#include "report/HistoryReport.h"
#include "report/ReportPrinter.h"

#include <QFileInfo>
#include <QTextDocument>
#include <cstdio>

namespace {

void Error(const QString &text)
{
    std::fprintf(stderr, "altavo-cli: %s\n", qPrintable(text));
}

QString Day(const QDateTime &t)
{
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) : QStringLiteral("-");
}

QString Stamp(const QDateTime &t)
{
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("-");
}

// Opens the store for reading; prints why not.
std::unique_ptr<CHistoryStore> OpenForReading(const CCliHistory::Options &options, int *status)
{
    auto store = std::make_unique<CHistoryStore>();
    if (!store->Open(CCliHistory::Location(options))) {
        Error(store->ErrorString());
        *status = CliExit::HistoryError;
        return nullptr;
    }
    // Whatever waits from earlier runs goes in before anything is shown.
    store->ReplaySpool();
    // A viewer's history reads even while what it could not write waits.
    if (!store->IsReadable()) {
        Error(store->WarningText().isEmpty() ? QStringLiteral("the history database %1 cannot be read.").arg(store->Location())
                                             : store->WarningText());
        *status = CliExit::HistoryError;
        return nullptr;
    }
    if (store->HasWarning())
        Error(store->WarningText());
    return store;
}

// --pdf FILE: the report as the window prints it. A file that cannot be
// written fails the command; an existing one is replaced only by a whole report.
int SavePdf(const QTextDocument &report, const QString &path, const QString &title, QPageLayout::Orientation orientation)
{
    QString error;
    if (!CReportPrinter::WritePdf(report, path, title, orientation, &error)) {
        Error(error);
        return CliExit::FileError;
    }
    std::printf("%s saved to %s\n", qPrintable(title), qPrintable(path));
    std::fflush(stdout);
    return CliExit::Ok;
}

void PrintFleet(const QList<HistoryFleetRow> &rows)
{
    std::printf("%-8s  %-16s  %-16s  %-16s  %-10s  %-10s  %-10s  %s\n", "Serial", "Instrument ID", "Configuration",
                "Last seen", "Last cal", "Cal due", "Last bump", "");
    for (const HistoryFleetRow &r : rows) {
        std::printf("%-8s  %-16s  %-16s  %-16s  %-10s  %-10s  %-10s  %s\n", qPrintable(r.serial),
                    qPrintable(r.instrumentId.left(16)), qPrintable(r.configuration.left(16)), qPrintable(Stamp(r.lastSeen)),
                    qPrintable(Day(r.lastCalibration)), qPrintable(Day(r.calibrationDue)), qPrintable(Day(r.lastBumpTest)),
                    r.overdue ? "OVERDUE" : "");
        const QString differ = CHistoryReport::DueDisagreement(r);
        if (!differ.isEmpty())
            std::printf("%-8s  due dates differ: %s\n", "", qPrintable(differ));
    }
    std::fflush(stdout);
}

int List(const CCliHistory::Options &options)
{
    int status = CliExit::Ok;
    const auto store = OpenForReading(options, &status);
    if (!store)
        return status;
    const QList<HistoryFleetRow> rows = store->Fleet();
    if (rows.isEmpty() && !store->ErrorString().isEmpty()) {
        Error(store->ErrorString());
        return CliExit::HistoryError;
    }
    std::printf("%lld instrument(s) in %s\n", static_cast<long long>(rows.size()), qPrintable(store->Location()));
    if (!rows.isEmpty())
        PrintFleet(rows);
    std::fflush(stdout);
    return CliExit::Ok;
}

int Show(const QString &serialText, const CCliHistory::Options &options)
{
    const QString serial = CHistoryCsvImport::NormalSerial(serialText);
    if (serial.isEmpty()) {
        Error(QStringLiteral("\"%1\" is not a serial number (give it as identity prints it, e.g. 0001E240).").arg(serialText));
        return CliExit::Usage;
    }
    int status = CliExit::Ok;
    const auto store = OpenForReading(options, &status);
    if (!store)
        return status;
    const std::optional<HistoryInstrument> instrument = store->Instrument(serial);
    if (!instrument) {
        Error(QStringLiteral("the history %1 holds no instrument %2.").arg(store->Location(), serial));
        return CliExit::Failed;
    }
    const HistoryFleetRow row = [&] {
        for (const HistoryFleetRow &r : store->Fleet())
            if (r.serial == serial)
                return r;
        return HistoryFleetRow{};
    }();
    auto line = [](const char *label, const QString &text) { std::printf("%-20s%s\n", label, qPrintable(text)); };
    line("Serial number:", instrument->serial);
    line("Instrument ID:", instrument->instrumentId);
    line("Version:", instrument->version);
    line("Configuration:", instrument->configuration);
    line("First seen:", Stamp(instrument->firstSeen));
    line("Last seen:", Stamp(instrument->lastSeen));
    line("Cal interval:", instrument->calIntervalDays > 0 ? QStringLiteral("%1 days").arg(instrument->calIntervalDays) : QStringLiteral("none"));
    line("Last calibration:", Day(row.lastCalibration));
    line("Calibration due:", Day(row.calibrationDue) + (row.overdue ? QStringLiteral("  OVERDUE") : QString()));
    const QString differ = CHistoryReport::DueDisagreement(row);
    if (!differ.isEmpty())
        line("Due dates differ:", differ);
    line("Last bump test:", Day(row.lastBumpTest));
    if (row.bumpTestDue.isValid())
        line("Bump test due:", Day(row.bumpTestDue));
    line("Log entries:", QString::number(store->LogEntryCount(serial)));
    const QList<HistoryTimelineItem> timeline = store->Timeline(serial);
    std::printf("\nTimeline (%lld):\n", static_cast<long long>(timeline.size()));
    for (const HistoryTimelineItem &t : timeline)
        std::printf("  %-16s  %-4s  %s\n", qPrintable(Stamp(t.time)), t.passed ? "" : "FAIL", qPrintable(t.summary));
    std::fflush(stdout);
    if (!options.pdfFile.isEmpty()) {
        const std::unique_ptr<QTextDocument> report =
            CHistoryReport::CalibrationRecord(*store, serial, QDateTime::currentDateTimeUtc());
        if (!report)
            return CliExit::Failed;
        return SavePdf(*report, options.pdfFile, CHistoryReport::CalibrationRecordTitle(serial), QPageLayout::Portrait);
    }
    return CliExit::Ok;
}

int Due(const CCliHistory::Options &options)
{
    int status = CliExit::Ok;
    const auto store = OpenForReading(options, &status);
    if (!store)
        return status;
    // One moment for the list and its report, so both name the same instruments.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<HistoryFleetRow> rows = store->Due(options.withinDays, now);
    std::printf("%lld instrument(s) due within %d day(s):\n", static_cast<long long>(rows.size()), options.withinDays);
    if (!rows.isEmpty())
        PrintFleet(rows);
    std::fflush(stdout);
    if (!options.pdfFile.isEmpty()) {
        const QString html = CHistoryReport::DueListHtml(rows, options.withinDays, now);
        return SavePdf(*CHistoryReport::Document(html, CHistoryReport::DueListTitle()), options.pdfFile,
                       CHistoryReport::DueListTitle(), CHistoryReport::DueListOrientation);
    }
    return CliExit::Ok;
}

int ImportCsv(const QString &path, const CCliHistory::Options &options)
{
    const QString serial = CHistoryCsvImport::NormalSerial(options.serialNumber);
    if (serial.isEmpty()) {
        Error(options.serialNumber.isEmpty()
                  ? QStringLiteral("history import-csv needs --serial SERIAL: a saved log does not name its instrument.")
                  : QStringLiteral("\"%1\" is not a serial number (give it as identity prints it, e.g. 0001E240).").arg(options.serialNumber));
        return CliExit::Usage;
    }
    auto store = std::make_unique<CHistoryStore>();
    if (!store->Open(CCliHistory::Location(options))) {
        Error(store->ErrorString());
        return CliExit::HistoryError;
    }
    CHistoryCsvImport::Result imported;
    const HistoryWriteResult result = CHistoryCsvImport::Record(*store, path, serial, &imported);
    const LogCsvReader::Result &csv = imported.read;
    for (const LogCsvReader::Problem &p : csv.problems)
        Error(QStringLiteral("%1, line %2: %3").arg(path).arg(p.line).arg(p.text));
    if (!csv.Ok()) {
        Error(result.error);
        return CliExit::FileError;
    }
    if (imported.unmatched > 0)
        Error(QStringLiteral("%1: %2 reading row(s) do not read back exactly as the file writes them; they may be kept "
                             "beside the same readings from the instrument.")
                  .arg(path)
                  .arg(imported.unmatched));
    if (result.stored) {
        std::printf("Imported %s for %s: %lld rows, %lld new entries.\n", qPrintable(path), qPrintable(serial),
                    static_cast<long long>(csv.entries.size()), static_cast<long long>(result.added));
        std::fflush(stdout);
        return CliExit::Ok;
    }
    Error(result.spooled ? store->WarningText() : result.error);
    return result.spooled ? CliExit::Ok : CliExit::HistoryError;
}

// "history init": creates or migrates the schema, which only the owner may.
int Init(const CCliHistory::Options &options)
{
    if (options.printSql) {
        CHistoryLocation where;
        const bool server = CHistoryLocation::Parse(CCliHistory::Location(options), QString(), &where, nullptr)
                            && where.engine == CHistoryLocation::PostgreSQL && !where.database.isEmpty();
        std::printf("%s", qPrintable(CHistorySchema::ServerSetupSql(server ? where.database : QString())));
        std::fflush(stdout);
        return CliExit::Ok;
    }
    // The database itself, not the store: nothing goes to a spool here.
    CHistoryLocation where;
    QString error;
    if (!CHistoryLocation::Parse(CCliHistory::Location(options), CHistoryStore::DefaultFile(), &where, &error)) {
        Error(error);
        return CliExit::HistoryError;
    }
    CHistoryDatabase db(where);
    if (db.Open(&error) != CHistoryDatabase::OpenResult::Ok) {
        Error(error);
        return CliExit::HistoryError;
    }
    const int found = db.FoundVersion();
    const QString what = found == 0 ? QStringLiteral("created")
                         : found < CHistorySchema::CurrentVersion ? QStringLiteral("migrated from version %1").arg(found)
                                                                  : QStringLiteral("up to date");
    std::printf("History database %s: schema version %d, %s.\n", qPrintable(where.Shown()), CHistorySchema::CurrentVersion,
                qPrintable(what));
    std::fflush(stdout);
    return CliExit::Ok;
}

// Everything of one history into another; a second run adds nothing.
int Copy(const CCliHistory::Options &options)
{
    if (options.copyTo.trimmed().isEmpty()) {
        Error(QStringLiteral("history copy needs --to URL: the history to copy into (a file or a postgresql:// URL)."));
        return CliExit::Usage;
    }
    const QString from = options.copyFrom.isEmpty() ? CCliHistory::Location(options) : options.copyFrom;
    const CHistoryCopy::Result result =
        CHistoryCopy::Run(from, options.copyTo, [](const QString &line) { std::fprintf(stderr, "altavo-cli: %s\n", qPrintable(line)); });
    switch (result.status) {
    case CHistoryCopy::Result::Done:
        std::printf("Copied %s to %s: %s.\n", qPrintable(result.from), qPrintable(result.to), qPrintable(result.Summary()));
        std::fflush(stdout);
        return CliExit::Ok;
    case CHistoryCopy::Result::SameHistory:
        Error(result.error);
        return CliExit::Usage;
    case CHistoryCopy::Result::CannotOpen:
        Error(result.error);
        return CliExit::HistoryError;
    case CHistoryCopy::Result::Failed:
        break;
    }
    Error(QStringLiteral("%1 The copy stopped after %2; run it again to carry on.").arg(result.error, result.Summary()));
    return CliExit::HistoryError;
}

} // namespace

QString CCliHistory::Location(const Options &options)
{
    return options.location.isEmpty() ? CHistoryStore::PreferredLocation() : options.location;
}


std::unique_ptr<CHistoryStore> CCliHistory::OpenForRecording(const Options &options)
{
    if (!options.record)
        return nullptr;
    auto store = std::make_unique<CHistoryStore>();
    // A locked file waits a short while only, then the record goes to the spool.
    store->SetBusyTimeout(3000);
    if (!store->Open(Location(options))) {
        Error(store->ErrorString() + QStringLiteral(" This run is not recorded in the history."));
        return nullptr;
    }
    store->ReplaySpool();
    return store;
}

void CCliHistory::Report(const CHistoryRecorder &recorder, const CHistoryStore *store, bool verbose)
{
    if (!store)
        return;
    const HistoryWriteResult &r = recorder.LastResult();
    if (r.stored) {
        if (verbose)
            std::fprintf(stderr, "Recorded in the history %s.\n", qPrintable(store->Location()));
    } else if (r.spooled) {
        Error(QStringLiteral("history: %1").arg(store->WarningText()));
    } else if (!r.error.isEmpty()) {
        Error(QStringLiteral("history: %1").arg(r.error));
    }
    if (r.stored && store->HasWarning())
        Error(QStringLiteral("history: %1").arg(store->WarningText()));
}

int CCliHistory::Run(const QStringList &args, const Options &options)
{
    const QString sub = args.value(0);
    const auto arity = [&](int n, const char *usage) {
        if (args.size() == n)
            return true;
        Error(QStringLiteral("usage: altavo-cli history %1").arg(QLatin1String(usage)));
        return false;
    };
    if (!options.pdfFile.isEmpty() && sub != QLatin1String("due") && sub != QLatin1String("show")) {
        Error(QStringLiteral("--pdf goes with history due and history show only."));
        return CliExit::Usage;
    }
    if (sub == QLatin1String("list"))
        return arity(1, "list") ? List(options) : int(CliExit::Usage);
    if (sub == QLatin1String("show"))
        return arity(2, "show SERIAL [--pdf FILE]") ? Show(args.at(1), options) : int(CliExit::Usage);
    if (sub == QLatin1String("due"))
        return arity(1, "due [--within DAYS] [--pdf FILE]") ? Due(options) : int(CliExit::Usage);
    if (sub == QLatin1String("import-csv"))
        return arity(2, "import-csv FILE --serial SERIAL") ? ImportCsv(args.at(1), options) : int(CliExit::Usage);
    if (sub == QLatin1String("init"))
        return arity(1, "init [--print-sql]") ? Init(options) : int(CliExit::Usage);
    if (sub == QLatin1String("copy"))
        return arity(1, "copy --to URL [--from URL]") ? Copy(options) : int(CliExit::Usage);
    Error(sub.isEmpty() ? QStringLiteral("history needs one of: list, show SERIAL, due, import-csv FILE, init, copy --to URL.")
                        : QStringLiteral("unknown history command \"%1\" (list, show, due, import-csv, init, copy).").arg(sub));
    return CliExit::Usage;
}
