// The fleet table's model.
#include "FleetModel.h"

#include "report/HistoryReport.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace {
const char *const Headers[CFleetModel::ColumnCount] = {"Serial",           "ID",              "Configuration",
                                                       "Last Seen",        "Last Calibration", "Calibration Due",
                                                       "Last Bump Test",   "Status"};
const QColor OverdueBackground(0xfd, 0xe7, 0xe9);
const QColor OverdueText(0xb0, 0x00, 0x20);

bool Before(const QDateTime &due, const QDateTime &now)
{
    return due.isValid() && due < now;
}
} // namespace

CFleetModel::CFleetModel(QObject *parent) : QAbstractTableModel(parent) {}

void CFleetModel::SetRows(const QList<HistoryFleetRow> &rows, const QDateTime &now)
{
    beginResetModel();
    m_rows = rows;
    m_now = now;
    endResetModel();
}

const HistoryFleetRow *CFleetModel::Row(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row) : nullptr;
}

int CFleetModel::FindSerial(const QString &serial) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).serial == serial)
            return i;
    }
    return -1;
}

bool CFleetModel::Overdue(int row) const
{
    const HistoryFleetRow *r = Row(row);
    return r && (r->overdue || Before(r->calibrationDue, m_now) || Before(r->bumpTestDue, m_now));
}

int CFleetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CFleetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CFleetModel::Text(const HistoryFleetRow &row, int column) const
{
    switch (column) {
    case Serial: return row.serial;
    case InstrumentId: return row.instrumentId;
    case Configuration: return row.configuration;
    case LastSeen: return CHistoryReport::LocalDateTime(row.lastSeen);
    case LastCalibration: return CHistoryReport::LocalDate(row.lastCalibration);
    case CalibrationDue: return CHistoryReport::LocalDate(row.calibrationDue);
    case LastBumpTest: return CHistoryReport::LocalDate(row.lastBumpTest);
    case Status: return CHistoryReport::StatusWithDisagreement(row, m_now);
    default: return {};
    }
}

QVariant CFleetModel::data(const QModelIndex &index, int role) const
{
    const HistoryFleetRow *row = index.isValid() ? Row(index.row()) : nullptr;
    if (!row)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return Text(*row, column);
    case SortRole:
        switch (column) {
        case LastSeen: return row->lastSeen;
        case LastCalibration: return row->lastCalibration;
        // Instruments without a due date go after every dated one.
        case CalibrationDue: return row->calibrationDue.isValid() ? row->calibrationDue : QDateTime::fromSecsSinceEpoch(1LL << 40, Qt::UTC);
        case LastBumpTest: return row->lastBumpTest;
        case Status: return QStringLiteral("%1 %2").arg(Overdue(index.row()) ? 0 : 1).arg(Text(*row, column));
        default: return Text(*row, column).toLower();
        }
    case OverdueRole:
        return Overdue(index.row());
    case Qt::BackgroundRole:
        return Overdue(index.row()) ? QVariant(QBrush(OverdueBackground)) : QVariant();
    case Qt::ForegroundRole: {
        const bool late = (column == CalibrationDue && Before(row->calibrationDue, m_now))
                          || (column == Status && Overdue(index.row()));
        return late ? QVariant(QBrush(OverdueText)) : QVariant();
    }
    case Qt::FontRole:
        if (column == Status && Overdue(index.row())) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant CFleetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(Headers[section]);
}
