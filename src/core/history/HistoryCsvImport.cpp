// Saved data-log files read with the sensors they were written with.
#include "history/HistoryCsvImport.h"

#include "datalog/LogCsv.h"

#include <QFile>

namespace {
constexpr qsizetype SampleBytes = 256 * 1024;

// The file's row lines as the reader takes them: one entry per non-empty
// line after the heading.
QList<QByteArrayView> Rows(QByteArrayView content)
{
    QList<QByteArrayView> rows;
    bool heading = true;
    for (qsizetype from = 0; from < content.size();) {
        qsizetype end = content.indexOf('\n', from);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        if (end < 0)
            end = content.size();
        QByteArrayView line = content.sliced(from, end - from);
        from = next;
        while (!line.isEmpty() && line.back() == '\r')
            line.chop(1);
        if (heading) {
            heading = false;
            continue;
        }
        if (!line.isEmpty())
            rows.append(line.size() > LogCsvReader::MaximumLineLength ? line.first(LogCsvReader::MaximumLineLength) : line);
    }
    return rows;
}

qsizetype Unmatched(const LogCsvReader::Result &read, const QList<QByteArrayView> &rows)
{
    qsizetype bad = 0;
    const qsizetype n = qMin(read.entries.size(), rows.size());
    for (qsizetype i = 0; i < n; ++i) {
        const LogRecord &e = read.entries.at(i);
        if (e.kind == LogRecord::Data && LogCsv::RowLine(e, read.sensors) != rows.at(i))
            ++bad;
    }
    return bad;
}

// The HC Full Scale taken when no retrieval tells it: a range counted in whole units.
constexpr int WholeUnitsFullScale = 100;
} // namespace

CHistoryCsvImport::Result CHistoryCsvImport::Read(const QString &path, const std::optional<LogSensors> &known)
{
    QFile file(path);
    if (file.size() > LogCsvReader::MaximumFileSize || !file.open(QIODevice::ReadOnly)) {
        // The reader says why, naming the file.
        Result r;
        r.read = LogCsvReader({}, 0).Load(path);
        return r;
    }
    return Parse(file.readAll(), known);
}

CHistoryCsvImport::Result CHistoryCsvImport::Parse(const QByteArray &content, const std::optional<LogSensors> &known)
{
    const LogCsvReader fromFile({}, WholeUnitsFullScale);
    LogCsvReader chosen = fromFile;
    if (known) {
        const qsizetype headingEnd = content.indexOf('\n');
        const QList<QByteArray> heading = LogCsv::Split(QByteArrayView(content).first(headingEnd < 0 ? content.size() : headingEnd).trimmed());
        const QString name1 = QString::fromLatin1(heading.value(5)), name2 = QString::fromLatin1(heading.value(6));
        const LogCsvReader withKnown({{QString(), 0}, {name1, known->Fraction(1)}, {name2, known->Fraction(2)}},
                                     known->HCFullScale());
        // Compared on the first part of the file, then one of them reads it whole.
        qsizetype cut = qMin(content.size(), SampleBytes);
        if (cut < content.size()) {
            const qsizetype eol = content.lastIndexOf('\n', cut);
            cut = eol > headingEnd ? eol + 1 : content.size();
        }
        const QByteArrayView sample = QByteArrayView(content).first(cut);
        const QList<QByteArrayView> sampleRows = Rows(sample);
        const qsizetype knownBad = Unmatched(withKnown.Parse(sample), sampleRows);
        if (knownBad == 0 || knownBad <= Unmatched(fromFile.Parse(sample), sampleRows))
            chosen = withKnown;
    }
    Result r;
    r.read = chosen.Parse(content);
    r.unmatched = Unmatched(r.read, Rows(content));
    return r;
}
