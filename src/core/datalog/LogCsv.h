// The data log's comma-separated file: heading and row lines, the line splitter, saving.
#pragma once

#include "datalog/LogRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class LogSensors;

/*
 * Layout (CR LF line ends, bytes are Latin-1):
 *   "Type","Date","Time","HC","O2","<T1>","<T2>","<T1> STEL","<T2> STEL",
 *       "<T1> TWA","<T2> TWA","Battery","Pump"
 *   "<type text>",<date>,<time>,<HC>,<O2>,<T1>,<T2>,<T1 STEL>,<T2 STEL>,
 *       <T1 TWA>,<T2 TWA>,<battery>
 * Rows hold the list's own cell texts; quotes inside texts are written as they
 * are (the file has always been written that way), and the reader copes.
 */
class LogCsv
{
public:
    static QByteArray HeadingLine(const LogSensors &sensors);
    static QByteArray RowLine(const LogRecord &entry, const LogSensors &sensors);
    // The whole file.
    static QByteArray FileText(const QList<LogRecord> &entries, const LogSensors &sensors);

    // Writes the file in one piece through a temporary file, so a failed save
    // leaves an existing file as it was. On failure `error` gets
    // "Error writing <path>" and `detail` the system's reason.
    static bool Save(const QString &path, const QList<LogRecord> &entries,
                     const LogSensors &sensors, QString *error, QString *detail = nullptr);

    /*
     * Splits a line: a field starting with a double quote runs to the next
     * double quote and the character after it is skipped; any other field runs
     * to the next comma; the rest of the line is the last field. `ok` turns
     * false when a closing quote is missing; the fields split so far are kept.
     */
    static QList<QByteArray> Split(QByteArrayView line, bool *ok = nullptr);
    // As Split, but the quoted type text of a row runs to the last double
    // quote of the line, since only that field can hold one: an operator or
    // location text with a quote in it then reads back whole.
    static QList<QByteArray> SplitRow(QByteArrayView line, bool *ok = nullptr);
    // SplitRow into views of `line`, refilling `fields`: a reader of a long
    // file is spared an allocation for every field.
    static void SplitRow(QByteArrayView line, QList<QByteArrayView> &fields, bool *ok = nullptr);
};
