// Due dates from the instrument and its log side by side in the history window and the calibration record (read back from the PDF), the record's certificates, and "Add to History" in the log window.
#include "AgreeingOperator.h"
#include "HistoryFixture.h"
#include "history/HistoryWorker.h"
#include "history/LogHistoryImport.h"
#include "report/CalibrationCertificate.h"
#include "SimLogGenerator.h"
#include "datalog/LogCsv.h"
#include "datalog/LogDecoder.h"

namespace {
// The log window reads a file on a thread of its own: started, then shown.
bool LoadedInto(CLog &log, const QString &path)
{
    QSignalSpy finished(&log, &CLog::LoadFinished);
    if (!log.LoadFrom(path) || !finished.wait(30000))
        return false;
    return finished.first().first().toBool();
}

// A log of the generator's with the given instrument ID, saved as a CSV file.
QString SavedLog(const QString &path, const QByteArray &instrumentId, quint32 seed)
{
    CSimLogGenerator::Settings s;
    s.instrumentId = instrumentId;
    s.operators = {"ANN"};
    s.locations = {"TANK 4"};
    const CSimLogGenerator::Result log = CSimLogGenerator::Build(seed, 600, Now, s);
    const LogSensors sensors(QStringLiteral("CO"), 1, QStringLiteral("H2S"), 10, 100);
    LogDecoder decoder(sensors);
    decoder.SetRunningDate(log.start.date());
    QList<LogRecord> entries{LogRecord::Marker(LogRecord::StartOfLog, log.start)};
    for (const QByteArray &r : log.records)
        decoder.Decode(r, entries);
    entries.append(LogRecord::Marker(LogRecord::EndOfLog, Now));
    return LogCsv::Save(path, entries, sensors, nullptr, nullptr) ? path : QString();
}
} // namespace

class TestHistoryDueWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void disagreementInTableAndCertificate();
    void addLoadedCsvToHistory();

private:
    QTemporaryDir m_settings;
    HistoryFleet m_h;
};

void TestHistoryDueWindow::initTestCase()
{
    UseHistoryTestSettings(m_settings);
}

void TestHistoryDueWindow::init()
{
    ClearPreferences();
    QVERIFY(m_h.Reset());
}

void TestHistoryDueWindow::cleanup()
{
    m_h.Clear();
}

void TestHistoryDueWindow::disagreementInTableAndCertificate()
{
    // TRUCK 7's settings say it was calibrated 5 days ago; its log says 400
    // days ago, and a failed O2 calibration 2 days ago on LAB BENCH.
    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    Instrument &truck = *m_h.fleet.front();
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10001");
    retrieval.time = Now.addDays(-399);
    retrieval.computer = QStringLiteral("BENCH-PC");
    retrieval.user = QStringLiteral("ann");
    QVERIFY(m_h.store->RecordLog(retrieval, CalibrationAt(Now.addDays(-400))).stored);
    retrieval.opKey.clear();
    retrieval.serial = QStringLiteral("00A10002");
    retrieval.time = Now.addDays(-1);
    const QDateTime failed = Now.addDays(-2);
    QVERIFY(m_h.store->RecordLog(retrieval, {Event(11, failed.addSecs(-60)), Event(32, failed.addSecs(-10), 0x3),
                                             Event(33, failed, 0x3 | 0x200), Event(36, failed.addSecs(2))})
                .stored);

    auto window = m_h.Window(truck);
    const CFleetModel *model = window->FleetModel();
    const int row = model->FindSerial(QStringLiteral("00A10001"));
    const HistoryFleetRow *fleet = model->Row(row);
    QVERIFY(fleet && fleet->instrumentDue.isValid() && fleet->logDue.isValid());
    const QString differ = QStringLiteral("instrument: due %1; log: calibrated %2")
                               .arg(CHistoryReport::LocalDate(fleet->instrumentDue), CHistoryReport::LocalDate(Now.addDays(-400)));
    const QString status = model->index(row, CFleetModel::Status).data().toString();
    QVERIFY2(status.startsWith(QStringLiteral("Calibration overdue")) && status.contains(differ), qPrintable(status));
    const QString lab = model->index(model->FindSerial(QStringLiteral("00A10002")), CFleetModel::Status).data().toString();
    QVERIFY2(lab.contains(QStringLiteral("log: calibration failed %1").arg(CHistoryReport::LocalDate(failed))), qPrintable(lab));
    // An instrument whose settings alone give its due date says nothing more.
    QCOMPARE(model->index(model->FindSerial(QStringLiteral("00B20003")), CFleetModel::Status).data().toString(),
             QStringLiteral("Due in %1 days").arg(truck.intervalDays - 5));

    // The record, read back from its PDF: both dates, and a certificate with
    // the settings in force (the upload) and who retrieved the log.
    window->SelectSerial(QStringLiteral("00A10001"));
    const QString path = m_h.dir->filePath(QStringLiteral("record.pdf"));
    QVERIFY(window->SaveCalibrationRecord(path));
    if (!CanReadPdfText())
        QSKIP("no pdftotext here: the record's text is checked on Linux");
    // pdftotext gives the font's ligatures ("ﬀ", "ﬁ") as single characters.
    QString pdf = PdfText(path).simplified();
    pdf.replace(QChar(0xFB00), QLatin1String("ff")).replace(QChar(0xFB01), QLatin1String("fi")).replace(QChar(0xFB02), QLatin1String("fl"));
    QVERIFY2(pdf.contains(QStringLiteral("Due dates differ ") + differ), qPrintable(pdf));
    QVERIFY2(pdf.contains(QStringLiteral("Calibration certificates")), qPrintable(pdf));
    QVERIFY(pdf.contains(QStringLiteral("Calibration %1").arg(CHistoryReport::LocalDateTime(Now.addDays(-400)))));
    QVERIFY2(pdf.contains(QStringLiteral("on BENCH-PC by ann")), qPrintable(pdf));
    QVERIFY(pdf.contains(QStringLiteral("(read after this calibration)")));
    // The HC row: the calibration gas, warning and high alarm of the settings, in %LEL.
    const HistorySnapshot settings = m_h.store->Snapshots(QStringLiteral("00A10001")).constFirst();
    const CCalibrationCertificate::SensorSettings hc = CCalibrationCertificate::Settings(settings.optionsText, 0, QStringLiteral("-02 %LEL HEX"));
    QVERIFY(!hc.calGas.isEmpty() && !hc.warning.isEmpty() && !hc.high.isEmpty());
    const QString hcRow = QStringLiteral("HC %1 %LEL %2 %LEL %3 %LEL Passed").arg(hc.calGas, hc.warning, hc.high);
    QVERIFY2(pdf.contains(hcRow), qPrintable(hcRow + QStringLiteral("\n") + pdf));

    // LAB BENCH's failed calibration: O2 with the simulator's settings, failed; HC passed.
    window->SelectSerial(QStringLiteral("00A10002"));
    const QString labPath = m_h.dir->filePath(QStringLiteral("lab.pdf"));
    QVERIFY(window->SaveCalibrationRecord(labPath));
    const QString labPdf = PdfText(labPath).simplified();
    QVERIFY2(labPdf.contains(QStringLiteral("O2 0 %VOL 19.5 %VOL 23.5 %VOL Failed")), qPrintable(labPdf));
    QVERIFY2(labPdf.contains(QStringLiteral("HC %1 %LEL %2 %LEL %3 %LEL Passed").arg(hc.calGas, hc.warning, hc.high)), qPrintable(labPdf));
    QVERIFY2(labPdf.contains(QStringLiteral("log: calibration failed ") + CHistoryReport::LocalDate(failed)), qPrintable(labPdf));
    const QString shots = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!shots.isEmpty()) {
        QFile::remove(QDir(shots).filePath(QStringLiteral("history-certificate.pdf")));
        QFile::copy(labPath, QDir(shots).filePath(QStringLiteral("history-certificate.pdf")));
    }
}

void TestHistoryDueWindow::addLoadedCsvToHistory()
{
    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    Instrument &truck = *m_h.fleet.front();
    CLog log(truck.rig.doc);
    AgreeingOperator prompt;
    log.SetPrompt(&prompt);
    QVERIFY(log.Button(QStringLiteral("Add to History"))->isHidden());
    int changed = 0;
    CHistoryWorker worker;
    worker.Open(m_h.store->Location());
    CLogHistoryImport *import = CLogHistoryImport::Attach(log, worker, [&changed] { ++changed; });
    QVERIFY(!log.Button(QStringLiteral("Add to History"))->isHidden());
    QStringList asked;
    QString answer;
    import->SetSerialAsker([&](const QString &path, const QStringList &known) {
        asked.append(path);
        return known.contains(QStringLiteral("00A10002  LAB BENCH")) ? answer : QString();
    });

    // Nothing loaded yet: it says what to do.
    log.Button(QStringLiteral("Add to History"))->click();
    QCOMPARE(prompt.messages.size(), 1);
    QVERIFY2(prompt.messages.last().contains(QStringLiteral("load a CSV file first")), qPrintable(prompt.messages.last()));

    // A file whose log names TANK FARM: found without asking.
    const QString tank = SavedLog(m_h.dir->filePath(QStringLiteral("shift.csv")), "TANK FARM", 3);
    QVERIFY(!tank.isEmpty());
    QVERIFY(LoadedInto(log, tank));
    log.Button(QStringLiteral("Add to History"))->click();
    QVERIFY(asked.isEmpty());
    QVERIFY2(prompt.messages.last().contains(QStringLiteral("added to the history of 00B20003")), qPrintable(prompt.messages.last()));
    const qint64 stored = m_h.store->LogEntryCount(QStringLiteral("00B20003"));
    QVERIFY(stored > 0);
    QVERIFY2(prompt.messages.last().contains(QStringLiteral(", %1 new.").arg(stored)), qPrintable(prompt.messages.last()));
    // Twice: nothing new.
    log.Button(QStringLiteral("Add to History"))->click();
    QVERIFY2(prompt.messages.last().endsWith(QStringLiteral(", 0 new.")), qPrintable(prompt.messages.last()));
    QCOMPARE(m_h.store->Retrievals(QStringLiteral("00B20003")).first().source, HistoryLogRetrieval::CsvFile);

    // A file the history cannot place: asked once; a cancelled question adds nothing.
    const QString other = SavedLog(m_h.dir->filePath(QStringLiteral("spare.csv")), "UNKNOWN UNIT", 4);
    QVERIFY(LoadedInto(log, other));
    const int messages = int(prompt.messages.size());
    log.Button(QStringLiteral("Add to History"))->click();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(prompt.messages.size(), messages);
    QCOMPARE(m_h.store->LogEntryCount(QStringLiteral("00A10002")), 0);
    answer = QStringLiteral("00a10002  LAB BENCH");
    log.Button(QStringLiteral("Add to History"))->click();
    QCOMPARE(asked.size(), 2);
    QVERIFY2(prompt.messages.last().contains(QStringLiteral("added to the history of 00A10002")), qPrintable(prompt.messages.last()));
    QVERIFY(m_h.store->LogEntryCount(QStringLiteral("00A10002")) > 0);
    // A file named after its serial is placed by its name.
    const QString named = SavedLog(m_h.dir->filePath(QStringLiteral("00A10001-june.csv")), "UNKNOWN UNIT", 5);
    QVERIFY(LoadedInto(log, named));
    log.Button(QStringLiteral("Add to History"))->click();
    QCOMPARE(asked.size(), 2);
    QVERIFY2(prompt.messages.last().contains(QStringLiteral("added to the history of 00A10001")), qPrintable(prompt.messages.last()));
    QCOMPARE(changed, 4);
    // Not a serial number: said so, nothing written.
    QVERIFY(LoadedInto(log, other));
    answer = QStringLiteral("LAB");
    log.Button(QStringLiteral("Add to History"))->click();
    QVERIFY2(prompt.messages.last().contains(QStringLiteral("\"LAB\" is not a serial number")), qPrintable(prompt.messages.last()));
    QCOMPARE(changed, 4);
}

QTEST_MAIN(TestHistoryDueWindow)
#include "tst_historydue.moc"
