// The protocol trace: what its lines say, that an upload over a lossy line
// shows the timeouts and resends, and that a trace that cannot be written
// warns once and leaves the work alone.
#include "SimRig.h"
#include "link/LinkTrace.h"
#include "link/RecordTypes.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

class TestLinkTrace : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void uploadOverLossyLineShowsTimeoutsAndResends();
    void unwritableTraceWarnsOnceAndWorkGoesOn();
};

void TestLinkTrace::lines_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<quint32>("wire");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("line");
    QTest::newRow("word read") << int(LinkEvent::Sent) << 18 << 0xC003u << 0x8006u << QByteArray(":018006121057") << QString()
                               << QStringLiteral("> :018006121057  ReadWords word 0x0c003 (bank 1 offset 0x8006) read 16 bytes");
    QTest::newRow("bank") << int(LinkEvent::Sent) << 4 << 0u << 0u << QByteArray(":020000040001F9") << QString()
                          << QStringLiteral("> :020000040001F9  SelectBank 0x0000 bank 1");
    QTest::newRow("log next") << int(LinkEvent::Sent) << 289 << 0u << 0u << QByteArray("!") << QString()
                              << QStringLiteral("> !  LogNext");
    QTest::newRow("record") << int(LinkEvent::Answer) << 40 << 0u << 0u << QByteArray(":0100002807D0") << QString()
                            << QStringLiteral("< :0100002807D0  ReadTimeKeeper 0x0000 1 bytes");
    QTest::newRow("acknowledged") << int(LinkEvent::Answer) << 41 << 0u << 0u << QByteArray("#") << QString()
                                  << QStringLiteral("< #  \"#\" done");
    QTest::newRow("refused") << int(LinkEvent::Rejected) << 40 << 0u << 0u << QByteArray(1, '\0')
                             << QStringLiteral("character 0x00 is no reply, for ReadTimeKeeper")
                             << QStringLiteral("< <00>  refused: character 0x00 is no reply, for ReadTimeKeeper");
    QTest::newRow("timeout") << int(LinkEvent::Timeout) << 48 << 5u << 5u << QByteArray() << QString()
                             << QStringLiteral("-- timeout waiting for ReadIdEntry");
    QTest::newRow("resend") << int(LinkEvent::Resend) << 17 << 0x10000u << 0u << QByteArray() << QString()
                            << QStringLiteral("-- resend EraseSector word 0x10000 (bank 2 offset 0x0000)");
}

void TestLinkTrace::lines()
{
    QFETCH(int, kind);
    QFETCH(int, type);
    QFETCH(quint32, address);
    QFETCH(quint32, wire);
    QFETCH(QByteArray, text);
    QFETCH(QString, detail);
    QFETCH(QString, line);
    LinkEvent e;
    e.kind = LinkEvent::Kind(kind);
    e.type = type;
    e.address = address;
    e.wireAddress = wire;
    e.text = text;
    e.detail = detail;
    QCOMPARE(CLinkTrace::Describe(e), line);
}

void TestLinkTrace::uploadOverLossyLineShowsTimeoutsAndResends()
{
    QTemporaryDir dir;
    SimOptions options;
    options.seed = 3;
    options.dropProbability = 0.1;
    SimRig rig(options);
    rig.doc.Link().SetReplyPeriods(40, 40);
    CLinkTrace trace(rig.doc.Link());
    const QString path = dir.filePath(QStringLiteral("line.trace"));
    QVERIFY(trace.Open(path));
    rig.doc.UploadAll();
    QVERIFY(rig.WaitFor([&] { return rig.doc.Link().IsIdle() && !rig.doc.TransferProgress().IsOpen(); }, 60000));
    QVERIFY(rig.sim.Counters().dropped > 0);
    trace.Drain(); // what is still waiting for its batch

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.first().startsWith("# protocol trace started "));
    qint64 last = -1;
    int sent = 0, replies = 0, timeouts = 0, resends = 0;
    for (const QByteArray &line : lines.mid(1)) {
        if (line.isEmpty())
            continue;
        // Microseconds first, never going back.
        bool ok = false;
        const qint64 us = line.left(12).trimmed().toLongLong(&ok);
        QVERIFY2(ok && us >= last, line.constData());
        last = us;
        const QByteArray rest = line.mid(13);
        sent += rest.startsWith("> ");
        replies += rest.startsWith("< ");
        timeouts += rest.startsWith("-- timeout");
        resends += rest.startsWith("-- resend");
    }
    QVERIFY2(sent > 30 && replies > 30, qPrintable(QStringLiteral("%1 sent, %2 replies").arg(sent).arg(replies)));
    QVERIFY(timeouts >= int(rig.sim.Counters().dropped));
    QVERIFY(resends >= timeouts);
}

void TestLinkTrace::unwritableTraceWarnsOnceAndWorkGoesOn()
{
    SimRig rig;
    CLinkTrace trace(rig.doc.Link());
    QString error;
    QVERIFY(!trace.Open(QStringLiteral("/nonexistent-folder/line.trace"), &error));
    QVERIFY2(error.contains(QLatin1String("/nonexistent-folder/line.trace")), qPrintable(error));

    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full to fill");
    QSignalSpy warnings(&trace, &CLinkTrace::Warning);
    QVERIFY(trace.Open(QStringLiteral("/dev/full")) || !warnings.isEmpty());
    rig.doc.UploadAll();
    QVERIFY(rig.WaitFor([&] { return rig.doc.Link().IsIdle() && !rig.doc.TransferProgress().IsOpen(); }, 60000));
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings.first().first().toString().contains(QLatin1String("/dev/full")));
    QVERIFY(rig.doc.Settings().ToxicCount() > 0); // the upload itself completed
}

QTEST_GUILESS_MAIN(TestLinkTrace)
#include "tst_linktrace.moc"
