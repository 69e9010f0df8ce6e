// The "Advanced Features" form.
#include "AdvancedFeatures.h"

#include "AdvancedFeaturesLists.h"
#include "FormRadioGroup.h"
#include "FormSnapshot.h"
#include "FormValueList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CAdvancedFeatures, "Advanced Features", 32772, true)

namespace {
namespace Text {
const char *const Title = "Advanced Features";
const char *const HighAlarms = "High Alarms";
const char *const WarningAlarms = "Warning Alarms";
const char *const AlarmDelay = "Alarm Delay";
const char *const Seconds = "seconds";
const char *const O2Alarms = "O2 Alarms";
const char *const O2Configurations[] = {"2-Inc", "1-Inc 1-Dec", "2-Dec"};
const char *const AlarmLatch = "Alarm Latch";
const char *const Latches[] = {"Manual Reset", "Auto Reset"};
const char *const LunchBreak = "Lunch Break";
const char *const LunchBreaks[] = {"Retain Averages", "Reset Averages"};
const char *const BackLightDelay = "BackLight Delay";
const char *const CalInterval = "Cal Interval";
const char *const BumpTest = "Bump Test";
const char *const OffOn[] = {"Disabled", "Enabled"};
const char *const SensorSelect = "Sensor Select";
const char *const Passwords = "Passwords";
const char *const PasswordNames[] = {"CALWORD", "PASSWORD", "LOGWORD"};
const char *const AutoCalGasValues = "Auto Cal Gas Values";
const char *const ComfortAlert = "Comfort Alert";
const char *const ComfortAlerts[] = {"Both Off", "Beep Only", "Blink Only", "Beep and Blink"};
const char *const TemperatureAlarm = "Temperature Alarm";
const char *const RowNames[] = {"HC", "O2", "Toxic 1", "Toxic 2"};
const char *const O2Unit = "%VOL";
const char *const Off = "OFF";
const char *const O2 = "O2";
const char *const Unknown = "???";
const char *const LastCal = "Last Cal Date: %1";
const char *const NextCal = "Next Cal Due: %1";
const char *const Never = "Never";
// An interval longer than the list's last item, in days.
const char *const LongInterval = "%d days";
const char *const DateFormat = "MM/dd/yyyy";
const char *const TcName = "HC";
} // namespace Text

QString T(const char *text) { return QString::fromLatin1(text); }

QStringList Texts(const char *const *texts, int n)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list.append(T(texts[i]));
    return list;
}

using Lists = CAdvancedFeaturesLists;

// Word address whose arrival tells that the thermal-conductivity wiring of
// the Toxic 2 slot may have changed.
constexpr qint64 Toxic2WiringWord = 0xC00C;
} // namespace

CAdvancedFeatures::CAdvancedFeatures(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, T(Text::Title), parent)
{
    BuildForm();
}

// ---------------------------------------------------------------- form

void CAdvancedFeatures::BuildForm()
{
    auto unitLabel = [this](const QString &text = {}) {
        auto *l = new QLabel(text, this);
        l->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("%GAS ")));
        return l;
    };
    auto levelGroup = [&](const char *title, std::array<CFormValueList *, RowCount> &lists,
                          std::array<QLabel *, RowCount> &names, std::array<QLabel *, RowCount> &units, bool editable) {
        auto *box = new QGroupBox(T(title), this);
        auto *grid = new QGridLayout(box);
        for (int r = 0; r < RowCount; ++r) {
            names[size_t(r)] = new QLabel(T(Text::RowNames[r]), box);
            names[size_t(r)]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Toxic 2 ")));
            lists[size_t(r)] = new CFormValueList(editable, box);
            units[size_t(r)] = unitLabel();
            grid->addWidget(names[size_t(r)], r, 0);
            grid->addWidget(lists[size_t(r)], r, 1);
            grid->addWidget(units[size_t(r)], r, 2);
        }
        grid->setColumnStretch(1, 1);
        return box;
    };
    QGroupBox *highBox = levelGroup(Text::HighAlarms, m_high, m_highName, m_highUnit, true);
    QGroupBox *warningBox = levelGroup(Text::WarningAlarms, m_warning, m_warningName, m_warningUnit, true);
    QGroupBox *calGasBox = levelGroup(Text::AutoCalGasValues, m_calGas, m_calGasName, m_calGasUnit, false);

    auto *delayBox = new QGroupBox(T(Text::AlarmDelay), this);
    {
        auto *h = new QHBoxLayout(delayBox);
        m_alarmDelay = new QComboBox(delayBox);
        h->addWidget(m_alarmDelay);
        h->addWidget(new QLabel(T(Text::Seconds), delayBox));
        h->addStretch(1);
    }
    m_o2Alarms = new CFormRadioGroup(T(Text::O2Alarms), Texts(Text::O2Configurations, 3), 1, this);
    m_latch = new CFormRadioGroup(T(Text::AlarmLatch), Texts(Text::Latches, 2), 1, this);
    m_lunch = new CFormRadioGroup(T(Text::LunchBreak), Texts(Text::LunchBreaks, 2), 1, this);
    auto *backLightBox = new QGroupBox(T(Text::BackLightDelay), this);
    m_backLight = new QComboBox(backLightBox);
    (new QVBoxLayout(backLightBox))->addWidget(m_backLight);
    auto *calIntervalBox = new QGroupBox(T(Text::CalInterval), this);
    m_calInterval = new QComboBox(calIntervalBox);
    m_calInterval->setMaxVisibleItems(16);
    (new QVBoxLayout(calIntervalBox))->addWidget(m_calInterval);
    m_bump = new CFormRadioGroup(T(Text::BumpTest), Texts(Text::OffOn, 2), 2, this);

    auto *selectBox = new QGroupBox(T(Text::SensorSelect), this);
    {
        auto *grid = new QGridLayout(selectBox);
        for (int r = 0; r < RowCount; ++r) {
            m_select[size_t(r)] = new QComboBox(selectBox);
            m_select[size_t(r)]->setMinimumContentsLength(5);
            m_select[size_t(r)]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            grid->addWidget(new QLabel(T(Text::RowNames[r]), selectBox), r, 0);
            grid->addWidget(m_select[size_t(r)], r, 1);
        }
        grid->setColumnStretch(1, 1);
    }
    auto *passwordBox = new QGroupBox(T(Text::Passwords), this);
    {
        auto *grid = new QGridLayout(passwordBox);
        for (int i = 0; i < 3; ++i) {
            m_password[size_t(i)] = new QLineEdit(passwordBox);
            // Three digits, or "***" for no password.
            m_password[size_t(i)]->setMaxLength(4);
            m_password[size_t(i)]->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
            grid->addWidget(new QLabel(T(Text::PasswordNames[i]), passwordBox), i, 0);
            grid->addWidget(m_password[size_t(i)], i, 1);
        }
    }
    m_comfort = new CFormRadioGroup(T(Text::ComfortAlert), Texts(Text::ComfortAlerts, 4), 2, this);
    m_temperature = new CFormRadioGroup(T(Text::TemperatureAlarm), Texts(Text::OffOn, 2), 2, this);
    m_lastCal = new QLabel(T(Text::LastCal).arg(QString()), this);
    m_nextCal = new QLabel(T(Text::NextCal).arg(QString()), this);

    auto *column0 = new QVBoxLayout;
    column0->addWidget(highBox);
    column0->addWidget(warningBox);
    column0->addWidget(calGasBox);
    column0->addStretch(1);
    auto *column1 = new QVBoxLayout;
    column1->addWidget(selectBox);
    column1->addWidget(m_o2Alarms);
    column1->addWidget(m_latch);
    column1->addWidget(m_lunch);
    column1->addWidget(delayBox);
    column1->addStretch(1);
    auto *column2 = new QVBoxLayout;
    column2->addWidget(backLightBox);
    column2->addWidget(calIntervalBox);
    column2->addWidget(m_bump);
    column2->addWidget(m_temperature);
    column2->addWidget(m_comfort);
    column2->addWidget(passwordBox);
    column2->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(column0, 3);
    columns->addLayout(column1, 2);
    columns->addLayout(column2, 2);
    auto *dates = new QHBoxLayout;
    dates->addWidget(m_lastCal);
    dates->addSpacing(24);
    dates->addWidget(m_nextCal);
    dates->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(dates);

    // The level lists take the height of the Sensor Select lists, so the rows
    // of the groups line up whether a list is editable or not.
    const int height = m_select[0]->sizeHint().height();
    for (int r = 0; r < RowCount; ++r) {
        m_high[size_t(r)]->setFixedHeight(height);
        m_warning[size_t(r)]->setFixedHeight(height);
        m_calGas[size_t(r)]->setFixedHeight(height);
    }

    for (int r = 0; r < RowCount; ++r) {
        // Only the user's own choices drive the interlocks; the form's own
        // selections do not.
        connect(m_high[size_t(r)], &QComboBox::activated, this, [this, r] { RebuildWarning(r, m_high[size_t(r)]->Value()); });
        connect(m_high[size_t(r)], &CFormValueList::EditingDone, this, [this, r] { RebuildWarning(r, m_high[size_t(r)]->Value()); });
        connect(m_warning[size_t(r)], &QComboBox::activated, this, [this, r] { RebuildHigh(r, m_warning[size_t(r)]->Value()); });
        connect(m_warning[size_t(r)], &CFormValueList::EditingDone, this, [this, r] { RebuildHigh(r, m_warning[size_t(r)]->Value()); });
    }
    connect(m_o2Alarms, &CFormRadioGroup::Clicked, this, &CAdvancedFeatures::OnO2Preset);
    connect(m_calInterval, &QComboBox::currentIndexChanged, this, &CAdvancedFeatures::ShowNextCalDue);
    connect(m_select[RowO2], &QComboBox::currentIndexChanged, this, &CAdvancedFeatures::UpdateO2Buttons);
    connect(m_select[RowToxic1], &QComboBox::activated, this, [this] { OnGasChange(RowToxic1); });
    connect(m_select[RowToxic2], &QComboBox::activated, this, [this] { OnGasChange(RowToxic2); });
}

QString CAdvancedFeatures::BackLightText(int seconds)
{
    return Lists::BackLightText(seconds);
}

QString CAdvancedFeatures::CalIntervalText(int days)
{
    return Lists::CalIntervalText(days);
}

int CAdvancedFeatures::CalIntervalDays(const QString &text)
{
    return Lists::CalIntervalDays(text);
}

void CAdvancedFeatures::FillFixedLists()
{
    m_alarmDelay->clear();
    for (const QString &text : Lists::AlarmDelayTexts())
        m_alarmDelay->addItem(text);
    m_backLight->clear();
    for (const QString &text : Lists::BackLightTexts())
        m_backLight->addItem(text);
    m_calInterval->clear();
    for (const QString &text : Lists::CalIntervalTexts())
        m_calInterval->addItem(text);
    m_select[RowO2]->clear();
    m_select[RowO2]->addItems({T(Text::Off), T(Text::O2)});
}

void CAdvancedFeatures::OnInitialUpdate()
{
    FillFixedLists();
    RebuildHCCalGas();
    RebuildO2CalGas();
    // Whatever the document already holds (an earlier upload, an options
    // file) is shown at once; the reads below bring it up to date.
    SetToxicSelectCount(Document().Settings().ToxicCount());
    for (int i = 0; i < Document().Settings().ToxicCount(); ++i) {
        m_select[RowToxic1]->setItemText(i, Document().Settings().ToxicGasName(i));
        m_select[RowToxic2]->setItemText(i, Document().Settings().ToxicGasName(i));
    }
    Refresh();

    CInstrumentDoc &doc = Document();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    m_timeKeeperDue = true;
}

// ---------------------------------------------------------------- lists

bool CAdvancedFeatures::ToxicCarriesTC(int row) const
{
    return Lists::ToxicCarriesTC(Document().Settings(), row);
}

void CAdvancedFeatures::Fill(CFormValueList *list, const CAdvancedFeaturesLists::Span &span)
{
    list->Build(span.from, span.to, span.step, span.decimals);
}

void CAdvancedFeatures::RebuildHigh(int row, double warning)
{
    Fill(m_high[size_t(row)], Lists::HighSpan(Document().Settings(), row, warning, m_o2Alarms->Value()));
}

void CAdvancedFeatures::RebuildWarning(int row, double high)
{
    Fill(m_warning[size_t(row)], Lists::WarningSpan(Document().Settings(), row, high, m_o2Alarms->Value()));
}

void CAdvancedFeatures::RebuildHCCalGas()
{
    if (const auto choices = Lists::HCCalGasChoices(Document().Settings())) {
        Fill(m_calGas[RowHC], choices->values);
        m_calGasName[RowHC]->setText(choices->name);
        m_calGasUnit[RowHC]->setText(choices->unit);
        return;
    }
    // No range the calibration gas can be given in.
    m_calGas[RowHC]->clear();
    m_calGasUnit[RowHC]->clear();
}

void CAdvancedFeatures::RebuildO2CalGas()
{
    Fill(m_calGas[RowO2], Lists::O2CalGasSpan());
    m_calGasUnit[RowO2]->setText(T(Text::O2Unit));
}

void CAdvancedFeatures::RebuildToxicCalGas(int row)
{
    m_calGas[size_t(row)]->SetTexts(Lists::ToxicCalGasTexts(Document().Settings(), row));
}

void CAdvancedFeatures::RebuildHCSelect()
{
    QComboBox *select = m_select[RowHC];
    const QStringList items = Lists::HCSelectItems(Document().Settings());
    const int selected = select->currentIndex();
    for (int i = 0; i < items.size(); ++i) {
        if (i < select->count())
            select->setItemText(i, items[i]);
        else
            select->addItem(items[i]);
    }
    while (select->count() > items.size())
        select->removeItem(select->count() - 1);
    select->setCurrentIndex(qBound(0, selected, select->count() - 1));
}

void CAdvancedFeatures::SetToxicSelectCount(int count)
{
    for (int row : {RowToxic1, RowToxic2}) {
        QComboBox *select = m_select[size_t(row)];
        while (select->count() < count)
            select->addItem(T(Text::Unknown));
        while (select->count() > count)
            select->removeItem(select->count() - 1);
    }
}

// ---------------------------------------------------------------- updates

void CAdvancedFeatures::OnUpdate(int code, const CReplyNotice &notice)
{
    // Lists rebuilt for news from the instrument (the range table comes
    // with every status poll) are not the user's edits: a level nobody
    // touched goes on showing what the image holds.
    const QList<QWidget *> untouched = m_shown.Unchanged();
    OnNews(code, notice);
    if (code == UpdateCode::Settings || code == UpdateCode::BeforeDownload)
        return;
    ShowHeldLevels(untouched);
    m_shown.Take(untouched);
}

void CAdvancedFeatures::OnNews(int code, const CReplyNotice &notice)
{
    CSettingsImage &s = Document().Settings();
    switch (code) {
    case UpdateCode::Settings:
        Refresh();
        break;
    case UpdateCode::BeforeDownload:
        Store();
        break;
    case UpdateCode::WordBlock: {
        if (notice.address == Toxic2WiringWord) {
            RelabelToxic(RowToxic2);
            RebuildToxicCalGas(RowToxic2);
        }
        const int current = s.GetHCRangeIndex();
        // Range 0 decides the HC choices and the Toxic 2 wiring, range 2 is
        // the second HC choice. The words next to the table come with every
        // status poll: only a table that changed rebuilds the lists, which
        // would otherwise snap what the user is typing once a second.
        const bool touches = CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, current)
            || CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, 0)
            || CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, 2);
        if (!touches || RangeTable() == m_rangeTableShown)
            break;
        m_rangeTableShown = RangeTable();
        OnRangeChange();
        if (CSettingsImage::BlockTouchesRangeRecord(notice.address, notice.count, 0))
            RelabelToxic(RowToxic2);
        break;
    }
    case UpdateCode::ToxicCount:
        SetToxicSelectCount(s.ToxicCount());
        if (m_timeKeeperDue) {
            m_timeKeeperDue = false;
            Document().ReadTimeKeeperSettings();
        }
        break;
    case UpdateCode::ToxicRecord: {
        const int record = int(notice.address / 256);
        if (record < 0 || record >= s.ToxicCount())
            break;
        for (int row : {RowToxic1, RowToxic2}) {
            QComboBox *select = m_select[size_t(row)];
            if (record < select->count())
                select->setItemText(record, s.ToxicGasName(record));
            if (s.GetSensorGas(SensorOf(row)) == record)
                RelabelToxic(row);
        }
        break;
    }
    default:
        break;
    }
}

QByteArray CAdvancedFeatures::RangeTable() const
{
    const CSettingsImage &s = Document().Settings();
    // The range in use picks the record the HC lists follow.
    QByteArray table(1, char(s.GetHCRangeIndex()));
    for (int r = 0; r < CRangeRecord::Count; ++r)
        table += s.RangeRecord(r).Bytes();
    return table;
}

void CAdvancedFeatures::Refresh()
{
    const CSettingsImage &s = Document().Settings();
    m_rangeTableShown = RangeTable();

    // 1. Levels: first bounded by the document's partner levels, then by the
    // selected ones, so the two lists of a sensor never cross.
    m_o2Alarms->SetValue(s.GetO2AlarmConfiguration());
    // A level outside its list's bounds or between its steps is shown as it is.
    for (int r = 0; r < RowCount; ++r) {
        RebuildHigh(r, s.GetWarningAlarm(SensorOf(r)));
        m_high[size_t(r)]->ShowValue(s.GetHighAlarm(SensorOf(r)), LevelText(r, s.GetHighAlarm(SensorOf(r))));
    }
    for (int r = 0; r < RowCount; ++r) {
        RebuildWarning(r, s.GetHighAlarm(SensorOf(r)));
        m_warning[size_t(r)]->ShowValue(s.GetWarningAlarm(SensorOf(r)), LevelText(r, s.GetWarningAlarm(SensorOf(r))));
    }
    for (int r = 0; r < RowCount; ++r)
        RebuildHigh(r, m_warning[size_t(r)]->Value());

    // 2. Options.
    m_latch->SetValue(s.GetAlarmLatch());
    auto selectPrefix = [](QComboBox *list, const QString &text) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemText(i).startsWith(text)) {
                list->setCurrentIndex(i);
                return;
            }
        }
    };
    selectPrefix(m_alarmDelay, QString::asprintf("%d", s.GetAlarmDelay()));
    m_lunch->SetValue(s.GetLunchBreak());
    selectPrefix(m_backLight, BackLightText(s.GetBackLightDelay()));
    ShowCalInterval(s.GetCalInterval());
    m_bump->SetValue(s.GetBumpTest());

    // 3. Sensors.
    RebuildHCSelect();
    int hc = 0;
    if (s.GetSensor(CSettingsImage::SensorHC)) {
        hc = 1;
        const int range = s.GetHCRangeIndex();
        if (!s.RangeRecord(0).NotCh4Hex() && (range == 2 || range == 3))
            hc = 2;
    }
    m_select[RowHC]->setCurrentIndex(qMin(hc, m_select[RowHC]->count() - 1));
    m_select[RowO2]->setCurrentIndex(s.GetSensor(CSettingsImage::SensorO2) ? 1 : 0);
    for (int row : {RowToxic1, RowToxic2}) {
        const int sensor = SensorOf(row);
        const int gas = s.GetSensor(sensor) ? s.GetSensorGas(sensor) : 0;
        QComboBox *select = m_select[size_t(row)];
        while (select->count() <= gas)
            select->addItem(T(Text::Unknown));
        select->setCurrentIndex(gas);
    }
    UpdateO2Buttons();

    // 4. Passwords.
    m_password[0]->setText(s.GetCalWord());
    m_password[1]->setText(s.GetPassWord());
    m_password[2]->setText(s.GetLogWord());

    // 5. Calibration gases. The toxic choices are selected by their index:
    // a gas's four values need not be in order.
    RebuildHCCalGas();
    RebuildO2CalGas();
    m_calGas[RowO2]->SelectValue(s.GetCalGas(CSettingsImage::SensorO2));
    for (int row : {RowToxic1, RowToxic2}) {
        RebuildToxicCalGas(row);
        if (ToxicCarriesTC(row))
            m_calGas[size_t(row)]->setCurrentIndex(0);
        else
            m_calGas[size_t(row)]->setCurrentIndex(s.GetCalGasCode(SensorOf(row)));
    }

    // 6. Alerts.
    m_comfort->SetValue(s.GetComfortAlert());
    m_temperature->SetValue(s.GetTemperatureAlarm());

    // 7. Dates and labels.
    m_lastCal->setText(T(Text::LastCal).arg(s.GetLastCalDate().toString(T(Text::DateFormat))));
    ShowNextCalDue();
    RelabelHC();
    RelabelToxic(RowToxic1);
    RelabelToxic(RowToxic2);
    // The rebuilds above select list items; the levels are shown as they are.
    ShowHeldLevels(Controls());
    m_shown.Take(Controls());
}

void CAdvancedFeatures::ShowHeldLevels(const QList<QWidget *> &lists)
{
    const CSettingsImage &s = Document().Settings();
    for (int r = 0; r < RowCount; ++r) {
        const double high = s.GetHighAlarm(SensorOf(r)), warning = s.GetWarningAlarm(SensorOf(r));
        if (lists.contains(m_high[size_t(r)]))
            m_high[size_t(r)]->ShowValue(high, LevelText(r, high));
        if (lists.contains(m_warning[size_t(r)]))
            m_warning[size_t(r)]->ShowValue(warning, LevelText(r, warning));
    }
    const auto choices = Lists::HCCalGasChoices(s);
    if (choices && lists.contains(m_calGas[RowHC])) {
        const double calGas = s.GetCalGas(CSettingsImage::SensorHC);
        m_calGas[RowHC]->ShowValue(calGas, CSettingsCodec::FormatFixed(calGas, choices->values.decimals));
    }
}

QString CAdvancedFeatures::LevelText(int row, double level) const
{
    const int decimals = row == RowO2 ? Lists::O2Decimals : Lists::AlarmDecimals(Document().Settings(), row);
    return CSettingsCodec::FormatFixed(level, decimals);
}

QList<QWidget *> CAdvancedFeatures::Controls() const
{
    QList<QWidget *> controls;
    for (int r = 0; r < RowCount; ++r)
        controls << m_high[size_t(r)] << m_warning[size_t(r)] << m_calGas[size_t(r)] << m_select[size_t(r)];
    controls << m_alarmDelay << m_backLight << m_calInterval << m_o2Alarms << m_latch << m_lunch << m_bump
             << m_comfort << m_temperature << m_password[0] << m_password[1] << m_password[2];
    return controls;
}

void CAdvancedFeatures::ShowCalInterval(int days)
{
    // The list ends at 26 weeks; a longer interval (an options file or
    // another tool may set up to 399 days) is shown as an extra item in days,
    // which reads back into the same code. An interval the list holds drops it.
    const int listed = int(Lists::CalIntervalTexts().size());
    while (m_calInterval->count() > listed)
        m_calInterval->removeItem(m_calInterval->count() - 1);
    const QString text = CalIntervalText(days);
    for (int i = 0; i < m_calInterval->count(); ++i) {
        if (m_calInterval->itemText(i).startsWith(text)) {
            m_calInterval->setCurrentIndex(i);
            return;
        }
    }
    m_calInterval->addItem(QString::asprintf(Text::LongInterval, days));
    m_calInterval->setCurrentIndex(m_calInterval->count() - 1);
}

void CAdvancedFeatures::Store()
{
    CSettingsImage &s = Document().Settings();
    // A control left as the last refresh filled it leaves its field alone:
    // the lists cannot name every value the image can hold.
    auto changed = [this](const QWidget *control) { return m_shown.Changed(control); };
    for (int r = 0; r < RowCount; ++r) {
        if (changed(m_high[size_t(r)]))
            s.SetHighAlarm(SensorOf(r), CSettingsImage::CurrentRange, m_high[size_t(r)]->Value());
    }
    for (int r = 0; r < RowCount; ++r) {
        if (changed(m_warning[size_t(r)]))
            s.SetWarningAlarm(SensorOf(r), CSettingsImage::CurrentRange, m_warning[size_t(r)]->Value());
    }
    if (m_o2Alarms->Value() >= 0 && changed(m_o2Alarms))
        s.SetO2AlarmConfiguration(m_o2Alarms->Value());
    if (m_latch->Value() >= 0 && changed(m_latch))
        s.SetAlarmLatch(m_latch->Value());
    if (m_alarmDelay->currentIndex() >= 0 && changed(m_alarmDelay))
        s.SetAlarmDelay(int(CFormValueList::LeadingNumber(m_alarmDelay->currentText())));
    if (m_lunch->Value() >= 0 && changed(m_lunch))
        s.SetLunchBreak(m_lunch->Value());
    if (m_backLight->currentIndex() >= 0 && changed(m_backLight)) {
        const QString text = m_backLight->currentText();
        const int n = int(CFormValueList::LeadingNumber(text));
        s.SetBackLightDelay(text.contains(QLatin1String("min")) ? n * 60 : n);
    }
    if (m_calInterval->currentIndex() >= 0 && changed(m_calInterval))
        s.SetCalInterval(CalIntervalDays(m_calInterval->currentText()));
    if (m_bump->Value() >= 0 && changed(m_bump))
        s.SetBumpTest(m_bump->Value());

    const int hc = m_select[RowHC]->currentIndex();
    if (hc >= 0 && changed(m_select[RowHC])) {
        s.SetSensor(CSettingsImage::SensorHC, hc > 0);
        if (!s.RangeRecord(0).NotCh4Hex()) {
            const int range = s.GetHCRangeIndex();
            if (range <= 1 && hc == 2)
                s.SetHCRangeIndex(range + 2);
            else if (range >= 2 && hc == 1)
                s.SetHCRangeIndex(range - 2);
        }
    }
    if (m_select[RowO2]->currentIndex() >= 0 && changed(m_select[RowO2]))
        s.SetSensor(CSettingsImage::SensorO2, m_select[RowO2]->currentIndex() > 0);
    for (int row : {RowToxic1, RowToxic2}) {
        const int item = m_select[size_t(row)]->currentIndex();
        if (item < 0 || !changed(m_select[size_t(row)]))
            continue;
        s.SetSensor(SensorOf(row), item > 0);
        if (item > 0)
            s.SetSensorGas(SensorOf(row), item);
    }
    if (changed(m_password[0]))
        s.SetCalWord(m_password[0]->text());
    if (changed(m_password[1]))
        s.SetPassWord(m_password[1]->text());
    if (changed(m_password[2]))
        s.SetLogWord(m_password[2]->text());

    if (m_calGas[RowHC]->currentIndex() >= 0 && changed(m_calGas[RowHC]))
        s.SetCalGas(CSettingsImage::SensorHC, m_calGas[RowHC]->Value());
    if (m_calGas[RowO2]->currentIndex() >= 0 && changed(m_calGas[RowO2]))
        s.SetCalGas(CSettingsImage::SensorO2, m_calGas[RowO2]->Value());
    for (int row : {RowToxic1, RowToxic2}) {
        const int choice = m_calGas[size_t(row)]->currentIndex();
        if (choice < 0 || ToxicCarriesTC(row) || !changed(m_calGas[size_t(row)]))
            continue;
        const int sensor = SensorOf(row);
        s.SetCalGas(sensor, m_calGas[size_t(row)]->Value());
        if (s.GetCalGasCode(sensor) != choice) {
            // The value setter takes the first choice at least as large as the
            // value; a gas whose four values are not in rising order would
            // then get another choice than the one picked. Keep the pick.
            auto &block = s.TimeKeeperBytes();
            const int offset = sensor == CSettingsImage::SensorToxic1 ? 26 : 28;
            block[size_t(offset)] = quint8((block[size_t(offset)] & ~0x03) | (choice & 0x03));
        }
    }
    if (m_comfort->Value() >= 0 && changed(m_comfort))
        s.SetComfortAlert(m_comfort->Value());
    if (m_temperature->Value() >= 0 && changed(m_temperature))
        s.SetTemperatureAlarm(m_temperature->Value());
    // The image now holds what the controls show.
    m_shown.Take(Controls());
}

void CAdvancedFeatures::OnRangeChange()
{
    const CSettingsImage &s = Document().Settings();
    const double high = m_high[RowHC]->count() ? m_high[RowHC]->Value() : s.GetHighAlarm(CSettingsImage::SensorHC);
    const double warning = m_warning[RowHC]->count() ? m_warning[RowHC]->Value() : s.GetWarningAlarm(CSettingsImage::SensorHC);
    RebuildHigh(RowHC, s.GetWarningAlarm(CSettingsImage::SensorHC));
    m_high[RowHC]->SelectValue(high);
    RebuildWarning(RowHC, s.GetHighAlarm(CSettingsImage::SensorHC));
    m_warning[RowHC]->SelectValue(warning);
    RebuildHigh(RowHC, m_warning[RowHC]->Value());
    RelabelHC();
    const double calGas = m_calGas[RowHC]->Value();
    RebuildHCCalGas();
    m_calGas[RowHC]->SelectValue(calGas);
    RebuildHCSelect();
}

void CAdvancedFeatures::RelabelHC()
{
    const CSettingsImage &s = Document().Settings();
    const CRangeRecord range = s.RangeRecord(s.GetHCRangeIndex());
    for (QLabel *name : {m_highName[RowHC], m_warningName[RowHC]})
        name->setText(range.Label());
    for (QLabel *unit : {m_highUnit[RowHC], m_warningUnit[RowHC]})
        unit->setText(CRangeRecord::UnitLabel(range.DisplayUnits()));
    m_highUnit[RowO2]->setText(T(Text::O2Unit));
    m_warningUnit[RowO2]->setText(T(Text::O2Unit));
}

void CAdvancedFeatures::RelabelToxic(int row)
{
    const CSettingsImage &s = Document().Settings();
    const int sensor = SensorOf(row);
    QString name, unit;
    if (ToxicCarriesTC(row)) {
        name = T(Text::TcName);
        const int units = s.RangeRecord(0).DisplayUnits();
        if (units == CRangeRecord::UnitGas || units == CRangeRecord::UnitHi)
            unit = CRangeRecord::UnitLabel(units);
    } else {
        // The list shows the choice being edited; before it is filled the
        // document's fitted flag decides.
        const int item = m_select[size_t(row)]->currentIndex();
        const bool fitted = item >= 0 ? item > 0 : s.GetSensor(sensor) != 0;
        name = s.ToxicGasName(fitted ? s.GetSensorGas(sensor) : 0);
        unit = CSettingsCodec::ToxicUnits(name);
    }
    for (QLabel *l : {m_highName[size_t(row)], m_warningName[size_t(row)], m_calGasName[size_t(row)]})
        l->setText(name);
    for (QLabel *l : {m_highUnit[size_t(row)], m_warningUnit[size_t(row)], m_calGasUnit[size_t(row)]})
        l->setText(unit);
    RebuildWarning(row, m_high[size_t(row)]->Value());
    RebuildHigh(row, m_warning[size_t(row)]->Value());
    RebuildToxicCalGas(row);
}

void CAdvancedFeatures::OnGasChange(int row)
{
    CSettingsImage &s = Document().Settings();
    const int sensor = SensorOf(row);
    const int item = m_select[size_t(row)]->currentIndex();
    if (item > 0 && item != s.GetSensorGas(sensor)) {
        s.SetSensorGas(sensor, item);
        // The row's levels and choice now belong to another gas, whatever they read.
        m_shown.Forget({m_high[size_t(row)], m_warning[size_t(row)], m_calGas[size_t(row)], m_select[size_t(row)]});
        const CToxicRecord &gas = s.ToxicRecord(item);
        // The new gas's defaults bound the first list: the stored warning is
        // still in the old gas's units and could shut the default high alarm out.
        RebuildHigh(row, gas.Shown(gas.DefaultWarningAlarm()));
        m_high[size_t(row)]->SelectValue(gas.Shown(gas.DefaultHighAlarm()));
        RebuildWarning(row, m_high[size_t(row)]->Value());
        m_warning[size_t(row)]->SelectValue(gas.Shown(gas.DefaultWarningAlarm()));
        RebuildHigh(row, m_warning[size_t(row)]->Value());
        RebuildToxicCalGas(row);
        if (ToxicCarriesTC(row))
            m_calGas[size_t(row)]->setCurrentIndex(0);
        else
            m_calGas[size_t(row)]->setCurrentIndex(qBound(0, gas.DefaultCalGasIndex() - 1, m_calGas[size_t(row)]->count() - 1));
        s.SetCalOffset(sensor, CSettingsImage::CurrentRange, gas.DefaultOffset());
        if (!ToxicCarriesTC(row))
            s.SetCalSpan(sensor, gas.DefaultSpan());
    }
    RelabelToxic(row);
    Document().UpdateAllViews(UpdateCode::GasChanged, CReplyNotice::At(row == RowToxic1 ? 1 : 2, 0));
}

void CAdvancedFeatures::OnO2Preset(int configuration)
{
    if (configuration < 0 || configuration > 2)
        return;
    const Lists::O2Preset &p = Lists::O2PresetFor(configuration);
    m_shown.Forget({m_high[RowO2], m_warning[RowO2], m_o2Alarms});
    m_high[RowO2]->Build(p.highFrom, p.highTo, Lists::O2Step, Lists::O2Decimals);
    m_warning[RowO2]->Build(p.warningFrom, p.warningTo, Lists::O2Step, Lists::O2Decimals);
    m_high[RowO2]->SelectValue(p.high);
    m_warning[RowO2]->SelectValue(p.warning);
}

void CAdvancedFeatures::ShowNextCalDue()
{
    const int days = CalIntervalDays(m_calInterval->currentText());
    if (days == 0) {
        m_nextCal->setText(T(Text::NextCal).arg(T(Text::Never)));
        return;
    }
    const QDate due = Document().Settings().GetLastCalDate().addDays(days);
    m_nextCal->setText(T(Text::NextCal).arg(due.toString(T(Text::DateFormat))));
}

void CAdvancedFeatures::UpdateO2Buttons()
{
    const bool on = m_select[RowO2]->currentIndex() == 1;
    for (int i = 0; i < m_o2Alarms->Count(); ++i)
        m_o2Alarms->Button(i)->setEnabled(on);
}
