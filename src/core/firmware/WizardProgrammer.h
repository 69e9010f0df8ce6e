// The configuration wizard's programming step without its window: program the
// firmware, then write a fresh configuration, default settings and the clock.
#pragma once

#include "firmware/ConfigurationBuilder.h"
#include "firmware/ProgrammingEngine.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CInstrumentDoc;
class CSettingsImage;

class CWizardProgrammer : public QObject
{
    Q_OBJECT
public:
    enum State {
        Ready = 0,                    // "Press Next to start programming"
        DownloadingCode = 1,
        DownloadingConfiguration = 2,
        Finished = 3,                 // "Done"
        Error = 4,                    // "Error, please press back"
    };
    Q_ENUM(State)

    // What the earlier pages answered; 0 and an empty text where a page gave nothing.
    struct Choices
    {
        int model = 0;       // list position of the model, 1 first
        QString modelText;
        int units = 0;       // units button 1 to 4
        QString unitsText;
        int gas = 0;         // special-gas list position
        QString gasText;
        QString hexFile;
    };

    explicit CWizardProgrammer(CInstrumentDoc &doc, QObject *parent = nullptr);

    static QString StateText(State state);

    // Entering the programming page: Error without a file, else Ready.
    void Enter(const Choices &choices);
    // Next on the programming page in any state but Finished: a new run on the
    // chosen file. False when the file is refused (ErrorString() names the
    // line); the state is then Error and nothing was sent.
    bool Program();

    State GetState() const { return m_state; }
    const Choices &GetChoices() const { return m_choices; }
    QString ErrorString() const { return m_engine.ErrorString(); }
    CProgrammingEngine &Engine() { return m_engine; }

    // The configuration text the choices give.
    static QString ConfigurationText(const Choices &choices);
    // Applies the wizard's default settings by their option names; returns
    // the names it does not know (none for the builder's list).
    static QStringList ApplyDefaults(CSettingsImage &settings, const QList<SettingDefault> &defaults);

signals:
    void StateChanged(CWizardProgrammer::State state);

private:
    void SetState(State state);
    void PrepareConfiguration();
    void QueueConfiguration();
    void OnEngineState(CProgrammingEngine::State state);

    CInstrumentDoc &m_doc;
    CProgrammingEngine m_engine;
    Choices m_choices;
    State m_state = Ready;
};
