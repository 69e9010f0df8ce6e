// The program window against a simulated instrument: start-up layouts, saved
// placements and window lists, status panes, port switching, the help text
// reader and the command-line switches.
#include "Simulator.h"
#include "app/AltavoApp.h"
#include "app/ComErrorDialog.h"
#include "app/CommandIds.h"
#include "app/CommandLine.h"
#include "app/DownloadReport.h"
#include "app/FileViewerDoc.h"
#include "app/HelpFileViewer.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "app/NoticeDialog.h"
#include "app/ProgressDialog.h"
#include "app/Placement.h"
#include "app/SplashWindow.h"
#include "app/StatusPanes.h"
#include "app/ViewRegistry.h"
#include "platform/Preferences.h"
#include "views/InstrumentView.h"

#include <QApplication>
#include <QDir>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QTimer>
#include <functional>
#include <memory>

#include "SimRig.h"

namespace {

// Stands in for a view that is not part of this build yet, so the layout
// rules can be checked with any set of views present.
class CStandInView : public CInstrumentView
{
public:
    CStandInView(CInstrumentDoc &doc, const QString &title, QWidget *parent)
        : CInstrumentView(doc, title, parent)
    {
        auto *label = new QLabel(title, this);
        label->move(12, 12);
    }
    QSize FormSize() const override { return {300, 180}; }
};

const QString Main = QString::fromLatin1(Pref::MainWindow);
const QString Prefs = QString::fromLatin1(Pref::Preferences);

QStringList Titles(const CMainFrame &frame)
{
    QStringList titles;
    for (CInstrumentFrame *f : frame.ChildFrames())
        titles << f->Caption();
    return titles;
}

QSet<QString> TitleSet(const CMainFrame &frame)
{
    const QStringList titles = Titles(frame);
    return QSet<QString>(titles.begin(), titles.end());
}

// Answers the next modal dialogs in turn, each with its own action, and
// records what each one said.
class ModalScript : public QObject
{
public:
    explicit ModalScript(QList<std::function<void(QWidget *)>> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last || m_steps.isEmpty())
                return;
            m_last = modal;
            m_steps.takeFirst()(modal);
        });
        m_timer.start(20);
    }
    bool Done() const { return m_steps.isEmpty(); }

private:
    QList<std::function<void(QWidget *)>> m_steps;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void switches_data();
    void switches();
    void emptyProfileGivesDefaultLayout();
    void badPlacementIsIgnored_data();
    void badPlacementIsIgnored();
    void windowListSkipsUnknownAndOneOffWindows();
    void windowListRoundTrip();
    void statusPanesAfterUpload();
    void serialLogFileTracesTheLine();
    void portThatCannotOpenOffersAnother_data();
    void portThatCannotOpenOffersAnother();
    void portChosenFromTheListServesThatCom();
    void storedPortNeverOfferedMeansCom1();
    void singleWindowKeepsOne();
    void downloadIsCheckedAfterwards_data();
    void downloadIsCheckedAfterwards();
    void splashGoesOnKeyPress();
    void newInstrumentModeHidesMenusAndBars();
    void damagedToolbarLayoutResetsViews();
    void menusFollowChildWindows();
    void documentWindowsFollowTheDocument();
    void helpViewer();

private:
    CMainFrame *Start(const QStringList &args = {QStringLiteral("--simulate")}, bool splash = false);
    void Stop();
    void Shot(QWidget *w, const QString &name);

    QTemporaryDir m_settings;
    std::unique_ptr<CAltavoApp> m_app;
};

void TestShell::initTestCase()
{
    UseTemporarySettings(m_settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    for (const char *title : {"Display Mode", "Datalog Features", "Advanced Features", "Sensors"}) {
        const QString t = QString::fromLatin1(title);
        if (!CViewRegistry::FindTitle(t))
            CViewRegistry::Register({t, 0, true, [t](CInstrumentDoc &doc, QWidget *parent) -> CInstrumentView * {
                                         return new CStandInView(doc, t, parent);
                                     }});
    }
}

void TestShell::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
              QString::fromLatin1(Pref::Application))
        .clear();
}

void TestShell::cleanup()
{
    Stop();
}

CMainFrame *TestShell::Start(const QStringList &args, bool splash)
{
    m_app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = splash;
    if (!m_app->Start(args, options))
        return nullptr;
    return m_app->MainFrame();
}

void TestShell::Stop()
{
    if (m_app && m_app->MainFrame())
        m_app->MainFrame()->close();
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestShell::Shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name));
}

void TestShell::switches_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("newMode");
    QTest::addColumn<bool>("ask");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QStringList>("files");

    QTest::newRow("nothing") << QStringList() << false << false << false << QStringList();
    QTest::newRow("/new") << QStringList{"/new"} << true << false << false << QStringList();
    QTest::newRow("-NEW") << QStringList{"-NEW"} << true << false << false << QStringList();
    QTest::newRow("/New?") << QStringList{"/New?"} << false << true << false << QStringList();
    QTest::newRow("new without switch mark") << QStringList{"new"} << false << false << false << QStringList{"new"};
    QTest::newRow("/newer") << QStringList{"/newer"} << false << false << false << QStringList();
    QTest::newRow("--simulate") << QStringList{"--simulate"} << false << false << true << QStringList();
    QTest::newRow("--simulate with a log") << QStringList{"--simulate", "--log-records=5000"} << false << false << true << QStringList();
    QTest::newRow("absolute path") << QStringList{"/tmp/a.kvo"} << false << false << false << QStringList{"/tmp/a.kvo"};
}

void TestShell::switches()
{
    QFETCH(QStringList, args);
    const CCommandLine line = CCommandLine::Parse(args);
    QTEST(line.NewInstrument(), "newMode");
    QTEST(line.AskNewInstrument(), "ask");
    QTEST(line.Simulate(), "simulate");
    QTEST(line.Files(), "files");
    QCOMPARE(line.LogRecords(), args.contains(QStringLiteral("--log-records=5000")) ? 5000 : 0);
}

void TestShell::emptyProfileGivesDefaultLayout()
{
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QCOMPARE(TitleSet(*frame),
             QSet<QString>({"Display Mode", "Datalog Features", "Advanced Features"}));

    const QSize client = frame->MdiArea()->viewport()->size();
    const QRect display = frame->FindChild("Display Mode")->geometry();
    const QRect datalog = frame->FindChild("Datalog Features")->geometry();
    const QRect advanced = frame->FindChild("Advanced Features")->geometry();
    QCOMPARE(display.top(), 0);
    QCOMPARE(display.left(), qMax(0, client.width() - display.width()));
    QCOMPARE(datalog.topLeft(), QPoint(0, 0));
    QCOMPARE(advanced.left(), 0);
    QCOMPARE(advanced.top(), qMax(0, client.height() - advanced.height()));

    // Standard Buttons and Transfer share the top row; Engineering is hidden.
    QCOMPARE(frame->toolBarArea(frame->StandardBar()), Qt::TopToolBarArea);
    QCOMPARE(frame->toolBarArea(frame->TransferBar()), Qt::TopToolBarArea);
    QVERIFY(frame->StandardBar()->isVisible());
    QVERIFY(frame->TransferBar()->isVisible());
    QVERIFY(!frame->EngineeringBar()->isVisible());
    QVERIFY(!frame->toolBarBreak(frame->TransferBar()));
    QCOMPARE(frame->TransferBar()->y(), frame->StandardBar()->y());
    QVERIFY(frame->TransferBar()->x() > frame->StandardBar()->x());

    // The "Reset Views" layout starts an upload.
    QTRY_VERIFY_WITH_TIMEOUT(frame->Document().TransferProgress().IsOpen() || frame->Document().Identity().SerialNumber() != 0xFFFFFFFF, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!frame->Document().TransferProgress().IsOpen(), 20000);
    m_app->RunIdle();
    Shot(frame, QStringLiteral("shell-default-layout.png"));
}

void TestShell::badPlacementIsIgnored_data()
{
    QTest::addColumn<QString>("showCmd");
    QTest::addColumn<QString>("position");
    QTest::addColumn<bool>("applied");

    QTest::newRow("valid") << "1" << "20,30,620,500" << true;
    QTest::newRow("three numbers") << "1" << "20,30,620" << false;
    QTest::newRow("five numbers") << "1" << "20,30,620,500,7" << false;
    QTest::newRow("ShowCmd -1") << "-1" << "20,30,620,500" << false;
    QTest::newRow("not numbers") << "1" << "a,b,c,d" << false;
    QTest::newRow("no area") << "1" << "20,30,20,500" << false;
    QTest::newRow("off every screen") << "1" << "-9000,-9000,-8400,-8530" << false;
}

void TestShell::badPlacementIsIgnored()
{
    QFETCH(QString, showCmd);
    QFETCH(QString, position);
    QFETCH(bool, applied);
    CPreferences::SetString(Main, QString::fromLatin1(Pref::ShowCmd), showCmd);
    CPreferences::SetString(Main, QString::fromLatin1(Pref::NormalPosition), position);
    // The same values under a view's section.
    CPreferences::SetString("Datalog Features", QString::fromLatin1(Pref::ShowCmd), showCmd);
    // (narrower and lower, so that it fits in that window's client area).
    CPreferences::SetString("Datalog Features", QString::fromLatin1(Pref::NormalPosition),
                            position.replace("620", "340").replace("500", "250"));
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), 1);
    CPreferences::SetString(Main, Pref::WindowKey(0), "Datalog Features");

    CMainFrame *frame = Start();
    QVERIFY(frame);
    const bool mainApplied = frame->geometry() == QRect(20, 30, 600, 470);
    QCOMPARE(mainApplied, applied);
    CInstrumentFrame *child = frame->FindChild("Datalog Features");
    QVERIFY(child);
    if (applied && QTest::currentDataTag() == QLatin1String("valid"))
        QCOMPARE(child->geometry(), QRect(20, 30, 320, 220));
    else
        QVERIFY(child->geometry().topLeft() != QPoint(20, 30) || child->geometry().size() != QSize(320, 220));
}

void TestShell::windowListSkipsUnknownAndOneOffWindows()
{
    const QStringList list = {"Datalog Features", "help.rtf", "Programming", "No Such View", "Interactive Test", "Sensors"};
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), int(list.size()));
    for (int i = 0; i < list.size(); ++i)
        CPreferences::SetString(Main, Pref::WindowKey(i), list[i]);

    CMainFrame *frame = Start();
    QVERIFY(frame);
    // Reopened backwards: the first entry ends on top; nothing else opened.
    QCOMPARE(Titles(*frame), QStringList({"Datalog Features", "Sensors"}));
}

void TestShell::windowListRoundTrip()
{
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QVERIFY(frame->OpenView("Sensors"));
    CInstrumentFrame *datalog = frame->FindChild("Datalog Features");
    datalog->move(33, 44);
    frame->MdiArea()->setActiveSubWindow(datalog);
    const QStringList before = Titles(*frame);
    QCOMPARE(before.first(), QString("Datalog Features"));
    const QRect datalogRect = datalog->geometry();
    Stop();

    QCOMPARE(CPreferences::GetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), -1), int(before.size()));
    QCOMPARE(CPreferences::GetString(Main, Pref::WindowKey(0)), QString("Datalog Features"));

    frame = Start();
    QVERIFY(frame);
    QCOMPARE(Titles(*frame), before);
    QCOMPARE(frame->FindChild("Datalog Features")->geometry(), datalogRect);
}

void TestShell::statusPanesAfterUpload()
{
    CMainFrame *frame = Start();
    QVERIFY(frame);
    CSimInstrument &sim = frame->Simulator()->Instrument();
    const CStatusPanes &panes = frame->StatusPanes();
    QTRY_VERIFY_WITH_TIMEOUT(frame->Document().Identity().SerialNumber() == sim.SerialNumber()
                                 && frame->Document().Words().Bytes(0xC018, 16).at(0) != char(0xFF),
                             20000);
    m_app->RunIdle();
    QCOMPARE(panes.Text(PaneId::Version), "V" + QString::fromLatin1(sim.Version()));
    QCOMPARE(panes.Text(PaneId::Serial), QString("%1").arg(sim.SerialNumber(), 8, 16, QChar('0')).toUpper());
    QCOMPARE(panes.Text(PaneId::Configuration), QString::fromLatin1(sim.ConfigurationText()));
    QVERIFY(!panes.Text(PaneId::ProgrammingDate).isEmpty());
    QCOMPARE(panes.Text(PaneId::Port), QString("SIM"));
    QCOMPARE(panes.Text(PaneId::LinkState), QString("Comm OK"));
    QCOMPARE(panes.Text(PaneId::WindowMode), QString("Multi Window"));
    Shot(frame, QStringLiteral("shell-after-upload.png"));
}

void TestShell::serialLogFileTracesTheLine()
{
    // The preference names the trace file; the dialog of the Options menu
    // turns it off again with an empty name.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("line.trace"));
    CPreferences::SetString(QString::fromLatin1(Pref::Preferences), QString::fromLatin1(Pref::SerialLogFile), path);
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QVERIFY(frame->Action(CommandId::SerialLogFile)->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(frame->Document().Identity().SerialNumber() == frame->Simulator()->Instrument().SerialNumber(),
                             20000);
    // The trace is written in batches, a moment after the messages.
    auto text = [&path] {
        QFile trace(path);
        return trace.open(QIODevice::ReadOnly) ? trace.readAll() : QByteArray();
    };
    QTRY_VERIFY2(text().contains("ReadWords word 0x0c003"), text().left(600).constData());
    QVERIFY(text().contains("> :0000000EF2  QueryProgramMode"));

    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QLineEdit *>(QStringLiteral("serialLogPath"))->clear();
        dialog->accept();
    });
    frame->OnCommand(CommandId::SerialLogFile);
    QVERIFY(!frame->Action(CommandId::SerialLogFile)->isChecked());
    QVERIFY(CPreferences::GetString(QString::fromLatin1(Pref::Preferences), QString::fromLatin1(Pref::SerialLogFile)).isEmpty());
}

void TestShell::portThatCannotOpenOffersAnother_data()
{
    QTest::addColumn<QStringList>("clicks"); // button per dialog, "" for Cancel
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("port");

    QTest::newRow("cancel") << QStringList{""} << QStringList{"Error Opening COM2"} << 2;
    QTest::newRow("COM3, then cancel") << QStringList{"COM3", ""}
                                       << QStringList{"Error Opening COM2", "Error Opening COM3"} << 3;
}

void TestShell::portThatCannotOpenOffersAnother()
{
    QFETCH(QStringList, clicks);
    QTemporaryDir none;
    for (int port = 1; port <= 4; ++port)
        CPreferences::SetString(Prefs, Pref::ComDeviceKey(port), none.filePath(QStringLiteral("no-device-%1").arg(port)));
    CMainFrame *frame = Start();
    QVERIFY(frame);

    QStringList texts;
    QList<std::function<void(QWidget *)>> steps;
    for (const QString &click : clicks) {
        steps.append([&texts, click](QWidget *modal) {
            auto *dialog = qobject_cast<CComErrorDialog *>(modal);
            QVERIFY(dialog);
            texts << dialog->findChild<QLabel *>("ErrorText")->text();
            if (click.isEmpty()) {
                dialog->reject();
                return;
            }
            for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
                if (b->text() == click)
                    b->click();
            }
        });
    }
    ModalScript script(steps);
    frame->OnCommand(CommandId::Com1 + 1);
    QVERIFY(script.Done());
    QTEST(texts, "texts");
    QTEST(CPreferences::GetInt(Prefs, QString::fromLatin1(Pref::CommPort), 0), "port");
    m_app->RunIdle();
    const int port = CPreferences::GetInt(Prefs, QString::fromLatin1(Pref::CommPort), 0);
    QCOMPARE(frame->StatusPanes().Text(PaneId::Port), QStringLiteral("COM%1").arg(port));
    QVERIFY(frame->Action(CommandId::Com1 + port - 1)->isChecked());
    QCOMPARE(frame->StatusPanes().Text(PaneId::LinkState), QString("Timeout"));
}

void TestShell::portChosenFromTheListServesThatCom()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#endif
    // The system's enumeration leaves pseudo-terminals out, so the list is
    // given a described port that is the simulator's.
    CSimulator sim;
    QString error;
    const QString pty = sim.OpenPty(&error);
    QVERIFY2(!pty.isEmpty(), qPrintable(error));
    QTemporaryDir none;
    const QString missing = none.filePath(QStringLiteral("ttyUSB3"));
    CPreferences::SetString(Prefs, Pref::ComDeviceKey(2), missing);
    CPreferences::SetString(Prefs, Pref::ComDeviceKey(3), QStringLiteral("/dev/ttyS2"));
    CMainFrame *frame = Start();
    QVERIFY(frame);

    QString reason;
    QStringList rows;
    ModalScript script({[&](QWidget *modal) {
        auto *dialog = qobject_cast<CComErrorDialog *>(modal);
        QVERIFY(dialog);
        reason = dialog->findChild<QLabel *>("ReasonText")->text();
        SerialPortEntry adapter;
        adapter.name = QFileInfo(pty).fileName();
        adapter.location = pty;
        adapter.description = QStringLiteral("FT232R USB UART");
        adapter.manufacturer = QStringLiteral("FTDI");
        adapter.vendorId = 0x0403;
        adapter.productId = 0x6001;
        adapter.serialNumber = QStringLiteral("A10K3XYZ");
        dialog->SetPorts({adapter});
        auto *list = dialog->findChild<QTreeWidget *>("PortList");
        for (int c = 0; c < list->columnCount(); ++c)
            rows << list->topLevelItem(0)->text(c);
        QCOMPARE(dialog->findChild<QPushButton *>("UsePort")->text(), QStringLiteral("Use for COM2"));
        list->setCurrentItem(list->topLevelItem(0));
        Shot(dialog, QStringLiteral("port-dialog.png"));
        dialog->findChild<QPushButton *>("UsePort")->click();
    }});
    frame->OnCommand(CommandId::Com1 + 1);
    QVERIFY(script.Done());
    QVERIFY2(reason.startsWith(missing + QStringLiteral(": ")), qPrintable(reason));
    QVERIFY2(reason.contains(QLatin1String("There is no such device")), qPrintable(reason));
    QCOMPARE(rows, (QStringList{pty, "FT232R USB UART", "FTDI", "0403:6001", "A10K3XYZ"}));
    // Stored for the COM number in use; the others keep their meaning.
    QCOMPARE(CPreferences::GetInt(Prefs, QString::fromLatin1(Pref::CommPort), 0), 2);
    QCOMPARE(CPreferences::GetString(Prefs, Pref::ComDeviceKey(2)), pty);
    QCOMPARE(CPreferences::GetString(Prefs, Pref::ComDeviceKey(3)), QStringLiteral("/dev/ttyS2"));
    QCOMPARE(CPreferences::ComDevice(1), CPreferences::DefaultComDevice(1));
    QVERIFY(frame->Document().Link().IsSerialOpen());
    QCOMPARE(frame->Document().Link().PortName(), pty);
    m_app->RunIdle();
    QCOMPARE(frame->StatusPanes().Text(PaneId::Port), QStringLiteral("COM2"));
}

void TestShell::storedPortNeverOfferedMeansCom1()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#endif
    CSimulator sim;
    QString error;
    const QString pty = sim.OpenPty(&error);
    QVERIFY2(!pty.isEmpty(), qPrintable(error));
    CPreferences::SetString(Prefs, Pref::ComDeviceKey(1), pty);
    CPreferences::SetInt(Prefs, QString::fromLatin1(Pref::CommPort), 7);
    CMainFrame *frame = Start({});
    QVERIFY(frame);
    QCOMPARE(CPreferences::GetInt(Prefs, QString::fromLatin1(Pref::CommPort), 0), 1);
    QVERIFY(frame->Document().Link().IsSerialOpen());
    m_app->RunIdle();
    QCOMPARE(frame->StatusPanes().Text(PaneId::Port), QStringLiteral("COM1"));
}

void TestShell::singleWindowKeepsOne()
{
    CMainFrame *frame = Start();
    QVERIFY(frame);
    frame->OnCommand(CommandId::SingleWindow);
    QCOMPARE(Titles(*frame).size(), 1);
    QVERIFY(!frame->Action(CommandId::ResetViews)->isEnabled());
    CInstrumentFrame *sensors = frame->OpenView("Sensors");
    QVERIFY(sensors);
    QCOMPARE(Titles(*frame), QStringList{"Sensors"});
    QCOMPARE(sensors->pos(), QPoint(0, 0));
    // A form view answers maximise by fitting its window to the form.
    const QSize fitted = sensors->size();
    sensors->showMaximized();
    QTRY_VERIFY(!sensors->isMaximized());
    QCOMPARE(sensors->size(), fitted);
    frame->OnCommand(CommandId::MultiWindow);
    QCOMPARE(TitleSet(*frame),
             QSet<QString>({"Display Mode", "Datalog Features", "Advanced Features"}));
}

void TestShell::downloadIsCheckedAfterwards_data()
{
    QTest::addColumn<bool>("spoil");
    QTest::newRow("instrument keeps what was sent") << false;
    QTest::newRow("instrument loses a byte") << true;
}

void TestShell::downloadIsCheckedAfterwards()
{
    QFETCH(bool, spoil);
    CMainFrame *frame = Start();
    QVERIFY(frame);
    CSimInstrument &sim = frame->Simulator()->Instrument();
    QTRY_VERIFY_WITH_TIMEOUT(frame->Document().Identity().SerialNumber() == sim.SerialNumber()
                                 && !frame->Document().TransferProgress().IsOpen() && frame->Document().Link().IsIdle(),
                             20000);
    // Once the ID texts are being written the settings are in: a byte the
    // instrument then loses is one the read-back must catch.
    bool spoilt = false;
    connect(frame->Simulator(), &CSimulator::RequestServed, frame, [&](const QByteArray &request, const QByteArray &) {
        if (spoil && !spoilt && request.mid(7, 2) == "31") {
            spoilt = true;
            sim.SetTimeKeeper(30, QByteArray(1, char(sim.TimeKeeperByte(30) ^ 0x01)));
        }
    });
    int rows = -1;
    ModalScript script({[&rows](QWidget *modal) {
        auto *report = qobject_cast<CDownloadReport *>(modal);
        QVERIFY(report);
        rows = report->Table()->rowCount();
        report->accept();
    }});
    frame->OnCommand(CommandId::Download);
    QCOMPARE(frame->DownloadCheckState(), CMainFrame::DownloadCheck::Downloading);
    QTRY_COMPARE_WITH_TIMEOUT(frame->DownloadCheckState(), CMainFrame::DownloadCheck::None, 20000);
    if (spoil) {
        QVERIFY(script.Done());
        QVERIFY(rows >= 1);
    } else {
        QVERIFY(!script.Done());
        QVERIFY(frame->statusBar()->currentMessage().startsWith("Download checked"));
    }
}

void TestShell::splashGoesOnKeyPress()
{
    CMainFrame *frame = Start({"--simulate"}, true);
    QVERIFY(frame);
    QVERIFY(m_app->Splash());
    QCOMPARE(m_app->Splash()->size(), QSize(600, 450));
    Shot(m_app->Splash(), QStringLiteral("shell-splash.png"));
    QTest::keyClick(frame, Qt::Key_Shift);
    QTRY_VERIFY(!m_app->Splash());
}

void TestShell::newInstrumentModeHidesMenusAndBars()
{
    CMainFrame *frame = Start({"--simulate", "-NEW"});
    QVERIFY(frame);
    QVERIFY(frame->IsNewInstrumentMode());
    m_app->RunIdle();
    QVERIFY(!frame->menuBar()->isVisible());
    QVERIFY(!frame->StandardBar()->isVisible());
    QVERIFY(!frame->TransferBar()->isVisible());
    QVERIFY(!frame->EngineeringBar()->isVisible());
    // Production mode leaves the stored toolbar layout alone.
    Stop();
    QVERIFY(CPreferences::GetString(Main, QString::fromLatin1(Pref::BarState)).isEmpty());
}

void TestShell::damagedToolbarLayoutResetsViews()
{
    CPreferences::SetString(Main, QString::fromLatin1(Pref::BarState), "not a layout");
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), 1);
    CPreferences::SetString(Main, Pref::WindowKey(0), "Sensors");
    QString said;
    ModalScript script({[&said](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        said = box->text();
        box->accept();
    }});
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QCOMPARE(said, QString("Error loading toolbars"));
    // Reset Views, then the stored list on top of it.
    QCOMPARE(TitleSet(*frame), QSet<QString>({"Display Mode", "Datalog Features", "Advanced Features", "Sensors"}));
    QVERIFY(frame->TransferBar()->isVisible());
}

void TestShell::menusFollowChildWindows()
{
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), 0);
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QVERIFY(frame->ChildFrames().isEmpty());
    auto menus = [frame] {
        QStringList titles;
        for (QAction *a : frame->menuBar()->actions()) {
            if (a->isVisible())
                titles << a->text();
        }
        return titles;
    };
    auto viewEntries = [frame] {
        QStringList texts;
        for (QAction *a : frame->menuBar()->actions()) {
            if (a->text() == "&View") {
                for (QAction *e : a->menu()->actions())
                    texts << e->text();
            }
        }
        return texts;
    };
    QCOMPARE(menus(), QStringList({"&File", "&View", "&Transfer", "&Options", "&Help"}));
    QVERIFY(viewEntries().contains("L&oad Views"));
    QVERIFY(!frame->Action(CommandId::WindowClose)->isEnabled());

    QVERIFY(frame->OpenView("Sensors"));
    QCOMPARE(menus(), QStringList({"&File", "&Edit", "&View", "&Transfer", "&Options", "&Window", "&Help"}));
    QVERIFY(!viewEntries().contains("L&oad Views"));
    QVERIFY(!viewEntries().last().isEmpty()); // no separator left at the end
    QVERIFY(frame->Action(CommandId::Sensors)->isChecked());

    frame->OnCommand(CommandId::WindowCloseAll);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(menus(), QStringList({"&File", "&View", "&Transfer", "&Options", "&Help"}));
    QVERIFY(!frame->Action(CommandId::Sensors)->isChecked());
}

void TestShell::documentWindowsFollowTheDocument()
{
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QTRY_VERIFY_WITH_TIMEOUT(!frame->Document().TransferProgress().IsOpen() && frame->Document().Link().IsIdle(), 20000);

    CTransferProgress &clearing = frame->Document().ClearProgress();
    clearing.Show("Clearing Log", 84);
    clearing.MarkStep(0);
    QProgressBar *bar = nullptr;
    for (auto *dialog : frame->findChildren<CProgressDialog *>()) {
        if (dialog->isVisible())
            bar = dialog->Bar();
    }
    QVERIFY(bar);
    QCOMPARE(bar->window()->windowTitle(), QString("Clearing Log"));
    QCOMPARE(bar->maximum(), 84);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(frame->cursor().shape(), Qt::WaitCursor);
    // Cancel closes the window and the model with it.
    static_cast<QDialog *>(bar->window())->reject();
    QVERIFY(!clearing.IsOpen());
    QCOMPARE(frame->cursor().shape(), Qt::ArrowCursor);

    CNoticeWindow &notice = frame->Document().Notice();
    notice.ShowNotice("Communications Error", "Check connections", CNoticeWindow::IdCancel);
    auto *dialog = frame->findChild<CNoticeDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("Communications Error"));
    QCOMPARE(dialog->Text()->text(), QString("Check connections"));
    QCOMPARE(dialog->Button()->text(), QString("Cancel"));
    dialog->Button()->click();
    QVERIFY(!notice.IsOpen());
    QVERIFY(!dialog->isVisible());

    emit frame->Document().StatusLine("Erasing sector at c000");
    QCOMPARE(frame->statusBar()->currentMessage(), QString("Erasing sector at c000"));
}

void TestShell::helpViewer()
{
    QVERIFY2(QFile::exists(CMainFrame::HelpFilePath()), qPrintable(CMainFrame::HelpFilePath()));
    CMainFrame *frame = Start();
    QVERIFY(frame);
    frame->OnCommand(CommandId::ViewHelp);
    CInstrumentFrame *help = frame->FindChild("help.rtf");
    QVERIFY(help);
    auto *viewer = help->findChild<CHelpFileViewer *>();
    QVERIFY(viewer);
    QVERIFY(viewer->isReadOnly());
    QVERIFY(viewer->document()->blockCount() > 20);
    // Every window of the program has its part in the help text.
    for (const char *title : {"Advanced Features", "Datalog Features", "Display Mode", "Sensors", "Log View", "Configuration Wizard",
                              "Programming", "Instrument View", "Analog", "Digital", "Memory", "Flash", "RAM", "Toxic Table",
                              "Range Table", "Interactive Test", "Load Options", "Network", "new?", "simulate"})
        QVERIFY2(viewer->document()->toPlainText().contains(QLatin1String(title), Qt::CaseInsensitive), title);

    viewer->moveCursor(QTextCursor::Start);
    QVERIFY(viewer->Search("display MODE"));
    QCOMPARE(viewer->textCursor().selectedText().toLower(), QString("display mode"));
    QVERIFY(!viewer->Search("no such words anywhere"));

    // Opening it again brings the same window up.
    frame->OnCommand(CommandId::ViewHelp);
    int helpWindows = 0;
    for (const QString &t : Titles(*frame))
        helpWindows += t == "help.rtf";
    QCOMPARE(helpWindows, 1);

    QTemporaryDir out;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out.filePath("help.pdf"));
    CFileViewer::SetMargins(&printer);
    QCOMPARE(printer.pageLayout().margins(QPageLayout::Inch).left(), 0.5);
    viewer->Print(&printer);
    QVERIFY(QFileInfo(out.filePath("help.pdf")).size() > 1000);

    help->resize(760, 520);
    Shot(help, QStringLiteral("shell-help.png"));

    // "Close Help" closes the window; the help is not in the saved list.
    for (QPushButton *b : help->findChildren<QPushButton *>()) {
        if (b->text() == "Close Help")
            b->click();
    }
    QVERIFY(!frame->FindChild("help.rtf"));
}

namespace {
int RunShellTests(int argc, char **argv)
{
    // A desktop-sized screen, so the layouts and screenshots are those a user sees.
    // The platform's options are separated by colons, so the file is named
    // relative to the working folder (a Windows path's drive has a colon).
    QTemporaryDir screen(QDir::current().filePath(QStringLiteral("screen-XXXXXX")));
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen")) {
        QFile config(screen.filePath("screen.json"));
        if (config.open(QIODevice::WriteOnly))
            config.write(R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1440, "height": 900,)"
                         R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QDir::current().relativeFilePath(config.fileName()).toLocal8Bit());
    }
    QApplication app(argc, argv);
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}
} // namespace

int main(int argc, char **argv)
{
    return FinishProcess(RunShellTests(argc, argv));
}
#include "tst_shell.moc"
