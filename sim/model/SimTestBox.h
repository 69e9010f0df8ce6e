// The production test box around a bare main board: the signals it feeds the
// board (battery, temperature, sensor inputs, switches), the board-test
// firmware's answers to records 240-243, and faults to put on the board.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Board faults, each fixed at one place so that a test knows what to expect.
struct SimBoardFaults
{
    bool ram = false;           // a RAM bit stuck low
    bool timeKeeper = false;    // a TimeKeeper settings bit stuck low
    bool flash = false;         // a flash sector that will not erase
    bool analog = false;        // the O2 amplifier at half its gain
    bool button = false;        // the On/Off button stuck pressed
    bool batterySwitch = false; // the battery-type switch stuck at Alkaline
    bool recovery = false;      // the boot loader refuses program mode
    bool battery = false;       // the battery sense divider reads 10 % low

    bool Any() const { return ram || timeKeeper || flash || analog || button || batterySwitch || recovery || battery; }
    // "ram", "timekeeper", "flash", "analog", "button", "batteryswitch",
    // "recovery", "battery", or several joined by commas; false with the
    // unknown word in *bad.
    static bool Parse(const QString &text, SimBoardFaults &faults, QString *bad = nullptr);
    static QStringList Names();
};

class CSimTestBox
{
public:
    // Where the faults sit.
    static constexpr int StuckRamAddress = 700;
    static constexpr quint8 StuckRamBit = 0x04;
    static constexpr int StuckTimeKeeperOffset = 37;
    static constexpr quint8 StuckTimeKeeperBit = 0x01;
    static constexpr int StuckSector = 2; // words 0xB000..0xBFFF
    static constexpr double BatterySenseFactor = 0.9;

    // The knobs and switches of the box, as the operator sets them. The
    // defaults are the box's default positions.
    struct Knobs
    {
        double batteryVolts = 5.5;
        double temperatureC = 22.0;
        double hcMillivolts = 0.0;
        double tcMillivolts = 0.0;
        double o2Millivolts = 0.0;
        double toxicMicroamps[2] = {0.0, 0.0};
        bool toxicConnected[2] = {true, true};
        bool rechargeable = false;
        bool pumpClogged = false;
    };

    Knobs &Box() { return m_knobs; }
    const Knobs &Box() const { return m_knobs; }
    const SimBoardFaults &Faults() const { return m_faults; }
    void SetFaults(const SimBoardFaults &faults) { m_faults = faults; }

    // The reply data of a board-test request; empty when the request is
    // malformed (the firmware then refuses it).
    QByteArray Handle(int type, const QByteArray &data);

    // What the converter channel reads now, 0..5 V on 16 bits.
    quint16 Raw(int channel) const;
    double Volts(int channel) const;
    int HcPart() const { return m_hcPart; }
    quint8 Mux(int toxic) const { return m_mux[toxic & 1]; }
    bool TestMode() const { return m_testMode; }

    // Hooks of the instrument model. The box's switches reach the port
    // images before RAM is read; faults bite after the memories are written.
    void BeforeRamRead(QByteArray &ram) const;
    void AfterRamWrite(QByteArray &ram, int address, int count) const;
    void AfterTimeKeeperWrite(QByteArray &timeKeeper, int offset, int count) const;
    bool RefusesErase(int sector) const { return m_faults.flash && sector == StuckSector; }
    // A request to turn program mode on (the recovery marker among them).
    bool RefusesProgramMode(bool on) const { return m_faults.recovery && on; }

    // Kilohms of the toxic amplifier's gain steps, and volts per millivolt
    // of the combustible amplifier's parts (1..3).
    static double ToxicGainKiloohms(int gain);
    static double HcPartGain(int part);

private:
    Knobs m_knobs;
    SimBoardFaults m_faults;
    int m_hcPart = 1;
    quint8 m_mux[2] = {0, 0};
    bool m_testMode = false;
    quint8 m_settling = 0;
};
