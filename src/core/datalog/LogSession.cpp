// Session detection over decoded log entries.
#include "datalog/LogSession.h"

namespace {
// The text as the list shows it (up to a NUL, at most 16 characters), less its padding.
QString WithoutTrailingBlanks(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    qsizetype end = qMin<qsizetype>(nul < 0 ? text.size() : nul, 16);
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}
} // namespace

QList<LogSession> LogSession::Find(const QList<LogRecord> &entries)
{
    QList<LogSession> sessions;
    QString operatorText = QStringLiteral("?");
    QString location = QStringLiteral("?");
    int first = 0;
    int dataCount = 0;

    const auto close = [&](int last) {
        if (dataCount < MinimumDataCount || last < first)
            return;
        if (entries.at(first).time.secsTo(entries.at(last).time) <= MinimumSpanSeconds)
            return;
        sessions.append(LogSession{first, last, dataCount, operatorText, location});
    };

    const int count = int(entries.size());
    for (int j = 0; j < count; ++j) {
        const LogRecord &entry = entries.at(j);
        if (entry.kind == LogRecord::Data) {
            if (dataCount == 0)
                first = j;
            ++dataCount;
        } else if (entry.IsEvent(1) || entry.IsEvent(2)) {
            if (first < j)
                close(j - 1);
            first = j;
            dataCount = 0;
        } else if (entry.IsEvent(7)) {
            operatorText = WithoutTrailingBlanks(entry.text);
        } else if (entry.IsEvent(8)) {
            location = WithoutTrailingBlanks(entry.text);
        }
    }
    close(count - 1);
    return sessions;
}
