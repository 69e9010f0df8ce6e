// The serial device over the Windows communications calls, for builds that
// have no serial library. A reader thread takes what has arrived every
// millisecond with an overlapped read; writes are overlapped too, so neither
// waits for the other.
#pragma once

#include "SerialDevice.h"

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <thread>

class CWinSerialDevice : public CSerialDevice
{
    Q_OBJECT
public:
    explicit CWinSerialDevice(QObject *parent = nullptr);
    ~CWinSerialDevice() override;

    bool Open(const QString &device) override;
    void Close() override;
    bool IsOpen() const override;
    bool Configure(int baud, Parity parity, int dataBits, int stopBits) override;
    bool SetFlow(Flow flow) override;
    bool SetDtr(bool on) override;
    bool SetRts(bool on) override;
    qint64 Write(const QByteArray &data) override;
    QByteArray ReadAll() override;

    // "\\.\COM12" for "COM12" (ports above COM9 need the device namespace;
    // the lower ones accept it too); other names are left as they are.
    static QString SystemPath(const QString &device);

private:
    void ReadLoop();
    bool Refused(const char *what);

    void *m_handle = nullptr;     // HANDLE; null when closed
    void *m_stopEvent = nullptr;  // HANDLE, set to end the reader
    std::thread m_reader;
    std::mutex m_lock;            // guards m_received and m_failure
    QByteArray m_received;
    QString m_failure;
    std::atomic<bool> m_notified{false};
};
