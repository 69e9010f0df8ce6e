// The history recorder on a document joined to the simulated instrument: an upload becomes a snapshot of the options-file text, a watched log retrieval is stored once, a download's differences are kept, and without a store nothing is written.
#include "SimRig.h"
#include "datalog/LogRetrieval.h"
#include "document/DownloadVerifier.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"

#include <QTest>

class TestHistoryRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void uploadAndWatchedLog();
    void downloadDifferencesAndNoStore();

private:
    bool Upload(SimRig &rig);

    QTemporaryDir m_dir;
};

void TestHistoryRecorder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    UseTemporarySettings(m_dir);
}

bool TestHistoryRecorder::Upload(SimRig &rig)
{
    int ids = 0;
    const QMetaObject::Connection c = connect(&rig.doc, &CInstrumentDoc::Updated, this, [&](int code, const CReplyNotice &) {
        if (code == UpdateCode::IdEntry)
            ++ids;
    });
    rig.doc.SetIdEntriesWanted(true);
    rig.doc.UploadAll();
    const bool done = rig.WaitFor([&] {
        return ids >= CSettingsImage::IdEntryCount && rig.doc.Link().IsIdle() && !rig.doc.TransferProgress().IsOpen();
    }, 30000);
    disconnect(c);
    return done;
}

void TestHistoryRecorder::uploadAndWatchedLog()
{
    SimOptions options;
    options.serialNumber = 0x4D2;
    options.logRecords = 400;
    SimRig rig(options);
    CHistoryStore store;
    QVERIFY(store.Open(m_dir.filePath(QStringLiteral("recorder.db"))));
    CHistoryRecorder recorder(rig.doc, &store);

    QVERIFY(Upload(rig));
    recorder.UploadDone();
    QVERIFY2(recorder.LastResult().stored, qPrintable(recorder.LastResult().error));
    const QString serial = QStringLiteral("000004D2");
    QCOMPARE(recorder.CurrentSerial(), serial);
    const QList<HistorySnapshot> snapshots = store.Snapshots(serial);
    QCOMPARE(snapshots.size(), 1);
    QVERIFY(snapshots.first().optionsText.contains(QStringLiteral("[Advanced Features]")));
    QVERIFY(snapshots.first().optionsText.contains(QStringLiteral("CalInterval=")));
    QCOMPARE(store.Instrument(serial)->instrumentId, rig.doc.Settings().InstrumentId().trimmed());
    QVERIFY(!store.Instrument(serial)->version.isEmpty());

    CLogRetrieval log(rig.doc);
    recorder.WatchLog(log);
    QList<QString> recorded;
    connect(&recorder, &CHistoryRecorder::Recorded, this, [&](const QString &what, const HistoryWriteResult &) { recorded.append(what); });
    QTimer poll;
    connect(&poll, &QTimer::timeout, &rig.doc, &CInstrumentDoc::PollInstrument);
    poll.start(1000);
    for (int pass = 0; pass < 2; ++pass) {
        recorded.clear();
        log.RequestTables();
        QVERIFY(rig.WaitIdle());
        log.Start();
        QVERIFY(rig.WaitFor([&] { return recorded.contains(QStringLiteral("log")); }, 60000));
        QVERIFY2(recorder.LastResult().stored, qPrintable(recorder.LastResult().error));
        // The markers the program adds are not the instrument's entries.
        QCOMPARE(recorder.LastResult().added, pass == 0 ? qint64(log.Entries().size() - 2) : 0);
    }
    QCOMPARE(store.Retrievals(serial).size(), 2);
    QCOMPARE(store.LogEntries(serial, store.Retrievals(serial).first().id).size(), log.Entries().size());
    // A log loaded from a file is no retrieval.
    recorded.clear();
    log.SetLoaded(log.Entries(), log.Sensors());
    QTest::qWait(50);
    QVERIFY(recorded.isEmpty());
}

void TestHistoryRecorder::downloadDifferencesAndNoStore()
{
    SimOptions options;
    options.serialNumber = 77;
    SimRig rig(options);
    CHistoryStore store;
    QVERIFY(store.Open(m_dir.filePath(QStringLiteral("download.db"))));
    CHistoryRecorder recorder(rig.doc);
    QVERIFY(!recorder.IsRecording());
    QVERIFY(Upload(rig));
    recorder.UploadDone();
    QVERIFY(store.Fleet().isEmpty());

    recorder.SetStore(&store);
    recorder.DownloadVerified({{QStringLiteral("HighAlarm1"), QStringLiteral("50"), QStringLiteral("45")}});
    const QList<HistorySnapshot> snapshots = store.Snapshots(QStringLiteral("0000004D"));
    QCOMPARE(snapshots.size(), 1);
    QCOMPARE(snapshots.first().kind, HistorySnapshot::Download);
    QVERIFY(!snapshots.first().verified);
    QCOMPARE(snapshots.first().differences.first().key, QStringLiteral("HighAlarm1"));
    QCOMPARE(store.Timeline(QStringLiteral("0000004D")).first().summary,
             QStringLiteral("Settings downloaded, NOT verified: 1 field(s) differ"));
}

QTEST_GUILESS_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
