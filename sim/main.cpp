// altavo-sim: the simulated instrument on a pseudo-terminal or a loopback gateway.
#include "SimPty.h"
#include "Simulator.h"
#include "platform/ProcessEnd.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstdio>

namespace {
volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

int Fail(const QString &message)
{
    std::fprintf(stderr, "altavo-sim: %s\n", qPrintable(message));
    return 1;
}

void Print(const QString &line)
{
    // Scripts wait for these lines, so they go out at once.
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

bool ParseNumber(const QCommandLineParser &parser, const QString &name, qint64 low, qint64 high, qint64 &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toLongLong(&ok);
    return ok && value >= low && value <= high;
}

bool ParseChance(const QCommandLineParser &parser, const QString &name, double &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toDouble(&ok);
    return ok && value >= 0.0 && value <= 1.0;
}
// The memories as they stand, one per line in hexadecimal: "timekeeper",
// "ram", "id N" for each ID entry, "words" (four digits a word from word 0).
QByteArray MemoryText(const CSimInstrument &instrument)
{
    QByteArray text = "timekeeper " + instrument.TimeKeeper().toHex() + '\n';
    text += "ram " + instrument.Ram(0, SimMap::RamSize).toHex() + '\n';
    for (int i = 1; i <= SimMap::IdEntryCount; ++i)
        text += "id " + QByteArray::number(i) + ' ' + instrument.IdEntry(i).toHex() + '\n';
    QByteArray words;
    words.reserve(qsizetype(SimMap::WordCount) * 4);
    for (quint32 w = 0; w < SimMap::WordCount; ++w)
        words += QByteArray::number(instrument.Word(w) | 0x10000, 16).mid(1);
    return text + "words " + words + '\n';
}
int Run(int argc, char **argv)
{
    // Installed first: a script may stop the simulator as soon as it has
    // read the line it waited for.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("altavo-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated multi-gas detector for Altavo View. Serves a pseudo-terminal (the default) and/or a "
        "network gateway on 127.0.0.1, and prints \"pty: PATH\" and \"gateway: 127.0.0.1 tcp N udp M\" "
        "when ready. Runs until interrupted."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("pty"), QStringLiteral("Serve a pseudo-terminal (default when --gateway is not given).")},
        {QStringLiteral("gateway"), QStringLiteral("Serve the network gateway on 127.0.0.1.")},
        {QStringLiteral("tcp-port"), QStringLiteral("TCP port of the gateway query (0: any free port)."), QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("udp-port"), QStringLiteral("UDP port of the gateway datagrams (0: any free port)."), QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("baud"), QStringLiteral("Pace characters as a line at N baud, 8N1 (0: no pacing)."), QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("drop"), QStringLiteral("Chance 0..1 that a request is lost on its way: the instrument never acts on it."), QStringLiteral("P"), QStringLiteral("0")},
        {QStringLiteral("garble"), QStringLiteral("Chance 0..1 that a reply has one character garbled."), QStringLiteral("P"), QStringLiteral("0")},
        {QStringLiteral("drop-reply"), QStringLiteral("Chance 0..1 that a reply is lost after the instrument acted on the request."), QStringLiteral("P"), QStringLiteral("0")},
        {QStringLiteral("garble-request"), QStringLiteral("Chance 0..1 that a request arrives with one character garbled."), QStringLiteral("P"), QStringLiteral("0")},
        {QStringLiteral("end-after"), QStringLiteral("Answer N requests, then exit at once, as an instrument switched off mid-operation."), QStringLiteral("N")},
        {QStringLiteral("latency"), QStringLiteral("Delay before each reply, in milliseconds."), QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the faults, the sensor readings and a generated log."), QStringLiteral("S"), QStringLiteral("1")},
        {QStringLiteral("log-records"),
         QStringLiteral("Hold a data log of N records made from the seed, ending near the present, instead of the short "
                        "demonstration log."),
         QStringLiteral("N")},
        {QStringLiteral("log-overlap"),
         QStringLiteral("With --log-records: set the instrument's clock back before the newest session, so that the session "
                        "before it runs on until S seconds after the newest started."),
         QStringLiteral("S")},
        {QStringLiteral("serial-number"),
         QStringLiteral("The instrument's serial number, 1..4294967294 (decimal, or hex with 0x), so several simulators "
                        "show a fleet."),
         QStringLiteral("N")},
        {QStringLiteral("clock"),
         QStringLiteral("Hold the instrument's time still at T (local time, yyyy-MM-ddTHH:mm:ss), so that runs repeat exactly."),
         QStringLiteral("T")},
        {QStringLiteral("save-memory"),
         QStringLiteral("When stopped by SIGINT or SIGTERM, write the instrument's memories to FILE as text."),
         QStringLiteral("FILE")},
        {QStringLiteral("trace"), QStringLiteral("Print every request and reply on standard error.")},
        {QStringLiteral("turnaround"),
         QStringLiteral("On exit, print on standard error the program's turnaround as the line saw it: from the last "
                        "character of a reply to the first of the next request.")},
        {QStringLiteral("board-test"),
         QStringLiteral("Play a bare main board in its test box: the flash sectors start erased.")},
        {QStringLiteral("board-fault"),
         QStringLiteral("Put a fault on the board for the board test: %1 (repeat or join with commas for several).")
             .arg(SimBoardFaults::Names().join(QStringLiteral(", "))),
         QStringLiteral("FAULT")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().first()));

    SimOptions options;
    qint64 tcpPort = 0, udpPort = 0, baud = 0, latency = 0, seed = 1, logRecords = 0, logOverlap = 0, endAfter = 0;
    if (!ParseNumber(parser, QStringLiteral("tcp-port"), 0, 65535, tcpPort))
        return Fail(QStringLiteral("--tcp-port takes a port number 0..65535"));
    if (!ParseNumber(parser, QStringLiteral("udp-port"), 0, 65535, udpPort))
        return Fail(QStringLiteral("--udp-port takes a port number 0..65535"));
    if (!ParseNumber(parser, QStringLiteral("baud"), 0, 10000000, baud))
        return Fail(QStringLiteral("--baud takes a rate 0..10000000"));
    if (!ParseNumber(parser, QStringLiteral("latency"), 0, 60000, latency))
        return Fail(QStringLiteral("--latency takes milliseconds 0..60000"));
    if (!ParseNumber(parser, QStringLiteral("seed"), 0, 0xFFFFFFFFll, seed))
        return Fail(QStringLiteral("--seed takes a number 0..4294967295"));
    if (!ParseNumber(parser, QStringLiteral("log-records"), 1, 2000000, logRecords))
        return Fail(QStringLiteral("--log-records takes a number of records 1..2000000"));
    if (!ParseNumber(parser, QStringLiteral("log-overlap"), 0, 30 * 86400, logOverlap))
        return Fail(QStringLiteral("--log-overlap takes seconds 0..2592000"));
    if (!ParseNumber(parser, QStringLiteral("end-after"), 1, 0x7FFFFFFFFFFFll, endAfter))
        return Fail(QStringLiteral("--end-after takes a number of requests 1 or more"));
    if (!ParseChance(parser, QStringLiteral("drop-reply"), options.replyDropProbability))
        return Fail(QStringLiteral("--drop-reply takes a probability 0..1"));
    if (!ParseChance(parser, QStringLiteral("garble-request"), options.requestGarbleProbability))
        return Fail(QStringLiteral("--garble-request takes a probability 0..1"));
    if (!ParseChance(parser, QStringLiteral("drop"), options.dropProbability))
        return Fail(QStringLiteral("--drop takes a probability 0..1"));
    if (!ParseChance(parser, QStringLiteral("garble"), options.garbleProbability))
        return Fail(QStringLiteral("--garble takes a probability 0..1"));
    options.baud = int(baud);
    // In a process of its own the line may sleep out the gaps between
    // characters.
    options.precisePacing = true;
    CSimPty::SharpenSleeps();
    options.latencyMs = int(latency);
    options.seed = quint32(seed);
    options.logRecords = int(logRecords);
    options.logOverlapSeconds = int(logOverlap);
    if (parser.isSet(QStringLiteral("serial-number"))) {
        bool ok = false;
        const qulonglong serial = parser.value(QStringLiteral("serial-number")).toULongLong(&ok, 0);
        // All ones is what an erased instrument reads as.
        if (!ok || serial == 0 || serial >= 0xFFFFFFFFull)
            return Fail(QStringLiteral("--serial-number takes a number 1..4294967294 (or 0x1..0xFFFFFFFE)"));
        options.serialNumber = quint32(serial);
    }
    options.endAfterRequests = quint64(endAfter);
    if (parser.isSet(QStringLiteral("clock"))) {
        const QDateTime at = QDateTime::fromString(parser.value(QStringLiteral("clock")), Qt::ISODate);
        if (!at.isValid())
            return Fail(QStringLiteral("--clock takes a local time as yyyy-MM-ddTHH:mm:ss"));
        options.now = [at] { return at; };
    }
    SimBoardFaults boardFaults;
    for (const QString &value : parser.values(QStringLiteral("board-fault"))) {
        QString bad;
        if (!SimBoardFaults::Parse(value, boardFaults, &bad))
            return Fail(QStringLiteral("--board-fault takes %1, not \"%2\"").arg(SimBoardFaults::Names().join(QStringLiteral(", ")), bad));
    }

#ifdef Q_OS_UNIX
    const bool gateway = parser.isSet(QStringLiteral("gateway"));
    const bool pty = parser.isSet(QStringLiteral("pty")) || !gateway;
#else
    // No pseudo-terminals here: the gateway is the simulator's line.
    if (parser.isSet(QStringLiteral("pty")))
        return Fail(QStringLiteral("--pty needs pseudo-terminals, which this system lacks; use --gateway"));
    const bool gateway = true;
    const bool pty = false;
#endif

    CSimulator simulator(options);
    simulator.Instrument().TestBox().SetFaults(boardFaults);
    if (parser.isSet(QStringLiteral("board-test")) || boardFaults.Any()) {
        for (int s = 0; s < SimMap::SectorCount; ++s)
            simulator.Instrument().EraseSector(s);
    }
    if (parser.isSet(QStringLiteral("trace"))) {
        QObject::connect(&simulator, &CSimulator::FaultInjected, [](const QString &what) {
            std::fprintf(stderr, "!! %s\n", qPrintable(what));
        });
        QObject::connect(&simulator, &CSimulator::RequestServed, [](const QByteArray &request, const QByteArray &reply) {
            std::fprintf(stderr, "-> %s\n<- %s\n", request.toPercentEncoding(":!?").constData(),
                         reply.isEmpty() ? "(dropped)" : reply.toPercentEncoding(":#$%*!?|").constData());
        });
    }
    // Gone at once, the way a unit loses its power: no goodbye on the line.
    QObject::connect(&simulator, &CSimulator::Ended, &app, [] {
        std::fprintf(stderr, "altavo-sim: ended after the requests --end-after allowed\n");
        std::fflush(stderr);
        std::_Exit(0);
    }, Qt::QueuedConnection);

    if (pty) {
        QString error;
        const QString path = simulator.OpenPty(&error);
        if (path.isEmpty())
            return Fail(error);
        Print(QStringLiteral("pty: %1").arg(path));
    }
    if (gateway) {
        QString error;
        if (!simulator.StartGateway(&error, quint16(tcpPort), quint16(udpPort)))
            return Fail(error);
        Print(QStringLiteral("gateway: 127.0.0.1 tcp %1 udp %2").arg(simulator.GatewayTcpPort()).arg(simulator.GatewayUdpPort()));
    }

    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &app, [] {
        if (g_stop)
            QCoreApplication::quit();
    });
    stopCheck.start(100);
    const int status = app.exec();
    if (parser.isSet(QStringLiteral("turnaround"))) {
        QList<qint64> ns = simulator.Turnarounds();
        std::sort(ns.begin(), ns.end());
        if (!ns.isEmpty())
            std::fprintf(stderr, "turnaround: %lld exchanges, median %.0f us, 99th %.0f us, %lld over 1 ms\n",
                         static_cast<long long>(ns.size()), ns[ns.size() / 2] * 1e-3,
                         ns[std::min(ns.size() - 1, ns.size() * 99 / 100)] * 1e-3,
                         static_cast<long long>(std::count_if(ns.begin(), ns.end(), [](qint64 v) { return v > 1000000; })));
    }
    simulator.ClosePty();
    simulator.StopGateway();
    if (parser.isSet(QStringLiteral("save-memory"))) {
        const QString path = parser.value(QStringLiteral("save-memory"));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(MemoryText(simulator.Instrument())) < 0 || !file.commit())
            return Fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    }
    return status;
}
} // namespace

int main(int argc, char **argv)
{
    return FinishProcess(Run(argc, argv));
}
