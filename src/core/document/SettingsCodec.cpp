// Stateless conversions between the instrument's stored codes and the values and texts the user sees.
#include "SettingsCodec.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>

int CSettingsCodec::DecimalsForScale(double scale)
{
    if (scale > 20.01)
        return 2;
    if (scale > 1.01)
        return 1;
    return 0;
}

QString CSettingsCodec::FormatFixed(double value, int decimals)
{
    decimals = std::clamp(decimals, 0, 9);
    const double factor = std::pow(10.0, decimals);
    const double scaled = std::fabs(value) * factor;
    if (!std::isfinite(scaled) || scaled >= 1e15)
        return QString::number(value, 'f', decimals);
    // A decimal half such as 0.35 is stored a few units in the last place
    // below .5; a nudge of that size rounds it up without touching real values.
    const double nudge = 8 * std::numeric_limits<double>::epsilon() * std::max(1.0, scaled);
    const qint64 units = qint64(std::floor(scaled + 0.5 + nudge));
    QString digits = QString::number(units).rightJustified(decimals + 1, QLatin1Char('0'));
    if (decimals > 0)
        digits.insert(digits.size() - decimals, QLatin1Char('.'));
    if (value < 0 && units != 0)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

QString CSettingsCodec::FormatLevel(double value, double scale)
{
    return FormatFixed(value, DecimalsForScale(scale));
}

QString CSettingsCodec::PasswordText(int value)
{
    value &= 0x3FF;
    if (value > 999)
        return QStringLiteral("***");
    return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
}

int CSettingsCodec::ParsePassword(const QString &text)
{
    // "%u" semantics: leading blanks, an optional sign, then digits. Only the
    // low 10 bits are kept, and 2^32 is a multiple of 1024, so the unsigned
    // wrap of an overlong number can be followed digit by digit.
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size() || text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
        return 0x3FF;
    unsigned value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        value = (value * 10 + unsigned(text[i].unicode() - '0')) & 0x3FF;
    if (negative)
        value = (0u - value) & 0x3FF;
    return int(value);
}

QDateTime CSettingsCodec::DecodeBcdDateTime(quint8 year, quint8 month, quint8 day,
                                            quint8 hour, quint8 minute, quint8 second)
{
    int y = FromBcd(year);
    if (y >= 70 && y <= 99)
        y += 1900;
    else if (y <= 38)
        y += 2000;
    else
        y = 1970;
    int mo = FromBcd(month);
    if (mo < 1 || mo > 12)
        mo = 1;
    int d = FromBcd(day);
    if (d < 1 || d > 31)
        d = 1;
    // 31 February and the like would make no date at all.
    d = std::min(d, QDate(y, mo, 1).daysInMonth());
    int h = FromBcd(hour);
    if (h > 23)
        h = 0;
    int mi = FromBcd(minute);
    if (mi > 59)
        mi = 0;
    int s = FromBcd(second);
    if (s > 59)
        s = 0;
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

const QList<int> &CSettingsCodec::AlarmDelayTable()
{
    static const QList<int> table{0, 1, 3, 5};
    return table;
}

const QList<int> &CSettingsCodec::BackLightDelayTable()
{
    static const QList<int> table{5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 120, 180, 300, 600};
    return table;
}

const QList<int> &CSettingsCodec::LogIntervalTable()
{
    static const QList<int> table{60, 5, 15, 30, 60, 90, 300, 900};
    return table;
}

int CSettingsCodec::CodeAtLeast(const QList<int> &table, int wanted, int first)
{
    for (int code = first; code < table.size(); ++code) {
        if (table[code] >= wanted)
            return code;
    }
    return int(table.size()) - 1;
}

int CSettingsCodec::CalIntervalDays(int code)
{
    code &= 0x3F;
    return code < 8 ? code : 7 * code - 42;
}

int CSettingsCodec::CalIntervalCode(int days)
{
    // A negative interval would wrap to the longest one; treat it as none.
    if (days < 8)
        return std::max(days, 0);
    return (days / 7 + 6) & 0x3F;
}

QString CSettingsCodec::ToxicUnits(const QString &gasName)
{
    return gasName == QLatin1String("H2 ") ? QStringLiteral("%  ") : QStringLiteral("PPM");
}
