// One decoded data-log entry: a reading, an event, a start or end marker, or a record that could not be placed.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>

/*
 * What each kind fills (everything else stays zero or empty):
 *
 *   Data    flags   bits 0-7 value present, bits 16-23 over-range (slot order
 *                   HC, O2, Toxic 1, Toxic 2, T1 STEL, T2 STEL, T1 TWA, T2 TWA),
 *                   bit 24 battery present
 *           unitBit HC unit bit, 1 << range index (1 %LEL .. 32 %HI, 64/128
 *                   unnamed); 0 when the record carried no HC value
 *           values  HC as the raw 14-bit count; O2 in percent; toxic values
 *                   divided by their sensor's divisor; battery in volts
 *   Event   code    the event code 0-255, or NoCode when the record ended
 *                   before its code byte
 *           param   codes 4, 26, 29, 33, 63, 79, 80, 113, 133: the 16-bit
 *                   parameter; codes 30-32: the sensor mask (bit 0 HC, 1 O2,
 *                   2 Toxic 1, 3 Toxic 2)
 *           values  codes 30-32: raw counts of HC, O2, Toxic 1, Toxic 2 in
 *                   slots 0-3
 *           unitBit codes 30-32: the HC unit bit of their HC word
 *           text    codes 7, 8, 9, 67: the ID or gas-name text (at most 16
 *                   characters); toxic codes 101-136: the gas name
 *
 * time is wall-clock time of the instrument, kept in UTC only so that no
 * daylight-saving rule of this computer can shift or invalidate it.
 *
 * truncated: the record was shorter than its kind, mask or event code needs.
 * What fitted was decoded; the rest is absent (flags clear, parameters zero).
 * The list shows such entries with LogText::TruncatedMarker after the type text.
 */
struct LogRecord
{
    enum Kind : int {
        Data = 0,
        RecoverableEvent = 1,
        Config = 2,
        Event = 3,
        StartOfLog = 4,
        EndOfLog = 5,
        Illegal = 6
    };

    enum Slot : int {
        HC = 0,
        O2 = 1,
        Toxic1 = 2,
        Toxic2 = 3,
        Toxic1Stel = 4,
        Toxic2Stel = 5,
        Toxic1Twa = 6,
        Toxic2Twa = 7,
        Battery = 8,
        SlotCount = 9
    };

    static constexpr quint32 BatteryPresent = 1u << 24;
    static constexpr quint32 NoCode = 0x100;
    // Raw values that the instrument writes for a reading beyond its range.
    static constexpr int HCOverRange = 0x3FFF;
    static constexpr int OverRange9Bit = 0x1FF;

    static constexpr quint32 PresentBit(int slot) { return 1u << slot; }
    static constexpr quint32 OverRangeBit(int slot) { return 1u << (16 + slot); }

    QDateTime time;
    Kind kind = Illegal;
    quint32 flags = 0;
    quint32 code = 0;
    quint32 param = 0;
    quint32 unitBit = 0;
    std::array<double, SlotCount> values{};
    QString text;
    bool truncated = false;
    QByteArray raw;

    // A "Start of data log" or "End of data log" entry at the given time.
    static LogRecord Marker(Kind kind, const QDateTime &time);

    bool IsEvent(int eventCode) const { return kind == Event && code == quint32(eventCode); }
    // Slots 0-7; the battery has its own flag.
    bool Present(int slot) const { return slot >= 0 && slot < 8 && (flags & PresentBit(slot)); }
    bool IsOverRange(int slot) const { return slot >= 0 && slot < 8 && (flags & OverRangeBit(slot)); }
    bool HasBattery() const { return flags & BatteryPresent; }

    bool operator==(const LogRecord &other) const = default;
};
