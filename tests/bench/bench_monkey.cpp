// The seeded monkey of the window tests at length: many more random events
// over every window against the simulated instrument, as events a second.
//   bench_monkey [EVENTS]   (default 20000; ALTAVO_MONKEY_SEED as in the test,
//                            a random seed when unset, printed either way)
#include "BenchSettings.h"
#include "Monkey.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    UseBenchSettings(settings);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    qputenv("XDG_DATA_HOME", settings.path().toLocal8Bit());
    qputenv("ALTAVO_TEST_DATA", ALTAVO_TEST_DATA_PATH);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));

    if (!qEnvironmentVariableIsSet("ALTAVO_MONKEY_SEED"))
        qputenv("ALTAVO_MONKEY_SEED", "random");
    CMonkey::Plan plan = CMonkey::PlanFromEnvironment(argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 20000);
    std::printf("monkey: seed %u, %d events\n", plan.seed, plan.events);
    std::fflush(stdout);
    CMonkey monkey(plan);
    QElapsedTimer clock;
    clock.start();
    const bool ok = monkey.Run();
    const double seconds = qMax<qint64>(1, clock.elapsed()) / 1000.0;
    std::printf("monkey: %d events in %.1f s: %.0f events/s\n%s\n", plan.events, seconds, plan.events / seconds,
                qPrintable(monkey.Summary()));
    if (!ok)
        std::printf("monkey FAILED: %s\n", qPrintable(monkey.Failure()));
    return ok ? 0 : 1;
}
