// Fixed-width printable text of the log list.
#include "datalog/LogPrint.h"

#include "datalog/LogList.h"
#include "datalog/LogSensors.h"

#include <QStringList>

QString LogPrint::Line(const QStringList &fields)
{
    QString line;
    for (int column = 0; column < FieldCount; ++column) {
        const QString text = fields.value(column);
        if (column == LogList::Type)
            line += text.left(32).leftJustified(32);
        else if (column == LogList::Date || column == LogList::Time)
            line += text.left(9).leftJustified(9);
        else
            line += text.left(4).rightJustified(5);
    }
    return line + QStringLiteral("\r\n");
}

QString LogPrint::Text(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    QStringList upper, lower;
    for (int column = 0; column < LogList::ColumnCount; ++column) {
        const QString heading = LogList::Heading(column, sensors);
        const qsizetype firstBlank = heading.indexOf(QLatin1Char(' '));
        upper.append(firstBlank < 0 ? heading : heading.left(firstBlank));
        lower.append(firstBlank < 0 ? QString() : heading.mid(heading.lastIndexOf(QLatin1Char(' ')) + 1));
    }
    QString text = Line(upper) + Line(lower);
    for (const LogRecord &entry : entries) {
        QStringList row;
        for (int column = 0; column < LogList::ColumnCount; ++column)
            row.append(LogList::Cell(entry, column, sensors));
        text += Line(row);
    }
    return text;
}
