// The "Sensors" service form.
#include "Sensors.h"

#include "FormNumberField.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CSensors, "Sensors", 32807, true)

namespace {
namespace Text {
const char *const Title = "Sensors";
const char *const Groups[] = {"Sensor Readings", "Calibration Offsets", "Calibration Spans"};
const char *const Names[] = {"HC", "O2", "Toxic 1", "Toxic 2"};
const char *const Volts = "V";
const char *const MilliVolts = "mV";
const char *const MicroAmps = "uA";
const char *const Per = "/";
const char *const O2Unit = "%VOL";
const char *const UnknownUnit = "???";
const char *const TcName = "HC";
const char *const LastCal = "Last Cal Date: %1";
const char *const DateFormat = "MM/dd/yyyy";
const char *const RangeIndex = "Range Index = %d";
const char *const Dac = "DAC = %d, %.3lfV";
const char *const NoSpan = "---";
const char *const Formats[] = {"%.0lf", "%.3lf", "%.3lf"};
} // namespace Text

QString T(const char *text) { return QString::fromLatin1(text); }

// The converter spans 5 V in 65536 counts.
constexpr double VoltsPerCount = 5.0 / 65536.0;
// Per channel (HC, O2, Toxic 1, Toxic 2): the front end's gain from volts to
// the sensor's signal (mV for the bridge and the O2 cell, uA for the toxic
// cells, whose current pulls the output down from its 3.8 V rest), the
// output at zero signal, and how the stored span relates to a unit of gas.
constexpr double SignalGain[] = {1000.0 / 25.9, 1000.0 / 101.0, -1000.0 / 24.9, -1000.0 / 118.0};
constexpr double SignalZero[] = {1.0, 0.0, 3.8, 3.8};
constexpr double SpanMultiplier[] = {1.0, 10.0, -1.0, -1.0};
// A stored span s means 2097152 / s counts per unit of gas.
constexpr double SpanCounts = 2097152.0;
// The DAC converts 12 bits over 5 V.
constexpr double DacVolts = 5.0 / 4096.0;

int SensorOf(int channel) { return channel + 1; }
} // namespace

CSensors::CSensors(CInstrumentDoc &doc, QWidget *parent) : CInstrumentView(doc, T(Text::Title), parent)
{
    BuildForm();
}

void CSensors::BuildForm()
{
    auto *layout = new QVBoxLayout(this);
    const int unitWidth = fontMetrics().horizontalAdvance(QStringLiteral("uA/%GAS "));
    for (int g = 0; g < GroupCount; ++g) {
        auto *box = new QGroupBox(T(Text::Groups[g]), this);
        auto *grid = new QGridLayout(box);
        for (int c = 0; c < ChannelCount; ++c) {
            auto *name = new QLabel(T(Text::Names[c]), box);
            name->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Toxic 2 ")));
            m_name[size_t(g)][size_t(c)] = name;
            grid->addWidget(name, c, 0);
            for (int col = 0; col < 3; ++col) {
                auto *field = new CFormNumberField(T(Text::Formats[col]), box);
                m_field[size_t(g)][size_t(c)][size_t(col)] = field;
                grid->addWidget(field, c, 1 + 2 * col);
                if (col > 0) {
                    auto *unit = new QLabel(box);
                    unit->setMinimumWidth(unitWidth);
                    m_unit[size_t(g)][size_t(c)][size_t(col - 1)] = unit;
                    grid->addWidget(unit, c, 2 + 2 * col);
                }
            }
            const bool toxic = c == Toxic1 || c == Toxic2;
            const QString signal = T(toxic ? Text::MicroAmps : Text::MilliVolts);
            if (g == Spans) {
                const QString unit = c == O2 ? T(Text::O2Unit) : toxic ? QStringLiteral("PPM") : QStringLiteral("%LEL");
                m_unit[size_t(g)][size_t(c)][0]->setText(T(Text::Volts) + T(Text::Per) + unit);
                m_unit[size_t(g)][size_t(c)][1]->setText(signal + T(Text::Per) + unit);
            } else {
                m_unit[size_t(g)][size_t(c)][0]->setText(T(Text::Volts));
                m_unit[size_t(g)][size_t(c)][1]->setText(signal);
            }
        }
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        grid->setColumnStretch(5, 1);
        layout->addWidget(box);
    }
    m_lastCal = new QLabel(T(Text::LastCal).arg(QString()), this);
    m_rangeIndex = new QLabel(QString::asprintf(Text::RangeIndex, 0), this);
    m_dac = new QLabel(QString::asprintf(Text::Dac, 0, 0.0), this);
    auto *below = new QHBoxLayout;
    below->addWidget(m_lastCal);
    below->addStretch(1);
    below->addWidget(m_rangeIndex);
    below->addStretch(1);
    below->addWidget(m_dac);
    layout->addLayout(below);
    layout->addStretch(1);
}

double CSensors::Volts(int count)
{
    return count * VoltsPerCount;
}

double CSensors::Signal(int channel, int count)
{
    return (Volts(count) - SignalZero[channel]) * SignalGain[channel];
}

double CSensors::SpanVolts(int span)
{
    return SpanCounts * VoltsPerCount / span;
}

double CSensors::SpanSignal(int channel, int span)
{
    return SpanVolts(span) * SpanMultiplier[channel] * SignalGain[channel];
}

void CSensors::OnInitialUpdate()
{
    // Whatever the document holds already; the reads below refresh it.
    RelabelToxic(Toxic1);
    RelabelToxic(Toxic2);
    RelabelHCSpan();
    ShowStored();

    CInstrumentDoc &doc = Document();
    doc.ReadAnalogA();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    m_timeKeeperDue = true;
}

void CSensors::OnUpdate(int code, const CReplyNotice &notice)
{
    CInstrumentDoc &doc = Document();
    switch (code) {
    case UpdateCode::Poll:
        doc.ReadAnalogA();
        doc.ReadRam(DacAddress, 2);
        break;
    case UpdateCode::AnalogA:
        ShowReadings();
        break;
    case UpdateCode::RamBlock:
        if (notice.address == DacAddress) {
            const QByteArray &ram = doc.Ram();
            if (ram.size() >= DacAddress + 2) {
                const int d = quint8(ram[DacAddress]) | (quint8(ram[DacAddress + 1]) << 8);
                m_dac->setText(QString::asprintf(Text::Dac, d, d * DacVolts));
            }
        }
        break;
    case UpdateCode::Settings:
        RelabelToxic(Toxic1);
        RelabelToxic(Toxic2);
        RelabelHCSpan();
        ShowStored();
        break;
    case UpdateCode::TimeKeeperWritten:
        ShowStored();
        break;
    case UpdateCode::RangeIndex:
        ShowRangeIndex();
        break;
    case UpdateCode::WordBlock:
        if (notice.address == 0xC00C)
            RelabelToxic(Toxic2);
        // Range 0 tells whether the Toxic 2 slot carries the HC sensor's
        // thermal-conductivity channel.
        if (CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, 0))
            RelabelToxic(Toxic2);
        if (CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, doc.Settings().GetHCRangeIndex()))
            RelabelHCSpan();
        break;
    case UpdateCode::ToxicCount:
        if (m_timeKeeperDue) {
            m_timeKeeperDue = false;
            doc.ReadTimeKeeperSettings();
        }
        break;
    case UpdateCode::ToxicRecord: {
        const int record = int(notice.address / 256);
        const CSettingsImage &s = doc.Settings();
        for (int c : {Toxic1, Toxic2}) {
            const int sensor = SensorOf(c);
            if ((s.GetSensor(sensor) ? s.GetSensorGas(sensor) : 0) == record)
                RelabelToxic(c);
        }
        break;
    }
    case UpdateCode::GasChanged:
        if (notice.address == 1 || notice.address == 2) {
            RelabelToxic(notice.address == 1 ? Toxic1 : Toxic2);
            for (int c : {Toxic1, Toxic2}) {
                ShowRow(Offsets, c, doc.Settings().GetCalOffset(SensorOf(c)));
                ShowSpan(c);
            }
        }
        break;
    default:
        break;
    }
}

void CSensors::ShowRow(int group, int channel, int count)
{
    Field(group, channel, 0)->SetValue(count);
    Field(group, channel, 1)->SetValue(Volts(count));
    Field(group, channel, 2)->SetValue(Signal(channel, count));
}

void CSensors::ShowSpan(int channel)
{
    const int span = Document().Settings().GetCalSpan(SensorOf(channel));
    Field(Spans, channel, 0)->SetValue(span);
    if (span == 0) {
        // No span stored: there is no sensitivity to show.
        Field(Spans, channel, 1)->setText(T(Text::NoSpan));
        Field(Spans, channel, 2)->setText(T(Text::NoSpan));
        return;
    }
    Field(Spans, channel, 1)->SetValue(SpanVolts(span));
    Field(Spans, channel, 2)->SetValue(SpanSignal(channel, span));
}

void CSensors::ShowReadings()
{
    // The readings record: Toxic 1, Toxic 2, O2, HC thermal-conductivity
    // channel, HC catalytic channel.
    const QByteArray &data = Document().AnalogA();
    if (data.size() < 10)
        return;
    auto count = [&data](int i) { return int(quint8(data[2 * i]) | (quint8(data[2 * i + 1]) << 8)); };
    const CSettingsImage &s = Document().Settings();
    switch (s.RangeRecord(s.GetHCRangeIndex()).DisplayUnits()) {
    case CRangeRecord::UnitGas:
    case CRangeRecord::UnitHi:
        ShowRow(Readings, HC, count(3));
        break;
    case CRangeRecord::UnitLel:
    case CRangeRecord::UnitVol:
    case CRangeRecord::UnitPpm:
    case CRangeRecord::UnitLow:
        ShowRow(Readings, HC, count(4));
        break;
    default:
        break; // a unit this program does not know: leave the row as it was
    }
    ShowRow(Readings, O2, count(2));
    ShowRow(Readings, Toxic1, count(0));
    ShowRow(Readings, Toxic2, count(1));
}

void CSensors::ShowStored()
{
    const CSettingsImage &s = Document().Settings();
    m_lastCal->setText(T(Text::LastCal).arg(s.GetLastCalDate().toString(T(Text::DateFormat))));
    ShowRangeIndex();
    for (int c = 0; c < ChannelCount; ++c) {
        ShowRow(Offsets, c, s.GetCalOffset(SensorOf(c), CSettingsImage::CurrentRange));
        ShowSpan(c);
    }
    ShowReadings();
}

void CSensors::ShowRangeIndex()
{
    m_rangeIndex->setText(QString::asprintf(Text::RangeIndex, Document().Settings().GetHCRangeIndex()));
}

void CSensors::RelabelToxic(int channel)
{
    const CSettingsImage &s = Document().Settings();
    const int sensor = SensorOf(channel);
    const QString name = s.SensorGasName(sensor);
    const QString unit = s.SensorUnits(sensor);
    for (int g = 0; g < GroupCount; ++g)
        m_name[size_t(g)][size_t(channel)]->setText(name);
    if (channel == Toxic2 && s.Toxic2CarriesTC())
        m_name[Spans][size_t(channel)]->setText(T(Text::TcName));
    m_unit[Spans][size_t(channel)][0]->setText(T(Text::Volts) + T(Text::Per) + unit);
    m_unit[Spans][size_t(channel)][1]->setText(T(Text::MicroAmps) + T(Text::Per) + unit);
}

void CSensors::RelabelHCSpan()
{
    const CSettingsImage &s = Document().Settings();
    QString unit = CRangeRecord::UnitLabel(s.RangeRecord(s.GetHCRangeIndex()).DisplayUnits());
    if (unit.isEmpty())
        unit = T(Text::UnknownUnit);
    m_unit[Spans][HC][0]->setText(T(Text::Volts) + T(Text::Per) + unit);
    m_unit[Spans][HC][1]->setText(T(Text::MilliVolts) + T(Text::Per) + unit);
}
