// The serial communications control: a port addressed by number (COM1..COM4,
// mapped to device names in the preferences), opened with a settings text such
// as "115200,n,8,1", raising OnComm for every batch of received characters.
// It runs over the platform's serial device, or over any QIODevice handed in
// (the in-process simulated instrument).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include "SerialLowLatency.h"

class CSerialDevice;
class QIODevice;

class CMSComm : public QObject
{
    Q_OBJECT
public:
    enum CommEvent { comEvNone = 0, comEvSend = 1, comEvReceive = 2 };

    explicit CMSComm(QObject *parent = nullptr);
    ~CMSComm() override;

    // Port number 1..4 (device from the preferences); 0 means "use DeviceName".
    void SetCommPort(int port);
    int GetCommPort() const { return m_port; }
    // A device path used instead of the port mapping (USB adapters, the CLI).
    void SetDeviceName(const QString &device);
    QString DeviceName() const;
    // Use an already open in-process line instead of a serial device.
    void SetChannel(QIODevice *channel);

    // Each setter returns false, with LastError() filled, when the control refuses.
    bool SetPortOpen(bool open);
    bool GetPortOpen() const;
    bool SetSettings(const QString &settings);
    bool SetHandshaking(int mode);
    bool SetRThreshold(int threshold);
    bool SetDTREnable(bool on);
    bool SetRTSEnable(bool on);
    bool SetOutput(const QByteArray &text);
    // Everything received so far; the buffer is emptied.
    QByteArray GetInput();
    int GetCommEvent() const { return m_commEvent; }
    QString LastError() const { return m_lastError; }
    // What became of the low-latency flag when the serial device last opened.
    CSerialLowLatency::Outcome LowLatency() const { return m_lowLatency.LastOutcome(); }
    // Set once per open when the device would not take the flag, e.g.
    // "/dev/pts/3: no low-latency mode (Inappropriate ioctl for device)".
    QString LowLatencyNote() const;

signals:
    void OnComm();
    // The device disappeared (unplugged adapter, closed pseudo-terminal). Sent
    // once; the port is closed by then.
    void DeviceLost(const QString &message);

private:
    void OnReadyRead();
    void LoseDevice(const QString &message);
    void CloseSerial();

    int m_port = 1;
    QString m_deviceName;
    CSerialDevice *m_serial = nullptr;
    QPointer<QIODevice> m_channel;
    bool m_channelOpen = false;
    bool m_losing = false;
    int m_threshold = 0;
    int m_commEvent = comEvNone;
    QString m_lastError;
    CSerialLowLatency m_lowLatency;
};
