// Chart groups, series codes and point values of the data log.
#include "datalog/LogChartSeries.h"

#include <QtGlobal>

namespace {
// Channel, or sensor, of a code inside its block of codes.
int Index(int code, int first) { return code - first; }

int LastDataEntry(const QList<LogRecord> &entries, const LogSession &session)
{
    for (int i = qMin(session.last, int(entries.size()) - 1); i >= session.first; --i) {
        if (entries.at(i).kind == LogRecord::Data)
            return i;
    }
    return session.first;
}
} // namespace

QString LogChartSeries::UnitLabel(int units)
{
    switch (units) {
    case 1: return QStringLiteral("LEL");
    case 2: return QStringLiteral("VOL");
    case 4: return QStringLiteral("PPM");
    case 8: return QStringLiteral("GAS");
    case 16: return QStringLiteral("LOW");
    case 32: return QStringLiteral("HI");
    default: return QStringLiteral("N/A");
    }
}

double LogChartSeries::ChartFullScale(int units, int fullScale)
{
    return (units == 2 || units == 16) ? fullScale / 10.0 : double(fullScale);
}

double LogChartSeries::Convert(double count, quint32 fromUnit, int toUnits, double fullScale)
{
    double value = count / UnitScale(fromUnit);
    if (fromUnit == 1)
        value *= 0.05;
    else if (fromUnit == 4)
        value *= 0.0001;
    if (toUnits == 1)
        value /= 0.05;
    else if (toUnits == 4)
        value /= 0.0001;
    return value > fullScale ? fullScale : value;
}

QList<LogChartSeries::GroupInfo> LogChartSeries::Groups(const LogChartSetup &setup)
{
    QList<GroupInfo> groups;
    const auto channel = [&](int c) {
        const LogChartSetup::Channel &ch = setup.channels[size_t(c)];
        groups.append({Group(Channel0 + c), UnitLabel(ch.units), {c, 6 + c, 13 + c, 19 + c}, ch.fullScale});
    };
    channel(0);
    channel(1);
    if (setup.thirdChannel)
        channel(2);
    groups.append({O2, QStringLiteral("O2"), {3, 16, 22}, LogChartSetup::O2Maximum});
    groups.append({Toxic1, setup.toxic[0].name, {11, 9, 4, 17, 23, 25, 27}, setup.toxic[0].maximum});
    if (groups.size() < MaximumGroups)
        groups.append({Toxic2, setup.toxic[1].name, {12, 10, 5, 18, 24, 26, 28}, setup.toxic[1].maximum});
    return groups;
}

LogChartSeries::Colour LogChartSeries::ColourOf(int code)
{
    if (code >= 6 && code <= 8)
        return Calculated;
    if (code == 9 || code == 10 || code == 25 || code == 26)
        return Stel;
    if (code == 11 || code == 12 || code == 27 || code == 28)
        return Twa;
    return Norm;
}

LogChartSeries::Style LogChartSeries::StyleOf(int code)
{
    if (code >= 13 && code <= 18)
        return LineA;
    if (code >= 19)
        return LineB;
    return Measured;
}

double LogChartSeries::Value(const LogRecord &entry, int code, const LogChartSetup &setup)
{
    if (entry.kind != LogRecord::Data)
        return Hole;
    const auto slot = [&](int s) { return entry.Present(s) ? entry.values[size_t(s)] : Hole; };
    if (code >= 0 && code <= 2) {
        const LogChartSetup::Channel &ch = setup.channels[size_t(Index(code, 0))];
        if (!entry.Present(LogRecord::HC) || entry.unitBit != quint32(ch.units))
            return Hole;
        return entry.values[LogRecord::HC] / UnitScale(entry.unitBit);
    }
    if (code >= 6 && code <= 8) {
        const LogChartSetup::Channel &ch = setup.channels[size_t(Index(code, 6))];
        if (!entry.Present(LogRecord::HC) || entry.unitBit == quint32(ch.units))
            return Hole;
        return Convert(entry.values[LogRecord::HC], entry.unitBit, ch.units, ch.fullScale);
    }
    switch (code) {
    case 3: return slot(LogRecord::O2);
    case 4: return slot(LogRecord::Toxic1);
    case 5: return slot(LogRecord::Toxic2);
    case 9: return slot(LogRecord::Toxic1Stel);
    case 10: return slot(LogRecord::Toxic2Stel);
    case 11: return slot(LogRecord::Toxic1Twa);
    case 12: return slot(LogRecord::Toxic2Twa);
    default: return Hole;
    }
}

double LogChartSeries::Level(int code, const LogChartSetup &setup)
{
    if (code >= 13 && code <= 15)
        return setup.channels[size_t(Index(code, 13))].warning;
    if (code >= 19 && code <= 21)
        return setup.channels[size_t(Index(code, 19))].high;
    switch (code) {
    case 16: return setup.o2Warning;
    case 22: return setup.o2High;
    case 17: return setup.toxic[0].warning;
    case 18: return setup.toxic[1].warning;
    case 23: return setup.toxic[0].high;
    case 24: return setup.toxic[1].high;
    case 25: return setup.toxic[0].stel;
    case 26: return setup.toxic[1].stel;
    case 27: return setup.toxic[0].twa;
    case 28: return setup.toxic[1].twa;
    default: return Hole;
    }
}

qint64 LogChartSeries::TimeBase(const QList<LogRecord> &entries, const LogSession &session)
{
    if (session.first < 0 || session.first >= entries.size())
        return 0;
    return entries.at(session.first).time.toSecsSinceEpoch();
}

QList<double> LogChartSeries::XValues(const QList<LogRecord> &entries, const LogSession &session)
{
    QList<double> x;
    const qint64 base = TimeBase(entries, session);
    const int last = qMin(session.last, int(entries.size()) - 1);
    x.reserve(session.dataCount);
    for (int i = qMax(0, session.first); i <= last; ++i) {
        const LogRecord &entry = entries.at(i);
        if (entry.kind == LogRecord::Data)
            x.append(double(entry.time.toSecsSinceEpoch() - base));
    }
    return x;
}

QList<LogChartSeries::Series> LogChartSeries::Compute(const QList<LogRecord> &entries, const LogSession &session,
                                          const GroupInfo &group, const LogChartSetup &setup)
{
    const QList<double> x = XValues(entries, session);
    QList<Series> result;
    const int last = qMin(session.last, int(entries.size()) - 1);
    for (int code : group.codes) {
        Series series;
        series.code = code;
        if (IsLevelLine(code)) {
            if (!x.isEmpty()) {
                const double level = Level(code, setup);
                series.x = {x.first(), x.last()};
                series.y = {level, level};
            }
        } else {
            series.x = x;
            series.y.reserve(x.size());
            for (int i = qMax(0, session.first); i <= last; ++i) {
                const LogRecord &entry = entries.at(i);
                if (entry.kind == LogRecord::Data)
                    series.y.append(Value(entry, code, setup));
            }
        }
        result.append(series);
    }
    return result;
}

int LogChartSeries::SessionAt(const QList<LogRecord> &entries, const QList<LogSession> &sessions, const QDateTime &t)
{
    for (int s = int(sessions.size()) - 1; s >= 0; --s) {
        const LogSession &session = sessions.at(s);
        if (session.first < 0 || session.last >= entries.size())
            continue;
        const QDateTime &from = entries.at(session.first).time;
        const QDateTime &to = entries.at(LastDataEntry(entries, session)).time;
        if (from <= t && t <= to)
            return s;
    }
    return -1;
}

int LogChartSeries::SessionOfEntry(const QList<LogSession> &sessions, int index)
{
    for (int s = 0; s < sessions.size(); ++s) {
        if (sessions.at(s).first <= index && index <= sessions.at(s).last)
            return s;
    }
    return -1;
}

int LogChartSeries::EntryAt(const QList<LogRecord> &entries, const LogSession &session, const QDateTime &t)
{
    const int last = qMin(session.last, int(entries.size()) - 1);
    int found = session.first;
    for (int i = qMax(0, session.first); i <= last; ++i) {
        if (entries.at(i).time <= t)
            found = i;
    }
    return found;
}
