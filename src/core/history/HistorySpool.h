// The spool file: history records the database could not take, kept in order on disk until it can.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

/*
 * The file starts with a line "ALTAVO-HISTORY-SPOOL 1"; each record follows as
 *   "R <meta bytes> <data bytes> <crc of both>\n" <meta> <data> "\n"
 * so a record cut short by a crash or a full disk is recognised and set
 * aside (into "<file>.damaged") instead of being replayed wrongly. Programs
 * that share the file take "<file>.lock" to append or replay.
 */
class CHistorySpool
{
public:
    struct Record
    {
        QByteArray meta; // the record's fields (JSON)
        QByteArray data; // log entries, packed
    };
    enum class Outcome {
        Done,    // stored (or found stored already): drop it
        Retry,   // the database failed: keep it and the rest, stop
        Reject,  // the database refuses this record for good: set it aside
    };

    explicit CHistorySpool(const QString &path);

    QString Path() const { return m_path; }
    bool Append(const Record &record, QString *error);
    // Records waiting; counted from the file each time (another program may append).
    int Count() const;
    // Offers the records in order; the ones done or rejected leave the file.
    // Returns the number left.
    int Replay(const std::function<Outcome(const Record &)> &apply, QString *error);
    // Records set aside as damaged or rejected (in "<file>.damaged").
    int SetAside() const;

private:
    QList<Record> Read(QByteArray *damaged, QString *error) const;

    QString m_path;
};
