// The Advanced Features view against the simulated instrument: what it
// shows after an upload, what its edits put into the instrument, and the
// rules of its lists.
#include "SettingsViewBench.h"

class TestAdvancedFeatures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { UseTemporarySettings(m_settingsDir); }

    void advancedShowsInstrument();
    void advancedStoresEdits_data();
    void advancedStoresEdits();
    void untouchedFormKeepsSettings_data();
    void untouchedFormKeepsSettings();
    void alarmTextSnapsToList_data();
    void alarmTextSnapsToList();
    void alarmListsNeverCross();
    void o2Presets_data();
    void o2Presets();
    void toxicStepsFollowFraction_data();
    void toxicStepsFollowFraction();
    void gasChange();
    void hcChoicesFollowRangeZero_data();
    void hcChoicesFollowRangeZero();
    void o2SelectEnablesAlarmButtons();
    void codedListTexts();
    void calIntervalBeyondList_data();
    void calIntervalBeyondList();
    void levelsBeyondListsKept();
    void statusPollLeavesTypingAlone();
    void offStepValueShownOnce();

private:
    QTemporaryDir m_settingsDir;
};

void TestAdvancedFeatures::advancedShowsInstrument()
{
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());

    using R = CAdvancedFeatures;
    QCOMPARE(view->HighAlarm(R::RowHC)->currentText(), QStringLiteral("50"));
    QCOMPARE(view->WarningAlarm(R::RowHC)->currentText(), QStringLiteral("10"));
    QCOMPARE(view->HighName(R::RowHC)->text(), QStringLiteral("TC  "));
    QCOMPARE(view->HighUnit(R::RowHC)->text(), QStringLiteral("%LEL"));
    QCOMPARE(view->HighAlarm(R::RowO2)->currentText(), QStringLiteral("23.5"));
    QCOMPARE(view->WarningAlarm(R::RowO2)->currentText(), QStringLiteral("19.5"));
    QCOMPARE(view->HighAlarm(R::RowToxic1)->currentText(), QStringLiteral("50"));
    QCOMPARE(view->WarningAlarm(R::RowToxic1)->currentText(), QStringLiteral("25"));
    QCOMPARE(view->HighName(R::RowToxic1)->text(), QStringLiteral("CO "));
    QCOMPARE(view->HighUnit(R::RowToxic1)->text(), QStringLiteral("PPM"));
    QCOMPARE(view->HighAlarm(R::RowToxic2)->currentText(), QStringLiteral("20.0"));
    QCOMPARE(view->WarningAlarm(R::RowToxic2)->currentText(), QStringLiteral("10.0"));
    QCOMPARE(view->HighName(R::RowToxic2)->text(), QStringLiteral("H2S"));

    QCOMPARE(Items(view->SensorSelect(R::RowHC)), (QStringList{"OFF", "TC  "}));
    QCOMPARE(view->SensorSelect(R::RowHC)->currentText(), QStringLiteral("TC  "));
    QCOMPARE(view->SensorSelect(R::RowO2)->currentText(), QStringLiteral("O2"));
    QCOMPARE(view->SensorSelect(R::RowToxic1)->count(), SimDefaults::ToxicTable().size());
    QCOMPARE(view->SensorSelect(R::RowToxic1)->currentText(), QStringLiteral("CO "));
    QCOMPARE(view->SensorSelect(R::RowToxic2)->currentText(), QStringLiteral("H2S"));

    QCOMPARE(view->O2Alarms()->Value(), 1);
    QCOMPARE(view->AlarmLatch()->Value(), 1);
    QCOMPARE(view->LunchBreak()->Value(), 1);
    QCOMPARE(view->BumpTest()->Value(), 0);
    QCOMPARE(view->ComfortAlert()->Value(), 1);
    QCOMPARE(view->TemperatureAlarm()->Value(), 1);
    QCOMPARE(view->AlarmDelay()->currentText(), QStringLiteral("1"));
    QCOMPARE(view->BackLightDelay()->currentText(), QStringLiteral("15 seconds"));
    QCOMPARE(view->CalInterval()->currentText(), QStringLiteral("4 weeks"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(view->Password(i)->text(), QStringLiteral("***"));

    QCOMPARE(view->CalGas(R::RowHC)->currentText(), QStringLiteral("40"));
    QCOMPARE(view->CalGasName(R::RowHC)->text(), QStringLiteral("TC  "));
    QCOMPARE(view->CalGasUnit(R::RowHC)->text(), QStringLiteral("%LEL"));
    QCOMPARE(view->CalGas(R::RowO2)->currentText(), QStringLiteral("0.0"));
    QCOMPARE(Items(view->CalGas(R::RowToxic1)), (QStringList{"50", "100", "200", "25"}));
    QCOMPARE(view->CalGas(R::RowToxic1)->currentText(), QStringLiteral("100"));
    QCOMPARE(view->CalGas(R::RowToxic2)->currentText(), QStringLiteral("25.0"));

    const QDate last = b.Doc().Settings().GetLastCalDate();
    QCOMPARE(last.dayOfYear(), 45);
    QCOMPARE(view->LastCalText()->text(), QStringLiteral("Last Cal Date: ") + Cal(last));
    QCOMPARE(view->NextCalText()->text(), QStringLiteral("Next Cal Due: ") + Cal(last.addDays(28)));
}

void TestAdvancedFeatures::advancedStoresEdits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("O2 high alarm") << "high O2" << "25.0" << "HighAlarm2" << "25";
    QTest::newRow("H2S warning") << "warning Toxic 2" << "5.0" << "WarningAlarm4" << "5";
    QTest::newRow("HC high alarm, current range") << "high HC" << "60" << "HighAlarm1" << "60";
    QTest::newRow("alarm delay") << "delay" << "5" << "AlarmDelay" << "5";
    QTest::newRow("back light in minutes") << "backlight" << "2 minutes" << "BackLightDelay" << "120";
    QTest::newRow("no cal interval") << "interval" << "None" << "CalInterval" << "0";
    QTest::newRow("cal interval in weeks") << "interval" << "26 weeks" << "CalInterval" << "182";
    QTest::newRow("manual latch") << "latch" << "Manual Reset" << "AlarmLatch" << "0";
    QTest::newRow("comfort alert") << "comfort" << "Blink Only" << "ComfortAlert" << "2";
    QTest::newRow("bump test") << "bump" << "Enabled" << "BumpTest" << "1";
    QTest::newRow("cal word") << "calword" << "7" << "CalWord" << "007";
    QTest::newRow("log word not a number") << "logword" << "abc" << "LogWord" << "***";
    // CO's calibration gases are 50, 100, 200, 25: the last choice is the smallest.
    QTest::newRow("CO cal gas, unsorted choices") << "calgas Toxic 1" << "25" << "CalGas3" << "25";
    QTest::newRow("O2 cal gas") << "calgas O2" << "12.0" << "CalGas2" << "12";
    QTest::newRow("Toxic 1 removed") << "select Toxic 1" << "---" << "Sensor3" << "0";
    QTest::newRow("O2 removed") << "select O2" << "OFF" << "Sensor2" << "0";
}

void TestAdvancedFeatures::advancedStoresEdits()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    const QStringList rows{"HC", "O2", "Toxic 1", "Toxic 2"};
    const QString which = control.section(QLatin1Char(' '), 1);
    const int row = int(rows.indexOf(which));
    auto radio = [&](CFormRadioGroup *group) {
        for (int i = 0; i < group->Count(); ++i) {
            if (group->Button(i)->text() == text)
                group->Button(i)->click();
        }
    };
    if (control.startsWith(QLatin1String("high ")))
        Choose(view->HighAlarm(row), text);
    else if (control.startsWith(QLatin1String("warning ")))
        Choose(view->WarningAlarm(row), text);
    else if (control.startsWith(QLatin1String("calgas ")))
        Choose(view->CalGas(row), text);
    else if (control.startsWith(QLatin1String("select ")))
        Choose(view->SensorSelect(row), text);
    else if (control == QLatin1String("delay"))
        Choose(view->AlarmDelay(), text);
    else if (control == QLatin1String("backlight"))
        Choose(view->BackLightDelay(), text);
    else if (control == QLatin1String("interval"))
        Choose(view->CalInterval(), text);
    else if (control == QLatin1String("latch"))
        radio(view->AlarmLatch());
    else if (control == QLatin1String("comfort"))
        radio(view->ComfortAlert());
    else if (control == QLatin1String("bump"))
        radio(view->BumpTest());
    else if (control == QLatin1String("calword"))
        view->Password(0)->setText(text);
    else if (control == QLatin1String("logword"))
        view->Password(2)->setText(text);
    else
        QFAIL("unknown control");

    QVERIFY(b.Download());
    const auto s = b.InstrumentSettings();
    using S = CSettingsImage;
    const QHash<QString, std::function<QString()>> read{
        {"HighAlarm2", [&] { return QString::number(s->GetHighAlarm(S::SensorO2)); }},
        {"WarningAlarm4", [&] { return QString::number(s->GetWarningAlarm(S::SensorToxic2)); }},
        {"HighAlarm1", [&] { return QString::number(s->GetHighAlarm(S::SensorHC)); }},
        {"AlarmDelay", [&] { return QString::number(s->GetAlarmDelay()); }},
        {"BackLightDelay", [&] { return QString::number(s->GetBackLightDelay()); }},
        {"CalInterval", [&] { return QString::number(s->GetCalInterval()); }},
        {"AlarmLatch", [&] { return QString::number(s->GetAlarmLatch()); }},
        {"ComfortAlert", [&] { return QString::number(s->GetComfortAlert()); }},
        {"BumpTest", [&] { return QString::number(s->GetBumpTest()); }},
        {"CalWord", [&] { return s->GetCalWord(); }},
        {"LogWord", [&] { return s->GetLogWord(); }},
        {"CalGas3", [&] { return QString::number(s->GetCalGas(S::SensorToxic1)); }},
        {"CalGas2", [&] { return QString::number(s->GetCalGas(S::SensorO2)); }},
        {"Sensor3", [&] { return QString::number(s->GetSensor(S::SensorToxic1)); }},
        {"Sensor2", [&] { return QString::number(s->GetSensor(S::SensorO2)); }},
    };
    QVERIFY(read.contains(field));
    QCOMPARE(read[field](), expected);

}

void TestAdvancedFeatures::untouchedFormKeepsSettings_data()
{
    QTest::addColumn<bool>("hcOnRangeTwoUnfitted");
    QTest::newRow("factory settings") << false;
    // A second HC choice selected by the range index must not switch a
    // removed sensor back on.
    QTest::newRow("HC removed, range 2") << true;
}

void TestAdvancedFeatures::untouchedFormKeepsSettings()
{
    QFETCH(bool, hcOnRangeTwoUnfitted);
    Bench b;
    if (hcOnRangeTwoUnfitted) {
        b.Instrument().SetWord(0xC020, quint16(b.Instrument().Word(0xC020) & ~4));
        b.Instrument().UpdateConfigurationChecksum();
        b.Instrument().SetTimeKeeper(22, QByteArray(1, char((b.Instrument().TimeKeeperByte(22) & ~0x30) | 0x20)));
        b.Instrument().SetTimeKeeper(61, QByteArray(1, char(b.Instrument().TimeKeeperByte(61) & ~1)));
    }
    auto advanced = b.Open<CAdvancedFeatures>();
    auto datalog = b.Open<CDatalogFeatures>();
    auto live = b.Open<CDisplayMode>();
    QVERIFY(b.Upload());
    if (hcOnRangeTwoUnfitted)
        QCOMPARE(advanced->SensorSelect(CAdvancedFeatures::RowHC)->currentText(), QStringLiteral("OFF"));
    const QByteArray fresh = b.Instrument().TimeKeeper();
    QVERIFY(b.Download());
    // The clock runs on; the settings bytes come back as they went.
    QCOMPARE(b.Instrument().TimeKeeper().mid(8), fresh.mid(8));
}

void TestAdvancedFeatures::alarmTextSnapsToList_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("between steps goes up") << "21.37" << "21.4";
    QTest::newRow("on a step") << "24.0" << "24.0";
    QTest::newRow("above the list") << "99" << "30.0";
    QTest::newRow("below the list") << "3" << "19.5";
    QTest::newRow("not a number") << "abc" << "19.5";
}

void TestAdvancedFeatures::alarmTextSnapsToList()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    CFormValueList *high = view->HighAlarm(CAdvancedFeatures::RowO2);
    QCOMPARE(high->itemText(0), QStringLiteral("19.5")); // bounded by the warning
    Type(high, typed);
    QCOMPARE(high->currentText(), shown);
    // The warning list now ends at the new high alarm.
    const QComboBox *warning = view->WarningAlarm(CAdvancedFeatures::RowO2);
    QCOMPARE(warning->itemText(warning->count() - 1), shown);
}

void TestAdvancedFeatures::alarmListsNeverCross()
{
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    using R = CAdvancedFeatures;
    // Configuration 1 with the high alarm at 23.5: the warnings end there.
    CFormValueList *o2Warning = view->WarningAlarm(R::RowO2);
    QCOMPARE(o2Warning->itemText(o2Warning->count() - 1), QStringLiteral("23.5"));
    QCOMPARE(o2Warning->itemText(0), QStringLiteral("0.0"));

    // HC: warnings from the range's Alarm Minimum up to the chosen high alarm,
    // high alarms from the chosen warning up to the range's Alarm Maximum.
    Choose(view->HighAlarm(R::RowHC), QStringLiteral("30"));
    CFormValueList *hcWarning = view->WarningAlarm(R::RowHC);
    QCOMPARE(hcWarning->itemText(0), QStringLiteral("5"));
    QCOMPARE(hcWarning->itemText(hcWarning->count() - 1), QStringLiteral("30"));
    Choose(hcWarning, QStringLiteral("20"));
    CFormValueList *hcHigh = view->HighAlarm(R::RowHC);
    QCOMPARE(hcHigh->itemText(0), QStringLiteral("20"));
    QCOMPARE(hcHigh->itemText(hcHigh->count() - 1), QStringLiteral("95"));
    QCOMPARE(hcHigh->currentText(), QStringLiteral("30"));

    // A typed warning above the high alarm snaps to the top of its list.
    Type(view->WarningAlarm(R::RowToxic1), QStringLiteral("400"));
    QCOMPARE(view->WarningAlarm(R::RowToxic1)->currentText(), QStringLiteral("50"));
}

void TestAdvancedFeatures::o2Presets_data()
{
    QTest::addColumn<int>("configuration");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("highFirst");
    QTest::addColumn<QString>("highLast");
    QTest::addColumn<QString>("warningFirst");
    QTest::addColumn<QString>("warningLast");
    QTest::newRow("2-Inc") << 0 << "23.5" << "22.5" << "22.5" << "30.0" << "0.0" << "22.5";
    QTest::newRow("1-Inc 1-Dec") << 1 << "23.5" << "19.5" << "19.5" << "30.0" << "0.0" << "23.5";
    QTest::newRow("2-Dec") << 2 << "18.0" << "19.5" << "0.0" << "19.5" << "18.0" << "30.0";
}

void TestAdvancedFeatures::o2Presets()
{
    QFETCH(int, configuration);
    QFETCH(QString, high);
    QFETCH(QString, warning);
    QFETCH(QString, highFirst);
    QFETCH(QString, highLast);
    QFETCH(QString, warningFirst);
    QFETCH(QString, warningLast);
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    view->O2Alarms()->Button(configuration)->click();
    const QComboBox *h = view->HighAlarm(CAdvancedFeatures::RowO2);
    const QComboBox *w = view->WarningAlarm(CAdvancedFeatures::RowO2);
    QCOMPARE(h->currentText(), high);
    QCOMPARE(w->currentText(), warning);
    QCOMPARE(h->itemText(0), highFirst);
    QCOMPARE(h->itemText(h->count() - 1), highLast);
    QCOMPARE(w->itemText(0), warningFirst);
    QCOMPARE(w->itemText(w->count() - 1), warningLast);

    QVERIFY(b.Download());
    const auto s = b.InstrumentSettings();
    QCOMPARE(s->GetO2AlarmConfiguration(), configuration);
    QCOMPARE(CSettingsCodec::FormatFixed(s->GetHighAlarm(CSettingsImage::SensorO2), 1), high);
    QCOMPARE(CSettingsCodec::FormatFixed(s->GetWarningAlarm(CSettingsImage::SensorO2), 1), warning);
}

void TestAdvancedFeatures::toxicStepsFollowFraction_data()
{
    QTest::addColumn<int>("fraction");
    QTest::addColumn<int>("alarmMaximum");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("highCount");
    // CO's Alarm Minimum is 5 raw; its warning is stored as 25 raw, its high alarm as 50.
    QTest::newRow("whole ppm") << 1 << 500 << "5" << "6" << 476;
    QTest::newRow("tenths") << 10 << 500 << "0.5" << "0.6" << 476;
    QTest::newRow("fraction 0 counts tens") << 0 << 500 << "50" << "60" << 476;
    QTest::newRow("hundredths stop at 1000 items") << 100 << 60000 << "0.05" << "0.06" << CFormValueList::MaxItems;
}

void TestAdvancedFeatures::toxicStepsFollowFraction()
{
    QFETCH(int, fraction);
    QFETCH(int, alarmMaximum);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, highCount);
    Bench b;
    QByteArray co = b.Instrument().ToxicRecord(1);
    PutWord(co, 62, quint16(fraction));
    PutWord(co, 6, quint16(alarmMaximum));
    b.Instrument().SetToxicRecord(1, co);
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    const QComboBox *warning = view->WarningAlarm(CAdvancedFeatures::RowToxic1);
    QCOMPARE(warning->itemText(0), first);
    QCOMPARE(warning->itemText(1), second);
    QCOMPARE(view->HighAlarm(CAdvancedFeatures::RowToxic1)->count(), highCount);
}

void TestAdvancedFeatures::gasChange()
{
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    using R = CAdvancedFeatures;
    QList<QPair<int, qint64>> news;
    connect(&b.Doc(), &CInstrumentDoc::Updated, view.get(),
            [&news](int code, const CReplyNotice &n) { news.append({code, n.address}); });

    // The same gas again keeps the levels and the calibration.
    Choose(view->HighAlarm(R::RowToxic1), QStringLiteral("60"));
    Choose(view->SensorSelect(R::RowToxic1), QStringLiteral("CO "));
    QCOMPARE(view->HighAlarm(R::RowToxic1)->currentText(), QStringLiteral("60"));
    QCOMPARE(view->CalGas(R::RowToxic1)->currentText(), QStringLiteral("100"));
    QCOMPARE(b.Doc().Settings().GetCalOffset(CSettingsImage::SensorToxic1), 2080);

    // Another gas brings its defaults: SO2 in tenths, warning 2.0, high 5.0,
    // first calibration gas, its offset and span.
    news.clear();
    Choose(view->SensorSelect(R::RowToxic1), QStringLiteral("SO2"));
    QCOMPARE(view->HighName(R::RowToxic1)->text(), QStringLiteral("SO2"));
    QCOMPARE(view->HighAlarm(R::RowToxic1)->currentText(), QStringLiteral("5.0"));
    QCOMPARE(view->WarningAlarm(R::RowToxic1)->currentText(), QStringLiteral("2.0"));
    QCOMPARE(view->WarningAlarm(R::RowToxic1)->itemText(0), QStringLiteral("1.0"));
    QCOMPARE(view->CalGas(R::RowToxic1)->currentText(), QStringLiteral("5.0"));
    QCOMPARE(b.Doc().Settings().GetCalOffset(CSettingsImage::SensorToxic1), 2040);
    QCOMPARE(b.Doc().Settings().GetCalSpan(CSettingsImage::SensorToxic1), 9000 & 0xFFC0);
    bool told = false;
    for (const auto &n : news)
        told |= n.first == UpdateCode::GasChanged && n.second == 1;
    QVERIFY(told);

    // Hydrogen is shown in percent.
    Choose(view->SensorSelect(R::RowToxic2), QStringLiteral("H2 "));
    QCOMPARE(view->HighUnit(R::RowToxic2)->text(), QStringLiteral("%  "));
    QCOMPARE(view->HighAlarm(R::RowToxic2)->currentText(), QStringLiteral("0.80"));

    QVERIFY(b.Download());
    const auto s = b.InstrumentSettings();
    QCOMPARE(s->SensorGasName(CSettingsImage::SensorToxic1), QStringLiteral("SO2"));
    QCOMPARE(s->GetHighAlarm(CSettingsImage::SensorToxic1), 5.0);
    QCOMPARE(s->GetWarningAlarm(CSettingsImage::SensorToxic1), 2.0);
    QCOMPARE(s->SensorGasName(CSettingsImage::SensorToxic2), QStringLiteral("H2 "));
    QCOMPARE(s->GetHighAlarm(CSettingsImage::SensorToxic2), 0.8);
}

void TestAdvancedFeatures::hcChoicesFollowRangeZero_data()
{
    QTest::addColumn<bool>("notCh4Hex");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("flag set: one range") << true << QStringList{"OFF", "TC  "};
    QTest::newRow("flag clear: range 2 too") << false << QStringList{"OFF", "TC  ", "NMC "};
}

void TestAdvancedFeatures::hcChoicesFollowRangeZero()
{
    QFETCH(bool, notCh4Hex);
    QFETCH(QStringList, items);
    Bench b;
    const quint32 flags = 0xC020;
    b.Instrument().SetWord(flags, quint16(notCh4Hex ? b.Instrument().Word(flags) | 4 : b.Instrument().Word(flags) & ~4));
    b.Instrument().UpdateConfigurationChecksum();
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    QComboBox *select = view->SensorSelect(CAdvancedFeatures::RowHC);
    QCOMPARE(Items(select), items);
    QCOMPARE(select->currentIndex(), 1);
    if (notCh4Hex)
        return;
    // The second choice moves the range index from 0/1 to 2/3.
    Choose(select, QStringLiteral("NMC "));
    QVERIFY(b.Download());
    QCOMPARE(b.InstrumentSettings()->GetHCRangeIndex(), 2);
    QCOMPARE(b.InstrumentSettings()->GetSensor(CSettingsImage::SensorHC), 1);
}

void TestAdvancedFeatures::o2SelectEnablesAlarmButtons()
{
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    QVERIFY(view->O2Alarms()->Button(0)->isEnabled());
    Choose(view->SensorSelect(CAdvancedFeatures::RowO2), QStringLiteral("OFF"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(!view->O2Alarms()->Button(i)->isEnabled());
    Choose(view->SensorSelect(CAdvancedFeatures::RowO2), QStringLiteral("O2"));
    QVERIFY(view->O2Alarms()->Button(2)->isEnabled());
}

void TestAdvancedFeatures::codedListTexts()
{
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QCOMPARE(Items(view->AlarmDelay()), (QStringList{"0", "1", "3", "5"}));
    const QStringList backLight = Items(view->BackLightDelay());
    QCOMPARE(backLight.size(), 16);
    QCOMPARE(backLight.first(), QStringLiteral("5 seconds"));
    QCOMPARE(backLight[11], QStringLiteral("1 minute"));
    QCOMPARE(backLight.last(), QStringLiteral("10 minutes"));
    const QStringList interval = Items(view->CalInterval());
    QCOMPARE(interval.size(), 33);
    QCOMPARE(interval.mid(0, 3), (QStringList{"None", "1 day", "2 days"}));
    QCOMPARE(interval[7], QStringLiteral("1 week"));
    QCOMPARE(interval.last(), QStringLiteral("26 weeks"));
    // Choosing an interval moves the due date.
    Choose(view->CalInterval(), QStringLiteral("None"));
    QCOMPARE(view->NextCalText()->text(), QStringLiteral("Next Cal Due: Never"));
}

void TestAdvancedFeatures::calIntervalBeyondList_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    // Codes 33 to 63 (189 to 399 days) lie past the list's 26 weeks; an
    // options file or another tool may have set them.
    QTest::newRow("code 33") << 33 << "189 days";
    QTest::newRow("code 40") << 40 << "238 days";
    QTest::newRow("code 57") << 57 << "357 days";
    QTest::newRow("code 63") << 63 << "399 days";
}

void TestAdvancedFeatures::calIntervalBeyondList()
{
    QFETCH(int, code);
    QFETCH(QString, shown);
    Bench b;
    const quint16 word58 = quint16(b.Instrument().TimeKeeperByte(58) | (b.Instrument().TimeKeeperByte(59) << 8));
    QByteArray w(2, '\0');
    PutWord(w, 0, quint16((word58 & ~(0x3F << 9)) | (code << 9)));
    b.Instrument().SetTimeKeeper(58, w);
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    const int days = 7 * code - 42;
    QCOMPARE(view->CalInterval()->currentText(), shown);
    QCOMPARE(view->CalInterval()->count(), 34);
    const QDate last = b.Doc().Settings().GetLastCalDate();
    QCOMPARE(view->NextCalText()->text(), QStringLiteral("Next Cal Due: ") + Cal(last.addDays(days)));
    auto storedCode = [&] { return (b.Instrument().TimeKeeperByte(59) >> 1) & 0x3F; };

    // Untouched, the same code goes back.
    QVERIFY(b.Download());
    QCOMPARE(storedCode(), code);
    QCOMPARE(b.Instrument().TimeKeeperByte(58), quint8(word58 & 0xFF));

    // The user's choice is stored, the long interval too when chosen again.
    Choose(view->CalInterval(), QStringLiteral("4 weeks"));
    QCOMPARE(view->NextCalText()->text(), QStringLiteral("Next Cal Due: ") + Cal(last.addDays(28)));
    QVERIFY(b.Download());
    QCOMPARE(storedCode(), 10);
    Choose(view->CalInterval(), shown);
    QVERIFY(b.Download());
    QCOMPARE(storedCode(), code);

    // An interval the list holds drops the extra item.
    b.Instrument().SetTimeKeeper(59, QByteArray(1, char((b.Instrument().TimeKeeperByte(59) & 0x81) | (10 << 1))));
    QVERIFY(b.Upload());
    QCOMPARE(view->CalInterval()->currentText(), QStringLiteral("4 weeks"));
    QCOMPARE(view->CalInterval()->count(), 33);
}

void TestAdvancedFeatures::levelsBeyondListsKept()
{
    // Levels no list item holds: an O2 high alarm above 30 %, a CO warning
    // above its high alarm, an HC high alarm beyond the range's maximum and a
    // toxic calibration gas choice whose value the list shows as it is.
    Bench b;
    QByteArray w(2, '\0');
    auto setLevel = [&](int offset, int raw) {
        const quint16 old = quint16(b.Instrument().TimeKeeperByte(offset) | (b.Instrument().TimeKeeperByte(offset + 1) << 8));
        PutWord(w, 0, quint16((old & ~0x3FF) | raw));
        b.Instrument().SetTimeKeeper(offset, w);
    };
    setLevel(38, 400); // O2 high 40.0 %
    setLevel(54, 70);  // CO warning 70 ppm, high 50 ppm
    setLevel(30, 99);  // HC high 99 %LEL, range maximum 95
    b.Instrument().SetTimeKeeper(22, QByteArray(1, char((b.Instrument().TimeKeeperByte(22) & 0xF0) | 15))); // HC cal gas 80 %LEL
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    using R = CAdvancedFeatures;
    QCOMPARE(view->HighAlarm(R::RowO2)->currentText(), QStringLiteral("40.0"));
    QCOMPARE(view->WarningAlarm(R::RowToxic1)->currentText(), QStringLiteral("70"));
    QCOMPARE(view->HighAlarm(R::RowHC)->currentText(), QStringLiteral("99"));
    QCOMPARE(view->CalGas(R::RowHC)->currentText(), QStringLiteral("80"));
    const QByteArray fresh = b.Instrument().TimeKeeper();
    QVERIFY(b.Download());
    QCOMPARE(b.Instrument().TimeKeeper().mid(8), fresh.mid(8));

    // What the user changes is stored as chosen.
    Choose(view->HighAlarm(R::RowO2), QStringLiteral("25.0"));
    Choose(view->CalGas(R::RowHC), QStringLiteral("50"));
    QVERIFY(b.Download());
    const auto s = b.InstrumentSettings();
    QCOMPARE(s->GetHighAlarm(CSettingsImage::SensorO2), 25.0);
    QCOMPARE(s->GetCalGas(CSettingsImage::SensorHC), 50.0);
    QCOMPARE(s->GetWarningAlarm(CSettingsImage::SensorToxic1), 70.0);
}

void TestAdvancedFeatures::statusPollLeavesTypingAlone()
{
    // Every status poll reads the configuration words next to the range
    // table; an unchanged table must not rebuild the HC lists under the user's hands.
    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    CFormValueList *high = view->HighAlarm(CAdvancedFeatures::RowHC);
    high->setEditText(QStringLiteral("6"));
    QVERIFY(b.Poll());
    QCOMPARE(high->currentText(), QStringLiteral("6"));
    // A range table that did change still rebuilds them.
    b.Instrument().SetWord(0xC020 + 9, 60); // range 0's Alarm Maximum
    b.Instrument().UpdateConfigurationChecksum();
    b.Doc().ReadConfigurationB();
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(high->itemText(high->count() - 1), QStringLiteral("60"));
}

void TestAdvancedFeatures::offStepValueShownOnce()
{
    // A drop-down list shows a value between its steps as one extra item,
    // however often the same value is shown again (every status poll does).
    CFormValueList list(false);
    QVERIFY(list.Build(0, 10, 1, 0));
    for (int shown = 0; shown < 3; ++shown)
        list.ShowValue(2.5, QStringLiteral("2.5"));
    QCOMPARE(list.count(), 12);
    QCOMPARE(list.currentText(), QStringLiteral("2.5"));
    list.ShowValue(3, QStringLiteral("3"));
    QCOMPARE(list.currentText(), QStringLiteral("3"));
    list.ShowValue(2.5, QStringLiteral("2.5"));
    QCOMPARE(list.count(), 12);
    QCOMPARE(list.currentText(), QStringLiteral("2.5"));
}

QTEST_MAIN(TestAdvancedFeatures)
#include "tst_advancedfeatures.moc"
