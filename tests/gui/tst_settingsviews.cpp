// The Datalog Features, Display Mode and Sensors views against the simulated
// instrument: what they show after an upload, what their edits put into the
// instrument, their interlocks and the live values.
#include "SettingsViewBench.h"

class TestSettingsViews : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { UseTemporarySettings(m_settingsDir); }

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
    void liveMonitorOpenedAlone();
    void viewOpenedOnHeldSettingsKeepsThem_data();
    void viewOpenedOnHeldSettingsKeepsThem();
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

void TestSettingsViews::liveMonitorOpenedAlone()
{
    // No upload before: the view alone has to bring the instrument's gases
    // and ID texts. Neither toxic gas is record 0's, and their fractions
    // differ from its and from each other.
    Bench b;
    b.Instrument().SetTimeKeeper(60, QByteArray(1, char(2 | (4 << 4)))); // H2S, H2
    QCOMPARE(b.Instrument().ToxicGas(0), 2);
    QCOMPARE(b.Instrument().ToxicGas(1), 4);
    b.Doc().SetIdEntriesWanted(true); // as the main frame does once it is set up
    auto view = b.Open<CDisplayMode>();
    QVERIFY(b.rig.WaitIdle());
    CSimSensors &sensors = b.Instrument().Sensors();
    sensors.Expose(CSimSensors::Toxic1, 4.2);
    sensors.Expose(CSimSensors::Toxic2, 1.5);
    for (int tick = 0; tick < 3; ++tick) {
        b.now = b.now.addSecs(1);
        QVERIFY(b.Poll());
    }
    QTRY_VERIFY(!view->RepaintPending());

    using D = CDisplayMode;
    const QString names[2] = {QStringLiteral("H2S"), QStringLiteral("H2 ")};
    const QString units[2] = {QStringLiteral("PPM"), QStringLiteral("%  ")};
    const QString shown[2] = {QStringLiteral("4.2"), QStringLiteral("1.50")};
    for (int t = 0; t < 2; ++t) {
        const int channel = D::Toxic1 + t;
        const double fraction = b.Instrument().ToxicFraction(t);
        const QString format = fraction > 20.01 ? QStringLiteral("%.2lf") : fraction > 1.01 ? QStringLiteral("%.1lf") : QStringLiteral("%.0lf");
        for (int block : {D::Normal, D::Peaks, D::Stel, D::Twa}) {
            QCOMPARE(view->NameLabel(block, channel)->text(), names[t]);
            QCOMPARE(view->UnitLabel(block, channel)->text(), units[t]);
        }
        QCOMPARE(view->Field(D::Normal, channel)->Format(), format);
        const QByteArray &live = b.Doc().LiveBlock(0);
        const int raw = quint8(live[2 * channel]) | (quint8(live[2 * channel + 1]) << 8);
        const QByteArray expected = QString::asprintf(format.toLatin1().constData(), raw / fraction).toLatin1();
        QCOMPARE(view->Field(D::Normal, channel)->text(), QString::fromLatin1(expected));
        QCOMPARE(view->Field(D::Normal, channel)->text(), shown[t]);
    }
    // Hydrogen has no STEL or TWA limit; H2S has both.
    QCOMPARE(view->Field(D::Stel, D::Toxic2)->text(), QStringLiteral("N/A"));
    QCOMPARE(view->Field(D::Twa, D::Toxic1)->Format(), QStringLiteral("%.1lf"));

    for (int n = 1; n <= CSettingsImage::OperatorCount; ++n)
        QCOMPARE(view->OperatorList()->itemText(n - 1),
                 QString::asprintf("%2d %s", n, b.Instrument().IdEntry(CSettingsImage::FirstOperatorEntry - 1 + n).constData()));
    for (int n = 1; n <= CSettingsImage::LocationCount; ++n)
        QCOMPARE(view->LocationList()->itemText(n - 1),
                 QString::asprintf("%2d %s", n, b.Instrument().IdEntry(CSettingsImage::FirstLocationEntry - 1 + n).constData()));
    QCOMPARE(view->OperatorList()->currentText(), QStringLiteral(" 1 J. Morales      "));
    QCOMPARE(view->LocationList()->currentText(), QStringLiteral(" 2 Pump House 2    "));
}

void TestSettingsViews::viewOpenedOnHeldSettingsKeepsThem_data()
{
    QTest::addColumn<QString>("title");
    for (const char *title : {"Advanced Features", "Datalog Features", "Display Mode", "Sensors"})
        QTest::newRow(title) << QString::fromLatin1(title);
}

void TestSettingsViews::viewOpenedOnHeldSettingsKeepsThem()
{
    // A view opened after the upload, and a download before its own reads
    // have come back: what it shows at once is the document's, and so is
    // what it stores.
    QFETCH(QString, title);
    Bench b;
    b.Instrument().SetTimeKeeper(62, QByteArray(1, char(4 | (5 << 4)))); // operator 5, 90 s
    b.Instrument().SetTimeKeeper(63, QByteArray(1, char(36 | (1 << 6)))); // location 37, STEL only
    b.Instrument().SetTimeKeeper(59, QByteArray(1, char((b.Instrument().TimeKeeperByte(59) & 0x81) | (63 << 1))));
    QVERIFY(b.Upload());
    const QByteArray fresh = b.Instrument().TimeKeeper();
    std::unique_ptr<CInstrumentView> view;
    if (title == QLatin1String("Advanced Features"))
        view = b.Open<CAdvancedFeatures>();
    else if (title == QLatin1String("Datalog Features"))
        view = b.Open<CDatalogFeatures>();
    else if (title == QLatin1String("Display Mode"))
        view = b.Open<CDisplayMode>();
    else
        view = b.Open<CSensors>();
    if (auto *live = qobject_cast<CDisplayMode *>(view.get())) {
        QCOMPARE(live->OperatorList()->currentIndex(), 4);
        QCOMPARE(live->LocationList()->currentIndex(), 36);
    }
    QVERIFY(b.Download());
    QCOMPARE(b.Instrument().TimeKeeper().mid(8), fresh.mid(8));
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
