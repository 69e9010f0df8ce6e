// The command-line program's flash commands: "program" and "wizard".
#include "CliFirmware.h"

#include "CliSession.h"
#include "document/InstrumentIdentity.h"
#include "document/TransferProgress.h"
#include "firmware/HexFile.h"
#include "firmware/ProgrammingEngine.h"
#include "firmware/WizardProgrammer.h"
#include "firmware/WizardTables.h"
#include "history/HistoryRecorder.h"
#include "platform/Preferences.h"
#include "platform/UserPrompt.h"

#include <cstdio>

namespace {

void Error(const QString &text)
{
    std::fprintf(stderr, "altavo-cli: %s\n", qPrintable(text));
}

// Nobody is there to answer: a boot-area mismatch is reported and stops
// the run, as Cancel does in the windows.
class CCliPrompt final : public IUserPrompt
{
public:
    explicit CCliPrompt(CCliSession &session) : m_session(session) {}
    void Message(const QString &, const QString &text, Icon) override
    {
        m_session.EndProgressLine();
        Error(text);
    }
    bool AskYesNo(const QString &, const QString &) override { return false; }
    bool AskOkCancel(const QString &, const QString &text) override
    {
        m_session.EndProgressLine();
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::fflush(stderr);
        return false;
    }

private:
    CCliSession &m_session;
};

// The engine's bar as the CLI's progress line.
void FollowEngine(CCliSession &session, CProgrammingEngine &engine, CTransferProgress &progress)
{
    session.FollowProgress(progress);
    QObject::connect(&engine, &CProgrammingEngine::ProgressChanged, &progress, [&progress](int position, int maximum) {
        if (progress.StepCount() != maximum) {
            progress.Show(QStringLiteral("Programming"), maximum);
        }
        for (int i = 0; i < position; ++i)
            progress.MarkStep(i);
    });
}

using State = CProgrammingEngine::State;

bool Settled(const CProgrammingEngine &engine)
{
    const State s = engine.GetState();
    return s != State::Running && s != State::Finishing;
}

// After the run: status and a line about what the instrument now holds.
int Outcome(CCliSession &session, CProgrammingEngine &engine, CTransferProgress &progress, bool answered)
{
    progress.Close();
    session.EndProgressLine();
    if (!answered)
        return CliExit::NoAnswer;
    switch (engine.GetState()) {
    case State::Done:
        return CliExit::Ok;
    case State::Cancelled:
        Error(QStringLiteral("the instrument's boot area differs from the file; programming was stopped."));
        return CliExit::Failed;
    default:
        Error(engine.ErrorString().isEmpty() ? QStringLiteral("programming failed.") : engine.ErrorString());
        return CliExit::Failed;
    }
}

// The serial number the instrument had when the run read its identity
// words, before the configuration sector was erased: a run that fails later
// is recorded under it.
class CSerialBefore
{
public:
    explicit CSerialBefore(CInstrumentDoc &doc)
    {
        m_connection = QObject::connect(&doc, &CInstrumentDoc::Updated, [this, &doc](int code, const CReplyNotice &notice) {
            if (m_serial == 0 && code == UpdateCode::WordBlock && notice.address == CInstrumentIdentity::IdentityWord) {
                const quint32 serial = doc.Identity().SerialNumber();
                m_serial = serial == 0xFFFFFFFF ? 0 : serial;
            }
        });
    }
    ~CSerialBefore() { QObject::disconnect(m_connection); }
    quint32 Serial() const { return m_serial; }

private:
    QMetaObject::Connection m_connection;
    quint32 m_serial = 0;
};

// The run goes into the history once it has ended, whatever the outcome.
void Record(CCliSession &session, CProgrammingEngine &engine, const QString &hexFile, int status, quint32 serialBefore)
{
    CHistoryRecorder *recorder = session.Recorder();
    if (!recorder)
        return;
    QString result;
    switch (status) {
    case CliExit::Ok: result = QStringLiteral("Done"); break;
    case CliExit::NoAnswer: result = QStringLiteral("Failed: the instrument did not answer"); break;
    default:
        result = engine.GetState() == State::Cancelled ? QStringLiteral("Cancelled: the boot area differs from the file")
                 : engine.ErrorString().isEmpty()     ? QStringLiteral("Failed")
                                                      : QStringLiteral("Failed: %1").arg(engine.ErrorString());
        break;
    }
    recorder->FirmwareRunDone(hexFile, status == CliExit::Ok, result, status == CliExit::Ok ? engine.SerialNumber() : serialBefore);
}

QString SerialText(quint32 serial)
{
    return QStringLiteral("%1 (%2)").arg(serial).arg(serial, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

int CCliFirmware::Program(CCliSession &session, const QString &hexFile)
{
    CHexFile file;
    if (!file.Load(hexFile)) {
        Error(file.ErrorString() + QStringLiteral("; nothing was sent to the instrument."));
        return CliExit::FileError;
    }
    CInstrumentDoc &doc = session.Doc();
    CCliPrompt prompt(session);
    CProgrammingEngine engine(doc, QString::fromLatin1(Pref::Programming));
    engine.SetPrompt(&prompt);
    CTransferProgress progress;
    FollowEngine(session, engine, progress);
    const CSerialBefore before(doc);
    engine.Start(file);
    const bool answered = session.WaitFor([&] { return Settled(engine); }) && session.WaitIdle();
    const int status = Outcome(session, engine, progress, answered);
    Record(session, engine, hexFile, status, before.Serial());
    if (status == CliExit::Ok)
        std::printf("Programmed %s: serial number %s\n", qPrintable(hexFile), qPrintable(SerialText(engine.SerialNumber())));
    std::fflush(stdout);
    return status;
}

bool CCliFirmware::ResolveChoices(const WizardOptions &options, int *model, QString *modelText, int *units,
                                  QString *unitsText, int *gas, QString *gasText, QString *error)
{
    const QStringList models = CWizardTables::Models();
    int position = 0;
    for (int i = 0; i < models.size(); ++i) {
        if (CWizardTables::ModelNumber(models[i]) == options.model)
            position = i + 1;
    }
    if (!position && options.model >= 1 && options.model <= models.size())
        position = options.model;
    if (!position) {
        *error = QStringLiteral("--model takes one of: %1.").arg(models.join(QStringLiteral(", ")));
        return false;
    }
    *model = position;
    *modelText = models[position - 1];
    const int number = CWizardTables::ModelNumber(*modelText);

    const CWizardTables::UnitsLayout layout = CWizardTables::Units(number);
    QStringList unitTexts = layout.texts;
    if (layout.keepTexts) {
        unitTexts.clear();
        for (int n = 1; n <= 4; ++n)
            unitTexts.append(CWizardTables::UnitsButtonText(n));
    }
    *units = 0;
    unitsText->clear();
    if (!layout.applies || unitTexts.isEmpty()) {
        if (options.units) {
            *error = QStringLiteral("model %1 has no units choice; leave out --units.").arg(number);
            return false;
        }
    } else {
        const int chosen = options.units ? options.units : 1; // the page presets the first
        if (chosen < 1 || chosen > unitTexts.size()) {
            *error = QStringLiteral("--units for model %1 takes 1 to %2: %3.")
                         .arg(number)
                         .arg(unitTexts.size())
                         .arg(unitTexts.join(QStringLiteral(", ")));
            return false;
        }
        *units = chosen;
        *unitsText = unitTexts[chosen - 1];
    }

    const CWizardTables::GasList list = CWizardTables::SpecialGasCase(number, *units);
    *gas = 0;
    gasText->clear();
    if (list == CWizardTables::GasList::None) {
        if (options.gas) {
            *error = QStringLiteral("model %1 with these units asks for no special gas; leave out --gas.").arg(number);
            return false;
        }
        return true;
    }
    const QStringList gases = CWizardTables::SpecialGases(list);
    const int chosen = options.gas ? options.gas : CWizardTables::SpecialGasPreset(list);
    if (chosen < 1 || chosen > gases.size()) {
        *error = QStringLiteral("--gas takes 1 to %1: %2.").arg(gases.size()).arg(gases.join(QStringLiteral(", ")));
        return false;
    }
    *gas = chosen;
    *gasText = gases[chosen - 1];
    return true;
}

int CCliFirmware::Wizard(CCliSession &session, const WizardOptions &options, const QString &hexFile)
{
    CWizardProgrammer::Choices choices;
    QString error;
    if (!ResolveChoices(options, &choices.model, &choices.modelText, &choices.units, &choices.unitsText, &choices.gas,
                        &choices.gasText, &error)) {
        Error(error);
        return CliExit::Usage;
    }
    CHexFile file;
    if (!file.Load(hexFile)) {
        Error(file.ErrorString() + QStringLiteral("; nothing was sent to the instrument."));
        return CliExit::FileError;
    }
    choices.hexFile = hexFile;

    CInstrumentDoc &doc = session.Doc();
    CCliPrompt prompt(session);
    CWizardProgrammer wizard(doc);
    wizard.Engine().SetPrompt(&prompt);
    CTransferProgress progress;
    FollowEngine(session, wizard.Engine(), progress);
    const CSerialBefore before(doc);
    wizard.Enter(choices);
    if (!wizard.Program()) {
        Error(wizard.ErrorString() + QStringLiteral("; nothing was sent to the instrument."));
        return CliExit::FileError;
    }
    const bool answered = session.WaitFor([&] { return Settled(wizard.Engine()); }) && session.WaitIdle();
    const int status = Outcome(session, wizard.Engine(), progress, answered);
    Record(session, wizard.Engine(), hexFile, status, before.Serial());
    if (status != CliExit::Ok)
        return status;
    std::printf("Programmed %s\n", qPrintable(hexFile));
    std::printf("Configuration:      %s\n", qPrintable(CWizardProgrammer::ConfigurationText(choices)));
    std::printf("Serial number:      %s\n", qPrintable(SerialText(wizard.Engine().SerialNumber())));
    std::fflush(stdout);
    return CliExit::Ok;
}
