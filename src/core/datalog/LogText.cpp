// Texts of decoded log entries.
#include "datalog/LogText.h"

#include "datalog/LogSensors.h"

#include <charconv>

const QString LogText::TruncatedMarker = QStringLiteral(" [truncated]");

namespace {
// Texts of codes 0-99 without parameters; codes not listed show nothing.
QString FixedEventText(quint32 code)
{
    switch (code) {
    case 0: return QStringLiteral("Powered off");
    case 1: return QStringLiteral("Powered on - averages not reset");
    case 2: return QStringLiteral("Powered on - averages reset");
    case 3: return QStringLiteral("Cal reminder on");
    case 5: return QStringLiteral("End of log - stopped when full");
    case 6: return QStringLiteral("End of log - overwritten");
    case 10: return QStringLiteral("Air adjust");
    case 11: return QStringLiteral("Cal started");
    case 13: return QStringLiteral("Date");
    case 14: return QStringLiteral("Logging interval changed");
    case 17: return QStringLiteral("Log before this point overwritten");
    case 18: return QStringLiteral("Logging was stopped in this interval");
    case 19: return QStringLiteral("Battery pack warning on");
    case 20: return QStringLiteral("Battery pack alarm on");
    case 21: return QStringLiteral("Backup battery warning on");
    case 22: return QStringLiteral("Backup battery alarm on");
    case 23: return QStringLiteral("System reset");
    case 25: return QStringLiteral("Bump test aborted");
    case 27: return QStringLiteral("Date and time adjusted");
    case 28: return QStringLiteral("Bump test started");
    case 29: return QStringLiteral("Enabled sensors");
    case 30: return QStringLiteral("Bump test values");
    case 33: return QStringLiteral("Cal results");
    case 34: return QStringLiteral("No gas detected");
    case 35: return QStringLiteral("Cal aborted");
    case 36: return QStringLiteral("Cal completed");
    case 40: return QStringLiteral("Range changed");
    case 51: return QStringLiteral("HC warning alarm on");
    case 52: return QStringLiteral("HC warning alarm off");
    case 53: return QStringLiteral("HC high alarm on");
    case 54: return QStringLiteral("HC high alarm off");
    case 55: return QStringLiteral("HC STEL alarm on");
    case 56: return QStringLiteral("HC STEL alarm off");
    case 57: return QStringLiteral("HC TWA alarm on");
    case 58: return QStringLiteral("HC TWA alarm off");
    case 59: return QStringLiteral("HC sensor failure alarm on");
    case 60: return QStringLiteral("HC sensor failure alarm off");
    case 61: return QStringLiteral("HC calibration alarm on");
    case 62: return QStringLiteral("HC calibration alarm off");
    case 63: return QStringLiteral("HC maximum");
    case 66: return QStringLiteral("HC zero following adjustment");
    case 71: return QStringLiteral("O2 decreasing high alarm on");
    case 72: return QStringLiteral("O2 decreasing high alarm off");
    case 73: return QStringLiteral("O2 increasing high alarm on");
    case 74: return QStringLiteral("O2 increasing high alarm off");
    case 75: return QStringLiteral("O2 sensor failure alarm on");
    case 76: return QStringLiteral("O2 sensor failure alarm off");
    case 77: return QStringLiteral("O2 calibration alarm on");
    case 78: return QStringLiteral("O2 calibration alarm off");
    case 79: return QStringLiteral("O2 minimum");
    case 80: return QStringLiteral("O2 maximum");
    case 83: return QStringLiteral("O2 decreasing warning alarm on");
    case 84: return QStringLiteral("O2 decreasing warning alarm off");
    case 85: return QStringLiteral("O2 increasing warning alarm on");
    case 86: return QStringLiteral("O2 increasing warning alarm off");
    default: return QString();
    }
}

// "%s" stops at a NUL; the stored texts hold at most 16 characters.
QString CString(const QString &text, int limit)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return text.left(nul < 0 ? limit : qMin<qsizetype>(nul, limit));
}

// Room for the widest double with 20 decimals; a failed conversion gives no text.
struct FixedChars
{
    char buffer[400];
    qsizetype size = 0;

    FixedChars(double value, int decimals)
    {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::fixed, qBound(0, decimals, 20));
        if (result.ec == std::errc())
            size = result.ptr - buffer;
    }
    QByteArrayView View() const { return QByteArrayView(buffer, size); }
};
} // namespace

QString LogText::Fixed(double value, int decimals)
{
    const FixedChars text(value, decimals);
    return text.size == 0 ? QString() : QString::fromLatin1(text.buffer, text.size);
}

void LogText::AppendFixed(QByteArray &out, double value, int decimals)
{
    const FixedChars text(value, decimals);
    out.append(text.View());
}

bool LogText::IsFixed(QByteArrayView text, double value, int decimals)
{
    return FixedChars(value, decimals).View() == text;
}

QString LogText::UnitSuffix(quint32 unitBit)
{
    switch (unitBit) {
    case 1: return QStringLiteral(" (%LEL)");
    case 2: return QStringLiteral(" (%VOL)");
    case 4: return QStringLiteral(" (PPM)");
    case 8: return QStringLiteral(" (%GAS)");
    case 16: return QStringLiteral(" (%LOW)");
    case 32: return QStringLiteral(" (%HI)");
    default: return QString();
    }
}

int LogText::HCDecimals(quint32 unitBit)
{
    switch (unitBit) {
    case 1: case 4: case 8: case 32: return 0;
    case 2: case 16: return 1;
    default: return -1;
    }
}

double LogText::HCUnitScale(quint32 unitBit)
{
    return (unitBit == 2 || unitBit == 16) ? 10.0 : 1.0;
}

QString LogText::HCValueText(double value, quint32 unitBit)
{
    const int decimals = HCDecimals(unitBit);
    if (decimals < 0)
        return QString();
    return Fixed(value / HCUnitScale(unitBit), decimals);
}

QString LogText::ToxicValueText(double value, int sensor, const LogSensors &sensors)
{
    return Fixed(value, sensors.ToxicDecimals(sensor));
}

QString LogText::ToxicEventSuffix(int n)
{
    switch (n) {
    case 1: return QStringLiteral(" warning alarm on");
    case 2: return QStringLiteral(" warning alarm off");
    case 3: return QStringLiteral(" high alarm on");
    case 4: return QStringLiteral(" high alarm off");
    case 5: return QStringLiteral(" STEL alarm on");
    case 6: return QStringLiteral(" STEL alarm off");
    case 7: return QStringLiteral(" TWA alarm on");
    case 8: return QStringLiteral(" TWA alarm off");
    case 9: return QStringLiteral(" sensor failure alarm on");
    case 10: return QStringLiteral(" sensor failure alarm off");
    case 11: return QStringLiteral(" calibration alarm on");
    case 12: return QStringLiteral(" calibration alarm off");
    case 13: return QStringLiteral(" maximum");
    case 16: return QStringLiteral(" zero following adjustment");
    default: return QString();
    }
}

QString LogText::ToxicEventText(int n, const QString &gasName)
{
    const QString suffix = ToxicEventSuffix(n);
    return suffix.isEmpty() ? QString() : CString(gasName, gasName.size()) + suffix;
}

QString LogText::EventText(const LogRecord &entry)
{
    const quint32 code = entry.code;
    switch (code) {
    case 4:
        return QStringLiteral("End of log - %1% full").arg(entry.param);
    case 7:
        return QStringLiteral("Operator ") + CString(entry.text, 16).leftJustified(16);
    case 8:
        return QStringLiteral("Location ") + CString(entry.text, 16).leftJustified(16);
    case 9:
        return QStringLiteral("Instrument ") + CString(entry.text, 16).leftJustified(16);
    case 24:
        return QStringLiteral("Bump test completed") + UnitSuffix(entry.unitBit);
    case 26:
        return QStringLiteral("Battery gauge = %1").arg(entry.param);
    case 31:
        return QStringLiteral("Before cal values") + UnitSuffix(entry.unitBit);
    case 32:
        return QStringLiteral("After cal values") + UnitSuffix(entry.unitBit);
    case 67:
        return QStringLiteral("HC gas is ") + CString(entry.text, 16);
    default:
        break;
    }
    if (code >= 101 && code <= 116)
        return ToxicEventText(int(code) - 100, entry.text);
    if (code >= 121 && code <= 136)
        return ToxicEventText(int(code) - 120, entry.text);
    return FixedEventText(code);
}

QString LogText::KindText(const LogRecord &entry)
{
    switch (entry.kind) {
    case LogRecord::Data: return QStringLiteral("Data") + UnitSuffix(entry.unitBit);
    case LogRecord::RecoverableEvent: return QStringLiteral("Recoverable Event");
    case LogRecord::Config: return QStringLiteral("Config");
    case LogRecord::Event: return EventText(entry);
    case LogRecord::StartOfLog: return QStringLiteral("Start of data log");
    case LogRecord::EndOfLog: return QStringLiteral("End of data log");
    case LogRecord::Illegal: break;
    }
    return QStringLiteral("Illegal record");
}

QString LogText::TypeText(const LogRecord &entry)
{
    return entry.truncated ? KindText(entry) + TruncatedMarker : KindText(entry);
}
