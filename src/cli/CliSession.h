// One conversation of the command-line program with an instrument: an
// instrument document on the chosen port, bounded waiting, and progress lines.
#pragma once

#include "document/InstrumentDoc.h"

#include <QString>
#include <functional>
#include <memory>

class CHistoryRecorder;
class CLinkTrace;
class CTransferProgress;

// Process exit statuses, documented in the README.
namespace CliExit {
enum : int {
    Ok = 0,
    Failed = 1,     // the operation ran and found a problem (mismatch, refusal)
    Usage = 2,      // bad command line
    PortError = 3,  // the port or gateway could not be opened
    NoAnswer = 4,   // the instrument did not answer in time
    FileError = 5,  // a file could not be read or written
    HistoryError = 6, // history commands: the history database could not be opened or read
};
}

struct CliOptions
{
    QString serialDevice;  // --serial DEVICE
    QString gatewayHost;   // --gateway HOST[:PORT]
    int gatewayPort = 80;
    int commPort = 0;      // --port N: COMn from the preferences; 0: the stored "CommPort"
    int timeoutSeconds = 5;
    bool verbose = false;
    QString traceFile;     // --trace FILE: the protocol trace
};

class CCliSession : public QObject
{
    Q_OBJECT
public:
    CCliSession();
    ~CCliSession() override;

    // Opens the port the options name; on failure prints why and returns false.
    bool Open(const CliOptions &options);
    // The document runs every operation, as the windows do; it owns the link.
    CInstrumentDoc &Doc() { return *m_doc; }
    CInstrumentLink &Link() { return m_doc->Link(); }
    QString PortName() const;

    // Runs the event loop until done() holds. False, with a message naming
    // the port, when nothing came from the instrument for the timeout or the
    // document gave up after its run of timeouts.
    bool WaitFor(const std::function<bool()> &done);
    // Waits until every queued request has been answered.
    bool WaitIdle() { return WaitFor([this] { return Link().IsIdle(); }); }

    // Prints "Caption n/m" on stderr whenever the window moves: rewritten in
    // place on a terminal, one line when the window closes otherwise. When
    // completed() holds as the window closes, the last line shows every step
    // done: the log clearing closes on the instrument's word that it has
    // finished, one step before the bar's end.
    void FollowProgress(CTransferProgress &progress, std::function<bool()> completed = {});
    // Ends a progress line left open on the terminal before other output.
    void EndProgressLine();

    // Where completed operations are recorded; null records nothing.
    void SetRecorder(CHistoryRecorder *recorder) { m_recorder = recorder; }
    CHistoryRecorder *Recorder() const { return m_recorder; }

private:
    void ShowProgress(const QString &caption, int position, int maximum, bool final);

    CClock &m_clock;
    std::unique_ptr<CInstrumentDoc> m_doc;
    CliOptions m_options;
    CHistoryRecorder *m_recorder = nullptr;
    qint64 m_lastAnswerMs = 0;
    bool m_gaveUp = false;
    bool m_portLost = false;
    bool m_terminal = false;
    CLinkTrace *m_trace = nullptr;
    bool m_lineOpen = false;
    QString m_lastLine;
};
