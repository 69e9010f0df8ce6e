// The "Flash" dump's rows, made when the list asks for them.
#include "FlashModel.h"

#include "views/MemoryDumpText.h"

CFlashModel::CFlashModel(const CWordImage &image, QObject *parent) : QAbstractTableModel(parent), m_image(image)
{
}

int CFlashModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : CMemoryDumpText::FlashRowCount;
}

int CFlashModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CFlashModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    if (index.column() == 0)
        return CMemoryDumpText::FlashRowLabel(index.row());
    return CMemoryDumpText::FlashCell(m_image, index.row(), index.column() - 1);
}

QVariant CFlashModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == 0 ? QString() : QString::number(section - 1, 16).toUpper();
}

void CFlashModel::RowsChanged(int first, int last)
{
    first = qMax(0, first);
    last = qMin(last, CMemoryDumpText::FlashRowCount - 1);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1), {Qt::DisplayRole});
}
