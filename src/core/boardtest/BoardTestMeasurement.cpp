// The analog measurements of the board test.
#include "BoardTestMeasurement.h"

#include "BoardTestRequests.h"

using namespace BoardTestRequest;

QString CBoardTestMeasurement::Text(const BoardTestLimit &limit, double value) const
{
    const QByteArray f = format.toLatin1();
    QString text;
    if (!word.isEmpty())
        text = QString::asprintf(f.constData(), word.toLatin1().constData(), value);
    else if (usesSetting)
        text = QString::asprintf(f.constData(), limit.setting, value);
    else
        text = QString::asprintf(f.constData(), value);
    return text + QString::asprintf(" (%.2lf,%.2lf)", limit.minimum, limit.maximum);
}

namespace {
CBoardTestMeasurement Plain(const char *key, const char *format, quint8 channel, double scale = 1.0)
{
    CBoardTestMeasurement m;
    m.key = QString::fromLatin1(key);
    m.format = QString::fromLatin1(format);
    m.channel = channel;
    m.scale = scale;
    return m;
}

QList<CBoardTestMeasurement> HcSteps(bool span)
{
    QList<CBoardTestMeasurement> list;
    for (int part = 1; part <= BoardTestRequest::HcParts; ++part) {
        CBoardTestMeasurement m = span
            ? Plain("HC Span - Part %d", "Set HC to %.1lfmV.  Output Voltage = %.2lfV", Hc)
            : Plain("HC Offset - Part %d", "Set HC to 0mV.  Output Voltage = %.2lfV", Hc);
        m.key.replace(QStringLiteral("%d"), QString::number(part));
        m.usesSetting = span;
        m.change = CBoardTestMeasurement::Switch::HcPart;
        m.hcPart = part;
        list.append(m);
    }
    return list;
}

QList<CBoardTestMeasurement> Presence(int toxic)
{
    const quint8 channel = toxic == 0 ? Toxic1Presence : Toxic2Presence;
    const QString name = QStringLiteral("Toxic %1").arg(toxic + 1);
    QList<CBoardTestMeasurement> list;
    for (const char *word : {"Disconnect", "Connect"}) {
        CBoardTestMeasurement m;
        m.key = name + (QLatin1String(word) == QLatin1String("Connect") ? QStringLiteral(" Presence")
                                                                       : QStringLiteral(" Absence"));
        m.format = QStringLiteral("%s ") + name + QStringLiteral(".  Presence Voltage = %.2lfV");
        m.word = QString::fromLatin1(word);
        m.channel = channel;
        list.append(m);
    }
    return list;
}

// Offsets at each bias with the lowest gain; spans at each gain with bias 0.
QList<CBoardTestMeasurement> ToxicSteps(int toxic, bool span)
{
    const quint8 channel = toxic == 0 ? Toxic1 : Toxic2;
    const QString name = QStringLiteral("Toxic %1").arg(toxic + 1);
    QList<CBoardTestMeasurement> list;
    const int steps = span ? ToxicGains : ToxicBiases;
    for (int k = 0; k < steps; ++k) {
        CBoardTestMeasurement m;
        m.channel = channel;
        m.change = CBoardTestMeasurement::Switch::ToxicMux;
        m.toxic = toxic;
        if (span) {
            m.key = name + QStringLiteral(" Span - Gain %1").arg(k);
            m.format = QStringLiteral("Set ") + name + QStringLiteral(" to %.1lfuA.  Output Voltage = %.2lfV");
            m.usesSetting = true;
            m.gain = k;
        } else {
            m.key = name + QStringLiteral(" Offset - Bias %1").arg(k);
            m.format = QStringLiteral("Set ") + name + QStringLiteral(" to 0uA.  Output Voltage = %.2lfV");
            m.bias = k;
        }
        list.append(m);
    }
    return list;
}
} // namespace

QList<CBoardTestMeasurement> CBoardTestMeasurement::ForLeaf(int leaf)
{
    // The battery comes through a divider of two; the operator sets and
    // reads battery volts, so the reading is shown and checked as such.
    switch (leaf) {
    case 0:
        return {Plain("Low Battery", "Set the battery voltage to 4.5V.  Its now %.2lfV", Battery, 2.0)};
    case 1:
        return {Plain("Normal Battery", "Set the battery voltage to 5.5V    Its now %.2lfV", Battery, 2.0)};
    case 2:
        return {Plain("Normal Temperature", "Temperature voltage = %.2lf", Temperature)};
    case 3:
        return {Plain("Low Temperature", "Apply freeze spray    Temperature voltage = %.2lf", Temperature)};
    case 4:
        return HcSteps(false);
    case 5:
        return HcSteps(true);
    case 6:
        return {Plain("TC Offset", "Set TC to 0mV.  Output Voltage = %.2lfV", Tc)};
    case 7:
        return {Plain("TC Span", "Set TC to 30mV.  Output Voltage = %.2lfV", Tc)};
    case 8:
        return {Plain("O2 Offset", "Set O2 to 0mV.  Output Voltage = %.2lfV", O2)};
    case 9: {
        CBoardTestMeasurement m = Plain("O2 Span", "Set O2 to %.1lfmV.  Output Voltage = %.2lfV", O2);
        m.usesSetting = true;
        return {m};
    }
    case 10:
        return Presence(0);
    case 11:
        return ToxicSteps(0, false);
    case 12:
        return ToxicSteps(0, true);
    case 13:
        return Presence(1);
    case 14:
        return ToxicSteps(1, false);
    case 15:
        return ToxicSteps(1, true);
    default:
        return {};
    }
}
