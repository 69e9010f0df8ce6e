// What the configuration wizard writes into a freshly programmed instrument.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

// One settings field to set, named after its options-file key, with the value
// in the units its setter takes (shown alarm levels, seconds, days, "***").
struct SettingDefault
{
    QString field;
    // The HC range (0 to 3) of a per-range field; empty for the others.
    std::optional<int> range;
    QVariant value;

    bool operator==(const SettingDefault &o) const
    {
        return field == o.field && range == o.range && value == o.value;
    }
};

class CConfigurationBuilder
{
public:
    // The instrument keeps the configuration text in 16 words, NUL-terminated.
    static constexpr int MaxTextLength = 31;
    static constexpr int RangeRecordSize = 20;
    static constexpr int RangeCount = 4;
    // Settings bytes cleared to 0 before the defaults are applied.
    static constexpr int FirstClearedSettingsByte = 8;
    static constexpr int LastClearedSettingsByte = 63;

    // "-NN" from the model's list position, then a blank and the units text
    // when there is one; a gas choice replaces what follows the last "(" with
    // the gas name and ")". Cut to MaxTextLength characters. Empty texts mean
    // "no choice".
    static QString ConfigurationText(int modelPosition, const QString &unitsText, const QString &gasText);

    /*
     * The combustible range table, 4 records of 20 bytes, words low byte first:
     *   0-1   flags (bit 0 not in use, 1 auto range, 2 not CH4/hexane,
     *         4-5 next range, 6-7 double-click range)
     *   2-5   name, blank padded      6   supply      7   display units
     *   8-13  pots 1 to 6             14-15 full scale
     *   16-17 lowest alarm (raw)      18-19 highest alarm (raw)
     * Every byte not written stays 0xFF, which marks an unused range (bit 0).
     * Without a units choice only record 0 is written, for a methane %LEL
     * sensor; with one, the TC and NMC channels in %LEL and PPM.
     */
    static QByteArray RangeTable(bool withUnits);

    /*
     * The settings the wizard applies, in order, after clearing settings bytes
     * FirstClearedSettingsByte to LastClearedSettingsByte and copying
     * rangeTable into the document (the alarm setters scale by its records).
     * Oxygen is fitted on every model except list position 1. The clock is not
     * in the list: the wizard sets it to the computer's local time and writes it.
     */
    static QList<SettingDefault> SettingsDefaults(int modelPosition, const QByteArray &rangeTable);
};
