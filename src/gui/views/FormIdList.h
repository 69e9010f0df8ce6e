// A list of 16-character IDs: a row number and the ID's two 8-character halves, no headings.
#pragma once

#include <QTreeWidget>

class CFormIdList : public QTreeWidget
{
    Q_OBJECT
public:
    // titleFormat: the ID dialog's title, "%d" taking the 1-based row number.
    CFormIdList(int rows, const QString &titleFormat, QWidget *parent = nullptr);

    int RowCount() const { return topLevelItemCount(); }
    QString TitleFormat() const { return m_titleFormat; }
    // The 16-character ID of row (0-based): each half padded with blanks and cut to 8.
    QString Id(int row) const;
    // Pads the ID with blanks and splits characters 1-8 and 9-16 into the halves.
    void SetId(int row, const QString &id);
    // Opens the ID dialog for a row; true when the row was changed.
    bool EditRow(int row);
    // Where the dialog's top-left corner goes: the bottom-left of the row on the screen.
    QPoint DialogPosition(int row) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void FitColumns();

    QString m_titleFormat;
    int m_visibleRows;
};
