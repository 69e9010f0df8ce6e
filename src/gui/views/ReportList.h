// A read-only report-style list for the engineering views: fixed columns with
// titles, widths and alignment, rows of texts, and the visible-page queries
// the memory dumps need.
#pragma once

#include <QTreeWidget>
#include <QList>

class CReportList : public QTreeWidget
{
    Q_OBJECT
public:
    explicit CReportList(QWidget *parent = nullptr);

    // Removes every row and column.
    void Reset();
    // Appends a column; returns its index.
    int AddColumn(const QString &title, int width, bool rightAligned = false);
    void SetColumnTitle(int column, const QString &title);
    // Makes the list hold exactly `rows` rows (new ones empty).
    void SetRowCount(int rows);
    int RowCount() const { return topLevelItemCount(); }
    // Ignored outside the rows and columns.
    void SetCell(int row, int column, const QString &text);
    QString Cell(int row, int column) const;

    // The first row at least partly visible, and how many rows a page shows.
    int TopRow() const;
    int PageRows() const;
    void ScrollToTop(int row);

    // Widens (never narrows) every column to its title and present texts.
    void FitColumns();
    // The size that shows every column and row without scroll bars.
    QSize ContentSize() const;

private:
    QList<Qt::Alignment> m_alignment;
};
