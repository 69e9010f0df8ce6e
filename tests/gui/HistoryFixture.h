// The fleet the history window tests share: simulated instruments of their own serial numbers recorded into a real SQLite file, and the log events that make calibrations.
#pragma once

#include "LogEvent.h"
#include "ProgramRuns.h"
#include "SimRig.h"
#include "app/AltavoApp.h"
#include "app/CommandIds.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "app/ViewRegistry.h"
#include "datalog/Log.h"
#include "datalog/LogTableModel.h"
#include "datalog/LogRetrieval.h"
#include "history/FleetFilter.h"
#include "history/FleetModel.h"
#include "history/HistoryDatabaseDialog.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryService.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"
#include "history/HistoryWindow.h"
#include "history/SnapshotCompareDialog.h"
#include "history/TimelineModel.h"
#include "history/UploadWatch.h"
#include "SimInstrument.h"
#include "document/WordImage.h"
#include "datalog/LogSession.h"
#include "document/SettingsCodec.h"
#include "platform/Preferences.h"
#include "platform/ProfileFile.h"
#include "report/HistoryReport.h"
#include "report/ReportPrinter.h"
#include "report/SnapshotCompare.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <memory>

// The instrument keeps its last calibration date without a year, so the
// dates here follow the day the test runs.
inline const QDateTime Now = QDateTime::currentDateTimeUtc();

// A passed HC calibration ending at t, and a passed bump test a minute later.
inline QList<LogRecord> CalibrationAt(const QDateTime &t)
{
    return {Event(29, t.addSecs(-120), 0x1), Event(11, t.addSecs(-60)), Event(32, t.addSecs(-10), 0x1),
            Event(33, t, 0x1),               Event(36, t.addSecs(2)),   Event(28, t.addSecs(30)),
            Event(30, t.addSecs(50), 0x1),   Event(24, t.addSecs(60))};
}

// Whether a report's text can be read back here: pdftotext is a Linux tool
// (scripts/bootstrap installs it, and its absence there is a failure). A
// Windows build checks that the files are PDF documents; their text is
// checked on Linux from the same drawing code.
inline bool CanReadPdfText()
{
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

inline QString PdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// One simulated instrument with its own serial number and ID, a calibration
// interval, the last calibration date its settings keep and no bump tests
// required. A calibration in a recorded log takes over from that date.
struct Instrument
{
    Instrument(quint32 serial, const QByteArray &id, int calIntervalDays = 30, int calibratedDaysAgo = 5)
        : rig(Options(serial))
    {
        CSimInstrument &sim = rig.sim.Instrument();
        sim.SetIdEntry(CSettingsImage::InstrumentIdEntry, id.leftJustified(16, ' '));
        const CWordImage words;
        CSettingsImage settings(words);
        settings.StoreTimeKeeper(0, sim.TimeKeeper());
        settings.SetLastCalDate(QDate::currentDate().addDays(-calibratedDaysAgo));
        settings.SetCalInterval(calIntervalDays);
        settings.SetBumpTest(0);
        intervalDays = settings.GetCalInterval();
        const QByteArray block = settings.TimeKeeperPiece(0, CSettingsImage::TimeKeeperSize);
        sim.SetTimeKeeper(CSettingsImage::SettingsOffset, block.mid(CSettingsImage::SettingsOffset));
        rig.doc.SetIdEntriesWanted(true);
    }
    int intervalDays = 0;
    static SimOptions Options(quint32 serial)
    {
        SimOptions o;
        o.serialNumber = serial;
        return o;
    }
    SimRig rig;
};


// A temporary SQLite history with three instruments ready to upload.
struct HistoryFleet
{
    bool Reset()
    {
        fleet.clear();
        worker.reset();
        store.reset();
        dir = std::make_unique<QTemporaryDir>();
        store = std::make_unique<CHistoryStore>();
        if (!store->Open(dir->filePath(QStringLiteral("history.db"))))
            return false;
        fleet.push_back(std::make_unique<Instrument>(0x00A10001, "TRUCK 7"));
        fleet.push_back(std::make_unique<Instrument>(0x00A10002, "LAB BENCH"));
        fleet.push_back(std::make_unique<Instrument>(0x00B20003, "TANK FARM"));
        return true;
    }
    void Clear()
    {
        fleet.clear();
        worker.reset();
        store.reset();
        dir.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Uploads the instrument as the windows do and waits until the history has it.
    bool Upload(Instrument &instrument)
    {
        CHistoryRecorder recorder(instrument.rig.doc, store.get());
        CUploadWatch watch(instrument.rig.doc);
        QObject::connect(&watch, &CUploadWatch::UploadFinished, &recorder, &CHistoryRecorder::UploadDone);
        QSignalSpy recorded(&recorder, &CHistoryRecorder::Recorded);
        instrument.rig.doc.UploadAll();
        return instrument.rig.WaitFor([&] { return !recorded.isEmpty(); }, 15000) && recorder.LastResult().stored;
    }
    // The window over the same file, read on a history thread of its own as
    // the main frame's is; returned once it shows the fleet and a timeline.
    std::unique_ptr<CHistoryWindow> Window(Instrument &instrument)
    {
        if (!worker) {
            worker = std::make_unique<CHistoryWorker>();
            worker->Open(store->Location());
        }
        auto window = std::make_unique<CHistoryWindow>(instrument.rig.doc);
        window->SetNowProvider([] { return Now; });
        window->resize(window->FormSize());
        QSignalSpy refreshed(window.get(), &CHistoryWindow::Refreshed);
        window->SetHistory(worker.get());
        window->OnInitialUpdate();
        // The second refresh (OnInitialUpdate's) is the one that counts.
        if (!WaitUntil([&] { return refreshed.size() >= 1 && worker->Pending() == 0; }, 20000))
            qWarning("the history window did not show the fleet");
        return window;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<CHistoryStore> store;
    std::unique_ptr<CHistoryWorker> worker;
    std::vector<std::unique_ptr<Instrument>> fleet;
};

// Settings in a temporary folder of their own, under the program's names.
inline void UseHistoryTestSettings(QTemporaryDir &settings)
{
    UseTemporarySettings(settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
}

// Each test starts with no preferences stored.
inline void ClearPreferences()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
              QString::fromLatin1(Pref::Application))
        .clear();
}

// The application on the simulator, without the splash or the single-instance
// check; null when it did not start.
inline std::unique_ptr<CAltavoApp> StartSimulatedApp()
{
    auto app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = false;
    if (!app->Start({QStringLiteral("--simulate")}, options))
        return nullptr;
    return app;
}

inline void Shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("ALTAVO_SCREENSHOTS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name));
}
