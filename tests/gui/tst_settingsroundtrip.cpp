// Settings images of every kind through the program window with its four
// settings views open and untouched: each goes back to the instrument as it
// came, byte for byte, apart from the few changes the views are meant to make.
#include "SimDefaults.h"
#include "SimRig.h"
#include "Simulator.h"
#include "app/AltavoApp.h"
#include "app/CommandIds.h"
#include "app/InstrumentFrame.h"
#include "app/MainFrame.h"
#include "platform/Preferences.h"
#include "views/AdvancedFeatures.h"
#include "views/DatalogFeatures.h"
#include "views/DisplayMode.h"
#include "views/FormIdList.h"
#include "views/FormRadioGroup.h"
#include "views/FormValueList.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>
#include <memory>

namespace {

constexpr int ImageCount = 200;
// Every this many images a real Download (with its read-back) stands in for
// the document's store, so the instrument's own memory is compared too.
constexpr int DownloadEvery = 25;
constexpr quint32 DefaultSeed = 0x5E771265;
constexpr quint32 RangeTableWord = 0xC020;
constexpr int RangeTableBytes = 80;

const char *const ViewTitles[] = {"Advanced Features", "Datalog Features", "Display Mode", "Sensors"};

// One instrument's memory: the TimeKeeper block (clock registers as BCD),
// the 81 ID entries, the toxic table and the range table.
struct Image
{
    QByteArray timeKeeper;
    QList<QByteArray> ids;
    QList<QByteArray> toxic;
    QByteArray ranges;
};

quint16 Word(const QByteArray &b, int offset)
{
    return quint16(quint8(b[offset]) | (quint8(b[offset + 1]) << 8));
}

void PutWord(QByteArray &b, int offset, quint16 value)
{
    b[offset] = char(value & 0xFF);
    b[offset + 1] = char(value >> 8);
}

// Sets bits [low, low + width) of the word at offset.
void PutBits(QByteArray &b, int offset, int low, int width, int value)
{
    const quint16 mask = quint16(((1 << width) - 1) << low);
    PutWord(b, offset, quint16((Word(b, offset) & ~mask) | ((value << low) & mask)));
}

quint8 Bcd(int v)
{
    return quint8((v / 10) << 4 | (v % 10));
}

// Draws instrument memories over every field's whole range: random bytes
// (reserved bits included), or the factory image with a few bytes changed,
// with the edges of the coded fields drawn more often than chance would.
class CImageGenerator
{
public:
    explicit CImageGenerator(quint32 seed) : m_rng(seed) {}

    Image Next()
    {
        Image im;
        im.timeKeeper = TimeKeeper();
        for (int n = 1; n <= CSettingsImage::IdEntryCount; ++n)
            im.ids.append(Id(n));
        im.toxic = ToxicTable();
        im.ranges = RangeTable();
        return im;
    }

private:
    int Below(int n) { return int(m_rng.bounded(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <class T> T Pick(std::initializer_list<T> values) { return values.begin()[Below(int(values.size()))]; }
    QByteArray Bytes(int n)
    {
        QByteArray b(n, '\0');
        for (char &c : b)
            c = char(Below(256));
        return b;
    }

    QByteArray TimeKeeper()
    {
        QByteArray tk = SimDefaults::TimeKeeper();
        if (Chance(50)) {
            tk.replace(8, 56, Bytes(56));
        } else {
            for (int k = Below(6) + 1; k > 0; --k)
                tk[8 + Below(56)] = char(Below(256));
        }
        // Passwords: 1000 to 1023 all read "***", 999 is the highest shown.
        const int passwordWords[3][2] = {{38, 52}, {40, 54}, {42, 56}};
        for (const auto &w : passwordWords) {
            if (Chance(30)) {
                const int value = Pick({0, 999, 1000, 1000 + Below(24), 1023});
                PutBits(tk, w[0], 10, 5, value & 31);
                PutBits(tk, w[1], 10, 5, value >> 5);
            }
        }
        if (Chance(30))
            PutBits(tk, 58, 9, 6, 33 + Below(31)); // CalInterval past 26 weeks
        if (Chance(15))
            tk[62] = char(quint8(tk[62]) & ~0x70); // LogInterval code 0
        if (Chance(20)) {
            // Levels at the ends of their 10 bits.
            for (int offset = 30; offset <= 56; offset += 2) {
                if (Chance(50))
                    PutBits(tk, offset, 0, 10, Pick({0, 1, 1022, 1023}));
            }
        }
        // Clock registers: a valid date and time as BCD with the flag bits
        // of seconds and hours drawn, the day of week and the control register
        // as they come.
        const QDateTime when(QDate(2000 + Below(38), 1 + Below(12), 1 + Below(28)),
                             QTime(Below(24), Below(60), Below(60)));
        tk[0] = char(Bcd(when.time().second()) | (Below(2) << 7));
        tk[1] = char(Bcd(when.time().minute()));
        tk[2] = char(Bcd(when.time().hour()) | (Below(4) << 6));
        tk[3] = char(1 + Below(7));
        tk[4] = char(Bcd(when.date().day()));
        tk[5] = char(Bcd(when.date().month()));
        tk[6] = char(Bcd(when.date().year() % 100));
        tk[7] = char(Below(256));
        return tk;
    }

    QByteArray Id(int n)
    {
        switch (Below(6)) {
        case 0: return QByteArray(16, ' ');
        case 1: {
            // Printable text with punctuation, of any length; the instrument pads it.
            static const char chars[] = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[\\]^_`abcxyz{|}~";
            QByteArray t;
            for (int k = Below(17); k > 0; --k)
                t.append(chars[Below(int(sizeof chars) - 1)]);
            return t;
        }
        case 2: return Bytes(16); // any byte, high-bit and control bytes included
        case 3: {
            QByteArray t = Bytes(16);
            for (char &c : t)
                c = char(0x80 | quint8(c)); // high-bit bytes only
            return t;
        }
        case 4: return QByteArray("  lead & trail  ");
        default: return SimDefaults::IdEntries().value(n - 1);
        }
    }

    QList<QByteArray> ToxicTable()
    {
        QList<QByteArray> table = SimDefaults::ToxicTable();
        // Counts below and above the factory 8, so that gas indexes (0..15)
        // fall at and beyond the table's end.
        const int count = Pick({1, 3, 8, 8, 12, 16});
        while (table.size() < count)
            table.append(table[1 + Below(7)]);
        table = table.mid(0, count);
        for (int i = 1; i < table.size(); ++i) {
            if (Chance(30))
                PutWord(table[i], 62, Pick<quint16>({0, 1, 3, 7, 10, 100, 1000})); // Fraction
            if (Chance(15))
                PutWord(table[i], 6, Pick<quint16>({0, 1, 1023, 65535})); // Alarm Maximum
            if (Chance(15))
                PutWord(table[i], 4, Pick<quint16>({0, 500, 65535})); // Alarm Minimum
            if (Chance(10))
                PutWord(table[i], 8 + 2 * Below(4), quint16(Below(65536))); // a Cal Gas
        }
        return table;
    }

    QByteArray RangeTable()
    {
        QByteArray t(RangeTableBytes, '\0');
        const std::vector<quint16> words = SimDefaults::WordMemory();
        for (int i = 0; i < RangeTableBytes / 2; ++i)
            PutWord(t, 2 * i, words[RangeTableWord + quint32(i)]);
        // Range 0 offers range 2 as the second HC choice or not, and may
        // carry the thermal-conductivity channel on the Toxic 2 slot.
        PutBits(t, 0, 2, 1, Below(2));
        t[6] = char(Chance(30) ? 1 : 3);
        for (int r = 0; r < 4; ++r) {
            const int at = 20 * r;
            if (Chance(25))
                t[at + 7] = char(Pick({1, 2, 4, 8, 16, 32, 64})); // Display Units
            if (Chance(25))
                PutWord(t, at + 14, Pick<quint16>({5, 50, 100, 1000})); // Full Scale
            if (Chance(10))
                PutBits(t, at, 0, 1, 1); // not in use
            if (Chance(15))
                PutWord(t, at + 18, Pick<quint16>({0, 5, 1023, 65535})); // Alarm Maximum
        }
        return t;
    }

    QRandomGenerator m_rng;
};

void Put(CSimInstrument &sim, const Image &im)
{
    sim.SetTimeKeeper(0, im.timeKeeper);
    for (int n = 1; n <= im.ids.size(); ++n)
        sim.SetIdEntry(n, im.ids[n - 1]);
    sim.SetToxicTable(im.toxic);
    sim.SetWordBytes(RangeTableWord, im.ranges);
    sim.UpdateConfigurationChecksum();
}

// The changes the views are meant to make to an untouched image.
QByteArray Normalised(QByteArray tk)
{
    // LogInterval codes 0 and 4 both mean 60 seconds; the list offers codes
    // 1 to 7 and the setter never writes code 0.
    if ((quint8(tk[62]) & 0x70) == 0)
        tk[62] = char(quint8(tk[62]) | (4 << 4));
    return tk;
}

// The settings fields sharing the word (or byte) at a TimeKeeper offset,
// for the failure message.
QString FieldsAt(int offset)
{
    static const char *const words[] = {
        "CalOffset1-0", "CalOffset1-1", "CalOffset1-2", "CalOffset1-3", "CalOffset2", "CalOffset3", "CalOffset4",
        "CalGas1/HCRangeIndex/CalSpan1", "CalGas2/O2AlarmConfiguration/CalSpan2",
        "CalGas3/AlarmDelay/ComfortAlert/CalSpan3", "CalGas4/reserved/CalSpan4",
        "HighAlarm1-0/CalDac0", "HighAlarm1-1/CalDac1", "HighAlarm1-2/CalDac2", "HighAlarm1-3/CalDac3",
        "HighAlarm2/CalWord/AlarmLatch", "HighAlarm3/PassWord/LunchBreak", "HighAlarm4/LogWord/BumpTest",
        "WarningAlarm1-0/CalDac0", "WarningAlarm1-1/CalDac1", "WarningAlarm1-2/CalDac2", "WarningAlarm1-3/CalDac3",
        "WarningAlarm2/CalWord/reserved", "WarningAlarm3/PassWord/reserved", "WarningAlarm4/LogWord/TemperatureAlarm",
        "LastCalDate/CalInterval/reserved"};
    static const char *const bytes[] = {"Sensor3/Sensor4 gas", "Sensor1-4/BackLightDelay",
                                        "OperatorIndex/LogInterval/LogMemoryManager", "LocationIndex/LogAverages"};
    if (offset >= 60 && offset < 64)
        return QString::fromLatin1(bytes[offset - 60]);
    if (offset >= 8 && offset < 60)
        return QString::fromLatin1(words[(offset - 8) / 2]);
    return QStringLiteral("clock");
}

// Empty when equal; otherwise one line per differing byte or ID entry.
QString Differences(const QByteArray &wantTk, const QByteArray &gotTk, const QList<QByteArray> &wantIds,
                    const QList<QByteArray> &gotIds, int from = CSettingsImage::SettingsOffset)
{
    QStringList lines;
    for (int i = from; i < CSettingsImage::TimeKeeperSize; ++i) {
        if (wantTk.at(i) != gotTk.at(i))
            lines << QStringLiteral("byte %1 (%2): want %3 got %4")
                         .arg(i)
                         .arg(FieldsAt(i))
                         .arg(uint(quint8(wantTk[i])), 2, 16, QLatin1Char('0'))
                         .arg(uint(quint8(gotTk[i])), 2, 16, QLatin1Char('0'));
    }
    for (int n = 0; n < wantIds.size(); ++n) {
        if (wantIds[n] != gotIds.value(n))
            lines << QStringLiteral("ID entry %1: want %2 got %3")
                         .arg(n + 1)
                         .arg(QString::fromLatin1(wantIds[n].toHex()), QString::fromLatin1(gotIds.value(n).toHex()));
    }
    return lines.join(QLatin1Char('\n'));
}

QByteArray DocTimeKeeper(const CInstrumentDoc &doc)
{
    const auto &b = doc.Settings().TimeKeeperBytes();
    return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size()));
}

QList<QByteArray> DocIds(const CInstrumentDoc &doc)
{
    QList<QByteArray> ids;
    for (int n = 1; n <= CSettingsImage::IdEntryCount; ++n)
        ids << doc.Settings().IdEntryBytes(n);
    return ids;
}

QList<QByteArray> SimIds(const CSimInstrument &sim)
{
    QList<QByteArray> ids;
    for (int n = 1; n <= CSettingsImage::IdEntryCount; ++n)
        ids << sim.IdEntry(n);
    return ids;
}

// Whether a shown level is the held one to the last decimal the text shows
// (not a neighbouring list item).
bool ShowsLevel(const QComboBox *list, double held)
{
    const QString text = list->currentText();
    const int point = int(text.indexOf(QLatin1Char('.')));
    const int decimals = point < 0 ? 0 : int(text.size()) - point - 1;
    return qAbs(CFormValueList::LeadingNumber(text) - held) <= 0.5 * std::pow(10.0, -decimals) + 1e-9;
}

// What the views show is what the image holds, where their controls can show it.
QString ShownDifferences(const QList<QPointer<CInstrumentFrame>> &frames, const CSettingsImage &s)
{
    QStringList lines;
    auto expect = [&](bool ok, const QString &what) {
        if (!ok)
            lines << what;
    };
    for (const auto &frame : frames) {
        if (!frame)
            continue;
        if (auto *a = qobject_cast<CAdvancedFeatures *>(frame->View())) {
            using R = CAdvancedFeatures;
            for (int r = R::RowHC; r < R::RowCount; ++r) {
                expect(ShowsLevel(a->HighAlarm(r), s.GetHighAlarm(r + 1)),
                       QStringLiteral("high alarm row %1 shows %2").arg(r).arg(a->HighAlarm(r)->currentText()));
                expect(ShowsLevel(a->WarningAlarm(r), s.GetWarningAlarm(r + 1)),
                       QStringLiteral("warning row %1 shows %2").arg(r).arg(a->WarningAlarm(r)->currentText()));
            }
            expect(R::CalIntervalDays(a->CalInterval()->currentText()) == s.GetCalInterval(),
                   QStringLiteral("Cal Interval shows ") + a->CalInterval()->currentText());
            expect(a->Password(0)->text() == s.GetCalWord() && a->Password(1)->text() == s.GetPassWord()
                       && a->Password(2)->text() == s.GetLogWord(),
                   QStringLiteral("passwords"));
            if (a->CalGas(R::RowHC)->count() > 0)
                expect(ShowsLevel(a->CalGas(R::RowHC), s.GetCalGas(CSettingsImage::SensorHC)),
                       QStringLiteral("HC cal gas shows ") + a->CalGas(R::RowHC)->currentText());
            expect(ShowsLevel(a->CalGas(R::RowO2), s.GetCalGas(CSettingsImage::SensorO2)), QStringLiteral("O2 cal gas"));
            expect(int(CFormValueList::LeadingNumber(a->AlarmDelay()->currentText())) == s.GetAlarmDelay(),
                   QStringLiteral("Alarm Delay shows ") + a->AlarmDelay()->currentText());
            const QString backLight = a->BackLightDelay()->currentText();
            const int n = int(CFormValueList::LeadingNumber(backLight));
            expect((backLight.contains(QLatin1String("min")) ? 60 * n : n) == s.GetBackLightDelay(),
                   QStringLiteral("BackLight Delay shows ") + backLight);
            // Configuration 3 has no button: none is checked.
            const int o2 = s.GetO2AlarmConfiguration();
            expect(a->O2Alarms()->Value() == (o2 < 3 ? o2 : -1), QStringLiteral("O2 Alarms"));
            expect(a->AlarmLatch()->Value() == s.GetAlarmLatch() && a->LunchBreak()->Value() == s.GetLunchBreak()
                       && a->BumpTest()->Value() == s.GetBumpTest() && a->ComfortAlert()->Value() == s.GetComfortAlert()
                       && a->TemperatureAlarm()->Value() == s.GetTemperatureAlarm(),
                   QStringLiteral("radio buttons"));
            expect(a->SensorSelect(R::RowO2)->currentIndex() == (s.GetSensor(CSettingsImage::SensorO2) ? 1 : 0),
                   QStringLiteral("O2 Sensor Select"));
            for (int r : {R::RowToxic1, R::RowToxic2}) {
                const int sensor = r + 1;
                expect(a->SensorSelect(r)->currentIndex() == (s.GetSensor(sensor) ? s.GetSensorGas(sensor) : 0),
                       QStringLiteral("Sensor Select row %1").arg(r));
                if (!(r == R::RowToxic2 && s.Toxic2CarriesTC()))
                    expect(a->CalGas(r)->currentIndex() == s.GetCalGasCode(sensor), QStringLiteral("cal gas row %1").arg(r));
            }
        } else if (auto *d = qobject_cast<CDatalogFeatures *>(frame->View())) {
            const QString interval = d->LogInterval()->currentText();
            const int seconds = int(CFormValueList::LeadingNumber(interval));
            expect((interval.contains(QLatin1String("min")) ? 60 * seconds : seconds) == s.GetLogInterval(),
                   QStringLiteral("Log Interval shows ") + interval);
            expect(d->LogMemManager()->Value() == s.GetLogMemoryManager() && d->LogAverages()->Value() == s.GetLogAverages(),
                   QStringLiteral("log radio buttons"));
            for (int n = 1; n <= CSettingsImage::OperatorCount; ++n)
                expect(d->OperatorList()->Id(n - 1) == s.OperatorId(n), QStringLiteral("Operator ID %1").arg(n));
            for (int n = 1; n <= CSettingsImage::LocationCount; ++n)
                expect(d->LocationList()->Id(n - 1) == s.LocationId(n), QStringLiteral("Location ID %1").arg(n));
            expect(d->InstrumentList()->Id(0) == s.InstrumentId(), QStringLiteral("Instrument ID"));
        } else if (auto *m = qobject_cast<CDisplayMode *>(frame->View())) {
            expect(m->OperatorList()->currentIndex() == s.GetOperatorIndex() - 1, QStringLiteral("operator in use"));
            expect(m->LocationList()->currentIndex() == s.GetLocationIndex() - 1, QStringLiteral("location in use"));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

quint32 Seed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("ALTAVO_ROUNDTRIP_SEED").toUInt(&ok, 0);
    return ok ? seed : DefaultSeed;
}

} // namespace

class TestSettingsRoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void untouchedViewsKeepEveryImage();
    void downloadOverSerialLineKeepsImages();

private:
    CMainFrame *Start(const QStringList &args);
    // Opens the four settings views side by side.
    bool OpenViews(CMainFrame *frame);
    // Puts the image into the instrument, uploads it and checks that the
    // document holds it and the views show it; then stores the untouched
    // views (or, with download, downloads) and checks what came back.
    void RoundTrip(CMainFrame *frame, CSimInstrument &sim, const Image &im, const QString &where, bool download);

    QTemporaryDir m_settings;
    std::unique_ptr<CAltavoApp> m_app;
    QList<QPointer<CInstrumentFrame>> m_views;
};

void TestSettingsRoundTrip::initTestCase()
{
    UseTemporarySettings(m_settings);
    QApplication::setOrganizationName(QString::fromLatin1(Pref::Organisation));
    QApplication::setApplicationName(QString::fromLatin1(Pref::Application));
}

void TestSettingsRoundTrip::cleanup()
{
    if (m_app && m_app->MainFrame())
        m_app->MainFrame()->close();
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CMainFrame *TestSettingsRoundTrip::Start(const QStringList &args)
{
    m_app = std::make_unique<CAltavoApp>();
    CAltavoApp::StartOptions options;
    options.singleInstance = false;
    options.splash = false;
    if (!m_app->Start(args, options))
        return nullptr;
    return m_app->MainFrame();
}

bool TestSettingsRoundTrip::OpenViews(CMainFrame *frame)
{
    frame->OnCommand(CommandId::MultiWindow);
    m_views.clear();
    for (const char *title : ViewTitles) {
        m_views << frame->OpenView(QString::fromLatin1(title));
        if (!m_views.last())
            return false;
    }
    return true;
}

void TestSettingsRoundTrip::RoundTrip(CMainFrame *frame, CSimInstrument &sim, const Image &im, const QString &where,
                                      bool download)
{
    CInstrumentDoc &doc = frame->Document();
    auto settled = [&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); };
    Put(sim, im);
    const QByteArray sent = sim.TimeKeeper();
    const QList<QByteArray> sentIds = SimIds(sim);
    frame->OnCommand(CommandId::Upload);
    QVERIFY2(WaitUntil(settled, 20000), qPrintable(where + QStringLiteral(": the upload did not finish")));
    const QString uploaded = Differences(sent, DocTimeKeeper(doc), sentIds, DocIds(doc));
    QVERIFY2(uploaded.isEmpty(), qPrintable(where + QStringLiteral(", upload:\n") + uploaded));
    const QString shown = ShownDifferences(m_views, doc.Settings());
    QVERIFY2(shown.isEmpty(), qPrintable(where + QStringLiteral(", shown:\n") + shown));

    const QByteArray want = Normalised(sent);
    if (!download) {
        const QByteArray clock = DocTimeKeeper(doc).left(CSettingsImage::SettingsOffset);
        doc.UpdateAllViews(UpdateCode::BeforeDownload);
        const QString stored = Differences(want, DocTimeKeeper(doc), sentIds, DocIds(doc));
        QVERIFY2(stored.isEmpty(), qPrintable(where + QStringLiteral(", store:\n") + stored));
        QVERIFY2(DocTimeKeeper(doc).left(CSettingsImage::SettingsOffset) == clock,
                 qPrintable(where + QStringLiteral(": the store changed the clock registers")));
        return;
    }
    // A difference the read-back finds would open its report: that is a failure too.
    QString modal;
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [&] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            modal = w->windowTitle();
            w->close();
        }
    });
    guard.start(50);
    frame->OnCommand(CommandId::Download);
    QVERIFY2(WaitUntil([&] { return frame->DownloadCheckState() == CMainFrame::DownloadCheck::None && settled(); }, 30000),
             qPrintable(where + QStringLiteral(": the download did not finish")));
    QVERIFY2(modal.isEmpty(), qPrintable(where + QStringLiteral(": the download opened ") + modal));
    const QByteArray after = sim.TimeKeeper();
    const QString written = Differences(want, after, sentIds, SimIds(sim));
    QVERIFY2(written.isEmpty(), qPrintable(where + QStringLiteral(", download:\n") + written));
    // The download leaves the clock alone: its flag bits and the control register stay.
    QCOMPARE(quint8(after[0]) & 0x80, quint8(sent[0]) & 0x80);
    QCOMPARE(quint8(after[2]) & 0xC0, quint8(sent[2]) & 0xC0);
    QCOMPARE(after[7], sent[7]);
}

void TestSettingsRoundTrip::untouchedViewsKeepEveryImage()
{
    const quint32 seed = Seed();
    CMainFrame *frame = Start({QStringLiteral("--simulate")});
    QVERIFY(frame);
    CInstrumentDoc &doc = frame->Document();
    QVERIFY(WaitUntil([&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); }, 20000));
    QVERIFY(OpenViews(frame));
    CSimInstrument &sim = frame->Simulator()->Instrument();
    CImageGenerator images(seed);
    for (int i = 0; i < ImageCount; ++i) {
        const Image im = images.Next();
        const QString where = QStringLiteral("seed 0x%1 image %2 (ALTAVO_ROUNDTRIP_SEED=0x%1)").arg(seed, 0, 16).arg(i);
        RoundTrip(frame, sim, im, where, i % DownloadEvery == DownloadEvery - 1);
        if (QTest::currentTestFailed())
            return;
    }
    for (const auto &view : std::as_const(m_views))
        QVERIFY(view && view->isVisible());
}

void TestSettingsRoundTrip::downloadOverSerialLineKeepsImages()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#endif
    CSimulator sim;
    QString error;
    const QString pty = sim.OpenPty(&error);
    QVERIFY2(!pty.isEmpty(), qPrintable(error));
    const QString prefs = QString::fromLatin1(Pref::Preferences);
    CPreferences::SetString(prefs, Pref::ComDeviceKey(1), pty);
    CPreferences::SetInt(prefs, QString::fromLatin1(Pref::CommPort), 1);
    CMainFrame *frame = Start({});
    QVERIFY(frame);
    QVERIFY(frame->Document().Link().IsSerialOpen());
    CInstrumentDoc &doc = frame->Document();
    QVERIFY(WaitUntil([&] { return doc.Link().IsIdle() && !doc.TransferProgress().IsOpen(); }, 20000));
    QVERIFY(OpenViews(frame));
    // Another stream of the same generator, so these images are new ones.
    const quint32 seed = Seed() ^ 0xA5A5A5A5u;
    CImageGenerator images(seed);
    for (int i = 0; i < 5; ++i) {
        const QString where = QStringLiteral("serial line, seed 0x%1 image %2").arg(seed, 0, 16).arg(i);
        RoundTrip(frame, sim.Instrument(), images.Next(), where, true);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_MAIN(TestSettingsRoundTrip)
#include "tst_settingsroundtrip.moc"
