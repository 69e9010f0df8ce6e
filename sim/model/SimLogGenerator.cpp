// Data log generator of the simulated instrument.
#include "SimLogGenerator.h"

#include "SimDataLog.h"
#include "SimInstrument.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr qint64 SecondsPerDay = 86400;
constexpr double TwaSeconds = 8 * 3600.0;
constexpr double StelSeconds = 15 * 60.0;
constexpr int OverRange9Bit = 511;
constexpr int HcOverRange = 0x3FFF;
constexpr double BatteryWarningVolts = 3.68;

// splitmix64: the same numbers for a seed on every platform and library version.
class CRandom
{
public:
    explicit CRandom(quint64 seed) : m_state(seed * 0x2545F4914F6CDD1Dull + 0x5A17B0C3D2E1F405ull) {}

    quint64 Next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Between(double low, double high) { return low + (high - low) * Uniform(); }
    // low..high, both included.
    qint64 Int(qint64 low, qint64 high) { return high <= low ? low : low + qint64(Next() % quint64(high - low + 1)); }
    bool Chance(double p) { return Uniform() < p; }
    double Normal()
    {
        if (m_haveSpare) {
            m_haveSpare = false;
            return m_spare;
        }
        double u = Uniform();
        while (u <= 1e-300)
            u = Uniform();
        const double angle = 6.283185307179586 * Uniform();
        const double r = std::sqrt(-2.0 * std::log(u));
        m_spare = r * std::sin(angle);
        m_haveSpare = true;
        return r * std::cos(angle);
    }

private:
    quint64 m_state;
    double m_spare = 0.0;
    bool m_haveSpare = false;
};

// A puff of gas passing the sensor: a linear rise, then an exponential fall.
struct Plume
{
    qint64 start = 0;
    double rise = 60.0;
    double tau = 300.0;
    double peak = 0.0;

    double At(qint64 t) const
    {
        const double dt = double(t - start);
        if (dt <= 0.0)
            return 0.0;
        if (dt < rise)
            return peak * dt / rise;
        return peak * std::exp(-(dt - rise) / tau);
    }
    bool Gone(qint64 t) const { return double(t - start) > rise + 8.0 * tau; }
};

class CPlumes
{
public:
    void Add(const Plume &p) { m_list.push_back(p); }
    void Clear() { m_list.clear(); }
    double At(qint64 t)
    {
        m_list.erase(std::remove_if(m_list.begin(), m_list.end(), [t](const Plume &p) { return p.Gone(t); }), m_list.end());
        double sum = 0.0;
        for (const Plume &p : m_list)
            sum += p.At(t);
        return sum;
    }

private:
    std::vector<Plume> m_list;
};

qint64 DayOf(qint64 wall)
{
    return wall >= 0 ? wall / SecondsPerDay : (wall - SecondsPerDay + 1) / SecondsPerDay;
}

QTime TimeOf(qint64 wall)
{
    const qint64 s = wall - DayOf(wall) * SecondsPerDay;
    return QTime(int(s / 3600), int(s / 60 % 60), int(s % 60));
}

QDate DateOfDay(qint64 day)
{
    return QDate(1970, 1, 1).addDays(day);
}

QDateTime FromWall(qint64 wall)
{
    return QDateTime::fromSecsSinceEpoch(wall, Qt::UTC);
}

qint64 ToWall(const QDateTime &t)
{
    const QTime time = t.time();
    return QDateTime(t.date(), QTime(time.hour(), time.minute(), time.second()), Qt::UTC).toSecsSinceEpoch();
}

QByteArray Word(int value)
{
    const quint16 w = quint16(std::clamp(value, 0, 0xFFFF));
    return QByteArray{} + char(w & 0xFF) + char(w >> 8);
}

// Gas names in toxic events end at a zero byte when shorter than 3 characters.
QByteArray GasParameter(const QByteArray &name)
{
    const QByteArray n = name.left(3);
    return n.size() < 3 ? n + '\0' : n;
}

QByteArray Padded(const QByteArray &id)
{
    return id.left(16).leftJustified(16, ' ');
}

int RangeIndex(int unitBit)
{
    return unitBit > 0 ? std::countr_zero(unsigned(unitBit)) & 7 : 0;
}

// Slots of a reading, in the order of the presence mask.
enum Slot { SHc, SO2, ST1, ST2, ST1Stel, ST2Stel, ST1Twa, ST2Twa, SlotCount };

struct Alarm
{
    int slot = SHc;
    int onCode = 0;
    bool decreasing = false;
    int level = 0;   // not for HC: its levels follow the range
    int hcLevel = -1; // HC: 0 warning, 1 high
    QByteArray parameter;
};

// What the settings come to, worked out once per log.
struct Plan
{
    explicit Plan(const CSimLogGenerator::Settings &s) : settings(s)
    {
        interval = std::clamp(s.intervalSeconds, 1, 3600);
        fitted = s.sensors & 0x0F;
        mask = quint8(fitted);
        if (s.logStel)
            mask |= quint8((fitted & 0x0C) << 2);
        if (s.logTwa)
            mask |= quint8((fitted & 0x0C) << 4);
        ranges[0] = s.hcRange;
        if (ranges[0].unitBit == 0)
            ranges[0].unitBit = 1;
        ranges[1] = s.hcNextRange;
        hasNext = ranges[1].unitBit != 0 && ranges[0].fullScale > 0 && ranges[1].fullScale > 0 &&
                  FullScaleLel(1) > FullScaleLel(0);
        for (int t = 0; t < 2; ++t)
            gas[t] = GasParameter(s.toxicName[t].trimmed());

        if (fitted & 0x01) {
            alarms.push_back({SHc, 51, false, 0, 0, {}});
            alarms.push_back({SHc, 53, false, 0, 1, {}});
            maximaCount += 1;
        }
        if (fitted & 0x02) {
            if (s.o2Warning > 0)
                alarms.push_back({SO2, 83, true, s.o2Warning, -1, {}});
            if (s.o2High > 0)
                alarms.push_back({SO2, 73, false, s.o2High, -1, {}});
            maximaCount += 2;
        }
        for (int t = 0; t < 2; ++t) {
            if (!(fitted & (0x04 << t)))
                continue;
            const int base = t == 0 ? 100 : 120;
            const int levels[4] = {s.toxicWarning[t], s.toxicHigh[t], s.toxicStel[t], s.toxicTwa[t]};
            const int slotOf[4] = {ST1 + t, ST1 + t, ST1Stel + t, ST1Twa + t};
            for (int k = 0; k < 4; ++k) {
                if (levels[k] > 0)
                    alarms.push_back({slotOf[k], base + 1 + 2 * k, false, levels[k], -1, gas[t]});
            }
            maximaCount += 1;
        }
        stelLength = std::max(1, int(std::lround(StelSeconds / interval)));
        // A step: range change, alarms, battery warning, new location, the
        // reading, and a Date before the events and another before the reading.
        maxStepCost = 1 + int(alarms.size()) + 1 + 1 + 1 + 2;
        // Switch-off: alarms off, maxima, Powered off and a Date.
        maxTrailerCost = int(alarms.size()) + maximaCount + 1 + 1;
    }

    double FullScaleLel(int r) const
    {
        return ranges[r].fullScale / CSimLogGenerator::LogUnitsPerLel(ranges[r].unitBit);
    }

    const CSimLogGenerator::Settings &settings;
    int interval = 60;
    int fitted = 0;
    quint8 mask = 0;
    CSimLogGenerator::HcRange ranges[2];
    bool hasNext = false;
    QByteArray gas[2];
    std::vector<Alarm> alarms;
    int maximaCount = 0;
    int stelLength = 15;
    int maxStepCost = 0;
    int maxTrailerCost = 0;
};

struct Reading
{
    int range = 0; // 0 the range in use, 1 the next one
    double lel = 0.0;
    std::array<int, SlotCount> raw{};
    double volts = 4.0;
};

// One session, written forward in time.
class CSessionWriter
{
public:
    CSessionWriter(const Plan &plan, CRandom &random, qint64 budget, bool exact)
        : m_plan(plan), m_settings(plan.settings), m_random(random), m_budget(budget), m_exact(exact)
    {
    }

    void Write(qint64 on, qint64 offBy, int powerOnCode, const QByteArray &operatorId, const QByteArray &locationId,
               bool moveLocation, const QByteArray &firstLocation);

    QList<QByteArray> records;
    CSimLogGenerator::Session summary;
    // Wall-clock second of the newest calibration every sensor passed; -1: none.
    qint64 lastPassedCalibration = -1;

private:
    using Items = std::vector<std::pair<qint64, QByteArray>>;

    bool Full() const { return m_budget >= 0 && records.size() >= m_budget; }
    // False when the records ran out before this one.
    bool Add(qint64 t, const QByteArray &record);
    // Records that adding these would take, with the Date events they bring.
    qint64 Cost(const Items &items) const;
    qint64 TrailerCost(qint64 off, quint32 alarmsOn, qint64 day) const;

    void Header(qint64 on, int powerOnCode, const QByteArray &operatorId, const QByteArray &locationId);
    qint64 Calibration(qint64 t);
    qint64 BumpTest(qint64 t);
    QByteArray SensorValues(int code, qint64 t, double hcLel, int o2, int t1, int t2) const;
    void StartSignals();
    Reading Measure(qint64 t, bool quiet);
    quint32 AlarmsFor(const Reading &r) const;
    // True when the switch-off record fitted.
    bool Trailer(qint64 off);

    const Plan &m_plan;
    const CSimLogGenerator::Settings &m_settings;
    CRandom &m_random;
    qint64 m_budget;
    bool m_exact;

    qint64 m_on = 0;
    qint64 m_day = 0;
    qint64 m_last = 0; // time of the last record written
    int m_range = 0;
    quint32 m_alarms = 0;

    // Signals.
    double m_hcZero = 0.0;
    double m_hcNoise = 0.1;
    double m_o2Offset = 0.0;
    CPlumes m_hc, m_o2Dips, m_o2Rises, m_toxic[2];
    double m_volts0 = 4.1, m_voltsPerSecond = 0.0;
    bool m_batteryWarned = false;

    // Averages, in raw counts.
    std::vector<int> m_stelRing[2];
    int m_stelAt = 0;
    double m_stelSum[2] = {0.0, 0.0};
    double m_twaSum[2] = {0.0, 0.0}; // counts x seconds

    // Extremes for the switch-off records.
    double m_hcMaxLel = 0.0;
    int m_o2Min = 209, m_o2Max = 209;
    int m_toxicMax[2] = {0, 0};
};

bool CSessionWriter::Add(qint64 t, const QByteArray &record)
{
    const qint64 day = DayOf(t);
    if (day != m_day) {
        // The instrument marks each new day before the first record of it.
        m_day = day;
        if (Full())
            return false;
        records.append(CSimDataLog::Event(QTime(0, 0), 13, CSimDataLog::DateField(DateOfDay(day))));
    }
    if (Full())
        return false;
    records.append(record);
    m_last = t;
    return true;
}

qint64 CSessionWriter::Cost(const Items &items) const
{
    qint64 cost = qint64(items.size());
    qint64 day = m_day;
    for (const auto &item : items) {
        const qint64 d = DayOf(item.first);
        if (d != day) {
            ++cost;
            day = d;
        }
    }
    return cost;
}

qint64 CSessionWriter::TrailerCost(qint64 off, quint32 alarmsOn, qint64 day) const
{
    return std::popcount(alarmsOn) + m_plan.maximaCount + 1 + (DayOf(off) != day ? 1 : 0);
}

void CSessionWriter::Header(qint64 on, int powerOnCode, const QByteArray &operatorId, const QByteArray &locationId)
{
    const QTime time = TimeOf(on);
    const QByteArray date = CSimDataLog::DateField(DateOfDay(DayOf(on)));
    m_day = DayOf(on); // the power-on record carries the date itself
    Add(on, CSimDataLog::Event(time, powerOnCode, date));
    Add(on, CSimDataLog::Event(time, 13, date));
    Add(on, CSimDataLog::Event(time, 9, Padded(m_settings.instrumentId)));
    Add(on, CSimDataLog::Event(time, 7, Padded(operatorId)));
    Add(on, CSimDataLog::Event(time, 8, Padded(locationId)));
    Add(on, CSimDataLog::Event(time, 29, Word(m_plan.fitted)));
    const int bars = std::clamp(int(std::lround((m_volts0 - 3.6) / 0.5 * 6.0)), 0, 6);
    Add(on, CSimDataLog::Event(time, 26, Word(bars)));
}

QByteArray CSessionWriter::SensorValues(int code, qint64 t, double hcLel, int o2, int t1, int t2) const
{
    // Calibration and bump gas sits in the lowest range that holds it.
    int r = 0;
    int hc = int(std::lround(hcLel * CSimLogGenerator::LogUnitsPerLel(m_plan.ranges[0].unitBit)));
    if (m_plan.hasNext && hc > m_plan.ranges[0].fullScale) {
        r = 1;
        hc = int(std::lround(hcLel * CSimLogGenerator::LogUnitsPerLel(m_plan.ranges[1].unitBit)));
    }
    hc = std::clamp(hc, 0, HcOverRange - 1);
    o2 = std::clamp(o2, 0, 510);
    t1 = std::clamp(t1, 0, 510);
    t2 = std::clamp(t2, 0, 510);
    const int index = RangeIndex(m_plan.ranges[r].unitBit);
    QByteArray p(6, '\0');
    p[0] = char((m_plan.fitted & 0x0F) | ((index & 4) ? 0x10 : 0) | ((o2 & 0x100) ? 0x20 : 0) | ((t1 & 0x100) ? 0x40 : 0) |
                ((t2 & 0x100) ? 0x80 : 0));
    const int word = hc | ((index & 3) << 14);
    p[1] = char(word & 0xFF);
    p[2] = char(word >> 8);
    p[3] = char(o2 & 0xFF);
    p[4] = char(t1 & 0xFF);
    p[5] = char(t2 & 0xFF);
    return CSimDataLog::Event(TimeOf(t), code, p);
}

qint64 CSessionWriter::Calibration(qint64 t)
{
    const CSimLogGenerator::Settings &s = m_settings;
    t += m_random.Int(15, 40);
    Add(t, CSimDataLog::Event(TimeOf(t), 11));
    t += m_random.Int(20, 45);
    Add(t, CSimDataLog::Event(TimeOf(t), 10));
    t += m_random.Int(60, 150);
    if (m_random.Chance(0.04)) {
        Add(t, CSimDataLog::Event(TimeOf(t), 35));
        return t;
    }
    // Before: the sensors as they had drifted since the last calibration; after: the gas.
    const double span = s.hcCalGasLel;
    Add(t, SensorValues(31, t, span * m_random.Between(0.82, 1.06), int(std::lround(m_random.Between(203, 214))),
                        int(std::lround(s.toxicCalGas[0] * m_random.Between(0.78, 1.05))),
                        int(std::lround(s.toxicCalGas[1] * m_random.Between(0.78, 1.05)))));
    t += m_random.Int(3, 8);
    Add(t, SensorValues(32, t, span, 209, s.toxicCalGas[0], s.toxicCalGas[1]));
    int results = 0;
    for (int sensor = 0; sensor < 4; ++sensor) {
        if (!(m_plan.fitted & (1 << sensor)))
            continue;
        results |= 1 << sensor;
        const double u = m_random.Uniform();
        if (u < 0.02)
            results |= 0x100 << sensor; // failed
        else if (u < 0.08)
            results |= 0x1000 << sensor; // weak
    }
    t += 1;
    if (Add(t, CSimDataLog::Event(TimeOf(t), 33, Word(results))) && !(results & 0x0F00))
        lastPassedCalibration = std::max(lastPassedCalibration, t);
    t += m_random.Int(1, 4);
    Add(t, CSimDataLog::Event(TimeOf(t), 36));
    return t;
}

qint64 CSessionWriter::BumpTest(qint64 t)
{
    const CSimLogGenerator::Settings &s = m_settings;
    t += m_random.Int(10, 40);
    Add(t, CSimDataLog::Event(TimeOf(t), 28));
    t += m_random.Int(30, 75);
    Add(t, SensorValues(30, t, s.hcCalGasLel * m_random.Between(0.88, 1.05), int(std::lround(m_random.Between(175, 195))),
                        int(std::lround(s.toxicCalGas[0] * m_random.Between(0.85, 1.05))),
                        int(std::lround(s.toxicCalGas[1] * m_random.Between(0.85, 1.05)))));
    t += m_random.Int(5, 20);
    Add(t, CSimDataLog::Event(TimeOf(t), m_random.Chance(0.05) ? 25 : 24));
    return t;
}

void CSessionWriter::StartSignals()
{
    const double warningLel = m_plan.ranges[0].warning > 0
                                  ? m_plan.ranges[0].warning / CSimLogGenerator::LogUnitsPerLel(m_plan.ranges[0].unitBit)
                                  : m_plan.FullScaleLel(0) * 0.1;
    m_hcZero = m_random.Between(0.0, 0.08) * warningLel;
    m_hcNoise = 0.04 * warningLel;
    m_o2Offset = m_random.Between(-0.08, 0.08);
    m_volts0 = m_random.Chance(0.8) ? m_settings.batteryFullVolts - m_random.Between(0.0, 0.06) : m_random.Between(3.80, 3.98);
    m_voltsPerSecond = m_random.Between(0.022, 0.045) / 3600.0;
}

Reading CSessionWriter::Measure(qint64 t, bool quiet)
{
    const Plan &p = m_plan;
    const double dt = p.interval;
    Reading r;
    const double elapsed = double(t - m_on);
    r.volts = std::max(3.58, m_volts0 - m_voltsPerSecond * elapsed + 0.002 * m_random.Normal());

    if (quiet) {
        // Winding down to the end of the records: clean air from here on.
        m_hc.Clear();
        m_o2Dips.Clear();
        m_o2Rises.Clear();
        m_toxic[0].Clear();
        m_toxic[1].Clear();
    } else {
        const double warningLel = p.ranges[0].warning > 0 ? p.ranges[0].warning / CSimLogGenerator::LogUnitsPerLel(p.ranges[0].unitBit)
                                                           : p.FullScaleLel(0) * 0.1;
        if (m_random.Chance(std::min(0.9, dt / 4800.0))) {
            Plume plume{t - m_random.Int(0, p.interval - 1), m_random.Between(60, 300), m_random.Between(120, 900), 0.0};
            plume.peak = m_random.Chance(0.05) ? p.FullScaleLel(0) * m_random.Between(1.05, 2.5)
                                               : warningLel * std::exp(0.9 * m_random.Normal() - 0.3);
            m_hc.Add(plume);
        }
        for (int k = 0; k < 2; ++k) {
            if (m_random.Chance(std::min(0.9, dt / 9000.0))) {
                const bool lingering = m_random.Chance(0.12);
                const double warning = m_settings.toxicWarning[k] > 0 ? m_settings.toxicWarning[k] : 20;
                m_toxic[k].Add({t - m_random.Int(0, p.interval - 1), m_random.Between(30, 240),
                                lingering ? m_random.Between(1200, 2700) : m_random.Between(90, 600),
                                warning * std::exp(0.7 * m_random.Normal())});
            }
        }
        if (m_random.Chance(std::min(0.9, dt / 12000.0)))
            m_o2Dips.Add({t - m_random.Int(0, p.interval - 1), m_random.Between(60, 300), m_random.Between(120, 900),
                          m_random.Between(0.3, 2.8)});
        if (m_random.Chance(std::min(0.9, dt / 180000.0)))
            m_o2Rises.Add({t - m_random.Int(0, p.interval - 1), m_random.Between(60, 200), m_random.Between(60, 300),
                           m_random.Between(1.0, 3.5)});
    }

    // HC: the range in use unless the reading passed its full scale and a
    // higher range is there; back below 90 % of it, it returns.
    r.lel = std::max(0.0, m_hcZero + m_hcNoise * m_random.Normal() + m_hc.At(t));
    r.range = m_range;
    if (p.hasNext) {
        const int inFirst = int(std::lround(r.lel * CSimLogGenerator::LogUnitsPerLel(p.ranges[0].unitBit)));
        if (r.range == 0 && inFirst > p.ranges[0].fullScale)
            r.range = 1;
        else if (r.range == 1 && r.lel < 0.9 * p.FullScaleLel(0))
            r.range = 0;
    }
    const CSimLogGenerator::HcRange &range = p.ranges[r.range];
    int hc = int(std::lround(r.lel * CSimLogGenerator::LogUnitsPerLel(range.unitBit)));
    if (range.fullScale > 0 && hc > range.fullScale)
        hc = HcOverRange;
    r.raw[SHc] = std::min(hc, HcOverRange);

    const double o2 = 20.9 + m_o2Offset + 0.04 * m_random.Normal() - m_o2Dips.At(t) + m_o2Rises.At(t);
    r.raw[SO2] = std::clamp(int(std::lround(o2 * 10.0)), 0, 300);

    for (int k = 0; k < 2; ++k) {
        const double warning = m_settings.toxicWarning[k] > 0 ? m_settings.toxicWarning[k] : 20;
        const double noise = quiet ? 0.0 : std::abs(0.025 * warning * m_random.Normal());
        const int value = int(std::lround(std::max(0.0, noise + m_toxic[k].At(t))));
        const int counted = std::min(value, OverRange9Bit - 1);
        r.raw[ST1 + k] = value >= OverRange9Bit ? OverRange9Bit : value;
        // The averages as they stand with this reading.
        const int oldest = m_stelRing[k].empty() ? 0 : m_stelRing[k][size_t(m_stelAt)];
        const double stel = (m_stelSum[k] - oldest + counted) / p.stelLength;
        const double twa = (m_twaSum[k] + double(counted) * dt) / TwaSeconds;
        r.raw[ST1Stel + k] = std::clamp(int(std::lround(stel)), 0, OverRange9Bit - 1);
        r.raw[ST1Twa + k] = std::clamp(int(std::lround(twa)), 0, OverRange9Bit - 1);
    }
    return r;
}

quint32 CSessionWriter::AlarmsFor(const Reading &r) const
{
    quint32 on = 0;
    for (size_t i = 0; i < m_plan.alarms.size(); ++i) {
        const Alarm &a = m_plan.alarms[i];
        int level = a.level;
        if (a.hcLevel >= 0) {
            const CSimLogGenerator::HcRange &range = m_plan.ranges[r.range];
            level = a.hcLevel == 0 ? range.warning : range.high;
        }
        if (level <= 0)
            continue;
        const int value = r.raw[size_t(a.slot)];
        if (a.decreasing ? value <= level : value >= level)
            on |= 1u << i;
    }
    return on;
}

bool CSessionWriter::Trailer(qint64 off)
{
    const QTime time = TimeOf(off);
    // Alarms still sounding stop with the instrument, the last one first.
    for (int i = int(m_plan.alarms.size()) - 1; i >= 0; --i) {
        if (m_alarms & (1u << i)) {
            const Alarm &a = m_plan.alarms[size_t(i)];
            Add(off, CSimDataLog::Event(time, a.onCode + 1, a.parameter));
        }
    }
    m_alarms = 0;
    // The maxima and the switch-off carry the date, so the day is known even
    // when no Date record of the day has been written yet.
    const QByteArray date = CSimDataLog::DateField(DateOfDay(DayOf(off)));
    if (m_plan.fitted & 0x01) {
        const CSimLogGenerator::HcRange &home = m_plan.ranges[0];
        double shown = std::min(m_hcMaxLel, m_plan.hasNext ? m_plan.FullScaleLel(1) : m_plan.FullScaleLel(0)) *
                       CSimLogGenerator::LogUnitsPerLel(home.unitBit);
        if (home.unitBit == 2 || home.unitBit == 16)
            shown /= 10.0;
        const double divisor = home.fullScale < 75 ? 10.0 : 1.0;
        Add(off, CSimDataLog::Event(time, 63, Word(int(std::lround(shown * divisor))) + date));
    }
    if (m_plan.fitted & 0x02) {
        Add(off, CSimDataLog::Event(time, 79, Word(m_o2Min) + date));
        Add(off, CSimDataLog::Event(time, 80, Word(m_o2Max) + date));
    }
    for (int k = 0; k < 2; ++k) {
        if (m_plan.fitted & (0x04 << k)) {
            QByteArray name = m_settings.toxicName[k].trimmed().left(3);
            name.append('\0');
            Add(off, CSimDataLog::Event(time, k == 0 ? 113 : 133, name + Word(m_toxicMax[k]) + date));
        }
    }
    return Add(off, CSimDataLog::Event(time, 0, date));
}

void CSessionWriter::Write(qint64 on, qint64 offBy, int powerOnCode, const QByteArray &operatorId,
                           const QByteArray &locationId, bool moveLocation, const QByteArray &firstLocation)
{
    const Plan &p = m_plan;
    m_on = on;
    summary.powerOn = FromWall(on);
    summary.operatorId = operatorId;
    summary.locationId = moveLocation ? firstLocation : locationId;
    StartSignals();
    for (int k = 0; k < 2; ++k) {
        m_stelRing[k].assign(size_t(p.stelLength), 0);
        m_stelSum[k] = 0.0;
        // After a break with the averages kept, the shift's exposure so far carries on.
        m_twaSum[k] = powerOnCode == 1 ? m_random.Between(0.0, 0.3) * m_settings.toxicTwa[k] * TwaSeconds * 0.5 : 0.0;
    }

    Header(on, powerOnCode, operatorId, summary.locationId);
    if (m_random.Chance(0.06))
        Add(on, CSimDataLog::Event(TimeOf(on), 3));
    qint64 t = on;
    const bool room = m_budget < 0 || m_budget - records.size() > 200;
    const double u = m_random.Uniform();
    if (room && u < 0.12)
        t = Calibration(t);
    else if (room && u < 0.36)
        t = BumpTest(t);

    const qint64 offGap = m_random.Int(2, std::max<qint64>(2, std::min(p.interval, 60) - 1));
    const qint64 dataSteps = std::max<qint64>(1, (offBy - offGap - t) / p.interval);
    const qint64 locationStep = moveLocation ? m_random.Int(1, std::max<qint64>(1, dataSteps - 1)) : -1;
    bool windDown = false;
    qint64 step = 0;
    Items items;
    for (t += p.interval;; t += p.interval, ++step) {
        if (!m_exact && t + offGap > offBy)
            break;
        if (m_exact && !windDown && records.size() + p.maxStepCost + p.maxTrailerCost >= m_budget)
            windDown = true;
        if (Full())
            break;

        const Reading r = Measure(t, windDown);
        const quint32 alarms = AlarmsFor(r);
        // The events of this interval, at the second the reading crossed.
        items.clear();
        const qint64 te = t - (p.interval > 1 ? m_random.Int(1, p.interval - 1) : 0);
        const QTime eventTime = TimeOf(te);
        if (r.range != m_range)
            items.emplace_back(te, CSimDataLog::Event(eventTime, 40));
        if (alarms != m_alarms) {
            for (int i = int(p.alarms.size()) - 1; i >= 0; --i) {
                const quint32 bit = 1u << i;
                if ((m_alarms & bit) && !(alarms & bit))
                    items.emplace_back(te, CSimDataLog::Event(eventTime, p.alarms[size_t(i)].onCode + 1, p.alarms[size_t(i)].parameter));
            }
            for (size_t i = 0; i < p.alarms.size(); ++i) {
                const quint32 bit = 1u << i;
                if (!(m_alarms & bit) && (alarms & bit))
                    items.emplace_back(te, CSimDataLog::Event(eventTime, p.alarms[i].onCode, p.alarms[i].parameter));
            }
        }
        const bool batteryWarning = !m_batteryWarned && r.volts < BatteryWarningVolts;
        if (batteryWarning)
            items.emplace_back(te, CSimDataLog::Event(eventTime, 19));
        const bool moveNow = step == locationStep && !windDown;
        if (moveNow)
            items.emplace_back(te, CSimDataLog::Event(eventTime, 8, Padded(locationId)));

        CSimDataLog::Sample sample;
        sample.mask = p.mask;
        sample.hc = quint16(r.raw[SHc]);
        sample.hcRange = RangeIndex(p.ranges[r.range].unitBit);
        sample.o2 = quint16(r.raw[SO2]);
        for (int k = 0; k < 6; ++k)
            sample.toxic[k] = quint16(r.raw[size_t(ST1 + k)]);
        sample.battery = quint16(std::clamp(int(std::lround(r.volts * 6553.6)), 0, 0xFFFF));
        const QTime time = TimeOf(t);
        items.emplace_back(t, CSimDataLog::DataRecord(time, sample));

        if (m_exact) {
            qint64 day = m_day;
            for (const auto &item : items)
                day = DayOf(item.first);
            if (records.size() + Cost(items) + TrailerCost(t + offGap, alarms, day) > m_budget)
                break;
        }

        // Taken: the instrument's state moves on.
        for (const auto &item : items)
            Add(item.first, item.second);
        m_range = r.range;
        m_alarms = alarms;
        m_batteryWarned = m_batteryWarned || batteryWarning;
        if (moveNow)
            summary.locationId = locationId;
        for (int k = 0; k < 2; ++k) {
            const int counted = std::min(r.raw[size_t(ST1 + k)], OverRange9Bit - 1);
            int &slot = m_stelRing[k][size_t(m_stelAt)];
            m_stelSum[k] += counted - slot;
            slot = counted;
            m_twaSum[k] += double(counted) * p.interval;
            m_toxicMax[k] = std::max(m_toxicMax[k], r.raw[size_t(ST1 + k)]);
        }
        m_stelAt = (m_stelAt + 1) % p.stelLength;
        m_hcMaxLel = std::max(m_hcMaxLel, r.lel);
        if (summary.dataCount == 0) {
            summary.firstData = FromWall(t);
            m_o2Min = m_o2Max = r.raw[SO2];
        }
        m_o2Min = std::min(m_o2Min, r.raw[SO2]);
        m_o2Max = std::max(m_o2Max, r.raw[SO2]);
        ++summary.dataCount;
    }

    qint64 off = m_last + offGap;
    if (m_exact) {
        // What the readings could not use goes to battery gauge records at
        // the last second, which never bring a Date with them.
        const int bars = std::clamp(int(std::lround((m_volts0 - 3.6) / 0.5 * 6.0)), 0, 6);
        while (!Full() && records.size() + TrailerCost(off, m_alarms, m_day) < m_budget)
            Add(m_last, CSimDataLog::Event(TimeOf(m_last), 26, Word(bars)));
    }
    if (Trailer(off))
        summary.powerOff = FromWall(off);
}

} // namespace

double CSimLogGenerator::LogUnitsPerLel(int unitBit)
{
    switch (unitBit) {
    case 2:  // %VOL in tenths: 100 %LEL of methane is 5 %VOL
    case 16: // %LOW, likewise in tenths
        return 0.5;
    case 4: // PPM: 1 %LEL of methane is 500 ppm
        return 500.0;
    default:
        return 1.0;
    }
}

CSimLogGenerator::Result CSimLogGenerator::Build(quint32 seed, int records, const QDateTime &now, const Settings &settings)
{
    CRandom random(seed);
    const Plan plan(settings);
    const qint64 interval = plan.interval;
    const QList<QByteArray> operators = settings.operators.isEmpty() ? QList<QByteArray>{QByteArray()} : settings.operators;
    const QList<QByteArray> locations = settings.locations.isEmpty() ? QList<QByteArray>{QByteArray()} : settings.locations;

    Result result;
    qint64 remaining = std::max(0, records);
    qint64 offBy = ToWall(now) - random.Int(60, 1200);
    // A session the program keeps needs more than 300 s of readings.
    const qint64 smallest = 40 + 2 * (300 / interval + 4);
    QList<QList<QByteArray>> chunks; // newest first
    QList<Session> sessions;
    int operatorAt = 0;
    int locationAt = 0;
    bool newest = true;
    while (remaining > 0) {
        qint64 duration = random.Chance(0.3) ? random.Int(1800, 3 * 3600) : random.Int(5 * 3600, 10 * 3600);
        duration = std::max(duration, (300 / interval + 8) * interval + 600);
        const qint64 estimate = duration / interval + 30;
        const bool exact = remaining < estimate * 13 / 10 + smallest + 60;
        if (exact)
            duration = (remaining + 4) * interval + 900;
        // The break before this session: a meal, a night, a weekend.
        const double kind = random.Uniform();
        const qint64 gap = kind < 0.25 ? random.Int(900, 2 * 3600)
                           : kind < 0.85 ? random.Int(10 * 3600, 18 * 3600)
                                         : random.Int(30 * 3600, 64 * 3600);
        const int powerOnCode = gap < 3 * 3600 && settings.retainAverages ? 1 : 2;
        const bool moveLocation = !newest && locations.size() > 1 && random.Chance(0.15);
        int firstLocationAt = locationAt;
        if (moveLocation) {
            firstLocationAt = int(random.Int(0, locations.size() - 2));
            if (firstLocationAt >= locationAt)
                ++firstLocationAt;
        }

        const qint64 on = offBy - duration;
        CSessionWriter writer(plan, random, remaining, exact);
        writer.Write(on, offBy, powerOnCode, operators[operatorAt].trimmed(), locations[locationAt].trimmed(), moveLocation,
                     locations[firstLocationAt].trimmed());
        if (writer.records.isEmpty())
            break;
        remaining -= writer.records.size();
        if (writer.lastPassedCalibration >= 0 && !result.lastPassedCalibration.isValid())
            result.lastPassedCalibration = FromWall(writer.lastPassedCalibration); // sessions come newest first
        chunks.append(std::move(writer.records));
        sessions.append(writer.summary);

        offBy = newest && settings.newestOverlapSeconds > 0 ? on + settings.newestOverlapSeconds : on - gap;
        newest = false;
        if (random.Chance(0.3))
            operatorAt = int(random.Int(0, operators.size() - 1));
        if (random.Chance(0.6))
            locationAt = int(random.Int(0, locations.size() - 1));
    }

    result.records.reserve(std::max(0, records));
    for (qsizetype i = chunks.size() - 1; i >= 0; --i)
        result.records.append(chunks[i]);
    for (qsizetype i = sessions.size() - 1; i >= 0; --i)
        result.sessions.append(sessions[i]);
    result.start = result.sessions.isEmpty() ? FromWall(ToWall(now)) : result.sessions.first().powerOn;
    return result;
}

CSimLogGenerator::Settings CSimLogGenerator::SettingsOf(const CSimInstrument &instrument)
{
    const QByteArray tk = instrument.TimeKeeper();
    const auto word = [](const QByteArray &b, int offset) {
        return offset + 1 < b.size() ? int(quint8(b[offset]) | (quint8(b[offset + 1]) << 8)) : 0;
    };
    const auto byte = [&tk](int offset) { return offset < tk.size() ? int(quint8(tk[offset])) : 0; };

    Settings s;
    s.instrumentId = instrument.IdEntry(81).trimmed();
    // The IDs in use first, then the other named ones.
    const int operatorEntry = 65 + (byte(62) & 0x0F);
    const int locationEntry = 1 + (byte(63) & 0x3F);
    s.operators = {instrument.IdEntry(operatorEntry).trimmed()};
    for (int e = 65; e <= 80; ++e) {
        const QByteArray id = instrument.IdEntry(e).trimmed();
        if (e != operatorEntry && !id.isEmpty())
            s.operators.append(id);
    }
    s.locations = {instrument.IdEntry(locationEntry).trimmed()};
    for (int e = 1; e <= 64; ++e) {
        const QByteArray id = instrument.IdEntry(e).trimmed();
        if (e != locationEntry && !id.isEmpty())
            s.locations.append(id);
    }

    s.sensors = quint8(byte(61) & 0x0F);
    s.intervalSeconds = instrument.LogIntervalSeconds();
    s.logStel = byte(63) & 0x40;
    s.logTwa = byte(63) & 0x80;
    s.retainAverages = !(word(tk, 40) & 0x8000);

    // Alarm levels are kept scaled per range: tenths below a full scale of
    // 75, and a tenth of the shown value on PPM ranges.
    const auto range = [&](int r) {
        const QByteArray record = instrument.RangeRecord(r);
        HcRange h;
        h.unitBit = record.size() > 7 ? quint8(record[7]) : 1;
        h.fullScale = word(record, 14);
        const double scale = h.fullScale < 75 ? 10.0 : 1.0;
        const double perLogUnit = (h.unitBit == 2 || h.unitBit == 16) ? 10.0 : 1.0;
        const double ppm = h.unitBit == 4 ? 10.0 : 1.0;
        h.warning = int(std::lround((word(tk, 44 + 2 * r) & 0x3FF) / scale * ppm * perLogUnit));
        h.high = int(std::lround((word(tk, 30 + 2 * r) & 0x3FF) / scale * ppm * perLogUnit));
        return h;
    };
    const int current = instrument.HcRange();
    s.hcRange = range(current);
    const int next = (word(instrument.RangeRecord(current), 0) >> 4) & 3;
    if (next != current && !(word(instrument.RangeRecord(next), 0) & 1))
        s.hcNextRange = range(next);
    s.hcCalGasLel = 5 * (word(tk, 22) & 0x0F) + 5;
    s.o2Warning = word(tk, 52) & 0x3FF;
    s.o2High = word(tk, 38) & 0x3FF;

    for (int t = 0; t < 2; ++t) {
        const QByteArray gas = instrument.ToxicRecord(instrument.ToxicGas(t));
        if (gas.size() >= 24)
            s.toxicName[t] = (QByteArray() + gas[1] + gas[0] + gas[3]).trimmed();
        s.toxicWarning[t] = word(tk, 54 + 2 * t) & 0x3FF;
        s.toxicHigh[t] = word(tk, 40 + 2 * t) & 0x3FF;
        s.toxicStel[t] = word(gas, 16);
        s.toxicTwa[t] = word(gas, 18);
        s.toxicCalGas[t] = word(gas, 8 + 2 * (word(tk, 26 + 2 * t) & 3));
    }
    return s;
}
