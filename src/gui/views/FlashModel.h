// The "Flash" dump's rows, made when the list asks for them: 10240 rows of 16
// words of the document's word image.
#pragma once

#include <QAbstractTableModel>

class CWordImage;

class CFlashModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ColumnCount = 17;

    explicit CFlashModel(const CWordImage &image, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The rows first..last changed in the image.
    void RowsChanged(int first, int last);

private:
    const CWordImage &m_image;
};
