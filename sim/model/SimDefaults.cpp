// Factory contents of the simulated instrument.
#include "SimDefaults.h"

#include "SimMemoryMap.h"

#include <iterator>

namespace SimDefaults {

const char ConfigurationText[] = "-02 %LEL HEX";
const char VersionText[] = "1.42";

namespace {

void PutWord(QByteArray &bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

// A fixed generator for memory that only needs to look like code or data.
class CFiller
{
public:
    explicit CFiller(quint32 seed) : m_state(seed) {}
    quint16 Next()
    {
        m_state = m_state * 1103515245u + 12345u;
        return quint16(m_state >> 8);
    }

private:
    quint32 m_state;
};

void Fill(std::vector<quint16> &words, quint32 from, quint32 to, quint32 seed)
{
    CFiller filler(seed);
    for (quint32 w = from; w < to; ++w)
        words[w] = filler.Next();
}

// Log-style sample words: small values with a slow wander, as averages are.
void FillSamples(std::vector<quint16> &words, quint32 from, quint32 to, quint32 seed)
{
    CFiller filler(seed);
    int level = 20;
    for (quint32 w = from; w < to; ++w) {
        level = qBound(0, level + int(filler.Next() % 5) - 2, 120);
        words[w] = quint16(level);
    }
}

struct GasDefaults
{
    const char *name;
    quint16 fraction;
    quint16 alarmMinimum, alarmMaximum;
    quint16 calGas[4];
    quint16 stel, twa;
    quint16 biasTimeout, maximumReading;
    quint16 deadband, filtering;
    qint16 direction;
    quint16 defaultWarning, defaultHigh, defaultCalGasIndex, calWaitTime;
    quint16 defaultOffset, defaultSpan, muxSettings, spanAttenuation;
};

// Raw values are the shown value times the fraction: CO in whole ppm, H2S,
// SO2, NO2 and Cl2 in tenths of a ppm, H2 in hundredths of a percent.
const GasDefaults Gases[] = {
    {"---", 1, 0, 0, {0, 0, 0, 0}, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0},
    {"CO ", 1, 5, 500, {50, 100, 200, 25}, 200, 35, 0, 999, 2, 4, 1, 25, 50, 2, 90, 2080, 16000, 0x0012, 100},
    {"H2S", 10, 10, 500, {250, 100, 500, 200}, 150, 100, 0, 1000, 3, 4, 1, 100, 200, 1, 90, 2010, 12000, 0x0021, 100},
    {"SO2", 10, 10, 500, {50, 100, 200, 20}, 50, 20, 0, 999, 3, 6, 1, 20, 50, 1, 120, 2040, 9000, 0x0022, 110},
    {"H2 ", 100, 10, 400, {100, 200, 50, 20}, 0, 0, 0, 200, 2, 4, 1, 40, 80, 1, 90, 2050, 14000, 0x0011, 100},
    {"NO2", 10, 10, 500, {50, 100, 200, 20}, 50, 30, 2000, 999, 3, 6, -1, 20, 50, 1, 150, 2600, 8000, 0x0033, 120},
    {"Cl2", 10, 5, 200, {50, 100, 20, 10}, 10, 5, 0, 500, 2, 8, -1, 5, 10, 1, 180, 2580, 7000, 0x0032, 130},
    {"NH3", 1, 5, 200, {50, 25, 100, 10}, 35, 25, 0, 200, 2, 6, 1, 25, 35, 1, 150, 2100, 6000, 0x0023, 100},
};

// Temperature compensation from -20 C to 55 C in fractions of 4096: sensors
// lose output in the cold and a little in the heat.
const quint16 TempCo[16] = {3380, 3560, 3710, 3830, 3930, 4010, 4060, 4096,
                            4115, 4125, 4125, 4115, 4095, 4065, 4025, 3975};

QByteArray ToxicRecord(const GasDefaults &g)
{
    QByteArray r(SimMap::ToxicRecordSize, '\0');
    // The name's characters sit byte-swapped in the first two words.
    r[1] = g.name[0];
    r[0] = g.name[1];
    r[3] = g.name[2];
    r[2] = ' ';
    PutWord(r, 4, g.alarmMinimum);
    PutWord(r, 6, g.alarmMaximum);
    for (int i = 0; i < 4; ++i)
        PutWord(r, 8 + 2 * i, g.calGas[i]);
    PutWord(r, 16, g.stel);
    PutWord(r, 18, g.twa);
    PutWord(r, 20, g.biasTimeout);
    PutWord(r, 22, g.maximumReading);
    if (g.alarmMaximum != 0) { // record 0 has no sensor to compensate
        for (int i = 0; i < 16; ++i)
            PutWord(r, 24 + 2 * i, TempCo[i]);
    }
    PutWord(r, 56, g.deadband);
    PutWord(r, 58, g.filtering);
    PutWord(r, 60, quint16(g.direction));
    PutWord(r, 62, g.fraction);
    PutWord(r, 64, 0);                  // minimum value
    PutWord(r, 66, g.maximumReading);   // maximum value
    PutWord(r, 68, quint16(g.defaultOffset * 3 / 4));
    PutWord(r, 70, quint16(g.defaultOffset * 5 / 4));
    PutWord(r, 72, quint16(g.defaultSpan / 2));
    PutWord(r, 74, quint16(qMin(65535, g.defaultSpan * 2)));
    PutWord(r, 76, quint16(g.defaultSpan * 2 / 3));
    PutWord(r, 78, g.defaultWarning);
    PutWord(r, 80, g.defaultHigh);
    PutWord(r, 82, g.defaultCalGasIndex);
    PutWord(r, 84, g.calWaitTime);
    PutWord(r, 86, g.defaultOffset);
    PutWord(r, 88, g.defaultSpan);
    PutWord(r, 90, g.muxSettings);
    PutWord(r, 92, g.spanAttenuation);
    return r;
}

struct RangeDefaults
{
    quint16 flags;
    const char *label;
    quint8 supply, unit;
    quint8 pots[6];
    quint16 fullScale, alarmMinimum, alarmMaximum;
};

// The four ranges a units choice sets up: catalytic %LEL and PPM on the
// thermal-conductivity label, and the same pair on the "NMC" label.
const RangeDefaults Ranges[SimMap::RangeCount] = {
    {0x0004 | (1 << 4) | (2 << 6), "TC  ", 3, 1, {126, 126, 126, 126, 22, 22}, 100, 5, 95},
    {0x0002 | 0x0004 | (0 << 4) | (2 << 6), "TC  ", 3, 4, {200, 200, 200, 200, 3, 3}, 1000, 5, 95},
    {0x0004 | (3 << 4), "NMC ", 2, 1, {126, 126, 126, 126, 22, 22}, 100, 5, 95},
    {0x0002 | 0x0004 | (2 << 4), "NMC ", 2, 4, {200, 200, 200, 200, 3, 3}, 1000, 5, 95},
};

void PutBytes(std::vector<quint16> &words, quint32 word, const QByteArray &bytes)
{
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        words[word + quint32(i / 2)] = quint16(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8));
}

} // namespace

QByteArray IdText(const QByteArray &text)
{
    QByteArray t = text.left(SimMap::IdEntryLength);
    t.append(QByteArray(SimMap::IdEntryLength - t.size(), ' '));
    return t;
}

QByteArray TimeKeeper()
{
    QByteArray tk(SimMap::TimeKeeperSize, '\0');
    const quint16 calDac = 776;
    for (int r = 0; r < 4; ++r) {
        PutWord(tk, 8 + 2 * r, 6755);                                    // CalOffset1-r
        PutWord(tk, 30 + 2 * r, quint16(50 | ((calDac & 0x3F) << 10)));  // HighAlarm1-r 50 %LEL (500 PPM)
        PutWord(tk, 44 + 2 * r, quint16(10 | ((calDac >> 6) << 10)));    // WarningAlarm1-r 10 %LEL (100 PPM)
    }
    PutWord(tk, 16, 21894);                                  // CalOffset2
    PutWord(tk, 18, 2080);                                   // CalOffset3 (CO)
    PutWord(tk, 20, 2010);                                   // CalOffset4 (H2S)
    PutWord(tk, 22, quint16((7000 & 0xFFC0) | (0 << 4) | 7)); // 40 %LEL cal gas, range 0
    PutWord(tk, 24, quint16((24700 & 0xFFC0) | (1 << 4) | 0)); // O2 "1-Inc 1-Dec", cal gas 0 %
    PutWord(tk, 26, quint16((16000 & 0xFFC0) | (1 << 4) | (1 << 2) | 1)); // CO 100 ppm, 1 s delay, beep
    PutWord(tk, 28, quint16((12000 & 0xFFC0) | 0));          // H2S 25 ppm
    // Passwords are all 1023 ("***", no password): five bits in each half.
    const quint16 five = 31 << 10;
    PutWord(tk, 38, quint16(235 | five | 0x8000));           // O2 high 23.5 %, auto reset
    PutWord(tk, 40, quint16(50 | five | 0x8000));            // CO high 50 ppm, reset averages
    PutWord(tk, 42, quint16(200 | five));                    // H2S high 20.0 ppm, no bump test
    PutWord(tk, 52, quint16(195 | five));                    // O2 warning 19.5 %
    PutWord(tk, 54, quint16(25 | five));                     // CO warning 25 ppm
    PutWord(tk, 56, quint16(100 | five | 0x8000));           // H2S warning 10.0 ppm, temperature alarm
    PutWord(tk, 58, quint16(45 | (10 << 9)));                // calibrated 14 February, every 28 days
    tk[60] = char(1 | (2 << 4));                             // Toxic 1 CO, Toxic 2 H2S
    tk[61] = char(0x0F | (2 << 4));                          // all four fitted, back light 15 s
    tk[62] = char(0 | (4 << 4) | 0x80);                      // operator 1, 60 s, overwrite on full
    tk[63] = char(1 | (3 << 6));                             // location 2, STEL and TWA logged
    return tk;
}

QList<QByteArray> ToxicTable()
{
    QList<QByteArray> table;
    for (const GasDefaults &g : Gases)
        table.append(ToxicRecord(g));
    return table;
}

QList<QByteArray> IdEntries()
{
    static const char *const Locations[] = {
        "Tank Farm North", "Pump House 2", "Boiler Room", "Loading Dock B", "Manhole M-14",
        "Compressor Shed", "Lab Fume Hood 3", "Sewer Lift Stn", "Reactor Hall", "Fuel Bay East",
    };
    static const char *const Operators[] = {"J. Morales", "K. Lindqvist", "A. Okafor", "P. Brandt", "S. Ito"};
    QList<QByteArray> entries;
    for (int i = 0; i < SimMap::IdEntryCount; ++i)
        entries.append(IdText({}));
    for (int i = 0; i < int(std::size(Locations)); ++i)
        entries[i] = IdText(Locations[i]);
    for (int i = 0; i < int(std::size(Operators)); ++i)
        entries[64 + i] = IdText(Operators[i]);
    entries[80] = IdText("DEMO UNIT 0217");
    return entries;
}

std::vector<quint16> WordMemory()
{
    using namespace SimMap;
    std::vector<quint16> words(WordCount, 0xFFFF);
    Fill(words, 0, BootAreaEnd, 0xB007);            // boot loader
    Fill(words, BootAreaEnd, 0x7000, 0x4000);       // application, low part
    Fill(words, 0x8000, 0x9000, 0x8000);            // application, code sector
    Fill(words, 0x9001, 0x97C0, 0x9001);
    words[0x9000] = MarkerCode;
    words[0xA000] = MarkerStel;
    FillSamples(words, 0xA001, 0xA3C0, 0xA001);
    words[0xB000] = MarkerTwa;
    FillSamples(words, 0xB001, 0xB1E0, 0xB001);
    words[CurrentLogSector] = MarkerCurrentLog;
    words[0x18000] = MarkerHistory;
    Fill(words, 0x18001, 0x19A40, 0x18001);

    // Configuration sector: marker, a layout revision, its fill pointer,
    // identity, text and range table.
    words[ConfigSectorStart] = MarkerCode;
    words[ConfigSectorStart + 1] = 0x0001;
    words[ConfigPointerWord] = quint16(RangeTableWord + RangeCount * RangeRecordBytes / 2 - ConfigSectorStart);
    words[SerialWord] = quint16(SerialNumber & 0xFFFF);
    words[SerialWord + 1] = quint16(SerialNumber >> 16);
    words[DateWord] = quint16(ProgrammingDate & 0xFFFF);
    words[DateWord + 1] = quint16(quint64(ProgrammingDate) >> 16);
    words[0xC008] = 0x0000;
    // The status bar shows the characters second, first, fourth, third.
    words[VersionWord] = quint16(quint8(VersionText[1]) | (quint8(VersionText[0]) << 8));
    words[VersionWord + 1] = quint16(quint8(VersionText[3]) | (quint8(VersionText[2]) << 8));
    QByteArray text(ConfigurationText);
    text.append(QByteArray(ConfigTextBytes - text.size(), '\0'));
    PutBytes(words, ConfigTextWord, text);
    for (int r = 0; r < RangeCount; ++r) {
        const RangeDefaults &d = Ranges[r];
        QByteArray rec(RangeRecordBytes, '\0');
        PutWord(rec, 0, d.flags);
        for (int i = 0; i < 4; ++i)
            rec[2 + i] = d.label[i];
        rec[6] = char(d.supply);
        rec[7] = char(d.unit);
        for (int i = 0; i < 6; ++i)
            rec[8 + i] = char(d.pots[i]);
        PutWord(rec, 14, d.fullScale);
        PutWord(rec, 16, d.alarmMinimum);
        PutWord(rec, 18, d.alarmMaximum);
        PutBytes(words, RangeTableWord + quint32(r * RangeRecordBytes / 2), rec);
    }
    return words;
}

QByteArray Ram()
{
    using namespace SimMap;
    QByteArray ram(RamSize, '\0');
    CFiller filler(0x0100);
    for (int a = 0x100; a < 0x120; ++a)
        ram[a] = char(filler.Next());
    // Ports as an idle, rechargeable unit shows them; a set direction bit
    // is an input.
    ram[PortAData] = char(0x03);      // On/Off not pushed, rechargeable
    ram[PortBDirection] = char(0xC0); // Up and Down buttons are inputs
    ram[PortBData] = char(0xC9);      // buttons released, alarm LEDs off, pump on, speaker off
    ram[LatchLow] = char((1 << 2) | (2 << 4));  // page 0, Toxic 2 bias 1 gain 2
    ram[LatchHigh] = char(0x01 | (1 << 3) | (3 << 5)); // pot idle, Toxic 1 bias 1 gain 3
    ram[PortEDirection] = char(0x08); // pressure switch is an input
    ram[PortEData] = char(0x00);      // pressure OK
    ram[PortFDirection] = char(0x00);
    ram[PortFData] = char(0x0C);      // HC supply 2 V catalytic
    ram[PortGDirection] = char(0x00);
    ram[PortGData] = char(0xA0);      // alarm 1 LEDs off, LCD powered
    return ram;
}

} // namespace SimDefaults
