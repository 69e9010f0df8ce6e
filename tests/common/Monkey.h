// A seeded monkey over the program window: it starts the program against its
// in-process simulated instrument (holding a log whose two newest sessions
// overlap, the clock having been set back between them), then makes a fixed
// number of random events - commands from the menus, clicks and keys in every
// window, the log window's buttons and charts, the board test and its prompts
// - while a timer answers every question, message and file dialog at random.
// The instrument's settings (TimeKeeper and ID table) must stay as they were
// until a command that may write them is given: a download, the wizard, the
// programming view or the board test (which writes test patterns).
#pragma once

#include "EventWait.h"
#include "SimLogGenerator.h"
#include "Simulator.h"
#include "app/AltavoApp.h"
#include "app/CommandIds.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "boardtest/BoardTestPrompt.h"
#include "boardtest/InteractiveTest.h"
#include "datalog/Chart2D.h"
#include "datalog/Log.h"
#include "datalog/LogChart.h"
#include "datalog/LogRetrieval.h"
#include "link/RecordTypes.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <qcustomplot.h>

#include <functional>
#include <memory>

/*
 * Chart clicks. A click in a log chart that makes the chart rebuild itself
 * inside its own click handler is a known fault being mended in the chart
 * widgets; until that mend is in, ALTAVO_MONKEY_CHART_CLICKS=0 keeps the
 * monkey's clicks out of the charts (everything else still reaches them).
 */
inline bool MonkeyClicksCharts()
{
    return qEnvironmentVariable("ALTAVO_MONKEY_CHART_CLICKS", QStringLiteral("1")) != QLatin1String("0");
}

class CMonkey : public QObject
{
public:
    struct Plan
    {
        quint32 seed = 1;
        int events = 20000;
        bool trace = false;
        bool chartClicks = true;
        int logRecords = 400;
    };

    static Plan PlanFromEnvironment(int defaultEvents = 20000)
    {
        Plan plan;
        const QString seed = qEnvironmentVariable("ALTAVO_MONKEY_SEED");
        if (seed == QLatin1String("random"))
            plan.seed = QRandomGenerator::global()->generate();
        else if (!seed.isEmpty())
            plan.seed = seed.toUInt();
        plan.events = defaultEvents;
        if (qEnvironmentVariableIsSet("ALTAVO_MONKEY_EVENTS"))
            plan.events = qMax(1, qEnvironmentVariableIntValue("ALTAVO_MONKEY_EVENTS"));
        plan.trace = qEnvironmentVariableIntValue("ALTAVO_MONKEY_TRACE") != 0;
        plan.chartClicks = MonkeyClicksCharts();
        return plan;
    }

    explicit CMonkey(const Plan &plan) : m_plan(plan), m_random(plan.seed), m_answers(plan.seed ^ 0x9E3779B9u)
    {
        connect(&m_answerTimer, &QTimer::timeout, this, &CMonkey::AnswerModal);
        m_answerTimer.start(5);
    }

    ~CMonkey() override { Stop(); }

    // Makes every event; false with Failure() set when the instrument's
    // settings changed behind the user's back or the program could not start.
    // Events come from the event loop, as a user's do, so that windows closed
    // by an event go at the loop's next turn and never inside a dialog that
    // is still open.
    bool Run()
    {
        if (!m_files.isValid())
            return Fail(QStringLiteral("no temporary folder"));
        WriteFilePool();
        if (!StartProgram())
            return false;
        bool ok = true;
        QEventLoop loop;
        QTimer step;
        step.setSingleShot(true);
        connect(&step, &QTimer::timeout, this, [&] {
            if (m_event >= m_plan.events) {
                loop.quit();
                return;
            }
            // A dialog that opened from the event loop (a question after the
            // log fetch, a message) holds the user's input until answered.
            if (QApplication::activeModalWidget()) {
                step.start(2);
                return;
            }
            if (m_sentToInstrument && Quiet()) {
                // What was sent is through: the check starts again from here.
                m_before = Snapshot(m_app->MainFrame()->Simulator()->Instrument());
                m_sentToInstrument = false;
                Note(QStringLiteral("(settings taken again)"));
                Count(QStringLiteral("settings checks"));
            }
            QElapsedTimer took;
            took.start();
            OneEvent();
            if (m_stop) {
                ok = false;
                loop.quit();
                return;
            }
            if (took.elapsed() > 500) {
                Note(QStringLiteral("(that took %1 ms)").arg(took.elapsed()));
                Count(QStringLiteral("events over 0.5 s"));
            }
            if (m_event % 8 == 0)
                m_app->RunIdle();
            if (!m_app->MainFrame() || !m_app->MainFrame()->isVisible()) {
                // The board test's "quit" ends the program: check, start again.
                Note(QStringLiteral("the program window closed"));
                ok = CheckInstrument();
                Stop();
                ++m_restarts;
                if (!ok || !StartProgram()) {
                    ok = false;
                    loop.quit();
                    return;
                }
            }
            ++m_event;
            if (m_event % 2000 == 0)
                qInfo().noquote() << QStringLiteral("monkey: %1 events, %2").arg(m_event).arg(Summary());
            // Now and then the program gets real time (uploads, the log
            // fetch, the status poll run on their own meanwhile).
            int pause = 0;
            if (Chance(3)) {
                pause = 20 + Pick(200);
                Note(QStringLiteral("wait %1 ms").arg(pause));
                Count(QStringLiteral("waits"));
            }
            step.start(pause);
        });
        step.start(0);
        loop.exec();
        ok = ok && CheckInstrument();
        Stop();
        return ok;
    }

    QString Failure() const { return m_failure; }
    QString Summary() const
    {
        QStringList kinds;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            kinds << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        return QStringLiteral("%1 windows seen [%2]; %3 dialogs answered; %4 restarts; %5")
            .arg(m_windowsSeen.size())
            .arg(QStringList(m_windowsSeen.values()).join(QStringLiteral(", ")))
            .arg(m_dialogsAnswered)
            .arg(m_restarts)
            .arg(kinds.join(QStringLiteral(", ")));
    }

private:
    // ------------------------------------------------------------ program

    bool StartProgram()
    {
        m_app = std::make_unique<CAltavoApp>();
        CAltavoApp::StartOptions options;
        options.singleInstance = false;
        options.splash = false;
        if (!m_app->Start({QStringLiteral("--simulate")}, options) || !m_app->MainFrame())
            return Fail(QStringLiteral("the program did not start"));
        CMainFrame *frame = m_app->MainFrame();
        CSimulator *sim = frame->Simulator();
        if (!sim)
            return Fail(QStringLiteral("no simulated instrument"));

        // A log whose newest session starts an hour before the one before it
        // ended: the instrument's clock was set back between them.
        CSimInstrument &instrument = sim->Instrument();
        CSimLogGenerator::Settings settings = CSimLogGenerator::SettingsOf(instrument);
        settings.newestOverlapSeconds = 3600;
        // Small, so that a fetch is through between the monkey's other doings
        // and the charts are often there to be clicked.
        const QDateTime now = instrument.Clock();
        quint32 logSeed = m_plan.seed + quint32(m_restarts) * 1000u;
        for (int tries = 0; CSimLogGenerator::Build(logSeed, m_plan.logRecords, now, settings).sessions.size() < 3; ++tries) {
            if (tries == 50)
                return Fail(QStringLiteral("no generated log of %1 records has three sessions").arg(m_plan.logRecords));
            ++logSeed;
        }
        instrument.Log().Generate(logSeed, m_plan.logRecords, now, settings);

        m_before = Snapshot(instrument);
        m_sentToInstrument = false;
        m_writes.clear();
        connect(sim, &CSimulator::RequestServed, this, [this](const QByteArray &request, const QByteArray &) {
            // ":" count(2) address(4) type(2): note what wrote settings.
            if (request.size() >= 9 && request[0] == ':') {
                bool ok = false;
                const int type = request.mid(7, 2).toInt(&ok, 16);
                if (ok && (type == RecordType::WriteTimeKeeper || type == RecordType::WriteIdEntry))
                    m_writes.insert(type == RecordType::WriteTimeKeeper ? QStringLiteral("WriteTimeKeeper")
                                                                          : QStringLiteral("WriteIdEntry"));
            }
        });
        for (int id : {int(CommandId::Download), int(CommandId::ConfigurationWizard), int(CommandId::Programming)}) {
            if (QAction *a = frame->Action(id))
                connect(a, &QAction::triggered, this, [this, id] { SentToInstrument(id); });
        }
        return true;
    }

    void Stop()
    {
        if (!m_app)
            return;
        if (CMainFrame *frame = m_app->MainFrame())
            frame->close();
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget *w : QApplication::topLevelWidgets()) {
            // Windows of the run that outlived it (an About window, a prompt).
            if (w->isVisible())
                w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    struct Settings
    {
        QByteArray timeKeeper; // without the running clock
        QList<QByteArray> ids;
        bool operator==(const Settings &) const = default;
    };

    static Settings Snapshot(const CSimInstrument &instrument)
    {
        Settings s;
        s.timeKeeper = instrument.TimeKeeper().mid(SimMap::ClockBytes);
        for (int i = 1; i <= SimMap::IdEntryCount; ++i)
            s.ids.append(instrument.IdEntry(i));
        return s;
    }

    // Nothing is on its way to the instrument and no window that writes to
    // it is open.
    bool Quiet() const
    {
        CMainFrame *frame = m_app->MainFrame();
        static const QStringList Writers{QString::fromLatin1(CInteractiveTest::Title), QStringLiteral("Configuration Wizard"),
                                         QStringLiteral("Programming")};
        // Closed windows too, until they are gone.
        for (const CInstrumentView *view : frame->findChildren<CInstrumentView *>()) {
            if (Writers.contains(view->Title()))
                return false;
        }
        CInstrumentDoc &doc = frame->Document();
        return frame->Simulator() && !doc.AnyProgressOpen() && doc.Link().IsIdle() &&
               frame->DownloadCheckState() == CMainFrame::DownloadCheck::None;
    }

    // From here on the instrument's settings may change: what changed before
    // is checked now.
    void SentToInstrument(int commandId)
    {
        if (!m_sentToInstrument && !CheckInstrument())
            m_stop = true;
        m_sentToInstrument = true;
        Note(QStringLiteral("(command %1 may write to the instrument)").arg(commandId));
    }

    bool CheckInstrument()
    {
        CMainFrame *frame = m_app ? m_app->MainFrame() : nullptr;
        CSimulator *sim = frame ? frame->Simulator() : nullptr;
        if (!sim)
            return true;
        const Settings after = Snapshot(sim->Instrument());
        if (m_sentToInstrument || after == m_before)
            return true;
        QStringList changed;
        for (int i = 0; i < after.timeKeeper.size(); ++i) {
            if (i >= m_before.timeKeeper.size() || after.timeKeeper[i] != m_before.timeKeeper[i])
                changed << QStringLiteral("TimeKeeper byte %1").arg(i + SimMap::ClockBytes);
        }
        for (int i = 0; i < after.ids.size(); ++i) {
            if (after.ids[i] != m_before.ids.value(i))
                changed << QStringLiteral("ID %1 \"%2\"").arg(i + 1).arg(QString::fromLatin1(after.ids[i]));
        }
        return Fail(QStringLiteral("the instrument's settings changed with no download, wizard or board test: %1 (requests %2)")
                        .arg(changed.join(QStringLiteral(", ")), QStringList(m_writes.values()).join(QStringLiteral(", "))));
    }

    bool Fail(const QString &why)
    {
        m_failure = QStringLiteral("seed %1, event %2: %3\nlast events:\n  %4")
                        .arg(m_plan.seed)
                        .arg(m_event)
                        .arg(why, m_recent.join(QStringLiteral("\n  ")));
        return false;
    }

    // ------------------------------------------------------------ events

    void Note(const QString &what)
    {
        const QString line = QStringLiteral("%1: %2").arg(m_event).arg(what);
        if (m_plan.trace)
            qInfo().noquote() << "monkey" << line;
        m_recent.append(line);
        if (m_recent.size() > 40)
            m_recent.removeFirst();
    }

    void Count(const QString &kind) { ++m_counts[kind]; }

    int Pick(int n) { return n <= 0 ? 0 : int(m_random.bounded(quint32(n))); }
    bool Chance(int percent) { return Pick(100) < percent; }

    void OneEvent()
    {
        CMainFrame *frame = m_app->MainFrame();
        if (QWidget *popup = QApplication::activePopupWidget()) {
            AnswerPopup(popup, m_random);
            return;
        }
        const int r = Pick(100);
        if (r < 18)
            Command(frame);
        else if (r < 26)
            LogWindow(frame);
        else if (r < 29)
            BoardTest(frame);
        else if (r < 80)
            Click(frame);
        else
            Keys(frame);
        for (CInstrumentFrame *child : frame->ChildFrames())
            m_windowsSeen.insert(child->Caption());
    }

    // A command from the menus, as the user gives it.
    void Command(CMainFrame *frame)
    {
        QList<QAction *> actions;
        std::function<void(QMenu *)> collect = [&](QMenu *menu) {
            for (QAction *a : menu->actions()) {
                if (a->menu())
                    collect(a->menu());
                else if (!a->isSeparator() && a->isVisible() && a->isEnabled() && Allowed(a))
                    actions.append(a);
            }
        };
        for (QAction *top : frame->menuBar()->actions()) {
            if (top->menu())
                collect(top->menu());
        }
        if (actions.isEmpty())
            return;
        QAction *a = actions[Pick(int(actions.size()))];
        Note(QStringLiteral("command \"%1\"").arg(a->text()));
        Count(QStringLiteral("commands"));
        a->trigger();
    }

    // Commands left out: the ones that leave the simulated instrument (ports,
    // the network path), open the web browser, move the history elsewhere or
    // end the program.
    static bool Allowed(const QAction *a)
    {
        bool isCommand = false;
        const int id = a->data().toInt(&isCommand);
        if (isCommand && ((id >= CommandId::Com1 && id <= CommandId::Com1 + 3) || id == CommandId::Network ||
                          id == CommandId::WebPage || id == CommandId::HistoryDatabase))
            return false;
        const QString text = QString(a->text()).remove(QLatin1Char('&'));
        return !text.startsWith(QLatin1String("Exit")) && !text.startsWith(QLatin1String("Quit"));
    }

    static CLog *LogView(CMainFrame *frame)
    {
        CInstrumentFrame *child = frame->FindChild(QStringLiteral("Log View"));
        return child ? qobject_cast<CLog *>(child->View()) : nullptr;
    }

    // The log window's own controls, weighted so that every one is reached.
    void LogWindow(CMainFrame *frame)
    {
        CLog *log = LogView(frame);
        if (!log) {
            Note(QStringLiteral("open the log window"));
            Count(QStringLiteral("log"));
            frame->OnCommand(CommandId::ViewLog);
            return;
        }
        // A log must be there before its charts are: fetch it often.
        if (!log->Log().Busy() && log->Log().Sessions().isEmpty() && Chance(50)) {
            if (QPushButton *start = log->Button(QStringLiteral("Start")); start && start->isEnabled()) {
                Note(QStringLiteral("log button \"Start\""));
                Count(QStringLiteral("log"));
                MouseClick(start, start->rect().center(), false);
                return;
            }
        }
        if (m_plan.chartClicks && Chance(50)) {
            const QList<CChart2D *> charts = log->Chart()->VisibleCharts();
            if (!charts.isEmpty()) {
                CChart2D *chart = charts[Pick(int(charts.size()))];
                const QRect area = chart->Plot()->axisRect()->rect();
                if (area.width() > 2 && area.height() > 2) {
                    const QPoint at(area.left() + Pick(area.width()), area.top() + Pick(area.height()));
                    Note(QStringLiteral("click chart \"%1\" at %2,%3").arg(chart->Header()).arg(at.x()).arg(at.y()));
                    Count(QStringLiteral("chart clicks"));
                    MouseClick(chart->Plot(), at, false);
                    return;
                }
            }
        }
        static const char *const Buttons[] = {"Start", "Load", "Save", "Print Data", "Sessions", "<<", ">>", "ALL", "Color", "Print Chart"};
        QPushButton *button = nullptr;
        if (Chance(30))
            button = log->GroupButton(Pick(5));
        else
            button = log->Button(QString::fromLatin1(Buttons[Pick(int(std::size(Buttons)))]));
        if (!button || !button->isVisible() || !button->isEnabled())
            return;
        Note(QStringLiteral("log button \"%1\"").arg(button->text()));
        Count(QStringLiteral("log"));
        MouseClick(button, button->rect().center(), false);
    }

    // The board test: started as the test box starts it, its prompt window
    // answered, the board's power switched.
    void BoardTest(CMainFrame *frame)
    {
        CInstrumentFrame *child = frame->FindChild(QString::fromLatin1(CInteractiveTest::Title));
        auto *test = child ? qobject_cast<CInteractiveTest *>(child->View()) : nullptr;
        if (!test) {
            if (Chance(25)) {
                Note(QStringLiteral("start the board test"));
                Count(QStringLiteral("board test"));
                SentToInstrument(CommandId::RestartBoardTest);
                frame->OnCommand(CommandId::RestartBoardTest);
            }
            return;
        }
        Count(QStringLiteral("board test"));
        CBoardTestPrompt *prompt = test->PromptWindow();
        if (prompt->isVisible() && Chance(50)) {
            Note(QStringLiteral("board test prompt \"%1\": Cancel").arg(prompt->windowTitle()));
            MouseClick(prompt->CancelButton(), prompt->CancelButton()->rect().center(), false);
        } else {
            Note(QStringLiteral("board power switched"));
            frame->Simulator()->PowerCycle();
        }
    }

    // The windows a click or a key may go to: the active child window most
    // often, then the main window with its bars, then any other window shown.
    QWidget *TargetWindow(CMainFrame *frame)
    {
        QList<QWidget *> others;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w != frame && w->isVisible() && !qobject_cast<QMenu *>(w))
                others.append(w);
        }
        const int r = Pick(100);
        if (r < 15 && !others.isEmpty())
            return others[Pick(int(others.size()))];
        QMdiSubWindow *active = frame->MdiArea()->activeSubWindow();
        const QList<QMdiSubWindow *> children = frame->MdiArea()->subWindowList();
        if (r < 80 && active)
            return active;
        if (r < 88 && !children.isEmpty())
            return children[Pick(int(children.size()))];
        return frame;
    }

    bool IsChart(QWidget *w) const
    {
        for (QWidget *p = w; p; p = p->parentWidget()) {
            if (qobject_cast<CChart2D *>(p))
                return true;
        }
        return false;
    }

    QList<QWidget *> Targets(QWidget *window) const
    {
        QList<QWidget *> targets;
        if (qobject_cast<QMdiSubWindow *>(window))
            targets.append(window); // its title bar and frame buttons
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisible() || !w->isEnabled() || w->width() < 2 || w->height() < 2)
                continue;
            if (qobject_cast<QMenuBar *>(w) || qobject_cast<QMenu *>(w))
                continue;
            if (!m_plan.chartClicks && IsChart(w))
                continue;
            const bool viewport = w->parentWidget() && qobject_cast<QAbstractScrollArea *>(w->parentWidget()) &&
                                  static_cast<QAbstractScrollArea *>(w->parentWidget())->viewport() == w;
            if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w) ||
                qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QTabBar *>(w) || qobject_cast<QAbstractSlider *>(w) ||
                qobject_cast<QCustomPlot *>(w) || qobject_cast<QHeaderView *>(w) || viewport)
                targets.append(w);
        }
        return targets;
    }

    void Click(CMainFrame *frame)
    {
        QWidget *window = TargetWindow(frame);
        const QList<QWidget *> targets = Targets(window);
        if (targets.isEmpty())
            return;
        QWidget *w = targets[Pick(int(targets.size()))];
        const QPoint at(Pick(w->width()), Pick(w->height()));
        const bool twice = Chance(12);
        Note(QStringLiteral("%1 %2 \"%3\" at %4,%5 in \"%6\"")
                 .arg(twice ? QStringLiteral("double-click") : QStringLiteral("click"), QString::fromLatin1(w->metaObject()->className()),
                      w->objectName().isEmpty() ? Label(w) : w->objectName())
                 .arg(at.x())
                 .arg(at.y())
                 .arg(window->windowTitle()));
        Count(QStringLiteral("clicks"));
        if (qobject_cast<QCustomPlot *>(w) || IsChart(w))
            Count(QStringLiteral("chart clicks"));
        MouseClick(w, at, twice);
    }

    static QString Label(QWidget *w)
    {
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            return b->text();
        if (auto *c = qobject_cast<QComboBox *>(w))
            return c->currentText();
        return {};
    }

    void Keys(CMainFrame *frame)
    {
        QWidget *target = QApplication::focusWidget();
        if (!target || Chance(40)) {
            const QList<QWidget *> targets = Targets(TargetWindow(frame));
            if (targets.isEmpty())
                return;
            target = targets[Pick(int(targets.size()))];
            target->setFocus(Qt::OtherFocusReason);
        }
        if (!m_plan.chartClicks && IsChart(target))
            return;
        Count(QStringLiteral("keys"));
        QPointer<QWidget> w(target);
        if (Chance(25)) {
            static const char Characters[] = "0123456789ABCDEFXYZabcxyz -.,:/#%";
            QString text;
            for (int i = 1 + Pick(10); i > 0; --i)
                text += QLatin1Char(Characters[Pick(int(sizeof Characters) - 1)]);
            Note(QStringLiteral("type \"%1\" into %2").arg(text, QString::fromLatin1(target->metaObject()->className())));
            for (QChar c : text) {
                if (!w)
                    return;
                QTest::keyClick(w, c.toLatin1());
            }
            return;
        }
        static const Qt::Key KeyList[] = {Qt::Key_Tab,      Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape,
                                          Qt::Key_Space,    Qt::Key_Up,      Qt::Key_Down,   Qt::Key_Left,  Qt::Key_Right,
                                          Qt::Key_PageUp,   Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End,   Qt::Key_Delete,
                                          Qt::Key_Backspace, Qt::Key_Plus,   Qt::Key_Minus,  Qt::Key_F4,    Qt::Key_A,
                                          Qt::Key_C,        Qt::Key_V,       Qt::Key_Z,      Qt::Key_0,     Qt::Key_9};
        const Qt::Key key = KeyList[Pick(int(std::size(KeyList)))];
        const int m = Pick(10);
        const Qt::KeyboardModifiers mods = m == 0 ? Qt::ControlModifier : m == 1 ? Qt::ShiftModifier : m == 2 ? Qt::AltModifier : Qt::NoModifier;
        Note(QStringLiteral("key %1 (modifiers %2) to %3").arg(QKeySequence(key).toString()).arg(int(mods)).arg(QString::fromLatin1(target->metaObject()->className())));
        QTest::keyPress(w, key, mods);
        if (w)
            QTest::keyRelease(w, key, mods);
    }

    // Press and release as two events: the press may close the window the
    // widget lives in.
    static void MouseClick(QWidget *target, const QPoint &at, bool twice)
    {
        QPointer<QWidget> w(target);
        QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
        if (w)
            QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
        if (twice && w)
            QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, at);
    }

    // ------------------------------------------------------------ answers

    // A popup menu or list: an item chosen or the popup closed.
    void AnswerPopup(QWidget *popup, QRandomGenerator &random)
    {
        Count(QStringLiteral("popups"));
        QPointer<QWidget> p(popup);
        if (auto *menu = qobject_cast<QMenu *>(popup)) {
            QList<QAction *> actions;
            for (QAction *a : menu->actions()) {
                if (!a->isSeparator() && a->isEnabled() && !a->menu())
                    actions.append(a);
            }
            if (!actions.isEmpty() && random.bounded(2) == 0) {
                QPointer<QAction> a = actions[int(random.bounded(quint32(actions.size())))];
                Note(QStringLiteral("popup menu item \"%1\"").arg(a->text()));
                QTimer::singleShot(0, menu, [a, p] {
                    if (a && p)
                        a->activate(QAction::Trigger);
                    if (p)
                        p->close();
                });
                return;
            }
        }
        static const Qt::Key Keys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Return, Qt::Key_Escape};
        const Qt::Key key = Keys[random.bounded(4)];
        Note(QStringLiteral("popup %1: key %2").arg(QString::fromLatin1(popup->metaObject()->className()), QKeySequence(key).toString()));
        QTimer::singleShot(0, popup, [p, key] {
            if (p) {
                QTest::keyClick(p, key);
                if (p && p->isVisible() && key != Qt::Key_Down && key != Qt::Key_Up)
                    p->close();
            }
        });
    }

    // Every modal window gets an answer from the event loop it runs in, a
    // little after it opened: a random button, a file in the test's own
    // folder, or a plain rejection. Acting from a queued call keeps this
    // timer free for a window the answer itself opens.
    void AnswerModal()
    {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            if (QApplication::activeModalWidget() || m_answers.bounded(4) == 0)
                AnswerPopup(popup, m_answers);
            return;
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == m_answering)
            return;
        m_answering = modal;
        ++m_dialogsAnswered;
        Count(QStringLiteral("dialogs"));
        m_windowsSeen.insert(modal->windowTitle().isEmpty() ? QString::fromLatin1(modal->metaObject()->className()) : modal->windowTitle());
        QPointer<QWidget> w(modal);
        const auto later = [this, w](std::function<void()> act) {
            QTimer::singleShot(0, this, [this, w, act] {
                if (w)
                    act();
                m_answering = nullptr;
            });
        };
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            const QString path = m_answers.bounded(3) == 0 ? QString() : FileFor(files);
            Note(QStringLiteral("file dialog \"%1\": %2").arg(modal->windowTitle(), path.isEmpty() ? QStringLiteral("cancelled") : path));
            later([files, path] {
                if (path.isEmpty()) {
                    files->reject();
                    return;
                }
                files->selectFile(path);
                static_cast<QDialog *>(files)->accept();
                // A refused name leaves the dialog open: give up on it.
                if (files->isVisible())
                    files->reject();
            });
            return;
        }
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            const QList<QAbstractButton *> buttons = box->buttons();
            if (!buttons.isEmpty()) {
                QPointer<QAbstractButton> b = buttons[int(m_answers.bounded(quint32(buttons.size())))];
                Note(QStringLiteral("message \"%1\": %2").arg(box->text().left(60), b->text().isEmpty() ? b->toolTip() : b->text()));
                later([b] {
                    if (b)
                        b->click();
                });
                return;
            }
        }
        if (auto *colours = qobject_cast<QColorDialog *>(modal)) {
            const QColor colour = QColor::fromRgb(m_answers.generate() & 0xFFFFFF);
            const bool accept = m_answers.bounded(2) == 0;
            Note(QStringLiteral("colour dialog: %1").arg(accept ? colour.name() : QStringLiteral("cancelled")));
            later([colours, colour, accept] {
                if (!accept) {
                    colours->reject();
                    return;
                }
                colours->setCurrentColor(colour);
                colours->accept();
            });
            return;
        }
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (dialog && !qobject_cast<QPrintDialog *>(modal) && !qobject_cast<QPrintPreviewDialog *>(modal) &&
            m_answers.bounded(3) != 0) {
            QList<QAbstractButton *> buttons;
            for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>()) {
                if (b->isVisible() && b->isEnabled())
                    buttons.append(b);
            }
            if (!buttons.isEmpty()) {
                QPointer<QAbstractButton> b = buttons[int(m_answers.bounded(quint32(buttons.size())))];
                Note(QStringLiteral("dialog \"%1\": button \"%2\"").arg(modal->windowTitle(), b->text()));
                // The button may leave the dialog open (a choice, a browse):
                // the next answer comes on a later tick.
                QTimer::singleShot(0, this, [this, b] {
                    if (b)
                        b->click();
                    m_answering = nullptr;
                });
                return;
            }
        }
        Note(QStringLiteral("%1 \"%2\": rejected").arg(QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle()));
        later([w, dialog] {
            if (dialog)
                dialog->reject();
            else
                w->close();
        });
    }

    // Files the dialogs may be given: good ones the program wrote, damaged
    // ones, empty ones and names in folders that are not there.
    void WriteFilePool()
    {
        const QDir dir(m_files.path());
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::WriteOnly))
                f.write(bytes);
        };
        write(QStringLiteral("empty.csv"), {});
        write(QStringLiteral("empty.kvo"), {});
        write(QStringLiteral("empty.hex"), {});
        QByteArray junk;
        QRandomGenerator random(m_plan.seed);
        for (int i = 0; i < 4096; ++i)
            junk.append(char(random.bounded(256)));
        write(QStringLiteral("junk.csv"), junk);
        write(QStringLiteral("junk.kvo"), junk);
        write(QStringLiteral("junk.hex"), junk);
        write(QStringLiteral("short.hex"), ":020000040000FA\n:10000000");
        write(QStringLiteral("half.csv"), "Date,Time,Event\n06/15/2004,08:00:00,Powered on\n06/15/2004,08:0");
        write(QStringLiteral("sections.kvo"), "[Sensors]\nHC=1\n[Advanced Features]\nHighAlarm2=9999999\n[Binary]\nTimeKeeper=zz\n");
        const QString data = qEnvironmentVariable("ALTAVO_TEST_DATA");
        for (const QString &sub : {QStringLiteral("log"), QStringLiteral("options"), QStringLiteral("hex")}) {
            const QDir from(data + QLatin1Char('/') + sub);
            for (const QFileInfo &f : from.entryInfoList(QDir::Files))
                QFile::copy(f.filePath(), dir.filePath(f.fileName()));
        }
    }

    QString FileFor(QFileDialog *dialog)
    {
        const QDir dir(m_files.path());
        if (dialog->fileMode() == QFileDialog::Directory)
            return dir.path();
        QString suffix = dialog->defaultSuffix();
        if (suffix.isEmpty()) {
            static const char *const Suffixes[] = {"csv", "kvo", "hex", "txt", "log"};
            suffix = QString::fromLatin1(Suffixes[m_answers.bounded(5)]);
        }
        const QStringList existing = dir.entryList(QDir::Files);
        const int r = int(m_answers.bounded(10));
        if (dialog->acceptMode() == QFileDialog::AcceptOpen || r < 3) {
            if (r == 9 || existing.isEmpty())
                return dir.filePath(QStringLiteral("missing/none.%1").arg(suffix));
            return dir.filePath(existing[int(m_answers.bounded(quint32(existing.size())))]);
        }
        if (r == 3)
            return dir.filePath(QStringLiteral("no-such-folder/out.%1").arg(suffix));
        return dir.filePath(QStringLiteral("saved-%1.%2").arg(m_answers.bounded(20)).arg(suffix));
    }

    Plan m_plan;
    QRandomGenerator m_random;  // the events
    QRandomGenerator m_answers; // the answers to dialogs
    QTimer m_answerTimer;
    QPointer<QWidget> m_answering;
    QTemporaryDir m_files;
    std::unique_ptr<CAltavoApp> m_app;

    Settings m_before;
    bool m_sentToInstrument = false;
    bool m_stop = false;
    QSet<QString> m_writes;

    int m_event = 0;
    int m_restarts = 0;
    int m_dialogsAnswered = 0;
    QStringList m_recent;
    QMap<QString, int> m_counts;
    QSet<QString> m_windowsSeen;
    QString m_failure;
};
