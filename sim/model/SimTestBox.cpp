// The simulated test box and board-test firmware.
#include "SimTestBox.h"

#include "SimMemoryMap.h"

#include <QtGlobal>

#include <algorithm>
#include <iterator>

namespace {
constexpr int ToxicMuxType = 240, HcPartType = 241, TestModeType = 242, ReadChannelsType = 243;
} // namespace

namespace {
// The switch words, in the order Names() gives them.
constexpr struct {
    const char *name;
    bool SimBoardFaults::*fault;
} FaultWords[] = {
    {"ram", &SimBoardFaults::ram},
    {"timekeeper", &SimBoardFaults::timeKeeper},
    {"flash", &SimBoardFaults::flash},
    {"analog", &SimBoardFaults::analog},
    {"button", &SimBoardFaults::button},
    {"batteryswitch", &SimBoardFaults::batterySwitch},
    {"recovery", &SimBoardFaults::recovery},
    {"battery", &SimBoardFaults::battery},
};
} // namespace

bool SimBoardFaults::Parse(const QString &text, SimBoardFaults &faults, QString *bad)
{
    for (const QString &word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString w = word.trimmed().toLower();
        const auto known = std::find_if(std::begin(FaultWords), std::end(FaultWords),
                                        [&w](const auto &f) { return w == QLatin1String(f.name); });
        if (known == std::end(FaultWords)) {
            if (bad)
                *bad = word;
            return false;
        }
        faults.*(known->fault) = true;
    }
    return true;
}

QStringList SimBoardFaults::Names()
{
    QStringList names;
    for (const auto &f : FaultWords)
        names.append(QLatin1String(f.name));
    return names;
}

double CSimTestBox::ToxicGainKiloohms(int gain)
{
    static const double Kiloohms[8] = {1, 2, 5, 10, 20, 50, 100, 200};
    return Kiloohms[gain & 7];
}

double CSimTestBox::HcPartGain(int part)
{
    return part == 1 ? 25.0 : part == 2 ? 50.0 : part == 3 ? 100.0 : 0.0;
}

QByteArray CSimTestBox::Handle(int type, const QByteArray &data)
{
    switch (type) {
    case ToxicMuxType:
        if (data.size() != 2)
            return {};
        m_mux[0] = quint8(data[0]) & 0x1F;
        m_mux[1] = quint8(data[1]) & 0x1F;
        return QByteArray() + char(m_mux[0]) + char(m_mux[1]);
    case HcPartType: {
        if (data.size() != 1)
            return {};
        const int part = quint8(data[0]);
        if (HcPartGain(part) > 0.0)
            m_hcPart = part;
        // The part now switched in; 0 when the board has no such part.
        return QByteArray(1, char(HcPartGain(part) > 0.0 ? part : 0));
    }
    case TestModeType:
        if (data.size() != 2)
            return {};
        m_testMode = data[0] != 0;
        m_settling = quint8(data[1]);
        return data;
    case ReadChannelsType: {
        if (data.size() != 6)
            return {};
        QByteArray reply(6, '\0');
        for (int k = 0; k < 3; ++k) {
            const quint8 channel = quint8(data[2 * k]);
            const quint16 raw = channel == 0xFF ? 0 : Raw(channel);
            reply[2 * k] = char(raw & 0xFF);
            reply[2 * k + 1] = char(raw >> 8);
        }
        return reply;
    }
    default:
        return {};
    }
}

double CSimTestBox::Volts(int channel) const
{
    const Knobs &k = m_knobs;
    auto toxic = [&](int t) {
        const int gain = m_mux[t] >> 2;
        const int bias = m_mux[t] & 3;
        return 0.60 + 0.02 * bias + k.toxicMicroamps[t] * ToxicGainKiloohms(gain) / 1000.0;
    };
    switch (channel) {
    case 0:
        return toxic(0);
    case 1:
        return toxic(1);
    case 2: // 10 mV per degree above 500 mV, through a divider of 250
        return (500.0 + 10.0 * k.temperatureC) / 250.0;
    case 3: // halved
        return k.batteryVolts / 2.0 * (m_faults.battery ? BatterySenseFactor : 1.0);
    case 4:
        return k.toxicConnected[1] ? 2.5 : 0.05;
    case 5:
        return k.toxicConnected[0] ? 2.5 : 0.05;
    case 8:
        return 0.02 + (m_faults.analog ? 75.0 : 150.0) * k.o2Millivolts / 1000.0;
    case 9:
        return 0.80 + 40.0 * k.tcMillivolts / 1000.0;
    case 10:
        return 0.45 + 0.01 * m_hcPart + HcPartGain(m_hcPart) * k.hcMillivolts / 1000.0;
    default:
        return 0.0;
    }
}

quint16 CSimTestBox::Raw(int channel) const
{
    return quint16(qBound(0.0, Volts(channel) * 65536.0 / 5.0, 65535.0));
}

void CSimTestBox::BeforeRamRead(QByteArray &ram) const
{
    if (ram.size() < SimMap::RamSize)
        return;
    // Port A bit 1 reads the battery-type switch (set: rechargeable), bit 0
    // the On/Off button (clear: pressed). The pressure switch, port E bit 3,
    // opens (reads set) when the running pump (port B bit 1 low) is clogged.
    quint8 a = quint8(ram[SimMap::PortAData]);
    a = m_knobs.rechargeable && !m_faults.batterySwitch ? quint8(a | 0x02) : quint8(a & ~0x02);
    if (m_faults.button)
        a = quint8(a & ~0x01);
    ram[SimMap::PortAData] = char(a);
    const bool pumpOn = !(quint8(ram[SimMap::PortBData]) & 0x02);
    quint8 e = quint8(ram[SimMap::PortEData]);
    e = pumpOn && m_knobs.pumpClogged ? quint8(e | 0x08) : quint8(e & ~0x08);
    ram[SimMap::PortEData] = char(e);
}

void CSimTestBox::AfterRamWrite(QByteArray &ram, int address, int count) const
{
    if (m_faults.ram && address <= StuckRamAddress && StuckRamAddress < address + count && StuckRamAddress < ram.size())
        ram[StuckRamAddress] = char(quint8(ram[StuckRamAddress]) & ~StuckRamBit);
}

void CSimTestBox::AfterTimeKeeperWrite(QByteArray &timeKeeper, int offset, int count) const
{
    if (m_faults.timeKeeper && offset <= StuckTimeKeeperOffset && StuckTimeKeeperOffset < offset + count
        && StuckTimeKeeperOffset < timeKeeper.size())
        timeKeeper[StuckTimeKeeperOffset] = char(quint8(timeKeeper[StuckTimeKeeperOffset]) & ~StuckTimeKeeperBit);
}
