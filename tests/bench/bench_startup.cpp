// Start-up and idle-load benchmarks of the windowed program: the time from
// entering main until the main frame has been shown and painted once, and the
// process CPU spent per second with the four settings views open against the
// simulator on a pseudo-terminal at 115200 baud.
#include "ProgramRuns.h"
#include "SimRig.h"
#include "app/AltavoApp.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "platform/Preferences.h"
#include "views/InstrumentView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {
QElapsedTimer sinceMain;

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Notes the first paint the main frame itself receives.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedMs < 0) {
            if (auto *w = qobject_cast<QWidget *>(watched); w && w->isWindow())
                paintedMs = sinceMain.nsecsElapsed() * 1e-6;
        }
        return QObject::eventFilter(watched, event);
    }
    double paintedMs = -1;
};

std::unique_ptr<CAltavoApp> StartApp(const QStringList &args)
{
    auto app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = false;
    if (!app->Start(args, options) || !app->MainFrame())
        return nullptr;
    return app;
}

void Stop(std::unique_ptr<CAltavoApp> &app)
{
    if (app && app->MainFrame())
        app->MainFrame()->close();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int BenchStartup()
{
    FirstPaint paint;
    qApp->installEventFilter(&paint);
    const double appReadyMs = sinceMain.nsecsElapsed() * 1e-6;
    std::unique_ptr<CAltavoApp> app = StartApp({QStringLiteral("--simulate")});
    if (!app) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    const double startedMs = sinceMain.nsecsElapsed() * 1e-6;
    QElapsedTimer wait;
    wait.start();
    while (paint.paintedMs < 0 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    qApp->removeEventFilter(&paint);
    if (paint.paintedMs < 0) {
        std::fprintf(stderr, "the main frame was never painted\n");
        return 1;
    }
    std::printf("start-up (--simulate, no splash, %s): QApplication ready %.1f ms, CAltavoApp::Start returned %.1f ms, "
                "main frame first painted %.1f ms after main\n",
                qPrintable(QGuiApplication::platformName()), appReadyMs, startedMs, paint.paintedMs);
    Stop(app);
    return 0;
}

int BenchViewsCpu(int seconds)
{
    CSimProcess sim;
    if (!sim.Start({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200")})) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    const QString prefs = QString::fromLatin1(Pref::Preferences);
    CPreferences::SetString(prefs, Pref::ComDeviceKey(1), sim.Pty());
    CPreferences::SetInt(prefs, QString::fromLatin1(Pref::CommPort), 1);
    std::unique_ptr<CAltavoApp> app = StartApp({});
    if (!app || !app->MainFrame()->Document().Link().IsSerialOpen()) {
        std::fprintf(stderr, "the program did not open %s\n", qPrintable(sim.Pty()));
        return 1;
    }
    CMainFrame *frame = app->MainFrame();
    for (const char *title : {"Display Mode", "Datalog Features", "Advanced Features", "Sensors"}) {
        if (!frame->OpenView(QString::fromLatin1(title)))
            std::fprintf(stderr, "no view \"%s\"\n", title);
    }
    // Let the views' first uploads finish before measuring the steady poll.
    {
        QEventLoop settle;
        QTimer::singleShot(5000, &settle, &QEventLoop::quit);
        settle.exec();
    }

    CInstrumentLink &link = frame->Document().Link();
    const qint64 charsBefore = link.CharactersSent() + link.CharactersReceived();
    const double cpuBefore = CpuSeconds();
    // The program's own event loop, as app.exec() runs it.
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = t.nsecsElapsed() * 1e-9;
    const double cpu = CpuSeconds() - cpuBefore;
    const qint64 chars = link.CharactersSent() + link.CharactersReceived() - charsBefore;
    std::printf("four settings views open at 115200 baud (%s), %.1f s: %.3f s of CPU, %.2f%% of one core; "
                "%.0f characters a second on the line (%.1f%% of it)\n",
                qPrintable(QGuiApplication::platformName()), wall, cpu, 100.0 * cpu / wall, chars / wall,
                100.0 * chars / wall / 11520.0);
    Stop(app);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    sinceMain.start();
    // Without a display the figures come from the offscreen platform, which
    // still runs the whole show, layout and paint path.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir settings;
    UseTemporarySettings(settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    qputenv("ALTAVO_SIM", ALTAVO_SIM_PATH);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "--cpu")
        return BenchViewsCpu(argc > 2 ? QByteArray(argv[2]).toInt() : 10);
    return BenchStartup();
}
