// The "Sessions" dialog: every session of the log with its times, operator and location, to pick the one to show.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSession.h"

#include <QDialog>

class QTreeWidget;

class CSessionsDialog : public QDialog
{
    Q_OBJECT
public:
    CSessionsDialog(const QList<LogRecord> &entries, const QList<LogSession> &sessions, int current,
                    QWidget *parent = nullptr);

    // The chosen row after OK, a double-click or Enter; -1 when none.
    int Selected() const;
    QTreeWidget *List() const { return m_list; }

    // "%x %X": the locale's short date and time of a log time.
    static QString TimeText(const QDateTime &t);

private:
    QTreeWidget *m_list;
};
