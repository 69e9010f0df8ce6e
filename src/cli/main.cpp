// altavo-cli: the program's operations for scripts and production lines.
#include "CliFirmware.h"
#include "CliHistory.h"
#include "CliSession.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvReader.h"
#include "datalog/LogRetrieval.h"
#include "document/DownloadVerifier.h"
#include "document/InstrumentIdentity.h"
#include "document/OptionsFile.h"
#include "document/SettingsCodec.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "platform/BuildInfo.h"
#include "platform/Preferences.h"
#include "platform/ProcessEnd.h"
#include "platform/ProfileFile.h"
#include "platform/SerialPortList.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define STDIN_FILENO 0
#else
#include <unistd.h>
#endif

namespace {

struct CommandArgs
{
    QString optionsPath; // --options FILE
    bool yes = false;    // --yes
    QString hexFile;     // program, wizard: the HEX file
    QString csvPath;     // log: --csv FILE
    QString fromCsvPath; // log: --from-csv FILE
    bool clear = false;  // log: --clear
    CCliFirmware::WizardOptions wizard; // --model, --units, --gas
};

// Counts what the document reports while a transfer runs.
class CUpdateWatch
{
public:
    explicit CUpdateWatch(CInstrumentDoc &doc)
    {
        m_connection = QObject::connect(&doc, &CInstrumentDoc::Updated, [this](int code, const CReplyNotice &notice) {
            ++m_codes[code];
            if (code == UpdateCode::IdEntry || code == UpdateCode::WordBlock)
                m_addresses[code].insert(notice.address);
        });
    }
    ~CUpdateWatch() { QObject::disconnect(m_connection); }
    int Count(int code) const { return m_codes.value(code); }
    int Distinct(int code) const { return int(m_addresses.value(code).size()); }
    bool Has(int code, qint64 address) const { return m_addresses.value(code).contains(address); }

private:
    QMetaObject::Connection m_connection;
    QHash<int, int> m_codes;
    QHash<int, QSet<qint64>> m_addresses;
};

void Error(const QString &text)
{
    std::fprintf(stderr, "altavo-cli: %s\n", qPrintable(text));
}

// The document's full upload, followed to its end: configuration and range
// table, toxic table, TimeKeeper settings and the 81 ID entries.
bool RunUpload(CCliSession &session)
{
    CInstrumentDoc &doc = session.Doc();
    CUpdateWatch watch(doc);
    doc.SetIdEntriesWanted(true);
    doc.UploadAll();
    return session.WaitFor([&] {
        return watch.Count(UpdateCode::ToxicCount) > 0 && watch.Count(UpdateCode::Settings) > 0
               && watch.Distinct(UpdateCode::IdEntry) == CSettingsImage::IdEntryCount
               && !doc.TransferProgress().IsOpen() && doc.Link().IsIdle();
    });
}

QString Level(const CSettingsImage &s, int sensor, bool high)
{
    const double value = high ? s.GetHighAlarm(sensor) : s.GetWarningAlarm(sensor);
    return CSettingsCodec::FormatLevel(value, s.LevelScale(sensor));
}

void PrintSummary(CInstrumentDoc &doc)
{
    const CSettingsImage &s = doc.Settings();
    auto line = [](const QString &label, const QString &text) {
        std::printf("%-20s%s\n", qPrintable(label + QLatin1Char(':')), qPrintable(text));
    };
    auto levels = [&](int sensor, const QString &units) {
        if (!s.GetSensor(sensor))
            return QStringLiteral("not fitted");
        const QString u = units.isEmpty() ? QString() : QLatin1Char(' ') + units;
        return QStringLiteral("fitted, high alarm %1%3, warning %2%3").arg(Level(s, sensor, true), Level(s, sensor, false), u);
    };

    line(QStringLiteral("Instrument ID"), s.InstrumentId().trimmed());
    const int range = s.GetHCRangeIndex();
    const CRangeRecord record = s.RangeRecord(range);
    line(QStringLiteral("HC (range %1 %2)").arg(range).arg(record.Label().trimmed()),
         levels(CSettingsImage::SensorHC, CRangeRecord::UnitLabel(record.DisplayUnits())));
    line(QStringLiteral("O2"), levels(CSettingsImage::SensorO2, QStringLiteral("%VOL")));
    for (int sensor = CSettingsImage::SensorToxic1; sensor <= CSettingsImage::SensorToxic2; ++sensor) {
        const QString name = QStringLiteral("Toxic %1").arg(sensor - 2);
        if (sensor == CSettingsImage::SensorToxic2 && s.Toxic2CarriesTC()) {
            line(name, QStringLiteral("the HC sensor's thermal-conductivity (TC) channel"));
            continue;
        }
        const QString gas = s.SensorGasName(sensor).trimmed();
        line(s.GetSensor(sensor) ? QStringLiteral("%1 (%2)").arg(name, gas) : name,
             levels(sensor, s.SensorUnits(sensor).trimmed()));
    }
    std::fflush(stdout);
}

int Identity(CCliSession &session, const CommandArgs &)
{
    CInstrumentDoc &doc = session.Doc();
    CUpdateWatch watch(doc);
    doc.ReadWords(CInstrumentIdentity::IdentityWord, CInstrumentIdentity::IdentityBytes / 2);
    doc.ReadConfigurationA();
    const QList<qint64> wanted = {CInstrumentIdentity::IdentityWord, CInstrumentIdentity::ConfigurationWord,
                                  CInstrumentIdentity::ConfigurationWord + 8};
    if (!session.WaitFor([&] {
            return std::all_of(wanted.begin(), wanted.end(), [&](qint64 w) { return watch.Has(UpdateCode::WordBlock, w); });
        }))
        return CliExit::NoAnswer;

    if (session.Recorder())
        session.Recorder()->InstrumentSeen();
    const CInstrumentIdentity id = doc.Identity();
    std::printf("Version:            %s\n", qPrintable(id.VersionText()));
    std::printf("Serial number:      %s\n", qPrintable(id.SerialText()));
    const QString date = id.ProgrammingDateText();
    std::printf("Programming date:   %s\n", date.isEmpty() ? "(not programmed)" : qPrintable(date));
    std::printf("Configuration:      %s\n", qPrintable(id.ConfigurationText()));
    return CliExit::Ok;
}

int Upload(CCliSession &session, const CommandArgs &args)
{
    CInstrumentDoc &doc = session.Doc();
    session.FollowProgress(doc.TransferProgress());
    if (!RunUpload(session))
        return CliExit::NoAnswer;
    if (session.Recorder())
        session.Recorder()->UploadDone();
    PrintSummary(doc);
    if (!args.optionsPath.isEmpty()) {
        QString error;
        if (!doc.SaveOptions(args.optionsPath, &error)) {
            Error(error);
            return CliExit::FileError;
        }
        std::printf("Options saved to %s\n", qPrintable(args.optionsPath));
    }
    return CliExit::Ok;
}

int Download(CCliSession &session, const CommandArgs &args)
{
    const QString &path = args.optionsPath;
    // The file is checked before the instrument is touched. One without the
    // settings sections (truncated, or some other file) would load as zero
    // alarm levels and unfitted sensors.
    CProfileFile probe;
    if (!probe.Load(path)) {
        Error(probe.ErrorString());
        return CliExit::FileError;
    }
    for (const QString &section : {COptionsFile::SensorsSection, COptionsFile::AdvancedSection, COptionsFile::DatalogSection}) {
        if (!probe.HasSection(section)) {
            Error(QStringLiteral("%1 is not a complete options file: it has no [%2] section; nothing was downloaded.")
                      .arg(QFileInfo(path).fileName(), section));
            return CliExit::FileError;
        }
    }

    CInstrumentDoc &doc = session.Doc();
    session.FollowProgress(doc.TransferProgress());
    // The range and toxic tables turn the file's shown levels into the
    // instrument's counts, so they must be the instrument's own.
    if (!RunUpload(session))
        return CliExit::NoAnswer;

    QString error;
    QStringList warnings;
    if (!doc.LoadOptions(path, &error, &warnings)) {
        Error(error);
        return CliExit::FileError;
    }
    if (!warnings.isEmpty()) {
        for (const QString &w : warnings)
            Error(w);
        Error(QStringLiteral("nothing was downloaded: the instrument cannot take these settings as the file gives them."));
        return CliExit::Failed;
    }

    CDownloadVerifier verifier(doc);
    doc.DownloadAll();
    verifier.TakeSnapshot();
    if (!session.WaitIdle())
        return CliExit::NoAnswer;

    verifier.StartReadBack();
    if (!session.WaitIdle())
        return CliExit::NoAnswer;
    if (!verifier.IsReadBackFinished()) {
        Error(QStringLiteral("the instrument did not return its settings for checking; the download is not verified."));
        return CliExit::Failed;
    }
    const QList<CDownloadDifference> differences = verifier.Differences();
    // Verified or not, the settings the instrument now holds are kept.
    if (session.Recorder())
        session.Recorder()->DownloadVerified(differences);
    if (!differences.isEmpty()) {
        std::printf("Download NOT verified: the instrument holds other values than were sent:\n");
        for (const CDownloadDifference &d : differences)
            std::printf("  %-18s sent \"%s\", instrument holds \"%s\"\n", qPrintable(d.key + QLatin1Char(':')),
                        qPrintable(d.sent), qPrintable(d.readBack));
        std::fflush(stdout);
        return CliExit::Failed;
    }
    std::printf("Downloaded %s; read back and verified (settings and %d ID entries).\n", qPrintable(path),
                CSettingsImage::IdEntryCount);
    PrintSummary(doc);
    return CliExit::Ok;
}

int SetClock(CCliSession &session, const CommandArgs &)
{
    CInstrumentDoc &doc = session.Doc();
    CUpdateWatch watch(doc);
    // Read first: the write keeps the oscillator bit of the seconds register
    // and the top bits of the hours register as the instrument has them.
    doc.ReadClock();
    if (!session.WaitFor([&] { return watch.Count(UpdateCode::Clock) >= 1 && doc.Link().IsIdle(); }))
        return CliExit::NoAnswer;
    const QDateTime now = QDateTime::currentDateTime();
    doc.Settings().SetClock(now);
    doc.WriteClock();
    doc.ReadClock();
    if (!session.WaitFor([&] { return watch.Count(UpdateCode::Clock) >= 2 && doc.Link().IsIdle(); }))
        return CliExit::NoAnswer;

    const QDateTime read = doc.Settings().GetClock();
    const qint64 off = read.secsTo(QDateTime::currentDateTime());
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    // The registers hold whole seconds and keep running while the reply
    // travels back.
    if (watch.Count(UpdateCode::TimeKeeperWritten) < 1 || off < -2 || off > 2) {
        Error(QStringLiteral("the instrument clock reads %1 after setting it to %2.").arg(read.toString(format), now.toString(format)));
        return CliExit::Failed;
    }
    std::printf("Instrument clock set to %s\n", qPrintable(read.toString(format)));
    return CliExit::Ok;
}

// Clears the instrument's log and follows the clearing to its end.
int RunLogClear(CCliSession &session)
{
    CInstrumentDoc &doc = session.Doc();
    CUpdateWatch watch(doc);
    session.FollowProgress(doc.ClearProgress(), [&doc] { return !doc.LogClearing(); });
    doc.StartLogClear();
    if (!session.WaitIdle())
        return CliExit::NoAnswer;
    // The log status reports the steps still to do; the document asks again
    // after each answer until the instrument has finished.
    doc.ReadLogStatus();
    if (!session.WaitFor([&] { return watch.Count(UpdateCode::LogStatus) > 0 && !doc.LogClearing() && doc.Link().IsIdle(); }))
        return CliExit::NoAnswer;
    std::printf("Log cleared.\n");
    return CliExit::Ok;
}

int ClearLog(CCliSession &session, const CommandArgs &args)
{
    if (!args.yes) {
        if (!isatty(STDIN_FILENO)) {
            Error(QStringLiteral("clearing the log erases every record in it; give --yes to confirm when not asking on a terminal."));
            return CliExit::Failed;
        }
        std::fprintf(stderr, "Are you sure you want to clear the log ? [y/N] ");
        std::fflush(stderr);
        QTextStream in(stdin);
        const QString answer = in.readLine().trimmed().toLower();
        if (answer != QLatin1String("y") && answer != QLatin1String("yes")) {
            std::fprintf(stderr, "The log was not cleared.\n");
            return CliExit::Failed;
        }
    }

    return RunLogClear(session);
}

int Program(CCliSession &session, const CommandArgs &args)
{
    return CCliFirmware::Program(session, args.hexFile);
}

int Wizard(CCliSession &session, const CommandArgs &args)
{
    return CCliFirmware::Wizard(session, args.wizard, args.hexFile);
}

void PrintSessions(const QList<LogRecord> &entries, const QList<LogSession> &sessions)
{
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const auto time = [&](int index) {
        return index >= 0 && index < entries.size() ? entries.at(index).time.toString(format) : QString();
    };
    if (sessions.isEmpty()) {
        std::printf("No sessions in the log (%lld entries).\n", static_cast<long long>(entries.size()));
        std::fflush(stdout);
        return;
    }
    std::printf("%3s  %-19s  %-19s  %6s  %-16s  %s\n", "#", "Start", "End", "Data", "Operator", "Location");
    for (int i = 0; i < sessions.size(); ++i) {
        const LogSession &s = sessions.at(i);
        std::printf("%3d  %-19s  %-19s  %6d  %-16s  %s\n", i + 1, qPrintable(time(s.first)), qPrintable(time(s.last)),
                    s.dataCount, qPrintable(s.operatorText), qPrintable(s.location));
    }
    std::fflush(stdout);
}

// Fetches the data log as the log window does, prints its sessions, writes
// the CSV file the window would save, and clears the instrument's log only
// when asked and only once the file is safely written.
int Log(CCliSession &session, const CommandArgs &args)
{
    CInstrumentDoc &doc = session.Doc();
    CUpdateWatch watch(doc);
    // Gas names and divisors come from the instrument's own tables; the
    // identity words name the instrument the history keeps the log under.
    if (session.Recorder())
        doc.ReadStatusWords();
    doc.ReadTimeKeeperSettings();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    if (!session.WaitFor([&] { return watch.Count(UpdateCode::ToxicCount) > 0 && doc.Link().IsIdle(); }))
        return CliExit::NoAnswer;

    CLogRetrieval log(doc);
    bool ended = false;
    QObject::connect(&log, &CLogRetrieval::SessionsFound, [&ended] { ended = true; });
    session.FollowProgress(doc.LogProgress(), [&watch] { return watch.Count(UpdateCode::EndProgramming) > 0; });
    // The status poll of the windowed program: a silent second fetches the
    // record again.
    QTimer poll;
    // Only on an idle link, though: a slow instrument takes more than the
    // second to answer a poll's own reads, and polls queued behind each other
    // would starve the log requests for ever.
    QObject::connect(&poll, &QTimer::timeout, &doc, [&doc] {
        if (doc.Link().IsIdle())
            doc.PollInstrument();
    });
    poll.start(1000);
    log.Start();
    const bool fetched = session.WaitFor([&] { return ended; });
    poll.stop();
    if (!fetched)
        return CliExit::NoAnswer;
    session.EndProgressLine();
    if (session.Recorder())
        session.Recorder()->LogRetrieved(log.Entries(), log.Sensors());
    PrintSessions(log.Entries(), log.Sessions());

    QString error;
    QString detail;
    if (!LogCsv::Save(args.csvPath, log.Entries(), log.Sensors(), &error, &detail)) {
        Error(detail.isEmpty() ? error : QStringLiteral("%1: %2").arg(error, detail));
        if (args.clear)
            Error(QStringLiteral("the log was not cleared."));
        return CliExit::FileError;
    }
    std::printf("Log saved to %s (%lld entries).\n", qPrintable(args.csvPath), static_cast<long long>(log.Entries().size()));
    std::fflush(stdout);
    if (!args.clear)
        return CliExit::Ok;
    if (!session.WaitIdle())
        return CliExit::NoAnswer;
    return RunLogClear(session);
}

// The sessions of a saved log file; no instrument is needed.
int LogFromCsv(const CommandArgs &args)
{
    const LogCsvReader reader({}, 0);
    const LogCsvReader::Result result = reader.Load(args.fromCsvPath);
    for (const LogCsvReader::Problem &p : result.problems)
        Error(QStringLiteral("%1, line %2: %3").arg(args.fromCsvPath).arg(p.line).arg(p.text));
    if (!result.Ok()) {
        Error(result.detail.isEmpty() ? result.error : QStringLiteral("%1: %2").arg(result.error, result.detail));
        return CliExit::FileError;
    }
    PrintSessions(result.entries, LogSession::Find(result.entries));
    return CliExit::Ok;
}

// The system's serial ports; no instrument is needed.
int Ports()
{
    for (const QString &line : CSerialPortList::Table(CSerialPortList::Available()))
        std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    return CliExit::Ok;
}

struct Command
{
    const char *name;
    const char *summary;
    int (*run)(CCliSession &, const CommandArgs &);
};

const Command Commands[] = {
    {"identity", "print the instrument's version, serial number, programming date and configuration", Identity},
    {"upload", "read the settings, tables and IDs, print a summary; --options FILE.kvo saves them", Upload},
    {"download", "write the settings and IDs of --options FILE.kvo, read them back and compare", Download},
    {"set-clock", "set the instrument clock to this computer's time and read it back", SetClock},
    {"clear-log", "clear the instrument's data log (asks first unless --yes)", ClearLog},
    {"program", "program FILE.hex into the flash, compare the boot area, stamp a serial number", Program},
    {"wizard", "set up a new instrument: --model N [--units N] [--gas N] FILE.hex", Wizard},
    {"log", "fetch the data log, print its sessions, save it as --csv FILE (--clear then clears it); --from-csv FILE prints a saved log's sessions", Log},
    {"ports", "list this computer's serial ports (device, description, manufacturer, USB ID, serial number)", nullptr},
};

// "history" works on the history database only; no port is opened.
const char HistorySummary[] = "history list | show SERIAL [--pdf FILE] | due [--within DAYS] [--pdf FILE] | import-csv FILE --serial SERIAL"
                             " | init [--print-sql] | copy --to URL [--from URL]";

// The PDF reports lay out text with QtGui, which needs a GUI application
// object; on the offscreen platform it needs no display. Every other command
// runs on a plain core application.
bool WantsPdf(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--pdf" || arg.startsWith("--pdf=") || arg == "-pdf" || arg.startsWith("-pdf="))
            return true;
    }
    return false;
}

int Run(int argc, char **argv)
{
    const bool pdf = WantsPdf(argc, argv);
    if (pdf)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> application =
        pdf ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("altavo-cli"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrion Norvane"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(BuildInfo::Version()));

    QCommandLineParser parser;
    QString description = QStringLiteral("Service operations on a connected gas detector.\n\nCommands:\n");
    for (const Command &c : Commands)
        description += QStringLiteral("  %1  %2\n").arg(QLatin1String(c.name), -10).arg(QLatin1String(c.summary));
    description += QStringLiteral("  %1  %2\n").arg(QStringLiteral("history"), -10).arg(QLatin1String(HistorySummary));
    description += QStringLiteral("\nOperations on an instrument are recorded in the instrument history (the default file, or --history).\n");
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    // Not the parser's own version option: -v is verbose here.
    parser.addOption({QStringLiteral("version"), QStringLiteral("Print the program's version.")});
    parser.addOption({QStringLiteral("serial"), QStringLiteral("Serial device of the instrument (e.g. /dev/ttyUSB0, COM3)."), QStringLiteral("device")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("COM port number 1-4 as set up in the preferences."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("gateway"), QStringLiteral("Network gateway of the instrument."), QStringLiteral("host[:port]")});
    parser.addOption({QStringLiteral("timeout"), QStringLiteral("Seconds to wait for an answer (default 5)."), QStringLiteral("seconds"), QStringLiteral("5")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("verbose")}, QStringLiteral("Show every message on the line, and every reply refused.")});
    parser.addOption({QStringLiteral("trace"), QStringLiteral("Write the protocol trace (every message with its time in microseconds) to a file."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("options"), QStringLiteral("Options file (.kvo) for upload and download."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("yes"), QStringLiteral("Do not ask before clearing the log.")});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Data-log file (.csv) that log writes."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("from-csv"), QStringLiteral("Saved data-log file whose sessions log prints."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("clear"), QStringLiteral("With log --csv: clear the instrument's log once the file is written.")});
    parser.addOption({QStringLiteral("model"), QStringLiteral("wizard: the model number (48) or its position in the list (1)."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("units"), QStringLiteral("wizard: the combustible units choice 1-4 (default: the first the model offers)."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("gas"), QStringLiteral("wizard: the special gas's position in its list (default: the preset one)."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("history"),
                      QStringLiteral("Instrument history: an SQLite file or postgresql://user@host[:port]/db[?sslmode=verify-full&...] "
                                     "(default: the preference, else the file in the user's data folder). A password given here is used for this run only."),
                      QStringLiteral("url")});
    parser.addOption({QStringLiteral("no-history"), QStringLiteral("Do not record this run in the instrument history.")});
    parser.addOption({QStringLiteral("within"), QStringLiteral("history due: instruments due within this many days (default 30)."), QStringLiteral("days")});
    parser.addOption({QStringLiteral("pdf"), QStringLiteral("history due, history show SERIAL: also write the report as a PDF file."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("print-sql"),
                      QStringLiteral("history init: print the SQL that sets up a shared server (owner, technician and viewer roles) instead.")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("history copy: the history to copy into (a file or a postgresql:// URL)."), QStringLiteral("url")});
    parser.addOption({QStringLiteral("from"), QStringLiteral("history copy: the history to copy from (default: --history, the preference, else the file)."),
                      QStringLiteral("url")});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands)."));
    parser.process(app);
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("altavo-cli %s\n", BuildInfo::Version());
        return 0;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        std::fprintf(stderr, "altavo-cli: no command given (try --help).\n");
        return CliExit::Usage;
    }
    CCliHistory::Options history;
    history.location = parser.value(QStringLiteral("history"));
    history.record = !parser.isSet(QStringLiteral("no-history"));
    history.verbose = parser.isSet(QStringLiteral("verbose"));
    history.pdfFile = parser.value(QStringLiteral("pdf"));
    if (parser.isSet(QStringLiteral("pdf")) && (history.pdfFile.trimmed().isEmpty() || args[0] != QLatin1String("history"))) {
        std::fprintf(stderr, "altavo-cli: --pdf FILE goes with history due and history show SERIAL only.\n");
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("history")) && history.location.trimmed().isEmpty()) {
        std::fprintf(stderr, "altavo-cli: --history needs a file or a postgresql:// URL.\n");
        return CliExit::Usage;
    }
    history.printSql = parser.isSet(QStringLiteral("print-sql"));
    if (history.printSql && (args[0] != QLatin1String("history") || args.value(1) != QLatin1String("init"))) {
        std::fprintf(stderr, "altavo-cli: --print-sql goes with history init only.\n");
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("within"))) {
        bool number = false;
        history.withinDays = parser.value(QStringLiteral("within")).toInt(&number);
        if (!number || history.withinDays < 0 || args[0] != QLatin1String("history") || args.value(1) != QLatin1String("due")) {
            std::fprintf(stderr, "altavo-cli: --within goes with history due only and takes a number of days.\n");
            return CliExit::Usage;
        }
    }
    history.copyTo = parser.value(QStringLiteral("to"));
    history.copyFrom = parser.value(QStringLiteral("from"));
    const bool copying = args[0] == QLatin1String("history") && args.value(1) == QLatin1String("copy");
    if ((parser.isSet(QStringLiteral("to")) || parser.isSet(QStringLiteral("from"))) && !copying) {
        std::fprintf(stderr, "altavo-cli: --to and --from go with history copy only.\n");
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("from")) && history.copyFrom.trimmed().isEmpty()) {
        std::fprintf(stderr, "altavo-cli: --from needs a file or a postgresql:// URL.\n");
        return CliExit::Usage;
    }
    if (args[0] == QLatin1String("history")) {
        if (!history.record) {
            std::fprintf(stderr, "altavo-cli: --no-history does not go with the history commands.\n");
            return CliExit::Usage;
        }
        const QString sub = args.value(1);
        if (parser.isSet(QStringLiteral("serial")) && sub != QLatin1String("import-csv")) {
            std::fprintf(stderr, "altavo-cli: history commands open no port; --serial goes with history import-csv only (the serial number).\n");
            return CliExit::Usage;
        }
        // import-csv: --serial names the instrument the file came from.
        history.serialNumber = parser.value(QStringLiteral("serial"));
        return CCliHistory::Run(args.mid(1), history);
    }
    const Command *command = nullptr;
    for (const Command &c : Commands) {
        if (args[0] == QLatin1String(c.name))
            command = &c;
    }
    if (!command) {
        std::fprintf(stderr, "altavo-cli: unknown command \"%s\" (try --help).\n", qPrintable(args[0]));
        return CliExit::Usage;
    }
    if (args[0] == QLatin1String("ports")) {
        if (args.size() > 1) {
            std::fprintf(stderr, "altavo-cli: unexpected argument \"%s\" (try --help).\n", qPrintable(args[1]));
            return CliExit::Usage;
        }
        return Ports();
    }
    // "program" and "wizard" take the HEX file after the command.
    const bool takesFile = args[0] == QLatin1String("program") || args[0] == QLatin1String("wizard");
    if (args.size() > (takesFile ? 2 : 1)) {
        std::fprintf(stderr, "altavo-cli: unexpected argument \"%s\" (try --help).\n", qPrintable(args[takesFile ? 2 : 1]));
        return CliExit::Usage;
    }
    if (takesFile && args.size() < 2) {
        std::fprintf(stderr, "altavo-cli: %s needs a HEX file.\n", qPrintable(args[0]));
        return CliExit::Usage;
    }

    CommandArgs commandArgs;
    commandArgs.optionsPath = parser.value(QStringLiteral("options"));
    commandArgs.yes = parser.isSet(QStringLiteral("yes"));
    const QString name = QLatin1String(command->name);
    if (parser.isSet(QStringLiteral("options")) && name != QLatin1String("upload") && name != QLatin1String("download")) {
        std::fprintf(stderr, "altavo-cli: --options goes with upload and download only.\n");
        return CliExit::Usage;
    }
    if (name == QLatin1String("download") && commandArgs.optionsPath.isEmpty()) {
        std::fprintf(stderr, "altavo-cli: download needs --options FILE.kvo.\n");
        return CliExit::Usage;
    }
    if (commandArgs.yes && name != QLatin1String("clear-log")) {
        std::fprintf(stderr, "altavo-cli: --yes goes with clear-log only.\n");
        return CliExit::Usage;
    }
    commandArgs.csvPath = parser.value(QStringLiteral("csv"));
    commandArgs.fromCsvPath = parser.value(QStringLiteral("from-csv"));
    commandArgs.clear = parser.isSet(QStringLiteral("clear"));
    const bool logFiles = parser.isSet(QStringLiteral("csv")) || parser.isSet(QStringLiteral("from-csv")) || commandArgs.clear;
    if (logFiles && name != QLatin1String("log")) {
        std::fprintf(stderr, "altavo-cli: --csv, --from-csv and --clear go with log only.\n");
        return CliExit::Usage;
    }
    if (name == QLatin1String("log")) {
        if (commandArgs.csvPath.isEmpty() == commandArgs.fromCsvPath.isEmpty()) {
            std::fprintf(stderr, "altavo-cli: log needs either --csv FILE or --from-csv FILE.\n");
            return CliExit::Usage;
        }
        if (commandArgs.clear && commandArgs.csvPath.isEmpty()) {
            std::fprintf(stderr, "altavo-cli: --clear goes with log --csv only.\n");
            return CliExit::Usage;
        }
        // A saved file needs no instrument, so no port is opened.
        if (!commandArgs.fromCsvPath.isEmpty())
            return LogFromCsv(commandArgs);
    }
    if (takesFile)
        commandArgs.hexFile = args[1];
    for (const char *option : {"model", "units", "gas"}) {
        const QString key = QLatin1String(option);
        if (!parser.isSet(key))
            continue;
        bool number = false;
        const int value = parser.value(key).toInt(&number);
        if (name != QLatin1String("wizard") || !number || value <= 0) {
            std::fprintf(stderr, "altavo-cli: --%s goes with wizard only and takes a number.\n", option);
            return CliExit::Usage;
        }
        (key == QLatin1String("model") ? commandArgs.wizard.model : key == QLatin1String("units") ? commandArgs.wizard.units : commandArgs.wizard.gas) = value;
    }
    if (name == QLatin1String("wizard") && !commandArgs.wizard.model) {
        std::fprintf(stderr, "altavo-cli: wizard needs --model.\n");
        return CliExit::Usage;
    }

    CliOptions options;
    options.serialDevice = parser.value(QStringLiteral("serial"));
    options.verbose = parser.isSet(QStringLiteral("verbose"));
    options.traceFile = parser.value(QStringLiteral("trace"));
    bool ok = true;
    options.timeoutSeconds = parser.value(QStringLiteral("timeout")).toInt(&ok);
    if (!ok || options.timeoutSeconds <= 0) {
        std::fprintf(stderr, "altavo-cli: --timeout needs a whole number of seconds.\n");
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("port"))) {
        options.commPort = parser.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || options.commPort < 1 || options.commPort > 4) {
            std::fprintf(stderr, "altavo-cli: --port takes 1 to 4.\n");
            return CliExit::Usage;
        }
    }
    if (parser.isSet(QStringLiteral("gateway"))) {
        const QString gateway = parser.value(QStringLiteral("gateway"));
        const qsizetype colon = gateway.lastIndexOf(QLatin1Char(':'));
        options.gatewayHost = gateway;
        if (colon > 0 && !gateway.contains(QLatin1Char(']')) && gateway.count(QLatin1Char(':')) == 1) {
            options.gatewayHost = gateway.left(colon);
            options.gatewayPort = gateway.mid(colon + 1).toInt(&ok);
            if (!ok || options.gatewayPort <= 0 || options.gatewayPort > 65535) {
                std::fprintf(stderr, "altavo-cli: bad gateway port in \"%s\".\n", qPrintable(gateway));
                return CliExit::Usage;
            }
        }
    }
    if (int(!options.serialDevice.isEmpty()) + int(!options.gatewayHost.isEmpty()) + int(options.commPort != 0) > 1) {
        std::fprintf(stderr, "altavo-cli: give only one of --serial, --port and --gateway.\n");
        return CliExit::Usage;
    }
    if (options.serialDevice.isEmpty() && options.gatewayHost.isEmpty() && options.commPort == 0) {
        // The port the windowed program last used.
        options.commPort = CPreferences::GetInt(QString::fromLatin1(Pref::Preferences), QString::fromLatin1(Pref::CommPort), 1);
        if (options.commPort == 0 || options.commPort > 4)
            options.commPort = 1;
    }

    // The history is opened first: a database that cannot be used is said
    // before the instrument is touched, and the operation runs all the same.
    const std::unique_ptr<CHistoryStore> store = CCliHistory::OpenForRecording(history);
    CCliSession session;
    CHistoryRecorder recorder(session.Doc(), store.get());
    session.SetRecorder(store ? &recorder : nullptr);
    if (!session.Open(options))
        return CliExit::PortError;
    const int status = command->run(session, commandArgs);
    session.EndProgressLine();
    recorder.Flush();
    CCliHistory::Report(recorder, store.get(), options.verbose);
    return status;
}
} // namespace

int main(int argc, char **argv)
{
    return FinishProcess(Run(argc, argv));
}
