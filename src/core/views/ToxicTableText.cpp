// Row labels and cell texts of the "Toxic Table" view.
#include "ToxicTableText.h"

#include "document/SettingsCodec.h"

#include <iterator>

namespace {
namespace Text {
const char *const Labels[] = {
    "Alarm Minimum", "Alarm Maximum", "Cal Gas 1", "Cal Gas 2", "Cal Gas 3", "Cal Gas 4", "STEL Alarm",
    "TWA Alarm", "Bias Timeout", "Maximum Reading", "TempCo at -20C", "TempCo at -15C", "TempCo at -10C",
    "TempCo at -5C", "TempCo at 0C", "TempCo at 5C", "TempCo at 10C", "TempCo at 15C", "TempCo at 20C",
    "TempCo at 25C", "TempCo at 30C", "TempCo at 35C", "TempCo at 40C", "TempCo at 45C", "TempCo at 50C",
    "TempCo at 55C", "Deadband", "Filtering", "Direction", "Fraction", "Minimum Value", "Maximum Value",
    "Minimum Offset", "Maximum Offset", "Minimum Span", "Maximum Span", "Weak Span", "Default Warning Alarm",
    "Default High Alarm", "Default Cal Gas Index", "Cal Wait Time", "Default Offset", "Default Span",
    "Mux Settings", "Span Attenuation"};
} // namespace Text
static_assert(std::size(Text::Labels) == CToxicTableText::RowCount);

// Temperature coefficients are fractions of 4096; the bias timeout counts
// hundredths of a second.
constexpr double TempCoUnit = 4096.0;
constexpr double BiasTimeoutSeconds = 0.01;
} // namespace

QString CToxicTableText::RowLabel(int row)
{
    return row >= 0 && row < RowCount ? QString::fromLatin1(Text::Labels[row]) : QString();
}

QString CToxicTableText::Level(const CToxicRecord &record, int raw)
{
    return CSettingsCodec::FormatLevel(record.Shown(raw), record.Divisor());
}

QString CToxicTableText::Cell(const CToxicRecord &r, int row)
{
    switch (row) {
    case AlarmMinimum: return Level(r, r.AlarmMinimum());
    case AlarmMaximum: return Level(r, r.AlarmMaximum());
    case StelAlarm: return Level(r, r.StelAlarm());
    case TwaAlarm: return Level(r, r.TwaAlarm());
    case BiasTimeout: return CSettingsCodec::FormatFixed(r.BiasTimeout() * BiasTimeoutSeconds, 2);
    case MaximumReading: return Level(r, r.MaximumReading());
    case Deadband: return QString::number(r.Deadband());
    case Filtering: return QString::number(r.Filtering());
    case Direction: return QString::number(r.Direction());
    case Fraction: return QString::asprintf("%lg", r.Divisor());
    case MinimumValue: return QString::number(r.MinimumValue());
    case MaximumValue: return QString::number(r.MaximumValue());
    case MinimumOffset: return QString::number(r.MinimumOffset());
    case MaximumOffset: return QString::number(r.MaximumOffset());
    case MinimumSpan: return QString::number(r.MinimumSpan());
    case MaximumSpan: return QString::number(r.MaximumSpan());
    case WeakSpan: return QString::number(r.WeakSpan());
    case DefaultWarningAlarm: return Level(r, r.DefaultWarningAlarm());
    case DefaultHighAlarm: return Level(r, r.DefaultHighAlarm());
    case DefaultCalGasIndex: {
        const int n = r.DefaultCalGasIndex();
        // An index that names no cal gas shows alone rather than beside a
        // level that does not exist.
        if (n < 1 || n > 4)
            return QString::number(n);
        return QString::number(n) + QLatin1Char('(') + Level(r, r.CalGas(n)) + QLatin1Char(')');
    }
    case CalWaitTime: return QString::number(r.CalWaitTime());
    case DefaultOffset: return QString::number(r.DefaultOffset());
    case DefaultSpan: return QString::number(r.DefaultSpan());
    case MuxSettings: return QString::asprintf("%04X", unsigned(r.MuxSettings()));
    case SpanAttenuation: return QString::number(r.SpanAttenuation());
    default:
        if (row >= CalGas1 && row <= CalGas4)
            return Level(r, r.CalGas(row - CalGas1 + 1));
        if (row >= TempCo0 && row <= TempCo15)
            return CSettingsCodec::FormatFixed(r.TempCo(row - TempCo0) / TempCoUnit, 3);
        return {};
    }
}
