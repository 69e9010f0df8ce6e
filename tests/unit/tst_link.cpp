// The link against a scripted peer on an in-memory line and on loopback
// sockets: wire texts, reply cutting, queue rules, banks, timeouts, recovery.
#include "link/InstrumentLink.h"
#include "link/LinkRecord.h"
#include "link/RecordTypes.h"
#include "platform/Clock.h"
#include "platform/PipeChannel.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

namespace {
struct Reply
{
    int code;
    int type;
    quint32 address;
    QByteArray data;
};

class Sink : public ILinkReplySink
{
public:
    void OnLinkReply(int code, int type, quint32 address, int count, const quint8 *data) override
    {
        replies.append({code, type, address, QByteArray(reinterpret_cast<const char *>(data), data ? count : 0)});
        if (onReply)
            onReply();
    }
    QList<Reply> replies;
    std::function<void()> onReply;
};

// The program's link on one end of an in-memory line, the test on the other.
struct SerialRig
{
    CManualClock clock;
    CInstrumentLink link{clock};
    Sink sink;
    CPipeEnd *programEnd = nullptr;
    CPipeEnd *peer = nullptr;
    QObject owner;

    SerialRig()
    {
        CPipeEnd::CreatePair(&owner, programEnd, peer);
        link.SetOwner(&sink);
        QVERIFY(link.OpenChannel(programEnd) == 1);
    }
    // Everything the link wrote since the last call.
    QByteArray Wire()
    {
        QCoreApplication::processEvents();
        return peer->readAll();
    }
    void Answer(const QByteArray &text)
    {
        peer->write(text);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

QByteArray PortReply()
{
    return LinkRecord::Format(RecordType::ReadPort, 0, QByteArray(1, '\x5a'));
}
} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void wireText_data();
    void wireText();
    void serialAssembly_data();
    void serialAssembly();
    void datagramParsing_data();
    void datagramParsing();
    void oneRequestInFlightAndDuplicates();
    void priorityGoesFirst();
    void bankSelectionAndConfirmationAge();
    void replyAddressTurnsBackIntoWordAddress();
    void timeoutResendsInFlightRequest();
    void nothingOpenStillTimesOut();
    void resynchroniseSendsMarkerTwice();
    void starClearsNothingByItself();
    void sendDiscardsStaleInput();
    void ownerMayClearAndQueueDuringReply();
    void timedOutRequestsGoBeforeOwnersPriorityRequest();
    void lostWordRequestGoesOutToTheSameWord_data();
    void lostWordRequestGoesOutToTheSameWord();
    void repliesThatAnswerNothingAreNotTaken_data();
    void repliesThatAnswerNothingAreNotTaken();
    void noiseBeforeTheAnswerCostsNothing();
    void lostLogNextAsksForTheSameRecordAgain();
    void recordWithNothingInFlightIsNotReported();
    void resentBatchSelectsItsBankFirst();
    void gatewayQueryAndDatagrams();
    void gatewayWithoutBracketGivesPortZero();
    void requestBeforeGatewayAnswerGoesOutOnAnswer();
};

void TestLink::wireText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("clock read") << 40 << 0u << QByteArray("\x07", 1) << QByteArray(":0100002807D0");
    QTest::newRow("bank 1") << 4 << 0u << QByteArray("\x00\x01", 2) << QByteArray(":020000040001F9");
    QTest::newRow("id entry 81") << 48 << 81u << QByteArray() << QByteArray(":000051307F");
    QTest::newRow("program mode query") << 14 << 0u << QByteArray() << QByteArray(":0000000EF2");
    QTest::newRow("identity words") << 18 << 0x8006u << QByteArray("\x10", 1) << QByteArray(":018006121057");
    QTest::newRow("configuration text") << 18 << 0x8020u << QByteArray("\x10", 1) << QByteArray(":01802012103D");
    QTest::newRow("recovery marker") << 15 << RecordType::RecoveryMarkerAddress << QByteArray() << QByteArray(":0000010FF0");
    QTest::newRow("log next") << 289 << 0u << QByteArray() << QByteArray("!");
    QTest::newRow("log repeat") << 319 << 0u << QByteArray() << QByteArray("?");
    QTest::newRow("log start") << 346 << 0u << QByteArray() << QByteArray("Z");
    QTest::newRow("data bytes upper case") << 49 << 1u << QByteArray("\xab\xcd", 2) << QByteArray(":02000131ABCD54");
}

void TestLink::wireText()
{
    QFETCH(int, type);
    QFETCH(quint32, address);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, text);
    QCOMPARE(LinkRecord::Format(type, address, data), text);
    if (type < 256) {
        // What goes out comes back in unchanged.
        const LinkReply r = LinkRecord::DecodeRecord(text.constData(), int(text.size()));
        QCOMPARE(r.type, type);
        QCOMPARE(quint32(r.address), address & 0xFFFF);
        QCOMPARE(r.data, data);
    }
}

void TestLink::serialAssembly_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("character before record wins") << QList<QByteArray>{"#:0100002807D0"} << int('#') << -1 << QByteArray();
    QTest::newRow("hex digits only are dropped") << QList<QByteArray>{"0123abcDEF"} << -2 << -1 << QByteArray();
    QTest::newRow("hex digits then record") << QList<QByteArray>{"0F:0100002807D0"} << 0 << 40 << QByteArray("\x07", 1);
    QTest::newRow("record in three chunks") << QList<QByteArray>{":01", "0000", "2807D0"} << 0 << 40 << QByteArray("\x07", 1);
    QTest::newRow("tail after record ignored") << QList<QByteArray>{":0100002807D0#junk"} << 0 << 40 << QByteArray("\x07", 1);
    QTest::newRow("lower case accepted") << QList<QByteArray>{":01000028ffd0"} << 0 << 40 << QByteArray("\xff", 1);
    QTest::newRow("carriage return is a reply") << QList<QByteArray>{"\r\n"} << 13 << -1 << QByteArray();
    QTest::newRow("8-bit byte is a reply") << QList<QByteArray>{QByteArray("\xe9", 1)} << 0xE9 << -1 << QByteArray();
    QTest::newRow("incomplete record waits") << QList<QByteArray>{":0200002807"} << -2 << -1 << QByteArray();
    QTest::newRow("garbage count field") << QList<QByteArray>{":zz0000", "28D0"} << 0 << 0x28 << QByteArray();
}

void TestLink::serialAssembly()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, code);
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    CSerialReplyAssembler assembler;
    LinkReply reply;
    bool complete = false;
    for (const QByteArray &chunk : chunks) {
        QVERIFY(!complete);
        complete = assembler.Feed(chunk, reply);
    }
    if (code == -2) {
        QVERIFY(!complete);
        return;
    }
    QVERIFY(complete);
    QCOMPARE(reply.code, code);
    QCOMPARE(reply.type, type);
    QCOMPARE(reply.data, data);
    QVERIFY(!assembler.IsAssembling());
}

void TestLink::datagramParsing_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QList<int>>("codes");
    QTest::newRow("char record char") << QByteArray("#:0100002807D0#") << QList<int>{'#', 0, '#'};
    QTest::newRow("bar is a reply here") << QByteArray("|x!") << QList<int>{'|', '!'};
    QTest::newRow("incomplete record ends scan") << QByteArray("#:01000028") << QList<int>{'#'};
    QTest::newRow("colon at the very end") << QByteArray("Z:") << QList<int>{'Z'};
    QTest::newRow("noise skipped") << QByteArray("\r\n\x01\xff?") << QList<int>{'?'};
    QTest::newRow("two records") << QByteArray(":000051307F:0100002807D0") << QList<int>{0, 0};
}

void TestLink::datagramParsing()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QList<int>, codes);
    const QList<LinkReply> replies = LinkRecord::ParseDatagram(datagram);
    QList<int> got;
    for (const LinkReply &r : replies)
        got.append(r.code);
    QCOMPARE(got, codes);
}

void TestLink::oneRequestInFlightAndDuplicates()
{
    SerialRig rig;
    rig.link.QueueRequest(RecordType::ReadTimeKeeper, 0, QByteArray("\x07", 1));
    const QByteArray id(16, 'A');
    rig.link.QueueRequest(RecordType::WriteIdEntry, 81, id);
    rig.link.QueueRequest(RecordType::WriteIdEntry, 81, id); // still pending: dropped
    QCOMPARE(rig.Wire(), QByteArray(":0100002807D0"));
    QCOMPARE(int(rig.link.Pending().size()), 1);

    rig.Answer(LinkRecord::Format(40, 0, QByteArray("\x12\x34\x56\x01\x02\x03\x04", 7)) + "junk after the record");
    QCOMPARE(rig.sink.replies.size(), 1);
    QCOMPARE(rig.sink.replies[0].type, 40);
    QCOMPARE(rig.sink.replies[0].data.size(), 7);
    QCOMPARE(rig.Wire(), LinkRecord::Format(49, 81, id));

    rig.Answer("#");
    QCOMPARE(rig.sink.replies.size(), 2);
    // A character reply carries the request it answers.
    QCOMPARE(rig.sink.replies[1].code, int('#'));
    QCOMPARE(rig.sink.replies[1].type, 49);
    QCOMPARE(rig.sink.replies[1].address, 81u);
    QVERIFY(rig.link.IsIdle());
    QCOMPARE(rig.link.GetLastReplyCode(), int('#'));
    QVERIFY(!rig.link.IsReplyTimerActive());
}

void TestLink::priorityGoesFirst()
{
    SerialRig rig;
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    rig.link.QueueRequest(RecordType::ReadBattery, 0);
    rig.link.QueueRequest(RecordType::ReadAnalogA, 0, {}, 1);
    QCOMPARE(rig.Wire(), LinkRecord::Format(RecordType::ReadPort, 0, {}));
    rig.Answer(PortReply());
    QCOMPARE(rig.Wire(), LinkRecord::Format(RecordType::ReadAnalogA, 0, {}));
}

void TestLink::bankSelectionAndConfirmationAge()
{
    SerialRig rig;
    rig.link.QueueRequest(RecordType::ReadWords, 0xC003, QByteArray("\x10", 1));
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
    rig.Answer("#");
    QCOMPARE(rig.link.CurrentBank(), 1);
    QCOMPARE(rig.Wire(), QByteArray(":018006121057"));
    rig.Answer(LinkRecord::Format(18, 0x8006, QByteArray(16, 0)));

    // Still fresh: no new selection.
    rig.clock.Advance(0.05);
    rig.link.QueueRequest(RecordType::ReadWords, 0xC010, QByteArray("\x10", 1));
    QCOMPARE(rig.Wire(), QByteArray(":01802012103D"));
    rig.Answer(LinkRecord::Format(18, 0x8020, QByteArray(16, 0)));

    // Older than 0.1 s: select again, even for the same bank.
    rig.clock.Advance(0.2);
    rig.link.QueueRequest(RecordType::ReadWords, 0xC010, QByteArray("\x10", 1));
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
    rig.Answer("#");
    QCOMPARE(rig.Wire(), QByteArray(":01802012103D"));

    // A refused selection leaves the bank unconfirmed: select again.
    rig.Answer(LinkRecord::Format(18, 0x8020, QByteArray(16, 0)));
    rig.clock.Advance(0.2);
    rig.link.QueueRequest(RecordType::EraseSector, 0x8000);
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
    rig.Answer("$");
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
}

void TestLink::replyAddressTurnsBackIntoWordAddress()
{
    SerialRig rig;
    rig.link.QueueRequest(RecordType::ReadWords, 0x20010, QByteArray("\x04", 1));
    QCOMPARE(rig.Wire(), QByteArray(":020000040004F6"));
    rig.Answer("#");
    QCOMPARE(rig.Wire(), LinkRecord::Format(18, 0x0020, QByteArray("\x04", 1)));
    rig.Answer(LinkRecord::Format(18, 0x0020, QByteArray("\x01\x02\x03\x04", 4)));
    QCOMPARE(rig.sink.replies.last().address, 0x20010u);
    // The acknowledgement of an erase is reported at the word address too.
    rig.link.QueueRequest(RecordType::EraseSector, 0x20000);
    rig.Wire();
    rig.Answer("#");
    QCOMPARE(rig.sink.replies.last().type, 17);
    QCOMPARE(rig.sink.replies.last().address, 0x20000u);
}

void TestLink::timeoutResendsInFlightRequest()
{
    // However many timeouts a busy machine lets pass, each one names the
    // request it hit and sends that same request again.
    SerialRig rig;
    rig.link.SetReplyPeriods(30, 30);
    rig.link.QueueRequest(RecordType::ReadIdEntry, 5);
    rig.link.QueueRequest(RecordType::ReadIdEntry, 6);
    const QByteArray first = LinkRecord::Format(48, 5, {});
    QCOMPARE(rig.Wire(), first);
    QTRY_VERIFY(!rig.sink.replies.isEmpty());
    rig.link.SetReplyPeriods(60000, 60000);
    QByteArray resent = rig.Wire();
    QTRY_VERIFY(!(resent += rig.Wire()).isEmpty());
    QCOMPARE(resent, first.repeated(rig.sink.replies.size()));
    for (const Reply &r : rig.sink.replies) {
        QCOMPARE(r.code, -1);
        QCOMPARE(r.type, 48); // the timeout names the request it hit
        QCOMPARE(r.address, 5u);
    }
    QCOMPARE(rig.link.GetLastReplyCode(), -1);
    rig.Answer(LinkRecord::Format(48, 5, QByteArray(16, ' ')));
    QCOMPARE(rig.Wire(), QByteArray(LinkRecord::Format(48, 6, {})));
}

void TestLink::nothingOpenStillTimesOut()
{
    CManualClock clock;
    CInstrumentLink link(clock);
    Sink sink;
    link.SetOwner(&sink);
    link.SetReplyPeriods(20, 20);
    link.QueueRequest(RecordType::ReadPort, 0);
    QVERIFY(link.IsReplyTimerActive());
    QCOMPARE(link.ReplyPeriod(), 20);
    QTRY_VERIFY(!sink.replies.isEmpty());
    QCOMPARE(sink.replies[0].code, -1);
    QVERIFY(!link.IsIdle()); // retried without limit; the document decides when to stop
}

void TestLink::resynchroniseSendsMarkerTwice()
{
    SerialRig rig;
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    rig.Wire();
    rig.link.Resynchronise();
    QCOMPARE(rig.link.GetLastReplyCode(), -1);
    QVERIFY(rig.link.Pending().empty());
    QCOMPARE(int(rig.link.InFlight().size()), 1);

    rig.Answer("!");
    QCOMPARE(rig.Wire(), QByteArray(":0000010FF0:0000010FF0"));
    QVERIFY(rig.sink.replies.isEmpty());

    rig.Answer("#");
    QCOMPARE(rig.sink.replies.size(), 1);
    QCOMPARE(rig.sink.replies[0].code, int('#'));
    QCOMPARE(rig.sink.replies[0].type, 15);
    QCOMPARE(rig.sink.replies[0].address, RecordType::RecoveryMarkerAddress);
    QVERIFY(rig.link.IsIdle());

    // Only once per recovery start.
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    rig.Wire();
    rig.Answer(PortReply());
    QCOMPARE(rig.sink.replies.size(), 2);
}

void TestLink::starClearsNothingByItself()
{
    // "*" with a request in flight says the instrument could not read it: the
    // same request goes again once the reply period ends, and the bank is
    // selected anew in case the instrument restarted. With nothing in flight
    // it is passed on; clearing is the document's call.
    SerialRig rig;
    // Long enough that no selection times out between the test reading it
    // and answering it, on a slow machine too.
    rig.link.SetReplyPeriods(200, 200);
    rig.link.QueueRequest(RecordType::ReadWords, 0xC003, QByteArray("\x10", 1));
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
    rig.Answer("#");
    QCOMPARE(rig.Wire(), QByteArray(":018006121057"));
    rig.Answer("*");
    QCOMPARE(rig.link.CurrentBank(), -1);
    QTRY_COMPARE(rig.sink.replies.size(), 2); // the bank's "#", then the timeout
    QCOMPARE(rig.sink.replies[1].code, -1);
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
    rig.link.SetReplyPeriods(60000, 60000);
    rig.Answer("#");
    QCOMPARE(rig.Wire(), QByteArray(":018006121057"));
    rig.Answer(LinkRecord::Format(18, 0x8006, QByteArray(16, 0)));
    QVERIFY(rig.link.IsIdle());

    rig.Answer("*");
    QCOMPARE(rig.sink.replies.last().code, int('*'));
    QCOMPARE(rig.sink.replies.last().type, -1);
}

void TestLink::sendDiscardsStaleInput()
{
    SerialRig rig;
    rig.peer->write("#");            // arrives before anything was asked
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    QCoreApplication::processEvents(); // the stale "#" was thrown away at the send
    QCoreApplication::processEvents();
    QVERIFY(rig.sink.replies.isEmpty());
    QCOMPARE(rig.Wire(), LinkRecord::Format(RecordType::ReadPort, 0, {}));
}

void TestLink::ownerMayClearAndQueueDuringReply()
{
    // A reply handler that restarts the conversation must not lose its new
    // request to the bookkeeping of the reply it is handling.
    SerialRig rig;
    bool restarted = false;
    rig.sink.onReply = [&] {
        if (restarted)
            return;
        restarted = true;
        rig.link.ClearQueues();
        rig.link.QueueRequest(RecordType::ReadBattery, 0);
    };
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    rig.link.QueueRequest(RecordType::ReadAnalogA, 0);
    rig.Wire();
    rig.Answer(PortReply());
    QCOMPARE(rig.Wire(), LinkRecord::Format(RecordType::ReadBattery, 0, {}));
    QCOMPARE(int(rig.link.InFlight().size()), 1);
    QVERIFY(rig.link.Pending().empty());
}

void TestLink::timedOutRequestsGoBeforeOwnersPriorityRequest()
{
    // The document answers a timeout by queueing a status read with priority;
    // the request that timed out is still resent first.
    SerialRig rig;
    rig.link.SetReplyPeriods(30, 30);
    rig.sink.onReply = [&] {
        if (rig.sink.replies.last().code == -1)
            rig.link.QueueRequest(RecordType::ReadWords, 0xC003, QByteArray("\x10", 1), 1);
    };
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    const QByteArray port = LinkRecord::Format(RecordType::ReadPort, 0, {});
    QCOMPARE(rig.Wire(), port);
    QTRY_VERIFY(!rig.sink.replies.isEmpty());
    rig.link.SetReplyPeriods(60000, 60000);
    QByteArray resent = rig.Wire();
    QTRY_VERIFY(!(resent += rig.Wire()).isEmpty());
    QCOMPARE(resent, port.repeated(rig.sink.replies.size()));
    rig.Answer(PortReply());
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
}

void TestLink::lostWordRequestGoesOutToTheSameWord_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("read") << int(RecordType::ReadWords) << QByteArray("\x10", 1) << QByteArray(":018006121057");
    QTest::newRow("write") << int(RecordType::WriteWords) << QByteArray("\x12\x34", 2)
                           << LinkRecord::Format(0, 0x8006, QByteArray("\x12\x34", 2));
    QTest::newRow("erase") << int(RecordType::EraseSector) << QByteArray() << LinkRecord::Format(17, 0x8006, {});
}

void TestLink::lostWordRequestGoesOutToTheSameWord()
{
    // However often its reply is lost, a word request reaches the word it
    // was made for, with a fresh bank selection once the old one is stale.
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, text);
    SerialRig rig;
    // Long enough that no selection times out between the test reading it
    // and answering it, on a slow machine too.
    rig.link.SetReplyPeriods(200, 200);
    rig.link.QueueRequest(type, 0xC003, data);
    QCOMPARE(rig.Wire(), QByteArray(":020000040001F9"));
    rig.Answer("#");
    const QByteArray sent = rig.Wire();
    QCOMPARE(sent, text);
    // After a loss the bank is selected again (the instrument may have taken
    // a selection whose answer was lost), then the same request follows.
    for (int loss = 0; loss < 2; ++loss) {
        QByteArray again;
        QTRY_VERIFY(!(again += rig.Wire()).isEmpty());
        QCOMPARE(again.left(15), QByteArray(":020000040001F9"));
        rig.Answer("#");
        again = rig.Wire();
        QCOMPARE(again.left(sent.size()), sent);
    }
    rig.link.SetReplyPeriods(60000, 60000);
    rig.Answer(type == RecordType::ReadWords ? LinkRecord::Format(18, 0x8006, QByteArray(16, 0)) : QByteArray("#"));
    QCOMPARE(rig.sink.replies.last().address, 0xC003u);
    QVERIFY(rig.link.IsIdle());
}

void TestLink::repliesThatAnswerNothingAreNotTaken_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray seven("\x07", 1);
    const QByteArray clock = LinkRecord::Format(40, 0, QByteArray(7, 0x11));
    QByteArray flipped = clock;
    flipped[12] = '0'; // one data digit changed: the checksum no longer fits
    QTest::newRow("checksum") << 40 << 0u << seven << flipped;
    QByteArray stray = clock;
    stray[10] = 'g';
    QTest::newRow("stray character in record") << 40 << 0u << seven << stray;
    QTest::newRow("other type") << 40 << 0u << seven << LinkRecord::Format(32, 0, QByteArray(7, 0x11));
    QTest::newRow("other address") << 40 << 0u << seven << LinkRecord::Format(40, 8, QByteArray(7, 0x11));
    QTest::newRow("short") << 40 << 0u << seven << LinkRecord::Format(40, 0, QByteArray(6, 0x11));
    QTest::newRow("acknowledged read") << 40 << 0u << seven << QByteArray("#");
    QTest::newRow("noise") << 40 << 0u << seven << QByteArray("x");
    QTest::newRow("NUL") << 40 << 0u << seven << QByteArray(1, '\0');
    QTest::newRow("id entry of 15") << 48 << 3u << QByteArray() << LinkRecord::Format(48, 3, QByteArray(15, ' '));
    QTest::newRow("record for a write") << 41 << 8u << QByteArray(4, 1) << LinkRecord::Format(41, 8, QByteArray(4, 1));
    QTest::newRow("Z for a write") << 41 << 8u << QByteArray(4, 1) << QByteArray("Z");
    QTest::newRow("! for a write") << 49 << 8u << QByteArray(16, 'A') << QByteArray("!");
    QTest::newRow("# for log next") << 289 << 0u << QByteArray() << QByteArray("#");
    QTest::newRow("read record for log next") << 289 << 0u << QByteArray() << clock;
}

void TestLink::repliesThatAnswerNothingAreNotTaken()
{
    // A reply that is damaged or answers another request never reaches the
    // document as data: it is traced, the reply period runs out, and the same
    // request goes again, counted as a lost reply.
    QFETCH(int, type);
    QFETCH(quint32, address);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, reply);
    SerialRig rig;
    QList<LinkEvent> events;
    QObject::connect(&rig.link, &CInstrumentLink::Event, &rig.owner, [&](const LinkEvent &e) { events.append(e); });
    rig.link.SetReplyPeriods(30, 30);
    rig.link.QueueRequest(type, address, data);
    const QByteArray sent = rig.Wire();
    rig.Answer(reply);
    QCOMPARE(rig.link.RejectedReplies(), quint64(1));
    QVERIFY(std::any_of(events.begin(), events.end(), [](const LinkEvent &e) { return e.kind == LinkEvent::Rejected; }));
    QTRY_COMPARE(rig.sink.replies.size(), 1);
    QCOMPARE(rig.sink.replies[0].code, -1);
    QByteArray again;
    QTRY_VERIFY(!(again += rig.Wire()).isEmpty());
    QVERIFY(again.startsWith(type == RecordType::LogNext ? QByteArray("?") : sent));
}

void TestLink::noiseBeforeTheAnswerCostsNothing()
{
    // On the serial line the real answer may follow the noise within the
    // same reply period; it is taken without a resend.
    SerialRig rig;
    rig.link.SetReplyPeriods(60000, 60000);
    rig.link.QueueRequest(RecordType::ReadPort, 0);
    rig.Wire();
    rig.Answer("~");
    QVERIFY(rig.sink.replies.isEmpty());
    rig.Answer(PortReply());
    QCOMPARE(rig.sink.replies.size(), 1);
    QCOMPARE(rig.sink.replies[0].type, int(RecordType::ReadPort));
    QVERIFY(rig.link.IsIdle());
    QVERIFY(rig.Wire().isEmpty());
}

void TestLink::lostLogNextAsksForTheSameRecordAgain()
{
    // "!" moves the instrument on; after a lost answer "?" asks for the same
    // record instead of skipping it.
    SerialRig rig;
    rig.link.SetReplyPeriods(20, 20);
    rig.link.QueueRequest(RecordType::LogNext, 0);
    QCOMPARE(rig.Wire(), QByteArray("!"));
    QByteArray again;
    QTRY_VERIFY(!(again += rig.Wire()).isEmpty());
    QCOMPARE(again.left(1), QByteArray("?"));
    rig.link.SetReplyPeriods(60000, 60000);
    rig.Wire();
    int answered = -1;
    rig.sink.onReply = [&] { answered = rig.link.AnsweredType(); };
    rig.Answer(LinkRecord::Format(0, 0, QByteArray("\x12\x30\x00\x01\x05\x00", 6)));
    QCOMPARE(rig.sink.replies.last().code, 0);
    QCOMPARE(answered, int(RecordType::LogRepeat));
}

void TestLink::recordWithNothingInFlightIsNotReported()
{
    SerialRig rig;
    rig.Answer(LinkRecord::Format(40, 0, QByteArray(7, 0x11)));
    QVERIFY(rig.sink.replies.isEmpty());
}

namespace {
// A gateway on loopback: answers the TCP query, then echoes scripted replies.
struct Gateway
{
    QTcpServer tcp;
    QUdpSocket udp;
    QUdpSocket stranger;
    QByteArray answerText;
    QList<QByteArray> received;
    QHostAddress lastSender;
    quint16 lastPort = 0;

    Gateway()
    {
        udp.bind(QHostAddress::LocalHost, 0);
        stranger.bind(QHostAddress::LocalHost, 0);
        tcp.listen(QHostAddress::LocalHost, 0);
        answerText = "HTTP/1.0 200 OK\r\n\r\n[gw]  " + QByteArray::number(udp.localPort()) + "x";
        QObject::connect(&tcp, &QTcpServer::newConnection, [this] {
            QTcpSocket *s = tcp.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                if (s->readAll().contains("GET /servlets/AltavoServlet\r\n\r\n")) {
                    s->write(answerText);
                    s->disconnectFromHost();
                }
            });
        });
        QObject::connect(&udp, &QUdpSocket::readyRead, [this] {
            while (udp.hasPendingDatagrams()) {
                const QNetworkDatagram d = udp.receiveDatagram();
                received.append(d.data());
                lastSender = d.senderAddress();
                lastPort = quint16(d.senderPort());
            }
        });
    }
};
} // namespace

void TestLink::gatewayQueryAndDatagrams()
{
    Gateway gw;
    CManualClock clock;
    CInstrumentLink link(clock);
    Sink sink;
    link.SetOwner(&sink);
    QSignalSpy answered(&link, &CLinkTransport::GatewayAnswered);
    QCOMPARE(link.OpenGateway(QStringLiteral("127.0.0.1"), gw.tcp.serverPort()), 1);
    QVERIFY(answered.wait(5000));
    QCOMPARE(link.GatewayPort(), int(gw.udp.localPort()));
    QCOMPARE(link.GatewayAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(link.ReplyPeriod(), CLinkTransport::NetworkReplyPeriodMs);

    // The first request goes alone; the queue that builds up behind it goes
    // out eight to a datagram once the reply is in.
    for (int i = 1; i <= 10; ++i)
        link.QueueRequest(RecordType::ReadIdEntry, quint32(i));
    QTRY_COMPARE(gw.received.size(), 1);
    QCOMPARE(gw.received[0], LinkRecord::Format(48, 1, {}));
    gw.udp.writeDatagram(LinkRecord::Format(48, 1, QByteArray(16, ' ')), gw.lastSender, gw.lastPort);
    QTRY_COMPARE(gw.received.size(), 2);
    QByteArray expected;
    for (int i = 2; i <= 9; ++i)
        expected += LinkRecord::Format(48, quint32(i), {});
    QCOMPARE(gw.received[1], expected);
    QCOMPARE(int(link.InFlight().size()), 8);
    QCOMPARE(int(link.Pending().size()), 1);
    sink.replies.clear();

    // A datagram from the right address but another port is ignored.
    gw.stranger.writeDatagram("########", QHostAddress::LocalHost, gw.lastPort);
    QTest::qWait(50);
    QVERIFY(sink.replies.isEmpty());

    // A reply for each of the eight completes them in order; the last request
    // goes alone, and three queued behind it share the next datagram.
    QByteArray eight;
    for (int i = 2; i <= 9; ++i)
        eight += LinkRecord::Format(48, quint32(i), QByteArray(16, 'A'));
    gw.udp.writeDatagram(eight, gw.lastSender, gw.lastPort);
    QTRY_COMPARE(sink.replies.size(), 8);
    QCOMPARE(sink.replies[7].address, 9u);
    QTRY_COMPARE(gw.received.size(), 3);
    QCOMPARE(gw.received[2], LinkRecord::Format(48, 10, {}));
    const QByteArray id(16, 'B');
    link.QueueRequest(RecordType::WriteIdEntry, 11, id);
    link.QueueRequest(RecordType::ReadIdEntry, 12);
    link.QueueRequest(RecordType::WriteIdEntry, 13, id);
    gw.udp.writeDatagram(LinkRecord::Format(48, 10, QByteArray(16, 'A')), gw.lastSender, gw.lastPort);
    QTRY_COMPARE(gw.received.size(), 4);
    const QByteArray batch = LinkRecord::Format(49, 11, id) + LinkRecord::Format(48, 12, {}) + LinkRecord::Format(49, 13, id);
    QCOMPARE(gw.received[3], batch);
    sink.replies.clear();

    // A datagram that lost a reply cannot say which: nothing of it is taken
    // and the whole batch goes again.
    gw.udp.writeDatagram("##", gw.lastSender, gw.lastPort);
    QTRY_COMPARE(gw.received.size(), 5);
    QCOMPARE(gw.received[4], batch);
    QCOMPARE(sink.replies.size(), 1);
    QCOMPARE(sink.replies[0].code, -1); // counted as a lost reply

    // "#", a record, "#" complete three requests in order.
    sink.replies.clear();
    gw.udp.writeDatagram("#" + LinkRecord::Format(48, 12, QByteArray(16, 'A')) + "#", gw.lastSender, gw.lastPort);
    QTRY_COMPARE(sink.replies.size(), 3);
    QCOMPARE(sink.replies[0].address, 11u);
    QCOMPARE(sink.replies[1].code, 0);
    QCOMPARE(sink.replies[1].type, 48);
    QCOMPARE(sink.replies[2].address, 13u);
    QVERIFY(link.IsIdle());
}

void TestLink::resentBatchSelectsItsBankFirst()
{
    // Two bank-0 writes and the selection of bank 1 share a datagram; the
    // instrument takes the selection but the writes' answers are lost. The
    // writes must not go out again under bank 1.
    Gateway gw;
    CManualClock clock;
    CInstrumentLink link(clock);
    Sink sink;
    link.SetOwner(&sink);
    QSignalSpy answered(&link, &CLinkTransport::GatewayAnswered);
    link.OpenGateway(QStringLiteral("127.0.0.1"), gw.tcp.serverPort());
    QVERIFY(answered.wait(5000));
    link.QueueRequest(RecordType::ReadWords, 0x4000, QByteArray("\x02", 1));
    QTRY_COMPARE(gw.received.size(), 1); // the selection of bank 0
    gw.udp.writeDatagram("#", gw.lastSender, gw.lastPort);
    QTRY_COMPARE(gw.received.size(), 2);
    const QByteArray words("\x12\x34", 2);
    link.QueueRequest(RecordType::WriteWords, 0x4940, words);
    link.QueueRequest(RecordType::WriteWords, 0x4950, words);
    link.QueueRequest(RecordType::WriteWords, 0xC940, words);
    gw.udp.writeDatagram(LinkRecord::Format(18, 0x8000, QByteArray(2, 0)), gw.lastSender, gw.lastPort);
    QTRY_COMPARE(gw.received.size(), 3);
    const QByteArray batch = LinkRecord::Format(0, 0x9280, words) + LinkRecord::Format(0, 0x92A0, words) + ":020000040001F9";
    QCOMPARE(gw.received[2], batch);
    gw.udp.writeDatagram("#", gw.lastSender, gw.lastPort); // only the selection's answer came back
    QTRY_COMPARE(gw.received.size(), 4);
    QCOMPARE(gw.received[3], QByteArray(":020000040000FA"));
}

void TestLink::gatewayWithoutBracketGivesPortZero()
{
    Gateway gw;
    gw.answerText = "HTTP/1.0 404 Not Found\r\n\r\n";
    CManualClock clock;
    CInstrumentLink link(clock);
    QSignalSpy answered(&link, &CLinkTransport::GatewayAnswered);
    link.OpenGateway(QStringLiteral("127.0.0.1"), gw.tcp.serverPort());
    QVERIFY(answered.wait(5000));
    QCOMPARE(link.GatewayPort(), 0);
}

void TestLink::requestBeforeGatewayAnswerGoesOutOnAnswer()
{
    // Asked before the gateway said where to send: the request goes out as
    // soon as the answer is in, not a whole reply period later.
    Gateway gw;
    CManualClock clock;
    CInstrumentLink link(clock);
    Sink sink;
    link.SetOwner(&sink);
    link.SetReplyPeriods(60000, 60000);
    link.OpenGateway(QStringLiteral("127.0.0.1"), gw.tcp.serverPort());
    link.QueueRequest(RecordType::ReadPort, 0);
    QTRY_COMPARE(gw.received.size(), 1);
    QCOMPARE(gw.received[0], LinkRecord::Format(RecordType::ReadPort, 0, {}));
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
