// The engineering views against the simulated instrument: Range Table, Toxic
// Table, Flash, RAM, Memory, Analog, Digital and Instrument View show what
// the instrument holds, follow it, and send it only what the user asked for.
#include "SimRig.h"
#include "document/WordImage.h"
#include "link/RecordTypes.h"
#include "platform/Preferences.h"
#include "views/Analog.h"
#include "views/AnalogText.h"
#include "views/Digital.h"
#include "views/Flash.h"
#include "views/FlashModel.h"
#include "views/InstrumentDisplay.h"
#include "views/Memory.h"
#include "views/Ram.h"
#include "views/RangeTable.h"
#include "views/ReportList.h"
#include "views/ToxicTable.h"
#include "views/VirtualInstrument.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <memory>

namespace {

struct Bench
{
    QDateTime now{QDate(2031, 6, 15), QTime(10, 0, 0)};
    SimRig rig;

    Bench() { rig.sim.Instrument().SetTimeSource([this] { return now; }); }
    CSimInstrument &Instrument() { return rig.sim.Instrument(); }
    CInstrumentDoc &Doc() { return rig.doc; }

    bool Poll()
    {
        rig.doc.PollInstrument();
        return rig.WaitIdle();
    }
    template <class View> std::unique_ptr<View> Open(QSize size = {})
    {
        auto view = std::make_unique<View>(rig.doc);
        view->resize(size.isValid() ? size : view->FormSize());
        view->show();
        view->OnInitialUpdate();
        return view;
    }
};

void Screenshot(QWidget *view, const QString &name)
{
    const QByteArray dir = qgetenv("ALTAVO_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    view->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QString Hex(int value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// Every request type the simulated instrument was sent, in order.
struct RequestLog
{
    QList<int> types;
    QMetaObject::Connection connection;
    explicit RequestLog(CSimulator &sim)
    {
        connection = QObject::connect(&sim, &CSimulator::RequestServed, [this](const QByteArray &request, const QByteArray &) {
            if (request.size() >= 9 && request[0] == ':')
                types.append(request.mid(7, 2).toInt(nullptr, 16));
        });
    }
    ~RequestLog() { QObject::disconnect(connection); }
};

} // namespace

class TestEngineeringViews : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void rangeTable();
    void rangeTableInfiniteGain();
    void toxicTable();
    void toxicTableLateRecords();
    void flash();
    void ram();
    void memory();
    void memoryErase_data();
    void memoryErase();
    void analog();
    void digital();
    void instrumentView();
    void instrumentViewKeys();

private:
    QTemporaryDir m_settings;
};

void TestEngineeringViews::initTestCase()
{
    UseTemporarySettings(m_settings);
}

void TestEngineeringViews::rangeTable()
{
    Bench b;
    auto view = b.Open<CRangeTable>();
    QVERIFY(b.rig.WaitIdle());
    CReportList *list = view->List();
    QCOMPARE(list->columnCount(), 5);
    QCOMPARE(list->RowCount(), 19);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Parameter"));
    QCOMPARE(list->headerItem()->text(4), QStringLiteral("3"));
    QCOMPARE(list->Cell(14, 0), QStringLiteral("Gain *"));
    // Range 0: four pots of 126 over 22 || 22.
    QCOMPARE(list->Cell(5, 1), QStringLiteral("TC  "));
    QCOMPARE(list->Cell(6, 1), QStringLiteral("LEL"));
    QCOMPARE(list->Cell(7, 1), QStringLiteral("LEL"));
    QCOMPARE(list->Cell(14, 1), QStringLiteral("46.82"));
    QCOMPARE(list->Cell(15, 1), QStringLiteral("134.6"));
    QCOMPARE(list->Cell(3, 1), QStringLiteral("1"));
    QCOMPARE(list->Cell(4, 1), QStringLiteral("2"));
    // Range 1: a PPM range shows its alarm limits in ppm.
    QCOMPARE(list->Cell(7, 2), QStringLiteral("PPM"));
    QCOMPARE(list->Cell(1, 2), QStringLiteral("Yes"));
    QCOMPARE(list->Cell(17, 2), QStringLiteral("50"));
    QCOMPARE(list->Cell(18, 2), QStringLiteral("950"));
    QCOMPARE(list->Cell(5, 4), QStringLiteral("NMC "));

    // The status poll's range index marks the active column.
    QVERIFY(b.Poll());
    QCOMPARE(list->Cell(0, 1), QStringLiteral("Yes"));
    QCOMPARE(list->Cell(0, 2), QString());
    Screenshot(view.get(), QStringLiteral("engineering-range-table"));
}

void TestEngineeringViews::rangeTableInfiniteGain()
{
    Bench b;
    // Range 2 with Pot 5 = Pot 6 = 1, and range 3 taken out of use.
    const quint32 range2 = 0xC020 + 2 * 10;
    QByteArray rec = b.Instrument().WordBytes(range2, 20);
    rec[12] = 1;
    rec[13] = 1;
    b.Instrument().SetWordBytes(range2, rec);
    b.Instrument().SetWord(0xC020 + 3 * 10, 0x0001);
    auto view = b.Open<CRangeTable>();
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(view->List()->Cell(14, 3), QStringLiteral("Infinite"));
    QCOMPARE(view->List()->Cell(15, 3), QStringLiteral("0"));
    for (int row = 0; row < 19; ++row)
        QCOMPARE(view->List()->Cell(row, 4), QString());
}

void TestEngineeringViews::toxicTable()
{
    Bench b;
    auto view = b.Open<CToxicTable>();
    QVERIFY(b.rig.WaitIdle());
    CReportList *list = view->List();
    QCOMPARE(list->RowCount(), 45);
    // Record 0 (no sensor) is not shown: seven gases from column 1 on.
    QCOMPARE(list->columnCount(), 8);
    QStringList names;
    for (int c = 1; c < list->columnCount(); ++c)
        names.append(list->headerItem()->text(c).trimmed());
    QCOMPARE(names, (QStringList{"CO", "H2S", "SO2", "H2", "NO2", "Cl2", "NH3"}));
    QCOMPARE(list->Cell(29, 1), QStringLiteral("1"));
    QCOMPARE(list->Cell(29, 4), QStringLiteral("100"));
    const CToxicRecord &h2 = b.Doc().Settings().ToxicRecord(4);
    QCOMPARE(list->Cell(1, 4), QString::number(h2.AlarmMaximum() / 100.0, 'f', 2));
    QCOMPARE(list->Cell(43, 2), Hex(b.Doc().Settings().ToxicRecord(2).MuxSettings(), 4));
    Screenshot(view.get(), QStringLiteral("engineering-toxic-table"));
}

void TestEngineeringViews::toxicTableLateRecords()
{
    Bench b;
    auto view = b.Open<CToxicTable>();
    QVERIFY(b.rig.WaitIdle());
    CReportList *list = view->List();
    // A fresh view on a table whose record 5 comes first.
    auto late = std::make_unique<CToxicTable>(b.Doc());
    CReportList *l = late->List();
    const int lastChunk = 80, lastLength = 14;
    late->OnUpdate(UpdateCode::ToxicRecord, CReplyNotice::At(5 * 256 + lastChunk, lastLength));
    QCOMPARE(l->columnCount(), 6);
    for (int c = 1; c <= 4; ++c) {
        QCOMPARE(l->headerItem()->text(c), QString());
        QCOMPARE(l->Cell(29, c), QString());
    }
    QCOMPARE(l->headerItem()->text(5), list->headerItem()->text(5));
    QCOMPARE(l->Cell(29, 5), list->Cell(29, 5));
    late->OnUpdate(UpdateCode::ToxicRecord, CReplyNotice::At(2 * 256 + lastChunk, lastLength));
    QCOMPARE(l->columnCount(), 6);
    QCOMPARE(l->headerItem()->text(2), list->headerItem()->text(2));
    QCOMPARE(l->Cell(39, 2), list->Cell(39, 2));
    // Record 0 and records beyond the table make no column.
    late->OnUpdate(UpdateCode::ToxicRecord, CReplyNotice::At(0 * 256 + lastChunk, lastLength));
    late->OnUpdate(UpdateCode::ToxicRecord, CReplyNotice::At(40 * 256 + lastChunk, lastLength));
    QCOMPARE(l->columnCount(), 6);
}

void TestEngineeringViews::flash()
{
    Bench b;
    const int codeRow = 0x9000 / 16;
    CPreferences::SetInt(QStringLiteral("Flash"), QStringLiteral("TopIndex"), codeRow);
    auto view = b.Open<CFlash>(QSize(1000, 300));
    QTRY_COMPARE(view->TopRow(), codeRow);
    QCOMPARE(view->Model()->rowCount(), 10240);
    QCOMPARE(view->Model()->columnCount(), 17);
    QCOMPARE(view->Model()->headerData(16, Qt::Horizontal).toString(), QStringLiteral("F"));
    auto cell = [&](int row, int column) { return view->Model()->index(row, column).data().toString(); };
    QCOMPARE(cell(codeRow, 0), QStringLiteral("09000"));
    // The visible rows are read over and over.
    const int last = codeRow + view->PageRows() - 1;
    QVERIFY(b.rig.WaitFor([&] { return cell(codeRow, 1) == QStringLiteral("C0DE"); }));
    const QString lastWord = Hex(b.Instrument().Word(quint32(last * 16 + 15)), 4);
    QVERIFY(b.rig.WaitFor([&] { return cell(last, 16) == lastWord; }));
    b.Instrument().SetWord(0x9001, 0x1234);
    QVERIFY(b.rig.WaitFor([&] { return cell(codeRow, 2) == QStringLiteral("1234"); }));
    // Rows out of sight are not read.
    QCOMPARE(cell(codeRow + 200, 1), QStringLiteral("FFFF"));
    QVERIFY(b.Doc().Words().Word((codeRow + 200) * 16) == 0xFFFF);

    // A poll after which no row completed starts the cycle again at the top.
    b.Doc().ClearQueues();
    b.Doc().UpdateAllViews(UpdateCode::Poll);
    b.Doc().UpdateAllViews(UpdateCode::Poll);
    QCOMPARE(view->RowBeingRead(), view->TopRow());
    Screenshot(view.get(), QStringLiteral("engineering-flash"));

    view->ScrollToTop(0x1234);
    QTRY_COMPARE(view->TopRow(), 0x1234);
    view.reset();
    QCOMPARE(CPreferences::GetInt(QStringLiteral("Flash"), QStringLiteral("TopIndex"), -1), 0x1234);
}

void TestEngineeringViews::ram()
{
    Bench b;
    CPreferences::SetInt(QStringLiteral("RAM"), QStringLiteral("TopIndex"), 0);
    auto view = b.Open<CRam>(QSize(900, 2000));
    CReportList *list = view->List();
    QCOMPARE(list->RowCount(), 68);
    QCOMPARE(list->Cell(63, 0), QStringLiteral("3F0"));
    QCOMPARE(list->Cell(64, 0), QStringLiteral("410"));
    QCOMPARE(list->Cell(67, 0), QStringLiteral("710"));
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(list->Cell(0, 1), Hex(quint8(b.Instrument().Ram(0, 1)[0]), 2));
    QCOMPARE(list->Cell(1, 1), QString());
    QVERIFY(b.Poll());
    // The upper rows show the windows at 0x410, 0x510, 0x610 and 0x710.
    for (int row = 0; row < 68; ++row) {
        const int start = row < 64 ? row * 16 : 0x410 + (row - 64) * 0x100;
        const QByteArray bytes = b.Doc().Ram().mid(start, 16);
        for (int c = 0; c < 16; ++c)
            QCOMPARE(list->Cell(row, c + 1), Hex(quint8(bytes[c]), 2));
    }
    QCOMPARE(list->Cell(66, 1), Hex(quint8(b.Instrument().Ram(0x610, 1)[0]), 2));

    // Replies at addresses where no row starts change nothing.
    const QString before = list->Cell(64, 1);
    b.Instrument().SetRam(0x400, QByteArray(32, char(0x5A)));
    b.Instrument().SetRam(0x415, QByteArray(16, char(0x5A)));
    b.Doc().ReadRam(0x400, 16);
    b.Doc().ReadRam(0x415, 16);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(list->Cell(64, 1), before);
    QCOMPARE(list->Cell(65, 6), Hex(quint8(b.Doc().Ram()[0x515]), 2));

    view->resize(900, 300);
    list->ScrollToTop(40);
    QTRY_COMPARE(list->TopRow(), 40);
    Screenshot(view.get(), QStringLiteral("engineering-ram"));
    view.reset();
    QCOMPARE(CPreferences::GetInt(QStringLiteral("RAM"), QStringLiteral("TopIndex"), -1), 40);
}

void TestEngineeringViews::memory()
{
    Bench b;
    b.Instrument().SetWord(0x20000, 0x1234); // a word that is no marker
    auto view = b.Open<CMemory>();
    QCOMPARE(view->AddressLabel(0)->text(), QStringLiteral("0x08000 - 0x09FFF"));
    QCOMPARE(view->AddressLabel(6)->text(), QStringLiteral("0x20000 - 0x27FFF"));
    QVERIFY(b.Poll());
    const QStringList uses{"CODE", "STEL", "TWA", "CODE", "Current", "History", ""};
    for (int row = 0; row < 7; ++row)
        QCOMPARE(view->Use(row)->text(), uses[row]);
    QCOMPARE(view->Word0(0)->text(), QStringLiteral("C0DE"));
    QCOMPARE(view->Word0(6)->text(), QStringLiteral("1234"));
    QCOMPARE(view->StelRow(), 1);
    QCOMPARE(view->TwaRow(), 2);
    QCOMPARE(view->CurrentLogRow(), 4);
    // STEL 0xA3C0: 0x3C0 of 4096 words; TWA 0xB1E0: 0x1E0.
    QCOMPARE(view->Pointer(1)->text(), QStringLiteral("A3C0"));
    QCOMPARE(view->Gauge(1)->format(), QStringLiteral(" 23%"));
    QCOMPARE(view->Pointer(2)->text(), QStringLiteral("B1E0"));
    QCOMPARE(view->Gauge(2)->format(), QStringLiteral(" 12%"));
    QCOMPARE(view->Pointer(3)->text(), Hex(b.Instrument().Word(0xC002), 4));
    QCOMPARE(view->Pointer(4)->text(), Hex(b.Doc().MemoryPointer(2), 4));
    QVERIFY(view->Gauge(4)->isTextVisible());
    QCOMPARE(view->Pointer(5)->text(), QString());
    QVERIFY(!view->Gauge(5)->isTextVisible());
    QCOMPARE(view->Pointer(6)->text(), QString());
    Screenshot(view.get(), QStringLiteral("engineering-memory"));

    // The STEL sector loses its marker: its gauge no longer follows the STEL pointer.
    b.Instrument().SetWord(0xA000, 0xFFFF);
    QVERIFY(b.Poll());
    QCOMPARE(view->Use(1)->text(), QStringLiteral("Blank"));
    QCOMPARE(view->StelRow(), -1);
    QCOMPARE(view->Pointer(1)->text(), QString());

    // A current log sector at row 3 or lower gets no log gauge.
    const QString configurationPointer = view->Pointer(3)->text();
    b.Doc().Words().SetWord(0xC000, 0xFFFE);
    view->OnUpdate(UpdateCode::WordBlock, CReplyNotice::At(0xC000, 6));
    QCOMPARE(view->CurrentLogRow(), 3);
    view->OnUpdate(UpdateCode::MemoryPointer0 + 2, {});
    QCOMPARE(view->Pointer(3)->text(), configurationPointer);
}

void TestEngineeringViews::memoryErase_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("named");
    QTest::newRow("history, declined") << 5 << false << "0x18000 - 0x1FFFF";
    QTest::newRow("history, confirmed") << 5 << true << "History";
    QTest::newRow("unknown use, confirmed") << 6 << true << "unknown";
}

void TestEngineeringViews::memoryErase()
{
    QFETCH(int, row);
    QFETCH(bool, answer);
    QFETCH(QString, named);
    Bench b;
    b.Instrument().SetWord(0x20000, 0x1234);
    b.Instrument().SetWord(0x20010, 0x5678);
    auto view = b.Open<CMemory>();
    QVERIFY(b.Poll());
    QString asked;
    view->SetEraseConfirmation([&](const QString &question) {
        asked = question;
        return answer;
    });
    const quint32 start = row == 5 ? 0x18000 : 0x20000;
    const quint16 before = b.Instrument().Word(start + 0x10);
    QVERIFY(before != 0xFFFF);
    QTest::mouseClick(view->EraseButton(row), Qt::LeftButton);
    QVERIFY(b.rig.WaitIdle());
    QVERIFY2(asked.contains(named), qPrintable(asked));
    QCOMPARE(b.Instrument().Word(start + 0x10), answer ? quint16(0xFFFF) : before);
    // The sectors beside it are never touched.
    QCOMPARE(b.Instrument().Word(0x10000), quint16(0xFFFE));
}

void TestEngineeringViews::analog()
{
    Bench b;
    auto view = b.Open<CAnalog>();
    CReportList *list = view->List();
    QCOMPARE(list->Cell(6, 0), QStringLiteral("8"));
    QCOMPARE(list->Cell(6, 1), QStringLiteral("24"));
    QCOMPARE(list->Cell(9, 2), QStringLiteral("Not Used"));
    QCOMPARE(list->Cell(2, 3), QString());
    QVERIFY(b.Poll());
    // About 22 C and a 4.12 V battery in the simulated instrument.
    QCOMPARE(list->Cell(2, 5), QStringLiteral("720.0 mV"));
    QCOMPARE(list->Cell(2, 6), QStringLiteral("22.0C"));
    QCOMPARE(list->Cell(3, 5), QStringLiteral("4.120 V"));
    QCOMPARE(list->Cell(9, 3), QStringLiteral("0"));
    QCOMPARE(list->Cell(9, 4), QStringLiteral("0.000 V"));
    QCOMPARE(list->Cell(8, 5), QString());
    QCOMPARE(list->Cell(8, 3), QString::number(CAnalogText::ReplyWord(b.Doc().AnalogA(), 4)));
    Screenshot(view.get(), QStringLiteral("engineering-analog"));
}

void TestEngineeringViews::digital()
{
    Bench b;
    auto view = b.Open<CDigital>();
    CReportList *list = view->List();
    QVERIFY(b.Poll());
    QCOMPARE(list->Cell(0, 3), QStringLiteral("I"));
    QCOMPARE(list->Cell(0, 5), QStringLiteral("On/Off Not Pushed"));
    QCOMPARE(list->Cell(1, 5), QString::fromLatin1((b.Doc().Ram()[16] & 2) ? "Rechargeable" : "Alkaline"));
    QCOMPARE(list->Cell(6, 5), QStringLiteral("Up Not Pushed"));
    QCOMPARE(list->Cell(9, 5), QStringLiteral("HC Supply 2V HC"));
    QCOMPARE(list->Cell(12, 5), QStringLiteral("LCD Power On"));
    QCOMPARE(list->Cell(13, 5), QStringLiteral("Page 0"));
    QCOMPARE(list->Cell(28, 5), QStringLiteral("Toxic 1 Gain = 3"));
    QCOMPARE(list->Cell(20, 3), QStringLiteral("O"));

    // Buttons held on the instrument.
    b.Instrument().PressKeys(0x03);
    QVERIFY(b.Poll());
    QCOMPARE(list->Cell(0, 5), QStringLiteral("On/Off Pushed"));
    QCOMPARE(list->Cell(6, 4), QStringLiteral("L"));
    QCOMPARE(list->Cell(6, 5), QStringLiteral("Up Pushed"));
    QCOMPARE(list->Cell(7, 5), QStringLiteral("Down Not Pushed"));
    Screenshot(view.get(), QStringLiteral("engineering-digital"));

    // RAM arriving at any other address leaves the ports alone.
    b.Instrument().SetRam(17, QByteArray(2, '\0'));
    b.Doc().ReadRam(17, 2);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(list->Cell(3, 5), QStringLiteral("Pump On"));
    QCOMPARE(list->Cell(4, 3), QStringLiteral("O"));
}

void TestEngineeringViews::instrumentView()
{
    Bench b;
    RequestLog log(b.rig.sim);
    auto view = b.Open<CVirtualInstrument>();
    CInstrumentDisplay *display = view->Display();
    QCOMPARE(display->size(), QSize(256, 115));

    // Nothing known yet: blank cells, dark annunciators, and the idle notice reads nothing.
    b.Doc().UpdateAllViews(UpdateCode::Idle);
    QVERIFY(b.rig.WaitIdle());
    QVERIFY(!log.types.contains(RecordType::ReadRam));
    for (int cell = 0; cell < 32; ++cell)
        QCOMPARE(display->CellCode(cell), int(' '));
    for (int i = 0; i < 7; ++i)
        QVERIFY(!display->AnnunciatorLit(i));
    Screenshot(view.get(), QStringLiteral("engineering-instrument-blank"));

    QVERIFY(b.Poll());
    QCOMPARE(view->DisplayAddress(), qint64(0x610));
    QVERIFY(!log.types.contains(RecordType::ReadRam));
    b.Doc().UpdateAllViews(UpdateCode::Idle);
    QVERIFY(b.rig.WaitIdle());
    QVERIFY(display->IsRead());
    const QByteArray memory = b.Instrument().Ram(0x610, 40);
    for (int cell = 0; cell < 32; ++cell)
        QCOMPARE(display->CellCode(cell), int(quint8(memory[cell])));
    QCOMPARE(QByteArray(memory.constData() + 16, 8).trimmed().size() > 0, true);
    QVERIFY(display->AnnunciatorLit(6)); // logging

    // A poll right after the idle reads asks for nothing more.
    const int reads = int(log.types.count(RecordType::ReadRam));
    b.Doc().UpdateAllViews(UpdateCode::Poll);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(int(log.types.count(RecordType::ReadRam)), reads);
    b.Doc().UpdateAllViews(UpdateCode::Poll);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(int(log.types.count(RecordType::ReadRam)), reads + 3);
    Screenshot(view.get(), QStringLiteral("engineering-instrument"));
}

void TestEngineeringViews::instrumentViewKeys()
{
    Bench b;
    auto view = b.Open<CVirtualInstrument>();
    view->activateWindow();
    view->setFocus();
    QVERIFY(b.Poll());
    auto refresh = [&] {
        b.Doc().UpdateAllViews(UpdateCode::Idle);
        return b.rig.WaitIdle();
    };

    QTest::keyPress(view.get(), Qt::Key_Up);
    QTest::keyPress(view.get(), Qt::Key_Down);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(b.Instrument().Keys(), quint8(6));
    QTest::keyRelease(view.get(), Qt::Key_Up);
    QTest::keyRelease(view.get(), Qt::Key_Down);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(b.Instrument().Keys(), quint8(0));

    // Down pages to the peak readings, whose annunciator lights.
    QTest::keyClick(view.get(), Qt::Key_Down);
    QVERIFY(refresh());
    QCOMPARE(b.Instrument().Display().Shown(), CSimDisplay::Peaks);
    QVERIFY(view->Display()->AnnunciatorLit(3));
    QTest::keyClick(view.get(), Qt::Key_Down);
    QVERIFY(refresh());
    QVERIFY(view->Display()->AnnunciatorLit(4));
    Screenshot(view.get(), QStringLiteral("engineering-instrument-averages"));
    QTest::keyClick(view.get(), Qt::Key_Down);
    QVERIFY(refresh());
    Screenshot(view.get(), QStringLiteral("engineering-instrument-status"));

    // The face's On/Off button (the Right key) turns the display off.
    QTest::mouseClick(view->Button(CInstrumentKeys::KeyRight), Qt::LeftButton);
    QVERIFY(refresh());
    QCOMPARE(b.Instrument().Keys(), quint8(0));
    QVERIFY(!b.Instrument().Display().IsOn());
    for (int cell = 0; cell < 32; ++cell)
        QCOMPARE(view->Display()->CellCode(cell), int(' '));

    // Losing the keyboard with a key held lets the instrument's button go.
    QTest::keyPress(view.get(), Qt::Key_Right);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(b.Instrument().Keys(), quint8(1));
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(view.get(), &out);
    QVERIFY(b.rig.WaitIdle());
    QCOMPARE(b.Instrument().Keys(), quint8(0));
}

QTEST_MAIN(TestEngineeringViews)
#include "tst_engineering.moc"
