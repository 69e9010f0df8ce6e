// ID lists of the Datalog Features form.
#include "FormIdList.h"

#include "FormIdDialog.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QResizeEvent>

namespace {
QString Half(const QString &text)
{
    return text.leftJustified(8, QLatin1Char(' '), true);
}
} // namespace

CFormIdList::CFormIdList(int rows, const QString &titleFormat, QWidget *parent)
    : QTreeWidget(parent), m_titleFormat(titleFormat), m_visibleRows(qMin(rows, 8))
{
    setColumnCount(3);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Blank halves are IDs too: show them as blanks, never as an ellipsis.
    setTextElideMode(Qt::ElideNone);
    // The halves are fixed-width text: a fixed font keeps their blanks visible.
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    setFont(fixed);
    for (int r = 0; r < rows; ++r) {
        auto *item = new QTreeWidgetItem(this);
        item->setText(0, QString::asprintf("%2d", r + 1));
        item->setText(1, Half({}));
        item->setText(2, Half({}));
    }
    // Both a click and a double-click open the dialog; a double-click's first
    // click has already done so.
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        EditRow(indexOfTopLevelItem(item));
    });
}

QString CFormIdList::Id(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    if (!item)
        return QString(16, QLatin1Char(' '));
    return Half(item->text(1)) + Half(item->text(2));
}

void CFormIdList::SetId(int row, const QString &id)
{
    QTreeWidgetItem *item = topLevelItem(row);
    if (!item)
        return;
    const QString padded = id.leftJustified(16, QLatin1Char(' '), true);
    item->setText(1, padded.left(8));
    item->setText(2, padded.mid(8, 8));
}

QPoint CFormIdList::DialogPosition(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    if (!item)
        return {};
    const QRect r = visualItemRect(item);
    return viewport()->mapToGlobal(QPoint(0, r.bottom() + 1));
}

bool CFormIdList::EditRow(int row)
{
    if (row < 0 || row >= RowCount())
        return false;
    QTreeWidgetItem *item = topLevelItem(row);
    CFormIdDialog dialog(QString(m_titleFormat).replace(QLatin1String("%d"), QString::number(row + 1)),
                         Half(item->text(1)), Half(item->text(2)), this);
    dialog.adjustSize();
    dialog.move(DialogPosition(row));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    item->setText(1, Half(dialog.Line1()));
    item->setText(2, Half(dialog.Line2()));
    return true;
}

QSize CFormIdList::sizeHint() const
{
    const int rowHeight = qMax(fontMetrics().height() + 4, sizeHintForRow(0));
    // Each half's column (three eighths of the width) holds 8 characters and the item margins.
    const int half = fontMetrics().horizontalAdvance(QStringLiteral("WWWWWWWW")) + 16;
    const int width = half * 8 / 3 + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
    return {width, rowHeight * m_visibleRows + 2 * frameWidth() + 2};
}

QSize CFormIdList::minimumSizeHint() const
{
    return {sizeHint().width(), QTreeWidget::minimumSizeHint().height()};
}

void CFormIdList::resizeEvent(QResizeEvent *event)
{
    QTreeWidget::resizeEvent(event);
    FitColumns();
}

void CFormIdList::FitColumns()
{
    // One eighth for the row number, three eighths for each half.
    const int w = viewport()->width();
    setColumnWidth(0, w / 8);
    setColumnWidth(1, w * 3 / 8);
    setColumnWidth(2, w - w / 8 - w * 3 / 8);
}
