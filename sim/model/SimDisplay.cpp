// The simulated instrument's display memory and its buttons.
#include "SimDisplay.h"

#include "SimInstrument.h"

namespace {
constexpr quint8 OnOffButton = 0x01, UpButton = 0x02, DownButton = 0x04;
enum Lamp : quint8 { Heartbeat = 0x01, GasAlarm = 0x02, LowBattery = 0x04, PeakLamp = 0x08, StelLamp = 0x10,
                     TwaLamp = 0x20, LoggingLamp = 0x40 };
// Sensor bits of TimeKeeper byte 61.
constexpr int SensorHc = 0, SensorO2 = 1, SensorToxic1 = 2, SensorToxic2 = 3;

QByteArray Cells(const QByteArray &text)
{
    return text.leftJustified(8, ' ', true);
}

quint16 Word(const QByteArray &bytes, int offset)
{
    return offset + 1 < bytes.size() ? quint16(quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8)) : 0;
}

// What the firmware's drawing routine needs of the instrument, in the
// units and roundings it shows them with.
struct Firmware
{
    CSimInstrument &in;

    quint16 Setting(int offset) const { return quint16(in.TimeKeeperByte(offset) | (in.TimeKeeperByte(offset + 1) << 8)); }
    bool Fitted(int sensor) const { return in.TimeKeeperByte(61) & (1 << sensor); }
    QByteArray Range() const { return in.RangeRecord(in.HcRange()); }
    int Unit() const { return quint8(Range()[7]); }
    double Scale() const { return Word(Range(), 14) < 75 ? 10.0 : 1.0; }

    // HC in the range's unit: %LEL as read, PPM of methane in tens, the
    // volume units at 5 %VOL to 100 %LEL.
    int HcRaw(double lel) const
    {
        const int unit = Unit();
        double shown = lel;
        if (unit == 4)
            shown = lel * 500.0 / 10.0;
        else if (unit == 2 || unit == 8 || unit == 16 || unit == 32)
            shown = lel * 0.05;
        return int(qBound(0.0, double(qRound(shown * Scale())), double(0x3FFF)));
    }
    QByteArray Hc(double lel) const
    {
        if (!Fitted(SensorHc))
            return "---";
        const double value = HcRaw(lel) / Scale() * (Unit() == 4 ? 10.0 : 1.0);
        return QByteArray::number(value, 'f', Scale() > 1 ? 1 : 0);
    }
    QByteArray UnitText() const
    {
        switch (Unit()) {
        case 1: return "%LEL";
        case 2: return "%VOL";
        case 4: return "PPM ";
        case 8: return "%GAS";
        case 16: return "%LOW";
        case 32: return "%HI ";
        default: return "    ";
        }
    }
    QByteArray O2(double value) const { return Fitted(SensorO2) ? QByteArray::number(value, 'f', 1) : "--.-"; }
    int ToxicRaw(int t, double value) const { return int(qBound(0.0, double(qRound(value * in.ToxicFraction(t))), 65535.0)); }
    QByteArray Toxic(int t, double value) const
    {
        if (!Fitted(t == 0 ? SensorToxic1 : SensorToxic2))
            return "---";
        const double f = in.ToxicFraction(t);
        const int decimals = f > 20.01 ? 2 : f > 1.01 ? 1 : 0;
        return QByteArray::number(ToxicRaw(t, value) / f, 'f', decimals);
    }
    QByteArray Name(int t) const
    {
        const QByteArray r = in.ToxicRecord(in.ToxicGas(t));
        return r.size() >= 4 ? QByteArray() + r[1] + r[0] + r[3] : QByteArray("   ");
    }
    bool Alarm() const
    {
        const CSimSensors &s = in.Sensors();
        const int r = in.HcRange();
        return (Fitted(SensorHc) && HcRaw(s.Value(CSimSensors::HC)) >= (Setting(44 + 2 * r) & 0x3FF))
               || (Fitted(SensorO2) && qRound(s.Value(CSimSensors::O2) * 10.0) <= (Setting(52) & 0x3FF))
               || (Fitted(SensorToxic1) && ToxicRaw(0, s.Value(CSimSensors::Toxic1)) >= (Setting(54) & 0x3FF))
               || (Fitted(SensorToxic2) && ToxicRaw(1, s.Value(CSimSensors::Toxic2)) >= (Setting(56) & 0x3FF));
    }
};
} // namespace

void CSimDisplay::Buttons(quint8 held)
{
    const quint8 pressed = held & ~m_held;
    m_held = held;
    if (pressed & OnOffButton) {
        m_on = !m_on;
        m_screen = Readings;
    }
    if (!m_on)
        return;
    if (pressed & DownButton)
        m_screen = Screen((m_screen + 1) % ScreenCount);
    if (pressed & UpButton)
        m_screen = Screen((m_screen + ScreenCount - 1) % ScreenCount);
}

void CSimDisplay::Reset()
{
    m_held = 0;
    m_on = true;
    m_screen = Readings;
}

QByteArray CSimDisplay::Draw(CSimInstrument &instrument) const
{
    if (!m_on)
        return QByteArray(32, ' ') + QByteArray(Bytes - 32, '\0');

    const Firmware shown{instrument};
    const CSimSensors &s = instrument.Sensors();
    const QDateTime clock = instrument.Clock();
    const char battery = char(UserCharacter);
    QByteArray rows;
    quint8 lamps = clock.time().second() & 1 ? Heartbeat : 0;

    if (instrument.ProgramMode()) {
        rows = Cells("PROGRAM") + Cells("  MODE") + Cells({}) + Cells({});
    } else {
        const QByteArray names = shown.Name(0) + "  " + shown.Name(1);
        switch (m_screen) {
        case Readings:
        case Peaks: {
            auto value = [&](int ch) { return m_screen == Readings ? s.Value(ch) : s.Peak(ch); };
            rows = Cells(shown.Hc(value(CSimSensors::HC)).rightJustified(3) + ' ' + shown.O2(value(CSimSensors::O2)).rightJustified(4));
            rows += Cells(shown.UnitText() + " O2" + battery);
            rows += Cells(shown.Toxic(0, value(CSimSensors::Toxic1)).rightJustified(3) + ' '
                          + shown.Toxic(1, value(CSimSensors::Toxic2)).rightJustified(4));
            rows += Cells(names);
            if (m_screen == Peaks)
                lamps |= PeakLamp;
            break;
        }
        case Averages:
            rows = Cells(shown.Toxic(0, s.Stel(0)).rightJustified(3) + ' ' + shown.Toxic(1, s.Stel(1)).rightJustified(4));
            rows += Cells(QByteArray("STEL") + "   " + battery);
            rows += Cells(shown.Toxic(0, s.Twa(0)).rightJustified(3) + ' ' + shown.Toxic(1, s.Twa(1)).rightJustified(4));
            rows += Cells(names);
            lamps |= StelLamp | TwaLamp;
            break;
        default: // Status
            rows = Cells(clock.toString(QStringLiteral("HH:mm:ss")).toLatin1());
            rows += Cells(clock.toString(QStringLiteral("dd/MM/yy")).toLatin1());
            rows += Cells(QByteArray::number(s.BatteryVolts(), 'f', 1) + "V "
                          + QByteArray::number(qRound(s.TemperatureC())).rightJustified(2) + 'C');
            rows += Cells(shown.Range().mid(2, 4).leftJustified(4, ' ', true) + shown.UnitText());
            break;
        }
        if (shown.Alarm())
            lamps |= GasAlarm;
        if (instrument.LogIntervalSeconds() > 0)
            lamps |= LoggingLamp;
    }

    QByteArray glyph(7, '\0');
    const int bars = s.BatteryBars();
    glyph[0] = char(0x0E);
    for (int row = 1; row < 7; ++row)
        glyph[row] = char(7 - row <= bars ? 0x1F : 0x11);
    if (bars <= 1)
        lamps |= LowBattery;
    return rows + glyph + char(lamps);
}
