// The "Advanced Features" form: alarm levels and their interlocks, alarm and
// display options, fitted sensors and their gases, passwords and calibration gases.
#pragma once

#include "AdvancedFeaturesLists.h"
#include "FormSnapshot.h"
#include "InstrumentView.h"

#include <array>

class CFormRadioGroup;
class CFormValueList;
class QComboBox;
class QLabel;
class QLineEdit;

class CAdvancedFeatures : public CInstrumentView
{
    Q_OBJECT
public:
    // Rows of the alarm and calibration-gas groups, in the order the form shows them.
    enum Row { RowHC, RowO2, RowToxic1, RowToxic2, RowCount };

    explicit CAdvancedFeatures(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;

    // The controls, for the frame's tests and for keyboard focus order.
    CFormValueList *HighAlarm(int row) const { return m_high[size_t(row)]; }
    CFormValueList *WarningAlarm(int row) const { return m_warning[size_t(row)]; }
    CFormValueList *CalGas(int row) const { return m_calGas[size_t(row)]; }
    QLabel *HighName(int row) const { return m_highName[size_t(row)]; }
    QLabel *HighUnit(int row) const { return m_highUnit[size_t(row)]; }
    QLabel *CalGasName(int row) const { return m_calGasName[size_t(row)]; }
    QLabel *CalGasUnit(int row) const { return m_calGasUnit[size_t(row)]; }
    QComboBox *SensorSelect(int row) const { return m_select[size_t(row)]; }
    QComboBox *AlarmDelay() const { return m_alarmDelay; }
    QComboBox *BackLightDelay() const { return m_backLight; }
    QComboBox *CalInterval() const { return m_calInterval; }
    CFormRadioGroup *O2Alarms() const { return m_o2Alarms; }
    CFormRadioGroup *AlarmLatch() const { return m_latch; }
    CFormRadioGroup *LunchBreak() const { return m_lunch; }
    CFormRadioGroup *BumpTest() const { return m_bump; }
    CFormRadioGroup *ComfortAlert() const { return m_comfort; }
    CFormRadioGroup *TemperatureAlarm() const { return m_temperature; }
    QLineEdit *Password(int n) const { return m_password[size_t(n)]; } // 0 CALWORD, 1 PASSWORD, 2 LOGWORD
    QLabel *LastCalText() const { return m_lastCal; }
    QLabel *NextCalText() const { return m_nextCal; }

    // Texts of the coded lists, as the form shows them.
    static QString BackLightText(int seconds);
    static QString CalIntervalText(int days);
    // A Cal Interval text back into days ("None" 0, weeks times 7).
    static int CalIntervalDays(const QString &text);

private:
    void BuildForm();
    void FillFixedLists();

    static int SensorOf(int row) { return CAdvancedFeaturesLists::SensorOf(row); }
    bool ToxicCarriesTC(int row) const;
    static void Fill(CFormValueList *list, const CAdvancedFeaturesLists::Span &span);
    // Bounds of the alarm lists: the partner is the selected (or the
    // document's) level of the other list of the same sensor.
    void RebuildHigh(int row, double warning);
    void RebuildWarning(int row, double high);

    void RebuildHCCalGas();
    void RebuildO2CalGas();
    void RebuildToxicCalGas(int row);
    void RebuildHCSelect();
    void SetToxicSelectCount(int count);

    void OnNews(int code, const CReplyNotice &notice);
    void Refresh();
    void Store();
    void OnRangeChange();
    void RelabelHC();
    void RelabelToxic(int row);
    void OnGasChange(int row);
    void OnO2Preset(int configuration);
    void ShowNextCalDue();
    void ShowCalInterval(int days);
    // Shows the image's levels (and HC calibration gas) in those of the lists given.
    void ShowHeldLevels(const QList<QWidget *> &lists);
    // A level as the row's lists print it.
    QString LevelText(int row, double level) const;
    // The range in use and the four range records as the document holds them.
    QByteArray RangeTable() const;
    // Every control Store reads.
    QList<QWidget *> Controls() const;
    void UpdateO2Buttons();

    std::array<CFormValueList *, RowCount> m_high{};
    std::array<CFormValueList *, RowCount> m_warning{};
    std::array<CFormValueList *, RowCount> m_calGas{};
    std::array<QLabel *, RowCount> m_highName{}, m_highUnit{};
    std::array<QLabel *, RowCount> m_warningName{}, m_warningUnit{};
    std::array<QLabel *, RowCount> m_calGasName{}, m_calGasUnit{};
    std::array<QComboBox *, RowCount> m_select{};
    QComboBox *m_alarmDelay = nullptr;
    QComboBox *m_backLight = nullptr;
    QComboBox *m_calInterval = nullptr;
    CFormRadioGroup *m_o2Alarms = nullptr;
    CFormRadioGroup *m_latch = nullptr;
    CFormRadioGroup *m_lunch = nullptr;
    CFormRadioGroup *m_bump = nullptr;
    CFormRadioGroup *m_comfort = nullptr;
    CFormRadioGroup *m_temperature = nullptr;
    std::array<QLineEdit *, 3> m_password{};
    QLabel *m_lastCal = nullptr;
    QLabel *m_nextCal = nullptr;
    // The TimeKeeper block is read once the toxic table's count has come,
    // so that the toxic levels are converted with the gases they belong to.
    bool m_timeKeeperDue = false;
    // What the last refresh showed: Store writes only what the user changed.
    CFormSnapshot m_shown;
    // The range table (and range) the HC lists were last built from.
    QByteArray m_rangeTableShown;
};
