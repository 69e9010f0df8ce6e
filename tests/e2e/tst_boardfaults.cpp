// The board test's flash group on a faulty line: the simulated bare board on
// a real pseudo-terminal and behind the loopback gateway, with lost requests
// and replies, garbled requests and replies, a slow board and a board that
// goes away in the middle. Each run ends as the clean run does (the group
// passed, the same flash words) or fails the group with a message; a group
// that passes with other flash words is what this table is here to catch.
//
// The runs go side by side in this process, each its own simulator and
// document on the event loop. The group is some 8000 exchanges, one after
// the other, so a slow board is left to the command-line table (at 200 ms an
// exchange this group would take half an hour), and the link's reply periods
// are cut so that 400 lost replies cost seconds, not minutes.
#include "AgreeingOperator.h"
#include "SimRig.h"
#include "boardtest/BoardTestSequence.h"
#include "boardtest/EngineDownload.h"
#include "platform/Preferences.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

namespace {

constexpr int RunTimeoutMs = 100000;

// Answers every question Yes and watches the messages; the flash group asks
// nothing of the test box.
using Operator = AgreeingOperator;

struct Fault
{
    const char *name;
    SimOptions options;
};

QList<Fault> Faults()
{
    auto with = [](auto set) {
        SimOptions o;
        set(o);
        return o;
    };
    return {
        {"none", {}},
        {"drop 0.05", with([](SimOptions &o) { o.dropProbability = 0.05; })},
        {"garble 0.01", with([](SimOptions &o) { o.garbleProbability = 0.01; })},
        {"drop-reply 0.05", with([](SimOptions &o) { o.replyDropProbability = 0.05; })},
        {"garble-request 0.01", with([](SimOptions &o) { o.requestGarbleProbability = 0.01; })},
        {"ended", {}}, // the board goes after half the clean run's requests
    };
}

struct Run
{
    QString transport;
    Fault fault;
    quint32 seed = 1;

    std::unique_ptr<CSimulator> sim;
    std::unique_ptr<Operator> op;
    std::unique_ptr<CInstrumentDoc> doc;
    std::unique_ptr<CEngineDownload> download;
    std::unique_ptr<CBoardTestSequence> test;
    QString setupError;
    bool done = false;
    int groupState = CBoardTestTree::NotRun;
    QStringList failedLeaves;
    QList<quint16> words;
    quint64 requests = 0;
    qint64 elapsedMs = 0;
    QElapsedTimer clock;

    QString Name() const { return QStringLiteral("%1 flash group %2 seed %3").arg(transport, QLatin1String(fault.name)).arg(seed); }
    bool Clean() const { return qstrcmp(fault.name, "none") == 0; }
    bool Ends() const { return qstrcmp(fault.name, "ended") == 0; }
};

// The words the flash group leaves, without the stamp the board's own
// firmware gets (serial number, date and the checksum over them).
QList<quint16> FlashWords(const CSimInstrument &board)
{
    QList<quint16> words;
    words.reserve(int(SimMap::WordCount));
    for (quint32 w = 0; w < SimMap::WordCount; ++w) {
        const bool stamp = w == SimMap::ChecksumWord || (w >= SimMap::SerialWord && w < SimMap::SerialWord + 4);
        words.append(stamp ? 0 : board.Word(w));
    }
    return words;
}

} // namespace

class TestBoardFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void flashGroup_data();
    void flashGroup();

private:
    void Start(Run &run, quint64 endAfter);
    void Finish(Run &run);
    const Run *CleanOf(const Run &run) const;

    QTemporaryDir m_settings;
    std::vector<std::unique_ptr<Run>> m_runs;
};

void TestBoardFaults::initTestCase()
{
    UseTemporarySettings(m_settings);
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("FlashTestFile"),
                            QFINDTESTDATA("../../src/resources/firmware/flashtst.hex"));
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("BoardTestFile"),
                            QFINDTESTDATA("../../src/resources/firmware/mustprog.hex"));
    for (const QString &transport : {QStringLiteral("pty"), QStringLiteral("gateway")}) {
        for (const Fault &fault : Faults()) {
            auto run = std::make_unique<Run>();
            run->transport = transport;
            run->fault = fault;
            run->seed = transport == QLatin1String("pty") ? 1 : 2;
            m_runs.push_back(std::move(run));
        }
    }
    // The clean runs first: an ended run needs their length.
    for (auto &run : m_runs) {
        if (run->Clean())
            Start(*run, 0);
    }
    WaitUntil([this] { return std::all_of(m_runs.begin(), m_runs.end(), [](const auto &r) { return !r->Clean() || r->done; }); },
              RunTimeoutMs);
    for (auto &run : m_runs) {
        if (!run->Clean()) {
            const Run *clean = CleanOf(*run);
            Start(*run, run->Ends() ? qMax<quint64>(2, clean ? clean->requests / 2 : 100) : 0);
        }
    }
    WaitUntil([this] { return std::all_of(m_runs.begin(), m_runs.end(), [](const auto &r) { return r->done; }); }, RunTimeoutMs);
    for (auto &run : m_runs) {
        if (!run->done)
            Finish(*run);
    }
}

void TestBoardFaults::cleanupTestCase()
{
    QString summary = QStringLiteral("\n");
    for (const auto &r : m_runs) {
        summary += QStringLiteral("%1  %2  %3 requests  %4 s  %5\n")
                       .arg(r->Name(), -44)
                       .arg(r->groupState == CBoardTestTree::Passed ? QStringLiteral("passed") : QStringLiteral("failed"))
                       .arg(r->requests, 6)
                       .arg(double(r->elapsedMs) / 1000.0, 5, 'f', 1)
                       .arg(r->failedLeaves.join(QLatin1String(", ")) + QLatin1String(" / ")
                            + (r->op ? r->op->messages.join(QLatin1String(", ")) : QString()));
    }
    qInfo().noquote() << summary;
    m_runs.clear();
}

void TestBoardFaults::Start(Run &run, quint64 endAfter)
{
    SimOptions options = run.fault.options;
    options.seed = run.seed;
    options.endAfterRequests = endAfter;
    run.sim = std::make_unique<CSimulator>(options);
    CSimInstrument &board = run.sim->Instrument();
    for (int s = 0; s < SimMap::SectorCount; ++s)
        board.EraseSector(s);
    run.op = std::make_unique<Operator>();
    run.doc = std::make_unique<CInstrumentDoc>(CClock::System(), run.op.get());
    QString error;
    bool open = false;
    if (run.transport == QLatin1String("pty")) {
        const QString path = run.sim->OpenPty(&error);
        open = !path.isEmpty() && run.doc->Link().OpenSerialDevice(path) == 1;
        // Queued: the board goes while the simulator is still inside its
        // own handling of the request.
        QObject::connect(run.sim.get(), &CSimulator::Ended, run.sim.get(), [&run] { run.sim->ClosePty(); }, Qt::QueuedConnection);
    } else {
        open = run.sim->StartGateway(&error) && run.doc->Link().OpenGateway(QStringLiteral("127.0.0.1"), run.sim->GatewayTcpPort()) == 1;
        QObject::connect(run.sim.get(), &CSimulator::Ended, run.sim.get(), [&run] { run.sim->StopGateway(); }, Qt::QueuedConnection);
    }
    if (!open) {
        run.setupError = error + run.doc->Link().LastError();
        run.done = true;
        return;
    }
    // A lost reply costs one reply period; shorter ones keep the table
    // quick, still well above what the simulator takes to answer.
    run.doc->Link().SetReplyPeriods(40, 80);

    run.download = std::make_unique<CEngineDownload>(*run.doc, run.op.get());
    run.test = std::make_unique<CBoardTestSequence>(*run.doc, run.op.get());
    run.test->SetLimitsFile(QFINDTESTDATA("../../src/resources/boardtest/PCBTest.ini"));
    run.test->SetDownload(run.download.get());
    // The group ends where the next one starts.
    QObject::connect(run.test.get(), &CBoardTestSequence::GroupStarted, this, [this, &run](int group) {
        if (group != CBoardTestTree::Flash)
            QTimer::singleShot(0, this, [this, &run] { Finish(run); });
    });
    QObject::connect(run.test.get(), &CBoardTestSequence::Finished, this,
                     [this, &run] { QTimer::singleShot(0, this, [this, &run] { Finish(run); }); });
    run.clock.start();
    run.test->Start(CBoardTestTree::Flash);
}

void TestBoardFaults::Finish(Run &run)
{
    if (run.done)
        return;
    run.done = true;
    run.elapsedMs = run.clock.elapsed();
    if (run.test) {
        const CBoardTestTree &tree = run.test->Tree();
        run.groupState = tree.At(tree.GroupNode(CBoardTestTree::Flash)).state;
        for (int leaf : tree.Leaves(CBoardTestTree::Flash)) {
            if (tree.At(leaf).state == CBoardTestTree::Failed)
                run.failedLeaves.append(tree.PathOf(leaf));
        }
    }
    run.requests = run.sim->Counters().requests;
    run.words = FlashWords(run.sim->Instrument());
    // Everything goes at once: the sequence, then the document and its link,
    // then the board.
    run.test.reset();
    run.download.reset();
    run.doc.reset();
    run.sim->ClosePty();
    run.sim->StopGateway();
}

const Run *TestBoardFaults::CleanOf(const Run &run) const
{
    for (const auto &r : m_runs) {
        if (r->Clean() && r->transport == run.transport)
            return r.get();
    }
    return nullptr;
}

void TestBoardFaults::flashGroup_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(m_runs.size()); ++i)
        QTest::newRow(qPrintable(m_runs[size_t(i)]->Name())) << i;
}

void TestBoardFaults::flashGroup()
{
    QFETCH(int, index);
    const Run &r = *m_runs[size_t(index)];
    const QString evidence = QStringLiteral("failed: %1\nmessages: %2")
                                 .arg(r.failedLeaves.join(QLatin1String(", ")), r.op ? r.op->messages.join(QLatin1String(" | ")) : QString());
    QVERIFY2(r.setupError.isEmpty(), qPrintable(r.setupError));
    QVERIFY2(r.elapsedMs < RunTimeoutMs || r.groupState != CBoardTestTree::Running, "the group did not end in time");
    if (r.Clean()) {
        QVERIFY2(r.groupState == CBoardTestTree::Passed, qPrintable(evidence));
        return;
    }
    const Run *clean = CleanOf(r);
    QVERIFY(clean && clean->groupState == CBoardTestTree::Passed);
    if (r.groupState != CBoardTestTree::Passed) {
        // A clear failure: the group failed and the operator was told.
        QVERIFY2(r.groupState == CBoardTestTree::Failed && !r.op->messages.isEmpty(), qPrintable(evidence));
        return;
    }
    if (r.Ends())
        QFAIL(qPrintable(QStringLiteral("passed although the board was gone after %1 requests").arg(clean->requests / 2)));
    for (int w = 0; w < r.words.size(); ++w) {
        if (r.words[w] != clean->words[w])
            QFAIL(qPrintable(QStringLiteral("the group passed, but word %1 holds %2 where the clean run left %3")
                                 .arg(w, 5, 16, QLatin1Char('0'))
                                 .arg(r.words[w], 4, 16, QLatin1Char('0'))
                                 .arg(clean->words[w], 4, 16, QLatin1Char('0'))));
    }
}

QTEST_GUILESS_MAIN(TestBoardFaults)
#include "tst_boardfaults.moc"
