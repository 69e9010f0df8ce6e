// The history's reports as a user gets them: the due list and a calibration record from the window (the document's text and the PDF read back), from altavo-cli with --pdf, and a screenshot of the window over a simulated fleet.
#include "HistoryFixture.h"

class TestHistoryReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pdfReports();
    void cliWritesPdfReports();
    void screenshot();

private:
    QTemporaryDir m_settings;
    HistoryFleet m_h;
};

void TestHistoryReports::initTestCase()
{
    UseHistoryTestSettings(m_settings);
}

void TestHistoryReports::init()
{
    ClearPreferences();
    QVERIFY(m_h.Reset());
}

void TestHistoryReports::cleanup()
{
    m_h.Clear();
}

void TestHistoryReports::pdfReports()
{
    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    HistoryLogRetrieval retrieval;
    retrieval.serial = QStringLiteral("00A10002");
    retrieval.time = Now.addDays(-299);
    QVERIFY(m_h.store->RecordLog(retrieval, CalibrationAt(Now.addDays(-300))).stored);
    auto window = m_h.Window(*m_h.fleet.front());
    // 00A10001 (its settings' date) and 00B20003 fall due in (interval - 5) days, 00A10002 is overdue.
    QVERIFY(m_h.fleet.front()->intervalDays > 25);
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
    QVERIFY2(window->DueListReport()->toPlainText().contains(QStringLiteral("Due in %1 days").arg(m_h.fleet.front()->intervalDays - 5)), qPrintable(window->DueListReport()->toPlainText()));

    window->SelectSerial(QStringLiteral("00A10002"));
    const std::unique_ptr<QTextDocument> record = window->CalibrationRecordReport();
    QVERIFY(record);
    const QString recordText = record->toPlainText();
    QVERIFY(recordText.contains(QStringLiteral("Calibration Record 00A10002")));
    QVERIFY(recordText.contains(QStringLiteral("LAB BENCH")));
    QVERIFY(recordText.contains(QStringLiteral("Bump test")));
    QVERIFY(recordText.contains(CHistoryReport::LocalDateTime(Now.addDays(-300))));

    // The files.
    const QString duePath = m_h.dir->filePath(QStringLiteral("due.pdf"));
    const QString recordPath = m_h.dir->filePath(QStringLiteral("record.pdf"));
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
    if (!CanReadPdfText())
        QSKIP("no pdftotext here: the reports' text is checked on Linux");
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
    const QString blocked = m_h.dir->filePath(QStringLiteral("no-such-folder/due.pdf"));
    QString error;
    QVERIFY(!CReportPrinter::WritePdf(*due, blocked, QStringLiteral("x"), QPageLayout::Portrait, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(blocked)), qPrintable(error));
}


void TestHistoryReports::cliWritesPdfReports()
{
    // altavo-cli records an upload from a simulator of its own serial number,
    // then writes both reports; the history commands open no port.
    // Over the gateway where there are no pseudo-terminals (Windows).
    const bool pty = CanReadPdfText();
    CSimProcess sim;
    QVERIFY(sim.Start({pty ? QStringLiteral("--pty") : QStringLiteral("--gateway"), QStringLiteral("--serial-number"),
                       QStringLiteral("0x00D40007")}));
    const QString db = m_h.dir->filePath(QStringLiteral("cli.db"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_h.dir->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_h.dir->filePath(QStringLiteral("config")));
    CliRun run = RunCli({pty ? QStringLiteral("--serial") : QStringLiteral("--gateway"), pty ? sim.Pty() : sim.Gateway(),
                         QStringLiteral("--history"), db, QStringLiteral("upload")},
                        env);
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));

    const QString due = m_h.dir->filePath(QStringLiteral("cli-due.pdf"));
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("due"), QStringLiteral("--within"),
                  QStringLiteral("3650"), QStringLiteral("--pdf"), due},
                 env);
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    QVERIFY(run.out.contains(QStringLiteral("Calibration Due List saved to")));
    const QString record = m_h.dir->filePath(QStringLiteral("cli-record.pdf"));
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("D40007"),
                  QStringLiteral("--pdf"), record},
                 env);
    QVERIFY2(run.status == 0, qPrintable(Describe(run)));
    if (!CanReadPdfText()) {
        for (const QString &path : {due, record}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");
        }
        QSKIP("no pdftotext here: the reports' text is checked on Linux");
    }
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
    const QString blocked = m_h.dir->filePath(QStringLiteral("missing/due.pdf"));
    run = RunCli({QStringLiteral("--history"), db, QStringLiteral("history"), QStringLiteral("due"), QStringLiteral("--pdf"), blocked}, env);
    QCOMPARE(run.status, 5);
    QVERIFY2(run.err.contains(blocked), qPrintable(Describe(run)));
}


void TestHistoryReports::screenshot()
{
    // A small fleet as a shop would have it: several uploads, calibrations
    // of different ages, one instrument overdue.
    m_h.fleet.clear();
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00A10001, "TRUCK 7", 180));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00A10002, "LAB BENCH", 180));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00B20003, "TANK FARM", 180));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00B20004, "BOILER HOUSE", 180));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00C30005, "CONFINED 2", 180, 60));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00C30006, "SPARE POOL", 180, 150));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00D40007, "PUMP ROOM", 180, 190));
    m_h.fleet.push_back(std::make_unique<Instrument>(0x00D40008, "WELL HEAD 3", 180, 20));
    for (auto &i : m_h.fleet)
        QVERIFY(m_h.Upload(*i));
    const QList<std::pair<QString, int>> ages = {{"00A10001", 12}, {"00A10002", 300}, {"00B20003", 170}, {"00B20004", 40}};
    for (const auto &[serial, days] : ages) {
        HistoryLogRetrieval retrieval;
        retrieval.serial = serial;
        retrieval.time = Now.addDays(-days + 1);
        QVERIFY(m_h.store->RecordLog(retrieval, CalibrationAt(Now.addDays(-days))).stored);
    }
    QVERIFY(m_h.Upload(*m_h.fleet.front()));
    auto window = m_h.Window(*m_h.fleet.front());
    window->resize(1040, 560);
    window->show();
    QTest::qWait(50);
    Shot(window.get(), QStringLiteral("history-window.png"));
    const QString path = m_h.dir->filePath(QStringLiteral("shot-due.pdf"));
    QVERIFY(window->SaveDueList(path));
    const QString shots = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!shots.isEmpty()) {
        QFile::remove(QDir(shots).filePath(QStringLiteral("history-due.pdf")));
        QFile::copy(path, QDir(shots).filePath(QStringLiteral("history-due.pdf")));
        window->SelectSerial(QStringLiteral("00A10002"));
        window->SaveCalibrationRecord(QDir(shots).filePath(QStringLiteral("history-record.pdf")));
    }
}


QTEST_MAIN(TestHistoryReports)
#include "tst_historyreports.moc"
