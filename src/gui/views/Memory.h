// "Memory": the seven flash sectors with their use markers, fill pointers,
// fill gauges and erase buttons.
#pragma once

#include "InstrumentView.h"

#include <QtGlobal>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class CMemory : public CInstrumentView
{
    Q_OBJECT
public:
    static constexpr int SectorRows = 7;

    explicit CMemory(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;

    // Erasing wipes what the sector holds (a data log, the averages, the
    // code): the question names the sector and its use, and the erase goes
    // out only on Yes. Tests answer it here instead of a message box.
    void SetEraseConfirmation(std::function<bool(const QString &question)> ask) { m_confirmErase = std::move(ask); }

    QLabel *AddressLabel(int row) const { return m_address[size_t(row)]; }
    QLineEdit *Word0(int row) const { return m_word0[size_t(row)]; }
    QLineEdit *Use(int row) const { return m_use[size_t(row)]; }
    QLineEdit *Pointer(int row) const { return m_pointer[size_t(row)]; }
    QProgressBar *Gauge(int row) const { return m_gauge[size_t(row)]; }
    QPushButton *EraseButton(int row) const { return m_erase[size_t(row)]; }
    // Rows of the STEL, TWA and current log sectors; -1 until a marker names them.
    int StelRow() const { return m_stelRow; }
    int TwaRow() const { return m_twaRow; }
    int CurrentLogRow() const { return m_currentRow; }

private:
    void BuildForm();
    void ShowMarker(int row);
    void ShowGauge(int row, int pointer, double percent);
    void ClearGauge(int row);
    void OnErase(int row);

    std::array<QLabel *, SectorRows> m_address{};
    std::array<QLineEdit *, SectorRows> m_word0{};
    std::array<QLineEdit *, SectorRows> m_use{};
    std::array<QLineEdit *, SectorRows> m_pointer{};
    std::array<QProgressBar *, SectorRows> m_gauge{};
    std::array<QPushButton *, SectorRows> m_erase{};
    int m_stelRow = -1;
    int m_twaRow = -1;
    int m_currentRow = -1;
    std::function<bool(const QString &)> m_confirmErase;
};
