// Log list rows over the log's entries.
#include "LogTableModel.h"

#include "datalog/LogList.h"
#include "datalog/LogRetrieval.h"

CLogTableModel::CLogTableModel(const CLogRetrieval &log, QObject *parent) : QAbstractTableModel(parent), m_log(log)
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(FlushMs);
    connect(&m_flush, &QTimer::timeout, this, &CLogTableModel::Flush);
    connect(&log, &CLogRetrieval::Cleared, this, &CLogTableModel::OnCleared);
    connect(&log, &CLogRetrieval::EntriesAdded, this, &CLogTableModel::OnAdded);
    connect(&log, &CLogRetrieval::SensorsChanged, this, &CLogTableModel::OnSensorsChanged);
}

int CLogTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int CLogTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : LogList::ColumnCount;
}

QVariant CLogTableModel::data(const QModelIndex &index, int role) const
{
    const int row = index.row();
    if (!index.isValid() || row >= m_rows || row >= m_log.Entries().size())
        return {};
    if (role == Qt::DisplayRole)
        return LogList::Cell(m_log.Entries().at(row), index.column(), m_log.Sensors());
    if (role == Qt::TextAlignmentRole)
        return int(LogList::Alignment(index.column()) | Qt::AlignVCenter);
    return {};
}

QVariant CLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return LogList::Heading(section, m_log.Sensors());
    if (role == Qt::TextAlignmentRole)
        return int(LogList::Alignment(section) | Qt::AlignVCenter);
    return {};
}

void CLogTableModel::Flush()
{
    m_flush.stop();
    const int count = int(m_log.Entries().size());
    if (count <= m_rows)
        return;
    beginInsertRows({}, m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}

void CLogTableModel::OnCleared()
{
    m_flush.stop();
    beginResetModel();
    m_rows = 0;
    endResetModel();
}

void CLogTableModel::OnAdded()
{
    if (!m_flush.isActive())
        m_flush.start();
}

void CLogTableModel::OnSensorsChanged()
{
    emit headerDataChanged(Qt::Horizontal, LogList::Toxic1, LogList::Toxic2Twa);
    if (m_rows > 0)
        emit dataChanged(index(0, LogList::Toxic1), index(m_rows - 1, LogList::Toxic2Twa));
}
