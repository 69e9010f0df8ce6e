// Start-up, idle passes and the end of the run.
#include "AltavoApp.h"

#include "CommandLine.h"
#include "MainFrame.h"
#include "SingleInstance.h"
#include "SplashWindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>
#include <QWindow>

CAltavoApp::CAltavoApp(QObject *parent) : QObject(parent)
{
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &CAltavoApp::RunIdle);
}

CAltavoApp::~CAltavoApp()
{
    qApp->removeEventFilter(this);
    delete m_splash;
    delete m_frame;
}

CMainFrame *CAltavoApp::MainFrame() const
{
    return m_frame;
}

CSplashWindow *CAltavoApp::Splash() const
{
    return m_splash;
}

bool CAltavoApp::Start(const QStringList &args, const StartOptions &options)
{
    if (options.singleInstance) {
        m_instance = std::make_unique<CSingleInstance>(options.instanceKey.isEmpty() ? CSingleInstance::DefaultKey()
                                                                                     : options.instanceKey);
        if (m_instance->AnotherIsRunning())
            return false;
        connect(m_instance.get(), &CSingleInstance::ActivateRequested, this, &CAltavoApp::Activate);
    }

    const CCommandLine line = CCommandLine::Parse(args);
    m_newInstrument = line.NewInstrument();
    if (!m_newInstrument && line.AskNewInstrument())
        m_newInstrument = QMessageBox::question(nullptr, QStringLiteral("Altavo View"), QStringLiteral("New instrument ?"),
                                                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!line.Files().isEmpty()) {
        // Nothing the program shows is opened from a file name.
        QMessageBox::warning(nullptr, QStringLiteral("Altavo View"), QStringLiteral("Failed to open document."));
        return false;
    }

    CMainFrame::Options frameOptions;
    frameOptions.simulate = line.Simulate();
    frameOptions.simulatedLogRecords = line.LogRecords();
    frameOptions.newInstrument = m_newInstrument;
    m_frame = new CMainFrame(frameOptions);
    m_frame->setAttribute(Qt::WA_DeleteOnClose, false);

    qApp->installEventFilter(this);
    if (options.splash) {
        m_splash = new CSplashWindow;
        m_splash->ShowCentred(nullptr);
    }

    if (!m_frame->RestorePlacement()) {
        m_frame->ApplyDefaultPlacement();
        m_frame->show();
    }
    m_frame->repaint();
    if (m_splash)
        m_splash->raise();
    m_frame->PostShowInitialise();

    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CAltavoApp::OnAboutToBlock);
    return true;
}

void CAltavoApp::Activate()
{
    if (!m_frame)
        return;
    if (m_frame->isMinimized())
        m_frame->showNormal();
    m_frame->raise();
    m_frame->activateWindow();
    // A question or dialog open over the window is what the user must see.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CAltavoApp::RunIdle()
{
    m_idleTimer.stop();
    m_idleDirty = false;
    m_lastIdle.restart();
    if (!m_frame)
        return;
    m_inIdle = true;
    m_frame->OnIdle();
    m_inIdle = false;
}

void CAltavoApp::OnAboutToBlock()
{
    if (!m_idleDirty || m_inIdle || m_idleTimer.isActive())
        return;
    const qint64 since = m_lastIdle.isValid() ? m_lastIdle.elapsed() : IdleMinimumMs;
    if (since >= IdleMinimumMs)
        RunIdle();
    else
        m_idleTimer.start(int(IdleMinimumMs - since));
}

bool CAltavoApp::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        // Any key or click takes the start-up picture away at once.
        if (m_splash)
            m_splash->close();
        m_idleDirty = true;
        break;
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::LayoutRequest:
        // Drawing is no reason for another idle pass, or the passes would
        // feed themselves through the repaints they cause.
        break;
    case QEvent::Timer:
        if (watched != &m_idleTimer && !m_inIdle)
            m_idleDirty = true;
        break;
    default:
        if (!m_inIdle)
            m_idleDirty = true;
        break;
    }
    return QObject::eventFilter(watched, event);
}
