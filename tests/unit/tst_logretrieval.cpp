// Fetching the data log through the document: the requests at each step, the entries, the progress, the sessions and the questions afterwards.
#include "SimDataLog.h"
#include "SimRig.h"
#include "datalog/LogRetrieval.h"
#include "document/InstrumentDoc.h"
#include "link/RecordTypes.h"
#include "platform/Clock.h"
#include "platform/UserPrompt.h"

#include "SimInstrument.h"
#include "SimReceiver.h"
#include "platform/PipeChannel.h"

#include <QSignalSpy>
#include <QtTest>
#include <set>

namespace {
// Answers the questions in turn and remembers them.
class CScriptedPrompt final : public IUserPrompt
{
public:
    QStringList asked;
    QList<bool> answers;
    void Message(const QString &, const QString &text, Icon) override { asked.append(text); }
    bool AskYesNo(const QString &, const QString &text) override
    {
        asked.append(text);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    bool AskOkCancel(const QString &c, const QString &t) override { return AskYesNo(c, t); }
};

QByteArray Bcd(const QList<int> &values)
{
    QByteArray b;
    for (int v : values)
        b.append(char((v / 10) << 4 | (v % 10)));
    return b;
}

const QDate Day(2004, 6, 15);

QByteArray Data(int h, int m, int s, quint16 co = 0)
{
    CSimDataLog::Sample sample;
    sample.toxic[0] = co;
    sample.battery = 26870;
    return CSimDataLog::DataRecord(QTime(h, m, s), sample);
}

QByteArray PowerOn(int h, int m, int s)
{
    return CSimDataLog::Event(QTime(h, m, s), 2, CSimDataLog::DateField(Day));
}

QByteArray Operator(int h, int m, int s, const QByteArray &name)
{
    return CSimDataLog::Event(QTime(h, m, s), 7, name.leftJustified(16, ' '));
}
} // namespace

class TestLogRetrieval : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void fetchesRecordByRecord();
    void repeatsOnlyAfterASilentTick();
    void ignoresProgrammingAndIdleNotices();
    void asksAfterUpload_data();
    void asksAfterUpload();
    void navigatesSessions();
    void fileWithoutToxicTableKeepsItsDivisors();
    void unpluggedMidLogKeepsWhatArrived();
    void lostRequestsAndRepliesNeitherSkipNorRepeat_data();
    void lostRequestsAndRepliesNeitherSkipNorRepeat();

private:
    // Requests queued since the last call, as record types.
    QList<int> Sent();
    void Reply(int type, const QByteArray &data, quint32 address = 0)
    {
        m_doc->OnLinkReply(0, type, address, int(data.size()), reinterpret_cast<const quint8 *>(data.constData()));
    }
    void Character(char c, int type) { m_doc->OnLinkReply(c, type, 0, 0, nullptr); }
    // Start, the clock at 15:00:00, the log status starting at 14:00:00, the "Z".
    void StartUpload();
    // Start, then the records and the end record.
    void Upload(const QList<QByteArray> &records);

    CManualClock m_clock;
    std::unique_ptr<CInstrumentDoc> m_doc;
    std::unique_ptr<CLogRetrieval> m_log;
    CScriptedPrompt m_prompt;
};

void TestLogRetrieval::init()
{
    m_doc = std::make_unique<CInstrumentDoc>(m_clock);
    m_log = std::make_unique<CLogRetrieval>(*m_doc);
    m_prompt = CScriptedPrompt();
}

void TestLogRetrieval::cleanup()
{
    m_log.reset();
    m_doc.reset();
}

QList<int> TestLogRetrieval::Sent()
{
    QList<int> types;
    for (const LinkRequest &r : m_doc->Link().InFlight())
        types.append(r.type);
    for (const LinkRequest &r : m_doc->Link().Pending())
        types.append(r.type);
    m_doc->Link().ClearQueues();
    return types;
}

void TestLogRetrieval::StartUpload()
{
    m_log->Start();
    Sent();
    Reply(RecordType::ReadTimeKeeper, Bcd({0, 0, 15, 0, 15, 6, 4}));
    Reply(RecordType::ReadLogStatus, Bcd({4, 6, 15, 14, 0, 0, 0}));
    Character('Z', RecordType::LogUploadStart);
    Sent();
}

void TestLogRetrieval::Upload(const QList<QByteArray> &records)
{
    StartUpload();
    for (const QByteArray &r : records)
        Reply(RecordType::WriteWords, r);
    Reply(RecordType::EndProgramming, {});
}

void TestLogRetrieval::fetchesRecordByRecord()
{
    QSignalSpy added(m_log.get(), &CLogRetrieval::EntriesAdded);
    m_log->Start();
    QVERIFY(m_log->StartPending());
    QCOMPARE(Sent(), (QList<int>{RecordType::ReadTimeKeeper, RecordType::ReadLogStatus}));

    // The clock registers: seconds, minutes, hours, weekday, day, month, year.
    Reply(RecordType::ReadTimeKeeper, Bcd({0, 0, 15, 0, 15, 6, 4}));
    Reply(RecordType::ReadLogStatus, Bcd({4, 6, 15, 14, 0, 0, 0}));
    QVERIFY(!m_log->StartPending());
    QVERIFY(m_log->Retrieving());
    QCOMPARE(Sent(), (QList<int>{RecordType::LogUploadStart}));
    const CTransferProgress &progress = m_doc->LogProgress();
    QVERIFY(progress.IsOpen());
    QCOMPARE(progress.Caption(), QStringLiteral("Uploading Log"));
    QCOMPARE(progress.Maximum(), 3600);

    Character('Z', RecordType::LogUploadStart);
    QCOMPARE(Sent(), (QList<int>{RecordType::LogNext}));
    QCOMPARE(m_log->Entries().size(), 1);
    QCOMPARE(m_log->Entries().at(0).kind, LogRecord::StartOfLog);
    QCOMPARE(m_log->Entries().at(0).time, QDateTime(Day, QTime(14, 0), Qt::UTC));

    QList<QByteArray> records{PowerOn(14, 0, 0), QByteArray(1, char(0x7F))}; // a filler adds no entry
    for (int i = 1; i <= 10; ++i)
        records.append(Data(14, 2 * i, 0, quint16(i)));
    for (const QByteArray &r : records) {
        Reply(RecordType::WriteWords, r);
        QCOMPARE(Sent(), (QList<int>{RecordType::LogNext}));
    }
    QCOMPARE(m_log->Entries().size(), 12);
    // The 11th entry (data at 14:18) moved the bar; the 12th did not.
    QCOMPARE(progress.Position(), 18 * 60);

    Reply(RecordType::EndProgramming, {});
    QVERIFY(!m_log->Retrieving());
    QVERIFY(!progress.IsOpen());
    QCOMPARE(m_log->Entries().constLast().kind, LogRecord::EndOfLog);
    QCOMPARE(m_log->Entries().constLast().time, QDateTime(Day, QTime(15, 0), Qt::UTC));
    QCOMPARE(m_log->Sessions().size(), 1);
    QCOMPARE(m_log->Sessions().at(0).first, 2);
    QCOMPARE(m_log->Sessions().at(0).dataCount, 10);
    QCOMPARE(m_log->CurrentSession(), 0);
    QVERIFY(Sent().isEmpty());

    int total = 0;
    for (const QList<QVariant> &call : added)
        total += call.at(1).toInt();
    QCOMPARE(total, m_log->Entries().size());
}

void TestLogRetrieval::repeatsOnlyAfterASilentTick()
{
    StartUpload();
    m_doc->UpdateAllViews(UpdateCode::Poll);       // the "Z" reply counts as nothing arrived
    QCOMPARE(Sent(), (QList<int>{RecordType::LogRepeat}));
    Reply(RecordType::WriteWords, Data(14, 1, 0));
    Sent();
    m_doc->UpdateAllViews(UpdateCode::Poll);
    QVERIFY(Sent().isEmpty());
    m_doc->UpdateAllViews(UpdateCode::Poll);
    QCOMPARE(Sent(), (QList<int>{RecordType::LogRepeat}));
    Reply(RecordType::EndProgramming, {});
    m_doc->UpdateAllViews(UpdateCode::Poll);
    QVERIFY(Sent().isEmpty());
}

void TestLogRetrieval::ignoresProgrammingAndIdleNotices()
{
    // Before Start: log status, "Z" and records change nothing.
    Reply(RecordType::ReadLogStatus, Bcd({4, 6, 15, 14, 0, 0, 0}));
    Character('Z', RecordType::LogUploadStart);
    Reply(RecordType::WriteWords, Data(14, 1, 0));
    QVERIFY(m_log->Entries().isEmpty());
    QVERIFY(!m_log->Busy());
    QVERIFY(Sent().isEmpty());

    StartUpload();
    // Programming acknowledgements share the codes with a negative status.
    m_doc->UpdateAllViews(UpdateCode::LogData, CReplyNotice::Status(-1, 2));
    m_doc->UpdateAllViews(UpdateCode::EndProgramming, CReplyNotice::Status(-1));
    QVERIFY(m_log->Retrieving());
    QCOMPARE(m_log->Entries().size(), 1);
    QVERIFY(Sent().isEmpty());
    // A second Start while fetching is refused.
    m_log->Start();
    QCOMPARE(m_log->Entries().size(), 1);
    QVERIFY(Sent().isEmpty());
}

void TestLogRetrieval::asksAfterUpload_data()
{
    QTest::addColumn<bool>("withSession");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("saveWorks");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<bool>("startedAgain");

    const QString save = CLogRetrieval::SaveQuestion;
    const QString clear = CLogRetrieval::ClearQuestion;
    const QString none = CLogRetrieval::NoSessionQuestion;
    QTest::newRow("save and clear") << true << QList<bool>{true, true} << true << QStringList{save, clear} << true << true << false;
    QTest::newRow("no save, clear") << true << QList<bool>{false, true} << true << QStringList{save, clear} << false << true << false;
    QTest::newRow("neither") << true << QList<bool>{false, false} << true << QStringList{save, clear} << false << false << false;
    QTest::newRow("failed save keeps the log") << true << QList<bool>{true, true} << false << QStringList{save} << true << false << false;
    QTest::newRow("no session, try again") << false << QList<bool>{true} << true << QStringList{none} << false << false << true;
    QTest::newRow("no session, give up") << false << QList<bool>{false} << true << QStringList{none} << false << false << false;
}

void TestLogRetrieval::asksAfterUpload()
{
    QFETCH(bool, withSession);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, saveWorks);
    m_prompt.answers = answers;
    m_log->SetPrompt(&m_prompt);
    bool saved = false;
    m_log->SetSaveHandler([&] { saved = true; return saveWorks; });

    // Four readings over 6 minutes make a session; three do not.
    QList<QByteArray> records{PowerOn(14, 0, 0), Operator(14, 0, 1, "ANN")};
    for (int i = 0; i < (withSession ? 4 : 3); ++i)
        records.append(Data(14, 1 + 2 * i, 0));
    Upload(records);
    QVERIFY(m_prompt.asked.isEmpty()); // not inside the reply
    QTRY_VERIFY(!m_prompt.asked.isEmpty());
    QTest::qWait(10);

    QTEST(m_prompt.asked, "asked");
    QTEST(saved, "saved");
    const QList<int> sent = Sent();
    QTEST(sent.contains(RecordType::ClearLog), "cleared");
    QTEST(m_log->StartPending(), "startedAgain");
    if (withSession)
        QCOMPARE(m_log->Sessions().at(0).operatorText, QStringLiteral("ANN"));
}

void TestLogRetrieval::navigatesSessions()
{
    QList<QByteArray> records;
    for (int s = 0; s < 3; ++s) {
        records.append(PowerOn(14, 10 * s, 0));
        for (int i = 0; i < 4; ++i)
            records.append(Data(14, 10 * s + 1 + 2 * i, 0));
    }
    Upload(records);
    QCOMPARE(m_log->Sessions().size(), 3);
    QSignalSpy changed(m_log.get(), &CLogRetrieval::CurrentSessionChanged);
    QCOMPARE(m_log->CurrentSession(), 0);
    m_log->PreviousSession();
    QCOMPARE(m_log->CurrentSession(), 0);
    m_log->NextSession();
    m_log->NextSession();
    m_log->NextSession();
    QCOMPARE(m_log->CurrentSession(), 2);
    m_log->SelectSession(7);
    QCOMPARE(m_log->CurrentSession(), 2);
    QCOMPARE(changed.size(), 2);

    // Loading a file replaces the log and its sessions.
    const QList<LogRecord> loaded = m_log->Entries().mid(0, 6);
    m_log->SetLoaded(loaded, LogSensors(QStringLiteral("CO "), 1, QStringLiteral("H2S"), 10, 100));
    QVERIFY(!m_log->LiveSensors());
    QCOMPARE(m_log->Entries(), loaded);
    QCOMPARE(m_log->Sessions().size(), 1);
    QCOMPARE(m_log->CurrentSession(), 0);
    QCOMPARE(m_log->Sensors().ToxicName(2), QStringLiteral("H2S"));
}

void TestLogRetrieval::fileWithoutToxicTableKeepsItsDivisors()
{
    // Divisors the file's own texts gave (no toxic table read yet).
    QCOMPARE(m_doc->Settings().ToxicCount(), 0);
    m_log->SetLoaded({}, LogSensors(QStringLiteral("CO "), 1, QStringLiteral("H2S"), 10, 100));
    // Settings arrive, still without a table: the divisors stay, where
    // record 0's would have made the H2S tenths whole numbers.
    m_doc->UpdateAllViews(UpdateCode::Settings);
    QCOMPARE(m_log->Sensors().ToxicName(2), QStringLiteral("H2S"));
    QCOMPARE(m_log->Sensors().Fraction(1), 1);
    QCOMPARE(m_log->Sensors().Fraction(2), 10);
}

void TestLogRetrieval::unpluggedMidLogKeepsWhatArrived()
{
    // ANN's session of 30 readings a minute apart, then BOB's of 30.
    QList<QByteArray> records;
    for (int s = 0; s < 2; ++s) {
        records.append(PowerOn(14 + s, 0, 0));
        records.append(Operator(14 + s, 0, 1, s == 0 ? "ANN" : "BOB"));
        for (int i = 1; i <= 30; ++i)
            records.append(Data(14 + s, i, 0, quint16(i)));
    }
    SimRig rig;
    rig.sim.Instrument().Log().SetRecords(QDateTime(Day, QTime(14, 0)), records);
    rig.doc.Link().SetReplyPeriods(40, 40);
    CLogRetrieval log(rig.doc);
    log.SetPrompt(&m_prompt);
    bool saveOffered = false;
    log.SetSaveHandler([&] { saveOffered = true; return true; });

    // Unplugged once BOB's 11th reading is in.
    SimOptions options = rig.sim.Options();
    int arrived = 0;
    bool lost = false;
    connect(&rig.doc, &CInstrumentDoc::Updated, &rig.sim, [&](int code, const CReplyNotice &) {
        if (code == UpdateCode::CommunicationsLost)
            lost = true;
        if (code == UpdateCode::LogData && ++arrived == 45) {
            options.dropProbability = 1.0;
            rig.sim.SetOptions(options);
        }
    });
    log.Start();
    QVERIFY(rig.WaitFor([&] { return lost; }));
    QVERIFY(!log.Busy());
    QVERIFY(!rig.doc.LogProgress().IsOpen());

    // Everything that arrived is kept, in order, and the log is not shown as
    // ended; the second session runs up to the last reading received.
    const QList<LogRecord> &entries = log.Entries();
    QVERIFY(entries.size() >= 1 + 45);
    QCOMPARE(entries.constFirst().kind, LogRecord::StartOfLog);
    for (const LogRecord &e : entries)
        QVERIFY(e.kind != LogRecord::EndOfLog);
    QCOMPARE(entries.constLast().kind, LogRecord::Data);
    QCOMPARE(log.Sessions().size(), 2);
    QCOMPARE(log.Sessions().at(0).dataCount, 30);
    QCOMPARE(log.Sessions().at(0).operatorText, QStringLiteral("ANN"));
    const LogSession &cut = log.Sessions().at(1);
    QCOMPARE(cut.operatorText, QStringLiteral("BOB"));
    QCOMPARE(cut.last, int(entries.size()) - 1);
    QCOMPARE(cut.dataCount, int(entries.size()) - cut.first);
    QVERIFY(cut.dataCount >= 11 && cut.dataCount < 30);
    QCOMPARE(log.CurrentSession(), 0);
    // The user is told the list is only part of the log, and nothing offers
    // to clear the instrument of a log only partly read.
    QTest::qWait(50);
    QCOMPARE(m_prompt.asked.size(), 1);
    QVERIFY2(m_prompt.asked.first().startsWith(QStringLiteral("The log upload stopped after %1 entries").arg(entries.size())),
             qPrintable(m_prompt.asked.first()));
    QVERIFY(!saveOffered);
    m_prompt.asked.clear();

    // Plugged in again, Start fetches the whole log.
    options.dropProbability = 0.0;
    rig.sim.SetOptions(options);
    log.Start();
    QVERIFY(log.StartPending());
    QVERIFY(rig.WaitFor([&] { return !log.Busy() && !m_prompt.asked.isEmpty(); }));
    QCOMPARE(log.Entries().size(), records.size() + 2);
    QCOMPARE(log.Entries().constLast().kind, LogRecord::EndOfLog);
    QCOMPARE(log.Sessions().size(), 2);
    QCOMPARE(log.Sessions().at(1).dataCount, 30);
    QCOMPARE(m_prompt.asked.constFirst(), CLogRetrieval::SaveQuestion);
}

void TestLogRetrieval::lostRequestsAndRepliesNeitherSkipNorRepeat_data()
{
    // Exchanges of the conversation, counted from 0, that lose their request
    // on the way (the instrument never acts) or their reply on the way back
    // (the instrument moved on to its next record).
    QTest::addColumn<QList<int>>("lostRequests");
    QTest::addColumn<QList<int>>("lostReplies");
    QTest::newRow("clean") << QList<int>() << QList<int>();
    QTest::newRow("requests") << QList<int>{12, 13, 30} << QList<int>();
    QTest::newRow("replies") << QList<int>() << QList<int>{12, 20, 21, 40};
    QTest::newRow("both") << QList<int>{15, 33} << QList<int>{14, 16, 34};
}

void TestLogRetrieval::lostRequestsAndRepliesNeitherSkipNorRepeat()
{
    QFETCH(QList<int>, lostRequests);
    QFETCH(QList<int>, lostReplies);
    // The real clock: the reply timer and the log's status ticks run.
    auto retrieve = [](const QList<int> &requests, const QList<int> &replies) {
        const QDateTime now(QDate(2026, 3, 2), QTime(12, 0));
        CSimInstrument instrument([now] { return now; }, 7);
        CInstrumentDoc doc(CClock::System());
        doc.Link().SetReplyPeriods(30, 30);
        QObject owner;
        CPipeEnd *program = nullptr, *peer = nullptr;
        CPipeEnd::CreatePair(&owner, program, peer);
        CSimReceiver receiver;
        int exchange = 0;
        QObject::connect(peer, &QIODevice::readyRead, peer, [&] {
            for (const QByteArray &request : receiver.Feed(peer->readAll())) {
                const int n = exchange++;
                if (requests.contains(n))
                    continue;
                const QByteArray reply = instrument.Handle(request);
                if (!replies.contains(n))
                    peer->write(reply);
            }
        });
        doc.Link().OpenChannel(program);
        CLogRetrieval log(doc);
        log.Start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &doc, &CInstrumentDoc::PollInstrument);
        poll.start(100);
        WaitUntil([&] { return !log.Busy(); }, 30000);
        return log.Entries();
    };
    const QList<LogRecord> clean = retrieve({}, {});
    QVERIFY(clean.size() > 20);
    const QList<LogRecord> faulty = retrieve(lostRequests, lostReplies);
    QCOMPARE(faulty.size(), clean.size());
    for (qsizetype i = 1; i + 1 < clean.size(); ++i) // the markers carry the clock
        QVERIFY2(faulty[i] == clean[i], qPrintable(QStringLiteral("entry %1").arg(i)));
}

QTEST_GUILESS_MAIN(TestLogRetrieval)
#include "tst_logretrieval.moc"
