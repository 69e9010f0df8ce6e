// A document joined to an in-process simulated instrument: the usual fixture
// of document, window and end-to-end tests.
#pragma once

#include "EventWait.h"
#include "Simulator.h"
#include "document/InstrumentDoc.h"
#include "platform/Clock.h"
#include "platform/UserPrompt.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

struct SimRig
{
    explicit SimRig(const SimOptions &options = {}, IUserPrompt *prompt = nullptr)
        : sim(options), doc(CClock::System(), prompt)
    {
        doc.Link().OpenChannel(sim.ConnectInProcess());
    }

    // Runs the event loop until done() holds; false when it did not within ms.
    bool WaitFor(const std::function<bool()> &done, int ms = 10000) { return WaitUntil(done, ms); }
    bool WaitIdle(int ms = 10000) { return WaitFor([this] { return doc.Link().IsIdle(); }, ms); }

    CSimulator sim;
    CInstrumentDoc doc;
};

// Keeps a test's preferences out of the user's own: call once in initTestCase.
inline void UseTemporarySettings(QTemporaryDir &dir)
{
    QStandardPaths::setTestModeEnabled(true);
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
}
