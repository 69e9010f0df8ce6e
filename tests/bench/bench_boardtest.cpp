// Board-test benchmark: how long the automatic groups (RAM, Time Keeper,
// Flash) take on a 115200-baud line against the simulated bare board, as a
// ratio to the line time of the characters they exchange (both ways, 11520 a
// second). The simulator runs as its own process on a pseudo-terminal, as a
// board on a serial port would answer.
#include "SimRig.h"
#include "boardtest/BoardTestSequence.h"
#include "boardtest/EngineDownload.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

namespace {
constexpr double LineCharsPerSecond = 11520.0;

void Measure(int group)
{
    QProcess sim;
    sim.start(QStringLiteral(ALTAVO_SIM_PATH),
              {QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--board-test")});
    QString device;
    QDeadlineTimer started(5000);
    while (sim.waitForStarted(5000) && device.isEmpty() && !started.hasExpired()) {
        sim.waitForReadyRead(100);
        const QByteArray line = sim.readLine().trimmed();
        if (line.startsWith("pty: "))
            device = QString::fromLatin1(line.mid(5));
    }
    if (device.isEmpty()) {
        std::fprintf(stderr, "the simulator did not report its pseudo-terminal\n");
        return;
    }
    CInstrumentDoc doc(CClock::System());
    if (!doc.Link().OpenSerialDevice(device)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(device));
        return;
    }
    CSilentPrompt prompt(true);
    CEngineDownload download(doc, &prompt);
    CBoardTestSequence test(doc, &prompt);
    test.SetDownload(&download);
    test.SetReplyTimeout(60000);
    CInstrumentLink &link = doc.Link();
    const quint64 chars0 = link.CharactersSent() + link.CharactersReceived();
    QElapsedTimer clock;
    bool done = false;
    QObject::connect(&test, &CBoardTestSequence::GroupStarted, [&](int g) {
        if (g == group + 1)
            done = true;
    });
    clock.start();
    test.Start(group);
    QDeadlineTimer deadline(1800000);
    QTimer tick; // wakes the wait; processEvents with a time limit never sleeps
    tick.start(50);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!done) {
        std::printf("group %d: did not finish\n", group);
        return;
    }
    const double seconds = clock.nsecsElapsed() * 1e-9;
    const quint64 chars = link.CharactersSent() + link.CharactersReceived() - chars0;
    const double lineSeconds = chars / LineCharsPerSecond;
    const int node = test.Tree().GroupNode(group);
    std::printf("%-12s %9llu chars  %8.2f s  line time %8.2f s  ratio %.3f  (%s)\n",
                qPrintable(test.Tree().At(node).name), static_cast<unsigned long long>(chars), seconds, lineSeconds,
                seconds / lineSeconds, test.Tree().At(node).state == CBoardTestTree::Passed ? "passed" : "FAILED");
    std::fflush(stdout);
    sim.terminate();
    sim.waitForFinished(3000);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir settings;
    UseTemporarySettings(settings);
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("FlashTestFile"),
                            QStringLiteral(ALTAVO_BOARD_DATA "/flashtst.hex"));
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("BoardTestFile"),
                            QStringLiteral(ALTAVO_BOARD_DATA "/mustprog.hex"));
    std::printf("board test, automatic groups at 115200 baud against the simulator:\n");
    for (int group : {int(CBoardTestTree::Ram), int(CBoardTestTree::TimeKeeper), int(CBoardTestTree::Flash)})
        Measure(group);
    return 0;
}
