// The fleet table's filter.
#include "FleetFilter.h"

#include "FleetModel.h"

CFleetFilter::CFleetFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(CFleetModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setDynamicSortFilter(true);
}

void CFleetFilter::SetText(const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == m_words)
        return;
    m_words = words;
    invalidateRowsFilter();
}

void CFleetFilter::SetOverdueOnly(bool on)
{
    if (on == m_overdueOnly)
        return;
    m_overdueOnly = on;
    invalidateRowsFilter();
}

bool CFleetFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QAbstractItemModel *model = sourceModel();
    if (!model)
        return false;
    if (m_overdueOnly && !model->index(sourceRow, 0, sourceParent).data(CFleetModel::OverdueRole).toBool())
        return false;
    for (const QString &word : m_words) {
        bool found = false;
        for (int c = 0; c < model->columnCount(sourceParent) && !found; ++c)
            found = model->index(sourceRow, c, sourceParent).data(Qt::DisplayRole).toString().contains(word, Qt::CaseInsensitive);
        if (!found)
            return false;
    }
    return true;
}
