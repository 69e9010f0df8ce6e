// One record of the instrument's combustible (HC) range table.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

class CWordImage;

/*
 * 20 bytes, words low byte first:
 *   0-1   flags: bit 0 range not in use, bit 1 "Auto Range", bit 2 "Not CH4/Hex",
 *         bits 4-5 "Next Range", bits 6-7 "Double Click Range"
 *   2-5   "Label", 4 characters
 *   6     "HC Supply": 0 OFF, 1 TC, 2 ME, 3 LEL
 *   7     "Display Units": one of the unit bits below
 *   8-13  "Pot 1" .. "Pot 6"
 *   14-15 "Full Scale"
 *   16-17 "Alarm Minimum" (raw alarm counts)
 *   18-19 "Alarm Maximum" (raw alarm counts)
 * The table sits in flash at word 0xC020, 10 words per record, ranges 0 to 3.
 */
class CRangeRecord
{
public:
    static constexpr int Size = 20;
    static constexpr int Count = 4;
    static constexpr qint64 TableWord = 0xC020;
    static constexpr int WordsPerRecord = Size / 2;

    // Display Units codes; the same bits mark the HC unit in log records.
    enum Units { UnitLel = 1, UnitVol = 2, UnitPpm = 4, UnitGas = 8, UnitLow = 16, UnitHi = 32 };
    enum Supply { SupplyOff = 0, SupplyTc = 1, SupplyMe = 2, SupplyLel = 3 };

    // All bytes 0xFF, as an unread or erased table.
    CRangeRecord();
    // The first Size bytes; missing ones stay 0xFF.
    explicit CRangeRecord(const QByteArray &bytes);
    // Record r of the table in the image; r outside 0..3 reads record 0.
    static CRangeRecord FromImage(const CWordImage &image, int r);

    QByteArray Bytes() const;

    quint16 Flags() const { return Word(0); }
    bool NotInUse() const { return Flags() & 0x01; }
    bool AutoRange() const { return Flags() & 0x02; }
    bool NotCh4Hex() const { return Flags() & 0x04; }
    int NextRange() const { return (Flags() >> 4) & 3; }
    int DoubleClickRange() const { return (Flags() >> 6) & 3; }
    QString Label() const;
    int HCSupply() const { return m_bytes[6]; }
    int DisplayUnits() const { return m_bytes[7]; }
    // n = 1..6; 0 for any other n.
    int Pot(int n) const;
    int FullScale() const { return Word(14); }
    int AlarmMinimum() const { return Word(16); }
    int AlarmMaximum() const { return Word(18); }

    void SetFlags(quint16 flags) { SetWord(0, flags); }
    // Padded with blanks or cut to 4 characters (Latin-1).
    void SetLabel(const QString &label);
    void SetHCSupply(int supply) { m_bytes[6] = quint8(supply); }
    void SetDisplayUnits(int units) { m_bytes[7] = quint8(units); }
    void SetPot(int n, int value);
    void SetFullScale(int value) { SetWord(14, quint16(value)); }
    void SetAlarmMinimum(int raw) { SetWord(16, quint16(raw)); }
    void SetAlarmMaximum(int raw) { SetWord(18, quint16(raw)); }

    // Raw alarm counts per shown unit: ranges with a Full Scale below 75 keep tenths.
    double Scale() const { return FullScale() < 75 ? 10.0 : 1.0; }
    bool IsPpm() const { return DisplayUnits() == UnitPpm; }
    // A raw alarm count as the user sees it; PPM ranges count in tens.
    double ShownLevel(int raw) const;

    // "%LEL", "%VOL", "PPM", "%GAS", "%LOW", "%HI"; empty for any other code.
    static QString UnitLabel(int units);

private:
    quint16 Word(int offset) const { return quint16(m_bytes[size_t(offset)] | (m_bytes[size_t(offset) + 1] << 8)); }
    void SetWord(int offset, quint16 value);

    std::array<quint8, Size> m_bytes;
};
