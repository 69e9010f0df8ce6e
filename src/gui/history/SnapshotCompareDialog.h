// Two settings snapshots of one instrument side by side, option key by option key.
#pragma once

#include "history/HistoryTypes.h"
#include "report/SnapshotCompare.h"

#include <QDialog>
#include <QList>

class CHistoryStore;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

class CSnapshotCompareDialog : public QDialog
{
    Q_OBJECT
public:
    static const QString Caption; // "Compare Settings"

    // leftId, rightId: the snapshots to start with; 0 picks the second
    // newest (left) and the newest (right).
    CSnapshotCompareDialog(const CHistoryStore &store, const QString &serial, qint64 leftId = 0, qint64 rightId = 0,
                           QWidget *parent = nullptr);
    // snapshots: the instrument's, newest first, as CHistoryStore::Snapshots gives them.
    CSnapshotCompareDialog(const QList<HistorySnapshot> &snapshots, const QString &serial, qint64 leftId = 0,
                           qint64 rightId = 0, QWidget *parent = nullptr);

    QComboBox *LeftBox() const { return m_left; }
    QComboBox *RightBox() const { return m_right; }
    QCheckBox *DifferencesOnlyBox() const { return m_differencesOnly; }
    QTableWidget *Table() const { return m_table; }
    QLabel *Summary() const { return m_summary; }
    // The rows as the table shows them.
    const QList<SnapshotCompareRow> &Rows() const { return m_rows; }

    // "2026-12-10 11:20  Download, verified  (BENCH-PC, anna)".
    static QString SnapshotText(const HistorySnapshot &snapshot);

private:
    void Refresh();
    const HistorySnapshot *Chosen(const QComboBox *box) const;

    QList<HistorySnapshot> m_snapshots;
    QList<SnapshotCompareRow> m_rows;
    QComboBox *m_left;
    QComboBox *m_right;
    QCheckBox *m_differencesOnly;
    QTableWidget *m_table;
    QLabel *m_summary;
};
