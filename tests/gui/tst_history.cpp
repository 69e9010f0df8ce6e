// The Instrument History window against a fleet of simulated instruments recorded into a real SQLite file: the fleet table, filter and sort, the timeline, a stored log in the log window, two snapshots compared, the spool warning, the database preference, and the window in the main frame.
#include "HistoryFixture.h"
#include "SilentServer.h"
#include "platform/BuildInfo.h"
#include "history/HistorySpool.h"
#include "history/HistorySpoolCodec.h"

class TestHistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fleetTableAfterUploads();
    void filterAndSort_data();
    void filterAndSort();
    void overdueRowsMarked();
    void timelineAndStoredLogInLogWindow();
    void snapshotCompareShowsChangedAlarmLevel();
    void snapshotCompareKeysAndBytes();
    void spoolWarningShows();
    void databaseDialog_data();
    void databaseDialog();
    void mainFrameRecordsAndOpensHistory();
    void mainFrameShowsHistoryWarning_data();
    void mainFrameShowsHistoryWarning();
    void writeWaitsOffTheWindowsThread();
    void closingWhileAWriteWaits();

private:
    QTemporaryDir m_settings;
    HistoryFleet m_h;
};

void TestHistoryWindow::initTestCase()
{
    UseHistoryTestSettings(m_settings);
    QVERIFY(CViewRegistry::FindTitle(CHistoryWindow::Title));
    QCOMPARE(CViewRegistry::FindTitle(CHistoryWindow::Title)->commandId, int(CommandId::InstrumentHistory));
}

void TestHistoryWindow::init()
{
    ClearPreferences();
    QVERIFY(m_h.Reset());
}

void TestHistoryWindow::cleanup()
{
    m_h.Clear();
}

void TestHistoryWindow::fleetTableAfterUploads()
{
    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    // A second upload of the same instrument adds no row.
    QVERIFY(m_h.Upload(*m_h.fleet.front()));

    auto window = m_h.Window(*m_h.fleet.front());
    CFleetModel *model = window->FleetModel();
    QCOMPARE(model->rowCount(), 3);
    const QAbstractItemModel *shown = window->FleetView()->model();
    QStringList serials;
    for (int r = 0; r < shown->rowCount(); ++r)
        serials << shown->index(r, CFleetModel::Serial).data().toString();
    QCOMPARE(serials, QStringList({"00A10001", "00A10002", "00B20003"}));
    QCOMPARE(shown->index(1, CFleetModel::InstrumentId).data().toString().trimmed(), QStringLiteral("LAB BENCH"));
    const QString configuration = m_h.fleet.front()->rig.doc.Identity().ConfigurationText();
    QCOMPARE(shown->index(0, CFleetModel::Configuration).data().toString(), configuration);
    QVERIFY(!shown->index(0, CFleetModel::LastSeen).data().toString().isEmpty());
    QCOMPARE(shown->headerData(CFleetModel::CalibrationDue, Qt::Horizontal).toString(), QStringLiteral("Calibration Due"));

    // The connected instrument is selected, and its timeline lists both uploads.
    QCOMPARE(window->SelectedSerial(), QStringLiteral("00A10001"));
    QCOMPARE(window->TimelineModel()->rowCount(), 2);
    QCOMPARE(window->TimelineModel()->index(0, CTimelineModel::Kind).data().toString(), QStringLiteral("Upload"));
    QVERIFY(window->TimelineLabel()->text().contains(QStringLiteral("TRUCK 7")));
    QVERIFY(window->LocationLabel()->text().contains(QStringLiteral("3 instrument(s)")));
    QVERIFY(!window->WarningLabel()->parentWidget()->isVisibleTo(window.get()));
}


void TestHistoryWindow::filterAndSort_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("overdueOnly");
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("serials");

    // 00A10001 and 00B20003 have calibrations in their logs 400 and 10 days
    // ago, 00A10002 only the date its settings keep, 5 days ago; the interval
    // is 30 days.
    QTest::newRow("everything by serial") << "" << false << int(CFleetModel::Serial) << int(Qt::AscendingOrder)
                                          << QStringList{"00A10001", "00A10002", "00B20003"};
    QTest::newRow("serial descending") << "" << false << int(CFleetModel::Serial) << int(Qt::DescendingOrder)
                                       << QStringList{"00B20003", "00A10002", "00A10001"};
    QTest::newRow("by ID") << "" << false << int(CFleetModel::InstrumentId) << int(Qt::AscendingOrder)
                           << QStringList{"00A10002", "00B20003", "00A10001"};
    QTest::newRow("part of a serial") << "a1" << false << int(CFleetModel::Serial) << int(Qt::AscendingOrder)
                                      << QStringList{"00A10001", "00A10002"};
    QTest::newRow("ID, any case") << "tank" << false << int(CFleetModel::Serial) << int(Qt::AscendingOrder)
                                  << QStringList{"00B20003"};
    QTest::newRow("two words in different columns") << "00A1 bench" << false << int(CFleetModel::Serial)
                                                    << int(Qt::AscendingOrder) << QStringList{"00A10002"};
    QTest::newRow("nothing matches") << "no such" << false << int(CFleetModel::Serial) << int(Qt::AscendingOrder)
                                     << QStringList{};
    QTest::newRow("overdue only") << "" << true << int(CFleetModel::Serial) << int(Qt::AscendingOrder)
                                  << QStringList{"00A10001"};
    QTest::newRow("by calibration due") << "" << false << int(CFleetModel::CalibrationDue)
                                                      << int(Qt::AscendingOrder)
                                                      << QStringList{"00A10001", "00B20003", "00A10002"};
    QTest::newRow("by last calibration, newest first") << "" << false << int(CFleetModel::LastCalibration)
                                                       << int(Qt::DescendingOrder)
                                                       << QStringList{"00A10002", "00B20003", "00A10001"};
}


void TestHistoryWindow::filterAndSort()
{
    QFETCH(QString, filter);
    QFETCH(bool, overdueOnly);
    QFETCH(int, sortColumn);
    QFETCH(int, order);
    QFETCH(QStringList, serials);

    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    QVERIFY(m_h.fleet.front()->intervalDays > 10 && m_h.fleet.front()->intervalDays < 400);
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10001");
    retrieval.time = Now.addDays(-399);
    QVERIFY(m_h.store->RecordLog(retrieval, CalibrationAt(Now.addDays(-400))).stored);
    retrieval.serial = QStringLiteral("00B20003");
    retrieval.time = Now.addDays(-9);
    QVERIFY(m_h.store->RecordLog(retrieval, CalibrationAt(Now.addDays(-10))).stored);

    auto window = m_h.Window(*m_h.fleet.front());
    QTest::keyClicks(window->FilterEdit(), filter);
    window->OverdueOnlyBox()->setChecked(overdueOnly);
    window->FleetView()->sortByColumn(sortColumn, Qt::SortOrder(order));
    const QAbstractItemModel *shown = window->FleetView()->model();
    QStringList got;
    for (int r = 0; r < shown->rowCount(); ++r)
        got << shown->index(r, CFleetModel::Serial).data().toString();
    QCOMPARE(got, serials);
}


void TestHistoryWindow::overdueRowsMarked()
{
    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10002");
    retrieval.time = Now.addDays(-299);
    QVERIFY(m_h.store->RecordLog(retrieval, CalibrationAt(Now.addDays(-300))).stored);

    auto window = m_h.Window(*m_h.fleet.front());
    const CFleetModel *model = window->FleetModel();
    const int late = model->FindSerial(QStringLiteral("00A10002"));
    const int fine = model->FindSerial(QStringLiteral("00A10001"));
    QVERIFY(late >= 0 && fine >= 0);
    const HistoryFleetRow *row = model->Row(late);
    QVERIFY2(row->calibrationDue.isValid() && row->calibrationDue < Now,
             qPrintable(QStringLiteral("due %1").arg(row->calibrationDue.toString(Qt::ISODate))));
    QVERIFY(model->Overdue(late));
    QVERIFY(!model->Overdue(fine));
    QVERIFY(model->index(late, CFleetModel::Serial).data(Qt::BackgroundRole).isValid());
    QVERIFY(!model->index(fine, CFleetModel::Serial).data(Qt::BackgroundRole).isValid());
    QVERIFY(model->index(late, CFleetModel::Status).data().toString().contains(QStringLiteral("overdue")));
    QCOMPARE(model->index(late, CFleetModel::LastCalibration).data().toString(),
             CHistoryReport::LocalDate(Now.addDays(-300)));
    QVERIFY(window->LocationLabel()->text().contains(QStringLiteral("1 overdue")));
}


void TestHistoryWindow::timelineAndStoredLogInLogWindow()
{
    Instrument &instrument = *m_h.fleet.front();
    QVERIFY(m_h.Upload(instrument));
    // The log window fetches the simulated instrument's log; the recorder
    // watching it keeps every entry.
    CHistoryRecorder recorder(instrument.rig.doc, m_h.store.get());
    CLog log(instrument.rig.doc);
    log.SetPrompt(nullptr); // no save or clear questions afterwards
    recorder.WatchLog(log.Log());
    QTimer poll; // the main frame's status poll fetches a lost record again
    connect(&poll, &QTimer::timeout, &instrument.rig.doc, &CInstrumentDoc::PollInstrument);
    poll.start(1000);
    QSignalSpy recorded(&recorder, &CHistoryRecorder::Recorded);
    log.Log().Start();
    QVERIFY(instrument.rig.WaitFor([&] { return !recorded.isEmpty(); }, 30000));
    QCOMPARE(recorded.first().first().toString(), QStringLiteral("log"));
    const qsizetype fetched = log.Log().Entries().size();
    QVERIFY(fetched > 0);

    auto window = m_h.Window(instrument);
    CTimelineModel *timeline = window->TimelineModel();
    int logRow = -1;
    for (int r = 0; r < timeline->rowCount(); ++r) {
        if (timeline->Item(r)->kind == HistoryTimelineItem::LogRetrieval)
            logRow = r;
    }
    QVERIFY(logRow >= 0);
    QCOMPARE(timeline->index(logRow, CTimelineModel::Kind).data().toString(), QStringLiteral("Log"));
    QVERIFY(window->Button(QStringLiteral("Open Log"))->isEnabled());

    window->TimelineView()->selectRow(logRow);
    QSignalSpy open(window.get(), &CHistoryWindow::OpenLogRequested);
    QTest::mouseClick(window->Button(QStringLiteral("Open Log")), Qt::LeftButton);
    QCOMPARE(open.size(), 1);
    const auto entries = open.first().at(0).value<QList<LogRecord>>();
    const auto sensors = open.first().at(1).value<LogSensors>();
    QCOMPARE(open.first().at(2).toString(), QStringLiteral("00A10001"));
    QVERIFY(!entries.isEmpty());
    QCOMPARE(sensors.ToxicName(1), log.Log().Sensors().ToxicName(1));

    // In a log window of its own, as a loaded file would be: same sessions.
    CLog shown(instrument.rig.doc);
    shown.Log().SetLoaded(entries, sensors);
    QCOMPARE(shown.Log().Sessions().size(), LogSession::Find(entries).size());
    QVERIFY(!shown.Log().Sessions().isEmpty());
    QVERIFY(shown.Model()->rowCount() > 0 || !shown.Log().Entries().isEmpty());
}


void TestHistoryWindow::snapshotCompareShowsChangedAlarmLevel()
{
    Instrument &instrument = *m_h.fleet.front();
    QVERIFY(m_h.Upload(instrument));
    CSettingsImage &settings = instrument.rig.doc.Settings();
    const double before = settings.GetHighAlarm(CSettingsImage::SensorToxic1);
    const double after = before + 10;
    settings.SetHighAlarm(CSettingsImage::SensorToxic1, CSettingsImage::CurrentRange, after);
    const QString shownAfter = CSettingsCodec::FormatLevel(settings.GetHighAlarm(CSettingsImage::SensorToxic1),
                                                           settings.LevelScale(CSettingsImage::SensorToxic1));
    instrument.rig.doc.DownloadAll();
    QVERIFY(instrument.rig.WaitIdle());
    CHistoryRecorder recorder(instrument.rig.doc, m_h.store.get());
    recorder.DownloadVerified({});
    QVERIFY(recorder.LastResult().stored);

    auto window = m_h.Window(instrument);
    QCOMPARE(window->TimelineModel()->index(0, CTimelineModel::Kind).data().toString(), QStringLiteral("Download"));
    QCOMPARE(window->TimelineModel()->index(0, CTimelineModel::Result).data().toString(), QStringLiteral("Verified"));
    QVERIFY(window->Button(QStringLiteral("Compare Settings..."))->isEnabled());
    const auto [left, right] = window->SnapshotsToCompare();
    QVERIFY(left == 0 && right == 0); // nothing selected: the dialog takes the two newest

    CSnapshotCompareDialog dialog(*m_h.store, window->SelectedSerial(), left, right);
    QVERIFY(dialog.DifferencesOnlyBox()->isChecked());
    QTableWidget *table = dialog.Table();
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("HighAlarm3"));
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Advanced Features"));
    QCOMPARE(table->item(0, 3)->text(), shownAfter);
    QVERIFY(table->item(0, 2)->text() != shownAfter);
    QCOMPARE(dialog.Summary()->text(), QStringLiteral("1 difference"));
    QVERIFY(dialog.LeftBox()->currentText().contains(QStringLiteral("Upload")));
    QVERIFY(dialog.RightBox()->currentText().contains(QStringLiteral("Download, verified")));
    dialog.resize(760, 260);
    Shot(&dialog, QStringLiteral("history-compare.png"));

    // Every key side by side; the same snapshot on both sides differs nowhere.
    dialog.DifferencesOnlyBox()->setChecked(false);
    QVERIFY(table->rowCount() > 100);
    dialog.LeftBox()->setCurrentIndex(dialog.RightBox()->currentIndex());
    QCOMPARE(dialog.Summary()->text(), QStringLiteral("The same snapshot on both sides."));

    // Selecting the two snapshot rows in the timeline picks them, older left.
    window->TimelineView()->selectAll();
    const auto picked = window->SnapshotsToCompare();
    QCOMPARE(picked.first, window->TimelineModel()->Item(1)->refId);
    QCOMPARE(picked.second, window->TimelineModel()->Item(0)->refId);
}


void TestHistoryWindow::snapshotCompareKeysAndBytes()
{
    // Keys match case-blind; a key only one side has shows empty on the other;
    // TimeKeeper bits no key covers are named by byte.
    QByteArray a(64, '\0'), b(64, '\0');
    b[28] = char(0x04); // CalGas4's reserved bits 2-5
    CProfileFile left, right;
    left.WriteString(QStringLiteral("Advanced Features"), QStringLiteral("HighAlarm3"), QStringLiteral("35"));
    left.WriteStruct(QStringLiteral("Binary"), QStringLiteral("TimeKeeper"), a);
    right.WriteString(QStringLiteral("advanced features"), QStringLiteral("highalarm3"), QStringLiteral("35"));
    right.WriteString(QStringLiteral("Advanced Features"), QStringLiteral("BumpTest"), QStringLiteral("1"));
    right.WriteStruct(QStringLiteral("Binary"), QStringLiteral("TimeKeeper"), b);
    const QList<SnapshotCompareRow> rows =
        CSnapshotCompare::Rows(QString::fromLatin1(left.ToBytes()), QString::fromLatin1(right.ToBytes()));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).key, QStringLiteral("HighAlarm3"));
    QVERIFY(!rows.at(0).differs);
    QCOMPARE(rows.at(1).key, QStringLiteral("BumpTest"));
    QCOMPARE(rows.at(1).left, QString());
    QVERIFY(rows.at(1).differs);
    QCOMPARE(rows.at(2).key, QStringLiteral("TimeKeeper byte 28"));
    QCOMPARE(rows.at(2).right, QStringLiteral("04"));
}


void TestHistoryWindow::spoolWarningShows()
{
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    // A server nobody listens on: the store opens degraded and keeps what
    // it cannot write in its spool; the window says so.
    CHistoryStore down;
    QVERIFY2(down.Open(QStringLiteral("postgresql://nobody@127.0.0.1:1/history")), qPrintable(down.ErrorString()));
    Instrument &instrument = *m_h.fleet.front();
    CHistoryRecorder recorder(instrument.rig.doc, &down);
    CUploadWatch watch(instrument.rig.doc);
    connect(&watch, &CUploadWatch::UploadFinished, &recorder, &CHistoryRecorder::UploadDone);
    QSignalSpy recorded(&recorder, &CHistoryRecorder::Recorded);
    instrument.rig.doc.UploadAll();
    QVERIFY(instrument.rig.WaitFor([&] { return !recorded.isEmpty(); }, 20000));
    // The upload itself is complete whatever the history did.
    QVERIFY(!instrument.rig.doc.TransferProgress().IsOpen());
    QVERIFY(recorder.LastResult().spooled);
    QVERIFY(down.HasWarning());

    CHistoryWorker history;
    history.Open(QStringLiteral("postgresql://nobody@127.0.0.1:1/history"));
    CHistoryWindow window(instrument.rig.doc);
    window.SetHistory(&history);
    window.resize(window.FormSize());
    QVERIFY(WaitUntil([&] { return window.WarningLabel()->parentWidget()->isVisibleTo(&window); }, 20000));
    QVERIFY(window.WarningLabel()->text().contains(QStringLiteral("Nothing is lost")));
    QVERIFY2(window.WarningLabel()->text().contains(down.WarningText()), qPrintable(window.WarningLabel()->text()));
    QVERIFY(window.Button(QStringLiteral("Retry Now")));
    Shot(&window, QStringLiteral("history-warning.png"));
    window.SetHistory(nullptr);
    QFile::remove(down.SpoolFile());
}


void TestHistoryWindow::mainFrameShowsHistoryWarning_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("warning");
    if (BuildInfo::HasPostgresClient())
        QTest::newRow("server down: records wait") << true << "wait";
    QTest::newRow("a file that is not a history") << false << "cannot be opened";
}


void TestHistoryWindow::mainFrameShowsHistoryWarning()
{
    // The main window's status bar says so while records wait, or when the
    // database cannot be used at all; the upload completes as ever.
    QFETCH(bool, server);
    QFETCH(QString, warning);
    const QString notOurs = m_h.dir->filePath(QStringLiteral("notes.db"));
    QFile f(notOurs);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("These are a technician's notes, not a database.\n");
    f.close();
    CHistoryStore::SetPreferredLocation(server ? QStringLiteral("postgresql://nobody@127.0.0.1:1/frame") : notOurs);
    auto app = StartSimulatedApp();
    QVERIFY(app);
    CMainFrame *frame = app->MainFrame();
    const auto label = [frame]() -> QLabel * {
        for (QLabel *l : frame->statusBar()->findChildren<QLabel *>()) {
            if (l->text().startsWith(QStringLiteral("History")))
                return l;
        }
        return nullptr;
    };
    QVERIFY(WaitUntil([&] { return label() && label()->text().contains(warning); }, 20000));
    QVERIFY(label()->isVisibleTo(frame));
    if (server) {
        QVERIFY(label()->toolTip().contains(frame->History().State().spoolFile));
    } else {
        QVERIFY2(label()->toolTip().contains(QDir::toNativeSeparators(notOurs)), qPrintable(label()->toolTip()));
        QFile kept(notOurs);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().startsWith("These are a technician's notes")); // left as it was
    }
    QVERIFY(WaitUntil([&] { return frame->Document().Identity().SerialNumber() != 0xFFFFFFFF; }, 10000));
    const QString spool = frame->History().State().spoolFile;
    frame->close();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QFile::remove(spool);
}


void TestHistoryWindow::databaseDialog_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored");

    QTest::newRow("default file") << false << "" << true << "";
    // A build without the PostgreSQL client offers the file only.
    if (!BuildInfo::HasPostgresClient())
        return;
    QTest::newRow("server") << true << "postgresql://shop@db.example/history" << true << "postgresql://shop@db.example/history";
    QTest::newRow("local socket") << true << "postgresql://shop@/history?host=/run/postgresql" << true
                                  << "postgresql://shop@/history?host=/run/postgresql";
    QTest::newRow("service") << true << "postgresql:///?service=shop" << true << "postgresql:///?service=shop";
    QTest::newRow("not an address") << true << "db.example" << false << "";
    QTest::newRow("no database") << true << "postgresql://shop@db.example" << false << "";
    QTest::newRow("server chosen, nothing given") << true << "" << true << "";
}


void TestHistoryWindow::databaseDialog()
{
    QFETCH(bool, server);
    QFETCH(QString, address);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);

    CHistoryDatabaseDialog dialog;
    QVERIFY(dialog.DefaultButton()->isChecked());
    QCOMPARE(dialog.ServerButton()->isEnabled(), BuildInfo::HasPostgresClient());
    QVERIFY(!dialog.AddressEdit()->isEnabled());
    (server ? dialog.ServerButton() : dialog.DefaultButton())->setChecked(true);
    QCOMPARE(dialog.AddressEdit()->isEnabled(), server);
    dialog.AddressEdit()->setText(address);
    dialog.accept();
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.TestResult()->text().isEmpty(), accepted);
    QCOMPARE(CHistoryStore::PreferredLocation(), stored);
    // The next dialog starts from what was stored.
    CHistoryDatabaseDialog again;
    QCOMPARE(again.Location(), stored);
}


void TestHistoryWindow::mainFrameRecordsAndOpensHistory()
{
    const QString file = m_h.dir->filePath(QStringLiteral("frame.db"));
    CHistoryStore::SetPreferredLocation(file);
    auto app = StartSimulatedApp();
    QVERIFY(app);
    CMainFrame *frame = app->MainFrame();
    QVERIFY(frame);
    QVERIFY(WaitUntil([&] { return frame->History().State().open; }, 20000));
    QCOMPARE(frame->History().State().location, QDir::toNativeSeparators(file));
    QVERIFY(frame->History().WarningText().isEmpty());

    // The simulated run starts with an upload, which the history keeps.
    CHistoryStore reader;
    QVERIFY(reader.Open(file));
    QVERIFY(WaitUntil([&] { return reader.Fleet().size() == 1; }, 20000));
    const QString serial = frame->Document().Identity().SerialText();
    QCOMPARE(reader.Fleet().first().serial, serial);

    // Reachable from the View menu like the other views, under its title.
    QAction *action = frame->Action(CommandId::InstrumentHistory);
    QVERIFY(action && action->isEnabled());
    action->trigger();
    CInstrumentFrame *child = frame->FindChild(CHistoryWindow::Title);
    QVERIFY(child);
    QVERIFY(action->isChecked());
    auto *window = qobject_cast<CHistoryWindow *>(child->View());
    QVERIFY(window);
    QCOMPARE(window->History(), &frame->History().Worker());
    QVERIFY(WaitUntil([&] { return window->FleetModel()->rowCount() == 1 && window->SelectedSerial() == serial; }, 20000));

    // A second upload from the menu is recorded too, and the open window follows.
    frame->OnCommand(CommandId::Upload);
    QVERIFY(WaitUntil([&] { return window->TimelineModel()->rowCount() == 2; }, 20000));
    Shot(frame, QStringLiteral("history-main-window.png"));

    // Open Log shows the stored entries in the log window.
    CHistoryRecorder &recorder = frame->History().Recorder();
    QSignalSpy recorded(&recorder, &CHistoryRecorder::Recorded);
    CInstrumentFrame *logFrame = frame->OpenView(QStringLiteral("Log View"));
    auto *log = qobject_cast<CLog *>(logFrame->View());
    QVERIFY(log);
    log->SetPrompt(nullptr);
    log->Start();
    QVERIFY(WaitUntil([&] { return !recorded.isEmpty() && !log->Log().Busy(); }, 30000));
    const qsizetype fetched = log->Log().Entries().size();
    frame->OpenView(CHistoryWindow::Title);
    QVERIFY(WaitUntil([&] { return window->Button(QStringLiteral("Open Log"))->isEnabled(); }, 5000));
    // The window showed a file before: the stored log is no file, so Add to
    // History must not file its entries under that file's name.
    const QString csv = m_h.dir->filePath(QStringLiteral("fetched.csv"));
    QVERIFY(log->SaveTo(csv));
    QSignalSpy loaded(log, &CLog::LoadFinished);
    QVERIFY(log->LoadFrom(csv));
    QVERIFY(loaded.wait(20000));
    QCOMPARE(log->LoadedFile(), csv);
    QVERIFY(frame->ShowStoredLog(reader.LogEntries(serial), reader.Retrievals(serial).first().sensors, serial));
    QVERIFY(log->LoadedFile().isEmpty());
    QVERIFY(log->Log().Entries().size() > 0);
    QVERIFY(log->Log().Entries().size() <= fetched);
    QVERIFY(!log->Log().LiveSensors());

    // Remembered with the window list.
    frame->SaveWindowList();
    QVERIFY(QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
                      QString::fromLatin1(Pref::Application))
                .allKeys()
                .join(QLatin1Char('|'))
                .contains(QStringLiteral("Instrument History")));
    frame->close();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}


void TestHistoryWindow::writeWaitsOffTheWindowsThread()
{
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    // A server that takes the connection and never answers: each attempt
    // waits out the connect timeout on the history's thread, while the
    // windows' event loop goes on; the record ends in the spool.
    CSilentServer silent;
    QVERIFY(silent.Start());
    const QString url = silent.Url(QStringLiteral("history"));
    const QString spool = CHistoryStore::SpoolFileFor(url);
    QFile::remove(spool);
    Instrument &instrument = *m_h.fleet.front();
    auto service = std::make_unique<CHistoryService>(instrument.rig.doc);
    QVERIFY(service->Open(url));
    CHistoryWindow window(instrument.rig.doc);
    service->Attach(&window);
    QSignalSpy recorded(&service->Recorder(), &CHistoryRecorder::Recorded);

    bool uploaded = false;
    int ticksWhileWaiting = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (uploaded && recorded.isEmpty())
            ++ticksWhileWaiting;
    });
    ticker.start(10);
    instrument.rig.doc.UploadAll();
    QVERIFY(WaitUntil([&] { return !instrument.rig.doc.TransferProgress().IsOpen() && instrument.rig.doc.Link().IsIdle(); }, 20000));
    uploaded = true;
    QVERIFY(WaitUntil([&] { return !recorded.isEmpty(); }, 40000));
    // The write waited at least one connect timeout; the timer went on firing.
    QVERIFY2(ticksWhileWaiting >= 20, qPrintable(QString::number(ticksWhileWaiting)));
    QVERIFY(silent.Connections() >= 1);
    QCOMPARE(recorded.first().first().toString(), QStringLiteral("upload"));
    QVERIFY(service->Recorder().LastResult().spooled);
    QCOMPARE(CHistorySpool(spool).Count(), 2); // the instrument's row and its settings
    QVERIFY(WaitUntil([&] { return window.WarningLabel()->parentWidget()->isVisibleTo(&window); }, 20000));
    QCOMPARE(service->WarningText(), QStringLiteral("History: 2 record(s) wait to be written"));
    service.reset();
    QFile::remove(spool);
}

void TestHistoryWindow::closingWhileAWriteWaits()
{
    if (!BuildInfo::HasPostgresClient())
        QSKIP("this build has no PostgreSQL client");
    // The main window closes while its history still waits for a server
    // that never answers: nothing crashes, and the record is in the spool.
    CSilentServer silent;
    QVERIFY(silent.Start());
    const QString url = silent.Url(QStringLiteral("frame"));
    const QString spool = CHistoryStore::SpoolFileFor(url);
    QFile::remove(spool);
    CHistoryStore::SetPreferredLocation(url);
    auto app = StartSimulatedApp();
    QVERIFY(app);
    CMainFrame *frame = app->MainFrame();
    QVERIFY(WaitUntil([&] { return frame->Document().Identity().SerialNumber() != 0xFFFFFFFF; }, 20000));
    frame->History().Recorder().UploadDone();
    QVERIFY(frame->History().Worker().Pending() > 0);
    frame->close();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CHistorySpool kept(spool);
    QStringList kinds;
    QString error;
    kept.Replay(
        [&](const CHistorySpool::Record &r) {
            kinds << CHistorySpoolCodec::Kind(r);
            return CHistorySpool::Outcome::Done;
        },
        &error);
    QVERIFY2(kinds.size() >= 2 && kinds.last() == QLatin1String("snapshot"), qPrintable(kinds.join(QLatin1Char(' '))));
    QFile::remove(spool);
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_history.moc"
