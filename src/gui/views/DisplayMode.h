// "Display Mode", the live monitor: readings, peaks, STEL and TWA, battery,
// instrument clock and temperature; the operator and location for the next
// download; resetting peaks and averages.
#pragma once

#include "InstrumentView.h"

#include <QTimer>
#include <array>

class CFormNumberField;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

class CDisplayMode : public CInstrumentView
{
    Q_OBJECT
public:
    // Value rows: the four readings, the four peaks, STEL and TWA of the toxics.
    enum Block { Normal, Peaks, Stel, Twa, BlockCount };
    enum Channel { HC, O2, Toxic1, Toxic2, ChannelCount };
    // At most this many repaints a second, however fast the replies come.
    static constexpr int RepaintIntervalMs = 40;

    explicit CDisplayMode(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;

    // nullptr for the cells the form does not have (HC and O2 STEL and TWA).
    CFormNumberField *Field(int block, int channel) const { return m_field[size_t(block)][size_t(channel)]; }
    QLabel *NameLabel(int block, int channel) const { return m_name[size_t(block)][size_t(channel)]; }
    QLabel *UnitLabel(int block, int channel) const { return m_unit[size_t(block)][size_t(channel)]; }
    QPushButton *ResetPeaksButton() const { return m_resetPeaks; }
    QPushButton *ResetStelTwaButton() const { return m_resetStelTwa; }
    QComboBox *OperatorList() const { return m_operator; }
    QComboBox *LocationList() const { return m_location; }
    QGroupBox *BatteryGroup() const { return m_batteryBox; }
    QProgressBar *BatteryBar() const { return m_battery; }
    QLabel *ClockText() const { return m_clock; }
    // Whether a repaint is waiting for the timer.
    bool RepaintPending() const { return m_repaint.isActive(); }

    // The shown texts, computed without a form.
    static QString FormatForDivisor(double divisor);
    static QString BatteryCaption(int word);
    static QString TemperatureText(int raw);

private:
    void BuildForm();
    // Raw counts per shown unit of a channel.
    double Divisor(int channel) const;
    void SetCombustibleLabels();
    void SetToxicLabels(int toxic); // 0 or 1
    void SelectOperatorAndLocation();
    void SetCombustibleFormats();
    void ScheduleRepaint(int what);
    void Repaint();
    void ShowBlock(int block);
    static QString IdItem(int n, const QString &id);

    std::array<std::array<CFormNumberField *, ChannelCount>, BlockCount> m_field{};
    std::array<std::array<QLabel *, ChannelCount>, BlockCount> m_name{};
    std::array<std::array<QLabel *, ChannelCount>, BlockCount> m_unit{};
    QPushButton *m_resetPeaks = nullptr;
    QPushButton *m_resetStelTwa = nullptr;
    QComboBox *m_operator = nullptr;
    QComboBox *m_location = nullptr;
    QGroupBox *m_batteryBox = nullptr;
    QProgressBar *m_battery = nullptr;
    QLabel *m_clock = nullptr;

    // What changed since the last repaint: one bit per block, then the
    // battery and the clock line.
    enum Dirty { DirtyBattery = 1 << BlockCount, DirtyClock = DirtyBattery << 1 };
    int m_dirty = 0;
    QTimer m_repaint;
};
