// One serial device as the serial control uses it: opened by name, set to a
// line rate and framing, written and read without blocking, and telling when
// characters arrive or the device goes away. Two implementations stand
// behind it: the serial library where the platform has one (Linux), and the
// system's own communications calls on Windows.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class CSerialDevice : public QObject
{
    Q_OBJECT
public:
    // Why an open failed, as far as the platform tells.
    enum class OpenError {
        None,
        NotFound,     // no such device
        Permission,   // refused: no rights, or (Windows) another program has it
        Busy,         // another program holds the port (lock file, exclusive open)
        Other,
    };
    enum class Parity { None, Even, Odd };
    enum class Flow { None, Software, Hardware };

    // The platform's device: the serial library's where it exists, else the
    // Windows one.
    static CSerialDevice *Create(QObject *parent = nullptr);

    explicit CSerialDevice(QObject *parent = nullptr) : QObject(parent) {}

    // False with OpenFailure() and ErrorString() filled when the device will
    // not open; the device is then closed.
    virtual bool Open(const QString &device) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Each returns false with ErrorString() filled when the device refuses.
    virtual bool Configure(int baud, Parity parity, int dataBits, int stopBits) = 0;
    virtual bool SetFlow(Flow flow) = 0;
    virtual bool SetDtr(bool on) = 0;
    virtual bool SetRts(bool on) = 0;

    // Queues the characters for sending; the count taken, or -1.
    virtual qint64 Write(const QByteArray &data) = 0;
    // Everything received since the last call.
    virtual QByteArray ReadAll() = 0;

    OpenError OpenFailure() const { return m_openError; }
    QString ErrorString() const { return m_errorString; }
    // The system descriptor of the open device (for the low-latency flag on
    // Linux), or -1 where there is none to offer.
    virtual int Descriptor() const { return -1; }

signals:
    void ReadyRead();
    // A read, write or resource error on the open device (unplugged adapter,
    // hung-up pseudo-terminal). May come more than once; the serial control
    // closes the device on the first.
    void Failed(const QString &message);

protected:
    void SetOpenError(OpenError error, const QString &message)
    {
        m_openError = error;
        m_errorString = message;
    }
    void SetErrorString(const QString &message) { m_errorString = message; }

private:
    OpenError m_openError = OpenError::None;
    QString m_errorString;
};
