// The rows of the log list: one per entry, every cell text made when the list asks for it.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>

class CLogRetrieval;

/*
 * Keeps no text of its own: a cell is LogList::Cell of its entry, so a log
 * of a million entries costs no more to show than the rows on screen. Rows
 * that arrive during an upload are announced to the list in batches, at
 * most 25 times a second, however fast the records come.
 */
class CLogTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int FlushMs = 40;

    explicit CLogTableModel(const CLogRetrieval &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Announces every entry added so far (the batch timer does it otherwise).
    void Flush();

private:
    void OnCleared();
    void OnAdded();
    void OnSensorsChanged();

    const CLogRetrieval &m_log;
    int m_rows = 0;
    QTimer m_flush;
};
