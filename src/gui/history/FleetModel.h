// The fleet as the history window's table shows it: one row per instrument, overdue rows marked.
#pragma once

#include "history/HistoryTypes.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>

class CFleetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column : int {
        Serial,
        InstrumentId,
        Configuration,
        LastSeen,
        LastCalibration,
        CalibrationDue,
        LastBumpTest,
        Status,
        ColumnCount
    };
    // Dates sort as dates, not as their text.
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int OverdueRole = Qt::UserRole + 1;

    explicit CFleetModel(QObject *parent = nullptr);

    // now: the time overdue rows and "Due in n days" are judged at.
    void SetRows(const QList<HistoryFleetRow> &rows, const QDateTime &now);
    const QList<HistoryFleetRow> &Rows() const { return m_rows; }
    const HistoryFleetRow *Row(int row) const;
    // -1 when the serial is not in the table.
    int FindSerial(const QString &serial) const;
    bool Overdue(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString Text(const HistoryFleetRow &row, int column) const;

    QList<HistoryFleetRow> m_rows;
    QDateTime m_now;
};
