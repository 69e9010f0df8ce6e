// The board test's digital I/O group.
#include "BoardTestDigitalGroup.h"

#include "BoardTestSequence.h"
#include "document/InstrumentDoc.h"

namespace {
// RAM addresses of the port images the firmware keeps.
constexpr int PortsAB = 16;     // A data, B direction, B data
constexpr int PortAData = 16;
constexpr int PortBData = 18;
constexpr int PortsE = 276;     // E direction, E data
constexpr int PortEData = 277;
constexpr int PortsFG = 1296;   // F direction, F data, G direction, G data
constexpr int PortFData = 1297;
constexpr int PortGData = 1299;
constexpr quint8 LelSupplyBits = 0x0C; // port F bits 2 and 3
} // namespace

CBoardTestDigitalGroup::CBoardTestDigitalGroup(CBoardTestSequence &sequence) : m_seq(sequence), m_doc(sequence.m_doc)
{
}

void CBoardTestDigitalGroup::StartLeaf(int position)
{
    auto end = [this](bool passed) { m_seq.EndLeaf(passed); };
    const QString button = QStringLiteral("Button Test");
    const QString battery = QStringLiteral("Battery Type Test");
    const QString pump = QStringLiteral("Pump Pressure Switch");
    switch (position) {
    case 0:
        ButtonReleased(QStringLiteral("On/Off"), PortAData, 0);
        break;
    case 1:
        WaitForBit(button, QStringLiteral("Push the On/Off button"), PortsAB, 3, PortAData, 0, false, end);
        break;
    case 2:
        ButtonReleased(QStringLiteral("UP"), PortBData, 6);
        break;
    case 3:
        WaitForBit(button, QStringLiteral("Push the UP button"), PortsAB, 3, PortBData, 6, false, end);
        break;
    case 4:
        ButtonReleased(QStringLiteral("DOWN"), PortBData, 7);
        break;
    case 5:
        WaitForBit(button, QStringLiteral("Push the DOWN button"), PortsAB, 3, PortBData, 7, false, end);
        break;
    case 6:
        WaitForBit(battery, QStringLiteral("Set the battery type to Alkaline"), PortsAB, 3, PortAData, 1, false, end);
        break;
    case 7:
        WaitForBit(battery, QStringLiteral("Set the battery type to Rechargeable"), PortsAB, 3, PortAData, 1, true, end);
        break;
    case 8:
        SwitchTest(PortsAB, 3, PortBData, 3, false, QStringLiteral("Speaker"), QStringLiteral("Is the speaker on ?"));
        break;
    case 9:
        SwitchTest(PortsAB, 3, PortBData, 0, false, QStringLiteral("Left Alarm LEDs"), QStringLiteral("Are the left alarm LEDs on ?"));
        break;
    case 10:
        SwitchTest(PortsFG, 4, PortGData, 5, false, QStringLiteral("Right Alarm LEDs"), QStringLiteral("Are the right alarm LEDs on ?"));
        break;
    case 11:
        SwitchTest(PortsAB, 3, PortBData, 2, true, QStringLiteral("Back Light"), QStringLiteral("Is the LCD back light on ?"));
        break;
    case 12:
        // The pump stays on for the two pressure checks that follow.
        m_seq.ReadRamThen(PortsAB, 3, [this] {
            m_seq.WriteRamThen(PortBData, quint8(m_seq.RamByte(PortBData) & ~0x02), [this] {
                m_seq.Ask(QStringLiteral("Pump Voltage"),
                    m_seq.LimitText("Is the pump voltage between %.2lfV and %.2lfV ?", QStringLiteral("Pump Voltage")),
                    [this](bool yes) { m_seq.EndLeaf(yes); });
            });
        });
        break;
    case 13:
        WaitForBit(pump, QStringLiteral("Checking with the pump on"), PortsE, 2, PortEData, 3, false, end);
        break;
    case 14:
        WaitForBit(pump, QStringLiteral("Clog the pump"), PortsE, 2, PortEData, 3, true, [this](bool passed) {
            m_seq.ReadRamThen(PortsAB, 3, [this, passed] {
                m_seq.WriteRamThen(PortBData, quint8(m_seq.RamByte(PortBData) | 0x02), [this, passed] { m_seq.EndLeaf(passed); });
            });
        });
        break;
    case 15:
        LelSupply(0x0C, QStringLiteral("2.2V LEL Voltage"), QStringLiteral("Is the LEL supply voltage between %.2lfV and %.2lfV ?"), false);
        break;
    case 16:
        LelSupply(0x08, QStringLiteral("1V LEL Voltage"), QStringLiteral("Is the LEL supply voltage between %.2lfV and %.2lfV ?"), false);
        break;
    case 17:
        LelSupply(0x04, QStringLiteral("2V TC Voltage"), QStringLiteral("Is the TC supply voltage between %.2lfV and %.2lfV ?"), true);
        break;
    default:
        m_seq.EndLeaf(false);
        break;
    }
}

void CBoardTestDigitalGroup::ButtonReleased(const QString &name, int address, int bit)
{
    m_seq.ReadRamThen(PortsAB, 3, [this, name, address, bit] {
        if (m_seq.RamByte(address) & (1u << bit)) {
            m_seq.EndLeaf(true);
            return;
        }
        m_seq.Ask(QStringLiteral("Button Test"), QStringLiteral("Is the %1 button pushed ?").arg(name),
            [this, name, address, bit](bool yes) {
                if (yes)
                    ButtonReleased(name, address, bit);
                else
                    m_seq.EndLeaf(false);
            });
    });
}

void CBoardTestDigitalGroup::WaitForBit(const QString &title, const QString &text, int base, int count, int address,
                                        int bit, bool set, std::function<void(bool)> then)
{
    m_seq.ShowPrompt(title, text);
    m_seq.m_onCancel = [then] { then(false); };
    m_repeat = [this, base, count, address, bit, set, then] {
        m_seq.ReadRamThen(base, count, [this, address, bit, set, then] {
            const bool isSet = m_seq.RamByte(address) & (1u << bit);
            if (isSet == set) {
                m_seq.m_onCancel = nullptr;
                m_seq.HidePrompt();
                then(true);
            } else {
                m_seq.Later([this] { m_repeat(); }, m_seq.m_readIntervalMs);
            }
        });
    };
    m_repeat();
}

void CBoardTestDigitalGroup::SwitchTest(int base, int count, int address, int bit, bool setIsOn, const QString &caption,
                                        const QString &question)
{
    const quint8 mask = quint8(1u << bit);
    m_seq.ReadRamThen(base, count, [=, this] {
        const quint8 original = m_seq.RamByte(address);
        const quint8 on = setIsOn ? quint8(original | mask) : quint8(original & ~mask);
        const quint8 off = setIsOn ? quint8(original & ~mask) : quint8(original | mask);
        m_seq.WriteRamThen(address, on, [=, this] {
            m_seq.Ask(caption, question, [=, this](bool yes) { m_seq.WriteRamThen(address, off, [this, yes] { m_seq.EndLeaf(yes); }); });
        });
    });
}

void CBoardTestDigitalGroup::LelSupply(quint8 bits, const QString &key, const QString &question, bool last)
{
    const bool first = bits == 0x0C;
    m_seq.ReadRamThen(PortsFG, 4, [=, this] {
        const quint8 port = m_seq.RamByte(PortFData);
        if (first)
            m_portF = port;
        m_seq.WriteRamThen(PortFData, quint8((port & ~LelSupplyBits) | bits), [=, this] {
            const QByteArray format = question.toLatin1();
            m_seq.Ask(key, m_seq.LimitText(format.constData(), key), [=, this](bool yes) {
                if (!last) {
                    m_seq.EndLeaf(yes);
                    return;
                }
                // The supply goes back to what the firmware had chosen.
                m_seq.WriteRamThen(PortFData, quint8((port & ~LelSupplyBits) | (m_portF & LelSupplyBits)),
                             [this, yes] { m_seq.EndLeaf(yes); });
            });
        });
    });
}
