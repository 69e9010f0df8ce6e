// The simulated instrument's sensors: gas readings that wander like real
// ones (noise, slow drift, now and then a small release that rises and
// decays), with peaks, 15-minute STEL and 8-hour TWA averages, the board
// temperature and the battery. Advanced in whole seconds from an injected
// time, with a seeded generator, so a given seed and time line always give
// the same readings.
#pragma once

#include <QDateTime>
#include <QRandomGenerator>
#include <array>
#include <vector>

class CSimSensors
{
public:
    enum Channel { HC, O2, Toxic1, Toxic2, ChannelCount };
    static constexpr int StelSeconds = 15 * 60;
    static constexpr int TwaSeconds = 8 * 3600;
    // A gap longer than this (a suspended laptop) is not replayed second by second.
    static constexpr int MaxCatchUpSeconds = 3600;
    static constexpr double FreshAir = 20.9;

    explicit CSimSensors(quint32 seed = 1);

    void Start(const QDateTime &now);
    void Advance(const QDateTime &now);

    // Readings in shown units: HC in %LEL, O2 in %VOL, toxics in their gas's
    // unit (ppm, or % for hydrogen).
    double Value(int channel) const { return m_value[size_t(channel)]; }
    // HC and toxics: the highest reading; O2: the one farthest from fresh air.
    double Peak(int channel) const { return m_peak[size_t(channel)]; }
    double Stel(int toxic) const; // toxic 0 or 1
    double Twa(int toxic) const;
    double TemperatureC() const { return m_temperature; }
    double BatteryVolts() const { return m_battery; }
    int BatteryBars() const;

    void ResetPeaks();
    void ResetStelTwa();

    // How big a toxic release gets: the gas's warning level in shown units.
    void SetToxicScale(int toxic, double warningLevel);
    // Holds a channel at a value (a technician's gas bottle), or lets it go
    // back to wandering with a negative value.
    void Expose(int channel, double value);

private:
    struct Release
    {
        double amplitude = 0.0;
        int age = -1; // seconds since it began; -1 when none is running
    };

    void Step();
    double Gaussian(double sigma);
    static double ReleaseLevel(const Release &r);
    void StepRelease(Release &r, double chancePerSecond, double minimum, double maximum);

    QRandomGenerator m_random;
    QDateTime m_last;
    std::array<double, ChannelCount> m_value{};
    std::array<double, ChannelCount> m_peak{};
    std::array<double, ChannelCount> m_exposed{};
    std::array<Release, ChannelCount> m_release{};
    std::array<double, 2> m_toxicScale{{25.0, 10.0}};
    double m_o2Drift = 0.0;
    double m_temperature = 22.0;
    double m_batteryCharge = 4.12;
    double m_battery = 4.12;
    // One sample a second for the STEL window, and the exposure sum for TWA.
    std::array<std::vector<double>, 2> m_stelRing;
    std::array<double, 2> m_stelSum{};
    int m_stelPos = 0;
    std::array<double, 2> m_twaSum{};
};
