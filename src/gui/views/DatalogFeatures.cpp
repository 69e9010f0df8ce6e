// The "Datalog Features" form.
#include "DatalogFeatures.h"

#include "FormIdList.h"
#include "FormRadioGroup.h"
#include "FormValueList.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CDatalogFeatures, "Datalog Features", 32773, true)

namespace {
namespace Text {
const char *const Title = "Datalog Features";
const char *const DateAndTime = "Date and Time";
const char *const SetClock = "<-";
const char *const LogMemManager = "Log Mem Manager";
const char *const MemManagers[] = {"Stop On Full", "Overwrite On Full"};
const char *const LogAverages = "Log Averages";
const char *const Averages[] = {"No Ave Logging", "Stel Only", "TWA Only", "Stel and TWA"};
const char *const LogStatus = "Log Status";
const char *const ClearLog = "Clear Log";
const char *const LogBegan = "Log Began";
const char *const LogInterval = "Log Interval";
const char *const OperatorId = "Operator ID";
const char *const LocationId = "Location ID";
const char *const InstrumentId = "Instrument ID";
const char *const OperatorTitle = "Operator ID %d";
const char *const LocationTitle = "Location ID %d";
const char *const InstrumentTitle = "Instrument ID %d";
const char *const ClearQuestion = "Are you sure you want to clear the log ?";
const char *const Clearing = "Clearing Log";
const char *const Stopped = "Log stopped";
const char *const Overwriting = "Log overwriting";
const char *const DaysLeft = "%3d days left";
const char *const HoursLeft = "%3d hours left";
const char *const PcDate = "MM/dd/yyyy";
const char *const PcTime = "HH:mm:ss";
const char *const LogStart = "MM/dd/yy HH:mm:ss";
// month, day and hour without a leading zero; year, minute and second with one
const char *const ClockFormats[] = {"%2.0lf", "%2.0lf", "%02.0lf", "%2.0lf", "%02.0lf", "%02.0lf"};
const char *const ClockSeparators[] = {"/", "/", "", ":", ":", ""};
} // namespace Text

QString T(const char *text) { return QString::fromLatin1(text); }

QStringList Texts(const char *const *texts, int n)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list.append(T(texts[i]));
    return list;
}

// Beyond this many hours the remaining log time is told in days.
constexpr int HoursShownAsHours = 119;
} // namespace

CDatalogFeatures::CDatalogFeatures(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, T(Text::Title), parent),
      m_now([] { return QDateTime::currentDateTime(); })
{
    BuildForm();
}

void CDatalogFeatures::BuildForm()
{
    auto *clockBox = new QGroupBox(T(Text::DateAndTime), this);
    {
        auto *row = new QHBoxLayout;
        row->setSpacing(2);
        const int width = fontMetrics().horizontalAdvance(QStringLiteral("000")) + 10;
        for (int f = 0; f < ClockFieldCount; ++f) {
            m_clock[size_t(f)] = new QLineEdit(clockBox);
            m_clock[size_t(f)]->setFixedWidth(width);
            m_clock[size_t(f)]->setAlignment(Qt::AlignRight);
            m_clock[size_t(f)]->setMaxLength(2);
            row->addWidget(m_clock[size_t(f)]);
            if (*Text::ClockSeparators[f])
                row->addWidget(new QLabel(T(Text::ClockSeparators[f]), clockBox));
            if (f == Year)
                row->addSpacing(10);
        }
        m_setClock = new QPushButton(T(Text::SetClock), clockBox);
        m_setClock->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("<-")) + 24);
        m_pcDate = new QLabel(clockBox);
        m_pcTime = new QLabel(clockBox);
        row->addSpacing(8);
        row->addWidget(m_setClock);
        row->addSpacing(8);
        row->addWidget(m_pcDate);
        row->addSpacing(6);
        row->addWidget(m_pcTime);
        row->addStretch(1);
        clockBox->setLayout(row);
        m_pcDate->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")));
        m_pcTime->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));
    }
    m_memManager = new CFormRadioGroup(T(Text::LogMemManager), Texts(Text::MemManagers, 2), 1, this);
    m_averages = new CFormRadioGroup(T(Text::LogAverages), Texts(Text::Averages, 4), 2, this);
    auto *statusBox = new QGroupBox(T(Text::LogStatus), this);
    {
        auto *h = new QHBoxLayout(statusBox);
        m_logStatus = new QLabel(statusBox);
        m_logStatus->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Log overwriting__")));
        m_clearLog = new QPushButton(T(Text::ClearLog), statusBox);
        h->addWidget(m_logStatus, 1);
        h->addWidget(m_clearLog);
    }
    auto *beganBox = new QGroupBox(T(Text::LogBegan), this);
    m_logBegan = new QLabel(beganBox);
    m_logBegan->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:00:00__")));
    (new QVBoxLayout(beganBox))->addWidget(m_logBegan);
    auto *intervalBox = new QGroupBox(T(Text::LogInterval), this);
    m_interval = new QComboBox(intervalBox);
    (new QVBoxLayout(intervalBox))->addWidget(m_interval);

    auto idBox = [this](const char *title, CFormIdList *list) {
        auto *box = new QGroupBox(T(title), this);
        (new QVBoxLayout(box))->addWidget(list);
        return box;
    };
    m_operators = new CFormIdList(CSettingsImage::OperatorCount, T(Text::OperatorTitle), this);
    m_locations = new CFormIdList(CSettingsImage::LocationCount, T(Text::LocationTitle), this);
    m_instrument = new CFormIdList(1, T(Text::InstrumentTitle), this);
    QGroupBox *operatorBox = idBox(Text::OperatorId, m_operators);
    QGroupBox *locationBox = idBox(Text::LocationId, m_locations);
    QGroupBox *instrumentBox = idBox(Text::InstrumentId, m_instrument);

    auto *left = new QVBoxLayout;
    left->addWidget(clockBox);
    auto *settings = new QGridLayout;
    settings->addWidget(m_memManager, 0, 0);
    settings->addWidget(intervalBox, 0, 1);
    settings->addWidget(m_averages, 1, 0, 1, 2);
    settings->addWidget(statusBox, 2, 0, 1, 2);
    settings->addWidget(beganBox, 3, 0, 1, 2);
    left->addLayout(settings);
    left->addWidget(instrumentBox);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(operatorBox);
    right->addWidget(locationBox);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    connect(m_setClock, &QPushButton::clicked, this, &CDatalogFeatures::OnSetClock);
    connect(m_clearLog, &QPushButton::clicked, this, &CDatalogFeatures::OnClearLog);
}

QString CDatalogFeatures::LogIntervalText(int seconds)
{
    if (seconds < 120)
        return QString::asprintf("%d seconds", seconds);
    return QString::asprintf("%d minutes", seconds / 60);
}

QString CDatalogFeatures::LogStatusLine(bool clearing, bool stopped, bool overwriting, int hoursLeft)
{
    if (clearing)
        return T(Text::Clearing);
    if (stopped)
        return T(Text::Stopped);
    if (overwriting)
        return T(Text::Overwriting);
    if (hoursLeft > HoursShownAsHours)
        return QString::asprintf(Text::DaysLeft, hoursLeft / 24);
    return QString::asprintf(Text::HoursLeft, hoursLeft);
}

void CDatalogFeatures::OnInitialUpdate()
{
    m_interval->clear();
    const QList<int> &table = CSettingsCodec::LogIntervalTable();
    // Code 0 is another name for 60 seconds; the list offers codes 1 to 7.
    for (int code = 1; code < table.size(); ++code)
        m_interval->addItem(LogIntervalText(table[code]));

    const CSettingsImage &s = Document().Settings();
    for (int n = 1; n <= CSettingsImage::OperatorCount; ++n)
        m_operators->SetId(n - 1, s.OperatorId(n));
    for (int n = 1; n <= CSettingsImage::LocationCount; ++n)
        m_locations->SetId(n - 1, s.LocationId(n));
    m_instrument->SetId(0, s.InstrumentId());
    Refresh();
    ShowComputerTime();

    CInstrumentDoc &doc = Document();
    doc.ReadConfigurationA();
    doc.ReadConfigurationB();
    doc.ReadToxicTableCount();
    m_uploadDue = true;
}

void CDatalogFeatures::OnUpdate(int code, const CReplyNotice &notice)
{
    CInstrumentDoc &doc = Document();
    switch (code) {
    case UpdateCode::Settings:
        Refresh();
        break;
    case UpdateCode::IdEntry: {
        const int n = int(notice.address);
        const CSettingsImage &s = doc.Settings();
        if (n >= CSettingsImage::FirstOperatorEntry && n < CSettingsImage::FirstOperatorEntry + CSettingsImage::OperatorCount)
            m_operators->SetId(n - CSettingsImage::FirstOperatorEntry, s.IdEntry(n));
        else if (n >= CSettingsImage::FirstLocationEntry && n < CSettingsImage::FirstLocationEntry + CSettingsImage::LocationCount)
            m_locations->SetId(n - CSettingsImage::FirstLocationEntry, s.IdEntry(n));
        else if (n == CSettingsImage::InstrumentIdEntry)
            m_instrument->SetId(0, s.IdEntry(n));
        break;
    }
    case UpdateCode::Clock:
        ShowClock();
        break;
    case UpdateCode::Poll:
        doc.ReadClock();
        doc.ReadLogSettings();
        ShowComputerTime();
        break;
    case UpdateCode::LogSettings:
        m_logStatus->setText(LogStatusLine(doc.LogClearing(), doc.LogSettingsBit0(), doc.LogSettingsBit1(),
                                           doc.LogSettingsWord()));
        break;
    case UpdateCode::LogStatus:
        m_logBegan->setText(doc.LogClearing() ? T(Text::Clearing) : doc.LogStartTime().toString(T(Text::LogStart)));
        break;
    case UpdateCode::ToxicCount:
        if (m_uploadDue) {
            m_uploadDue = false;
            doc.ReadTimeKeeperSettings();
            doc.ReadIdEntries();
        }
        break;
    case UpdateCode::BeforeDownload:
        Store();
        break;
    default:
        break;
    }
}

void CDatalogFeatures::Refresh()
{
    const CSettingsImage &s = Document().Settings();
    const QString interval = LogIntervalText(s.GetLogInterval());
    for (int i = 0; i < m_interval->count(); ++i) {
        if (m_interval->itemText(i).startsWith(interval)) {
            m_interval->setCurrentIndex(i);
            break;
        }
    }
    m_memManager->SetValue(s.GetLogMemoryManager());
    m_averages->SetValue(s.GetLogAverages());
}

void CDatalogFeatures::Store()
{
    CSettingsImage &s = Document().Settings();
    if (m_interval->currentIndex() >= 0) {
        const QString text = m_interval->currentText();
        const int n = int(CFormValueList::LeadingNumber(text));
        s.SetLogInterval(text.contains(QLatin1String("min")) ? n * 60 : n);
    }
    if (m_memManager->Value() >= 0)
        s.SetLogMemoryManager(m_memManager->Value());
    if (m_averages->Value() >= 0)
        s.SetLogAverages(m_averages->Value());
    for (int n = 1; n <= CSettingsImage::OperatorCount; ++n)
        s.SetOperatorId(n, m_operators->Id(n - 1));
    for (int n = 1; n <= CSettingsImage::LocationCount; ++n)
        s.SetLocationId(n, m_locations->Id(n - 1));
    s.SetInstrumentId(m_instrument->Id(0));
}

void CDatalogFeatures::ShowClock()
{
    const QDateTime clock = Document().Settings().GetClock();
    const double values[ClockFieldCount] = {double(clock.date().month()), double(clock.date().day()),
                                            double(clock.date().year() % 100), double(clock.time().hour()),
                                            double(clock.time().minute()), double(clock.time().second())};
    for (int f = 0; f < ClockFieldCount; ++f) {
        // Typing into a field is not taken anywhere; the clock overwrites it.
        m_clock[size_t(f)]->setText(QString::asprintf(Text::ClockFormats[f], values[f]).trimmed());
    }
}

void CDatalogFeatures::ShowComputerTime()
{
    const QDateTime now = m_now();
    m_pcDate->setText(now.toString(T(Text::PcDate)));
    m_pcTime->setText(now.toString(T(Text::PcTime)));
}

void CDatalogFeatures::OnSetClock()
{
    CInstrumentDoc &doc = Document();
    doc.Settings().SetClock(m_now());
    doc.WriteClock();
}

void CDatalogFeatures::OnClearLog()
{
    const bool yes = m_confirmClear
        ? m_confirmClear()
        : QMessageBox::question(this, Title(), T(Text::ClearQuestion), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
              == QMessageBox::Yes;
    if (yes)
        Document().StartLogClear();
}
