// The instrument's settings in its own packed form, with the conversions between stored and shown values.
#pragma once

#include "RangeRecord.h"
#include "SettingsCodec.h"
#include "ToxicRecord.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class CWordImage;

/*
 * Holds, for one instrument:
 *  - the TimeKeeper block: 64 bytes of the clock-and-settings memory, kept byte
 *    for byte as uploaded so a download writes back exactly what came in;
 *  - the ID table: 81 entries of 16 characters (1-64 Location IDs,
 *    65-80 Operator IDs, 81 the Instrument ID);
 *  - the toxic table: one 94-byte record per selectable toxic gas;
 *  - a view of the range table, read from the document's word image.
 *
 * TimeKeeper layout (words low byte first, bit 0 least significant):
 *   0-7   clock registers, BCD: seconds (bit 7 not ours), minutes, hours
 *         (bits 6-7 not ours), day of week, day, month, year, control
 *   8-14  CalOffset1-0..1-3, CalOffset2, 3, 4 (16-bit words)
 *   22    CalGas1 b0-3, HCRangeIndex b4-5, CalSpan1 b6-15
 *   24    CalGas2 b0-3, O2AlarmConfiguration b4-5, CalSpan2 b6-15
 *   26    CalGas3 b0-1, AlarmDelay b2-3, ComfortAlert b4-5, CalSpan3 b6-15
 *   28    CalGas4 b0-1, reserved b2-5, CalSpan4 b6-15
 *   30-36 HighAlarm1-r b0-9, CalDac r bits 0-5 in b10-15
 *   38    HighAlarm2 b0-9, CalWord bits 0-4 in b10-14, AlarmLatch b15
 *   40    HighAlarm3 b0-9, PassWord bits 0-4 in b10-14, LunchBreak b15
 *   42    HighAlarm4 b0-9, LogWord bits 0-4 in b10-14, BumpTest b15
 *   44-50 WarningAlarm1-r b0-9, CalDac r bits 6-11 in b10-15
 *   52    WarningAlarm2 b0-9, CalWord bits 5-9 in b10-14, reserved b15
 *   54    WarningAlarm3 b0-9, PassWord bits 5-9 in b10-14, reserved b15
 *   56    WarningAlarm4 b0-9, LogWord bits 5-9 in b10-14, TemperatureAlarm b15
 *   58    LastCalDate b0-8 (day of year), CalInterval b9-14, reserved b15
 *   60    byte: Sensor3 gas b0-3, Sensor4 gas b4-7 (toxic table indexes)
 *   61    byte: Sensor1..Sensor4 fitted b0-3, BackLightDelay b4-7
 *   62    byte: OperatorIndex-1 b0-3, LogInterval b4-6, LogMemoryManager b7
 *   63    byte: LocationIndex-1 b0-5, LogAverages b6-7
 * Every setter changes only its own bits; reserved bits and the clock
 * registers 3 and 7 keep whatever the instrument or the options file gave.
 *
 * Sensors are numbered as in the option keys: 1 HC (combustible), 2 O2,
 * 3 Toxic 1, 4 Toxic 2. Per-range HC fields take a range 0..3, or
 * CurrentRange for the range in HCRangeIndex; any other range makes a getter
 * return 0 and a setter do nothing. The range argument is ignored for
 * sensors 2 to 4. An unknown sensor number reads 0 and writes nothing.
 *
 * Alarm levels are stored as 10-bit raw counts = shown level x scale, where
 * the scale is 10 or 1 for HC (by the range's Full Scale; PPM ranges count
 * in tens), 10 for O2 and the gas record's Fraction for the toxic sensors.
 */
class CSettingsImage
{
public:
    using NowProvider = std::function<QDateTime()>;

    enum Sensor { SensorHC = 1, SensorO2 = 2, SensorToxic1 = 3, SensorToxic2 = 4 };
    static constexpr int CurrentRange = -1;

    static constexpr int TimeKeeperSize = 64;
    static constexpr int ClockSize = 7;       // registers 0-6 travel as one piece
    static constexpr int SettingsOffset = 8;  // settings bytes 8-63

    static constexpr int IdEntryCount = 81;
    static constexpr int IdLength = 16;
    static constexpr int FirstLocationEntry = 1;  // Location ID n is entry n
    static constexpr int FirstOperatorEntry = 65; // Operator ID n is entry 64 + n
    static constexpr int InstrumentIdEntry = 81;
    static constexpr int OperatorCount = 16;
    static constexpr int LocationCount = 64;

    // words: the document's flash image, which holds the range table; it must
    // outlive this object. now: local date and time, for LastCalDate; the
    // system clock when empty.
    explicit CSettingsImage(const CWordImage &words, NowProvider now = {});

    // ---- raw TimeKeeper block ----
    const std::array<quint8, TimeKeeperSize> &TimeKeeperBytes() const { return m_block; }
    std::array<quint8, TimeKeeperSize> &TimeKeeperBytes() { return m_block; }
    // Copies received bytes to `offset` on, dropping what falls beyond byte 63.
    // Returns the number of bytes stored.
    int StoreTimeKeeper(int offset, const QByteArray &bytes);
    // Bytes offset..offset+count-1, cut to the block.
    QByteArray TimeKeeperPiece(int offset, int count) const;

    // ---- ID table ----
    // Pads with spaces and cuts to 16 characters.
    static QString NormaliseId(const QString &text);
    // entry 1..81; empty text outside.
    QString IdEntry(int entry) const;
    // Ignored outside 1..81.
    void SetIdEntry(int entry, const QString &text);
    // The 16 characters as sent on the link (Latin-1; others become '?').
    QByteArray IdEntryBytes(int entry) const;
    // Takes received characters (Latin-1) as entry text; ignored outside 1..81.
    void StoreIdEntry(int entry, const QByteArray &bytes);
    QString OperatorId(int n) const { return IdEntry(FirstOperatorEntry - 1 + n); }     // n 1..16
    QString LocationId(int n) const { return IdEntry(FirstLocationEntry - 1 + n); }     // n 1..64
    QString InstrumentId() const { return IdEntry(InstrumentIdEntry); }
    void SetOperatorId(int n, const QString &text);
    void SetLocationId(int n, const QString &text);
    void SetInstrumentId(const QString &text) { SetIdEntry(InstrumentIdEntry, text); }

    // ---- toxic table ----
    int ToxicCount() const { return int(m_toxic.size()); }
    // As many records as the instrument reports (0..255); new records are blank.
    void SetToxicCount(int count);
    // Record `index`; an index outside the table gives record 0, and a blank
    // record while the table is empty.
    const CToxicRecord &ToxicRecord(int index) const;
    // Ignored outside the table.
    void SetToxicRecord(int index, const CToxicRecord &record);
    // Copies a received chunk into record `index` at byte `offset`, bounded by
    // the record. Returns the number of bytes stored (0 for an unknown record).
    int StoreToxicChunk(int index, int offset, const QByteArray &bytes);
    // Name of record `index` (record 0's for an index outside the table).
    QString ToxicGasName(int index) const { return ToxicRecord(index).GasName(); }
    // The first record whose name without trailing spaces equals `name`
    // exactly (case counts); 0 when none does.
    int FindToxicGas(const QString &name) const;

    // ---- range table (read from the word image) ----
    // Record r; r outside 0..3 reads record 0.
    CRangeRecord RangeRecord(int r) const;
    QString RangeName(int r) const { return RangeRecord(r).Label(); }
    // True when a received block of byteCount bytes at word address `word`
    // overlaps range record r (0..3).
    static bool BlockTouchesRangeRecord(qint64 word, int byteCount, int r);
    // Range 0's HC Supply is "TC": the Toxic 2 slot carries the HC sensor's
    // thermal-conductivity channel.
    bool Toxic2CarriesTC() const;
    // The unit the HC calibration gas is given in: range 0's Display Units, or
    // range 1's when range 0 is %GAS or %HI.
    int HCCalGasUnits() const;

    // ---- level conversions ----
    // Raw counts per shown unit of the sensor (HC: of the range; outside 0..3
    // range 0's record). Also decides the decimals a level is shown with.
    double LevelScale(int sensor, int range = CurrentRange) const;
    // raw -> shown level (HC PPM ranges x 10).
    double RawToShown(int sensor, int raw, int range = CurrentRange) const;
    // shown level -> raw, rounded to nearest and cut to 10 bits.
    int ShownToRaw(int sensor, double shown, int range = CurrentRange) const;

    // ---- calibration offsets, spans and DACs ----
    // 16-bit offset; sensor 1 per range.
    int GetCalOffset(int sensor, int range = CurrentRange) const;
    void SetCalOffset(int sensor, int range, int value);
    // Span word with bits 0-5 cleared (a multiple of 64); the setter keeps bits 6-15 of value.
    int GetCalSpan(int sensor) const;
    void SetCalSpan(int sensor, int value);
    // CalDac0..CalDac3: 12 bits 0..4095, per HC range.
    int GetCalDac(int range = CurrentRange) const;
    void SetCalDac(int range, int value);

    // ---- alarm levels (shown values) ----
    double GetHighAlarm(int sensor, int range = CurrentRange) const;
    void SetHighAlarm(int sensor, int range, double shown);
    double GetWarningAlarm(int sensor, int range = CurrentRange) const;
    void SetWarningAlarm(int sensor, int range, double shown);
    // Raw 10-bit counts, for callers that compare stored values.
    int GetHighAlarmRaw(int sensor, int range = CurrentRange) const;
    int GetWarningAlarmRaw(int sensor, int range = CurrentRange) const;

    // ---- calibration gases (shown values) ----
    // 1: 5 x (code + 1) in the HC unit, %VOL and %LOW in tenths (0.3 .. 4.0);
    // 2: whole %VOL 0..15; 3, 4: Cal Gas n / Fraction of the sensor's gas record.
    double GetCalGas(int sensor) const;
    // The value is turned into the code or choice that gives it.
    void SetCalGas(int sensor, double value);
    // The raw code (sensor 1, 2: 0..15) or choice (3, 4: 0..3).
    int GetCalGasCode(int sensor) const;

    // ---- passwords: 10-bit numbers shown as "%03u", "***" for 1000..1023 ----
    // Texts as CSettingsCodec::PasswordText and ParsePassword give and take them.
    QString GetCalWord() const;
    void SetCalWord(const QString &text);
    QString GetPassWord() const;
    void SetPassWord(const QString &text);
    QString GetLogWord() const;
    void SetLogWord(const QString &text);

    // ---- dates and the clock ----
    // The year is not stored: the last date with that day of the year that is
    // not in the future (1 January of this year + n - 1 days, else of last year).
    QDate GetLastCalDate() const;
    // Stores the date's day of the year; an invalid date stores 0.
    void SetLastCalDate(const QDate &date);
    // Decoded clock registers 0-6 (local time), as CSettingsCodec::DecodeBcdDateTime.
    QDateTime GetClock() const;
    // Writes year mod 100, month, day, hours, minutes and seconds as BCD;
    // registers 3 and 7, bit 7 of the seconds and bits 6-7 of the hours keep
    // their values. An invalid date and time changes nothing.
    void SetClock(const QDateTime &when);
    void SetClockToNow() { SetClock(m_now()); }

    // ---- coded intervals ----
    // Calibration interval in days; the setter codes days 0-7 exactly, longer
    // intervals in whole weeks (code = days / 7 + 6, 6 bits).
    int GetCalInterval() const;
    void SetCalInterval(int days);
    // Seconds, by the tables of CSettingsCodec; setters take the first code
    // whose time is at least the one asked for, else the longest.
    int GetAlarmDelay() const;
    void SetAlarmDelay(int seconds);
    int GetBackLightDelay() const;
    void SetBackLightDelay(int seconds);
    int GetLogInterval() const;
    void SetLogInterval(int seconds); // never writes code 0 (an alias of 60 s)

    // ---- indexes, switches, selectors and flags ----
    int GetHCRangeIndex() const;            // 0..3
    void SetHCRangeIndex(int range);
    int GetOperatorIndex() const;           // 1..16
    void SetOperatorIndex(int index);
    int GetLocationIndex() const;           // 1..64
    void SetLocationIndex(int index);
    // Sensor1..Sensor4 fitted: 0 or 1; the setter stores 1 for any non-zero value.
    int GetSensor(int sensor) const;
    void SetSensor(int sensor, int fitted);
    // Toxic table index of the gas of sensor 3 or 4 (0..15).
    int GetSensorGas(int sensor) const;
    void SetSensorGas(int sensor, int index);
    // Gas name of sensor 3 or 4: record 0's when the sensor is not fitted.
    QString SensorGasName(int sensor) const;
    // "%  " for hydrogen ("H2 "), else "PPM", from SensorGasName.
    QString SensorUnits(int sensor) const;

    int GetO2AlarmConfiguration() const;    // 0 "2-Inc", 1 "1-Inc 1-Dec", 2 "2-Dec"
    void SetO2AlarmConfiguration(int value);
    int GetComfortAlert() const;            // 0..3
    void SetComfortAlert(int value);
    int GetAlarmLatch() const;              // 0 manual, 1 auto reset
    void SetAlarmLatch(int value);
    int GetLunchBreak() const;              // 0 retain, 1 reset averages
    void SetLunchBreak(int value);
    int GetBumpTest() const;
    void SetBumpTest(int value);
    int GetTemperatureAlarm() const;
    void SetTemperatureAlarm(int value);
    int GetLogMemoryManager() const;        // 0 stop, 1 overwrite on full
    void SetLogMemoryManager(int value);
    int GetLogAverages() const;             // 0 none, 1 STEL, 2 TWA, 3 both
    void SetLogAverages(int value);

private:
    struct Field
    {
        int offset; // byte offset in the block
        int width;  // 1 byte or 2 (a word, low byte first)
        int shift;
        int bits;
    };
    unsigned Get(Field f) const;
    void Set(Field f, unsigned value);

    // -1 when the range is neither 0..3 nor CurrentRange.
    int ResolveRange(int range) const;
    // The word offset of a per-sensor level field; -1 for an unknown sensor or range.
    int LevelOffset(int firstHC, int o2, int sensor, int range, int *resolved) const;
    int Password(int firstOffset) const;
    void SetPassword(int firstOffset, int value);

    const CWordImage &m_words;
    NowProvider m_now;
    std::array<quint8, TimeKeeperSize> m_block{};
    QStringList m_ids;
    QList<CToxicRecord> m_toxic;
};
