// "Sensors": the live raw readings of the four sensor channels and the stored
// calibration offsets and spans, in counts, volts and the sensors' own signal.
#pragma once

#include "InstrumentView.h"

#include <array>

class CFormNumberField;
class QLabel;

class CSensors : public CInstrumentView
{
    Q_OBJECT
public:
    enum Group { Readings, Offsets, Spans, GroupCount };
    enum Channel { HC, O2, Toxic1, Toxic2, ChannelCount };
    // Bytes of instrument RAM that hold the calibration DAC word.
    static constexpr int DacAddress = 190;

    explicit CSensors(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;

    // column 0: counts, 1: volts, 2: signal.
    CFormNumberField *Field(int group, int channel, int column) const
    {
        return m_field[size_t(group)][size_t(channel)][size_t(column)];
    }
    QLabel *NameLabel(int group, int channel) const { return m_name[size_t(group)][size_t(channel)]; }
    // column 1: the volts unit, 2: the signal unit.
    QLabel *UnitLabel(int group, int channel, int column) const
    {
        return m_unit[size_t(group)][size_t(channel)][size_t(column - 1)];
    }
    QLabel *LastCalText() const { return m_lastCal; }
    QLabel *RangeIndexText() const { return m_rangeIndex; }
    QLabel *DacText() const { return m_dac; }

    // Volts and signal of a count on a channel.
    static double Volts(int count);
    static double Signal(int channel, int count);
    // Volts per unit and signal per unit of a stored span (a multiple of 64).
    static double SpanVolts(int span);
    static double SpanSignal(int channel, int span);

private:
    void BuildForm();
    void ShowRow(int group, int channel, int count);
    void ShowSpan(int channel);
    void ShowReadings();
    void ShowStored();
    void ShowRangeIndex();
    void RelabelToxic(int channel);
    void RelabelHCSpan();

    std::array<std::array<std::array<CFormNumberField *, 3>, ChannelCount>, GroupCount> m_field{};
    std::array<std::array<QLabel *, ChannelCount>, GroupCount> m_name{};
    std::array<std::array<std::array<QLabel *, 2>, ChannelCount>, GroupCount> m_unit{};
    QLabel *m_lastCal = nullptr;
    QLabel *m_rangeIndex = nullptr;
    QLabel *m_dac = nullptr;
    bool m_timeKeeperDue = false;
};
