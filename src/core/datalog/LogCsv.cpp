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
    QByteArray line = Quoted(LogList::Cell(entry, LogList::Type, sensors));
    for (int column = 1; column < LogList::ColumnCount; ++column)
        line += ',' + LogList::Cell(entry, column, sensors).toLatin1();
    return line;
}

QByteArray LogCsv::FileText(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    QByteArray text = HeadingLine(sensors) + LineEnd;
    for (const LogRecord &entry : entries)
        text += RowLine(entry, sensors) + LineEnd;
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

QList<QByteArray> LogCsv::Split(QByteArrayView line, bool *ok)
{
    QList<QByteArray> fields;
    if (ok)
        *ok = true;
    QByteArrayView rest = line;
    while (!rest.isEmpty()) {
        if (rest.front() == '"') {
            const qsizetype close = rest.indexOf('"', 1);
            if (close < 0) {
                if (ok)
                    *ok = false;
                return fields;
            }
            fields.append(rest.sliced(1, close - 1).toByteArray());
            rest = rest.sliced(qMin(close + 2, rest.size()));
            continue;
        }
        const qsizetype comma = rest.indexOf(',');
        if (comma < 0) {
            fields.append(rest.toByteArray());
            break;
        }
        fields.append(rest.first(comma).toByteArray());
        rest = rest.sliced(comma + 1);
    }
    return fields;
}

QList<QByteArray> LogCsv::SplitRow(QByteArrayView line, bool *ok)
{
    if (line.isEmpty() || line.front() != '"')
        return Split(line, ok);
    const qsizetype close = line.lastIndexOf('"');
    if (close == 0) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    // Nothing after the last quote can start a quoted field.
    QList<QByteArray> fields{line.sliced(1, close - 1).toByteArray()};
    fields += Split(line.sliced(qMin(close + 2, line.size())));
    return fields;
}
