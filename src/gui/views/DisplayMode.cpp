// The live monitor.
#include "DisplayMode.h"

#include "FormNumberField.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CDisplayMode, "Display Mode", 32803, true)

namespace {
namespace Text {
const char *const Title = "Display Mode";
const char *const Groups[] = {"Normal", "Peaks", "STEL", "TWA"};
const char *const Names[] = {"HC", "O2", "?", "?"};
const char *const Units[] = {"%LEL", "%VOL", "PPM", "PPM"};
const char *const ResetStelTwa = "Reset STEL\n and TWA";
const char *const ResetPeaks = "Reset\nPeaks";
const char *const OperatorId = "Operator ID";
const char *const LocationId = "Location ID";
const char *const BatteryGauge = "Battery Gauge";
const char *const BatteryCaption = "Battery Gauge %10.3lf Volts";
const char *const DateTimeTemperature = "Date, Time, and Temperature";
const char *const ClockFormat = "MM/dd/yy HH:mm:ss";
const char *const IdItem = "%2d %s";
const char *const NotAvailable = "N/A";
const char *const InitialFormat = "%lg";
const char *const O2Format = "%.1lf";
} // namespace Text

QString T(const char *text) { return QString::fromLatin1(text); }

// The instrument's battery gauge has six bars.
constexpr int BatteryBars = 6;
} // namespace

CDisplayMode::CDisplayMode(CInstrumentDoc &doc, QWidget *parent) : CInstrumentView(doc, T(Text::Title), parent)
{
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(RepaintIntervalMs);
    connect(&m_repaint, &QTimer::timeout, this, &CDisplayMode::Repaint);
    BuildForm();
}

void CDisplayMode::BuildForm()
{
    auto valueGroup = [this](int block, std::initializer_list<int> channels) {
        auto *box = new QGroupBox(T(Text::Groups[block]), this);
        auto *grid = new QGridLayout(box);
        grid->setColumnStretch(1, 1);
        int row = 0;
        for (int c : channels) {
            auto *name = new QLabel(T(Text::Names[c]), box);
            name->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("WWW ")));
            auto *field = new CFormNumberField(T(c == O2 ? Text::O2Format : Text::InitialFormat), box);
            auto *unit = new QLabel(T(Text::Units[c]), box);
            unit->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("%GAS ")));
            grid->addWidget(name, row, 0);
            grid->addWidget(field, row, 1);
            grid->addWidget(unit, row, 2);
            m_name[size_t(block)][size_t(c)] = name;
            m_field[size_t(block)][size_t(c)] = field;
            m_unit[size_t(block)][size_t(c)] = unit;
            ++row;
        }
        return box;
    };
    QGroupBox *normal = valueGroup(Normal, {HC, O2, Toxic1, Toxic2});
    QGroupBox *peaks = valueGroup(Peaks, {HC, O2, Toxic1, Toxic2});
    QGroupBox *stel = valueGroup(Stel, {Toxic1, Toxic2});
    QGroupBox *twa = valueGroup(Twa, {Toxic1, Toxic2});

    m_resetStelTwa = new QPushButton(T(Text::ResetStelTwa), this);
    m_resetPeaks = new QPushButton(T(Text::ResetPeaks), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_resetStelTwa);
    buttons->addWidget(m_resetPeaks);

    auto *operatorBox = new QGroupBox(T(Text::OperatorId), this);
    m_operator = new QComboBox(operatorBox);
    (new QVBoxLayout(operatorBox))->addWidget(m_operator);
    auto *locationBox = new QGroupBox(T(Text::LocationId), this);
    m_location = new QComboBox(locationBox);
    m_location->setMaxVisibleItems(16);
    (new QVBoxLayout(locationBox))->addWidget(m_location);
    for (QComboBox *list : {m_operator, m_location}) {
        list->setMinimumContentsLength(19);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }

    m_batteryBox = new QGroupBox(T(Text::BatteryGauge), this);
    m_battery = new QProgressBar(m_batteryBox);
    m_battery->setTextVisible(false);
    (new QVBoxLayout(m_batteryBox))->addWidget(m_battery);

    auto *clockBox = new QGroupBox(T(Text::DateTimeTemperature), this);
    m_clock = new QLabel(clockBox);
    // The temperature columns are padded with blanks: a fixed font keeps them lined up.
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_clock->setFont(fixed);
    m_clock->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QStringLiteral("00/00/00 00:00:00   -50C   -58F")) + 4);
    (new QVBoxLayout(clockBox))->addWidget(m_clock);

    auto *grid = new QGridLayout;
    grid->addWidget(normal, 0, 0);
    grid->addWidget(peaks, 0, 1);
    grid->addWidget(stel, 1, 0);
    grid->addWidget(twa, 1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(grid);
    layout->addWidget(operatorBox);
    layout->addWidget(locationBox);
    layout->addWidget(m_batteryBox);
    layout->addWidget(clockBox);
    layout->addStretch(1);

    CInstrumentDoc &doc = Document();
    connect(m_resetPeaks, &QPushButton::clicked, this, [&doc] { doc.ResetPeaks(); });
    connect(m_resetStelTwa, &QPushButton::clicked, this, [&doc] { doc.ResetStelTwa(); });
}

QString CDisplayMode::IdItem(int n, const QString &id)
{
    return QString::asprintf(Text::IdItem, n, id.toLatin1().constData());
}

QString CDisplayMode::FormatForDivisor(double divisor)
{
    if (divisor > 20.01)
        return QStringLiteral("%.2lf");
    if (divisor > 1.01)
        return QStringLiteral("%.1lf");
    return QStringLiteral("%.0lf");
}

QString CDisplayMode::BatteryCaption(int word)
{
    // The word is the battery voltage in 1/65536ths of 10 V.
    return QString::asprintf(Text::BatteryCaption, quint16(word) * 10.0 / 65536.0);
}

QString CDisplayMode::TemperatureText(int raw)
{
    // The converter's full range spans 125 degrees from -50 C; the Fahrenheit
    // figure uses the firmware's integer factor 205/256 for 0.8.
    const int c = int((qint64(quint16(raw)) * 125) >> 16) - 50;
    const int f = c + (c * 205 / 256) + 32;
    return QString::asprintf("%6dC%6dF", c, f);
}

void CDisplayMode::OnInitialUpdate()
{
    const CSettingsImage &s = Document().Settings();
    m_operator->clear();
    for (int n = 1; n <= CSettingsImage::OperatorCount; ++n)
        m_operator->addItem(IdItem(n, s.OperatorId(n)));
    m_location->clear();
    for (int n = 1; n <= CSettingsImage::LocationCount; ++n)
        m_location->addItem(IdItem(n, s.LocationId(n)));
    // The document may hold settings already; a download before they are
    // read again stores what these lists show.
    SelectOperatorAndLocation();
    m_battery->setRange(0, BatteryBars);
    m_battery->setValue(0);

    // The labels, formats and divisors come from the settings and the gas
    // records, the lists from the ID table: opened without an upload, the
    // view has them read behind the toxic-table count.
    CInstrumentDoc &doc = Document();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    doc.MarkSettingsDue();
}

double CDisplayMode::Divisor(int channel) const
{
    const CSettingsImage &s = Document().Settings();
    switch (channel) {
    case HC: {
        // PPM ranges count in tens: the shown value is ten times the scaled count.
        const CRangeRecord range = s.RangeRecord(s.GetHCRangeIndex());
        return range.IsPpm() ? range.Scale() / 10.0 : range.Scale();
    }
    case O2: return 10.0;
    default: {
        const int sensor = channel == Toxic1 ? CSettingsImage::SensorToxic1 : CSettingsImage::SensorToxic2;
        return s.ToxicRecord(s.GetSensor(sensor) ? s.GetSensorGas(sensor) : 0).Divisor();
    }
    }
}

void CDisplayMode::OnUpdate(int code, const CReplyNotice &notice)
{
    CInstrumentDoc &doc = Document();
    switch (code) {
    case UpdateCode::Poll:
        for (int k = 0; k < BlockCount; ++k)
            doc.ReadLiveBlock(k);
        doc.ReadBattery();
        doc.ReadClock();
        doc.ReadAnalogB();
        break;
    case UpdateCode::LiveBlock0:
    case UpdateCode::LiveBlock0 + 1:
    case UpdateCode::LiveBlock0 + 2:
    case UpdateCode::LiveBlock0 + 3:
        ScheduleRepaint(1 << (code - UpdateCode::LiveBlock0));
        break;
    case UpdateCode::Battery:
        ScheduleRepaint(DirtyBattery);
        break;
    case UpdateCode::AnalogB:
    case UpdateCode::Clock:
        ScheduleRepaint(DirtyClock);
        break;
    case UpdateCode::Settings:
        SetCombustibleLabels();
        SetToxicLabels(0);
        SetToxicLabels(1);
        SelectOperatorAndLocation();
        SetCombustibleFormats();
        break;
    case UpdateCode::TimeKeeperWritten:
        SelectOperatorAndLocation();
        SetCombustibleFormats();
        break;
    case UpdateCode::WordBlock:
        if (CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, doc.Settings().GetHCRangeIndex()))
            SetCombustibleLabels();
        break;
    case UpdateCode::IdEntry: {
        const int n = int(notice.address);
        const CSettingsImage &s = doc.Settings();
        QComboBox *list = nullptr;
        int item = -1, number = 0;
        if (n >= CSettingsImage::FirstOperatorEntry && n < CSettingsImage::FirstOperatorEntry + CSettingsImage::OperatorCount) {
            list = m_operator;
            item = n - CSettingsImage::FirstOperatorEntry;
            number = item + 1;
        } else if (n >= CSettingsImage::FirstLocationEntry && n < CSettingsImage::FirstLocationEntry + CSettingsImage::LocationCount) {
            list = m_location;
            item = n - CSettingsImage::FirstLocationEntry;
            number = item + 1;
        }
        if (list && item < list->count())
            list->setItemText(item, IdItem(number, s.IdEntry(n)));
        break;
    }
    case UpdateCode::ToxicRecord: {
        const int record = int(notice.address / 256);
        const CSettingsImage &s = doc.Settings();
        for (int t = 0; t < 2; ++t) {
            const int sensor = CSettingsImage::SensorToxic1 + t;
            if ((s.GetSensor(sensor) ? s.GetSensorGas(sensor) : 0) == record)
                SetToxicLabels(t);
        }
        break;
    }
    case UpdateCode::GasChanged:
        if (notice.address == 1 || notice.address == 2)
            SetToxicLabels(int(notice.address) - 1);
        break;
    case UpdateCode::BeforeDownload: {
        CSettingsImage &s = doc.Settings();
        if (m_operator->currentIndex() >= 0)
            s.SetOperatorIndex(m_operator->currentIndex() + 1);
        if (m_location->currentIndex() >= 0)
            s.SetLocationIndex(m_location->currentIndex() + 1);
        break;
    }
    default:
        break;
    }
}

void CDisplayMode::ScheduleRepaint(int what)
{
    m_dirty |= what;
    if (!m_repaint.isActive())
        m_repaint.start();
}

void CDisplayMode::Repaint()
{
    const int dirty = std::exchange(m_dirty, 0);
    for (int k = 0; k < BlockCount; ++k) {
        if (dirty & (1 << k))
            ShowBlock(k);
    }
    CInstrumentDoc &doc = Document();
    if (dirty & DirtyBattery) {
        m_battery->setValue(qBound(0, doc.BatteryByte(), BatteryBars));
        m_batteryBox->setTitle(BatteryCaption(doc.BatteryWord()));
    }
    if (dirty & DirtyClock) {
        const QByteArray &analog = doc.AnalogB();
        const int raw = analog.size() >= 2 ? quint8(analog[0]) | (quint8(analog[1]) << 8) : 0;
        m_clock->setText(doc.Settings().GetClock().toString(T(Text::ClockFormat)) + TemperatureText(raw));
    }
}

void CDisplayMode::ShowBlock(int block)
{
    const QByteArray &data = Document().LiveBlock(block);
    for (int c = 0; c < ChannelCount; ++c) {
        CFormNumberField *field = m_field[size_t(block)][size_t(c)];
        if (!field || data.size() < 2 * c + 2)
            continue;
        const quint16 raw = quint16(quint8(data[2 * c]) | (quint8(data[2 * c + 1]) << 8));
        field->SetValue(raw / Divisor(c));
    }
}

void CDisplayMode::SetCombustibleLabels()
{
    const CSettingsImage &s = Document().Settings();
    const CRangeRecord range = s.RangeRecord(s.GetHCRangeIndex());
    for (int block : {Normal, Peaks}) {
        m_name[size_t(block)][HC]->setText(range.Label());
        m_unit[size_t(block)][HC]->setText(CRangeRecord::UnitLabel(range.DisplayUnits()));
    }
}

void CDisplayMode::SetCombustibleFormats()
{
    const QString format = FormatForDivisor(Divisor(HC));
    m_field[Normal][HC]->SetFormat(format);
    m_field[Peaks][HC]->SetFormat(format);
}

void CDisplayMode::SetToxicLabels(int toxic)
{
    const CSettingsImage &s = Document().Settings();
    const int sensor = CSettingsImage::SensorToxic1 + toxic;
    const int channel = Toxic1 + toxic;
    const CToxicRecord &gas = s.ToxicRecord(s.GetSensor(sensor) ? s.GetSensorGas(sensor) : 0);
    const QString name = s.SensorGasName(sensor);
    const QString unit = s.SensorUnits(sensor);
    for (int block = 0; block < BlockCount; ++block) {
        m_name[size_t(block)][size_t(channel)]->setText(name);
        m_unit[size_t(block)][size_t(channel)]->setText(unit);
    }
    const QString format = FormatForDivisor(Divisor(channel));
    m_field[Normal][size_t(channel)]->SetFormat(format);
    m_field[Peaks][size_t(channel)]->SetFormat(format);
    // A gas without a STEL (or TWA) limit has no such average to show.
    m_field[Stel][size_t(channel)]->SetFormat(gas.StelAlarm() != 0 ? format : T(Text::NotAvailable));
    m_field[Twa][size_t(channel)]->SetFormat(gas.TwaAlarm() != 0 ? format : T(Text::NotAvailable));
    if (gas.StelAlarm() == 0)
        m_field[Stel][size_t(channel)]->SetValue(0);
    if (gas.TwaAlarm() == 0)
        m_field[Twa][size_t(channel)]->SetValue(0);
}

void CDisplayMode::SelectOperatorAndLocation()
{
    const CSettingsImage &s = Document().Settings();
    m_operator->setCurrentIndex(qBound(0, s.GetOperatorIndex() - 1, m_operator->count() - 1));
    m_location->setCurrentIndex(qBound(0, s.GetLocationIndex() - 1, m_location->count() - 1));
}
