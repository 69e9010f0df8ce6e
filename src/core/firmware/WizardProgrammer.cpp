// The configuration wizard's programming step without its window.
#include "firmware/WizardProgrammer.h"

#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"

#include <QDateTime>

namespace {
namespace Text {
const char *const Ready = "Press Next to start programming";
const char *const DownloadingCode = "Downloading code";
const char *const DownloadingConfiguration = "Downloading configuration";
const char *const Finished = "Done";
const char *const Error = "Error, please press back";
const char *const Caption = "Configuration Wizard";
} // namespace Text

constexpr int ConfigurationTextBytes = 32; // 16 words, the text NUL-terminated
constexpr int WordsPerWrite = 8;
} // namespace

CWizardProgrammer::CWizardProgrammer(CInstrumentDoc &doc, QObject *parent)
    : QObject(parent), m_doc(doc), m_engine(doc, QString::fromLatin1(Pref::Wizard))
{
    m_engine.SetCaption(QString::fromLatin1(Text::Caption));
    m_engine.SetCompletionSteps([this] { PrepareConfiguration(); }, [this] { QueueConfiguration(); });
    connect(&m_engine, &CProgrammingEngine::StateChanged, this, &CWizardProgrammer::OnEngineState);
}

QString CWizardProgrammer::StateText(State state)
{
    switch (state) {
    case Ready: return QString::fromLatin1(Text::Ready);
    case DownloadingCode: return QString::fromLatin1(Text::DownloadingCode);
    case DownloadingConfiguration: return QString::fromLatin1(Text::DownloadingConfiguration);
    case Finished: return QString::fromLatin1(Text::Finished);
    case Error: return QString::fromLatin1(Text::Error);
    }
    return {};
}

void CWizardProgrammer::Enter(const Choices &choices)
{
    m_choices = choices;
    SetState(choices.hexFile.isEmpty() ? Error : Ready);
}

bool CWizardProgrammer::Program()
{
    if (m_choices.hexFile.isEmpty()) {
        SetState(Error);
        return false;
    }
    SetState(DownloadingCode);
    if (!m_engine.Start(m_choices.hexFile)) {
        // Nothing went to the instrument; another file is chosen on the page before.
        SetState(Error);
        return false;
    }
    return true;
}

QString CWizardProgrammer::ConfigurationText(const Choices &choices)
{
    return CConfigurationBuilder::ConfigurationText(choices.model, choices.units ? choices.unitsText : QString(),
                                                    choices.gas ? choices.gasText : QString());
}

void CWizardProgrammer::PrepareConfiguration()
{
    // The configuration text and the range table belong to the sector the
    // checksum covers, so they are in the image before it is taken.
    CWordImage &words = m_doc.Words();
    QByteArray text = ConfigurationText(m_choices).toLatin1();
    text = text.leftJustified(ConfigurationTextBytes, '\0', true);
    text[ConfigurationTextBytes - 1] = '\0';
    words.Store(CInstrumentDoc::ConfigurationWordA, text);
    words.Store(CInstrumentDoc::ConfigurationWordB, CConfigurationBuilder::RangeTable(m_choices.units != 0));
}

void CWizardProgrammer::QueueConfiguration()
{
    SetState(DownloadingConfiguration);
    const CWordImage &words = m_doc.Words();
    for (int i = 0; i < ConfigurationTextBytes / 2; i += WordsPerWrite) {
        const quint32 at = CInstrumentDoc::ConfigurationWordA + quint32(i);
        m_engine.QueueWrite(at, words.Bytes(at, 2 * WordsPerWrite));
    }
    for (int i = 0; i < CInstrumentDoc::ConfigurationBWords; i += WordsPerWrite) {
        const quint32 at = CInstrumentDoc::ConfigurationWordB + quint32(i);
        m_engine.QueueWrite(at, words.Bytes(at, 2 * WordsPerWrite));
    }

    CSettingsImage &settings = m_doc.Settings();
    auto &block = settings.TimeKeeperBytes();
    for (int b = CConfigurationBuilder::FirstClearedSettingsByte; b <= CConfigurationBuilder::LastClearedSettingsByte; ++b)
        block[size_t(b)] = 0;
    const QByteArray table = words.Bytes(CInstrumentDoc::ConfigurationWordB, 2 * CInstrumentDoc::ConfigurationBWords);
    ApplyDefaults(settings, CConfigurationBuilder::SettingsDefaults(m_choices.model, table));
    settings.SetClock(QDateTime::currentDateTime());
    m_doc.WriteClock();
    m_doc.WriteTimeKeeperSettings();
}

QStringList CWizardProgrammer::ApplyDefaults(CSettingsImage &s, const QList<SettingDefault> &defaults)
{
    using S = CSettingsImage;
    QStringList unknown;
    for (const SettingDefault &d : defaults) {
        const QString &f = d.field;
        const int r = d.range.value_or(0);
        const QVariant &v = d.value;
        if (f == QLatin1String("Sensor1"))
            s.SetSensor(S::SensorHC, v.toInt());
        else if (f == QLatin1String("Sensor2"))
            s.SetSensor(S::SensorO2, v.toInt());
        else if (f == QLatin1String("HCRangeIndex"))
            s.SetHCRangeIndex(v.toInt());
        else if (f.startsWith(QLatin1String("HighAlarm1-")))
            s.SetHighAlarm(S::SensorHC, r, v.toDouble());
        else if (f.startsWith(QLatin1String("WarningAlarm1-")))
            s.SetWarningAlarm(S::SensorHC, r, v.toDouble());
        else if (f == QLatin1String("HighAlarm2"))
            s.SetHighAlarm(S::SensorO2, 0, v.toDouble());
        else if (f == QLatin1String("WarningAlarm2"))
            s.SetWarningAlarm(S::SensorO2, 0, v.toDouble());
        else if (f == QLatin1String("CalGas1"))
            s.SetCalGas(S::SensorHC, v.toDouble());
        else if (f == QLatin1String("CalGas2"))
            s.SetCalGas(S::SensorO2, v.toDouble());
        else if (f.startsWith(QLatin1String("CalDac")))
            s.SetCalDac(r, v.toInt());
        else if (f.startsWith(QLatin1String("CalOffset1-")))
            s.SetCalOffset(S::SensorHC, r, v.toInt());
        else if (f == QLatin1String("CalOffset2"))
            s.SetCalOffset(S::SensorO2, 0, v.toInt());
        else if (f.startsWith(QLatin1String("CalSpan")) && f.size() == 8 && f[7] >= QLatin1Char('1') && f[7] <= QLatin1Char('4'))
            s.SetCalSpan(f[7].digitValue(), v.toInt());
        else if (f == QLatin1String("O2AlarmConfiguration"))
            s.SetO2AlarmConfiguration(v.toInt());
        else if (f == QLatin1String("AlarmLatch"))
            s.SetAlarmLatch(v.toInt());
        else if (f == QLatin1String("LunchBreak"))
            s.SetLunchBreak(v.toInt());
        else if (f == QLatin1String("BackLightDelay"))
            s.SetBackLightDelay(v.toInt());
        else if (f == QLatin1String("CalInterval"))
            s.SetCalInterval(v.toInt());
        else if (f == QLatin1String("BumpTest"))
            s.SetBumpTest(v.toInt());
        else if (f == QLatin1String("CalWord"))
            s.SetCalWord(v.toString());
        else if (f == QLatin1String("PassWord"))
            s.SetPassWord(v.toString());
        else if (f == QLatin1String("LogWord"))
            s.SetLogWord(v.toString());
        else if (f == QLatin1String("ComfortAlert"))
            s.SetComfortAlert(v.toInt());
        else if (f == QLatin1String("TemperatureAlarm"))
            s.SetTemperatureAlarm(v.toInt());
        else if (f == QLatin1String("LogMemoryManager"))
            s.SetLogMemoryManager(v.toInt());
        else if (f == QLatin1String("LogAverages"))
            s.SetLogAverages(v.toInt());
        else if (f == QLatin1String("LogInterval"))
            s.SetLogInterval(v.toInt());
        else
            unknown.append(f);
    }
    return unknown;
}

void CWizardProgrammer::OnEngineState(CProgrammingEngine::State state)
{
    switch (state) {
    case CProgrammingEngine::State::Done:
        SetState(Finished);
        break;
    case CProgrammingEngine::State::Failed:
        SetState(Error);
        break;
    default:
        // A cancelled mismatch only drops the requests: the page keeps
        // saying what it was doing until the user goes back.
        break;
    }
}

void CWizardProgrammer::SetState(State state)
{
    const bool changed = m_state != state;
    m_state = state;
    if (changed || state == DownloadingCode)
        emit StateChanged(state);
}
