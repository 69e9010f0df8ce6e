// The Advanced Features, Datalog Features, Display Mode and Sensors views
// against the simulated instrument: what they show after an upload, what
// their edits put into the instrument, their interlocks and the live values.
#include "SimRig.h"
#include "SimDefaults.h"
#include "views/AdvancedFeatures.h"
#include "views/DatalogFeatures.h"
#include "views/DisplayMode.h"
#include "views/FormIdDialog.h"
#include "views/FormIdList.h"
#include "views/FormNumberField.h"
#include "views/FormRadioGroup.h"
#include "views/FormValueList.h"
#include "views/Sensors.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// An instrument whose time moves only when the test says so, so that peaks
// and averages build up without waiting.
struct Bench
{
    QDateTime now{QDate(2031, 6, 15), QTime(10, 0, 0)};
    SimRig rig;

    Bench() { rig.sim.Instrument().SetTimeSource([this] { return now; }); }
    CSimInstrument &Instrument() { return rig.sim.Instrument(); }
    CInstrumentDoc &Doc() { return rig.doc; }

    bool Upload()
    {
        rig.doc.SetIdEntriesWanted(true);
        rig.doc.UploadAll();
        return rig.WaitIdle();
    }
    bool Poll()
    {
        rig.doc.PollInstrument();
        return rig.WaitIdle();
    }
    bool Download()
    {
        rig.doc.DownloadAll();
        return rig.WaitIdle();
    }
    // The instrument's TimeKeeper block read through the program's own accessors.
    std::unique_ptr<CSettingsImage> InstrumentSettings()
    {
        auto s = std::make_unique<CSettingsImage>(rig.doc.Words());
        s->StoreTimeKeeper(0, Instrument().TimeKeeper());
        const CSettingsImage &d = rig.doc.Settings();
        s->SetToxicCount(d.ToxicCount());
        for (int i = 0; i < d.ToxicCount(); ++i)
            s->SetToxicRecord(i, d.ToxicRecord(i));
        return s;
    }
    template <class View> std::unique_ptr<View> Open()
    {
        auto view = std::make_unique<View>(rig.doc);
        view->resize(view->FormSize());
        view->show();
        view->OnInitialUpdate();
        return view;
    }
};

void Choose(QComboBox *list, const QString &text)
{
    const int i = list->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    list->setCurrentIndex(i);
    emit list->activated(i);
}

void Type(CFormValueList *list, const QString &text)
{
    list->setEditText(text);
    emit list->lineEdit()->editingFinished();
}

QStringList Items(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return items;
}

void PutWord(QByteArray &bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void Screenshot(QWidget *view, const QString &name)
{
    const QByteArray dir = qgetenv("ALTAVO_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    view->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QString Cal(const QDate &d) { return d.toString(QStringLiteral("MM/dd/yyyy")); }

} // namespace

class TestSettingsViews : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { UseTemporarySettings(m_settingsDir); }

    // ---- Advanced Features ----
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

    // ---- Datalog Features ----
    void datalogShowsInstrument();
    void datalogStoresEdits();
    void idDialogEditsOneHalf();
    void setClockWritesComputerTime();
    void clearLogAsksFirst_data();
    void clearLogAsksFirst();
    void logStatusLine_data();
    void logStatusLine();

    // ---- Display Mode ----
    void liveMonitorFollowsReadings();
    void resetButtonsReachInstrument();
    void liveMonitorRepaintsOnTimer();
    void gasWithoutStelShowsNotAvailable();
    void operatorAndLocationStored();
    void liveTexts_data();
    void liveTexts();

    // ---- Sensors ----
    void sensorsShowsInstrument();
    void sensorArithmetic_data();
    void sensorArithmetic();
    void hcReadingFollowsRangeUnit_data();
    void hcReadingFollowsRangeUnit();
    void gasChangeReachesOtherViews();

    void screenshots();

private:
    QTemporaryDir m_settingsDir;
};

// ---------------------------------------------------------------- Advanced Features

void TestSettingsViews::advancedShowsInstrument()
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

void TestSettingsViews::advancedStoresEdits_data()
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

void TestSettingsViews::advancedStoresEdits()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    Bench b;
    auto view = b.Open<CAdvancedFeatures>();
    QVERIFY(b.Upload());
    using R = CAdvancedFeatures;
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

void TestSettingsViews::untouchedFormKeepsSettings_data()
{
    QTest::addColumn<bool>("hcOnRangeTwoUnfitted");
    QTest::newRow("factory settings") << false;
    // A second HC choice selected by the range index must not switch a
    // removed sensor back on.
    QTest::newRow("HC removed, range 2") << true;
}

void TestSettingsViews::untouchedFormKeepsSettings()
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

void TestSettingsViews::alarmTextSnapsToList_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("between steps goes up") << "21.37" << "21.4";
    QTest::newRow("on a step") << "24.0" << "24.0";
    QTest::newRow("above the list") << "99" << "30.0";
    QTest::newRow("below the list") << "3" << "19.5";
    QTest::newRow("not a number") << "abc" << "19.5";
}

void TestSettingsViews::alarmTextSnapsToList()
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

void TestSettingsViews::alarmListsNeverCross()
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

void TestSettingsViews::o2Presets_data()
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

void TestSettingsViews::o2Presets()
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

void TestSettingsViews::toxicStepsFollowFraction_data()
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

void TestSettingsViews::toxicStepsFollowFraction()
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

void TestSettingsViews::gasChange()
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

void TestSettingsViews::hcChoicesFollowRangeZero_data()
{
    QTest::addColumn<bool>("notCh4Hex");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("flag set: one range") << true << QStringList{"OFF", "TC  "};
    QTest::newRow("flag clear: range 2 too") << false << QStringList{"OFF", "TC  ", "NMC "};
}

void TestSettingsViews::hcChoicesFollowRangeZero()
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

void TestSettingsViews::o2SelectEnablesAlarmButtons()
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

void TestSettingsViews::codedListTexts()
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

// ---------------------------------------------------------------- Datalog Features

void TestSettingsViews::datalogShowsInstrument()
{
    Bench b;
    auto view = b.Open<CDatalogFeatures>();
    QVERIFY(b.Upload());
    QCOMPARE(view->LogInterval()->count(), 7);
    QCOMPARE(view->LogInterval()->currentText(), QStringLiteral("60 seconds"));
    QCOMPARE(view->LogMemManager()->Value(), 1);
    QCOMPARE(view->LogAverages()->Value(), 3);
    QCOMPARE(view->OperatorList()->Id(0), QStringLiteral("J. Morales      "));
    QCOMPARE(view->OperatorList()->topLevelItem(0)->text(0), QStringLiteral(" 1"));
    QCOMPARE(view->OperatorList()->topLevelItem(0)->text(1), QStringLiteral("J. Moral"));
    QCOMPARE(view->LocationList()->Id(2), QStringLiteral("Boiler Room     "));
    QCOMPARE(view->LocationList()->RowCount(), 64);
    QCOMPARE(view->InstrumentList()->Id(0), QStringLiteral("DEMO UNIT 0217  "));

    b.Instrument().SetClock(QDateTime(QDate(2024, 2, 9), QTime(7, 5, 3)));
    QVERIFY(b.Poll());
    const QStringList clock{view->ClockEdit(0)->text(), view->ClockEdit(1)->text(), view->ClockEdit(2)->text(),
                            view->ClockEdit(3)->text(), view->ClockEdit(4)->text(), view->ClockEdit(5)->text()};
    QCOMPARE(clock, (QStringList{"2", "9", "24", "7", "05", "03"}));
    QVERIFY(view->LogStatusText()->text().endsWith(QLatin1String(" left")));
    QVERIFY(!view->LogBeganText()->text().isEmpty());
    QVERIFY(!view->PcDateText()->text().isEmpty());
}

void TestSettingsViews::datalogStoresEdits()
{
    Bench b;
    auto view = b.Open<CDatalogFeatures>();
    QVERIFY(b.Upload());
    Choose(view->LogInterval(), QStringLiteral("5 minutes"));
    view->LogMemManager()->Button(0)->click();
    view->LogAverages()->Button(2)->click();
    view->OperatorList()->SetId(1, QStringLiteral("New Operator"));
    view->LocationList()->SetId(63, QStringLiteral("Last Location"));
    view->InstrumentList()->SetId(0, QStringLiteral("UNIT 9"));
    QVERIFY(b.Download());
    const auto s = b.InstrumentSettings();
    QCOMPARE(s->GetLogInterval(), 300);
    QCOMPARE(s->GetLogMemoryManager(), 0);
    QCOMPARE(s->GetLogAverages(), 2);
    QCOMPARE(b.Instrument().IdEntry(66), QByteArray("New Operator    "));
    QCOMPARE(b.Instrument().IdEntry(64), QByteArray("Last Location   "));
    QCOMPARE(b.Instrument().IdEntry(81), QByteArray("UNIT 9          "));
    QCOMPARE(b.Instrument().IdEntry(65), QByteArray("J. Morales      "));
    // Operator and location in use are not this form's.
    QCOMPARE(s->GetOperatorIndex(), 1);
    QCOMPARE(s->GetLocationIndex(), 2);
}

void TestSettingsViews::idDialogEditsOneHalf()
{
    Bench b;
    auto view = b.Open<CDatalogFeatures>();
    QVERIFY(b.Upload());
    CFormIdList *list = view->LocationList();
    QString title;
    QPoint at;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<CFormIdDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        title = dialog->windowTitle();
        at = dialog->pos();
        QCOMPARE(dialog->Line1Edit()->maxLength(), 8);
        dialog->Line1Edit()->setText(QStringLiteral("AB"));
        dialog->accept();
    });
    QVERIFY(list->EditRow(0));
    QCOMPARE(title, QStringLiteral("Location ID 1"));
    QCOMPARE(at, list->DialogPosition(0));
    QCOMPARE(list->Id(0), QStringLiteral("AB      m North "));

    QTimer::singleShot(0, this, [] { QApplication::activeModalWidget()->close(); });
    QVERIFY(!list->EditRow(1));
    QCOMPARE(list->Id(1), QStringLiteral("Pump House 2    "));
    QVERIFY(!list->EditRow(64)); // outside the rows: nothing opens
}

void TestSettingsViews::setClockWritesComputerTime()
{
    Bench b;
    auto view = b.Open<CDatalogFeatures>();
    QVERIFY(b.Upload());
    const QDateTime newYearsEve(QDate(2029, 12, 31), QTime(23, 59, 59));
    view->SetTimeSource([&] { return newYearsEve; });
    view->SetClockButton()->click();
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(b.Instrument().Clock(), newYearsEve); // the bench's time stands still
    QVERIFY(b.Poll());
    QCOMPARE(view->ClockEdit(2)->text(), QStringLiteral("29"));
    QCOMPARE(view->PcTimeText()->text(), QStringLiteral("23:59:59"));
}

void TestSettingsViews::clearLogAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes clears") << true;
    QTest::newRow("no keeps") << false;
}

void TestSettingsViews::clearLogAsksFirst()
{
    QFETCH(bool, yes);
    Bench b;
    auto view = b.Open<CDatalogFeatures>();
    QVERIFY(b.Upload());
    bool asked = false;
    view->SetClearConfirmation([&] {
        asked = true;
        return yes;
    });
    view->ClearLogButton()->click();
    QVERIFY(asked);
    QCOMPARE(b.Doc().ClearProgress().IsOpen(), yes);
    if (!yes) {
        QVERIFY(b.Poll());
        QVERIFY(view->LogStatusText()->text().endsWith(QLatin1String(" left")));
        return;
    }
    // The instrument clears while its time runs; the document keeps asking.
    b.Doc().PollInstrument();
    QVERIFY(b.rig.WaitFor([&] { return view->LogStatusText()->text() == QLatin1String("Clearing Log"); }));
    QCOMPARE(view->LogBeganText()->text(), QStringLiteral("Clearing Log"));
    b.now = b.now.addSecs(10);
    QVERIFY(b.rig.WaitIdle());
    QVERIFY(!b.Doc().ClearProgress().IsOpen());
    QVERIFY(b.Poll());
    QVERIFY(view->LogStatusText()->text().endsWith(QLatin1String(" left")));
    QVERIFY(view->LogBeganText()->text().startsWith(QLatin1String("06/15/31")));
}

void TestSettingsViews::logStatusLine_data()
{
    QTest::addColumn<bool>("clearing");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("overwriting");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QString>("text");
    QTest::newRow("120 hours in days") << false << false << false << 120 << "  5 days left";
    QTest::newRow("119 hours in hours") << false << false << false << 119 << "119 hours left";
    QTest::newRow("none left") << false << false << false << 0 << "  0 hours left";
    QTest::newRow("stopped wins over overwriting") << false << true << true << 50 << "Log stopped";
    QTest::newRow("overwriting") << false << false << true << 50 << "Log overwriting";
    QTest::newRow("clearing first") << true << true << true << 50 << "Clearing Log";
}

void TestSettingsViews::logStatusLine()
{
    QFETCH(bool, clearing);
    QFETCH(bool, stopped);
    QFETCH(bool, overwriting);
    QFETCH(int, hours);
    QFETCH(QString, text);
    QCOMPARE(CDatalogFeatures::LogStatusLine(clearing, stopped, overwriting, hours), text);
}

// ---------------------------------------------------------------- Display Mode

void TestSettingsViews::liveMonitorFollowsReadings()
{
    Bench b;
    auto view = b.Open<CDisplayMode>();
    using D = CDisplayMode;
    QCOMPARE(view->NameLabel(D::Normal, D::Toxic1)->text(), QStringLiteral("?"));
    QCOMPARE(view->Field(D::Normal, D::Toxic1)->Format(), QStringLiteral("%lg"));
    QVERIFY(b.Upload());
    QCOMPARE(view->NameLabel(D::Normal, D::HC)->text(), QStringLiteral("TC  "));
    QCOMPARE(view->UnitLabel(D::Peaks, D::HC)->text(), QStringLiteral("%LEL"));
    QCOMPARE(view->NameLabel(D::Stel, D::Toxic1)->text(), QStringLiteral("CO "));
    QCOMPARE(view->NameLabel(D::Twa, D::Toxic2)->text(), QStringLiteral("H2S"));
    QCOMPARE(view->UnitLabel(D::Twa, D::Toxic2)->text(), QStringLiteral("PPM"));

    CSimSensors &sensors = b.Instrument().Sensors();
    sensors.Expose(CSimSensors::HC, 12);
    sensors.Expose(CSimSensors::O2, 19.0);
    sensors.Expose(CSimSensors::Toxic1, 37);
    sensors.Expose(CSimSensors::Toxic2, 4.2);
    b.now = b.now.addSecs(1);
    QVERIFY(b.Poll());
    QTRY_VERIFY(!view->RepaintPending());
    QCOMPARE(view->Field(D::Normal, D::HC)->text(), QStringLiteral("12"));
    QCOMPARE(view->Field(D::Normal, D::O2)->text(), QStringLiteral("19.0"));
    QCOMPARE(view->Field(D::Normal, D::Toxic1)->text(), QStringLiteral("37"));
    QCOMPARE(view->Field(D::Normal, D::Toxic2)->text(), QStringLiteral("4.2"));

    sensors.Expose(CSimSensors::Toxic1, 81);
    b.now = b.now.addSecs(1);
    QVERIFY(b.Poll());
    QTRY_COMPARE(view->Field(D::Normal, D::Toxic1)->text(), QStringLiteral("81"));
    QCOMPARE(view->Field(D::Peaks, D::Toxic1)->text(), QStringLiteral("81"));
    QVERIFY(view->BatteryGroup()->title().startsWith(QLatin1String("Battery Gauge ")));
    QVERIFY(view->BatteryBar()->value() > 0);
    QVERIFY(view->ClockText()->text().startsWith(QLatin1String("06/15/31 10:00:02")));
    QVERIFY(view->ClockText()->text().endsWith(QLatin1String("F")));
}

void TestSettingsViews::resetButtonsReachInstrument()
{
    Bench b;
    auto view = b.Open<CDisplayMode>();
    QVERIFY(b.Upload());
    using D = CDisplayMode;
    CSimSensors &sensors = b.Instrument().Sensors();
    sensors.Expose(CSimSensors::HC, 30);
    sensors.Expose(CSimSensors::Toxic2, 20);
    b.now = b.now.addSecs(300);
    QVERIFY(b.Poll());
    sensors.Expose(CSimSensors::HC, 0);
    sensors.Expose(CSimSensors::Toxic2, 0);
    b.now = b.now.addSecs(1);
    QVERIFY(b.Poll());
    QTRY_COMPARE(view->Field(D::Normal, D::HC)->text(), QStringLiteral("0"));
    QCOMPARE(view->Field(D::Peaks, D::HC)->text(), QStringLiteral("30"));
    QVERIFY(view->Field(D::Stel, D::Toxic2)->Value() > 1.0);
    QVERIFY(view->Field(D::Twa, D::Toxic2)->Value() > 0.0);

    view->ResetPeaksButton()->click();
    view->ResetStelTwaButton()->click();
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(sensors.Peak(CSimSensors::HC), 0.0);
    QCOMPARE(sensors.Stel(1), 0.0);
    QVERIFY(b.Poll());
    QTRY_COMPARE(view->Field(D::Peaks, D::HC)->text(), QStringLiteral("0"));
    QCOMPARE(view->Field(D::Stel, D::Toxic2)->text(), QStringLiteral("0.0"));
    QCOMPARE(view->Field(D::Twa, D::Toxic2)->text(), QStringLiteral("0.0"));
}

void TestSettingsViews::liveMonitorRepaintsOnTimer()
{
    Bench b;
    auto view = b.Open<CDisplayMode>();
    QVERIFY(b.Upload());
    using D = CDisplayMode;
    b.Instrument().Sensors().Expose(CSimSensors::Toxic1, 10);
    QVERIFY(b.Poll());
    QTRY_COMPARE(view->Field(D::Normal, D::Toxic1)->text(), QStringLiteral("10"));
    b.Instrument().Sensors().Expose(CSimSensors::Toxic1, 11);
    b.Doc().ReadLiveBlock(0);
    QVERIFY(b.rig.WaitFor([&] { return view->RepaintPending(); }));
    // A burst of news does not paint each time: it waits for the timer.
    for (int i = 0; i < 100; ++i)
        b.Doc().UpdateAllViews(UpdateCode::LiveBlock0);
    QCOMPARE(view->Field(D::Normal, D::Toxic1)->text(), QStringLiteral("10"));
    QVERIFY(view->RepaintPending());
    QTRY_COMPARE(view->Field(D::Normal, D::Toxic1)->text(), QStringLiteral("11"));
}

void TestSettingsViews::gasWithoutStelShowsNotAvailable()
{
    Bench b;
    // Toxic 2 measures hydrogen, which has no STEL or TWA limit.
    QByteArray tk = b.Instrument().TimeKeeper();
    b.Instrument().SetTimeKeeper(60, QByteArray(1, char(1 | (4 << 4))));
    auto view = b.Open<CDisplayMode>();
    QVERIFY(b.Upload());
    using D = CDisplayMode;
    QCOMPARE(view->NameLabel(D::Normal, D::Toxic2)->text(), QStringLiteral("H2 "));
    QCOMPARE(view->UnitLabel(D::Normal, D::Toxic2)->text(), QStringLiteral("%  "));
    QCOMPARE(view->Field(D::Normal, D::Toxic2)->Format(), QStringLiteral("%.2lf"));
    b.Instrument().Sensors().Expose(CSimSensors::Toxic2, 1.5);
    b.now = b.now.addSecs(60);
    QVERIFY(b.Poll());
    QTRY_COMPARE(view->Field(D::Normal, D::Toxic2)->text(), QStringLiteral("1.50"));
    QCOMPARE(view->Field(D::Stel, D::Toxic2)->text(), QStringLiteral("N/A"));
    QCOMPARE(view->Field(D::Twa, D::Toxic2)->text(), QStringLiteral("N/A"));
    QCOMPARE(view->Field(D::Stel, D::Toxic1)->Format(), QStringLiteral("%.0lf"));
}

void TestSettingsViews::operatorAndLocationStored()
{
    Bench b;
    auto view = b.Open<CDisplayMode>();
    QVERIFY(b.Upload());
    QCOMPARE(view->OperatorList()->count(), 16);
    QCOMPARE(view->LocationList()->count(), 64);
    QCOMPARE(view->OperatorList()->currentText(), QStringLiteral(" 1 J. Morales      "));
    QCOMPARE(view->LocationList()->currentText(), QStringLiteral(" 2 Pump House 2    "));
    view->OperatorList()->setCurrentIndex(2);
    view->LocationList()->setCurrentIndex(63);
    QVERIFY(b.Download());
    const auto s = b.InstrumentSettings();
    QCOMPARE(s->GetOperatorIndex(), 3);
    QCOMPARE(s->GetLocationIndex(), 64);
}

void TestSettingsViews::liveTexts_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("text");
    QTest::newRow("coldest") << "temperature" << 0 << "   -50C   -58F";
    QTest::newRow("first zero") << "temperature" << 26215 << "     0C    32F";
    QTest::newRow("just below zero") << "temperature" << 26214 << "    -1C    31F";
    QTest::newRow("hottest") << "temperature" << 65535 << "    74C   165F";
    QTest::newRow("half battery") << "battery" << 32768 << "Battery Gauge      5.000 Volts";
    QTest::newRow("full battery") << "battery" << 65535 << "Battery Gauge     10.000 Volts";
}

void TestSettingsViews::liveTexts()
{
    QFETCH(QString, what);
    QFETCH(int, raw);
    QFETCH(QString, text);
    QCOMPARE(what == QLatin1String("battery") ? CDisplayMode::BatteryCaption(raw) : CDisplayMode::TemperatureText(raw), text);
    CFormNumberField field(QStringLiteral("%.1lf"));
    field.SetValue(65535 / 10.0);
    QCOMPARE(field.text(), QStringLiteral("6553.5"));
}

// ---------------------------------------------------------------- Sensors

void TestSettingsViews::sensorsShowsInstrument()
{
    Bench b;
    auto view = b.Open<CSensors>();
    QVERIFY(b.Upload());
    QVERIFY(b.Poll());
    using S = CSensors;
    QCOMPARE(view->Field(S::Offsets, S::HC, 0)->text(), QStringLiteral("6755"));
    QCOMPARE(view->Field(S::Offsets, S::O2, 0)->text(), QStringLiteral("21894"));
    QCOMPARE(view->Field(S::Offsets, S::Toxic1, 1)->text(), QString::asprintf("%.3lf", 2080 * 5.0 / 65536));
    QCOMPARE(view->Field(S::Spans, S::HC, 0)->text(), QStringLiteral("6976"));
    QCOMPARE(view->Field(S::Spans, S::HC, 1)->text(), QString::asprintf("%.3lf", 160.0 / 6976));
    QCOMPARE(view->UnitLabel(S::Spans, S::HC, 2)->text(), QStringLiteral("mV/%LEL"));
    QCOMPARE(view->UnitLabel(S::Spans, S::Toxic1, 1)->text(), QStringLiteral("V/PPM"));
    QCOMPARE(view->UnitLabel(S::Spans, S::Toxic1, 2)->text(), QStringLiteral("uA/PPM"));
    QCOMPARE(view->NameLabel(S::Readings, S::Toxic1)->text(), QStringLiteral("CO "));
    QCOMPARE(view->NameLabel(S::Spans, S::Toxic2)->text(), QStringLiteral("H2S"));
    QCOMPARE(view->RangeIndexText()->text(), QStringLiteral("Range Index = 0"));
    QCOMPARE(view->LastCalText()->text(), QStringLiteral("Last Cal Date: ") + Cal(b.Doc().Settings().GetLastCalDate()));
    // The instrument keeps the current range's calibration DAC word in RAM.
    const int dac = b.Doc().Settings().GetCalDac();
    QVERIFY(dac > 0);
    QCOMPARE(view->DacText()->text(), QString::asprintf("DAC = %d, %.3lfV", dac, dac * 5.0 / 4096));

    const QByteArray &a = b.Doc().AnalogA();
    QCOMPARE(a.size(), 10);
    const int o2 = quint8(a[4]) | (quint8(a[5]) << 8);
    QCOMPARE(view->Field(S::Readings, S::O2, 0)->text(), QString::number(o2));
    QCOMPARE(view->Field(S::Readings, S::O2, 2)->text(), QString::asprintf("%.3lf", CSensors::Signal(S::O2, o2)));
}

void TestSettingsViews::sensorArithmetic_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<bool>("span");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("volts");
    QTest::addColumn<QString>("signal");
    QTest::newRow("HC mid scale") << int(CSensors::HC) << false << 32768 << "2.500" << "57.915";
    QTest::newRow("Toxic 1 at 3 V") << int(CSensors::Toxic1) << false << 39322 << "3.000" << "32.127";
    QTest::newRow("Toxic 2 above rest") << int(CSensors::Toxic2) << false << 52429 << "4.000" << "-1.695";
    QTest::newRow("O2 span 64") << int(CSensors::O2) << true << 64 << "2.500" << "247.525";
    QTest::newRow("HC span 64") << int(CSensors::HC) << true << 64 << "2.500" << "96.525";
}

void TestSettingsViews::sensorArithmetic()
{
    QFETCH(int, channel);
    QFETCH(bool, span);
    QFETCH(int, value);
    QFETCH(QString, volts);
    QFETCH(QString, signal);
    const double v = span ? CSensors::SpanVolts(value) : CSensors::Volts(value);
    const double s = span ? CSensors::SpanSignal(channel, value) : CSensors::Signal(channel, value);
    QCOMPARE(QString::asprintf("%.3lf", v), volts);
    QCOMPARE(QString::asprintf("%.3lf", s), signal);
}

void TestSettingsViews::hcReadingFollowsRangeUnit_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("word"); // of the readings record
    QTest::newRow("%LEL: catalytic") << int(CRangeRecord::UnitLel) << 4;
    QTest::newRow("PPM: catalytic") << int(CRangeRecord::UnitPpm) << 4;
    QTest::newRow("%GAS: thermal conductivity") << int(CRangeRecord::UnitGas) << 3;
    QTest::newRow("%HI: thermal conductivity") << int(CRangeRecord::UnitHi) << 3;
}

void TestSettingsViews::hcReadingFollowsRangeUnit()
{
    QFETCH(int, unit);
    QFETCH(int, word);
    Bench b;
    // Range 0's Display Units sit in the high byte of its fourth word.
    const quint32 unitWord = 0xC020 + 3;
    b.Instrument().SetWord(unitWord, quint16((b.Instrument().Word(unitWord) & 0x00FF) | (unit << 8)));
    b.Instrument().UpdateConfigurationChecksum();
    b.Instrument().Sensors().Expose(CSimSensors::HC, 40);
    auto view = b.Open<CSensors>();
    QVERIFY(b.Upload());
    QVERIFY(b.Poll());
    const QByteArray &a = b.Doc().AnalogA();
    const int count = quint8(a[2 * word]) | (quint8(a[2 * word + 1]) << 8);
    QCOMPARE(view->Field(CSensors::Readings, CSensors::HC, 0)->text(), QString::number(count));
    QCOMPARE(view->UnitLabel(CSensors::Spans, CSensors::HC, 1)->text(), QStringLiteral("V/") + CRangeRecord::UnitLabel(unit));
}

void TestSettingsViews::gasChangeReachesOtherViews()
{
    Bench b;
    auto advanced = b.Open<CAdvancedFeatures>();
    auto sensors = b.Open<CSensors>();
    auto live = b.Open<CDisplayMode>();
    QVERIFY(b.Upload());
    Choose(advanced->SensorSelect(CAdvancedFeatures::RowToxic1), QStringLiteral("NO2"));
    QCOMPARE(sensors->NameLabel(CSensors::Offsets, CSensors::Toxic1)->text(), QStringLiteral("NO2"));
    QCOMPARE(sensors->Field(CSensors::Offsets, CSensors::Toxic1, 0)->text(), QStringLiteral("2600"));
    QCOMPARE(live->NameLabel(CDisplayMode::Peaks, CDisplayMode::Toxic1)->text(), QStringLiteral("NO2"));
    QCOMPARE(live->Field(CDisplayMode::Normal, CDisplayMode::Toxic1)->Format(), QStringLiteral("%.1lf"));
}

void TestSettingsViews::screenshots()
{
    if (qEnvironmentVariableIsEmpty("ALTAVO_SCREENSHOTS"))
        QSKIP("ALTAVO_SCREENSHOTS is not set");
    Bench b;
    auto advanced = b.Open<CAdvancedFeatures>();
    auto datalog = b.Open<CDatalogFeatures>();
    auto live = b.Open<CDisplayMode>();
    auto sensors = b.Open<CSensors>();
    QVERIFY(b.Upload());
    b.now = b.now.addSecs(120);
    QVERIFY(b.Poll());
    QTRY_VERIFY(!live->RepaintPending());
    Screenshot(advanced.get(), QStringLiteral("advanced-features"));
    Screenshot(datalog.get(), QStringLiteral("datalog-features"));
    Screenshot(live.get(), QStringLiteral("display-mode"));
    Screenshot(sensors.get(), QStringLiteral("sensors"));
}

QTEST_MAIN(TestSettingsViews)
#include "tst_settingsviews.moc"
