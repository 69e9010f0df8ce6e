// One instrument's timeline as the history window lists it: transfers, logs, calibrations, bump tests, firmware runs and board tests, newest first.
#pragma once

#include "history/HistoryTypes.h"

#include <QAbstractTableModel>
#include <QList>

class CTimelineModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column : int { Time, Kind, Result, Summary, ColumnCount };

    explicit CTimelineModel(QObject *parent = nullptr);

    void SetItems(const QList<HistoryTimelineItem> &items);
    const QList<HistoryTimelineItem> &Items() const { return m_items; }
    const HistoryTimelineItem *Item(int row) const;

    // "Upload", "Download", "Log", "Calibration", "Bump test", "Firmware", "Board test".
    static QString KindText(HistoryTimelineItem::Kind kind);
    // "Verified"/"Not verified" for downloads, "Passed"/"Failed" for tests and
    // programming, empty for uploads and logs.
    static QString ResultText(const HistoryTimelineItem &item);
    static bool IsSnapshot(const HistoryTimelineItem &item);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<HistoryTimelineItem> m_items;
};
