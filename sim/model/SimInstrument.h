// The simulated instrument: its memories (TimeKeeper, RAM, word memory, ID
// entries, toxic table), its sensors and data log, and the firmware's answer
// to every request of the link protocol. Replies are the texts the instrument
// puts on the line; the front ends (serial line, gateway) carry them.
#pragma once

#include "SimDataLog.h"
#include "SimDisplay.h"
#include "SimMemoryMap.h"
#include "SimSensors.h"
#include "SimTestBox.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <functional>
#include <vector>

class CSimInstrument
{
public:
    using TimeSource = std::function<QDateTime()>;

    // One-character replies.
    static constexpr char Done = '#';
    // Understood but not carried out: an address or length outside the
    // memory, a protected word, a bank that does not exist.
    static constexpr char Refused = '$';
    // A word request before any bank was selected since power-on.
    static constexpr char NoBank = '%';
    // A record that cannot be read: not hexadecimal, wrong length, wrong
    // checksum, or a type the firmware does not know.
    static constexpr char Unreadable = '*';
    // Sent unasked when the instrument starts up.
    static constexpr char PowerOnAnnouncement = '*';

    // now: where the instrument's time comes from (the system clock when
    // empty); seed: the sensors' wandering.
    explicit CSimInstrument(TimeSource now = {}, quint32 seed = 1);

    // Carries out one request cut by CSimReceiver (a record text or "!", "?",
    // "Z") and returns the reply text.
    QByteArray Handle(const QByteArray &request);

    // A restart: the bank selection and program mode are forgotten, the
    // averages restart. Returns what the instrument sends unasked.
    QByteArray PowerCycle();

    QDateTime Now() const;
    void SetTimeSource(TimeSource now);

    // TimeKeeper: 64 bytes; bytes 0..6 are the running clock in BCD.
    QByteArray TimeKeeper() const;
    quint8 TimeKeeperByte(int offset) const;
    void SetTimeKeeper(int offset, const QByteArray &bytes);
    QDateTime Clock() const;
    void SetClock(const QDateTime &when);

    // RAM, 2048 bytes. Reads give the display memory as the firmware last drew it.
    QByteArray Ram(int address, int count) const;
    void SetRam(int address, const QByteArray &bytes);

    // Word memory, 0x28000 words; bytes are low byte first, as on the line.
    quint16 Word(quint32 word) const;
    void SetWord(quint32 word, quint16 value);
    QByteArray WordBytes(quint32 word, int byteCount) const;
    void SetWordBytes(quint32 word, const QByteArray &bytes);
    // Sector index 0..6 holding the word, or -1 outside the sectors.
    static int SectorOf(quint32 word);
    void EraseSector(int sector);

    // Configuration sector identity.
    quint16 ConfigurationChecksum() const; // what word 0xC003 must hold
    bool IsConfigurationValid() const;
    void UpdateConfigurationChecksum();
    QByteArray ConfigurationText() const;
    void SetConfigurationText(const QByteArray &text);
    quint32 SerialNumber() const;
    void SetSerialNumber(quint32 serial);
    QDateTime ProgrammingDate() const;
    void SetProgrammingDate(const QDateTime &when);
    QByteArray Version() const; // as the status bar reads it, e.g. "1.42"
    void SetVersion(const QByteArray &fourCharacters);
    QByteArray RangeRecord(int range) const;

    // ID entries 1..81, 16 characters each.
    QByteArray IdEntry(int index) const;
    void SetIdEntry(int index, const QByteArray &text);

    // Toxic gas table, 94-byte records.
    int ToxicCount() const { return int(m_toxic.size()); }
    QByteArray ToxicRecord(int index) const;
    void SetToxicRecord(int index, const QByteArray &record);
    void SetToxicTable(const QList<QByteArray> &records);

    // Link state.
    int Bank() const { return m_bank; }
    bool ProgramMode() const { return m_programMode; }
    quint8 Keys() const { return m_keys; }
    void PressKeys(quint8 keys);

    // Live values as the link carries them.
    QByteArray LiveBlock(int block);
    QByteArray AnalogA();
    QByteArray AnalogB();
    QByteArray Battery();
    quint8 Port() const;
    QByteArray BoardTestReply(int type) const;

    CSimSensors &Sensors() { return m_sensors; }
    CSimDataLog &Log() { return m_log; }
    // The production test box the board sits in, with its faults.
    CSimTestBox &TestBox() { return m_testBox; }
    // The display's screen and on/off state, which the buttons change.
    const CSimDisplay &Display() const { return m_display; }

    // Settings decoded the way the firmware uses them.
    int HcRange() const;
    int ToxicGas(int toxic) const; // table index of Toxic 1 (0) or Toxic 2 (1)
    double ToxicFraction(int toxic) const;
    int LogIntervalSeconds() const;

private:
    QByteArray HandleCharacter(char c);
    QByteArray HandleRecord(int type, unsigned address, const QByteArray &data);
    QByteArray HandleWordRequest(int type, unsigned address, const QByteArray &data);
    QByteArray Reply(int type, unsigned address, const QByteArray &data) const;
    static QByteArray Character(char c) { return QByteArray(1, c); }

    void Advance();
    void DrawDisplay();
    quint16 SettingsWord(int offset) const;
    quint16 HcRaw(double lel) const;
    quint16 ToxicRaw(int toxic, double value) const;
    quint16 AnalogRaw(double volts) const;
    bool Fitted(int sensor) const;
    QByteArray ClockBytes() const;

    TimeSource m_now;
    QByteArray m_timeKeeper;
    qint64 m_clockOffset = 0; // instrument clock minus the time source, seconds
    QByteArray m_ram;
    std::vector<quint16> m_words;
    QList<QByteArray> m_ids;
    QList<QByteArray> m_toxic;
    CSimSensors m_sensors;
    CSimDataLog m_log;
    CSimTestBox m_testBox;
    CSimDisplay m_display;
    int m_bank = -1;
    bool m_programMode = false;
    quint8 m_keys = 0;
    QByteArray m_boardTest[4];
    quint16 m_stelPointer = 0xA3C0;
    quint16 m_twaPointer = 0xB1E0;
};
