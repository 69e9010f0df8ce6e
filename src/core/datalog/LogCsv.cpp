// Writing and splitting the data log's comma-separated file.
#include "datalog/LogCsv.h"

#include "datalog/LogList.h"
#include "datalog/LogSensors.h"

#include <QSaveFile>

namespace {
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

QByteArray Quoted(const QString &text)
{
    return '"' + text.toLatin1() + '"';
}

void AppendTwoDigits(QByteArray &line, int n)
{
    line += char('0' + n / 10);
    line += char('0' + n % 10);
}

// "MM/dd/yy,HH:mm:ss" written digit by digit: formatting a QDateTime through
// its text pattern costs more than the rest of the row together.
void AppendDateTime(QByteArray &line, const LogRecord &entry, const LogSensors &sensors)
{
    const QDate date = entry.time.date();
    if (!entry.time.isValid() || date.year() < 0) {
        LogList::AppendCell(line, entry, LogList::Date, sensors);
        line += ',';
        LogList::AppendCell(line, entry, LogList::Time, sensors);
        return;
    }
    const QTime time = entry.time.time();
    AppendTwoDigits(line, date.month());
    line += '/';
    AppendTwoDigits(line, date.day());
    line += '/';
    AppendTwoDigits(line, date.year() % 100);
    line += ',';
    AppendTwoDigits(line, time.hour());
    line += ':';
    AppendTwoDigits(line, time.minute());
    line += ':';
    AppendTwoDigits(line, time.second());
}

void AppendRow(QByteArray &line, const LogRecord &entry, const LogSensors &sensors)
{
    line += '"';
    LogList::AppendCell(line, entry, LogList::Type, sensors);
    line += "\",";
    AppendDateTime(line, entry, sensors);
    for (int column = LogList::Time + 1; column < LogList::ColumnCount; ++column) {
        line += ',';
        LogList::AppendCell(line, entry, column, sensors);
    }
}

} // namespace

QByteArray LogCsv::HeadingLine(const LogSensors &sensors)
{
    QByteArray line;
    for (int column = 0; column < LogList::ColumnCount; ++column)
        line += Quoted(LogList::Heading(column, sensors)) + ',';
    line += Quoted(QStringLiteral("Pump"));
    return line;
}

QByteArray LogCsv::RowLine(const LogRecord &entry, const LogSensors &sensors)
{
    QByteArray line;
    AppendRow(line, entry, sensors);
    return line;
}

QByteArray LogCsv::FileText(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    // Rows of a generated log average under 60 bytes; a longer one just grows the buffer.
    QByteArray text = HeadingLine(sensors) + LineEnd;
    text.reserve(text.size() + entries.size() * 64);
    for (const LogRecord &entry : entries) {
        AppendRow(text, entry, sensors);
        text += LineEnd;
    }
    return text;
}

bool LogCsv::Save(const QString &path, const QList<LogRecord> &entries,
                  const LogSensors &sensors, QString *error, QString *detail)
{
    QSaveFile file(path);
    const QByteArray text = FileText(entries, sensors);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(text) == text.size()
                    && file.commit();
    if (!ok) {
        if (error)
            *error = QStringLiteral("Error writing ") + path;
        if (detail)
            *detail = file.errorString();
    }
    return ok;
}

namespace {
void SplitInto(QByteArrayView line, QList<QByteArrayView> &fields, bool *ok)
{
    if (ok)
        *ok = true;
    QByteArrayView rest = line;
    while (!rest.isEmpty()) {
        if (rest.front() == '"') {
            const qsizetype close = rest.indexOf('"', 1);
            if (close < 0) {
                if (ok)
                    *ok = false;
                return;
            }
            fields.append(rest.sliced(1, close - 1));
            rest = rest.sliced(qMin(close + 2, rest.size()));
            continue;
        }
        const qsizetype comma = rest.indexOf(',');
        if (comma < 0) {
            fields.append(rest);
            return;
        }
        fields.append(rest.first(comma));
        rest = rest.sliced(comma + 1);
    }
}

QList<QByteArray> Copies(const QList<QByteArrayView> &views)
{
    QList<QByteArray> fields;
    fields.reserve(views.size());
    for (QByteArrayView view : views)
        fields.append(view.toByteArray());
    return fields;
}
} // namespace

QList<QByteArray> LogCsv::Split(QByteArrayView line, bool *ok)
{
    QList<QByteArrayView> fields;
    SplitInto(line, fields, ok);
    return Copies(fields);
}

QList<QByteArray> LogCsv::SplitRow(QByteArrayView line, bool *ok)
{
    QList<QByteArrayView> fields;
    SplitRow(line, fields, ok);
    return Copies(fields);
}

void LogCsv::SplitRow(QByteArrayView line, QList<QByteArrayView> &fields, bool *ok)
{
    fields.clear();
    if (line.isEmpty() || line.front() != '"') {
        SplitInto(line, fields, ok);
        return;
    }
    const qsizetype close = line.lastIndexOf('"');
    if (close == 0) {
        if (ok)
            *ok = false;
        return;
    }
    if (ok)
        *ok = true;
    // Nothing after the last quote can start a quoted field.
    fields.append(line.sliced(1, close - 1));
    SplitInto(line.sliced(qMin(close + 2, line.size())), fields, nullptr);
}
