// The log view: fetching the data log, its list and charts, sessions, CSV save and load, and printing.
#pragma once

#include "datalog/LogCsvReader.h"
#include "datalog/LogSession.h"
#include "views/InstrumentView.h"

#include <QList>
#include <functional>
#include <memory>

class CLogChart;
class CLogCsvLoad;
struct LogRecord;
class CLogRetrieval;
class CProgressDialog;
class CTransferProgress;
class CLogTableModel;
class IUserPrompt;
class QLineEdit;
class QPrinter;
class QPushButton;
class QSplitter;
class QTableView;

/*
 * The button bar on top, then the chart pane over the list in a splitter.
 * The chart pane has no height until sessions are found; then it takes all
 * but 100 pixels. Selecting a row moves the charts' time marker to the
 * entry's time, and a click in a chart selects the entry at that time.
 */
class CLog : public CInstrumentView
{
    Q_OBJECT
public:
    static constexpr int ListPaneHeight = 100;

    explicit CLog(CInstrumentDoc &doc, QWidget *parent = nullptr);
    ~CLog() override;

    void OnInitialUpdate() override;
    QSize FormSize() const override { return {1100, 720}; }
    bool MaximiseFitsForm() const override { return false; }
    bool MaximiseWithoutPlacement() const override { return true; }
    // The main frame's print commands print the list.
    bool CanPrint() const override;
    void Print(QPrinter *printer) override;

    // Questions and error messages go here; message boxes unless replaced.
    void SetPrompt(IUserPrompt *prompt);
    // What "Add to History" does with the file the window shows (the history
    // sets it; without one the button stays hidden). It gives back what to
    // tell the user (empty: nothing, e.g. the user cancelled).
    using AddToHistoryFunction = std::function<QString(const QString &path, const QList<LogRecord> &entries)>;
    void SetAddToHistory(AddToHistoryFunction add);
    // The CSV file the window shows; empty for a log from the instrument.
    QString LoadedFile() const { return m_loadedFile; }
    void AddToHistory();
    // Shows a log the history keeps: no file, so Add to History has nothing
    // to add. False (nothing changed) while the instrument's log is being
    // fetched or a file loads.
    bool ShowStored(const QList<LogRecord> &entries, const LogSensors &sensors);

    CLogRetrieval &Log() const { return *m_log; }
    QTableView *List() const { return m_list; }
    CLogTableModel *Model() const { return m_model; }
    CLogChart *Chart() const { return m_chart; }
    QSplitter *Splitter() const { return m_splitter; }
    // The buttons by their text ("Start", "Load", "ALL", "<<" and so on);
    // group buttons by index 0-4 through GroupButton.
    QPushButton *Button(const QString &text) const;
    QPushButton *GroupButton(int index) const { return m_groupButtons.value(index); }
    QString SessionBoxText() const;

    // The commands of the buttons, without their file dialogs.
    void Start();
    bool SaveTo(const QString &path);
    // Starts reading the file in the background under the "Uploading Log"
    // progress window; false when an upload or another load is running.
    // The list shows what it showed until the file is read; LoadFinished
    // tells when it is.
    bool LoadFrom(const QString &path);
    // What Cancel in the progress window does: the list stays as it was.
    void CancelLoad();
    bool Loading() const;
    CTransferProgress &LoadProgress() const { return *m_loadProgress; }
    CProgressDialog *LoadWindow() const { return m_loadWindow; }
    void ShowSessionsDialog();
    void PrintData();
    void PrintChart();
    void ChooseColors();
    // Draws the visible charts fitted to the printer's page.
    void PrintChartTo(QPrinter *printer);
    // Moves the marker to t, shows the last session whose readings span t
    // (the clock may have been set back between sessions) and selects that
    // session's entry at t in the list.
    void PlaceMarkerAt(const QDateTime &t);

signals:
    // A load ended: `shown` when the file's entries are in the list (also
    // with problems, or with an error after some rows); false when nothing
    // of it could be read or it was cancelled.
    void LoadFinished(bool shown);

private:
    bool Save();
    void Load();
    void OnLoaded(const LogCsvReader::Result &result, const QList<LogSession> &sessions);
    void UpdateControls();
    void UpdateGroupButtons();
    void OnSessionsFound();
    void OnSessionChanged(int session);
    void OnRowChanged(int row);
    void OnListScrolled();
    void RefreshSetup();
    QString FileFolder() const;
    void RememberFolder(const QString &path);
    void Report(const QString &text);

    std::unique_ptr<CLogRetrieval> m_log;
    std::unique_ptr<CLogCsvLoad> m_load;
    CTransferProgress *m_loadProgress;
    CProgressDialog *m_loadWindow;
    std::unique_ptr<IUserPrompt> m_ownPrompt;
    IUserPrompt *m_prompt = nullptr;
    CLogTableModel *m_model;
    QTableView *m_list;
    CLogChart *m_chart;
    QSplitter *m_splitter;
    QLineEdit *m_sessionBox;
    QList<QPushButton *> m_buttons;
    QList<QPushButton *> m_groupButtons;
    AddToHistoryFunction m_addToHistory;
    QString m_loadedFile;
    bool m_selecting = false;
    int m_lastSelected = -1;
};
