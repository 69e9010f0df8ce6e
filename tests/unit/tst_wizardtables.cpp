// The configuration wizard's tables: models, units, special gases, typed
// model keys, page skipping, configuration text, range table and defaults.
#include "firmware/ConfigurationBuilder.h"
#include "firmware/ModelKeySelector.h"
#include "firmware/WizardTables.h"

#include <QTest>

using GasList = CWizardTables::GasList;
using PageMove = CWizardTables::PageMove;
Q_DECLARE_METATYPE(GasList)

namespace {

// Values of one field in order of application (a field may be set more than once).
QVariantList ValuesOf(const QList<SettingDefault> &list, const QString &field)
{
    QVariantList values;
    for (const auto &entry : list)
        if (entry.field == field)
            values.append(entry.value);
    return values;
}

// A table whose only range in use is record 0 with the given fields.
QByteArray OneRange(int fullScale, int units, int supply)
{
    QByteArray table(80, char(0xFF));
    table[0] = 0x04;
    table[1] = 0x00;
    table[6] = char(supply);
    table[7] = char(units);
    table[14] = char(fullScale & 0xFF);
    table[15] = char(fullScale >> 8);
    return table;
}

} // namespace

class TestWizardTables : public QObject
{
    Q_OBJECT

private slots:
    void shippedModels_data();
    void shippedModels();
    void unitsByModel_data();
    void unitsByModel();
    void specialGasCase_data();
    void specialGasCase();
    void typedModelKeys_data();
    void typedModelKeys();
    void configurationText_data();
    void configurationText();
    void rangeTable_data();
    void rangeTable();
    void defaultsPerRange_data();
    void defaultsPerRange();
    void defaultsCommon();
};

void TestWizardTables::shippedModels_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("oxygen");

    QTest::newRow("48 soil vapor") << 1 << "-01 %LEL HEX" << false;
    QTest::newRow("49 fuel vapor") << 2 << "-02 %LEL HEX" << true;
}

// The whole pass through the wizard's choices for each shipped model.
void TestWizardTables::shippedModels()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(bool, oxygen);

    const QStringList models = CWizardTables::Models();
    QCOMPARE(models, (QStringList{"48: ALTAVO, SOIL VAPOR", "49: ALTAVO, FUEL VAPOR"}));
    const int number = CWizardTables::ModelNumber(models[position - 1]);
    QCOMPARE(number, 47 + position);

    const auto units = CWizardTables::Units(number);
    QVERIFY(units.applies);
    QCOMPARE(units.texts, QStringList{"%LEL HEX"});
    QVERIFY(units.alwaysSelected);

    // The only units choice is number 1, so the gas page passes itself both ways;
    // Back from the hex-file page lands on the units page.
    const bool gasApplies = CWizardTables::SpecialGasPageApplies(number, 1);
    QVERIFY(!gasApplies);
    QCOMPARE(CWizardTables::SkipMove(gasApplies, true), PageMove::Next);
    QCOMPARE(CWizardTables::SkipMove(gasApplies, false), PageMove::Back);
    QCOMPARE(CWizardTables::SkipMove(CWizardTables::UnitsPageApplies(number), false), PageMove::Stay);

    QCOMPARE(CConfigurationBuilder::ConfigurationText(position, units.texts[0], QString()), text);

    const auto defaults = CConfigurationBuilder::SettingsDefaults(position, CConfigurationBuilder::RangeTable(true));
    QCOMPARE(ValuesOf(defaults, "Sensor2").size(), oxygen ? 1 : 0);
    QCOMPARE(ValuesOf(defaults, "HighAlarm2"), oxygen ? QVariantList{23.5} : QVariantList{});
    QCOMPARE(ValuesOf(defaults, "WarningAlarm2"), oxygen ? QVariantList{19.5} : QVariantList{});
    QCOMPARE(ValuesOf(defaults, "CalOffset2"), oxygen ? QVariantList{21894} : QVariantList{});
    QCOMPARE(ValuesOf(defaults, "CalSpan2"), oxygen ? QVariantList{24700} : QVariantList{});
}

void TestWizardTables::unitsByModel_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<bool>("keepTexts");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("alwaysSelected");

    const QStringList four{"%LEL CH4 (0 - 100% LEL Methane)", "%VOL CH4 (0.0 - 5.0% VOL Methane)",
                           "%LEL HC (All Other Gases)", "%LEL HEX (Hexane)"};
    const QStringList three{"PPM %LEL %GAS (0 - 100% LEL Methane)", "PPM %LOW %HI (0 - 5.0% VOL Methane)",
                            "PPM %LEL %HC (Hydrogen or Propane)"};
    QTest::newRow("no number") << "ALTAVO" << false << false << QStringList{} << false;
    QTest::newRow("1") << "1: X" << false << false << QStringList{} << false;
    QTest::newRow("2") << "2: X" << true << false << four << false;
    QTest::newRow("3") << "3: X" << false << false << QStringList{} << false;
    QTest::newRow("11") << "11: X" << false << false << QStringList{} << false;
    QTest::newRow("12") << "12: X" << true << false << four << false;
    QTest::newRow("43") << " 43: X" << true << false << four << false;
    QTest::newRow("44") << "44: X" << true << false << three << false;
    QTest::newRow("47") << "47: X" << true << false << three << false;
    QTest::newRow("52") << "52: X" << true << false << QStringList{"%LEL HEX"} << true;
    QTest::newRow("50") << "50: X" << true << false << QStringList{"%LEL H2"} << true;
    QTest::newRow("51") << "51: X" << true << false << QStringList{"%LEL H2"} << true;
    QTest::newRow("53") << "53: X" << true << true << QStringList{} << false;
    QTest::newRow("negative") << "-5: X" << false << false << QStringList{} << false;
}

void TestWizardTables::unitsByModel()
{
    QFETCH(QString, entry);
    QFETCH(bool, applies);
    QFETCH(bool, keepTexts);
    QFETCH(QStringList, texts);
    QFETCH(bool, alwaysSelected);

    const auto layout = CWizardTables::Units(CWizardTables::ModelNumber(entry));
    QCOMPARE(layout.applies, applies);
    QCOMPARE(layout.keepTexts, keepTexts);
    QCOMPARE(layout.texts, texts);
    QCOMPARE(layout.alwaysSelected, alwaysSelected);
}

void TestWizardTables::specialGasCase_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("units");
    QTest::addColumn<GasList>("list");

    QTest::newRow("general, choice 3") << 20 << 3 << GasList::General;
    QTest::newRow("general, choice 1") << 20 << 1 << GasList::None;
    QTest::newRow("general, no choice") << 2 << 0 << GasList::None;
    QTest::newRow("hydrogen or propane") << 44 << 3 << GasList::HydrogenOrPropane;
    QTest::newRow("47") << 47 << 3 << GasList::HydrogenOrPropane;
    QTest::newRow("11 skips") << 11 << 3 << GasList::None;
    QTest::newRow("48 skips") << 48 << 3 << GasList::None;
    QTest::newRow("52 skips") << 52 << 3 << GasList::None;
    QTest::newRow("53 general") << 53 << 3 << GasList::General;
}

void TestWizardTables::specialGasCase()
{
    QFETCH(int, model);
    QFETCH(int, units);
    QFETCH(GasList, list);

    QCOMPARE(CWizardTables::SpecialGasCase(model, units), list);
    const QStringList gases = CWizardTables::SpecialGases(list);
    const int preset = CWizardTables::SpecialGasPreset(list);
    switch (list) {
    case GasList::None:
        QVERIFY(gases.isEmpty());
        QCOMPARE(preset, 0);
        break;
    case GasList::HydrogenOrPropane:
        QCOMPARE(gases, (QStringList{"Hydrogen (H2)", "Propane"}));
        QCOMPARE(gases[preset - 1], QStringLiteral("Hydrogen (H2)"));
        break;
    case GasList::General:
        QCOMPARE(gases.size(), 23);
        QCOMPARE(gases.first(), QStringLiteral("Acetone"));
        QCOMPARE(gases.last(), QStringLiteral("Trichloroethylene"));
        QCOMPARE(gases[preset - 1], QStringLiteral("Propane"));
        break;
    }
}

void TestWizardTables::typedModelKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("selections"); // 0-based index per completed pair, -1 clears

    QTest::newRow("0 2") << "02" << QList<int>{1};
    QTest::newRow("0 1") << "01" << QList<int>{0};
    QTest::newRow("letter drops the pair") << "0x2" << QList<int>{};
    QTest::newRow("pair after a letter") << "5a01" << QList<int>{0};
    QTest::newRow("00 clears") << "00" << QList<int>{-1};
    QTest::newRow("no entry 99") << "99" << QList<int>{-1};
    QTest::newRow("pairs in a row") << "0102" << QList<int>{0, 1};
    QTest::newRow("third digit starts anew") << "0210" << QList<int>{1, -1};
}

void TestWizardTables::typedModelKeys()
{
    QFETCH(QString, keys);
    QFETCH(QList<int>, selections);

    CModelKeySelector selector;
    QList<int> got;
    for (QChar c : keys) {
        if (const auto typed = selector.Type(c))
            got.append(CModelKeySelector::SelectionFor(*typed, int(CWizardTables::Models().size())));
    }
    QCOMPARE(got, selections);
}

void TestWizardTables::configurationText_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("units");
    QTest::addColumn<QString>("gas");
    QTest::addColumn<QString>("text");

    QTest::newRow("model only") << 2 << "" << "" << "-02";
    QTest::newRow("no model") << 0 << "" << "" << "-00";
    QTest::newRow("gas replaces bracket") << 1 << "%LEL HC (All Other Gases)" << "Propane" << "-01 %LEL HC (Propane)";
    QTest::newRow("gas with bracket, cut to 31")
        << 2 << "PPM %LEL %HC (Hydrogen or Propane)" << "Hydrogen (H2)" << "-02 PPM %LEL %HC (Hydrogen (H2)";
    QTest::newRow("units cut to 31") << 1 << "%VOL CH4 (0.0 - 5.0% VOL Methane)" << ""
                                     << "-01 %VOL CH4 (0.0 - 5.0% VOL Me";
    QTest::newRow("no bracket to cut") << 1 << "Combustible Units 3" << "Styrene"
                                       << "-01 Combustible Units 3Styrene)";
    QTest::newRow("long gas") << 1 << "%LEL HC (All Other Gases)" << "Methyl Ethyl Ketone"
                              << "-01 %LEL HC (Methyl Ethyl Keton";
}

void TestWizardTables::configurationText()
{
    QFETCH(int, position);
    QFETCH(QString, units);
    QFETCH(QString, gas);
    QFETCH(QString, text);

    const QString built = CConfigurationBuilder::ConfigurationText(position, units, gas);
    QCOMPARE(built, text);
    QVERIFY(built.size() <= CConfigurationBuilder::MaxTextLength);
}

void TestWizardTables::rangeTable_data()
{
    QTest::addColumn<bool>("withUnits");
    QTest::addColumn<QByteArray>("bytes");

    // flags, name, supply, units, pots 1-4, pots 5-6, full scale, alarm min, alarm max
    QTest::newRow("with units") << true
                                << QByteArray::fromHex("9400 54432020 03 01 7E7E7E7E 1616 6400 0500 5F00"
                                                       "8600 54432020 03 04 C8C8C8C8 0303 E803 0500 5F00"
                                                       "3400 4E4D4320 02 01 7E7E7E7E 1616 6400 0500 5F00"
                                                       "2600 4E4D4320 02 04 C8C8C8C8 0303 E803 0500 5F00");
    QTest::newRow("without units") << false
                                   << QByteArray::fromHex("0400 43483420 03 01 7D7D7D7D 3232 6400 0500 5F00")
                                          + QByteArray(60, char(0xFF));
}

void TestWizardTables::rangeTable()
{
    QFETCH(bool, withUnits);
    QFETCH(QByteArray, bytes);

    QCOMPARE(bytes.size(), 80);
    QCOMPARE(CConfigurationBuilder::RangeTable(withUnits).toHex(' '), bytes.toHex(' '));
}

void TestWizardTables::defaultsPerRange_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QVariantList>("high");
    QTest::addColumn<QVariantList>("warning");
    QTest::addColumn<QVariantList>("calGas1");
    QTest::addColumn<QVariantList>("offsets");
    QTest::addColumn<QString>("spanField");

    QTest::newRow("shipped, four ranges")
        << CConfigurationBuilder::RangeTable(true) << QVariantList{50.0, 500.0, 50.0, 500.0}
        << QVariantList{10.0, 100.0, 10.0, 100.0} << QVariantList{40.0, 40.0}
        << QVariantList{6755, 6755, 6755, 6755} << "CalSpan1";
    QTest::newRow("shipped, methane only") << CConfigurationBuilder::RangeTable(false) << QVariantList{50.0}
                                           << QVariantList{10.0} << QVariantList{40.0} << QVariantList{6755}
                                           << "CalSpan1";
    QTest::newRow("FS 2000") << OneRange(2000, 4, 3) << QVariantList{5000.0} << QVariantList{1000.0}
                             << QVariantList{} << QVariantList{6755} << "CalSpan1";
    QTest::newRow("FS 1999") << OneRange(1999, 4, 3) << QVariantList{500.0} << QVariantList{100.0}
                             << QVariantList{} << QVariantList{6755} << "CalSpan1";
    QTest::newRow("FS 500") << OneRange(500, 1, 3) << QVariantList{500.0} << QVariantList{100.0}
                            << QVariantList{40.0} << QVariantList{6755} << "CalSpan1";
    QTest::newRow("FS 499") << OneRange(499, 1, 3) << QVariantList{50.0} << QVariantList{10.0}
                            << QVariantList{40.0} << QVariantList{6755} << "CalSpan1";
    QTest::newRow("FS 75") << OneRange(75, 1, 3) << QVariantList{50.0} << QVariantList{10.0}
                           << QVariantList{40.0} << QVariantList{6755} << "CalSpan1";
    QTest::newRow("FS 74, %VOL") << OneRange(74, 2, 3) << QVariantList{2.5} << QVariantList{0.5}
                                 << QVariantList{2.0} << QVariantList{6755} << "CalSpan1";
    QTest::newRow("%LOW") << OneRange(5, 16, 3) << QVariantList{2.5} << QVariantList{0.5} << QVariantList{2.0}
                          << QVariantList{6755} << "CalSpan1";
    QTest::newRow("TC supply") << OneRange(100, 1, 1) << QVariantList{50.0} << QVariantList{10.0}
                               << QVariantList{40.0} << QVariantList{14255} << "CalSpan4";
    QTest::newRow("short table") << QByteArray(10, '\0') << QVariantList{} << QVariantList{} << QVariantList{}
                                 << QVariantList{} << "";
}

void TestWizardTables::defaultsPerRange()
{
    QFETCH(QByteArray, table);
    QFETCH(QVariantList, high);
    QFETCH(QVariantList, warning);
    QFETCH(QVariantList, calGas1);
    QFETCH(QVariantList, offsets);
    QFETCH(QString, spanField);

    const auto defaults = CConfigurationBuilder::SettingsDefaults(2, table);
    QVariantList gotHigh, gotWarning, gotOffsets, gotDacs;
    for (const auto &entry : defaults) {
        const int r = entry.range.value_or(-1);
        if (entry.field == QStringLiteral("HighAlarm1-%1").arg(r))
            gotHigh.append(entry.value);
        else if (entry.field == QStringLiteral("WarningAlarm1-%1").arg(r))
            gotWarning.append(entry.value);
        else if (entry.field == QStringLiteral("CalOffset1-%1").arg(r))
            gotOffsets.append(entry.value);
        else if (entry.field == QStringLiteral("CalDac%1").arg(r))
            gotDacs.append(entry.value);
    }
    QCOMPARE(gotHigh, high);
    QCOMPARE(gotWarning, warning);
    QCOMPARE(gotOffsets, offsets);
    QCOMPARE(gotDacs, QVariantList(high.size(), 776));
    QCOMPARE(ValuesOf(defaults, "CalGas1"), calGas1);
    QCOMPARE(ValuesOf(defaults, "CalSpan1").size() + ValuesOf(defaults, "CalSpan4").size(), high.size());
    if (!spanField.isEmpty())
        QCOMPARE(ValuesOf(defaults, spanField).value(0), QVariant(7000));
}

void TestWizardTables::defaultsCommon()
{
    const auto defaults = CConfigurationBuilder::SettingsDefaults(1, CConfigurationBuilder::RangeTable(true));
    QCOMPARE(defaults.first(), (SettingDefault{"Sensor1", std::nullopt, 1}));
    QCOMPARE(defaults[1], (SettingDefault{"HCRangeIndex", std::nullopt, 0}));
    const QList<SettingDefault> tail{
        {"AlarmLatch", std::nullopt, 1},    {"LunchBreak", std::nullopt, 1},
        {"BackLightDelay", std::nullopt, 15}, {"CalInterval", std::nullopt, 0},
        {"BumpTest", std::nullopt, 0},      {"CalWord", std::nullopt, QStringLiteral("***")},
        {"PassWord", std::nullopt, QStringLiteral("***")}, {"LogWord", std::nullopt, QStringLiteral("***")},
        {"ComfortAlert", std::nullopt, 1},  {"TemperatureAlarm", std::nullopt, 1},
        {"LogMemoryManager", std::nullopt, 1}, {"LogAverages", std::nullopt, 3},
        {"LogInterval", std::nullopt, 60},
    };
    QCOMPARE(defaults.mid(defaults.size() - tail.size()), tail);
}

QTEST_GUILESS_MAIN(TestWizardTables)
#include "tst_wizardtables.moc"
