// A seeded monkey over the program window and the simulated instrument:
// random commands, clicks and keys in every window, every question and file
// dialog answered at random: no crash, no sanitizer report, and the
// instrument's settings as they were until a command that may write them.
//
//   ALTAVO_MONKEY_SEED    the seed (a number, or "random"); printed at the start
//   ALTAVO_MONKEY_EVENTS  how many events (default 20000)
//   ALTAVO_MONKEY_TRACE   1: print every event as it is made
// A seed that failed repeats its run of events with the same seed and count.
#include "Monkey.h"

#include "Simulator.h"
#include "app/AltavoApp.h"
#include "app/MainFrame.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTest>

#include "SimRig.h"

class TestMonkey : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void randomUseLeavesTheInstrumentAsItWas();

private:
    QTemporaryDir m_settings;
};

void TestMonkey::initTestCase()
{
    QVERIFY(m_settings.isValid());
    UseTemporarySettings(m_settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
}

void TestMonkey::randomUseLeavesTheInstrumentAsItWas()
{
    const CMonkey::Plan plan = CMonkey::PlanFromEnvironment();
    qInfo().noquote() << QStringLiteral("monkey: seed %1, %2 events (ALTAVO_MONKEY_SEED=%1 ALTAVO_MONKEY_EVENTS=%2 repeats this run)")
                             .arg(plan.seed)
                             .arg(plan.events);
    CMonkey monkey(plan);
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(monkey.Run(), qPrintable(monkey.Failure()));
    const double seconds = qMax<qint64>(1, clock.elapsed()) / 1000.0;
    qInfo().noquote() << QStringLiteral("monkey: %1 events in %2 s (%3 events/s); %4").arg(plan.events).arg(seconds, 0, 'f', 1)
                             .arg(plan.events / seconds, 0, 'f', 0)
                             .arg(monkey.Summary());
}

// The monkey may run for many minutes on a sanitized build: no time limit of
// Qt Test's own (ctest keeps its limit).
namespace {
int RunMonkey(int argc, char **argv)
{
    qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMonkey test;
    QTEST_SET_MAIN_SOURCE_PATH
    // The offscreen platform warns of what it cannot do on every window;
    // the monkey's own lines must not be cut off after the first thousand.
    QStringList args = QCoreApplication::arguments();
    args << QStringLiteral("-maxwarnings") << QStringLiteral("0");
    return QTest::qExec(&test, args);
}
} // namespace

int main(int argc, char **argv)
{
    return FinishProcess(RunMonkey(argc, argv));
}

#include "tst_monkey.moc"
