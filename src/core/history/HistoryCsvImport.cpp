// Saved data-log files read with the sensors they were written with.
#include "history/HistoryCsvImport.h"

#include "datalog/LogCsv.h"
#include "history/HistoryStore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

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

HistoryWriteResult CHistoryCsvImport::Record(CHistoryStore &store, const QString &path, const QString &serial, Result *imported)
{
    // The divisors of the instrument's last retrieval, when the history has one.
    std::optional<LogSensors> known;
    for (const HistoryLogRetrieval &r : store.Retrievals(serial)) {
        if (r.source == HistoryLogRetrieval::Instrument) {
            known = r.sensors;
            break;
        }
    }
    Result read = Read(path, known);
    HistoryWriteResult result;
    if (!read.read.Ok()) {
        result.error = read.read.detail.isEmpty() ? read.read.error : QStringLiteral("%1: %2").arg(read.read.error, read.read.detail);
    } else {
        HistoryLogRetrieval r;
        r.serial = serial;
        r.source = HistoryLogRetrieval::CsvFile;
        r.fileName = QFileInfo(path).fileName();
        r.sensors = read.read.sensors;
        result = store.RecordLog(r, read.read.entries);
    }
    if (imported)
        *imported = std::move(read);
    return result;
}

QString CHistoryCsvImport::MatchSerial(const QList<HistoryFleetRow> &fleet, const QString &path, const QList<LogRecord> &entries)
{
    QSet<QString> found;
    const QString name = QFileInfo(path).completeBaseName().toUpper();
    static const QRegularExpression serialText(QStringLiteral("(?<![0-9A-F])[0-9A-F]{8}(?![0-9A-F])"));
    for (auto m = serialText.globalMatch(name); m.hasNext();) {
        const QString token = m.next().captured();
        for (const HistoryFleetRow &row : fleet) {
            if (row.serial == token)
                found.insert(row.serial);
        }
    }
    if (found.isEmpty()) {
        // The log names its instrument by ID (event 9) at each power-on.
        QSet<QString> ids;
        for (const LogRecord &e : entries) {
            if (e.IsEvent(9) && !e.text.trimmed().isEmpty())
                ids.insert(e.text.trimmed());
        }
        for (const HistoryFleetRow &row : fleet) {
            if (!row.instrumentId.trimmed().isEmpty() && ids.contains(row.instrumentId.trimmed()))
                found.insert(row.serial);
        }
    }
    return found.size() == 1 ? *found.cbegin() : QString();
}

QString CHistoryCsvImport::NormalSerial(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qulonglong n = t.toULongLong(&ok, 16);
    if (!ok || t.isEmpty() || t.size() > 8 || t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')))
        return {};
    return QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper();
}
