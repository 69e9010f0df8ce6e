// One toxic gas record of the instrument's toxic table.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

/*
 * 94 bytes = 47 words, low byte first. Field words (levels marked /F are raw
 * counts; the shown value is raw divided by the record's Fraction):
 *   0-1   gas name, 3 characters: bytes 1, 0 and 3, because the instrument
 *         keeps each word of the name byte-swapped
 *   2, 3  "Alarm Minimum", "Alarm Maximum" (/F)
 *   4-7   "Cal Gas 1" .. "Cal Gas 4" (/F)
 *   8, 9  "STEL Alarm", "TWA Alarm" (/F)
 *   10    "Bias Timeout" (hundredths of a second)
 *   11    "Maximum Reading" (/F)
 *   12-27 "TempCo at -20C" .. "TempCo at 55C", 5 degree steps, fractions of 4096
 *   28-30 "Deadband", "Filtering", "Direction" (signed)
 *   31    "Fraction": 0 means 0.1
 *   32-38 "Minimum Value", "Maximum Value", "Minimum Offset", "Maximum Offset",
 *         "Minimum Span", "Maximum Span", "Weak Span"
 *   39, 40 "Default Warning Alarm", "Default High Alarm" (/F)
 *   41    "Default Cal Gas Index" (1 to 4)
 *   42-46 "Cal Wait Time", "Default Offset", "Default Span", "Mux Settings",
 *         "Span Attenuation"
 * Record 0 of the table is the entry for "no sensor fitted".
 */
class CToxicRecord
{
public:
    static constexpr int Size = 94;
    static constexpr int WordCount = Size / 2;
    static constexpr int TempCoCount = 16;

    enum Field {
        AlarmMinimumWord = 2, AlarmMaximumWord = 3, CalGas1Word = 4, StelAlarmWord = 8,
        TwaAlarmWord = 9, BiasTimeoutWord = 10, MaximumReadingWord = 11, TempCoWord = 12,
        DeadbandWord = 28, FilteringWord = 29, DirectionWord = 30, FractionWord = 31,
        MinimumValueWord = 32, MaximumValueWord = 33, MinimumOffsetWord = 34,
        MaximumOffsetWord = 35, MinimumSpanWord = 36, MaximumSpanWord = 37, WeakSpanWord = 38,
        DefaultWarningAlarmWord = 39, DefaultHighAlarmWord = 40, DefaultCalGasIndexWord = 41,
        CalWaitTimeWord = 42, DefaultOffsetWord = 43, DefaultSpanWord = 44,
        MuxSettingsWord = 45, SpanAttenuationWord = 46
    };

    // All bytes 0 until the instrument's record arrives.
    CToxicRecord();
    // The first Size bytes; missing ones stay 0.
    explicit CToxicRecord(const QByteArray &bytes);

    QByteArray Bytes() const;
    // Copies a received chunk to byte `offset` on; bytes beyond the record are
    // dropped. Returns the number of bytes stored.
    int Store(int offset, const QByteArray &bytes);

    // Word w (0..46); 0 outside.
    quint16 Word(int w) const;
    void SetWord(int w, quint16 value);

    // 3 characters, e.g. "H2 " or "CO ".
    QString GasName() const;
    void SetGasName(const QString &name);

    int AlarmMinimum() const { return Word(AlarmMinimumWord); }
    int AlarmMaximum() const { return Word(AlarmMaximumWord); }
    // n = 1..4; 0 for any other n.
    int CalGas(int n) const { return (n >= 1 && n <= 4) ? Word(CalGas1Word + n - 1) : 0; }
    int StelAlarm() const { return Word(StelAlarmWord); }
    int TwaAlarm() const { return Word(TwaAlarmWord); }
    int BiasTimeout() const { return Word(BiasTimeoutWord); }
    int MaximumReading() const { return Word(MaximumReadingWord); }
    // i = 0 for -20 C .. 15 for 55 C; 0 outside.
    int TempCo(int i) const { return (i >= 0 && i < TempCoCount) ? Word(TempCoWord + i) : 0; }
    int Deadband() const { return Word(DeadbandWord); }
    int Filtering() const { return Word(FilteringWord); }
    int Direction() const { return qint16(Word(DirectionWord)); }
    int Fraction() const { return Word(FractionWord); }
    int MinimumValue() const { return Word(MinimumValueWord); }
    int MaximumValue() const { return Word(MaximumValueWord); }
    int MinimumOffset() const { return Word(MinimumOffsetWord); }
    int MaximumOffset() const { return Word(MaximumOffsetWord); }
    int MinimumSpan() const { return Word(MinimumSpanWord); }
    int MaximumSpan() const { return Word(MaximumSpanWord); }
    int WeakSpan() const { return Word(WeakSpanWord); }
    int DefaultWarningAlarm() const { return Word(DefaultWarningAlarmWord); }
    int DefaultHighAlarm() const { return Word(DefaultHighAlarmWord); }
    int DefaultCalGasIndex() const { return Word(DefaultCalGasIndexWord); }
    int CalWaitTime() const { return Word(CalWaitTimeWord); }
    int DefaultOffset() const { return Word(DefaultOffsetWord); }
    int DefaultSpan() const { return Word(DefaultSpanWord); }
    int MuxSettings() const { return Word(MuxSettingsWord); }
    int SpanAttenuation() const { return Word(SpanAttenuationWord); }

    // Raw counts per shown unit: the Fraction, with 0 standing for 0.1.
    double Divisor() const;
    // raw / Divisor(); a Fraction of 0 multiplies by 10 exactly, so that
    // levels compare equal to the numbers the user typed.
    double Shown(int raw) const;

private:
    std::array<quint8, Size> m_bytes;
};
