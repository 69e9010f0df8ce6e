// "Add to History" in the log window: the CSV file the window shows goes into the history as an import, for the instrument the file names or the one the user gives once.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class CHistoryWorker;
class CLog;
struct LogRecord;

class CLogHistoryImport : public QObject
{
    Q_OBJECT
public:
    // Asked when the history cannot tell the file's instrument: the serial
    // number typed or chosen (known: the history's serials), empty to cancel.
    using SerialAsker = std::function<QString(const QString &path, const QStringList &known)>;

    // Gives the log window its "Add to History" command; changed() runs after
    // something was written. The history is read and written on its worker's
    // thread; the window goes on meanwhile.
    static CLogHistoryImport *Attach(CLog &log, CHistoryWorker &worker, std::function<void()> changed = {});

    CLogHistoryImport(CLog &log, CHistoryWorker &worker, std::function<void()> changed);
    void SetSerialAsker(SerialAsker asker) { m_asker = std::move(asker); }
    // What the command tells the user.
    QString Add(const QString &path, const QList<LogRecord> &entries);


private:
    CHistoryWorker &m_worker;
    std::function<void()> m_changed;
    SerialAsker m_asker;
};
