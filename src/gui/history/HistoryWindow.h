// The "Instrument History" window: the fleet with its due dates, one instrument's timeline, its stored logs and settings snapshots, and the printed reports.
#pragma once

#include "datalog/LogRecord.h"
#include "datalog/LogSensors.h"
#include "history/HistoryTypes.h"
#include "views/InstrumentView.h"

#include <QDateTime>
#include <QPageLayout>
#include <QPointer>
#include <functional>
#include <memory>

class CFleetFilter;
class CFleetModel;
class CHistoryWorker;
class CTimelineModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTableView;
class QTextDocument;

/*
 * Top to bottom: the spool warning (shown only while records wait), the
 * filter bar, the fleet table, and below a splitter the timeline of the
 * instrument selected in the fleet. The window reads the history only; the
 * main frame owns the history and writes to it. It follows the connected
 * instrument: after an upload its row is selected.
 *
 * Every read runs on the history's worker thread: the fleet and the
 * timeline arrive by its answer (Refreshed() once both are shown), and the
 * commands that need more (reports, stored logs, snapshots) wait for theirs
 * in a local event loop, so a database that does not answer never freezes
 * the windows. An answer overtaken by a newer request is dropped.
 */
class CHistoryWindow : public CInstrumentView
{
    Q_OBJECT
public:
    static const QString Title; // "Instrument History"
    using NowProvider = std::function<QDateTime()>;

    explicit CHistoryWindow(CInstrumentDoc &doc, QWidget *parent = nullptr);
    ~CHistoryWindow() override;

    // The main frame's history; nullptr leaves the window empty. Kept by
    // pointer: the frame may open another database while the window is open.
    void SetHistory(CHistoryWorker *history);
    CHistoryWorker *History() const;
    // UTC "now" that overdue rows are judged at; the system clock when empty.
    void SetNowProvider(NowProvider now) { m_now = std::move(now); }

    void OnInitialUpdate() override;
    QSize FormSize() const override { return {1040, 640}; }
    bool MaximiseFitsForm() const override { return false; }
    bool CanPrint() const override;
    // The main frame's print commands print the due list.
    void Print(QPrinter *printer) override;

    // Reads the fleet and the selected instrument's timeline again; Refreshed follows.
    void Refresh();
    void SelectSerial(const QString &serial);
    QString SelectedSerial() const;

    QTableView *FleetView() const { return m_fleet; }
    CFleetModel *FleetModel() const { return m_fleetModel; }
    CFleetFilter *Filter() const { return m_filter; }
    QTableView *TimelineView() const { return m_timeline; }
    CTimelineModel *TimelineModel() const { return m_timelineModel; }
    QLineEdit *FilterEdit() const { return m_filterEdit; }
    QCheckBox *OverdueOnlyBox() const { return m_overdueOnly; }
    QSpinBox *DueWithinBox() const { return m_within; }
    QLabel *WarningLabel() const { return m_warning; }
    QLabel *LocationLabel() const { return m_location; }
    QLabel *TimelineLabel() const { return m_timelineLabel; }
    QPushButton *Button(const QString &text) const;

    // The reports as they would print now; nullptr without a store (or, for
    // the record, without a selected instrument).
    std::unique_ptr<QTextDocument> DueListReport() const;
    std::unique_ptr<QTextDocument> CalibrationRecordReport() const;
    // The buttons' commands without their file dialogs.
    bool SaveDueList(const QString &path);
    bool SaveCalibrationRecord(const QString &path);
    // The snapshots to compare: the two selected in the timeline, or the
    // selected one and the one before it, or the two newest.
    std::pair<qint64, qint64> SnapshotsToCompare() const;
    // The selected log retrieval's entries (every stored entry when no log
    // row is selected) and the gas names they were read with.
    bool StoredLog(QList<LogRecord> *entries, LogSensors *sensors) const;

signals:
    // The fleet and timeline of the last Refresh() are shown.
    void Refreshed();
    // "Open Log": the main frame shows these in the log window.
    void OpenLogRequested(const QList<LogRecord> &entries, const LogSensors &sensors, const QString &serial);

private:
    void BuildForm();
    void UpdateWarning();
    void UpdateControls();
    void OnFleetRowChanged();
    void ShowTimeline(const QString &serial);
    void ShowFleet(bool open, const QList<HistoryFleetRow> &rows);
    bool IsOpen() const;
    void OpenLog();
    void CompareSnapshots();
    void PrintReport(std::unique_ptr<QTextDocument> report, const QString &title, QPageLayout::Orientation orientation);
    bool SaveReport(std::unique_ptr<QTextDocument> report, const QString &title, QPageLayout::Orientation orientation,
                    const QString &path);
    void ChooseAndSave(bool dueList);
    QDateTime Now() const;
    QString FileFolder() const;
    void Report(const QString &text);

    QPointer<CHistoryWorker> m_history;
    quint64 m_fleetTicket = 0;
    quint64 m_timelineTicket = 0;
    bool m_refreshing = false;
    bool m_fleetShown = false;
    bool m_fleetAsked = false; // a fleet read is on the worker
    bool m_fleetAgain = false; // and another was asked for meanwhile
    NowProvider m_now;
    CFleetModel *m_fleetModel;
    CFleetFilter *m_filter;
    CTimelineModel *m_timelineModel;
    QLabel *m_warning = nullptr;
    QPushButton *m_retry = nullptr;
    QLabel *m_location = nullptr;
    QLineEdit *m_filterEdit = nullptr;
    QCheckBox *m_overdueOnly = nullptr;
    QSpinBox *m_within = nullptr;
    QTableView *m_fleet = nullptr;
    QLabel *m_timelineLabel = nullptr;
    QTableView *m_timeline = nullptr;
    QSplitter *m_splitter = nullptr;
    QList<QPushButton *> m_buttons;
    QString m_shownSerial;
};
