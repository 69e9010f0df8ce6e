// The application object: the one-instance rule, the start-up order, the
// splash picture, the idle hook and the end of the run.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

class CMainFrame;
class CSingleInstance;
class CSplashWindow;

class CAltavoApp : public QObject
{
    Q_OBJECT
public:
    // Idle passes run at most this often, however busy the event loop is.
    static constexpr int IdleMinimumMs = 20;

    struct StartOptions
    {
        bool singleInstance = true;
        QString instanceKey;  // empty: the per-user default
        bool splash = true;
    };

    explicit CAltavoApp(QObject *parent = nullptr);
    ~CAltavoApp() override;

    // args: the command line without the program name. false: end the
    // program at once (another instance runs, the user declined, a file name
    // was given).
    bool Start(const QStringList &args, const StartOptions &options);
    bool Start(const QStringList &args) { return Start(args, StartOptions()); }

    CMainFrame *MainFrame() const;
    CSplashWindow *Splash() const;
    bool IsNewInstrumentMode() const { return m_newInstrument; }

    // One idle pass now (the event loop calls it whenever it falls idle).
    void RunIdle();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnAboutToBlock();
    void Activate();

    std::unique_ptr<CSingleInstance> m_instance;
    QPointer<CSplashWindow> m_splash;
    QPointer<CMainFrame> m_frame;
    bool m_newInstrument = false;
    QTimer m_idleTimer;
    QElapsedTimer m_lastIdle;
    bool m_idleDirty = true;
    bool m_inIdle = false;
};
