// Every operation of altavo-cli on a faulty line: against altavo-sim on a
// pseudo-terminal and over the loopback gateway, an upload, a download with
// read-back, a log fetch and a firmware run, each with no fault, lost
// requests, lost replies, garbled requests and replies, a slow instrument
// and an instrument gone in the middle. Each run ends with exactly the clean
// run's result or fails with a non-zero status and a message; a run that
// succeeds with another result is what this table is here to catch.
//
// The cells run side by side (each its own simulator and program, mostly
// waiting for replies), so the table takes about as long as its slowest cell.
#include "HexText.h"
#include "ProgramRuns.h"
#include "Simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The instrument's clock stands still here, so that every run sees the same
// log, the same clock registers and the same readings.
const QString InstrumentClock = QStringLiteral("2026-03-17T10:15:00");
constexpr int LogRecords = 150;
constexpr int Parallel = 12;
constexpr int CellTimeoutMs = 110000;

struct Fault
{
    const char *name;
    QStringList args;
    bool seeded; // run over several seeds
};

const QList<Fault> &Faults()
{
    // The clean run goes over every seed too: the seed also makes the
    // generated log and the sensors' wandering.
    static const QList<Fault> faults = {
        {"none", {}, true},
        {"drop 0.05", {"--drop", "0.05"}, true},
        {"garble 0.01", {"--garble", "0.01"}, true},
        {"drop-reply 0.05", {"--drop-reply", "0.05"}, true},
        {"garble-request 0.01", {"--garble-request", "0.01"}, true},
        {"latency 200", {"--latency", "200"}, false},
        {"ended", {}, false}, // --end-after half the clean run's requests
    };
    return faults;
}

const QStringList Operations = {QStringLiteral("upload"), QStringLiteral("download"), QStringLiteral("log"),
                                QStringLiteral("program")};

QList<quint32> SeedsFor(const QString &transport, bool seeded)
{
    if (!seeded)
        return {1};
    return transport == QLatin1String("pty") ? QList<quint32>{1, 2, 3} : QList<quint32>{1, 2};
}

struct Cell
{
    QString operation;
    QString transport; // "pty" or "gateway"
    Fault fault;
    quint32 seed = 1;

    // What happened.
    bool started = false;
    bool finished = false;
    bool timedOut = false;
    QString setupError;
    quint64 endAfter = 0;
    CliRun run;
    QByteArray simTrace;
    QByteArray product; // the result the clean run must match
    quint64 requests = 0;
    qint64 elapsedMs = 0;

    QString Name() const
    {
        return QStringLiteral("%1 %2 %3 seed %4").arg(transport, operation, QLatin1String(fault.name)).arg(seed);
    }
    bool Clean() const { return qstrcmp(fault.name, "none") == 0; }
    bool Ends() const { return qstrcmp(fault.name, "ended") == 0; }
};

using Blocks = HexWordBlocks;

// A firmware image for the simulated instrument: its boot-loader words to
// compare, code below the first sector, in the code sector and in bank 1.
Blocks Firmware()
{
    const CSimInstrument model;
    QList<quint16> boot;
    for (quint32 w = 0; w < 64; ++w)
        boot.append(model.Word(w));
    QList<quint16> low, code;
    for (int i = 0; i < 2400; ++i)
        low.append(quint16(0x3000 + 13 * i));
    for (int i = 0; i < 400; ++i)
        code.append(quint16(0x9100 ^ (i * 0x0101)));
    return {{0x0000, boot}, {0x4000, low}, {0x8000, code}, {0x9000, {0xC0DE}}};
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// One line of the simulator's memory file ("timekeeper ...", "id 7 ...").
QByteArray MemoryLines(const QByteArray &memory, const QByteArray &prefix)
{
    QByteArray lines;
    for (const QByteArray &line : memory.split('\n')) {
        if (line.startsWith(prefix))
            lines += line + '\n';
    }
    return lines;
}

// The word memory with the programming run's own stamp (the date and the
// checksum that covers it) left out: those follow the computer's clock.
QByteArray FlashWords(const QByteArray &memory)
{
    QByteArray words = MemoryLines(memory, "words ").mid(6).trimmed();
    if (words.size() < 4 * 0xC008)
        return {};
    for (quint32 w : {SimMap::ChecksumWord, SimMap::DateWord, SimMap::DateWord + 1})
        words.replace(qsizetype(w) * 4, 4, "....");
    return words;
}

// Where two results part, for the failure message.
QString FirstDifference(const QByteArray &got, const QByteArray &wanted, bool words)
{
    qsizetype at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at])
        ++at;
    if (words) {
        const qsizetype word = at / 4;
        return QStringLiteral("word %1 holds %2 where the clean run left %3")
            .arg(word, 5, 16, QLatin1Char('0'))
            .arg(QString::fromLatin1(got.mid(word * 4, 4)), QString::fromLatin1(wanted.mid(word * 4, 4)));
    }
    const qsizetype lineStart = got.lastIndexOf('\n', at - 1) + 1;
    const qsizetype wantedStart = wanted.lastIndexOf('\n', at - 1) + 1;
    const auto line = [](const QByteArray &b, qsizetype from) {
        const qsizetype end = b.indexOf('\n', from);
        return QString::fromLatin1(b.mid(from, (end < 0 ? b.size() : end) - from)).trimmed().left(200);
    };
    return QStringLiteral("line %1 reads \"%2\" where the clean run has \"%3\"")
        .arg(got.left(lineStart).count('\n') + 1)
        .arg(line(got, lineStart), line(wanted, wantedStart));
}

// Runs the cells side by side, each its own altavo-sim and altavo-cli.
class CTable
{
public:
    explicit CTable(const QString &dir) : m_dir(dir) {}

    std::vector<std::unique_ptr<Cell>> cells;

    void Run()
    {
        QElapsedTimer clock;
        clock.start();
        StartWhatCan();
        QTimer tick; // wakes the wait below now and then
        tick.start(100);
        while (std::any_of(cells.begin(), cells.end(), [](const auto &c) { return !c->finished; })) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            // Nothing runs and nothing more can start: what is left waits
            // for a clean run that failed.
            if (m_running == 0 || clock.elapsed() > 4 * CellTimeoutMs)
                break;
        }
    }

    const Cell *CleanOf(const Cell &cell) const
    {
        for (const auto &c : cells) {
            if (c->Clean() && c->operation == cell.operation && c->transport == cell.transport && c->seed == cell.seed)
                return c.get();
        }
        return nullptr;
    }

    QString Firmware() const { return m_dir + QStringLiteral("/fw.hex"); }
    QString Edited() const { return m_dir + QStringLiteral("/edited.kvo"); }

private:
    // A cell may start once what it needs is there: a download needs the
    // clean upload's file to edit, an ended run the clean run's length.
    bool CanStart(const Cell &c) const
    {
        if (c.Clean() && c.operation != QLatin1String("download"))
            return true;
        const Cell *clean = CleanOf(c);
        if (c.operation == QLatin1String("download") && !QFile::exists(Edited())) {
            for (const auto &u : cells) {
                if (u->Clean() && u->operation == QLatin1String("upload") && u->transport == QLatin1String("pty") && u->seed == 1)
                    return u->finished;
            }
            return false;
        }
        if (c.Ends())
            return clean && clean->finished;
        return true;
    }

    void StartWhatCan()
    {
        // The slow instrument's cells take longest (each exchange waits
        // 200 ms): they go first, so the table takes about as long as they do.
        for (const bool slow : {true, false}) {
            for (auto &c : cells) {
                if (m_running >= Parallel)
                    return;
                if (!c->started && c->fault.args.contains(QLatin1String("--latency")) == slow && CanStart(*c))
                    Start(*c);
            }
        }
    }

    void Finish(Cell &c)
    {
        if (c.finished)
            return;
        c.finished = true;
        --m_running;
        if (c.Clean() && c.operation == QLatin1String("upload") && c.transport == QLatin1String("pty") && c.seed == 1)
            MakeEditedFile(c);
        StartWhatCan();
    }

    void MakeEditedFile(const Cell &upload)
    {
        // Other alarm levels and another name: a download that changes the
        // instrument, so a lost or wrong write shows.
        QByteArray bytes = upload.product;
        const qsizetype high = bytes.indexOf("HighAlarm2=");
        const qsizetype id = bytes.indexOf("InstrumentID=");
        if (high < 0 || id < 0)
            return;
        bytes.replace(high, bytes.indexOf('\r', high) - high, "HighAlarm2=22");
        const qsizetype id2 = bytes.indexOf("InstrumentID=");
        bytes.replace(id2, bytes.indexOf('\r', id2) - id2, "InstrumentID=FAULT TABLE 7");
        const qsizetype warn = bytes.indexOf("WarningAlarm3=");
        if (warn >= 0)
            bytes.replace(warn, bytes.indexOf('\r', warn) - warn, "WarningAlarm3=20");
        WriteFile(Edited(), bytes);
    }

    void Start(Cell &c)
    {
        c.started = true;
        ++m_running;
        const QString cellDir = m_dir + QStringLiteral("/cell%1").arg(m_next++);
        QDir().mkpath(cellDir);
        const QString memory = cellDir + QStringLiteral("/memory.txt");
        QStringList args{c.transport == QLatin1String("pty") ? QStringLiteral("--pty") : QStringLiteral("--gateway"),
                         QStringLiteral("--clock"), InstrumentClock, QStringLiteral("--seed"), QString::number(c.seed),
                         QStringLiteral("--save-memory"), memory, QStringLiteral("--trace")};
        if (c.operation == QLatin1String("log"))
            args << QStringLiteral("--log-records") << QString::number(LogRecords);
        args += c.fault.args;
        if (c.Ends()) {
            const Cell *clean = CleanOf(c);
            c.endAfter = clean ? qMax<quint64>(2, clean->requests / 2) : 20;
            args << QStringLiteral("--end-after") << QString::number(c.endAfter);
        }

        auto *timer = new QElapsedTimer;
        timer->start();
        auto *sim = new QProcess;
        auto *cli = new QProcess;
        auto *watchdog = new QTimer;
        watchdog->setSingleShot(true);
        auto address = std::make_shared<QString>();
        auto out = std::make_shared<QByteArray>();
        auto cleanupAll = [sim, cli, watchdog, timer] {
            watchdog->deleteLater();
            cli->deleteLater();
            sim->deleteLater();
            delete timer;
        };

        QObject::connect(watchdog, &QTimer::timeout, sim, [&c, sim, cli] {
            c.timedOut = true;
            cli->kill();
            sim->kill();
        });
        QObject::connect(sim, &QProcess::readyReadStandardError, sim, [&c, sim] { c.simTrace += sim->readAllStandardError(); });
        QObject::connect(sim, &QProcess::readyReadStandardOutput, sim, [this, &c, sim, cli, out, address, cellDir] {
            *out += sim->readAllStandardOutput();
            if (!address->isEmpty())
                return;
            static const QRegularExpression pty(QStringLiteral("pty: (\\S+)"));
            static const QRegularExpression gateway(QStringLiteral("gateway: (\\S+) tcp (\\d+)"));
            const QString text = QString::fromLocal8Bit(*out);
            QRegularExpressionMatch m = (c.transport == QLatin1String("pty") ? pty : gateway).match(text);
            if (!m.hasMatch())
                return;
            *address = c.transport == QLatin1String("pty") ? m.captured(1) : m.captured(1) + QLatin1Char(':') + m.captured(2);
            StartCli(c, *cli, *address, cellDir);
        });
        // The cell ends when both programs have: the program on its own, the
        // simulator when told to (or when it was ended mid-operation).
        auto finalize = [this, &c, sim, cli, timer, memory, cellDir, address, cleanupAll] {
            if (sim->state() != QProcess::NotRunning || cli->state() != QProcess::NotRunning || c.finished)
                return;
            if (address->isEmpty())
                c.setupError = QStringLiteral("the simulator did not get ready:\n") + QString::fromLocal8Bit(c.simTrace);
            c.requests = quint64(c.simTrace.count("\n-> ") + (c.simTrace.startsWith("-> ") ? 1 : 0));
            c.product = Product(c, ReadFile(memory), cellDir);
            // Both sides of the wire, for a look at a cell kept with ALTAVO_FAULT_KEEP.
            WriteFile(cellDir + QStringLiteral("/sim-trace.txt"), c.simTrace);
            WriteFile(cellDir + QStringLiteral("/cli-stderr.txt"), c.run.err.toLocal8Bit());
            WriteFile(cellDir + QStringLiteral("/cell.txt"), c.Name().toLocal8Bit());
            c.elapsedMs = timer->elapsed();
            cleanupAll();
            Finish(c);
        };
        QObject::connect(cli, &QProcess::finished, sim, [&c, sim, cli, finalize](int code, QProcess::ExitStatus status) {
            c.run.status = status == QProcess::NormalExit ? code : -1;
            c.run.out += QString::fromLocal8Bit(cli->readAllStandardOutput());
            c.run.err += QString::fromLocal8Bit(cli->readAllStandardError());
            if (sim->state() != QProcess::NotRunning)
                sim->terminate();
            finalize();
        });
        QObject::connect(cli, &QProcess::readyReadStandardOutput, sim, [&c, cli] { c.run.out += QString::fromLocal8Bit(cli->readAllStandardOutput()); });
        QObject::connect(cli, &QProcess::readyReadStandardError, sim, [&c, cli] { c.run.err += QString::fromLocal8Bit(cli->readAllStandardError()); });
        QObject::connect(sim, &QProcess::finished, sim, [&c, sim, cli, address, finalize] {
            c.simTrace += sim->readAllStandardError();
            if (address->isEmpty() && cli->state() == QProcess::NotRunning)
                c.run.status = -1;
            finalize();
        });
        sim->start(qEnvironmentVariable("ALTAVO_SIM"), args);
        watchdog->start(CellTimeoutMs);
    }

    void StartCli(Cell &c, QProcess &cli, const QString &address, const QString &cellDir)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), cellDir); // serial numbers start at 1 in every cell
        cli.setProcessEnvironment(environment);
        cli.setStandardInputFile(QProcess::nullDevice());
        QStringList args = c.transport == QLatin1String("pty") ? QStringList{QStringLiteral("--serial"), address}
                                                               : QStringList{QStringLiteral("--gateway"), address};
        args << QStringLiteral("-v");
        if (c.operation == QLatin1String("upload"))
            args << QStringLiteral("upload") << QStringLiteral("--options") << cellDir + QStringLiteral("/upload.kvo");
        else if (c.operation == QLatin1String("download"))
            args << QStringLiteral("download") << QStringLiteral("--options") << Edited();
        else if (c.operation == QLatin1String("log"))
            args << QStringLiteral("log") << QStringLiteral("--csv") << cellDir + QStringLiteral("/log.csv");
        else
            args << QStringLiteral("program") << Firmware();
        cli.start(qEnvironmentVariable("ALTAVO_CLI"), args);
    }

    static QByteArray Product(const Cell &c, const QByteArray &memory, const QString &cellDir)
    {
        if (c.operation == QLatin1String("upload"))
            return ReadFile(cellDir + QStringLiteral("/upload.kvo"));
        if (c.operation == QLatin1String("log"))
            return ReadFile(cellDir + QStringLiteral("/log.csv"));
        if (memory.isEmpty())
            return {};
        if (c.operation == QLatin1String("download"))
            return MemoryLines(memory, "timekeeper ") + MemoryLines(memory, "id ") + MemoryLines(memory, "words ");
        return FlashWords(memory);
    }

    QString m_dir;
    int m_running = 0;
    int m_next = 0;
};

} // namespace

class TestFaultTable : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cell_data();
    void cell();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CTable> m_table;
};

void TestFaultTable::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ALTAVO_SIM") || qEnvironmentVariableIsEmpty("ALTAVO_CLI"))
        QSKIP("ALTAVO_SIM and ALTAVO_CLI name the programs; run through ctest");
    QVERIFY(m_dir.isValid());
    if (qEnvironmentVariableIsSet("ALTAVO_FAULT_KEEP")) {
        // The cells' folders (traces, memories, files) stay for a look.
        m_dir.setAutoRemove(false);
        qInfo("cells kept in %s", qPrintable(m_dir.path()));
    }
    m_table = std::make_unique<CTable>(m_dir.path());
    QVERIFY(WriteFile(m_table->Firmware(), HexWordImage(Firmware())));
    // A pattern over the cell names, to rerun some cells by hand (the clean
    // ones always run: the others are compared with them).
    const QString only = qEnvironmentVariable("ALTAVO_FAULT_CELLS");
    for (const QString &transport : {QStringLiteral("pty"), QStringLiteral("gateway")}) {
        for (const QString &operation : Operations) {
            for (const Fault &fault : Faults()) {
                for (quint32 seed : SeedsFor(transport, fault.seeded)) {
                    auto cell = std::make_unique<Cell>();
                    cell->operation = operation;
                    cell->transport = transport;
                    cell->fault = fault;
                    cell->seed = seed;
                    if (!only.isEmpty() && !cell->Clean() && !cell->Name().contains(QRegularExpression(only)))
                        continue;
                    m_table->cells.push_back(std::move(cell));
                }
            }
        }
    }
    m_table->Run();
}

void TestFaultTable::cleanupTestCase()
{
    if (!m_table)
        return;
    // The whole table at a glance, for the log of a CI run.
    QString summary = QStringLiteral("\n");
    for (const auto &c : m_table->cells) {
        summary += QStringLiteral("%1  status %2  %3 requests  %4 s\n")
                       .arg(c->Name(), -42)
                       .arg(c->run.status, 2)
                       .arg(c->requests, 6)
                       .arg(double(c->elapsedMs) / 1000.0, 5, 'f', 1);
    }
    qInfo().noquote() << summary;
}

void TestFaultTable::cell_data()
{
    QTest::addColumn<int>("index");
    if (!m_table)
        return;
    for (int i = 0; i < int(m_table->cells.size()); ++i)
        QTest::newRow(qPrintable(m_table->cells[size_t(i)]->Name())) << i;
}

void TestFaultTable::cell()
{
    QFETCH(int, index);
    const Cell &c = *m_table->cells[size_t(index)];
    // The program's own messages, the end of its -v trace and of the
    // simulator's (the faults it put on the line are its "!! " lines).
    QStringList messages, wire;
    for (const QString &line : c.run.err.split(QLatin1Char('\n'))) {
        (line.startsWith(QLatin1String("> ")) || line.startsWith(QLatin1String("< ")) ? wire : messages).append(line);
    }
    QStringList faults;
    for (const QByteArray &line : c.simTrace.split('\n')) {
        if (line.startsWith("!! "))
            faults.append(QString::fromLatin1(line));
    }
    const QString evidence =
        QStringLiteral("status %1\nstdout:\n%2\nmessages:\n%3\nfaults put on the line:\n%4\nlast on the wire (altavo-cli -v):\n%5\n"
                       "last in the simulator's trace:\n%6")
            .arg(c.run.status)
            .arg(c.run.out.left(1500), messages.join(QLatin1Char('\n')).right(1500), faults.mid(0, 20).join(QLatin1Char('\n')),
                 wire.mid(qMax(0, int(wire.size()) - 16)).join(QLatin1Char('\n')), QString::fromLatin1(c.simTrace.right(800)));
    QVERIFY2(c.finished && !c.timedOut, qPrintable(QStringLiteral("the run did not end within %1 s\n").arg(CellTimeoutMs / 1000) + evidence));
    QVERIFY2(c.setupError.isEmpty(), qPrintable(c.setupError));
    if (c.Clean()) {
        QVERIFY2(c.run.status == 0, qPrintable(evidence));
        QVERIFY2(!c.product.isEmpty(), "the clean run left no result to compare with");
        return;
    }
    const Cell *clean = m_table->CleanOf(c);
    QVERIFY(clean && clean->run.status == 0 && !clean->product.isEmpty());
    if (c.run.status != 0) {
        // A clear failure: a status of its own and a message that says what.
        QVERIFY2(c.run.status > 0, qPrintable(QStringLiteral("the program did not exit normally\n") + evidence));
        // (A download that reads back other values lists them on stdout.)
        QVERIFY2(c.run.err.contains(QLatin1String("altavo-cli: ")) || c.run.out.contains(QLatin1String("NOT verified")),
                 qPrintable(QStringLiteral("failed without saying what failed\n") + evidence));
        return;
    }
    // Success must mean the clean run's result, exactly.
    const bool memoryProduct = c.operation == QLatin1String("download") || c.operation == QLatin1String("program");
    if (c.Ends() && memoryProduct)
        QFAIL(qPrintable(QStringLiteral("reported success although the instrument was gone after %1 of the clean run's %2 requests\n")
                             .arg(c.endAfter)
                             .arg(clean->requests)
                         + evidence));
    if (c.product != clean->product) {
        QFAIL(qPrintable(QStringLiteral("exit status 0 with a result other than the clean run's: %1\n")
                             .arg(FirstDifference(c.product, clean->product, c.operation == QLatin1String("program")))
                         + evidence));
    }
}

QTEST_GUILESS_MAIN(TestFaultTable)
#include "tst_faulttable.moc"
