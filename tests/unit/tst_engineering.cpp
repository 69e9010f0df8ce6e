// The engineering views' texts without a display: range and toxic table
// cells, dump addressing, sector markers, analog and digital decoding and
// the button byte of the instrument view.
#include "document/WordImage.h"
#include "views/AnalogText.h"
#include "views/DigitalText.h"
#include "views/InstrumentKeys.h"
#include "views/MemoryDumpText.h"
#include "views/MemoryMapText.h"
#include "views/RangeTableText.h"
#include "views/ToxicTableText.h"

#include <QTest>

namespace {
CRangeRecord InUseRange()
{
    CRangeRecord r;
    r.SetFlags(0);
    r.SetLabel(QStringLiteral("TC"));
    r.SetHCSupply(CRangeRecord::SupplyTc);
    r.SetDisplayUnits(CRangeRecord::UnitLel);
    r.SetFullScale(100);
    for (int n = 1; n <= 6; ++n)
        r.SetPot(n, 0);
    return r;
}

CToxicRecord Gas(int fraction)
{
    CToxicRecord r;
    r.SetGasName(QStringLiteral("CO"));
    r.SetWord(CToxicRecord::FractionWord, quint16(fraction));
    return r;
}
} // namespace

class TestEngineering : public QObject
{
    Q_OBJECT
private slots:
    void rangeGain_data();
    void rangeGain();
    void rangeCells_data();
    void rangeCells();
    void toxicCells_data();
    void toxicCells();
    void flashRows();
    void ramRows_data();
    void ramRows();
    void markers_data();
    void markers();
    void analog_data();
    void analog();
    void digital_data();
    void digital();
    void buttons_data();
    void buttons();
    void keyBytes_data();
    void keyBytes();
};

void TestEngineering::rangeGain_data()
{
    QTest::addColumn<QList<int>>("pots");
    QTest::addColumn<QString>("gain");
    QTest::addColumn<QString>("fullScale");
    QTest::newRow("parallel 25") << QList<int>{10, 20, 30, 40, 50, 50} << "5" << "1260";
    QTest::newRow("pot 5 open") << QList<int>{10, 20, 30, 40, 0, 50} << "1" << "6300";
    QTest::newRow("pot 6 open") << QList<int>{10, 20, 30, 40, 50, 0} << "1" << "6300";
    QTest::newRow("parallel truncates") << QList<int>{1, 1, 1, 0, 4, 2} << "4" << "1575";
    QTest::newRow("four digits") << QList<int>{7, 0, 0, 0, 6, 6} << "3.333" << "1890";
    QTest::newRow("parallel below one step") << QList<int>{10, 20, 30, 40, 1, 1} << "Infinite" << "0";
}

void TestEngineering::rangeGain()
{
    QFETCH(QList<int>, pots);
    QFETCH(QString, gain);
    QFETCH(QString, fullScale);
    CRangeRecord r = InUseRange();
    for (int n = 1; n <= 6; ++n)
        r.SetPot(n, pots[n - 1]);
    QCOMPARE(CRangeTableText::Cell(r, CRangeTableText::Gain, false), gain);
    QCOMPARE(CRangeTableText::Cell(r, CRangeTableText::FullScaleMv, false), fullScale);
}

void TestEngineering::rangeCells_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("supply");
    QTest::addColumn<int>("fullScale");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("text");
    using R = CRangeTableText;
    QTest::newRow("active") << 0 << 1 << 1 << 100 << int(R::Active) << true << "Yes";
    QTest::newRow("not active") << 0 << 1 << 1 << 100 << int(R::Active) << false << "";
    QTest::newRow("not in use") << 1 << 1 << 1 << 100 << int(R::Label) << true << "";
    QTest::newRow("not in use, pots") << 1 << 1 << 1 << 100 << int(R::Gain) << true << "";
    QTest::newRow("auto range") << 0x02 << 1 << 1 << 100 << int(R::AutoRange) << false << "Yes";
    QTest::newRow("not CH4") << 0x02 << 1 << 1 << 100 << int(R::NotCh4Hex) << false << "No";
    QTest::newRow("next range") << 0xB0 << 1 << 1 << 100 << int(R::NextRange) << false << "3";
    QTest::newRow("double click") << 0xB0 << 1 << 1 << 100 << int(R::DoubleClickRange) << false << "2";
    QTest::newRow("label") << 0 << 1 << 1 << 100 << int(R::Label) << false << "TC  ";
    QTest::newRow("supply LEL") << 0 << 1 << 3 << 100 << int(R::HCSupply) << false << "LEL";
    QTest::newRow("supply unknown") << 0 << 1 << 4 << 100 << int(R::HCSupply) << false << "";
    QTest::newRow("units HI") << 0 << 32 << 1 << 100 << int(R::DisplayUnits) << false << "HI";
    QTest::newRow("units two bits") << 0 << 3 << 1 << 100 << int(R::DisplayUnits) << false << "N/A";
    QTest::newRow("full scale") << 0 << 1 << 1 << 1000 << int(R::FullScale) << false << "1000";
    QTest::newRow("alarm whole units") << 0 << 1 << 1 << 100 << int(R::AlarmMinimum) << false << "25";
    QTest::newRow("alarm tenths") << 0 << 2 << 1 << 5 << int(R::AlarmMinimum) << false << "2.5";
    QTest::newRow("alarm PPM") << 0 << 4 << 1 << 500 << int(R::AlarmMaximum) << false << "500";
}

void TestEngineering::rangeCells()
{
    QFETCH(int, flags);
    QFETCH(int, units);
    QFETCH(int, supply);
    QFETCH(int, fullScale);
    QFETCH(int, row);
    QFETCH(bool, active);
    QFETCH(QString, text);
    CRangeRecord r = InUseRange();
    r.SetFlags(quint16(flags));
    r.SetDisplayUnits(units);
    r.SetHCSupply(supply);
    r.SetFullScale(fullScale);
    r.SetAlarmMinimum(25);
    r.SetAlarmMaximum(50);
    QCOMPARE(CRangeTableText::Cell(r, row, active), text);
}

void TestEngineering::toxicCells_data()
{
    QTest::addColumn<int>("fraction");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    using T = CToxicTableText;
    using W = CToxicRecord;
    QTest::newRow("fraction 0 shown") << 0 << int(W::FractionWord) << 0 << int(T::Fraction) << "0.1";
    QTest::newRow("fraction 0 level") << 0 << int(W::AlarmMaximumWord) << 5 << int(T::AlarmMaximum) << "50";
    QTest::newRow("fraction 1 level") << 1 << int(W::StelAlarmWord) << 35 << int(T::StelAlarm) << "35";
    QTest::newRow("fraction 10 level") << 10 << int(W::TwaAlarmWord) << 255 << int(T::TwaAlarm) << "25.5";
    QTest::newRow("fraction 100 level") << 100 << int(W::CalGas1Word + 2) << 2500 << int(T::CalGas1 + 2) << "25.00";
    QTest::newRow("fraction 100 shown") << 100 << int(W::FractionWord) << 100 << int(T::Fraction) << "100";
    QTest::newRow("half rounds up") << 10 << int(W::MaximumReadingWord) << 5 << int(T::MaximumReading) << "0.5";
    QTest::newRow("bias timeout") << 1 << int(W::BiasTimeoutWord) << 150 << int(T::BiasTimeout) << "1.50";
    QTest::newRow("tempco unity") << 1 << int(W::TempCoWord + 15) << 4096 << int(T::TempCo15) << "1.000";
    QTest::newRow("tempco first") << 1 << int(W::TempCoWord) << 3891 << int(T::TempCo0) << "0.950";
    QTest::newRow("direction signed") << 1 << int(W::DirectionWord) << 0xFFFF << int(T::Direction) << "-1";
    QTest::newRow("span unsigned") << 1 << int(W::MaximumSpanWord) << 0xFFFF << int(T::MaximumSpan) << "65535";
    QTest::newRow("mux") << 1 << int(W::MuxSettingsWord) << 0x1A2B << int(T::MuxSettings) << "1A2B";
    QTest::newRow("mux padded") << 1 << int(W::MuxSettingsWord) << 0x2B << int(T::MuxSettings) << "002B";
    QTest::newRow("default high") << 10 << int(W::DefaultHighAlarmWord) << 200 << int(T::DefaultHighAlarm) << "20.0";
    QTest::newRow("cal gas index") << 1 << int(W::DefaultCalGasIndexWord) << 2 << int(T::DefaultCalGasIndex) << "2(50)";
    QTest::newRow("cal gas index 0") << 1 << int(W::DefaultCalGasIndexWord) << 0 << int(T::DefaultCalGasIndex) << "0";
    QTest::newRow("cal gas index 5") << 1 << int(W::DefaultCalGasIndexWord) << 5 << int(T::DefaultCalGasIndex) << "5";
    QTest::newRow("beyond rows") << 1 << int(W::MuxSettingsWord) << 1 << int(T::RowCount) << "";
}

void TestEngineering::toxicCells()
{
    QFETCH(int, fraction);
    QFETCH(int, word);
    QFETCH(int, value);
    QFETCH(int, row);
    QFETCH(QString, text);
    CToxicRecord r = Gas(fraction);
    r.SetWord(CToxicRecord::CalGas1Word + 1, 50);
    if (word != CToxicRecord::FractionWord)
        r.SetWord(word, quint16(value));
    QCOMPARE(CToxicTableText::Cell(r, row), text);
}

void TestEngineering::flashRows()
{
    // A word read at 0x1238 belongs to row 0x123 and, being its second half,
    // completes it; the reply at the row's start does not.
    QCOMPARE(CMemoryDumpText::FlashRowOfWord(0x1238), 0x123);
    QCOMPARE(CMemoryDumpText::FlashRowCompletionWord(0x123), qint64(0x1238));
    QVERIFY(CMemoryDumpText::FlashRowCompletionWord(0x123) != 0x1230);
    QCOMPARE(CMemoryDumpText::FlashRowOfWord(CWordImage::WordCount), -1);
    QCOMPARE(CMemoryDumpText::FlashRowOfWord(-1), -1);
    QCOMPARE(CMemoryDumpText::FlashRowLabel(0x123), QStringLiteral("01230"));
    QCOMPARE(CMemoryDumpText::FlashRowLabel(CMemoryDumpText::FlashRowCount - 1), QStringLiteral("27FF0"));

    // Inside the page the next row follows; past it or above it the page starts over.
    QCOMPARE(CMemoryDumpText::FlashNextRow(100, 100, 20), 101);
    QCOMPARE(CMemoryDumpText::FlashNextRow(119, 100, 20), 120);
    QCOMPARE(CMemoryDumpText::FlashNextRow(120, 100, 20), 100);
    QCOMPARE(CMemoryDumpText::FlashNextRow(5, 100, 20), 100);
    QCOMPARE(CMemoryDumpText::FlashNextRow(10239, 10230, 20), 10239);

    CWordImage image;
    image.SetWord(0x123F, 0xBEEF);
    QCOMPARE(CMemoryDumpText::FlashCell(image, 0x123, 15), QStringLiteral("BEEF"));
    QCOMPARE(CMemoryDumpText::FlashCell(image, 0x123, 0), QStringLiteral("FFFF"));
    QCOMPARE(CMemoryDumpText::FlashCell(image, 0x123, 16), QString());
}

void TestEngineering::ramRows_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("label");
    QTest::newRow("first") << 0x000 << 0 << "000";
    QTest::newRow("last low") << 0x3F0 << 63 << "3F0";
    QTest::newRow("0x410") << 0x410 << 64 << "410";
    QTest::newRow("0x510") << 0x510 << 65 << "510";
    QTest::newRow("0x610") << 0x610 << 66 << "610";
    QTest::newRow("0x710") << 0x710 << 67 << "710";
    QTest::newRow("not a multiple of 16") << 0x415 << -1 << "";
    QTest::newRow("between windows") << 0x400 << -1 << "";
    QTest::newRow("inside a window gap") << 0x420 << -1 << "";
    QTest::newRow("past the last window") << 0x7F0 << -1 << "";
    QTest::newRow("beyond RAM") << 0x810 << -1 << "";
}

void TestEngineering::ramRows()
{
    QFETCH(int, address);
    QFETCH(int, row);
    QFETCH(QString, label);
    QCOMPARE(CMemoryDumpText::RamRowOfAddress(address), row);
    if (row >= 0) {
        QCOMPARE(CMemoryDumpText::RamRowStart(row), address);
        QCOMPARE(CMemoryDumpText::RamRowLabel(row), label);
        QByteArray ram(2048, '\0');
        ram[address + 15] = char(0xA5);
        QCOMPARE(CMemoryDumpText::RamCell(ram, row, 15), QStringLiteral("A5"));
        QCOMPARE(CMemoryDumpText::RamCell(ram.left(address + 8), row, 15), QString());
    }
}

void TestEngineering::markers_data()
{
    QTest::addColumn<int>("marker");
    QTest::addColumn<QString>("use");
    QTest::addColumn<bool>("inUse");
    QTest::addColumn<int>("role");
    QTest::newRow("code") << 0xC0DE << "CODE" << true << int(CMemoryMapText::NoRole);
    QTest::newRow("STEL") << 0xFFFA << "STEL" << true << int(CMemoryMapText::StelRole);
    QTest::newRow("TWA") << 0xFFF9 << "TWA" << true << int(CMemoryMapText::TwaRole);
    QTest::newRow("current") << 0xFFFE << "Current" << true << int(CMemoryMapText::CurrentLogRole);
    QTest::newRow("history") << 0xFFFC << "History" << false << int(CMemoryMapText::NoRole);
    QTest::newRow("blank") << 0xFFFF << "Blank" << false << int(CMemoryMapText::NoRole);
    QTest::newRow("invalid") << 0x0000 << "Invalid" << false << int(CMemoryMapText::NoRole);
    QTest::newRow("unknown") << 0x1234 << "" << false << int(CMemoryMapText::NoRole);
    QTest::newRow("near a marker") << 0xFFFB << "" << false << int(CMemoryMapText::NoRole);
}

void TestEngineering::markers()
{
    QFETCH(int, marker);
    QFETCH(QString, use);
    QFETCH(bool, inUse);
    QFETCH(int, role);
    QCOMPARE(CMemoryMapText::UseText(quint16(marker)), use);
    QCOMPARE(CMemoryMapText::InUse(quint16(marker)), inUse);
    QCOMPARE(int(CMemoryMapText::RoleOf(quint16(marker))), role);
}

void TestEngineering::analog_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("voltage");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("meaning");
    QTest::newRow("zero") << 0 << 0 << "0.000 V" << "" << "";
    QTest::newRow("full") << 8 << 65535 << "5.000 V" << "" << "";
    QTest::newRow("temperature zero") << 2 << 0 << "0.000 V" << "0.0 mV" << "-50.0C";
    QTest::newRow("temperature 22C") << 2 << 9437 << "0.720 V" << "180.0 mV" << "-32.0C";
    QTest::newRow("temperature mid") << 2 << 37749 << "2.880 V" << "720.0 mV" << "22.0C";
    QTest::newRow("battery") << 3 << 26986 << "2.059 V" << "4.118 V" << "";
}

void TestEngineering::analog()
{
    QFETCH(int, row);
    QFETCH(int, raw);
    QFETCH(QString, voltage);
    QFETCH(QString, value);
    QFETCH(QString, meaning);
    QCOMPARE(CAnalogText::ReadingCell(row, CAnalogText::Adc, raw), QString::number(raw));
    QCOMPARE(CAnalogText::ReadingCell(row, CAnalogText::Voltage, raw), voltage);
    QCOMPARE(CAnalogText::ReadingCell(row, CAnalogText::Value, raw), value);
    QCOMPARE(CAnalogText::ReadingCell(row, CAnalogText::Meaning, raw), meaning);

    // The replies' words, low byte first; a short reply reads 0 beyond its end.
    const QByteArray reply = QByteArray::fromHex("3412ffff");
    QCOMPARE(CAnalogText::ReplyWord(reply, 0), 0x1234);
    QCOMPARE(CAnalogText::ReplyWord(reply, 1), 0xFFFF);
    QCOMPARE(CAnalogText::ReplyWord(reply, 2), 0);
}

void TestEngineering::digital_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("data");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("meaning");
    QTest::newRow("A0 pushed") << 0 << 19 << 0x02 << "I" << "L" << "On/Off Pushed";
    QTest::newRow("A1 rechargeable") << 1 << 19 << 0x02 << "I" << "H" << "Rechargeable";
    QTest::newRow("B1 output pump off") << 3 << 0x00 << 0x02 << "O" << "H" << "Pump Off";
    QTest::newRow("B2 input light off") << 4 << 0x04 << 0x00 << "I" << "L" << "Back Light Off";
    QTest::newRow("B3 speaker on") << 5 << 0x00 << 0x00 << "O" << "L" << "Speaker On";
    QTest::newRow("E3 pressure bad") << 8 << 0x08 << 0x08 << "I" << "H" << "Pressure Bad";
    QTest::newRow("F both set") << 9 << 0x00 << 0x0C << "O" << "H" << "HC Supply 2V HC";
    QTest::newRow("F S1 only") << 10 << 0x00 << 0x08 << "O" << "H" << "HC Supply 1V HC";
    QTest::newRow("F S0 only") << 9 << 0x00 << 0x04 << "O" << "H" << "HC Supply 2V TC";
    QTest::newRow("F none") << 10 << 0x00 << 0x00 << "O" << "L" << "HC Supply Off";
    QTest::newRow("G7 LCD on") << 12 << 0x00 << 0x80 << "O" << "H" << "LCD Power On";
    QTest::newRow("latch page") << 14 << 0xFF << 0x03 << "O" << "H" << "Page 3";
    QTest::newRow("latch toxic 2 bias") << 15 << 0xFF << 0x08 << "O" << "L" << "Toxic 2 Bias = 2";
    QTest::newRow("latch toxic 2 gain") << 19 << 0xFF << 0x70 << "O" << "H" << "Toxic 2 Gain = 7";
    QTest::newRow("flash enabled") << 20 << 0x00 << 0x80 << "O" << "H" << "Flash Enabled";
    QTest::newRow("pot selected") << 21 << 0x00 << 0x00 << "O" << "L" << "Pot Selected";
    QTest::newRow("pot data") << 22 << 0x00 << 0x02 << "O" << "H" << "Data = 1";
    QTest::newRow("pot clock") << 23 << 0x00 << 0x04 << "O" << "H" << "Clock Active";
    QTest::newRow("latch toxic 1 bias") << 25 << 0x00 << 0x18 << "O" << "H" << "Toxic 1 Bias = 3";
    QTest::newRow("latch toxic 1 gain") << 28 << 0x00 << 0xA0 << "O" << "H" << "Toxic 1 Gain = 5";
}

void TestEngineering::digital()
{
    QFETCH(int, row);
    QFETCH(int, direction);
    QFETCH(int, data);
    QFETCH(QString, dir);
    QFETCH(QString, value);
    QFETCH(QString, meaning);
    const CDigitalText::State s = CDigitalText::PinState(row, direction, data);
    QCOMPARE(s.dir, dir);
    QCOMPARE(s.value, value);
    QCOMPARE(s.meaning, meaning);
}

void TestEngineering::buttons_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("up");
    QTest::addColumn<QString>("down");
    QTest::newRow("none") << 0 << "H Up Not Pushed" << "H Down Not Pushed";
    QTest::newRow("on/off only") << 1 << "H Up Not Pushed" << "H Down Not Pushed";
    QTest::newRow("up") << 2 << "L Up Pushed" << "H Down Not Pushed";
    QTest::newRow("both") << 6 << "L Up Pushed" << "L Down Pushed";
}

void TestEngineering::buttons()
{
    QFETCH(int, flags);
    auto text = [flags](int row) {
        const CDigitalText::State s = CDigitalText::ButtonState(row, flags);
        return s.value + QLatin1Char(' ') + s.meaning;
    };
    QFETCH(QString, up);
    QFETCH(QString, down);
    QCOMPARE(text(CDigitalText::UpButtonRow), up);
    QCOMPARE(text(CDigitalText::DownButtonRow), down);
    // Port B's own update never claims the button pins are outputs.
    QCOMPARE(CDigitalText::PinState(CDigitalText::UpButtonRow, 0x00, 0).dir, QStringLiteral("I"));
    // Only the four port images are refreshed from RAM.
    QVERIFY(CDigitalText::PortsAt(17).isEmpty());
    QCOMPARE(CDigitalText::PortsAt(1296), (QList<CDigitalText::Port>{CDigitalText::PortF, CDigitalText::PortG}));
}

void TestEngineering::keyBytes_data()
{
    // Key events as "+38" (down) and "-38" (up); after each the expected byte,
    // or "=" when nothing needs sending.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("bytes");
    QTest::newRow("up and down together") << QStringList{"+38", "+40", "-38", "-40"} << QStringList{"2", "6", "4", "0"};
    QTest::newRow("right is on/off") << QStringList{"+39", "-39"} << QStringList{"1", "0"};
    QTest::newRow("auto repeat") << QStringList{"+40", "+40", "-40"} << QStringList{"4", "=", "0"};
    QTest::newRow("left and others") << QStringList{"+37", "+65", "-37"} << QStringList{"=", "=", "="};
    QTest::newRow("release of a key not held") << QStringList{"-38"} << QStringList{"="};
}

void TestEngineering::keyBytes()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, bytes);
    CInstrumentKeys keys;
    for (int i = 0; i < events.size(); ++i) {
        const bool changed = keys.Press(events[i].mid(1).toInt(), events[i][0] == QLatin1Char('+'));
        QCOMPARE(changed ? QString::number(keys.Byte()) : QStringLiteral("="), bytes[i]);
    }
    keys.Press(CInstrumentKeys::KeyUp, true);
    QVERIFY(keys.ReleaseAll());
    QCOMPARE(keys.Byte(), quint8(0));
    QVERIFY(!keys.ReleaseAll());
}

QTEST_GUILESS_MAIN(TestEngineering)
#include "tst_engineering.moc"
