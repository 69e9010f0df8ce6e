// Row labels and cell texts of the "Range Table" view.
#include "RangeTableText.h"

#include <iterator>

namespace {
namespace Text {
const char *const Labels[] = {
    "Active *", "Auto Range", "Not CH4/Hex", "Next Range", "Double Click Range", "Label", "HC Supply",
    "Display Units", "Pot 1", "Pot 2", "Pot 3", "Pot 4", "Pot 5", "Pot 6", "Gain *", "Full Scale (mV) *",
    "Full Scale", "Alarm Minimum", "Alarm Maximum"};
const char *const Yes = "Yes";
const char *const No = "No";
const char *const Supplies[] = {"OFF", "TC", "ME", "LEL"};
const char *const NoUnit = "N/A";
// Pot 5 and Pot 6 both set but their parallel truncates to no steps: the
// amplifier has no finite gain and the bridge no full-scale span.
const char *const NoGain = "Infinite";
const char *const NoSpan = "0";
} // namespace Text
static_assert(std::size(Text::Labels) == CRangeTableText::RowCount);

// The full-scale bridge signal in millivolts at gain 1.
constexpr double BridgeMillivolts = 6300.0;

QString YesNo(bool b) { return QString::fromLatin1(b ? Text::Yes : Text::No); }

QString UnitText(int units)
{
    switch (units) {
    case CRangeRecord::UnitLel: return QStringLiteral("LEL");
    case CRangeRecord::UnitVol: return QStringLiteral("VOL");
    case CRangeRecord::UnitPpm: return QStringLiteral("PPM");
    case CRangeRecord::UnitGas: return QStringLiteral("GAS");
    case CRangeRecord::UnitLow: return QStringLiteral("LOW");
    case CRangeRecord::UnitHi: return QStringLiteral("HI");
    default: return QString::fromLatin1(Text::NoUnit);
    }
}
} // namespace

QString CRangeTableText::RowLabel(int row)
{
    return row >= 0 && row < RowCount ? QString::fromLatin1(Text::Labels[row]) : QString();
}

double CRangeTableText::GainOf(const CRangeRecord &record, bool *finite)
{
    if (finite)
        *finite = true;
    const int p5 = record.Pot(5);
    const int p6 = record.Pot(6);
    if (p5 == 0 || p6 == 0)
        return 1.0;
    const int rp = (p5 * p6) / (p5 + p6);
    if (rp == 0) {
        if (finite)
            *finite = false;
        return 0.0;
    }
    const int series = record.Pot(1) + record.Pot(2) + record.Pot(3) + record.Pot(4);
    return 1.0 + double(series) / double(rp);
}

QString CRangeTableText::Cell(const CRangeRecord &record, int row, bool active)
{
    if (record.NotInUse())
        return {};
    switch (row) {
    case Active: return active ? QString::fromLatin1(Text::Yes) : QString();
    case AutoRange: return YesNo(record.AutoRange());
    case NotCh4Hex: return YesNo(record.NotCh4Hex());
    case NextRange: return QString::number(record.NextRange());
    case DoubleClickRange: return QString::number(record.DoubleClickRange());
    case Label: return record.Label();
    case HCSupply: {
        const int s = record.HCSupply();
        return s >= 0 && s < int(std::size(Text::Supplies)) ? QString::fromLatin1(Text::Supplies[s]) : QString();
    }
    case DisplayUnits: return UnitText(record.DisplayUnits());
    case Gain:
    case FullScaleMv: {
        bool finite = true;
        const double g = GainOf(record, &finite);
        if (!finite)
            return QString::fromLatin1(row == Gain ? Text::NoGain : Text::NoSpan);
        return QString::asprintf("%.4lg", row == Gain ? g : BridgeMillivolts / g);
    }
    case FullScale: return QString::number(record.FullScale());
    case AlarmMinimum: return QString::asprintf("%lg", record.ShownLevel(record.AlarmMinimum()));
    case AlarmMaximum: return QString::asprintf("%lg", record.ShownLevel(record.AlarmMaximum()));
    default:
        if (row >= Pot1 && row <= Pot6)
            return QString::number(record.Pot(row - Pot1 + 1));
        return {};
    }
}
