// Filters and sorts the fleet table: a text any column may hold, and overdue instruments only.
#pragma once

#include <QSortFilterProxyModel>

class CFleetFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit CFleetFilter(QObject *parent = nullptr);

    // Case-blind; every word must appear in some column of the row.
    void SetText(const QString &text);
    QString Text() const { return m_words.join(QLatin1Char(' ')); }
    void SetOverdueOnly(bool on);
    bool OverdueOnly() const { return m_overdueOnly; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QStringList m_words;
    bool m_overdueOnly = false;
};
