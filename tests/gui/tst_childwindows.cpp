// Child windows of the program window against the simulated instrument: wherever a window opens, from a saved
// placement or at its form's size, all of it lies in the visible part of the client area, whatever the
// program window's size.
#include "SimRig.h"
#include "app/AltavoApp.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "app/Placement.h"
#include "platform/Preferences.h"
#include "views/InstrumentView.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
const QString Main = QString::fromLatin1(Pref::MainWindow);

QStringList Titles(const CMainFrame &frame)
{
    QStringList titles;
    for (CInstrumentFrame *f : frame.ChildFrames())
        titles << f->Caption();
    return titles;
}
} // namespace

class TestChildWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void childWindowsOpenInsideTheClientArea_data();
    void childWindowsOpenInsideTheClientArea();
    void storedPlacementReturnsWhenTheFrameGrows();

private:
    CMainFrame *Start();
    void Stop();
    void Shot(QWidget *w, const QString &name);

    QTemporaryDir m_settings;
    std::unique_ptr<CAltavoApp> m_app;
};

void TestChildWindows::initTestCase()
{
    UseTemporarySettings(m_settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
}

void TestChildWindows::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
              QString::fromLatin1(Pref::Application))
        .clear();
}

void TestChildWindows::cleanup()
{
    Stop();
}

void TestChildWindows::Stop()
{
    if (m_app && m_app->MainFrame())
        m_app->MainFrame()->close();
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CMainFrame *TestChildWindows::Start()
{
    m_app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = false;
    if (!m_app->Start({QStringLiteral("--simulate")}, options))
        return nullptr;
    return m_app->MainFrame();
}

void TestChildWindows::Shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name));
}

void TestChildWindows::childWindowsOpenInsideTheClientArea_data()
{
    QTest::addColumn<QSize>("frameSize");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("stored"); // the window's "NormalPosition"; empty for none

    const QList<std::pair<const char *, QSize>> frames{{"small", {800, 600}}, {"1400x900", {1400, 900}}, {"large", {2400, 1500}}};
    const QList<std::pair<const char *, QString>> placements{
        {"no placement", QString()}, {"fitting placement", "24,16,444,336"}, {"placement partly outside", "1500,900,2600,1700"}};
    for (const auto &[frameName, frameSize] : frames) {
        for (const char *title : {"Instrument History", "Log View", "Advanced Features", "help.rtf"}) {
            for (const auto &[placementName, stored] : placements)
                QTest::addRow("%s, %s, %s", frameName, title, placementName) << frameSize << QString::fromLatin1(title) << stored;
        }
    }
}

void TestChildWindows::childWindowsOpenInsideTheClientArea()
{
    QFETCH(QSize, frameSize);
    QFETCH(QString, title);
    QFETCH(QString, stored);
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::ShowCmd), CPlacement::Normal);
    CPreferences::SetString(Main, QString::fromLatin1(Pref::NormalPosition),
                            CPlacement::FormatNormalPosition(QRect(QPoint(0, 0), frameSize)));
    if (!stored.isEmpty()) {
        CPreferences::SetInt(title, QString::fromLatin1(Pref::ShowCmd), CPlacement::Normal);
        CPreferences::SetString(title, QString::fromLatin1(Pref::NormalPosition), stored);
    }
    // Other views are open, so the client area places a new window beside
    // them rather than at its top left corner.
    const QStringList others{"Display Mode", "Datalog Features", "Sensors"};
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), int(others.size()));
    for (int i = 0; i < others.size(); ++i)
        CPreferences::SetString(Main, Pref::WindowKey(i), others[i]);
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QCOMPARE(frame->size(), frameSize);
    QCOMPARE(Titles(*frame), others);
    QCoreApplication::processEvents();

    if (title == QLatin1String("help.rtf"))
        frame->OpenHelp();
    else
        QVERIFY(frame->OpenView(title));
    CInstrumentFrame *child = frame->FindChild(title);
    QVERIFY(child);
    QCoreApplication::processEvents();

    const QRect visible(QPoint(0, 0), frame->MdiArea()->viewport()->size());
    QVERIFY2(visible.contains(child->geometry()),
             qPrintable(QStringLiteral("%1 in %2").arg(CPlacement::FormatNormalPosition(child->geometry()),
                                                       CPlacement::FormatNormalPosition(visible))));
    QRect placement;
    if (CPlacement::ParseNormalPosition(stored, &placement)) {
        // Kept to the pixel when it fits; otherwise moved in, and shrunk
        // only as far as the client area is smaller.
        if (visible.contains(placement))
            QCOMPARE(child->geometry(), placement);
        else
            QCOMPARE(child->size(), placement.size().boundedTo(visible.size()));
    }
    // Closed untouched, the window keeps the stored placement, squeezed or
    // not; without one it saves where it was shown.
    const QRect shown = child->geometry();
    const bool maximised = child->isMaximized();
    child->close();
    QCoreApplication::processEvents();
    QRect saved;
    QVERIFY(CPlacement::ParseNormalPosition(CPreferences::GetString(title, QString::fromLatin1(Pref::NormalPosition)), &saved));
    if (!stored.isEmpty())
        QCOMPARE(CPlacement::FormatNormalPosition(saved), stored);
    else if (!maximised)
        QCOMPARE(saved, shown);
    if (title == QLatin1String("Instrument History") && frameSize == QSize(1400, 900) && stored.isEmpty()) {
        frame->OpenView(title);
        QCoreApplication::processEvents();
        Shot(frame, QStringLiteral("history-window-1400x900.png"));
    }
}

void TestChildWindows::storedPlacementReturnsWhenTheFrameGrows()
{
    // Stored with a large main window; this run starts small, as when the
    // desktop maximises the window only after it first showed.
    const QRect stored(700, 300, 600, 500);
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::ShowCmd), CPlacement::Normal);
    CPreferences::SetString(Main, QString::fromLatin1(Pref::NormalPosition), "0,0,800,600");
    for (const char *title : {"Sensors", "Advanced Features"}) {
        CPreferences::SetInt(title, QString::fromLatin1(Pref::ShowCmd), CPlacement::Normal);
        CPreferences::SetString(title, QString::fromLatin1(Pref::NormalPosition), CPlacement::FormatNormalPosition(stored));
    }
    CPreferences::SetInt(Main, QString::fromLatin1(Pref::NumberOfWindows), 2);
    CPreferences::SetString(Main, Pref::WindowKey(0), "Sensors");
    CPreferences::SetString(Main, Pref::WindowKey(1), "Advanced Features");
    CMainFrame *frame = Start();
    QVERIFY(frame);
    QCoreApplication::processEvents();
    CInstrumentFrame *sensors = frame->FindChild("Sensors");
    CInstrumentFrame *advanced = frame->FindChild("Advanced Features");
    QVERIFY(sensors && advanced);
    const QRect small(QPoint(0, 0), frame->MdiArea()->viewport()->size());
    QVERIFY(small.contains(sensors->geometry()));
    QVERIFY(sensors->geometry() != stored);

    // The user moves one window; the other stays where its placement put it.
    advanced->move(10, 20);
    const QRect moved = advanced->geometry();
    frame->resize(1400, 900);
    QTRY_COMPARE(sensors->geometry(), stored);
    QCOMPARE(advanced->geometry(), moved);

    Stop();
    QRect saved;
    QVERIFY(CPlacement::ParseNormalPosition(CPreferences::GetString("Sensors", QString::fromLatin1(Pref::NormalPosition)), &saved));
    QCOMPARE(saved, stored);
    QVERIFY(CPlacement::ParseNormalPosition(CPreferences::GetString("Advanced Features", QString::fromLatin1(Pref::NormalPosition)), &saved));
    QCOMPARE(saved, moved);
}

QTEST_MAIN(TestChildWindows)
#include "tst_childwindows.moc"
