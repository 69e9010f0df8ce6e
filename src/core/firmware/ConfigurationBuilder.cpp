// What the configuration wizard writes into a freshly programmed instrument.
#include "firmware/ConfigurationBuilder.h"

#include <QtGlobal>

namespace {

enum Unit { UnitLel = 1, UnitVol = 2, UnitPpm = 4, UnitLow = 16 };

struct RangeRow
{
    bool autoRange;
    bool notCh4Hex;
    int nextRange;
    int doubleClickRange;
    const char *name;
    int supply;
    int units;
    int pot;        // pots 1 to 4
    int pot56;      // pots 5 and 6
    int fullScale;
    int alarmMinimum;
    int alarmMaximum;
};

constexpr RangeRow MethaneOnly{false, true, 0, 0, "CH4", 3, UnitLel, 125, 50, 100, 5, 95};

constexpr RangeRow WithUnits[CConfigurationBuilder::RangeCount] = {
    {false, true, 1, 2, "TC", 3, UnitLel, 126, 22, 100, 5, 95},
    {true, true, 0, 2, "TC", 3, UnitPpm, 200, 3, 1000, 5, 95},
    {false, true, 3, 0, "NMC", 2, UnitLel, 126, 22, 100, 5, 95},
    {true, true, 2, 0, "NMC", 2, UnitPpm, 200, 3, 1000, 5, 95},
};

void PutWord(QByteArray &bytes, int offset, int value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char((value >> 8) & 0xFF);
}

void PutRecord(QByteArray &table, int r, const RangeRow &row)
{
    const int at = r * CConfigurationBuilder::RangeRecordSize;
    const int flags = (row.autoRange ? 0x02 : 0) | (row.notCh4Hex ? 0x04 : 0) | ((row.nextRange & 3) << 4)
                      | ((row.doubleClickRange & 3) << 6);
    PutWord(table, at, flags);
    const QByteArray name = QByteArray(row.name).leftJustified(4, ' ', true);
    table.replace(at + 2, 4, name);
    table[at + 6] = char(row.supply);
    table[at + 7] = char(row.units);
    for (int i = 8; i < 12; ++i)
        table[at + i] = char(row.pot);
    table[at + 12] = char(row.pot56);
    table[at + 13] = char(row.pot56);
    PutWord(table, at + 14, row.fullScale);
    PutWord(table, at + 16, row.alarmMinimum);
    PutWord(table, at + 18, row.alarmMaximum);
}

int GetWord(const QByteArray &bytes, int offset)
{
    return quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8);
}

} // namespace

QString CConfigurationBuilder::ConfigurationText(int modelPosition, const QString &unitsText, const QString &gasText)
{
    QString text = QString::asprintf("-%02d", modelPosition);
    if (!unitsText.isEmpty())
        text += QLatin1Char(' ') + unitsText;
    if (!gasText.isEmpty()) {
        // "%LEL HC (All Other Gases)" becomes "%LEL HC (Propane)".
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            text.truncate(open + 1);
        text += gasText + QLatin1Char(')');
    }
    return text.left(MaxTextLength);
}

QByteArray CConfigurationBuilder::RangeTable(bool withUnits)
{
    QByteArray table(RangeCount * RangeRecordSize, char(0xFF));
    if (!withUnits) {
        PutRecord(table, 0, MethaneOnly);
        return table;
    }
    for (int r = 0; r < RangeCount; ++r)
        PutRecord(table, r, WithUnits[r]);
    return table;
}

QList<SettingDefault> CConfigurationBuilder::SettingsDefaults(int modelPosition, const QByteArray &rangeTable)
{
    QList<SettingDefault> out;
    auto set = [&out](const QString &field, const QVariant &value) { out.append({field, std::nullopt, value}); };
    auto setRange = [&out](const QString &field, int r, const QVariant &value) { out.append({field, r, value}); };

    set(QStringLiteral("Sensor1"), 1);
    set(QStringLiteral("HCRangeIndex"), 0);
    for (int r = 0; r < RangeCount; ++r) {
        const int at = r * RangeRecordSize;
        if (at + RangeRecordSize > rangeTable.size())
            break;
        if (GetWord(rangeTable, at) & 0x01)
            continue; // range not in use
        const int supply = quint8(rangeTable[at + 6]);
        const int units = quint8(rangeTable[at + 7]);
        const int fullScale = GetWord(rangeTable, at + 14);
        // Shown levels; the setters divide PPM ranges by 10 themselves.
        double high = 2.5, warning = 0.5;
        if (fullScale >= 2000) {
            high = 5000;
            warning = 1000;
        } else if (fullScale >= 500) {
            high = 500;
            warning = 100;
        } else if (fullScale >= 75) {
            high = 50;
            warning = 10;
        }
        const QString suffix = QStringLiteral("1-%1").arg(r);
        setRange(QStringLiteral("HighAlarm") + suffix, r, high);
        setRange(QStringLiteral("WarningAlarm") + suffix, r, warning);
        if (units == UnitLel)
            set(QStringLiteral("CalGas1"), 40.0);
        else if (units == UnitVol || units == UnitLow)
            set(QStringLiteral("CalGas1"), 40.0 / 20); // 2.0 %VOL, the same gas as 40 %LEL of methane
        setRange(QStringLiteral("CalDac%1").arg(r), r, 776);
        // Supply 1 puts the TC channel in the Toxic 2 slot, whose span it then uses.
        setRange(QStringLiteral("CalOffset") + suffix, r, supply == 1 ? 14255 : 6755);
        set(supply == 1 ? QStringLiteral("CalSpan4") : QStringLiteral("CalSpan1"), 7000);
    }
    if (modelPosition != 1) {
        set(QStringLiteral("Sensor2"), 1);
        set(QStringLiteral("O2AlarmConfiguration"), 1);
        set(QStringLiteral("HighAlarm2"), 23.5);
        set(QStringLiteral("WarningAlarm2"), 19.5);
        set(QStringLiteral("CalGas2"), 0.0);
        set(QStringLiteral("CalOffset2"), 21894);
        set(QStringLiteral("CalSpan2"), 24700);
    }
    set(QStringLiteral("AlarmLatch"), 1);
    set(QStringLiteral("LunchBreak"), 1);
    set(QStringLiteral("BackLightDelay"), 15);
    set(QStringLiteral("CalInterval"), 0);
    set(QStringLiteral("BumpTest"), 0);
    // Not a number, so each password becomes 1023 and shows as "***".
    set(QStringLiteral("CalWord"), QStringLiteral("***"));
    set(QStringLiteral("PassWord"), QStringLiteral("***"));
    set(QStringLiteral("LogWord"), QStringLiteral("***"));
    set(QStringLiteral("ComfortAlert"), 1);
    set(QStringLiteral("TemperatureAlarm"), 1);
    set(QStringLiteral("LogMemoryManager"), 1);
    set(QStringLiteral("LogAverages"), 3);
    set(QStringLiteral("LogInterval"), 60);
    return out;
}
