// A read-only report-style list for the engineering views.
#include "ReportList.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

CReportList::CReportList(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setColumnCount(0);
}

void CReportList::Reset()
{
    clear();
    setColumnCount(0);
    setHeaderLabels({});
    m_alignment.clear();
}

int CReportList::AddColumn(const QString &title, int width, bool rightAligned)
{
    const int column = columnCount();
    setColumnCount(column + 1);
    const Qt::Alignment align = (rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    m_alignment.append(align);
    headerItem()->setText(column, title);
    headerItem()->setTextAlignment(column, align);
    setColumnWidth(column, width);
    for (int row = 0; row < RowCount(); ++row)
        topLevelItem(row)->setTextAlignment(column, align);
    return column;
}

void CReportList::SetColumnTitle(int column, const QString &title)
{
    if (column >= 0 && column < columnCount())
        headerItem()->setText(column, title);
}

void CReportList::SetRowCount(int rows)
{
    while (RowCount() > rows)
        delete takeTopLevelItem(RowCount() - 1);
    QList<QTreeWidgetItem *> items;
    for (int row = RowCount(); row < rows; ++row) {
        auto *item = new QTreeWidgetItem;
        for (int column = 0; column < m_alignment.size(); ++column)
            item->setTextAlignment(column, m_alignment[column]);
        items.append(item);
    }
    addTopLevelItems(items);
}

void CReportList::SetCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= columnCount())
        return;
    QTreeWidgetItem *item = topLevelItem(row);
    if (item->text(column) != text)
        item->setText(column, text);
}

QString CReportList::Cell(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= columnCount())
        return {};
    return topLevelItem(row)->text(column);
}

int CReportList::TopRow() const
{
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

int CReportList::PageRows() const
{
    const int h = RowCount() > 0 ? rowHeight(model()->index(TopRow(), 0)) : 0;
    return h > 0 ? qMax(1, (viewport()->height() + h - 1) / h) : 1;
}

void CReportList::ScrollToTop(int row)
{
    if (row >= 0 && row < RowCount())
        scrollToItem(topLevelItem(row), QAbstractItemView::PositionAtTop);
}

void CReportList::FitColumns()
{
    const int pad = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    for (int column = 0; column < columnCount(); ++column) {
        const int title = fontMetrics().horizontalAdvance(headerItem()->text(column)) + pad + 8;
        const int texts = sizeHintForColumn(column) + pad;
        setColumnWidth(column, qMax(columnWidth(column), qMax(title, texts)));
    }
}

QSize CReportList::ContentSize() const
{
    int width = 2 * frameWidth();
    for (int column = 0; column < columnCount(); ++column)
        width += columnWidth(column);
    const int rowH = RowCount() > 0 ? qMax(1, sizeHintForRow(0)) : fontMetrics().height();
    const int height = 2 * frameWidth() + header()->sizeHint().height() + rowH * RowCount();
    // Room for a scroll bar either way, so a first opening shows everything.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {width + bar, height + bar};
}
