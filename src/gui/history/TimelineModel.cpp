// The timeline's model.
#include "TimelineModel.h"

#include "report/HistoryReport.h"

#include <QBrush>
#include <QColor>

namespace {
const char *const Headers[CTimelineModel::ColumnCount] = {"Time", "Event", "Result", "Details"};
}

CTimelineModel::CTimelineModel(QObject *parent) : QAbstractTableModel(parent) {}

void CTimelineModel::SetItems(const QList<HistoryTimelineItem> &items)
{
    beginResetModel();
    m_items = items;
    endResetModel();
}

const HistoryTimelineItem *CTimelineModel::Item(int row) const
{
    return row >= 0 && row < m_items.size() ? &m_items.at(row) : nullptr;
}

QString CTimelineModel::KindText(HistoryTimelineItem::Kind kind)
{
    switch (kind) {
    case HistoryTimelineItem::Upload: return QStringLiteral("Upload");
    case HistoryTimelineItem::Download: return QStringLiteral("Download");
    case HistoryTimelineItem::LogRetrieval: return QStringLiteral("Log");
    case HistoryTimelineItem::Calibration: return QStringLiteral("Calibration");
    case HistoryTimelineItem::BumpTest: return QStringLiteral("Bump test");
    case HistoryTimelineItem::Firmware: return QStringLiteral("Firmware");
    case HistoryTimelineItem::BoardTest: return QStringLiteral("Board test");
    }
    return {};
}

QString CTimelineModel::ResultText(const HistoryTimelineItem &item)
{
    switch (item.kind) {
    case HistoryTimelineItem::Upload:
    case HistoryTimelineItem::LogRetrieval:
        return {};
    case HistoryTimelineItem::Download:
        return item.passed ? QStringLiteral("Verified") : QStringLiteral("Not verified");
    default:
        return item.passed ? QStringLiteral("Passed") : QStringLiteral("Failed");
    }
}

bool CTimelineModel::IsSnapshot(const HistoryTimelineItem &item)
{
    return (item.kind == HistoryTimelineItem::Upload || item.kind == HistoryTimelineItem::Download) && item.refId != 0;
}

int CTimelineModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int CTimelineModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CTimelineModel::data(const QModelIndex &index, int role) const
{
    const HistoryTimelineItem *item = index.isValid() ? Item(index.row()) : nullptr;
    if (!item)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case Time: return CHistoryReport::LocalDateTime(item->time);
        case Kind: return KindText(item->kind);
        case Result: return ResultText(*item);
        case Summary: return item->summary;
        default: return {};
        }
    }
    if (role == Qt::ForegroundRole && index.column() == Result && !item->passed)
        return QBrush(QColor(0xb0, 0x00, 0x20));
    return {};
}

QVariant CTimelineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(Headers[section]);
}
