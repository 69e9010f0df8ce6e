// The log view: button bar, chart pane and list over the data log.
#include "Log.h"

#include "ChartColorDialog.h"
#include "LogChart.h"
#include "LogTableModel.h"
#include "SessionsDialog.h"
#include "app/FileViewer.h"
#include "app/FileViewerDoc.h"
#include "app/GuiPrompt.h"
#include "app/ProgressDialog.h"
#include "app/ViewRegistry.h"
#include "datalog/LogChartSetup.h"
#include "datalog/LogCsv.h"
#include "datalog/LogCsvLoad.h"
#include "datalog/LogList.h"
#include "datalog/LogPrint.h"
#include "datalog/LogRetrieval.h"
#include "datalog/LogSensorSource.h"
#include "document/InstrumentDoc.h"
#include "document/TransferProgress.h"
#include "platform/Preferences.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

ALTAVO_REGISTER_VIEW(CLog, "Log View", 32780, true)

namespace {
const QString LogTitle = QStringLiteral("Log View");
const QString DirectoryKey = QStringLiteral("Directory");
const QString FileFilter = QStringLiteral("CSV Files (*.csv);;All Files (*.*)");
// Problems of a loaded file listed in the message; the rest are counted.
constexpr int ProblemsShown = 10;
} // namespace

CLog::CLog(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, LogTitle, parent), m_log(std::make_unique<CLogRetrieval>(doc)),
      m_load(std::make_unique<CLogCsvLoad>()), m_loadProgress(new CTransferProgress(this)),
      m_loadWindow(new CProgressDialog(*m_loadProgress, this)), m_ownPrompt(std::make_unique<CGuiPrompt>(this)),
      m_prompt(m_ownPrompt.get()),
      m_model(new CLogTableModel(*m_log, this)), m_list(new QTableView(this)), m_chart(new CLogChart(*m_log, this)),
      m_splitter(new QSplitter(Qt::Vertical, this)), m_sessionBox(new QLineEdit(this))
{
    m_log->SetPrompt(m_prompt);
    m_log->SetSaveHandler([this] { return Save(); });

    // The button bar.
    auto *bar = new QHBoxLayout;
    bar->setSpacing(4);
    const auto button = [&](const QString &text, auto slot) {
        auto *b = new QPushButton(text, this);
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QPushButton::clicked, this, slot);
        m_buttons.append(b);
        bar->addWidget(b);
        return b;
    };
    button(QStringLiteral("Start"), &CLog::Start);
    button(QStringLiteral("Load"), &CLog::Load);
    button(QStringLiteral("Save"), [this] { Save(); });
    button(QStringLiteral("Print Data"), &CLog::PrintData);
    button(QStringLiteral("Add to History"), &CLog::AddToHistory)->hide();
    bar->addSpacing(12);
    button(QStringLiteral("Sessions"), &CLog::ShowSessionsDialog);
    button(QStringLiteral("<<"), [this] { m_log->PreviousSession(); })->setFixedWidth(32);
    m_sessionBox->setReadOnly(true);
    m_sessionBox->setFixedWidth(40);
    m_sessionBox->setAlignment(Qt::AlignCenter);
    m_sessionBox->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(m_sessionBox);
    button(QStringLiteral(">>"), [this] { m_log->NextSession(); })->setFixedWidth(32);
    bar->addSpacing(12);
    for (int i = 0; i < LogChartSeries::MaximumGroups; ++i) {
        auto *b = new QPushButton(this);
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        b->setMinimumWidth(48);
        connect(b, &QPushButton::clicked, this, [this, i] { m_chart->ShowGroup(i); });
        m_groupButtons.append(b);
        bar->addWidget(b);
    }
    button(QStringLiteral("ALL"), [this] { m_chart->ShowGroup(CLogChart::AllGroups); });
    bar->addSpacing(12);
    button(QStringLiteral("Color"), &CLog::ChooseColors);
    button(QStringLiteral("Print Chart"), &CLog::PrintChart);
    bar->addStretch(1);

    // The list: one uniform row per entry, widths fixed by column, so a
    // huge log never has its rows measured.
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setShowGrid(false);
    m_list->setAlternatingRowColors(true);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < LogList::ColumnCount; ++c)
        m_list->setColumnWidth(c, LogList::Width(c));

    m_splitter->addWidget(m_chart);
    m_splitter->addWidget(m_list);
    m_splitter->setCollapsible(1, false);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setSizes({0, 1});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_splitter, 1);

    connect(m_log.get(), &CLogRetrieval::StateChanged, this, &CLog::UpdateControls);
    connect(m_log.get(), &CLogRetrieval::Cleared, this, [this] {
        m_splitter->setSizes({0, 1});
        m_chart->ShowSession(-1);
        m_lastSelected = -1;
        UpdateControls();
    });
    connect(m_log.get(), &CLogRetrieval::SessionsFound, this, &CLog::OnSessionsFound);
    connect(m_log.get(), &CLogRetrieval::CurrentSessionChanged, this, &CLog::OnSessionChanged);
    connect(m_log.get(), &CLogRetrieval::SensorsChanged, this, &CLog::RefreshSetup);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CLog::UpdateControls);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { OnRowChanged(current.isValid() ? current.row() : -1); });
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, &CLog::OnListScrolled);
    connect(m_chart, &CLogChart::TimeClicked, this, &CLog::PlaceMarkerAt);

    // A file is read on a thread of its own; its window's Cancel stops it.
    connect(m_load.get(), &CLogCsvLoad::Progress, this, [this](qint64 position, qint64) {
        m_loadProgress->SetPosition(int(qMin<qint64>(position, std::numeric_limits<int>::max())));
    });
    connect(m_load.get(), &CLogCsvLoad::Finished, this, &CLog::OnLoaded);
    connect(m_loadProgress, &CTransferProgress::Closed, this, &CLog::CancelLoad);

    RefreshSetup();
    UpdateControls();
}

CLog::~CLog()
{
    // A file still being read is dropped, its thread ended first.
    m_load.reset();
    delete m_loadWindow;
    // The model and the chart read the log's entries until they go.
    delete m_list;
    delete m_chart;
    delete m_model;
}

void CLog::OnInitialUpdate()
{
    m_log->RequestTables();
    m_list->setFocus();
}

void CLog::SetPrompt(IUserPrompt *prompt)
{
    m_prompt = prompt;
    m_log->SetPrompt(prompt);
}

QPushButton *CLog::Button(const QString &text) const
{
    for (QPushButton *b : m_buttons) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QString CLog::SessionBoxText() const
{
    return m_sessionBox->text();
}

bool CLog::CanPrint() const
{
    return !m_log->Busy() && !Loading() && !m_log->Entries().isEmpty();
}

void CLog::Print(QPrinter *printer)
{
    CFileViewerDoc doc;
    doc.setPlainText(LogPrint::Text(m_log->Entries(), m_log->Sensors()));
    doc.setDefaultFont(QFont(QStringLiteral("Courier"), 8));
    CFileViewer viewer(&doc);
    viewer.Print(printer);
}

void CLog::SetAddToHistory(AddToHistoryFunction add)
{
    m_addToHistory = std::move(add);
    if (QPushButton *b = Button(QStringLiteral("Add to History")))
        b->setVisible(bool(m_addToHistory));
}

void CLog::AddToHistory()
{
    if (!m_addToHistory)
        return;
    if (m_loadedFile.isEmpty() || m_log->Busy() || Loading()) {
        // A log fetched from the instrument is in the history already.
        Report(QStringLiteral("Add to History takes a saved log: load a CSV file first."));
        return;
    }
    const QString told = m_addToHistory(m_loadedFile, m_log->Entries());
    if (!told.isEmpty() && m_prompt)
        m_prompt->Message(LogTitle, told, IUserPrompt::Icon::Information);
}

bool CLog::ShowStored(const QList<LogRecord> &entries, const LogSensors &sensors)
{
    if (m_log->Busy() || Loading())
        return false;
    m_loadedFile.clear();
    m_log->SetLoaded(entries, sensors);
    UpdateControls();
    return true;
}

void CLog::Start()
{
    if (Loading())
        return;
    m_loadedFile.clear();
    m_log->Start();
    m_list->setFocus();
}

void CLog::UpdateControls()
{
    const bool idle = !m_log->Busy() && !Loading();
    const bool rows = m_model->rowCount() > 0 || !m_log->Entries().isEmpty();
    const int sessions = int(m_log->Sessions().size());
    const int current = m_log->CurrentSession();
    const auto enable = [this](const char *text, bool on) {
        if (QPushButton *b = Button(QLatin1String(text)))
            b->setEnabled(on);
    };
    enable("Start", idle);
    enable("Load", idle);
    enable("Save", idle && rows);
    enable("Print Data", idle && rows);
    enable("Sessions", sessions > 0);
    enable("<<", current > 0);
    enable(">>", current + 1 < sessions);
    enable("Print Chart", sessions > 0 && !m_chart->Groups().isEmpty());
    m_sessionBox->setText(current >= 0 ? QString::number(current + 1) : QString());
    UpdateGroupButtons();
}

void CLog::UpdateGroupButtons()
{
    const QList<LogChartSeries::GroupInfo> groups = m_chart->Groups();
    for (int i = 0; i < m_groupButtons.size(); ++i) {
        QPushButton *b = m_groupButtons[i];
        b->setText(i < groups.size() ? groups[i].title.trimmed() : QString());
        b->setEnabled(int(groups.size()) > i && m_log->CurrentSession() >= 0);
    }
    if (QPushButton *all = Button(QStringLiteral("ALL")))
        all->setEnabled(!groups.isEmpty() && m_log->CurrentSession() >= 0);
}

void CLog::RefreshSetup()
{
    m_chart->SetSetup(LogChartSetup::FromSettings(Document().Settings(), m_log->Sensors(), m_log->LiveSensors()));
    UpdateControls();
}

void CLog::OnSessionsFound()
{
    m_model->Flush();
    RefreshSetup();
    if (!m_log->Sessions().isEmpty()) {
        m_chart->ShowGroup(CLogChart::AllGroups);
        const int height = m_splitter->height();
        m_splitter->setSizes({qMax(0, height - ListPaneHeight), ListPaneHeight});
    }
    UpdateControls();
}

void CLog::OnSessionChanged(int session)
{
    m_chart->ShowSession(session);
    UpdateControls();
}

void CLog::OnRowChanged(int row)
{
    m_lastSelected = row;
    if (row < 0 || row >= m_log->Entries().size())
        return;
    const QDateTime t = m_log->Entries().at(row).time;
    // A row shows the session it belongs to. Its time alone may lie in a
    // later session too when the instrument's clock was set back in between.
    int session = LogChartSeries::SessionOfEntry(m_log->Sessions(), row);
    if (session < 0)
        session = LogChartSeries::SessionAt(m_log->Entries(), m_log->Sessions(), t);
    if (session >= 0 && session != m_log->CurrentSession())
        m_log->SelectSession(session);
    m_chart->PlaceMarker(t);
}

void CLog::PlaceMarkerAt(const QDateTime &t)
{
    const int session = LogChartSeries::SessionAt(m_log->Entries(), m_log->Sessions(), t);
    if (session >= 0 && session != m_log->CurrentSession())
        m_log->SelectSession(session);
    m_chart->PlaceMarker(t);
    const int current = m_log->CurrentSession();
    if (current < 0)
        return;
    const int row = LogChartSeries::EntryAt(m_log->Entries(), m_log->Sessions().at(current), t);
    m_model->Flush();
    const QModelIndex index = m_model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(index);
}

void CLog::OnListScrolled()
{
    // The selection follows the list when the user scrolls it out of view,
    // so the marker keeps showing where the visible entries are.
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || m_selecting)
        return;
    const int top = m_list->rowAt(0);
    const int bottom = m_list->rowAt(m_list->viewport()->height() - 1);
    if (top < 0)
        return;
    int row = -1;
    if (current.row() < top)
        row = top;
    else if (bottom >= 0 && current.row() > bottom)
        row = bottom;
    if (row < 0)
        return;
    m_selecting = true;
    m_list->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selecting = false;
}

QString CLog::FileFolder() const
{
    return CPreferences::GetString(LogTitle, DirectoryKey, QStringLiteral("."));
}

void CLog::RememberFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    QDir::setCurrent(folder);
    CPreferences::SetString(LogTitle, DirectoryKey, folder);
}

void CLog::Report(const QString &text)
{
    if (m_prompt)
        m_prompt->Message(LogTitle, text, IUserPrompt::Icon::Stop);
}

bool CLog::Save()
{
    QFileDialog dialog(this, QStringLiteral("Save"), FileFolder(), FileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    RememberFolder(path);
    return SaveTo(path);
}

bool CLog::SaveTo(const QString &path)
{
    QString error;
    QString detail;
    if (LogCsv::Save(path, m_log->Entries(), m_log->Sensors(), &error, &detail))
        return true;
    Report(detail.isEmpty() ? error : error + QLatin1Char('\n') + detail);
    return false;
}

void CLog::Load()
{
    QFileDialog dialog(this, QStringLiteral("Load"), FileFolder(), FileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    RememberFolder(path);
    LoadFrom(path);
}

bool CLog::LoadFrom(const QString &path)
{
    if (m_log->Busy() || Loading())
        return false;
    const CSettingsImage &settings = Document().Settings();
    m_loadProgress->Show(CLogRetrieval::ProgressCaption);
    m_loadProgress->SetRange(0, int(qMin<qint64>(QFileInfo(path).size(), std::numeric_limits<int>::max())));
    m_loadProgress->SetPosition(0);
    m_load->Start(path, LogCsvReader(LogSensorSource::ToxicTable(settings), LogSensorSource::HCFullScale(settings)));
    UpdateControls();
    return true;
}

bool CLog::Loading() const
{
    return m_load && m_load->Running();
}

void CLog::CancelLoad()
{
    if (!Loading())
        return;
    m_load->Cancel();
    m_loadProgress->Close();
    UpdateControls();
    emit LoadFinished(false);
}

void CLog::OnLoaded(const LogCsvReader::Result &result, const QList<LogSession> &sessions)
{
    m_loadProgress->Close();
    const QString path = m_load->Path();
    // A file that could not be read at all leaves the list as it was; one
    // that failed part way shows the rows read before the fault.
    const bool shown = result.Ok() || !result.entries.isEmpty();
    if (shown) {
        QList<LogRecord> replaced = m_log->Entries();
        m_log->SetLoaded(result.entries, result.sensors, sessions);
        m_load->Release(std::move(replaced));
        m_loadedFile = result.Ok() ? path : QString();
        m_list->setFocus();
    }
    UpdateControls();
    if (!result.Ok()) {
        Report(result.detail.isEmpty() ? result.error : result.error + QLatin1Char('\n') + result.detail);
    } else if (!result.problems.isEmpty()) {
        QStringList lines;
        for (int i = 0; i < result.problems.size() && i < ProblemsShown; ++i) {
            const LogCsvReader::Problem &p = result.problems.at(i);
            lines.append(QStringLiteral("%1, line %2: %3").arg(QDir::toNativeSeparators(path)).arg(p.line).arg(p.text));
        }
        if (result.problems.size() > ProblemsShown)
            lines.append(QStringLiteral("... and %1 more.").arg(result.problems.size() - ProblemsShown));
        if (m_prompt)
            m_prompt->Message(LogTitle, lines.join(QLatin1Char('\n')), IUserPrompt::Icon::Warning);
    }
    emit LoadFinished(shown);
}

void CLog::ShowSessionsDialog()
{
    CSessionsDialog dialog(m_log->Entries(), m_log->Sessions(), m_log->CurrentSession(), this);
    if (dialog.exec() == QDialog::Accepted)
        m_log->SelectSession(dialog.Selected());
}

void CLog::PrintData()
{
    // The fixed-width text in the program's viewer, from where it prints.
    auto *window = new QDialog(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Log Data"));
    auto *doc = new CFileViewerDoc(window);
    doc->setDefaultFont(QFont(QStringLiteral("Courier"), 8));
    doc->setPlainText(LogPrint::Text(m_log->Entries(), m_log->Sensors()));
    auto *viewer = new CFileViewer(doc, window);
    viewer->setLineWrapMode(QTextEdit::NoWrap);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QPushButton *print = buttons->addButton(QStringLiteral("Print..."), QDialogButtonBox::ActionRole);
    QPushButton *preview = buttons->addButton(QStringLiteral("Print Preview"), QDialogButtonBox::ActionRole);
    connect(print, &QPushButton::clicked, viewer, &CFileViewer::PrintWithDialog);
    connect(preview, &QPushButton::clicked, viewer, &CFileViewer::PrintPreview);
    connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(viewer);
    layout->addWidget(buttons);
    window->resize(820, 600);
    window->show();
    viewer->PrintWithDialog();
}

void CLog::PrintChartTo(QPrinter *printer)
{
    QPainter painter(printer);
    const QRect page = painter.viewport();
    painter.setWindow(page);
    m_chart->Print(&painter, page);
}

void CLog::PrintChart()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Print Chart"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *p) { PrintChartTo(p); });
    preview.exec();
}

void CLog::ChooseColors()
{
    CChartColorDialog dialog(this);
    dialog.exec();
    // Choices are stored as they are made, so Cancel keeps them too; OK
    // is where every chart takes them on.
    m_chart->SetColors(LogChartColors::Load());
}
