// The "Datalog Features" form: the instrument clock, the data-log settings and
// state, clearing the log, and the Operator, Location and Instrument IDs.
#pragma once

#include "InstrumentView.h"

#include <QDateTime>
#include <array>
#include <functional>

class CFormIdList;
class CFormRadioGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CDatalogFeatures : public CInstrumentView
{
    Q_OBJECT
public:
    enum ClockField { Month, Day, Year, Hour, Minute, Second, ClockFieldCount };

    explicit CDatalogFeatures(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;

    // The computer's time for "<-" and the texts beside the clock; the
    // system's local time unless a test sets another source.
    void SetTimeSource(std::function<QDateTime()> now) { m_now = std::move(now); }
    // Asks before the log is cleared; a test may answer instead of the user.
    void SetClearConfirmation(std::function<bool()> ask) { m_confirmClear = std::move(ask); }

    QLineEdit *ClockEdit(int field) const { return m_clock[size_t(field)]; }
    QLabel *PcDateText() const { return m_pcDate; }
    QLabel *PcTimeText() const { return m_pcTime; }
    QPushButton *SetClockButton() const { return m_setClock; }
    QPushButton *ClearLogButton() const { return m_clearLog; }
    CFormRadioGroup *LogMemManager() const { return m_memManager; }
    CFormRadioGroup *LogAverages() const { return m_averages; }
    QLabel *LogStatusText() const { return m_logStatus; }
    QLabel *LogBeganText() const { return m_logBegan; }
    QComboBox *LogInterval() const { return m_interval; }
    CFormIdList *OperatorList() const { return m_operators; }
    CFormIdList *LocationList() const { return m_locations; }
    CFormIdList *InstrumentList() const { return m_instrument; }

    // The Log Status text for the remaining hours and the two flags.
    static QString LogStatusLine(bool clearing, bool stopped, bool overwriting, int hoursLeft);
    static QString LogIntervalText(int seconds);

private:
    void BuildForm();
    void Refresh();
    void Store();
    void ShowClock();
    void ShowComputerTime();
    void OnSetClock();
    void OnClearLog();

    std::array<QLineEdit *, ClockFieldCount> m_clock{};
    QLabel *m_pcDate = nullptr;
    QLabel *m_pcTime = nullptr;
    QPushButton *m_setClock = nullptr;
    CFormRadioGroup *m_memManager = nullptr;
    CFormRadioGroup *m_averages = nullptr;
    QLabel *m_logStatus = nullptr;
    QPushButton *m_clearLog = nullptr;
    QLabel *m_logBegan = nullptr;
    QComboBox *m_interval = nullptr;
    CFormIdList *m_operators = nullptr;
    CFormIdList *m_locations = nullptr;
    CFormIdList *m_instrument = nullptr;
    std::function<QDateTime()> m_now;
    std::function<bool()> m_confirmClear;
    // Reads of the TimeKeeper block and the ID table wait for the toxic
    // table's count (see OnInitialUpdate).
    bool m_uploadDue = false;
};
