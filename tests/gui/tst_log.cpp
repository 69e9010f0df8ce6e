// The log window against the simulated instrument: fetching its log into the list and charts, sessions, controls, save and load (read in the background, cancelled, closed mid-way), the marker, colours and screenshots.
#include "SimDataLog.h"
#include "SimRig.h"
#include "datalog/Chart2D.h"
#include "datalog/ChartColorDialog.h"
#include "datalog/Log.h"
#include "datalog/LogChart.h"
#include "datalog/LogCsv.h"
#include "datalog/LogTableModel.h"
#include "datalog/SessionsDialog.h"
#include "datalog/LogList.h"
#include "datalog/LogRetrieval.h"
#include "datalog/LogSensorSource.h"
#include "app/ProgressDialog.h"
#include "document/TransferProgress.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QPrinter>
#include <QSignalSpy>
#include <qcustomplot.h>

namespace {
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

const QDate Day(2004, 6, 15);

QByteArray Padded(const char *text)
{
    return QByteArray(text).leftJustified(16, ' ');
}

/*
 * Two sessions: 08:00 with ANN at TANK 4, 25 readings a minute apart with a
 * CO rise and its alarm; 09:00 with BOB, 40 readings, a range change to %VOL
 * half way, a calibration result and a power-off.
 */
QList<QByteArray> TwoSessions()
{
    QList<QByteArray> r;
    const auto at = [](int h, int m, int s = 0) { return QTime(h, m, s); };
    r.append(CSimDataLog::Event(at(8, 0), 2, CSimDataLog::DateField(Day)));
    r.append(CSimDataLog::Event(at(8, 0), 7, Padded("ANN")));
    r.append(CSimDataLog::Event(at(8, 0), 8, Padded("TANK 4")));
    for (int i = 1; i <= 25; ++i) {
        CSimDataLog::Sample s;
        s.mask = 0xFF;
        s.hc = quint16(i % 7);
        s.o2 = quint16(209 - (i % 3));
        s.toxic[0] = quint16(i > 10 && i < 18 ? 20 + 4 * (i - 10) : 2);
        s.toxic[1] = quint16(i % 4);
        s.toxic[2] = quint16(s.toxic[0] / 2);
        s.toxic[4] = quint16(s.toxic[0] / 4);
        s.battery = quint16(26870 - 10 * i);
        r.append(CSimDataLog::DataRecord(at(8, i), s));
        if (i == 13)
            r.append(CSimDataLog::Event(at(8, i), 101, QByteArray("CO\0", 3)));
    }
    r.append(CSimDataLog::Event(at(8, 30), 0, CSimDataLog::DateField(Day)));
    r.append(CSimDataLog::Event(at(9, 0), 1, CSimDataLog::DateField(Day)));
    r.append(CSimDataLog::Event(at(9, 0), 7, Padded("BOB")));
    for (int i = 1; i <= 40; ++i) {
        CSimDataLog::Sample s;
        s.mask = 0x0F;
        // The first half in %LEL (range index 0), the second in PPM (range
        // index 2, in the top bits of the HC word).
        s.hc = i <= 20 ? quint16(10 + i) : quint16(100 + 20 * (i - 20));
        s.o2 = 208;
        s.toxic[0] = 3;
        s.battery = 26000;
        QByteArray record = CSimDataLog::DataRecord(at(9, i), s);
        if (i > 20)
            record[6] = char(record[6] | 0x80);
        r.append(record);
        if (i == 20)
            r.append(CSimDataLog::Event(at(9, i), 40));
    }
    r.append(CSimDataLog::Event(at(9, 41), 33, QByteArray("\x0D\x01", 2)));
    r.append(CSimDataLog::Event(at(9, 45), 0, CSimDataLog::DateField(Day)));
    return r;
}

/*
 * The instrument's clock set back between two sessions: ANN's readings run
 * 08:01 to 08:40, then after a power-off the clock reads 08:10 again and
 * BOB's readings, 08:11 to 08:20, lie inside ANN's time range.
 */
QList<QByteArray> OverlappingSessions()
{
    QList<QByteArray> r;
    const auto at = [](int h, int m, int s = 0) { return QTime(h, m, s); };
    const auto reading = [](int hc, int toxic) {
        CSimDataLog::Sample s;
        s.mask = 0x0F;
        s.hc = quint16(hc);
        s.o2 = 209;
        s.toxic[0] = quint16(toxic);
        s.battery = 26000;
        return s;
    };
    r.append(CSimDataLog::Event(at(8, 0), 2, CSimDataLog::DateField(Day)));
    r.append(CSimDataLog::Event(at(8, 0), 7, Padded("ANN")));
    for (int i = 1; i <= 40; ++i)
        r.append(CSimDataLog::DataRecord(at(8, i), reading(i, 2)));
    r.append(CSimDataLog::Event(at(8, 41), 0, CSimDataLog::DateField(Day)));
    r.append(CSimDataLog::Event(at(8, 10), 1, CSimDataLog::DateField(Day)));
    r.append(CSimDataLog::Event(at(8, 10), 7, Padded("BOB")));
    for (int i = 11; i <= 20; ++i)
        r.append(CSimDataLog::DataRecord(at(8, i), reading(40 + i, 300)));
    r.append(CSimDataLog::Event(at(8, 21), 0, CSimDataLog::DateField(Day)));
    return r;
}

// The row of the Data entry of `session` read at `time`.
int DataRow(const QList<LogRecord> &entries, const LogSession &session, const QTime &time)
{
    for (int i = session.first; i <= session.last; ++i) {
        if (entries.at(i).kind == LogRecord::Data && entries.at(i).time.time() == time)
            return i;
    }
    return -1;
}

QStringList AllTexts(const CLogTableModel &model)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model.columnCount(); ++c)
            row.append(model.data(model.index(r, c)).toString());
        texts.append(row.join(QLatin1Char('|')));
    }
    for (int c = 0; c < model.columnCount(); ++c)
        texts.append(model.headerData(c, Qt::Horizontal).toString());
    return texts;
}

void Screenshot(QWidget &w, const QString &name)
{
    const QString folder = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QVERIFY(w.grab().save(folder + QLatin1Char('/') + name));
}
} // namespace

class TestLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fetchesTheLogIntoListAndCharts();
    void saveThenLoadGivesTheSameLog();
    void markerFollowsListAndChart();
    void clickPicksSessionAndEntry_data();
    void clickPicksSessionAndEntry();
    void chartsShareOneTimeAxis_data();
    void chartsShareOneTimeAxis();
    void clearsTheInstrumentWhenAsked();
    void loadErrorsNameTheFileAndLine();
    void cancelledLoadLeavesTheList();
    void closingDuringALoadEndsIt();
    void coloursAreStoredAndApplied();
    void sessionsDialogListsSessions();
    void unpluggedMidLogStillSaves();

private:
    bool Fetch();
    // LoadFrom, waiting for the file to be read; true when it is shown.
    bool Load(const QString &path);
    // The fetched log saved, its rows repeated to some 300 000.
    QByteArray LargeFile();

    QTemporaryDir m_dir;
    std::unique_ptr<SimRig> m_rig;
    std::unique_ptr<CLog> m_view;
    CScriptedPrompt m_prompt;
};

void TestLog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    UseTemporarySettings(m_dir);
}

void TestLog::init()
{
    m_rig = std::make_unique<SimRig>();
    m_rig->sim.Instrument().Log().SetRecords(QDateTime(Day, QTime(8, 0)), TwoSessions());
    m_rig->doc.UploadAll();
    QVERIFY(m_rig->WaitIdle());
    m_prompt = CScriptedPrompt();
    m_view = std::make_unique<CLog>(m_rig->doc);
    m_view->SetPrompt(&m_prompt);
    m_view->resize(1200, 760);
    m_view->show();
    m_view->OnInitialUpdate();
    QVERIFY(m_rig->WaitIdle());
}

void TestLog::cleanup()
{
    m_view.reset();
    m_rig.reset();
}

bool TestLog::Fetch()
{
    m_view->Start();
    const bool done = m_rig->WaitFor([this] { return !m_view->Log().Busy() && m_prompt.asked.size() >= 2; }, 60000);
    QCoreApplication::processEvents();
    m_view->Model()->Flush();
    return done;
}

bool TestLog::Load(const QString &path)
{
    QSignalSpy finished(m_view.get(), &CLog::LoadFinished);
    if (!m_view->LoadFrom(path) || !finished.wait(60000) || finished.size() != 1)
        return false;
    QCoreApplication::processEvents();
    m_view->Model()->Flush();
    return finished.at(0).at(0).toBool();
}

QByteArray TestLog::LargeFile()
{
    const QByteArray text = LogCsv::FileText(m_view->Log().Entries(), m_view->Log().Sensors());
    const qsizetype headingEnd = text.indexOf('\n') + 1;
    const QByteArray rows = text.mid(headingEnd);
    QByteArray file = text.left(headingEnd);
    const int copies = int(300000 / m_view->Log().Entries().size());
    file.reserve(headingEnd + rows.size() * copies);
    for (int i = 0; i < copies; ++i)
        file += rows;
    return file;
}

void TestLog::fetchesTheLogIntoListAndCharts()
{
    QVERIFY(!m_view->Button(QStringLiteral("Save"))->isEnabled());
    QVERIFY(Fetch());
    QCOMPARE(m_prompt.asked, (QStringList{CLogRetrieval::SaveQuestion, CLogRetrieval::ClearQuestion}));

    const CLogTableModel &model = *m_view->Model();
    const auto cell = [&](int row, int column) { return model.data(model.index(row, column)).toString(); };
    QCOMPARE(model.rowCount(), int(m_view->Log().Entries().size()));
    QCOMPARE(cell(0, LogList::Type), QStringLiteral("Start of data log"));
    QCOMPARE(cell(1, LogList::Type), QStringLiteral("Powered on - averages reset"));
    QCOMPARE(cell(2, LogList::Type), QStringLiteral("Operator ANN             "));
    // The first reading: 08:01, HC 1 %LEL, O2 20.8, CO 2, H2S 0.1, battery 26860/6553.6 V.
    QCOMPARE(cell(4, LogList::Type), QStringLiteral("Data (%LEL)"));
    QCOMPARE(cell(4, LogList::Date), QStringLiteral("06/15/04"));
    QCOMPARE(cell(4, LogList::Time), QStringLiteral("08:01:00"));
    QCOMPARE(cell(4, LogList::HC), QStringLiteral("1"));
    QCOMPARE(cell(4, LogList::O2), QStringLiteral("20.8"));
    QCOMPARE(cell(4, LogList::Toxic1), QStringLiteral("2"));
    QCOMPARE(cell(4, LogList::Toxic2), QStringLiteral("0.1"));
    QCOMPARE(cell(4, LogList::Battery), QStringLiteral("4.099"));
    QCOMPARE(model.headerData(LogList::Toxic2Stel, Qt::Horizontal).toString(), QStringLiteral("H2S STEL"));
    QCOMPARE(cell(model.rowCount() - 1, LogList::Type), QStringLiteral("End of data log"));

    const QList<LogSession> &sessions = m_view->Log().Sessions();
    QCOMPARE(sessions.size(), 2);
    QCOMPARE(sessions[0].dataCount, 25);
    QCOMPARE(sessions[0].operatorText, QStringLiteral("ANN"));
    QCOMPARE(sessions[0].location, QStringLiteral("TANK 4"));
    QCOMPARE(sessions[1].dataCount, 40);
    QCOMPARE(sessions[1].operatorText, QStringLiteral("BOB"));
    QCOMPARE(sessions[1].location, QStringLiteral("TANK 4"));

    // Controls after the upload.
    QVERIFY(m_view->Button(QStringLiteral("Start"))->isEnabled());
    QVERIFY(m_view->Button(QStringLiteral("Save"))->isEnabled());
    QVERIFY(m_view->Button(QStringLiteral("Sessions"))->isEnabled());
    QVERIFY(!m_view->Button(QStringLiteral("<<"))->isEnabled());
    QVERIFY(m_view->Button(QStringLiteral(">>"))->isEnabled());
    QCOMPARE(m_view->SessionBoxText(), QStringLiteral("1"));
    QStringList labels;
    for (int i = 0; i < 5; ++i)
        labels.append(m_view->GroupButton(i)->text());
    QCOMPARE(labels, (QStringList{QStringLiteral("LEL"), QStringLiteral("PPM"), QStringLiteral("O2"),
                                  QStringLiteral("CO"), QStringLiteral("H2S")}));

    // The chart pane opened over the list and holds one chart per group.
    QVERIFY(m_view->Splitter()->sizes().at(0) > 0);
    QCOMPARE(m_view->Chart()->Charts().size(), 5);
    Screenshot(*m_view, QStringLiteral("log_window.png"));

    QTest::mouseClick(m_view->Button(QStringLiteral(">>")), Qt::LeftButton);
    QCOMPARE(m_view->SessionBoxText(), QStringLiteral("2"));
    QVERIFY(!m_view->Button(QStringLiteral(">>"))->isEnabled());
    QTest::mouseClick(m_view->GroupButton(0), Qt::LeftButton);
    QCOMPARE(m_view->Chart()->VisibleCharts().size(), 1);
    QCOMPARE(m_view->Chart()->VisibleCharts().at(0)->Header(), QStringLiteral("LEL"));
    Screenshot(*m_view, QStringLiteral("log_window_lel.png"));
    QTest::mouseClick(m_view->Button(QStringLiteral("ALL")), Qt::LeftButton);
    QCOMPARE(m_view->Chart()->VisibleCharts().size(), 5);

    // The chart prints fitted to a page.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = m_dir.filePath(QStringLiteral("chart.pdf"));
    printer.setOutputFileName(pdf);
    m_view->PrintChartTo(&printer);
    QVERIFY(QFileInfo(pdf).size() > 1000);
}

void TestLog::saveThenLoadGivesTheSameLog()
{
    QVERIFY(Fetch());
    const QStringList before = AllTexts(*m_view->Model());
    const QList<LogSession> sessions = m_view->Log().Sessions();
    const QString path = m_dir.filePath(QStringLiteral("log.csv"));
    QVERIFY(m_view->SaveTo(path));

    m_prompt.asked.clear();
    QVERIFY(Load(path));
    QVERIFY(m_prompt.asked.isEmpty());
    m_view->Model()->Flush();
    QVERIFY(!m_view->Log().LiveSensors());
    QCOMPARE(AllTexts(*m_view->Model()), before);
    QCOMPARE(m_view->Log().Sessions(), sessions);
    QCOMPARE(m_view->Chart()->Charts().size(), 5);

    // Saved again, the file is the same to the byte.
    const QString again = m_dir.filePath(QStringLiteral("again.csv"));
    QVERIFY(m_view->SaveTo(again));
    QFile a(path), b(again);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
}

void TestLog::markerFollowsListAndChart()
{
    QVERIFY(Fetch());
    const QList<LogRecord> &entries = m_view->Log().Entries();
    const QList<LogSession> &sessions = m_view->Log().Sessions();
    // Selecting a row of the second session shows it and moves the marker there.
    const int row = sessions[1].first + 5;
    m_view->List()->setCurrentIndex(m_view->Model()->index(row, 0));
    QCOMPARE(m_view->Log().CurrentSession(), 1);
    QCOMPARE(m_view->Chart()->MarkerTime(), entries[row].time);
    QVERIFY(m_view->Chart()->Charts().at(0)->MarkerVisible());

    // A time from the chart selects the last entry not after it.
    m_view->PlaceMarkerAt(entries[sessions[0].first].time.addSecs(150));
    QCOMPARE(m_view->Log().CurrentSession(), 0);
    const int selected = m_view->List()->currentIndex().row();
    QCOMPARE(entries[selected].time, entries[sessions[0].first].time.addSecs(120));

    // A click in the graph area does the same.
    CChart2D *chart = m_view->Chart()->Charts().at(0);
    QSignalSpy clicked(chart, &CChart2D::Clicked);
    QTest::mouseClick(chart->Plot(), Qt::LeftButton, {}, chart->Plot()->rect().center());
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(m_view->Log().CurrentSession(), 0);
    const double x = clicked.at(0).at(0).toDouble();
    QVERIFY(x >= chart->XMinimum() && x <= chart->XMaximum());
}

void TestLog::clickPicksSessionAndEntry_data()
{
    QTest::addColumn<int>("shown");       // session in view when clicking
    QTest::addColumn<QString>("where");   // "graph", "header" or "labels"
    QTest::addColumn<QTime>("clicked");   // time under the mouse, in the graph
    QTest::addColumn<int>("session");     // in view afterwards
    QTest::addColumn<QTime>("entry");     // Data entry selected afterwards; invalid: selection unchanged

    // Clicks land a little after a reading, so that a pixel either way
    // still picks that reading.
    QTest::newRow("in the session shown only") << 0 << "graph" << QTime(8, 30, 20) << 0 << QTime(8, 30);
    QTest::newRow("also in a later session") << 0 << "graph" << QTime(8, 15, 20) << 1 << QTime(8, 15);
    QTest::newRow("also in an earlier session") << 1 << "graph" << QTime(8, 15, 20) << 1 << QTime(8, 15);
    QTest::newRow("on the header, outside every session") << 0 << "header" << QTime() << 0 << QTime();
    QTest::newRow("on the level labels, outside every session") << 1 << "labels" << QTime() << 1 << QTime();
}

void TestLog::clickPicksSessionAndEntry()
{
    QFETCH(int, shown);
    QFETCH(QString, where);
    QFETCH(QTime, clicked);
    QFETCH(int, session);
    QFETCH(QTime, entry);

    m_rig->sim.Instrument().Log().SetRecords(QDateTime(Day, QTime(8, 0)), OverlappingSessions());
    QVERIFY(Fetch());
    const QList<LogRecord> &entries = m_view->Log().Entries();
    const QList<LogSession> &sessions = m_view->Log().Sessions();
    QCOMPARE(sessions.size(), 2);
    QCOMPARE(sessions[1].dataCount, 10);

    // A row selected beforehand, in the session shown.
    const int before = DataRow(entries, sessions[shown], QTime(8, 18));
    m_view->List()->setCurrentIndex(m_view->Model()->index(before, 0));
    QCOMPARE(m_view->Log().CurrentSession(), shown);
    QCoreApplication::processEvents();

    // The O2 chart, the third of the stack.
    CChart2D *chart = m_view->Chart()->Charts().at(2);
    QCOMPARE(chart->Header(), QStringLiteral("O2"));
    QCustomPlot *plot = chart->Plot();
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const QRect graph = plot->axisRect()->rect();
    QPoint at;
    if (where == QLatin1String("graph")) {
        const double key = double(QDateTime(Day, clicked, Qt::UTC).toSecsSinceEpoch());
        at = QPoint(qRound(plot->xAxis->coordToPixel(key)), graph.center().y());
        QVERIFY(graph.contains(at));
    } else if (where == QLatin1String("header")) {
        at = QPoint(graph.center().x(), graph.top() / 2);
    } else {
        at = QPoint(graph.left() / 2, graph.center().y());
    }
    QSignalSpy picked(m_view->Chart(), &CLogChart::TimeClicked);
    QTest::mouseClick(plot, Qt::LeftButton, {}, at);
    if (!entry.isValid()) {
        QCoreApplication::processEvents();
        QCOMPARE(picked.size(), 0);
        QCOMPARE(m_view->Log().CurrentSession(), session);
        QCOMPARE(m_view->List()->currentIndex().row(), before);
        return;
    }
    // The charts of another session are built once the click is over.
    QTRY_COMPARE(picked.size(), 1);
    QCOMPARE(m_view->Log().CurrentSession(), session);
    QCOMPARE(m_view->SessionBoxText(), QString::number(session + 1));
    const int row = DataRow(entries, sessions[session], entry);
    QVERIFY(row >= 0);
    QCOMPARE(m_view->List()->currentIndex().row(), row);
    QCOMPARE(m_view->Chart()->MarkerTime(), entries[row].time);
    for (CChart2D *c : m_view->Chart()->Charts()) {
        QCOMPARE(c->TimeBase(), entries[sessions[session].first].time.toSecsSinceEpoch());
        QVERIFY(c->MarkerVisible());
    }
    if (QTest::currentDataTag() == QLatin1String("also in a later session")) {
        QCoreApplication::processEvents();
        Screenshot(*m_view, QStringLiteral("log_overlapping_sessions.png"));
    }
}

void TestLog::chartsShareOneTimeAxis_data()
{
    QTest::addColumn<QList<double>>("maxima"); // channel 0, channel 1, Toxic 1, Toxic 2 axis maxima
    QTest::addColumn<bool>("thirdChannel");

    QTest::newRow("tens to ten thousands") << QList<double>{100, 10000, 500, 30} << false;
    QTest::newRow("fractions") << QList<double>{2.5, 100, 0.5, 1000} << false;
    QTest::newRow("three channels") << QList<double>{100, 5, 50000} << true;
}

void TestLog::chartsShareOneTimeAxis()
{
    QFETCH(QList<double>, maxima);
    QFETCH(bool, thirdChannel);

    QVERIFY(Fetch());
    LogChartSetup setup = m_view->Chart()->Setup();
    setup.thirdChannel = thirdChannel;
    setup.channels[0].fullScale = maxima[0];
    setup.channels[1].fullScale = maxima[1];
    if (thirdChannel) {
        setup.channels[2].units = 8;
        setup.channels[2].fullScale = maxima[2];
    } else {
        setup.toxic[0].maximum = maxima[2];
        setup.toxic[1].maximum = maxima[3];
    }
    m_view->Chart()->SetSetup(setup);
    QCOMPARE(m_view->Chart()->Charts().size(), 5);
    QCoreApplication::processEvents();

    const QList<LogRecord> &entries = m_view->Log().Entries();
    const QDateTime t = entries[m_view->Log().Sessions()[0].first].time.addSecs(600);
    m_view->Chart()->PlaceMarker(t);
    QSet<int> natural;
    QList<double> timeX;
    QList<double> markerX;
    for (CChart2D *chart : m_view->Chart()->Charts()) {
        natural.insert(chart->NaturalSideMargins().left());
        QCustomPlot *plot = chart->Plot();
        plot->replot(QCustomPlot::rpImmediateRefresh);
        timeX.append(plot->xAxis->coordToPixel(double(t.toSecsSinceEpoch())));
        auto *marker = qobject_cast<QCPItemStraightLine *>(plot->item(0));
        QVERIFY(marker && marker->visible());
        markerX.append(marker->point1->pixelPosition().x());
    }
    // The level labels differ in width, yet every chart puts t at one x.
    QVERIFY2(natural.size() > 1, "the labels need different margins");
    for (int i = 1; i < timeX.size(); ++i) {
        QCOMPARE(timeX[i], timeX[0]);
        QCOMPARE(markerX[i], markerX[0]);
    }
    QCOMPARE(markerX[0], timeX[0]);
    if (QTest::currentDataTag() == QLatin1String("tens to ten thousands"))
        Screenshot(*m_view, QStringLiteral("log_aligned_charts.png"));
}

void TestLog::clearsTheInstrumentWhenAsked()
{
    m_prompt.answers = {false, true};
    QVERIFY(Fetch());
    QCOMPARE(m_prompt.asked.size(), 2);
    // The instrument empties its log over its clearing steps.
    QVERIFY(m_rig->WaitFor([this] {
        m_rig->doc.ReadLogStatus();
        m_rig->WaitIdle();
        return !m_rig->doc.LogClearing() && m_rig->sim.Instrument().Log().Records().isEmpty();
    }, 20000));
}

void TestLog::loadErrorsNameTheFileAndLine()
{
    const QString path = m_dir.filePath(QStringLiteral("bad.csv"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\"Type\",\"Date\",\"Time\",\"HC\",\"O2\",\"CO \",\"H2S\",\"CO  STEL\",\"H2S STEL\",\"CO  TWA\",\"H2S TWA\",\"Battery\",\"Pump\"\r\n"
            "\"Data (%LEL)\",06/15/04,08:01:00,1,20.8,2,0.1,,,,,4.099\r\n"
            "\"Data (%LEL)\",06/15/04,08:02:00,abc,20.8,2,0.1,,,,,4.099\r\n");
    f.close();
    QVERIFY(Load(path));
    QCOMPARE(m_prompt.asked.size(), 1);
    QVERIFY2(m_prompt.asked[0].contains(QDir::toNativeSeparators(path) + QStringLiteral(", line 3")), qPrintable(m_prompt.asked[0]));
    QCOMPARE(m_view->Log().Entries().size(), 2);

    m_prompt.asked.clear();
    const QString missing = m_dir.filePath(QStringLiteral("missing.csv"));
    QVERIFY(!Load(missing));
    QCOMPARE(m_prompt.asked.size(), 1);
    QVERIFY(m_prompt.asked[0].startsWith(QStringLiteral("Error reading ")));
    QVERIFY(m_prompt.asked[0].contains(QStringLiteral("missing.csv")));
    // Nothing could be read, so the list keeps the file shown before.
    QCOMPARE(m_view->Log().Entries().size(), 2);

    m_prompt.asked.clear();
    QVERIFY(!m_view->SaveTo(m_dir.filePath(QStringLiteral("no/such/folder/log.csv"))));
    QCOMPARE(m_prompt.asked.size(), 1);
    QVERIFY(m_prompt.asked[0].startsWith(QStringLiteral("Error writing ")));
}

void TestLog::cancelledLoadLeavesTheList()
{
    QVERIFY(Fetch());
    const QStringList before = AllTexts(*m_view->Model());
    const QList<LogSession> sessions = m_view->Log().Sessions();
    const QByteArray content = LargeFile();
    const QString path = m_dir.filePath(QStringLiteral("large.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    QSignalSpy finished(m_view.get(), &CLog::LoadFinished);
    QVERIFY(m_view->LoadFrom(path));
    QVERIFY(m_view->Loading());
    QVERIFY(!m_view->LoadFrom(path));
    for (const char *text : {"Start", "Load", "Save", "Print Data"})
        QVERIFY2(!m_view->Button(QLatin1String(text))->isEnabled(), text);
    CProgressDialog *window = m_view->LoadWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), CLogRetrieval::ProgressCaption);
    Screenshot(*window, QStringLiteral("log_loading.png"));

    // Cancel in the progress window: the list, sessions and charts stay.
    QTest::mouseClick(window->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QVERIFY(!m_view->Loading());
    QVERIFY(!window->isVisible());
    QTest::qWait(200);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    m_view->Model()->Flush();
    QCOMPARE(AllTexts(*m_view->Model()), before);
    QCOMPARE(m_view->Log().Sessions(), sessions);
    QVERIFY(m_view->Log().LiveSensors());
    QVERIFY(m_view->Button(QStringLiteral("Load"))->isEnabled());
    QVERIFY(m_prompt.asked.size() == 2); // only the questions after the upload

    // Read to its end, the list holds exactly what the reader makes of the file.
    QVERIFY(Load(path));
    const CSettingsImage &settings = m_rig->doc.Settings();
    const LogCsvReader::Result expected = LogCsvReader(LogSensorSource::ToxicTable(settings),
                                                       LogSensorSource::HCFullScale(settings)).Parse(content);
    QVERIFY(m_view->Log().Entries() == expected.entries);
    QCOMPARE(m_view->Log().Sensors(), expected.sensors);
    QCOMPARE(m_view->Model()->rowCount(), int(expected.entries.size()));
    QCOMPARE(m_view->Log().Sessions(), LogSession::Find(expected.entries));
    QVERIFY(!window->isVisible());
}

void TestLog::closingDuringALoadEndsIt()
{
    QVERIFY(Fetch());
    const QString path = m_dir.filePath(QStringLiteral("large.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(LargeFile());
    file.close();
    const QDir threads(QStringLiteral("/proc/self/task"));
    const qsizetype before = threads.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();

    QVERIFY(m_view->LoadFrom(path));
    QVERIFY(m_view->Loading());
    QTest::qWait(20);
    m_view.reset();
    QTest::qWait(200);
    // The reading thread ended with the window (where the system lists threads).
    if (threads.exists())
        QVERIFY(threads.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() <= before);
}

void TestLog::coloursAreStoredAndApplied()
{
    QVERIFY(Fetch());
    CChartColorDialog dialog;
    int asked = 0;
    dialog.SetChooser([&](const QColor &current, QWidget *) {
        ++asked;
        return asked == 1 ? QColor(0, 128, 255) : current;
    });
    dialog.Choose(QString::fromLatin1(LogChartColors::NormKey));
    QCOMPARE(LogChartColors::Load().norm, LogChartColors::FromRgb(0, 128, 255));
    // The same colour again writes nothing.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Veltrion Norvane"), QStringLiteral("Altavo View"));
    dialog.Choose(QString::fromLatin1(LogChartColors::StelKey));
    QVERIFY(!settings.contains(QStringLiteral("Chart Colors/Stel")));

    m_view->Chart()->SetColors(LogChartColors::Load());
    QCOMPARE(m_view->Chart()->Charts().at(0)->Plot()->graph(0)->pen().color(), QColor(0, 128, 255));

    dialog.Reset();
    QCOMPARE(LogChartColors::Load(), LogChartColors());
}

void TestLog::sessionsDialogListsSessions()
{
    QVERIFY(Fetch());
    m_view->Log().SelectSession(1);
    CSessionsDialog dialog(m_view->Log().Entries(), m_view->Log().Sessions(), m_view->Log().CurrentSession(), m_view.get());
    QTreeWidget *list = dialog.List();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(dialog.Selected(), 1);
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("2"));
    QCOMPARE(list->topLevelItem(1)->text(3), QStringLiteral("BOB"));
    QCOMPARE(list->topLevelItem(1)->text(4), QStringLiteral("TANK 4"));
    QCOMPARE(list->topLevelItem(0)->text(1),
             CSessionsDialog::TimeText(QDateTime(Day, QTime(8, 1), Qt::UTC)));
    dialog.show();
    Screenshot(dialog, QStringLiteral("log_sessions.png"));
}

void TestLog::unpluggedMidLogStillSaves()
{
    // Unplugged part way through BOB's session.
    m_rig->doc.Link().SetReplyPeriods(40, 40);
    SimOptions options = m_rig->sim.Options();
    int arrived = 0;
    bool lost = false;
    connect(&m_rig->doc, &CInstrumentDoc::Updated, m_view.get(), [&](int code, const CReplyNotice &) {
        if (code == UpdateCode::CommunicationsLost)
            lost = true;
        if (code == UpdateCode::LogData && ++arrived == 50) {
            options.dropProbability = 1.0;
            m_rig->sim.SetOptions(options);
        }
    });
    QTest::mouseClick(m_view->Button(QStringLiteral("Start")), Qt::LeftButton);
    QVERIFY(m_rig->WaitFor([&] { return lost; }));
    QCoreApplication::processEvents();
    m_view->Model()->Flush();
    QVERIFY(m_rig->doc.Notice().IsOpen());
    // Told that the list is only part of the log; no save or clear questions.
    QTRY_COMPARE(m_prompt.asked.size(), 1);
    QVERIFY(m_prompt.asked.first().startsWith(QStringLiteral("The log upload stopped after")));
    m_prompt.asked.clear();

    const QList<LogRecord> entries = m_view->Log().Entries();
    QVERIFY(entries.size() > 50);
    QCOMPARE(m_view->Model()->rowCount(), int(entries.size()));
    QCOMPARE(m_view->Log().Sessions().size(), 2);
    QCOMPARE(m_view->Log().Sessions().at(0).dataCount, 25);
    QVERIFY(m_view->Log().Sessions().at(1).dataCount < 40);
    QVERIFY(m_view->Button(QStringLiteral("Start"))->isEnabled());
    QVERIFY(m_view->Button(QStringLiteral("Save"))->isEnabled());
    QVERIFY(m_view->Button(QStringLiteral("Sessions"))->isEnabled());
    QVERIFY(m_view->Chart()->Charts().size() > 0);

    // What was saved reads back as the same entries and sessions.
    const QStringList before = AllTexts(*m_view->Model());
    const QList<LogSession> sessions = m_view->Log().Sessions();
    const QString path = m_dir.filePath(QStringLiteral("cut.csv"));
    QVERIFY(m_view->SaveTo(path));
    QVERIFY(Load(path));
    QCOMPARE(AllTexts(*m_view->Model()), before);
    QCOMPARE(m_view->Log().Sessions(), sessions);

    // Plugged in again, the whole log comes.
    options.dropProbability = 0.0;
    m_rig->sim.SetOptions(options);
    QVERIFY(Fetch());
    QCOMPARE(m_view->Log().Sessions().size(), 2);
    QCOMPARE(m_view->Log().Sessions().at(1).dataCount, 40);
}

QTEST_MAIN(TestLog)
#include "tst_log.moc"
