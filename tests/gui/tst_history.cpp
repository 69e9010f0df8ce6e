// The Instrument History window against a fleet of simulated instruments recorded into a real SQLite file: the fleet table, filter and sort, the timeline, a stored log in the log window, two snapshots compared, the spool warning, the database preference and the PDF reports.
#include "ProgramRuns.h"
#include "SimRig.h"
#include "app/AltavoApp.h"
#include "app/CommandIds.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "app/ViewRegistry.h"
#include "datalog/Log.h"
#include "datalog/LogTableModel.h"
#include "datalog/LogRetrieval.h"
#include "history/FleetFilter.h"
#include "history/FleetModel.h"
#include "history/HistoryDatabaseDialog.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryService.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "history/SnapshotCompareDialog.h"
#include "history/TimelineModel.h"
#include "history/UploadWatch.h"
#include "SimInstrument.h"
#include "document/WordImage.h"
#include "datalog/LogSession.h"
#include "document/SettingsCodec.h"
#include "platform/Preferences.h"
#include "platform/ProfileFile.h"
#include "report/HistoryReport.h"
#include "report/ReportPrinter.h"
#include "report/SnapshotCompare.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <memory>

namespace {

// The instrument keeps its last calibration date without a year, so the
// dates here follow the day the test runs.
const QDateTime Now = QDateTime::currentDateTimeUtc();

LogRecord Event(int code, const QDateTime &time, quint32 param = 0)
{
    LogRecord e;
    e.kind = LogRecord::Event;
    e.code = quint32(code);
    e.param = param;
    e.time = time;
    return e;
}

// A passed HC calibration ending at t, and a passed bump test a minute later.
QList<LogRecord> CalibrationAt(const QDateTime &t)
{
    return {Event(29, t.addSecs(-120), 0x1), Event(11, t.addSecs(-60)), Event(32, t.addSecs(-10), 0x1),
            Event(33, t, 0x1),               Event(36, t.addSecs(2)),   Event(28, t.addSecs(30)),
            Event(30, t.addSecs(50), 0x1),   Event(24, t.addSecs(60))};
}

QString PdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// One simulated instrument with its own serial number and ID, a calibration
// interval, the last calibration date its settings keep and no bump tests
// required. A calibration in a recorded log takes over from that date.
struct Instrument
{
    Instrument(quint32 serial, const QByteArray &id, int calIntervalDays = 30, int calibratedDaysAgo = 5)
        : rig(Options(serial))
    {
        CSimInstrument &sim = rig.sim.Instrument();
        sim.SetIdEntry(CSettingsImage::InstrumentIdEntry, id.leftJustified(16, ' '));
        const CWordImage words;
        CSettingsImage settings(words);
        settings.StoreTimeKeeper(0, sim.TimeKeeper());
        settings.SetLastCalDate(QDate::currentDate().addDays(-calibratedDaysAgo));
        settings.SetCalInterval(calIntervalDays);
        settings.SetBumpTest(0);
        intervalDays = settings.GetCalInterval();
        const QByteArray block = settings.TimeKeeperPiece(0, CSettingsImage::TimeKeeperSize);
        sim.SetTimeKeeper(CSettingsImage::SettingsOffset, block.mid(CSettingsImage::SettingsOffset));
        rig.doc.SetIdEntriesWanted(true);
    }
    int intervalDays = 0;
    static SimOptions Options(quint32 serial)
    {
        SimOptions o;
        o.serialNumber = serial;
        return o;
    }
    SimRig rig;
};

} // namespace

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
    void pdfReports();
    void spoolWarningShows();
    void databaseDialog_data();
    void databaseDialog();
    void mainFrameRecordsAndOpensHistory();
    void mainFrameShowsHistoryWarning_data();
    void mainFrameShowsHistoryWarning();
    void cliWritesPdfReports();
    void screenshot();

private:
    // Uploads the instrument as the windows do and waits until the history has it.
    bool Upload(Instrument &instrument);
    std::unique_ptr<CHistoryWindow> Window(Instrument &instrument);
    void Shot(QWidget *w, const QString &name);

    QTemporaryDir m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CHistoryStore> m_store;
    std::vector<std::unique_ptr<Instrument>> m_fleet;
};

void TestHistoryWindow::initTestCase()
{
    UseTemporarySettings(m_settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
    QVERIFY(CViewRegistry::FindTitle(CHistoryWindow::Title));
    QCOMPARE(CViewRegistry::FindTitle(CHistoryWindow::Title)->commandId, int(CommandId::InstrumentHistory));
}

void TestHistoryWindow::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
              QString::fromLatin1(Pref::Application))
        .clear();
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<CHistoryStore>();
    QVERIFY2(m_store->Open(m_dir->filePath(QStringLiteral("history.db"))), qPrintable(m_store->ErrorString()));
    m_fleet.clear();
    m_fleet.push_back(std::make_unique<Instrument>(0x00A10001, "TRUCK 7"));
    m_fleet.push_back(std::make_unique<Instrument>(0x00A10002, "LAB BENCH"));
    m_fleet.push_back(std::make_unique<Instrument>(0x00B20003, "TANK FARM"));
}

void TestHistoryWindow::cleanup()
{
    m_fleet.clear();
    m_store.reset();
    m_dir.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool TestHistoryWindow::Upload(Instrument &instrument)
{
    CHistoryRecorder recorder(instrument.rig.doc, m_store.get());
    CUploadWatch watch(instrument.rig.doc);
    connect(&watch, &CUploadWatch::UploadFinished, &recorder, &CHistoryRecorder::UploadDone);
    QSignalSpy recorded(&recorder, &CHistoryRecorder::Recorded);
    instrument.rig.doc.UploadAll();
    return instrument.rig.WaitFor([&] { return !recorded.isEmpty(); }, 15000) && recorder.LastResult().stored;
}

std::unique_ptr<CHistoryWindow> TestHistoryWindow::Window(Instrument &instrument)
{
    auto window = std::make_unique<CHistoryWindow>(instrument.rig.doc);
    window->SetNowProvider([] { return Now; });
    window->SetStore(m_store.get());
    window->resize(window->FormSize());
    window->OnInitialUpdate();
    return window;
}

void TestHistoryWindow::Shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name));
}

void TestHistoryWindow::fleetTableAfterUploads()
{
    for (auto &i : m_fleet)
        QVERIFY(Upload(*i));
    // A second upload of the same instrument adds no row.
    QVERIFY(Upload(*m_fleet.front()));

    auto window = Window(*m_fleet.front());
    CFleetModel *model = window->FleetModel();
    QCOMPARE(model->rowCount(), 3);
    const QAbstractItemModel *shown = window->FleetView()->model();
    QStringList serials;
    for (int r = 0; r < shown->rowCount(); ++r)
        serials << shown->index(r, CFleetModel::Serial).data().toString();
    QCOMPARE(serials, QStringList({"00A10001", "00A10002", "00B20003"}));
    QCOMPARE(shown->index(1, CFleetModel::InstrumentId).data().toString().trimmed(), QStringLiteral("LAB BENCH"));
    const QString configuration = m_fleet.front()->rig.doc.Identity().ConfigurationText();
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

    for (auto &i : m_fleet)
        QVERIFY(Upload(*i));
    QVERIFY(m_fleet.front()->intervalDays > 10 && m_fleet.front()->intervalDays < 400);
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10001");
    retrieval.time = Now.addDays(-399);
    QVERIFY(m_store->RecordLog(retrieval, CalibrationAt(Now.addDays(-400))).stored);
    retrieval.serial = QStringLiteral("00B20003");
    retrieval.time = Now.addDays(-9);
    QVERIFY(m_store->RecordLog(retrieval, CalibrationAt(Now.addDays(-10))).stored);

    auto window = Window(*m_fleet.front());
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
    for (auto &i : m_fleet)
        QVERIFY(Upload(*i));
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10002");
    retrieval.time = Now.addDays(-299);
    QVERIFY(m_store->RecordLog(retrieval, CalibrationAt(Now.addDays(-300))).stored);

    auto window = Window(*m_fleet.front());
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
    Instrument &instrument = *m_fleet.front();
    QVERIFY(Upload(instrument));
    // The log window fetches the simulated instrument's log; the recorder
    // watching it keeps every entry.
    CHistoryRecorder recorder(instrument.rig.doc, m_store.get());
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

    auto window = Window(instrument);
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
    Instrument &instrument = *m_fleet.front();
    QVERIFY(Upload(instrument));
    CSettingsImage &settings = instrument.rig.doc.Settings();
    const double before = settings.GetHighAlarm(CSettingsImage::SensorToxic1);
    const double after = before + 10;
    settings.SetHighAlarm(CSettingsImage::SensorToxic1, CSettingsImage::CurrentRange, after);
    const QString shownAfter = CSettingsCodec::FormatLevel(settings.GetHighAlarm(CSettingsImage::SensorToxic1),
                                                           settings.LevelScale(CSettingsImage::SensorToxic1));
    instrument.rig.doc.DownloadAll();
    QVERIFY(instrument.rig.WaitIdle());
    CHistoryRecorder recorder(instrument.rig.doc, m_store.get());
    recorder.DownloadVerified({});
    QVERIFY(recorder.LastResult().stored);

    auto window = Window(instrument);
    QCOMPARE(window->TimelineModel()->index(0, CTimelineModel::Kind).data().toString(), QStringLiteral("Download"));
    QCOMPARE(window->TimelineModel()->index(0, CTimelineModel::Result).data().toString(), QStringLiteral("Verified"));
    QVERIFY(window->Button(QStringLiteral("Compare Settings..."))->isEnabled());
    const auto [left, right] = window->SnapshotsToCompare();
    QVERIFY(left == 0 && right == 0); // nothing selected: the dialog takes the two newest

    CSnapshotCompareDialog dialog(*m_store, window->SelectedSerial(), left, right);
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

void TestHistoryWindow::pdfReports()
{
    for (auto &i : m_fleet)
        QVERIFY(Upload(*i));
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10002");
    retrieval.time = Now.addDays(-299);
    QVERIFY(m_store->RecordLog(retrieval, CalibrationAt(Now.addDays(-300))).stored);
    auto window = Window(*m_fleet.front());
    // 00A10001 (its settings' date) and 00B20003 fall due in (interval - 5) days, 00A10002 is overdue.
    QVERIFY(m_fleet.front()->intervalDays > 25);
    window->DueWithinBox()->setValue(20);

    // What the pages hold.
    const std::unique_ptr<QTextDocument> due = window->DueListReport();
    QVERIFY(due);
    const QString dueText = due->toPlainText();
    QVERIFY(dueText.contains(QStringLiteral("Calibration Due List")));
    QVERIFY(dueText.contains(QStringLiteral("00A10002")));
    QVERIFY(dueText.contains(QStringLiteral("Calibration overdue")));
    QVERIFY(!dueText.contains(QStringLiteral("00A10001")));
    window->DueWithinBox()->setValue(30);
    QVERIFY(window->DueListReport()->toPlainText().contains(QStringLiteral("00A10001")));
    QVERIFY2(window->DueListReport()->toPlainText().contains(QStringLiteral("Due in %1 days").arg(m_fleet.front()->intervalDays - 5)), qPrintable(window->DueListReport()->toPlainText()));

    window->SelectSerial(QStringLiteral("00A10002"));
    const std::unique_ptr<QTextDocument> record = window->CalibrationRecordReport();
    QVERIFY(record);
    const QString recordText = record->toPlainText();
    QVERIFY(recordText.contains(QStringLiteral("Calibration Record 00A10002")));
    QVERIFY(recordText.contains(QStringLiteral("LAB BENCH")));
    QVERIFY(recordText.contains(QStringLiteral("Bump test")));
    QVERIFY(recordText.contains(CHistoryReport::LocalDateTime(Now.addDays(-300))));

    // The files.
    const QString duePath = m_dir->filePath(QStringLiteral("due.pdf"));
    const QString recordPath = m_dir->filePath(QStringLiteral("record.pdf"));
    QVERIFY(window->SaveDueList(duePath));
    QVERIFY(window->SaveCalibrationRecord(recordPath));
    for (const QString &path : {duePath, recordPath}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.size() > 2000);
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
    }
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils, installed by scripts/bootstrap) is needed to read the reports back");
    const QString duePdf = PdfText(duePath);
    QVERIFY2(duePdf.contains(QStringLiteral("Calibration Due List")), qPrintable(duePdf));
    QVERIFY(duePdf.contains(QStringLiteral("00A10002")));
    QVERIFY(duePdf.contains(QStringLiteral("Page 1 of 1")));
    const QString recordPdf = PdfText(recordPath);
    QVERIFY2(recordPdf.contains(QStringLiteral("Calibration Record 00A10002")), qPrintable(recordPdf));
    QVERIFY(recordPdf.contains(QStringLiteral("Checked by")));

    // A folder that cannot be written: a clear failure naming the file, the old file kept.
    const QString blocked = m_dir->filePath(QStringLiteral("no-such-folder/due.pdf"));
    QString error;
    QVERIFY(!CReportPrinter::WritePdf(*due, blocked, QStringLiteral("x"), QPageLayout::Portrait, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(blocked)), qPrintable(error));
}

void TestHistoryWindow::spoolWarningShows()
{
    // A server nobody listens on: the store opens degraded and keeps what
    // it cannot write in its spool; the window says so.
    CHistoryStore down;
    QVERIFY2(down.Open(QStringLiteral("postgresql://nobody@127.0.0.1:1/history")), qPrintable(down.ErrorString()));
    Instrument &instrument = *m_fleet.front();
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

    CHistoryWindow window(instrument.rig.doc);
    window.SetStore(&down);
    window.resize(window.FormSize());
    QVERIFY(window.WarningLabel()->parentWidget()->isVisibleTo(&window));
    QVERIFY(window.WarningLabel()->text().contains(QStringLiteral("Nothing is lost")));
    QVERIFY2(window.WarningLabel()->text().contains(down.WarningText()), qPrintable(window.WarningLabel()->text()));
    QVERIFY(window.Button(QStringLiteral("Retry Now")));
    Shot(&window, QStringLiteral("history-warning.png"));
    window.SetStore(nullptr);
    QFile::remove(down.SpoolFile());
}

void TestHistoryWindow::mainFrameShowsHistoryWarning_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("warning");
    QTest::newRow("server down: records wait") << true << "wait";
    QTest::newRow("a file that is not a history") << false << "cannot be opened";
}

void TestHistoryWindow::mainFrameShowsHistoryWarning()
{
    // The main window's status bar says so while records wait, or when the
    // database cannot be used at all; the upload completes as ever.
    QFETCH(bool, server);
    QFETCH(QString, warning);
    const QString notOurs = m_dir->filePath(QStringLiteral("notes.db"));
    QFile f(notOurs);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("These are a technician's notes, not a database.\n");
    f.close();
    CHistoryStore::SetPreferredLocation(server ? QStringLiteral("postgresql://nobody@127.0.0.1:1/frame") : notOurs);
    auto app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = false;
    QVERIFY(app->Start({QStringLiteral("--simulate")}, options));
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
        QVERIFY(label()->toolTip().contains(frame->History().Store().SpoolFile()));
    } else {
        QVERIFY2(label()->toolTip().contains(QDir::toNativeSeparators(notOurs)), qPrintable(label()->toolTip()));
        QFile kept(notOurs);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().startsWith("These are a technician's notes")); // left as it was
    }
    QVERIFY(WaitUntil([&] { return frame->Document().Identity().SerialNumber() != 0xFFFFFFFF; }, 10000));
    const QString spool = frame->History().Store().SpoolFile();
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
    QTest::newRow("server") << true << "postgresql://shop@db.example/history" << true << "postgresql://shop@db.example/history";
    QTest::newRow("local socket") << true << "postgresql://shop@/history?host=/run/postgresql" << true
                                  << "postgresql://shop@/history?host=/run/postgresql";
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
    const QString file = m_dir->filePath(QStringLiteral("frame.db"));
    CHistoryStore::SetPreferredLocation(file);
    auto app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = false;
    QVERIFY(app->Start({QStringLiteral("--simulate")}, options));
    CMainFrame *frame = app->MainFrame();
    QVERIFY(frame);
    QCOMPARE(frame->History().Store().Location(), file);
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
    QCOMPARE(window->Store(), &frame->History().Store());
    QCOMPARE(window->FleetModel()->rowCount(), 1);
    QCOMPARE(window->SelectedSerial(), serial);

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
    QVERIFY(frame->ShowStoredLog(reader.LogEntries(serial), reader.Retrievals(serial).first().sensors, serial));
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

void TestHistoryWindow::cliWritesPdfReports()
{
    // altavo-cli records an upload from a simulator of its own serial number,
    // then writes both reports; the history commands open no port.
    CSimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--pty"), QStringLiteral("--serial-number"), QStringLiteral("0x00D40007")}));
    const QString db = m_dir->filePath(QStringLiteral("cli.db"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    CliRun run = RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--history"), db, QStringLiteral("upload")}, env);
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));

    const QString due = m_dir->filePath(QStringLiteral("cli-due.pdf"));
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("due"), QStringLiteral("--within"),
                  QStringLiteral("3650"), QStringLiteral("--pdf"), due},
                 env);
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY(run.out.contains(QStringLiteral("Calibration Due List saved to")));
    const QString record = m_dir->filePath(QStringLiteral("cli-record.pdf"));
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("D40007"),
                  QStringLiteral("--pdf"), record},
                 env);
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    const QString dueText = PdfText(due);
    QVERIFY2(dueText.contains(QStringLiteral("Calibration Due List")) && dueText.contains(QStringLiteral("00D40007")),
             qPrintable(dueText));
    const QString recordText = PdfText(record);
    QVERIFY2(recordText.contains(QStringLiteral("Calibration Record 00D40007")), qPrintable(recordText));
    QVERIFY(recordText.contains(QStringLiteral("Last calibration")));

    // --pdf only where there is a report; a file that cannot be written fails.
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("list"), QStringLiteral("--pdf"), due}, env);
    QCOMPARE(run.status, 2);
    run = RunCli({QStringLiteral("--serial"), sim.Pty(), QStringLiteral("--pdf"), due, QStringLiteral("identity")}, env);
    QCOMPARE(run.status, 2);
    const QString blocked = m_dir->filePath(QStringLiteral("missing/due.pdf"));
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("due"), QStringLiteral("--pdf"), blocked}, env);
    QCOMPARE(run.status, 5);
    QVERIFY2(run.err.contains(blocked), qPrintable(Describe(run)));
}

void TestHistoryWindow::screenshot()
{
    // A small fleet as a shop would have it: several uploads, calibrations
    // of different ages, one instrument overdue.
    m_fleet.clear();
    m_fleet.push_back(std::make_unique<Instrument>(0x00A10001, "TRUCK 7", 180));
    m_fleet.push_back(std::make_unique<Instrument>(0x00A10002, "LAB BENCH", 180));
    m_fleet.push_back(std::make_unique<Instrument>(0x00B20003, "TANK FARM", 180));
    m_fleet.push_back(std::make_unique<Instrument>(0x00B20004, "BOILER HOUSE", 180));
    m_fleet.push_back(std::make_unique<Instrument>(0x00C30005, "CONFINED 2", 180, 60));
    m_fleet.push_back(std::make_unique<Instrument>(0x00C30006, "SPARE POOL", 180, 150));
    m_fleet.push_back(std::make_unique<Instrument>(0x00D40007, "PUMP ROOM", 180, 190));
    m_fleet.push_back(std::make_unique<Instrument>(0x00D40008, "WELL HEAD 3", 180, 20));
    for (auto &i : m_fleet)
        QVERIFY(Upload(*i));
    const QList<std::pair<QString, int>> ages = {{"00A10001", 12}, {"00A10002", 300}, {"00B20003", 170}, {"00B20004", 40}};
    for (const auto &[serial, days] : ages) {
        HistoryLogRetrieval retrieval;
        retrieval.serial = serial;
        retrieval.time = Now.addDays(-days + 1);
        QVERIFY(m_store->RecordLog(retrieval, CalibrationAt(Now.addDays(-days))).stored);
    }
    QVERIFY(Upload(*m_fleet.front()));
    auto window = Window(*m_fleet.front());
    window->resize(1040, 560);
    window->show();
    QTest::qWait(50);
    Shot(window.get(), QStringLiteral("history-window.png"));
    const QString path = m_dir->filePath(QStringLiteral("shot-due.pdf"));
    QVERIFY(window->SaveDueList(path));
    const QString shots = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!shots.isEmpty()) {
        QFile::remove(QDir(shots).filePath(QStringLiteral("history-due.pdf")));
        QFile::copy(path, QDir(shots).filePath(QStringLiteral("history-due.pdf")));
        window->SelectSerial(QStringLiteral("00A10002"));
        window->SaveCalibrationRecord(QDir(shots).filePath(QStringLiteral("history-record.pdf")));
    }
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_history.moc"
