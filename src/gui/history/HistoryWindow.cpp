// The instrument history window.
#include "HistoryWindow.h"

#include "FleetFilter.h"
#include "FleetModel.h"
#include "SnapshotCompareDialog.h"
#include "TimelineModel.h"
#include "app/CommandIds.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"
#include "history/HistoryStore.h"
#include "history/HistoryWorker.h"
#include "platform/Preferences.h"
#include "report/HistoryReport.h"
#include "report/ReportPrinter.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTextDocument>
#include <QThread>
#include <QVBoxLayout>

ALTAVO_REGISTER_VIEW(CHistoryWindow, "Instrument History", CommandId::InstrumentHistory, true)

const QString CHistoryWindow::Title = QStringLiteral("Instrument History");

namespace {
const QString DirectoryKey = QStringLiteral("Directory");
const QString DueWithinKey = QStringLiteral("Due Within Days");
const QString PdfFilter = QStringLiteral("PDF Files (*.pdf);;All Files (*.*)");
constexpr int DefaultDueWithinDays = 30;

const QString OpenLogText = QStringLiteral("Open Log");
const QString CompareText = QStringLiteral("Compare Settings...");
const QString PrintRecordText = QStringLiteral("Print Record...");
const QString SaveRecordText = QStringLiteral("Save Record as PDF...");
const QString PrintDueText = QStringLiteral("Print Due List...");
const QString SaveDueText = QStringLiteral("Save Due List as PDF...");
const QString RefreshText = QStringLiteral("Refresh");
const QString DatabaseText = QStringLiteral("Database...");
const QString RetryText = QStringLiteral("Retry Now");

void SetUpTable(QTableView *table)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setStretchLastSection(true);
}

// A report made on the history's thread from its store, handed over to this one.
using ReportHolder = std::shared_ptr<std::unique_ptr<QTextDocument>>;
std::unique_ptr<QTextDocument> MadeThere(CHistoryWorker &history,
                                         std::function<std::unique_ptr<QTextDocument>(const CHistoryStore &)> make)
{
    QThread *here = QThread::currentThread();
    const std::optional<ReportHolder> made = history.Await<ReportHolder>([make, here](CHistoryStore &store) {
        auto holder = std::make_shared<std::unique_ptr<QTextDocument>>(make(store));
        if (*holder)
            (*holder)->moveToThread(here);
        return holder;
    });
    return made && *made ? std::move(**made) : nullptr;
}

struct FleetAnswer
{
    bool open = false;
    QList<HistoryFleetRow> rows;
};

struct StoredAnswer
{
    QList<LogRecord> entries;
    LogSensors sensors;
};
} // namespace

CHistoryWindow::CHistoryWindow(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, Title, parent), m_fleetModel(new CFleetModel(this)), m_filter(new CFleetFilter(this)),
      m_timelineModel(new CTimelineModel(this))
{
    m_filter->setSourceModel(m_fleetModel);
    BuildForm();
    UpdateWarning();
    UpdateControls();
}

CHistoryWindow::~CHistoryWindow() = default;

QPushButton *CHistoryWindow::Button(const QString &text) const
{
    for (QPushButton *b : m_buttons) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

void CHistoryWindow::BuildForm()
{
    const auto button = [this](const QString &text, auto slot) {
        auto *b = new QPushButton(text, this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        m_buttons.append(b);
        return b;
    };

    // The spool warning: loud, and only while something waits.
    m_warning = new QLabel(this);
    m_warning->setWordWrap(true);
    m_warning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_retry = button(RetryText, [this] {
        if (m_history)
            m_history->Post([](CHistoryStore &store) { store.ReplaySpool(); });
        Refresh();
    });
    auto *warningBar = new QWidget(this);
    warningBar->setObjectName(QStringLiteral("HistoryWarning"));
    warningBar->setStyleSheet(QStringLiteral("#HistoryWarning { background: #fff3cd; border: 1px solid #e0b000; }"
                                             "QLabel { color: #5c4400; }"));
    auto *warningLayout = new QHBoxLayout(warningBar);
    warningLayout->setContentsMargins(8, 4, 8, 4);
    warningLayout->addWidget(m_warning, 1);
    warningLayout->addWidget(m_retry);

    // The filter bar.
    m_filterEdit = new QLineEdit(this);
    m_filterEdit->setPlaceholderText(QStringLiteral("Serial, ID, configuration..."));
    m_filterEdit->setClearButtonEnabled(true);
    m_filterEdit->setMinimumWidth(220);
    connect(m_filterEdit, &QLineEdit::textChanged, m_filter, &CFleetFilter::SetText);
    m_overdueOnly = new QCheckBox(QStringLiteral("Overdue only"), this);
    connect(m_overdueOnly, &QCheckBox::toggled, m_filter, &CFleetFilter::SetOverdueOnly);
    m_within = new QSpinBox(this);
    m_within->setRange(0, 3650);
    m_within->setSuffix(QStringLiteral(" days"));
    m_within->setValue(CPreferences::GetInt(Title, DueWithinKey, DefaultDueWithinDays));
    connect(m_within, &QSpinBox::valueChanged, this, [](int days) { CPreferences::SetInt(Title, DueWithinKey, days); });

    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    bar->addWidget(m_filterEdit);
    bar->addWidget(m_overdueOnly);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(QStringLiteral("Due within:"), this));
    bar->addWidget(m_within);
    bar->addWidget(button(PrintDueText, [this] {
        PrintReport(DueListReport(), CHistoryReport::DueListTitle(), CHistoryReport::DueListOrientation);
    }));
    bar->addWidget(button(SaveDueText, [this] { ChooseAndSave(true); }));
    bar->addStretch(1);
    bar->addWidget(button(RefreshText, &CHistoryWindow::Refresh));
    bar->addWidget(button(DatabaseText, [this] { emit CommandRequested(CommandId::HistoryDatabase); }));

    m_fleet = new QTableView(this);
    SetUpTable(m_fleet);
    m_fleet->setSelectionMode(QAbstractItemView::SingleSelection);
    m_fleet->setModel(m_filter);
    m_fleet->setSortingEnabled(true);
    m_fleet->sortByColumn(CFleetModel::Serial, Qt::AscendingOrder);
    const int widths[CFleetModel::ColumnCount] = {90, 130, 190, 120, 110, 110, 110, 160};
    for (int c = 0; c < CFleetModel::ColumnCount; ++c)
        m_fleet->setColumnWidth(c, widths[c]);
    connect(m_fleet->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &CHistoryWindow::OnFleetRowChanged);
    // A filter that hides the selected instrument leaves no timeline shown.
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &CHistoryWindow::OnFleetRowChanged);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &CHistoryWindow::OnFleetRowChanged);

    // The selected instrument's timeline.
    m_timelineLabel = new QLabel(this);
    QFont bold = m_timelineLabel->font();
    bold.setBold(true);
    m_timelineLabel->setFont(bold);
    m_timeline = new QTableView(this);
    SetUpTable(m_timeline);
    m_timeline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_timeline->setModel(m_timelineModel);
    m_timeline->setColumnWidth(CTimelineModel::Time, 130);
    m_timeline->setColumnWidth(CTimelineModel::Kind, 100);
    m_timeline->setColumnWidth(CTimelineModel::Result, 100);
    connect(m_timeline->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CHistoryWindow::UpdateControls);
    connect(m_timeline, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        const HistoryTimelineItem *item = m_timelineModel->Item(index.row());
        if (item && item->kind == HistoryTimelineItem::LogRetrieval)
            OpenLog();
        else if (item && CTimelineModel::IsSnapshot(*item))
            CompareSnapshots();
    });

    auto *timelineBar = new QHBoxLayout;
    timelineBar->addWidget(m_timelineLabel, 1);
    timelineBar->addWidget(button(OpenLogText, &CHistoryWindow::OpenLog));
    timelineBar->addWidget(button(CompareText, &CHistoryWindow::CompareSnapshots));
    timelineBar->addWidget(button(PrintRecordText, [this] {
        PrintReport(CalibrationRecordReport(), CHistoryReport::CalibrationRecordTitle(SelectedSerial()), QPageLayout::Portrait);
    }));
    timelineBar->addWidget(button(SaveRecordText, [this] { ChooseAndSave(false); }));

    auto *lower = new QWidget(this);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 4, 0, 0);
    lowerLayout->addLayout(timelineBar);
    lowerLayout->addWidget(m_timeline, 1);

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->addWidget(m_fleet);
    m_splitter->addWidget(lower);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    m_splitter->setChildrenCollapsible(false);

    m_location = new QLabel(this);
    m_location->setStyleSheet(QStringLiteral("color: #555555;"));
    m_location->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(warningBar);
    layout->addLayout(bar);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_location);
}

void CHistoryWindow::SetHistory(CHistoryWorker *history)
{
    if (m_history)
        disconnect(m_history, nullptr, this, nullptr);
    m_history = history;
    m_fleetAsked = false;
    m_fleetAgain = false;
    if (m_history)
        connect(m_history, &CHistoryWorker::StateChanged, this, &CHistoryWindow::UpdateWarning);
    UpdateWarning();
    Refresh();
}

CHistoryWorker *CHistoryWindow::History() const
{
    return m_history.data();
}

bool CHistoryWindow::IsOpen() const
{
    return m_history && m_history->State().open;
}

void CHistoryWindow::OnInitialUpdate()
{
    Refresh();
    m_fleet->setFocus();
}

QDateTime CHistoryWindow::Now() const
{
    return m_now ? m_now() : QDateTime::currentDateTimeUtc();
}

void CHistoryWindow::UpdateWarning()
{
    const bool warn = m_history && m_history->State().warning;
    QString text;
    if (warn) {
        text = m_history->State().warningText;
        if (text.isEmpty())
            text = m_history->State().error;
        text = QStringLiteral("The history database cannot be written now. Nothing is lost: what could not be "
                              "written waits and goes in when the database is back.\n%1").arg(text);
    }
    m_warning->setText(text);
    m_warning->parentWidget()->setVisible(warn);
}

void CHistoryWindow::Refresh()
{
    m_refreshing = true;
    m_fleetShown = false;
    if (!m_history) {
        ++m_fleetTicket;
        ShowFleet(false, {});
        return;
    }
    // One read of the fleet at a time: while a server keeps the worker
    // waiting, the writes that ask for refreshes do not pile reads up behind it.
    if (m_fleetAsked) {
        m_fleetAgain = true;
        return;
    }
    m_fleetAsked = true;
    const quint64 ticket = ++m_fleetTicket;
    const QDateTime now = Now();
    CHistoryWorker *asked = m_history;
    m_history->Ask<FleetAnswer>(
        this,
        [now](CHistoryStore &store) {
            FleetAnswer answer;
            answer.open = store.IsOpen();
            if (answer.open)
                answer.rows = store.Fleet(now);
            return answer;
        },
        [this, ticket, asked](const FleetAnswer &answer) {
            if (asked != m_history)
                return;
            m_fleetAsked = false;
            if (ticket == m_fleetTicket)
                ShowFleet(answer.open, answer.rows);
            if (m_fleetAgain) {
                m_fleetAgain = false;
                Refresh();
            }
        });
}

void CHistoryWindow::ShowFleet(bool open, const QList<HistoryFleetRow> &rows)
{
    const QString keep = SelectedSerial();
    if (!open) {
        m_fleetModel->SetRows({}, Now());
        m_location->setText(m_history ? QStringLiteral("The history database is not open: %1").arg(m_history->State().error)
                                      : QStringLiteral("No history database."));
        m_fleetShown = true;
        ShowTimeline(QString());
        UpdateControls();
        return;
    }
    m_fleetModel->SetRows(rows, Now());
    int overdue = 0;
    for (int i = 0; i < m_fleetModel->rowCount(); ++i)
        overdue += m_fleetModel->Overdue(i) ? 1 : 0;
    m_location->setText(QStringLiteral("%1: %2   -   %3 instrument(s), %4 overdue")
                            .arg(m_history->State().engine, m_history->State().location)
                            .arg(m_fleetModel->rowCount())
                            .arg(overdue));
    // The connected instrument is the one the technician most likely wants.
    QString serial = keep;
    if (serial.isEmpty() || m_fleetModel->FindSerial(serial) < 0) {
        const CInstrumentIdentity id = Document().Identity();
        serial = id.SerialNumber() != 0xFFFFFFFF ? id.SerialText() : QString();
    }
    if (m_fleetModel->FindSerial(serial) < 0 && m_fleetModel->rowCount() > 0)
        serial = m_filter->rowCount() > 0 ? m_filter->index(0, 0).data().toString() : QString();
    SelectSerial(serial);
    m_shownSerial.clear(); // read the timeline again even for the same instrument
    m_fleetShown = true;
    ShowTimeline(SelectedSerial());
    UpdateWarning();
}

void CHistoryWindow::SelectSerial(const QString &serial)
{
    const int row = m_fleetModel->FindSerial(serial);
    if (row < 0) {
        m_fleet->selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = m_filter->mapFromSource(m_fleetModel->index(row, 0));
    if (!index.isValid())
        return;
    m_fleet->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_fleet->scrollTo(index);
}

QString CHistoryWindow::SelectedSerial() const
{
    const QModelIndex current = m_fleet->selectionModel()->currentIndex();
    if (!current.isValid() || !m_fleet->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return {};
    const HistoryFleetRow *row = m_fleetModel->Row(m_filter->mapToSource(current).row());
    return row ? row->serial : QString();
}

void CHistoryWindow::OnFleetRowChanged()
{
    ShowTimeline(SelectedSerial());
}

void CHistoryWindow::ShowTimeline(const QString &serial)
{
    if (serial == m_shownSerial && !serial.isEmpty())
        return;
    m_shownSerial = serial;
    const quint64 ticket = ++m_timelineTicket;
    const auto shown = [this, serial](const QList<HistoryTimelineItem> &items) {
        m_timelineModel->SetItems(items);
        if (serial.isEmpty()) {
            m_timelineLabel->setText(QStringLiteral("Select an instrument to see its history."));
        } else {
            const int row = m_fleetModel->FindSerial(serial);
            const QString id = row >= 0 ? m_fleetModel->Row(row)->instrumentId.trimmed() : QString();
            m_timelineLabel->setText(id.isEmpty() ? QStringLiteral("Timeline of %1").arg(serial)
                                                  : QStringLiteral("Timeline of %1 (%2)").arg(serial, id));
        }
        UpdateControls();
        if (m_refreshing && m_fleetShown) {
            m_refreshing = false;
            emit Refreshed();
        }
    };
    if (serial.isEmpty() || !m_history) {
        shown({});
        return;
    }
    m_history->Ask<QList<HistoryTimelineItem>>(
        this, [serial](CHistoryStore &store) { return store.Timeline(serial); },
        [this, ticket, shown](const QList<HistoryTimelineItem> &items) {
            if (ticket == m_timelineTicket)
                shown(items);
        });
}

void CHistoryWindow::UpdateControls()
{
    const bool store = IsOpen();
    const bool instrument = store && !SelectedSerial().isEmpty();
    int snapshots = 0;
    bool logs = false;
    for (const HistoryTimelineItem &item : m_timelineModel->Items()) {
        snapshots += CTimelineModel::IsSnapshot(item) ? 1 : 0;
        logs = logs || item.kind == HistoryTimelineItem::LogRetrieval;
    }
    const auto enable = [this](const QString &text, bool on) {
        if (QPushButton *b = Button(text))
            b->setEnabled(on);
    };
    enable(OpenLogText, instrument && logs);
    enable(CompareText, instrument && snapshots >= 2);
    enable(PrintRecordText, instrument);
    enable(SaveRecordText, instrument);
    enable(PrintDueText, store);
    enable(SaveDueText, store);
    enable(RefreshText, m_history != nullptr);
}

bool CHistoryWindow::CanPrint() const
{
    return IsOpen();
}

void CHistoryWindow::Print(QPrinter *printer)
{
    if (std::unique_ptr<QTextDocument> report = DueListReport())
        CReportPrinter::Print(*report, *printer, CHistoryReport::DueListTitle());
}

std::unique_ptr<QTextDocument> CHistoryWindow::DueListReport() const
{
    if (!IsOpen())
        return nullptr;
    const int days = m_within->value();
    const QDateTime now = Now();
    return MadeThere(*m_history, [days, now](const CHistoryStore &store) { return CHistoryReport::DueList(store, days, now); });
}

std::unique_ptr<QTextDocument> CHistoryWindow::CalibrationRecordReport() const
{
    const QString serial = SelectedSerial();
    if (!IsOpen() || serial.isEmpty())
        return nullptr;
    const QDateTime now = Now();
    return MadeThere(*m_history,
                     [serial, now](const CHistoryStore &store) { return CHistoryReport::CalibrationRecord(store, serial, now); });
}

void CHistoryWindow::PrintReport(std::unique_ptr<QTextDocument> report, const QString &title,
                                 QPageLayout::Orientation orientation)
{
    if (!report)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageOrientation(orientation);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!CReportPrinter::Print(*report, printer, title))
        Report(QStringLiteral("%1 could not be printed on %2.").arg(title, printer.printerName()));
}

bool CHistoryWindow::SaveReport(std::unique_ptr<QTextDocument> report, const QString &title,
                                QPageLayout::Orientation orientation, const QString &path)
{
    if (!report)
        return false;
    QString error;
    if (!CReportPrinter::WritePdf(*report, path, title, orientation, &error)) {
        Report(error);
        return false;
    }
    return true;
}

bool CHistoryWindow::SaveDueList(const QString &path)
{
    return SaveReport(DueListReport(), CHistoryReport::DueListTitle(), CHistoryReport::DueListOrientation, path);
}

bool CHistoryWindow::SaveCalibrationRecord(const QString &path)
{
    return SaveReport(CalibrationRecordReport(), CHistoryReport::CalibrationRecordTitle(SelectedSerial()),
                      QPageLayout::Portrait, path);
}

QString CHistoryWindow::FileFolder() const
{
    return CPreferences::GetString(Title, DirectoryKey, QDir::homePath());
}

void CHistoryWindow::ChooseAndSave(bool dueList)
{
    const QString name = dueList ? QStringLiteral("due-list-%1.pdf").arg(QDate::currentDate().toString(Qt::ISODate))
                                 : QStringLiteral("calibration-record-%1.pdf").arg(SelectedSerial());
    const QString path = QFileDialog::getSaveFileName(this, dueList ? SaveDueText : SaveRecordText,
                                                      QDir(FileFolder()).filePath(name), PdfFilter);
    if (path.isEmpty())
        return;
    CPreferences::SetString(Title, DirectoryKey, QFileInfo(path).absolutePath());
    dueList ? SaveDueList(path) : SaveCalibrationRecord(path);
}

void CHistoryWindow::Report(const QString &text)
{
    QMessageBox::warning(this, Title, text);
}

std::pair<qint64, qint64> CHistoryWindow::SnapshotsToCompare() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_timeline->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QList<qint64> chosen;
    for (int row : rows) {
        const HistoryTimelineItem *item = m_timelineModel->Item(row);
        if (item && CTimelineModel::IsSnapshot(*item))
            chosen.append(item->refId);
    }
    // Newest first in the timeline: with one selected, the one before it
    // (further down) goes on the left.
    if (chosen.size() == 1) {
        const int from = rows.isEmpty() ? 0 : rows.constFirst();
        for (int row = from + 1; row < m_timelineModel->rowCount(); ++row) {
            const HistoryTimelineItem *item = m_timelineModel->Item(row);
            if (item && CTimelineModel::IsSnapshot(*item) && item->refId != chosen.constFirst()) {
                chosen.append(item->refId);
                break;
            }
        }
    }
    if (chosen.size() >= 2)
        return {chosen.at(1), chosen.at(0)};
    return {0, 0};
}

void CHistoryWindow::CompareSnapshots()
{
    const QString serial = SelectedSerial();
    if (!m_history || serial.isEmpty())
        return;
    const auto [left, right] = SnapshotsToCompare();
    const QPointer<CHistoryWindow> self(this);
    const std::optional<QList<HistorySnapshot>> snapshots =
        m_history->Await<QList<HistorySnapshot>>([serial](CHistoryStore &store) { return store.Snapshots(serial); });
    if (!self || !snapshots)
        return;
    CSnapshotCompareDialog dialog(*snapshots, serial, left, right, this);
    dialog.exec();
}

bool CHistoryWindow::StoredLog(QList<LogRecord> *entries, LogSensors *sensors) const
{
    const QString serial = SelectedSerial();
    if (!m_history || serial.isEmpty())
        return false;
    qint64 retrieval = 0;
    const QModelIndex current = m_timeline->selectionModel()->currentIndex();
    if (const HistoryTimelineItem *item = current.isValid() ? m_timelineModel->Item(current.row()) : nullptr) {
        if (item->kind == HistoryTimelineItem::LogRetrieval && m_timeline->selectionModel()->isRowSelected(current.row(), QModelIndex()))
            retrieval = item->refId;
    }
    const std::optional<StoredAnswer> stored = m_history->Await<StoredAnswer>([serial, retrieval](CHistoryStore &store) {
        StoredAnswer answer;
        // The gases the log was read with; for the whole stored log, the newest.
        for (const HistoryLogRetrieval &r : store.Retrievals(serial)) {
            if (retrieval == 0 || r.id == retrieval) {
                answer.sensors = r.sensors;
                break;
            }
        }
        answer.entries = store.LogEntries(serial, retrieval);
        return answer;
    });
    if (!stored)
        return false;
    *entries = stored->entries;
    *sensors = stored->sensors;
    return true;
}

void CHistoryWindow::OpenLog()
{
    QList<LogRecord> entries;
    LogSensors sensors;
    const QPointer<CHistoryWindow> self(this);
    if (!StoredLog(&entries, &sensors) || !self)
        return;
    if (entries.isEmpty()) {
        Report(QStringLiteral("The history holds no log entries of %1.").arg(SelectedSerial()));
        return;
    }
    emit OpenLogRequested(entries, sensors, SelectedSerial());
}
