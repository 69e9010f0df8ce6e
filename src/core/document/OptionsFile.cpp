// The options file (.kvo): one instrument's settings and ID texts in shown units, saved and loaded through the document.
#include "OptionsFile.h"

#include "InstrumentDoc.h"
#include "SettingsCodec.h"
#include "SettingsImage.h"
#include "UpdateCodes.h"
#include "platform/ProfileFile.h"

#include <QFileInfo>
#include <cmath>

const QString COptionsFile::SensorsSection = QStringLiteral("Sensors");
const QString COptionsFile::AdvancedSection = QStringLiteral("Advanced Features");
const QString COptionsFile::DatalogSection = QStringLiteral("Datalog Features");
const QString COptionsFile::BinarySection = QStringLiteral("Binary");
const QString COptionsFile::TimeKeeperKey = QStringLiteral("TimeKeeper");

namespace {

using S = CSettingsImage;

QString Real(double value)
{
    return QString::asprintf("%lg", value);
}

QString Int(int value)
{
    return QString::number(value);
}

QString RangeKey(const char *name, int range)
{
    return QStringLiteral("%1-%2").arg(QLatin1String(name)).arg(range);
}

QString SensorKey(const char *name, int sensor)
{
    return QLatin1String(name) + QString::number(sensor);
}

QString OperatorKey(int n)
{
    return QStringLiteral("OperatorID%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString LocationKey(int n)
{
    return QStringLiteral("LocationID%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString SensorText(const CSettingsImage &s, int sensor)
{
    switch (sensor) {
    case S::SensorHC: return s.GetSensor(sensor) ? QStringLiteral("HC") : QString();
    case S::SensorO2: return s.GetSensor(sensor) ? QStringLiteral("O2") : QString();
    default:
        // The gas name goes with an unfitted sensor too, behind a "-", so the
        // line still says what the slot was set up for.
        return s.GetSensor(sensor) ? s.SensorGasName(sensor) : QLatin1Char('-') + s.ToxicGasName(0);
    }
}

// Reads the named keys of one profile document into an image, noting what
// cannot be stored as the file gives it.
class CApplier
{
public:
    CApplier(const CProfileFile &file, CSettingsImage &s) : m_file(file), m_s(s) {}

    void Run()
    {
        for (const QString &section : {COptionsFile::SensorsSection, COptionsFile::AdvancedSection,
                                       COptionsFile::DatalogSection}) {
            if (!m_file.HasSection(section))
                m_warnings << QStringLiteral("[%1]: the section is missing; its settings load as 0 and blank").arg(section);
        }
        Sensors();
        Advanced();
        Datalog();
    }

    QStringList Warnings() const { return m_warnings; }

private:
    QString Text(const QString &section, const QString &key) const { return m_file.GetString(section, key); }
    int IntKey(const QString &section, const QString &key) const { return CProfileFile::LeadingInt(Text(section, key)); }
    double RealKey(const QString &section, const QString &key) const { return CProfileFile::LeadingReal(Text(section, key)); }

    void Sensors()
    {
        const QString &sec = COptionsFile::SensorsSection;
        for (int r = 0; r < 4; ++r)
            m_s.SetCalOffset(S::SensorHC, r, IntKey(sec, RangeKey("CalOffset1", r)));
        for (int sensor = 2; sensor <= 4; ++sensor)
            m_s.SetCalOffset(sensor, 0, IntKey(sec, SensorKey("CalOffset", sensor)));
        for (int sensor = 1; sensor <= 4; ++sensor)
            m_s.SetCalSpan(sensor, IntKey(sec, SensorKey("CalSpan", sensor)));
        m_s.SetLastCalDate(ParseDate(Text(sec, QStringLiteral("LastCalDate"))));
        for (int r = 0; r < 4; ++r)
            m_s.SetCalDac(r, IntKey(sec, SensorKey("CalDac", r)));
    }

    void Advanced()
    {
        const QString &sec = COptionsFile::AdvancedSection;
        // The sensors and their gases go first: a toxic level is a number of
        // ppm of the file's gas, and converting it with the gas the document
        // held before would store it in the wrong units (35 ppm CO taken as
        // H2S tenths comes back as 350 ppm CO).
        m_s.SetSensor(S::SensorHC, !Text(sec, QStringLiteral("Sensor1")).isEmpty());
        m_s.SetSensor(S::SensorO2, !Text(sec, QStringLiteral("Sensor2")).isEmpty());
        for (int sensor = S::SensorToxic1; sensor <= S::SensorToxic2; ++sensor) {
            const QString key = SensorKey("Sensor", sensor);
            const QString value = Text(sec, key);
            const bool fitted = !value.isEmpty() && !value.startsWith(QLatin1Char('-'));
            m_s.SetSensor(sensor, fitted);
            const int gas = m_s.FindToxicGas(value);
            m_s.SetSensorGas(sensor, gas);
            if (fitted && gas == 0 && QString(m_s.ToxicGasName(0)).trimmed() != value)
                m_warnings << QStringLiteral("%1: the instrument's toxic table has no gas \"%2\"; the sensor is set to no gas").arg(key, value);
        }

        for (int r = 0; r < 4; ++r)
            Level(sec, RangeKey("HighAlarm1", r), S::SensorHC, r, true);
        for (int sensor = 2; sensor <= 4; ++sensor)
            Level(sec, SensorKey("HighAlarm", sensor), sensor, 0, true);
        for (int r = 0; r < 4; ++r)
            Level(sec, RangeKey("WarningAlarm1", r), S::SensorHC, r, false);
        for (int sensor = 2; sensor <= 4; ++sensor)
            Level(sec, SensorKey("WarningAlarm", sensor), sensor, 0, false);

        for (int sensor = 1; sensor <= 4; ++sensor) {
            const QString key = SensorKey("CalGas", sensor);
            const QString text = Text(sec, key);
            const double value = CProfileFile::LeadingReal(text);
            m_s.SetCalGas(sensor, value);
            const double stored = m_s.GetCalGas(sensor);
            if (!text.isEmpty() && Real(value) != Real(stored))
                m_warnings << QStringLiteral("%1: %2 cannot be stored; the instrument would use %3").arg(key, Real(value), Real(stored));
        }

        m_s.SetCalWord(Text(sec, QStringLiteral("CalWord")));
        m_s.SetPassWord(Text(sec, QStringLiteral("PassWord")));
        m_s.SetLogWord(Text(sec, QStringLiteral("LogWord")));
        m_s.SetCalInterval(IntKey(sec, QStringLiteral("CalInterval")));
        m_s.SetBackLightDelay(IntKey(sec, QStringLiteral("BackLightDelay")));
        m_s.SetO2AlarmConfiguration(IntKey(sec, QStringLiteral("O2AlarmConfiguration")));
        m_s.SetComfortAlert(IntKey(sec, QStringLiteral("ComfortAlert")));
        m_s.SetAlarmLatch(IntKey(sec, QStringLiteral("AlarmLatch")));
        m_s.SetAlarmDelay(IntKey(sec, QStringLiteral("AlarmDelay")));
        m_s.SetLunchBreak(IntKey(sec, QStringLiteral("LunchBreak")));
        m_s.SetBumpTest(IntKey(sec, QStringLiteral("BumpTest")));
        m_s.SetTemperatureAlarm(IntKey(sec, QStringLiteral("TemperatureAlarm")));
    }

    void Datalog()
    {
        const QString &sec = COptionsFile::DatalogSection;
        m_s.SetOperatorIndex(IntKey(sec, QStringLiteral("OperatorIndex")));
        m_s.SetLocationIndex(IntKey(sec, QStringLiteral("LocationIndex")));
        m_s.SetLogInterval(IntKey(sec, QStringLiteral("LogInterval")));
        m_s.SetLogMemoryManager(IntKey(sec, QStringLiteral("LogMemoryManager")));
        m_s.SetLogAverages(IntKey(sec, QStringLiteral("LogAverages")));
        // Values were trimmed on reading; the setter pads them to 16 again.
        for (int n = 1; n <= S::OperatorCount; ++n)
            m_s.SetOperatorId(n, Text(sec, OperatorKey(n)));
        for (int n = 1; n <= S::LocationCount; ++n)
            m_s.SetLocationId(n, Text(sec, LocationKey(n)));
        m_s.SetInstrumentId(Text(sec, QStringLiteral("InstrumentID")));
    }

    // An alarm level in shown units. A level the 10-bit field cannot hold at
    // the sensor's scale (too high, or finer than its steps) is stored as the
    // field allows and reported.
    void Level(const QString &sec, const QString &key, int sensor, int range, bool high)
    {
        const QString text = Text(sec, key);
        const double value = CProfileFile::LeadingReal(text);
        if (high)
            m_s.SetHighAlarm(sensor, range, value);
        else
            m_s.SetWarningAlarm(sensor, range, value);
        const double stored = high ? m_s.GetHighAlarm(sensor, range) : m_s.GetWarningAlarm(sensor, range);
        const double scale = m_s.LevelScale(sensor, range);
        const QString wanted = CSettingsCodec::FormatLevel(value, scale);
        const QString held = CSettingsCodec::FormatLevel(stored, scale);
        if (!text.isEmpty() && wanted != held)
            m_warnings << QStringLiteral("%1: %2 cannot be stored; the instrument would hold %3").arg(key, Real(value), held);
    }

    // "%m/%d/%Y" as typed: the month is the number at the start, the day the
    // number after the first "/", the year the number after the second; a
    // missing day is the 1st and a missing year 1999.
    static QDate ParseDate(const QString &text)
    {
        const int month = CProfileFile::LeadingInt(text);
        const qsizetype first = text.indexOf(QLatin1Char('/'));
        const int day = first >= 0 ? CProfileFile::LeadingInt(text.mid(first + 1)) : 1;
        const qsizetype second = first >= 0 ? text.indexOf(QLatin1Char('/'), first + 1) : -1;
        const int year = second >= 0 ? CProfileFile::LeadingInt(text.mid(second + 1)) : 1999;
        return QDate(year, month, day);
    }

    const CProfileFile &m_file;
    CSettingsImage &m_s;
    QStringList m_warnings;
};

} // namespace

QList<COptionsFile::Entry> COptionsFile::Entries(const CSettingsImage &s)
{
    QList<Entry> out;
    auto add = [&out](const QString &section, const QString &key, const QString &value, const QString &shown = {}) {
        out.append({section, key, value, shown.isNull() ? value : shown});
    };
    auto level = [&](const QString &key, int sensor, int range, bool high) {
        const double v = high ? s.GetHighAlarm(sensor, range) : s.GetWarningAlarm(sensor, range);
        add(AdvancedSection, key, Real(v), CSettingsCodec::FormatLevel(v, s.LevelScale(sensor, range)));
    };

    const QDate calDate = s.GetLastCalDate();
    add(SensorsSection, QStringLiteral("LastCalDate"), calDate.toString(QStringLiteral("MM/dd/yyyy")));
    for (int r = 0; r < 4; ++r)
        add(SensorsSection, RangeKey("CalOffset1", r), Int(s.GetCalOffset(S::SensorHC, r)));
    for (int sensor = 2; sensor <= 4; ++sensor)
        add(SensorsSection, SensorKey("CalOffset", sensor), Int(s.GetCalOffset(sensor)));
    for (int sensor = 1; sensor <= 4; ++sensor)
        add(SensorsSection, SensorKey("CalSpan", sensor), Int(s.GetCalSpan(sensor)));
    for (int r = 0; r < 4; ++r)
        add(SensorsSection, SensorKey("CalDac", r), Int(s.GetCalDac(r)));

    for (int r = 0; r < 4; ++r)
        level(RangeKey("HighAlarm1", r), S::SensorHC, r, true);
    for (int sensor = 2; sensor <= 4; ++sensor)
        level(SensorKey("HighAlarm", sensor), sensor, 0, true);
    for (int r = 0; r < 4; ++r)
        level(RangeKey("WarningAlarm1", r), S::SensorHC, r, false);
    for (int sensor = 2; sensor <= 4; ++sensor)
        level(SensorKey("WarningAlarm", sensor), sensor, 0, false);
    for (int sensor = 1; sensor <= 4; ++sensor)
        add(AdvancedSection, SensorKey("Sensor", sensor), SensorText(s, sensor));
    for (int sensor = 1; sensor <= 4; ++sensor)
        add(AdvancedSection, SensorKey("CalGas", sensor), Real(s.GetCalGas(sensor)));
    add(AdvancedSection, QStringLiteral("CalWord"), s.GetCalWord());
    add(AdvancedSection, QStringLiteral("PassWord"), s.GetPassWord());
    add(AdvancedSection, QStringLiteral("LogWord"), s.GetLogWord());
    add(AdvancedSection, QStringLiteral("CalInterval"), Int(s.GetCalInterval()));
    add(AdvancedSection, QStringLiteral("BackLightDelay"), Real(s.GetBackLightDelay()));
    add(AdvancedSection, QStringLiteral("O2AlarmConfiguration"), Int(s.GetO2AlarmConfiguration()));
    add(AdvancedSection, QStringLiteral("ComfortAlert"), Int(s.GetComfortAlert()));
    add(AdvancedSection, QStringLiteral("AlarmLatch"), Int(s.GetAlarmLatch()));
    add(AdvancedSection, QStringLiteral("AlarmDelay"), Int(s.GetAlarmDelay()));
    add(AdvancedSection, QStringLiteral("LunchBreak"), Int(s.GetLunchBreak()));
    add(AdvancedSection, QStringLiteral("BumpTest"), Int(s.GetBumpTest()));
    add(AdvancedSection, QStringLiteral("TemperatureAlarm"), Int(s.GetTemperatureAlarm()));

    add(DatalogSection, QStringLiteral("OperatorIndex"), Int(s.GetOperatorIndex()));
    add(DatalogSection, QStringLiteral("LocationIndex"), Int(s.GetLocationIndex()));
    add(DatalogSection, QStringLiteral("LogInterval"), Int(s.GetLogInterval()));
    add(DatalogSection, QStringLiteral("LogMemoryManager"), Int(s.GetLogMemoryManager()));
    add(DatalogSection, QStringLiteral("LogAverages"), Int(s.GetLogAverages()));
    for (int n = 1; n <= S::OperatorCount; ++n)
        add(DatalogSection, OperatorKey(n), s.OperatorId(n));
    for (int n = 1; n <= S::LocationCount; ++n)
        add(DatalogSection, LocationKey(n), s.LocationId(n));
    add(DatalogSection, QStringLiteral("InstrumentID"), s.InstrumentId());
    return out;
}

void COptionsFile::Write(const CSettingsImage &settings, CProfileFile &file)
{
    // The settings keys first and the [Binary] copy after them, then the IDs:
    // in a fresh file the IDs land at the end of [Datalog Features], after
    // LogAverages, and [Binary] stays the last section.
    const QList<Entry> entries = Entries(settings);
    auto isId = [](const Entry &e) {
        return e.section == DatalogSection && (e.key.startsWith(QLatin1String("OperatorID")) || e.key.startsWith(QLatin1String("LocationID"))
                                               || e.key == QLatin1String("InstrumentID"));
    };
    for (const Entry &e : entries) {
        if (!isId(e))
            file.WriteString(e.section, e.key, e.value);
    }
    const auto &block = settings.TimeKeeperBytes();
    file.WriteStruct(BinarySection, TimeKeeperKey, QByteArray(reinterpret_cast<const char *>(block.data()), int(block.size())));
    for (const Entry &e : entries) {
        if (isId(e))
            file.WriteString(e.section, e.key, e.value);
    }
}

QStringList COptionsFile::Apply(const CProfileFile &file, CSettingsImage &settings)
{
    CApplier applier(file, settings);
    applier.Run();
    return applier.Warnings();
}

bool COptionsFile::Save(CInstrumentDoc &doc, const QString &path, QString *error)
{
    doc.UpdateAllViews(UpdateCode::BeforeDownload);
    CProfileFile file;
    // An existing file is rewritten key by key; one that exists but cannot
    // be read is not overwritten, or lines the user keeps there would be lost.
    bool ok = file.Load(path, CProfileFile::Missing::Empty);
    if (ok) {
        Write(doc.Settings(), file);
        ok = file.SaveAs(path);
    }
    if (error)
        *error = ok ? QString() : file.ErrorString();
    return ok;
}

bool COptionsFile::Load(CInstrumentDoc &doc, const QString &path, QString *error, QStringList *warnings)
{
    CProfileFile file;
    if (!file.Load(path, CProfileFile::Missing::Fail)) {
        if (error)
            *error = file.ErrorString();
        return false;
    }
    const QStringList found = Apply(file, doc.Settings());
    if (warnings) {
        warnings->clear();
        const QString name = QFileInfo(path).fileName();
        for (const QString &w : found)
            warnings->append(name + QLatin1String(": ") + w);
    }
    if (error)
        error->clear();
    doc.UpdateAllViews(UpdateCode::Settings, CReplyNotice::At(0, 0));
    for (int entry = 1; entry <= CSettingsImage::IdEntryCount; ++entry)
        doc.UpdateAllViews(UpdateCode::IdEntry, CReplyNotice::At(entry, CSettingsImage::IdLength));
    return true;
}
