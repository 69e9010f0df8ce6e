// Texts of decoded log entries: kind and event texts, HC unit suffixes, value numbers.
#pragma once

#include "datalog/LogRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class LogSensors;

class LogText
{
public:
    // Follows the type text of an entry whose record was shorter than it needed.
    static const QString TruncatedMarker;

    // printf "%.<decimals>lf" in the C locale, whatever the user's locale is.
    static QString Fixed(double value, int decimals);
    // The same text appended as bytes, for writers that build lines of bytes.
    static void AppendFixed(QByteArray &out, double value, int decimals);
    // Whether `text` is exactly what Fixed would give, without building it.
    static bool IsFixed(QByteArrayView text, double value, int decimals);

    // " (%LEL)", " (%VOL)", " (PPM)", " (%GAS)", " (%LOW)", " (%HI)"; empty for other bits.
    static QString UnitSuffix(quint32 unitBit);
    // %VOL and %LOW ranges count in tenths; the unnamed ranges show nothing.
    static QString HCValueText(double value, quint32 unitBit);
    // Decimals HCValueText uses for a unit, or -1 when it shows nothing.
    static int HCDecimals(quint32 unitBit);
    // 10 for the ranges counted in tenths, else 1.
    static double HCUnitScale(quint32 unitBit);
    static QString ToxicValueText(double value, int sensor, const LogSensors &sensors);

    // The event's text with its parameters; empty for unknown codes.
    static QString EventText(const LogRecord &entry);
    // Text of toxic event n (code 100 + n or 120 + n) for a gas name; empty when n has none.
    static QString ToxicEventText(int n, const QString &gasName);
    // The appended part of toxic event n; empty when n has none. n = 13 has "%s maximum".
    static QString ToxicEventSuffix(int n);

    // The list's type column: kind text, or the event text for events, then
    // TruncatedMarker for a truncated entry.
    static QString TypeText(const LogRecord &entry);
    // The same without the marker.
    static QString KindText(const LogRecord &entry);
};
