// Reading the data log's comma-separated file back into entries.
#include "datalog/LogCsvReader.h"

#include "datalog/LogCsv.h"
#include "datalog/LogDecoder.h"
#include "datalog/LogList.h"
#include "datalog/LogText.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <charconv>
#include <cmath>

namespace {
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The leading number of a field, as atof reads it; `whole` tells whether
// nothing but blanks followed it. Non-finite numbers read as 0.
double Number(QByteArrayView field, bool *whole = nullptr)
{
    const char *p = field.data();
    const char *end = p + field.size();
    while (p < end && IsBlank(*p))
        ++p;
    if (p < end && *p == '+')
        ++p;
    double value = 0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(value)) {
        if (whole)
            *whole = false;
        return 0;
    }
    p = result.ptr;
    while (p < end && IsBlank(*p))
        ++p;
    if (whole)
        *whole = (p == end);
    return value;
}

// The leading integer of a text, as atoi reads it, held within +-limit.
qint64 Integer(QByteArrayView text, qint64 limit)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = qMin(value * 10 + (text[i] - '0'), limit);
    return negative ? -value : value;
}

quint32 Word(double value)
{
    return quint32(std::round(qBound(0.0, value, 65535.0)));
}

QByteArrayView Field(const QList<QByteArrayView> &fields, int i)
{
    return i < fields.size() ? fields.at(i) : QByteArrayView();
}

// A value that shows as `shown` after dividing by `divisor`, preferably a
// whole count of the instrument's raw units. `shows(raw, shown)` tells
// whether the list would show that text for a raw value.
template <typename Shows>
double RawFrom(QByteArrayView shown, double divisor, const Shows &shows)
{
    const double exact = Number(shown) * divisor;
    const double rounded = std::round(exact);
    return shows(rounded, shown) ? rounded : exact;
}

// As LogText::HCValueText shows a raw HC count.
bool HCShows(double raw, quint32 unit, QByteArrayView shown)
{
    const int decimals = LogText::HCDecimals(unit);
    if (decimals < 0)
        return shown.isEmpty();
    return LogText::IsFixed(shown, raw / LogText::HCUnitScale(unit), decimals);
}

QString Rest(const QString &type, const QString &prefix)
{
    return type.mid(prefix.size()).left(16);
}

// "End of log - <n>% full": a plain prefix test would also take codes 5 and 6.
bool ParsePercentFull(const QString &type, quint32 *percent)
{
    static const QString prefix = QStringLiteral("End of log - ");
    static const QString suffix = QStringLiteral("% full");
    if (!type.startsWith(prefix) || !type.endsWith(suffix))
        return false;
    const QString digits = type.mid(prefix.size(), type.size() - prefix.size() - suffix.size());
    if (digits.isEmpty() || digits.size() > 5)
        return false;
    bool ok = false;
    const uint value = digits.toUInt(&ok);
    if (!ok || value > 65535 || digits.at(0) == QLatin1Char('+'))
        return false;
    *percent = value;
    return true;
}

constexpr quint32 NamedUnits[] = {1, 2, 4, 8, 16, 32};

// Fractions of a value shown with 0, 1 and 2 decimals, read without a table.
constexpr int FractionOfDecimals[] = {1, 10, 100};

// Digits after the decimal point of a shown number, at most 2.
int ShownDecimals(QByteArrayView shown)
{
    const qsizetype point = shown.indexOf('.');
    if (point < 0)
        return 0;
    int digits = 0;
    for (qsizetype i = point + 1; i < shown.size() && digits < 2 && shown[i] >= '0' && shown[i] <= '9'; ++i)
        ++digits;
    return digits;
}

using Grid = LogCsvReader::Lines::Grid;

struct ToxicGrid
{
    double divisor = 1;
    int decimals = 0;
};

// How a shown value of toxic sensor 1 or 2 goes back to raw counts.
ToxicGrid GridOf(Grid &grid, int sensor, QByteArrayView shown)
{
    if (!grid.fromText)
        return {grid.sensors.ToxicDivisor(sensor), grid.sensors.ToxicDecimals(sensor)};
    const int decimals = ShownDecimals(shown);
    bool whole = false;
    Number(shown, &whole);
    if (whole)
        ++grid.seen[sensor == 2 ? 1 : 0][decimals];
    return {double(FractionOfDecimals[decimals]), decimals};
}

// The Fraction most values of a sensor were shown with; 1 when none was.
int FractionSeen(const Grid &grid, int sensor)
{
    const auto &seen = grid.seen[sensor == 2 ? 1 : 0];
    int best = 0;
    for (int decimals = 1; decimals < 3; ++decimals) {
        if (seen[decimals] > seen[best])
            best = decimals;
    }
    return FractionOfDecimals[best];
}

LogRecord ParseRow(const QList<QByteArrayView> &fields, Grid &grid, QStringList *problems);
} // namespace

LogCsvReader::LogCsvReader(const QList<LogToxicGas> &table, int hcFullScale)
    : m_table(table), m_hcFullScale(hcFullScale)
{
}

namespace {
// Up to three parts of a text split at `separator`; the last takes the rest.
struct Parts
{
    QByteArrayView part[3];
    int count = 0;

    Parts(QByteArrayView text, char separator)
    {
        for (qsizetype from = 0;;) {
            const qsizetype at = text.indexOf(separator, from);
            if (at < 0 || count == 2) {
                part[count++] = text.sliced(from);
                return;
            }
            part[count++] = text.sliced(from, at - from);
            from = at + 1;
        }
    }
};
} // namespace

QDateTime LogCsvReader::ParseTime(QByteArrayView date, QByteArrayView time)
{
    // Bounds that keep every sum below overflow and every date inside QDate's range.
    constexpr qint64 limit = 1000000;
    const Parts d(date, '/');
    const qint64 month = Integer(d.part[0], limit);
    const qint64 day = d.count > 1 ? Integer(d.part[1], limit) : 1;
    qint64 year = d.count > 2 ? Integer(d.part[2], limit) : 0;
    year = (year == 99) ? 1999 : (year < 100 ? 2000 + year : year);
    year = qBound(qint64(1), year, qint64(9999));

    const Parts t(time, ':');
    qint64 seconds = Integer(t.part[0], limit) * 3600;
    if (t.count > 1)
        seconds += Integer(t.part[1], limit) * 60;
    if (t.count > 2)
        seconds += Integer(t.part[2], limit);

    const QDate midnight = LogDecoder::NormalisedDate(int(year), int(month), int(day));
    return QDateTime(midnight, QTime(0, 0), Qt::UTC).addSecs(seconds);
}

LogCsvReader::Lines::Lines(const LogCsvReader &reader, qsizetype expectedRows) : m_reader(reader)
{
    // One entry a line, at most one more than the limit; reserving spares
    // copying a million entries as the list grows.
    if (expectedRows > 0)
        m_result.entries.reserve(qMin<qsizetype>(expectedRows, MaximumRows + 1));
}

bool LogCsvReader::Lines::Take(QByteArrayView line)
{
    if (m_stopped)
        return false;
    const int lineNumber = ++m_lineNumber;
    while (!line.isEmpty() && line.back() == '\r')
        line.chop(1);
    if (line.size() > MaximumLineLength) {
        line.truncate(MaximumLineLength);
        m_result.problems.append({lineNumber, QStringLiteral("The line is longer than %1 characters and was cut.").arg(MaximumLineLength)});
    }

    bool ok = true;
    if (!m_haveHeading) {
        m_haveHeading = true;
        const QList<QByteArray> heading = LogCsv::Split(line, &ok);
        if (!ok || heading.value(0) != "Type")
            m_result.problems.append({lineNumber, QStringLiteral("This is not a data log heading.")});
        m_result.sensors = LogSensors::ForFile(m_reader.m_table, QString::fromLatin1(heading.value(5)),
                                               QString::fromLatin1(heading.value(6)), m_reader.m_hcFullScale);
        m_grid.sensors = m_result.sensors;
        m_grid.fromText = m_reader.m_table.isEmpty();
        return true;
    }
    if (line.isEmpty())
        return true;
    if (m_result.entries.size() >= MaximumRows) {
        m_result.error = QStringLiteral("Error reading");
        m_result.detail = QStringLiteral("Line %1: more than %2 rows.").arg(lineNumber).arg(MaximumRows);
        m_stopped = true;
        return false;
    }

    LogCsv::SplitRow(line, m_fields, &ok);
    if (!ok)
        m_result.problems.append({lineNumber, QStringLiteral("A double quote is not closed.")});
    QStringList rowProblems;
    LogRecord entry = ParseRow(m_fields, m_grid, &rowProblems);
    if (m_fields.size() < 3) {
        rowProblems.append(QStringLiteral("The row has no date and time."));
        entry.time = m_result.entries.isEmpty() ? QDateTime() : m_result.entries.constLast().time;
    }
    for (const QString &text : std::as_const(rowProblems))
        m_result.problems.append({lineNumber, text});
    m_result.entries.append(std::move(entry));
    return true;
}

LogCsvReader::Result LogCsvReader::Lines::Finish()
{
    if (!m_haveHeading)
        m_result.problems.append({1, QStringLiteral("The file is empty.")});
    if (m_haveHeading && m_grid.fromText) {
        const LogSensors &s = m_result.sensors;
        m_result.sensors = LogSensors(s.ToxicName(1), FractionSeen(m_grid, 1), s.ToxicName(2),
                                      FractionSeen(m_grid, 2), s.HCFullScale());
        if (m_grid.overRange) {
            for (LogRecord &entry : m_result.entries) {
                if (entry.kind != LogRecord::Data)
                    continue;
                for (int slot = LogRecord::Toxic1; slot <= LogRecord::Toxic2Twa; ++slot) {
                    if (entry.IsOverRange(slot))
                        entry.values[slot] = LogRecord::OverRange9Bit
                                             / m_result.sensors.ToxicDivisor(LogList::ToxicSensorOf(slot + LogList::HC));
                }
            }
        }
    }
    return std::move(m_result);
}

LogCsvReader::Result LogCsvReader::Load(const QString &path, const Progress &progress,
                                        const std::atomic<bool> *cancel) const
{
    QFile file(path);
    const auto fail = [&path](Result result, const QString &detail) {
        result.error = QStringLiteral("Error reading ") + path;
        result.detail = detail;
        return result;
    };
    if (!file.open(QIODevice::ReadOnly))
        return fail({}, file.errorString());
    const qint64 total = file.size();
    if (total > MaximumFileSize)
        return fail({}, QStringLiteral("The file is larger than %1 MB.").arg(MaximumFileSize >> 20));

    // Rows of a saved log are rarely shorter than 48 characters.
    Lines lines(*this, total / 48 + 1);
    constexpr qint64 BlockSize = 1 << 20;
    QByteArray pending; // a line that runs on into the next block
    qint64 position = 0;
    qint64 reported = 0;
    const auto take = [&](QByteArrayView line, qint64 end) {
        position = end;
        if (progress && total > 0 && (position - reported) * 50 > total) {
            reported = position;
            progress(position, total);
        }
        return lines.Take(line);
    };
    bool going = true;
    while (going) {
        const QByteArray block = file.read(BlockSize);
        if (block.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                const QString why = QStringLiteral("Line %1: %2").arg(lines.LineNumber() + 1).arg(file.errorString());
                return fail(lines.Finish(), why);
            }
            if (!pending.isEmpty())
                going = take(pending, total);
            break;
        }
        const qint64 blockStart = position + pending.size();
        for (qsizetype from = 0; going && from < block.size();) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return fail(lines.Finish(), QStringLiteral("Cancelled."));
            const qsizetype end = block.indexOf('\n', from);
            if (end < 0) {
                pending.append(QByteArrayView(block).sliced(from));
                break;
            }
            const QByteArrayView part = QByteArrayView(block).sliced(from, end - from);
            if (pending.isEmpty()) {
                going = take(part, blockStart + end + 1);
            } else {
                pending.append(part);
                going = take(pending, blockStart + end + 1);
                pending.clear();
            }
            from = end + 1;
        }
    }
    Result result = lines.Finish();
    if (!result.Ok())
        result.error = QStringLiteral("Error reading ") + path;
    else if (progress && reported < total)
        progress(total, total);
    return result;
}

LogCsvReader::Result LogCsvReader::Parse(QByteArrayView content, const Progress &progress) const
{
    const qint64 total = content.size();
    qint64 reported = 0;
    Lines lines(*this, content.count('\n') + 1);
    for (qsizetype from = 0; from < content.size();) {
        qsizetype end = content.indexOf('\n', from);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        if (end < 0)
            end = content.size();
        const QByteArrayView line = content.sliced(from, end - from);
        from = next;
        if (progress && total > 0 && (from - reported) * 50 > total) {
            reported = from;
            progress(from, total);
        }
        if (!lines.Take(line))
            return lines.Finish();
    }
    Result result = lines.Finish();
    if (progress && reported < total)
        progress(total, total);
    return result;
}

namespace {
LogRecord ParseRow(const QList<QByteArrayView> &fields, Grid &grid, QStringList *problems)
{
    const LogSensors &sensors = grid.sensors;
    LogRecord entry;
    QString type = QString::fromLatin1(Field(fields, 0));
    if (type.endsWith(LogText::TruncatedMarker)) {
        entry.truncated = true;
        type.chop(LogText::TruncatedMarker.size());
    }
    if (fields.size() >= 3)
        entry.time = LogCsvReader::ParseTime(Field(fields, 1), Field(fields, 2));

    const auto notNumber = [&](int column) {
        problems->append(QStringLiteral("Column %1 is not a number.").arg(column + 1));
    };
    const auto number = [&](int column) {
        bool whole = false;
        const double value = Number(Field(fields, column), &whole);
        if (!whole)
            notNumber(column);
        return value;
    };
    const auto has = [&](int column) { return !Field(fields, column).isEmpty(); };

    static const QHash<QString, LogRecord::Kind> kinds{
        {QStringLiteral("Recoverable Event"), LogRecord::RecoverableEvent},
        {QStringLiteral("Config"), LogRecord::Config},
        {QStringLiteral("Start of data log"), LogRecord::StartOfLog},
        {QStringLiteral("End of data log"), LogRecord::EndOfLog},
        {QStringLiteral("Illegal record"), LogRecord::Illegal},
    };
    if (const auto kind = kinds.constFind(type); kind != kinds.cend()) {
        entry.kind = kind.value();
        return entry;
    }

    if (type.startsWith(QLatin1String("Data"))) {
        bool isData = type.size() == 4;
        for (quint32 unit : NamedUnits) {
            if (QStringView(type).sliced(4) == LogText::UnitSuffix(unit)) {
                entry.unitBit = unit;
                isData = true;
            }
        }
        if (isData) {
            entry.kind = LogRecord::Data;
            for (int column = LogList::HC; column <= LogList::Toxic2Twa; ++column) {
                if (!has(column))
                    continue;
                const int slot = column - LogList::HC;
                const int sensor = LogList::ToxicSensorOf(column);
                const QByteArrayView field = Field(fields, column);
                entry.flags |= LogRecord::PresentBit(slot);
                if (field == "XXX") {
                    entry.flags |= LogRecord::OverRangeBit(slot);
                    entry.values[slot] = slot == LogRecord::HC ? LogRecord::HCOverRange
                                         : slot == LogRecord::O2
                                             ? LogRecord::OverRange9Bit * 0.1
                                             : LogRecord::OverRange9Bit / sensors.ToxicDivisor(sensor);
                    grid.overRange |= slot >= LogRecord::Toxic1;
                    continue;
                }
                bool whole = false;
                Number(field, &whole);
                if (!whole)
                    notNumber(column);
                if (slot == LogRecord::HC) {
                    const quint32 unit = entry.unitBit;
                    entry.values[slot] = RawFrom(field, LogText::HCUnitScale(unit),
                                                 [unit](double raw, QByteArrayView shown) {
                                                     return HCShows(raw, unit, shown);
                                                 });
                } else if (slot == LogRecord::O2) {
                    entry.values[slot] = RawFrom(field, 10.0, [](double raw, QByteArrayView shown) {
                        return LogText::IsFixed(shown, raw * 0.1, 1);
                    }) * 0.1;
                } else {
                    const ToxicGrid toxic = GridOf(grid, sensor, field);
                    const double divisor = toxic.divisor;
                    const int decimals = toxic.decimals;
                    entry.values[slot] = RawFrom(field, divisor,
                                                 [divisor, decimals](double raw, QByteArrayView shown) {
                                                     return LogText::IsFixed(shown, raw / divisor, decimals);
                                                 }) / divisor;
                }
            }
            if (has(LogList::Battery)) {
                entry.flags |= LogRecord::BatteryPresent;
                entry.values[LogRecord::Battery] = number(LogList::Battery);
            }
            return entry;
        }
    }

    entry.kind = LogRecord::Event;
    const auto prefixed = [&](quint32 code, const char *prefix) {
        if (!type.startsWith(QLatin1String(prefix)))
            return false;
        entry.code = code;
        entry.text = Rest(type, QLatin1String(prefix));
        return true;
    };
    const auto sensorValues = [&](quint32 code, quint32 unit) {
        entry.code = code;
        entry.unitBit = unit;
        if (has(LogList::HC)) {
            entry.param |= 0x01;
            entry.values[0] = RawFrom(Field(fields, LogList::HC), LogText::HCUnitScale(unit),
                                      [unit](double raw, QByteArrayView shown) {
                                          return HCShows(raw, unit, shown);
                                      });
        }
        if (has(LogList::O2)) {
            entry.param |= 0x02;
            entry.values[1] = RawFrom(Field(fields, LogList::O2), 10.0,
                                      [](double raw, QByteArrayView shown) {
                                          return LogText::IsFixed(shown, raw / 10.0, 1);
                                      });
        }
        for (int sensor = 1; sensor <= 2; ++sensor) {
            const int column = LogList::O2 + sensor;
            if (!has(column))
                continue;
            entry.param |= 1u << (sensor + 1);
            const ToxicGrid toxic = GridOf(grid, sensor, Field(fields, column));
            const double divisor = toxic.divisor;
            const int decimals = toxic.decimals;
            entry.values[sensor + 1] = RawFrom(Field(fields, column), divisor,
                                               [divisor, decimals](double raw, QByteArrayView shown) {
                                                   return LogText::IsFixed(shown, raw / divisor, decimals);
                                               });
        }
    };

    // Codes in ascending order, the first that fits wins.
    quint32 percent = 0;
    if (ParsePercentFull(type, &percent)) {
        entry.code = 4;
        entry.param = percent;
        return entry;
    }
    for (quint32 code = 0; code < 100; ++code) {
        switch (code) {
        case 7: if (prefixed(7, "Operator ")) return entry; continue;
        case 8: if (prefixed(8, "Location ")) return entry; continue;
        case 9: if (prefixed(9, "Instrument ")) return entry; continue;
        case 26:
            if (type.startsWith(QLatin1String("Battery gauge = "))) {
                entry.code = 26;
                entry.param = Word(double(Integer(type.mid(16).toLatin1(), 65535)));
                return entry;
            }
            continue;
        case 30:
            if (type == QLatin1String("Bump test values")) {
                // The text has no unit; a tenths number can only be %VOL or %LOW.
                const bool tenths = Field(fields, LogList::HC).contains('.');
                sensorValues(30, tenths ? 2 : 1);
                return entry;
            }
            continue;
        case 31: case 32: {
            const QString base = code == 31 ? QStringLiteral("Before cal values")
                                            : QStringLiteral("After cal values");
            if (!type.startsWith(base))
                continue;
            if (type == base) {
                sensorValues(code, 0);
                return entry;
            }
            for (quint32 unit : NamedUnits) {
                if (type == base + LogText::UnitSuffix(unit)) {
                    sensorValues(code, unit);
                    return entry;
                }
            }
            continue;
        }
        case 67: if (prefixed(67, "HC gas is ")) return entry; continue;
        default:
            break;
        }
        LogRecord probe;
        probe.kind = LogRecord::Event;
        probe.code = code;
        const QString text = LogText::EventText(probe);
        if (text.isEmpty() || text != type || code == 4)
            continue;
        entry.code = code;
        if (code == 29) {
            for (int s = 0; s < 4; ++s) {
                if (Field(fields, LogList::HC + s) == "On")
                    entry.param |= 1u << s;
            }
        } else if (code == 33) {
            for (int s = 0; s < 4; ++s) {
                const QByteArrayView result = Field(fields, LogList::HC + s);
                if (result == "Pass")
                    entry.param |= 1u << s;
                else if (result == "Fail")
                    entry.param |= (1u << s) | (1u << (8 + s));
                else if (result == "Weak")
                    entry.param |= (1u << s) | (1u << (12 + s));
            }
        } else if (code == 63) {
            // Shown with a decimal point only when the range counts in tenths.
            const QByteArrayView shown = Field(fields, LogList::HC);
            entry.param = Word(number(LogList::HC) * (shown.contains('.') ? 10.0 : 1.0));
        } else if (code == 79 || code == 80) {
            entry.param = Word(number(LogList::O2) * 10.0);
        }
        return entry;
    }

    // Toxic events: "<gas name><suffix>", the name being one of the heading's.
    for (int n = 1; n <= 16; ++n) {
        const QString suffix = LogText::ToxicEventSuffix(n);
        if (suffix.isEmpty() || !type.endsWith(suffix) || type.size() - suffix.size() > 16)
            continue;
        const QString name = type.left(type.size() - suffix.size());
        int sensor = 1;
        if (n == 13 && !has(LogList::Toxic1) && has(LogList::Toxic2))
            sensor = 2;
        else if (n != 13 || !has(LogList::Toxic1)) {
            if (name != sensors.ToxicName(1)
                && (name == sensors.ToxicName(2)
                    || (name.trimmed() != sensors.ToxicName(1).trimmed()
                        && name.trimmed() == sensors.ToxicName(2).trimmed())))
                sensor = 2;
        }
        entry.code = quint32(sensor == 1 ? 100 + n : 120 + n);
        entry.text = name;
        if (n == 13) {
            const int column = sensor == 1 ? LogList::Toxic1 : LogList::Toxic2;
            entry.param = Word(number(column) * GridOf(grid, sensor, Field(fields, column)).divisor);
        }
        return entry;
    }

    if (type.isEmpty()) {
        entry.code = 12;
    } else {
        entry.code = 255;
        problems->append(QStringLiteral("The type text is not known."));
    }
    return entry;
}
} // namespace
