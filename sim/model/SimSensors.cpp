// Gas readings of the simulated instrument.
#include "SimSensors.h"

#include <QtMath>
#include <algorithm>

CSimSensors::CSimSensors(quint32 seed) : m_random(seed ^ 0x5E45u)
{
    m_stelRing[0].assign(StelSeconds, 0.0);
    m_stelRing[1].assign(StelSeconds, 0.0);
    m_exposed.fill(-1.0);
    m_value[O2] = FreshAir;
    ResetPeaks();
}

void CSimSensors::Start(const QDateTime &now)
{
    m_last = now;
}

void CSimSensors::Advance(const QDateTime &now)
{
    if (!m_last.isValid() || now < m_last) {
        // Time went backwards (the clock source was reset): start from here.
        m_last = now;
        return;
    }
    qint64 steps = m_last.secsTo(now);
    if (steps <= 0)
        return;
    m_last = m_last.addSecs(steps);
    steps = qMin<qint64>(steps, MaxCatchUpSeconds);
    for (qint64 i = 0; i < steps; ++i)
        Step();
}

double CSimSensors::Gaussian(double sigma)
{
    // Box-Muller; one value per call is plenty here.
    const double u1 = qMax(1e-12, m_random.generateDouble());
    const double u2 = m_random.generateDouble();
    return sigma * qSqrt(-2.0 * qLn(u1)) * qCos(2.0 * M_PI * u2);
}

double CSimSensors::ReleaseLevel(const Release &r)
{
    // Ramps up for 20 s, holds for 30 s, then decays with a 45 s time constant.
    if (r.age < 0)
        return 0.0;
    if (r.age < 20)
        return r.amplitude * r.age / 20.0;
    if (r.age < 50)
        return r.amplitude;
    return r.amplitude * qExp(-(r.age - 50) / 45.0);
}

void CSimSensors::StepRelease(Release &r, double chancePerSecond, double minimum, double maximum)
{
    if (r.age >= 0) {
        ++r.age;
        if (r.age > 50 && ReleaseLevel(r) < r.amplitude * 0.01)
            r.age = -1;
        return;
    }
    if (m_random.generateDouble() < chancePerSecond) {
        r.amplitude = minimum + (maximum - minimum) * m_random.generateDouble();
        r.age = 0;
    }
}

void CSimSensors::Step()
{
    // Combustible: a zero that never quite sits still, and a whiff of vapour
    // every quarter of an hour or so.
    StepRelease(m_release[HC], 1.0 / 900.0, 3.0, 14.0);
    double hc = ReleaseLevel(m_release[HC]) + Gaussian(0.35);
    m_value[HC] = qMax(0.0, hc);

    // Oxygen: wanders a tenth or so around fresh air, displaced a little by
    // a combustible release.
    m_o2Drift += Gaussian(0.004) - m_o2Drift * 0.01;
    m_o2Drift = qBound(-0.2, m_o2Drift, 0.2);
    m_value[O2] = FreshAir + m_o2Drift - ReleaseLevel(m_release[HC]) * 0.01 + Gaussian(0.01);

    // Toxics: near zero, with an occasional small rise below the warning level.
    for (int t = 0; t < 2; ++t) {
        const int ch = Toxic1 + t;
        const double scale = m_toxicScale[size_t(t)];
        StepRelease(m_release[size_t(ch)], t == 0 ? 1.0 / 420.0 : 1.0 / 780.0, 0.15 * scale, 0.7 * scale);
        m_value[size_t(ch)] = qMax(0.0, ReleaseLevel(m_release[size_t(ch)]) + Gaussian(0.012 * scale));
    }

    for (int ch = 0; ch < ChannelCount; ++ch) {
        if (m_exposed[size_t(ch)] >= 0.0)
            m_value[size_t(ch)] = m_exposed[size_t(ch)];
    }

    m_peak[HC] = qMax(m_peak[HC], m_value[HC]);
    if (qAbs(m_value[O2] - FreshAir) > qAbs(m_peak[O2] - FreshAir))
        m_peak[O2] = m_value[O2];
    for (int t = 0; t < 2; ++t) {
        const size_t ch = size_t(Toxic1 + t);
        m_peak[ch] = qMax(m_peak[ch], m_value[ch]);
        m_stelSum[size_t(t)] += m_value[ch] - m_stelRing[size_t(t)][size_t(m_stelPos)];
        m_stelRing[size_t(t)][size_t(m_stelPos)] = m_value[ch];
        m_twaSum[size_t(t)] += m_value[ch];
    }
    m_stelPos = (m_stelPos + 1) % StelSeconds;

    m_temperature += Gaussian(0.01) + (22.0 - m_temperature) * 0.0005;
    // About 20 mV an hour; a pack left running all week flattens at 3.6 V.
    m_batteryCharge = qMax(3.6, m_batteryCharge - 0.02 / 3600.0);
    m_battery = m_batteryCharge + Gaussian(0.002);
}

double CSimSensors::Stel(int toxic) const
{
    if (toxic < 0 || toxic > 1)
        return 0.0;
    // The window always spans 15 minutes: before it has filled, the missing
    // minutes count as clean air, as the instrument's own averaging does.
    return qMax(0.0, m_stelSum[size_t(toxic)]) / StelSeconds;
}

double CSimSensors::Twa(int toxic) const
{
    if (toxic < 0 || toxic > 1)
        return 0.0;
    return m_twaSum[size_t(toxic)] / TwaSeconds;
}

int CSimSensors::BatteryBars() const
{
    // 3.6 V empty .. 4.1 V full, six bars.
    return qBound(0, int((m_battery - 3.6) / (0.5 / 6.0) + 0.5), 6);
}

void CSimSensors::ResetPeaks()
{
    m_peak = m_value;
}

void CSimSensors::ResetStelTwa()
{
    for (auto &ring : m_stelRing)
        std::fill(ring.begin(), ring.end(), 0.0);
    m_stelSum.fill(0.0);
    m_twaSum.fill(0.0);
    m_stelPos = 0;
}

void CSimSensors::SetToxicScale(int toxic, double warningLevel)
{
    if (toxic >= 0 && toxic <= 1 && warningLevel > 0.0)
        m_toxicScale[size_t(toxic)] = warningLevel;
}

void CSimSensors::Expose(int channel, double value)
{
    if (channel < 0 || channel >= ChannelCount)
        return;
    m_exposed[size_t(channel)] = value;
    if (value >= 0.0)
        m_value[size_t(channel)] = value;
}
