// Tells the user which settings the instrument does not hold as they were
// downloaded: one row per field, with the value sent and the value read back.
#pragma once

#include "document/DownloadVerifier.h"

#include <QDialog>

class QTableWidget;

class CDownloadReport : public QDialog
{
    Q_OBJECT
public:
    CDownloadReport(const QList<CDownloadDifference> &differences, QWidget *parent = nullptr);

    QTableWidget *Table() const { return m_table; }

private:
    QTableWidget *m_table;
};
