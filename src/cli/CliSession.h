// One conversation of the command-line program with an instrument: opens the
// chosen port, collects replies, and waits for work to finish within a limit.
#pragma once

#include "link/InstrumentLink.h"

#include <QString>
#include <functional>
#include <memory>

class CClock;

// Process exit statuses, documented in the README.
namespace CliExit {
enum : int {
    Ok = 0,
    Failed = 1,     // the operation ran and found a problem (mismatch, refusal)
    Usage = 2,      // bad command line
    PortError = 3,  // the port or gateway could not be opened
    NoAnswer = 4,   // the instrument did not answer in time
    FileError = 5,  // a file could not be read or written
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
};

class CCliSession : public QObject, public ILinkReplySink
{
    Q_OBJECT
public:
    CCliSession();
    ~CCliSession() override;

    // Opens the port the options name; on failure prints why and returns false.
    bool Open(const CliOptions &options);
    CInstrumentLink &Link() { return *m_link; }
    QString PortName() const;

    // Called for every reply and timeout.
    std::function<void(int code, int type, quint32 address, const QByteArray &data)> onReply;

    // Runs the event loop until done() holds or no reply came for the
    // timeout; false on a timeout (a message naming the port is printed).
    bool WaitFor(const std::function<bool()> &done);
    // Waits until every queued request has been answered.
    bool WaitIdle() { return WaitFor([this] { return m_link->IsIdle(); }); }

    void OnLinkReply(int code, int type, quint32 address, int count, const quint8 *data) override;

private:
    std::unique_ptr<CInstrumentLink> m_link;
    CliOptions m_options;
    qint64 m_lastAnswerMs = 0;
    int m_timeoutsInRow = 0;
};
