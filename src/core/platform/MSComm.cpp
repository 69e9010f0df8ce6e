// Serial control over QSerialPort or an in-process line.
#include "MSComm.h"

#include "Preferences.h"
#include "SerialOpenFailure.h"
#include "SerialPortList.h"

#include <QSerialPort>
#include <QTimer>

CMSComm::CMSComm(QObject *parent) : QObject(parent), m_serial(new QSerialPort(this))
{
    connect(m_serial, &QSerialPort::readyRead, this, &CMSComm::OnReadyRead);
    connect(m_serial, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { OnSerialError(int(e)); });
}

CMSComm::~CMSComm()
{
    CloseSerial();
}

void CMSComm::CloseSerial()
{
    if (!m_serial->isOpen())
        return;
    m_lowLatency.Restore();
    m_serial->close();
}

QString CMSComm::LowLatencyNote() const
{
    if (m_lowLatency.LastOutcome() != CSerialLowLatency::Outcome::Refused)
        return {};
    return QStringLiteral("%1: no low-latency mode (%2); carrying on without it.").arg(DeviceName(), m_lowLatency.Reason());
}

void CMSComm::SetCommPort(int port)
{
    m_port = port;
}

void CMSComm::SetDeviceName(const QString &device)
{
    m_deviceName = device;
    m_port = 0;
}

QString CMSComm::DeviceName() const
{
    if (m_channel)
        return QStringLiteral("simulated instrument");
    if (m_port >= 1)
        return CPreferences::ComDevice(m_port);
    return m_deviceName;
}

void CMSComm::SetChannel(QIODevice *channel)
{
    if (GetPortOpen())
        SetPortOpen(false);
    if (m_channel)
        disconnect(m_channel, nullptr, this, nullptr);
    m_channel = channel;
    if (channel)
        connect(channel, &QIODevice::readyRead, this, &CMSComm::OnReadyRead);
}

QIODevice *CMSComm::Device() const
{
    if (m_channel)
        return m_channel.data();
    return m_serial;
}

bool CMSComm::SetPortOpen(bool open)
{
    m_lastError.clear();
    if (m_channel) {
        m_lowLatency = CSerialLowLatency();
        m_channelOpen = open && m_channel->isOpen();
        if (open && !m_channelOpen) {
            m_lastError = QStringLiteral("The simulated instrument is not running.");
            return false;
        }
        return true;
    }
    if (!open) {
        CloseSerial();
        return true;
    }
    if (m_serial->isOpen()) {
        m_lastError = QStringLiteral("The port is already open.");
        return false;
    }
    const QString device = DeviceName();
    m_serial->setPortName(device);
    m_losing = false;
    m_lowLatency = CSerialLowLatency();
    if (!m_serial->open(QIODevice::ReadWrite)) {
        m_lastError = CSerialOpenFailure(device, int(m_serial->error()), m_serial->errorString(),
                                         CSerialPortList::Available()).Text();
        m_serial->clearError();
        return false;
    }
    m_lowLatency.Enable(int(m_serial->handle()));
    return true;
}

bool CMSComm::GetPortOpen() const
{
    if (m_channel)
        return m_channelOpen && m_channel->isOpen();
    return m_serial->isOpen() && !m_losing;
}

bool CMSComm::SetSettings(const QString &settings)
{
    // "baud,parity,data,stop", e.g. "115200,n,8,1".
    const QStringList parts = settings.split(QLatin1Char(','));
    bool ok = parts.size() == 4;
    int baud = ok ? parts[0].trimmed().toInt(&ok) : 0;
    const QString parity = ok ? parts[1].trimmed().toLower() : QString();
    int bits = 0, stop = 0;
    if (ok)
        bits = parts[2].trimmed().toInt(&ok);
    if (ok)
        stop = parts[3].trimmed().toInt(&ok);
    if (!ok || baud <= 0 || bits < 5 || bits > 8 || (stop != 1 && stop != 2)
        || (parity != QLatin1String("n") && parity != QLatin1String("e") && parity != QLatin1String("o"))) {
        m_lastError = QStringLiteral("Invalid port settings \"%1\".").arg(settings);
        return false;
    }
    if (m_channel || !m_serial->isOpen())
        return true;
    const auto p = parity == QLatin1String("n") ? QSerialPort::NoParity
                   : parity == QLatin1String("e") ? QSerialPort::EvenParity
                                                  : QSerialPort::OddParity;
    // A pseudo-terminal accepts these; a refusal from a real port is an error.
    if (!m_serial->setBaudRate(baud) || !m_serial->setParity(p)
        || !m_serial->setDataBits(QSerialPort::DataBits(bits))
        || !m_serial->setStopBits(stop == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop)) {
        m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), m_serial->errorString());
        m_serial->clearError();
        return false;
    }
    return true;
}

bool CMSComm::SetHandshaking(int mode)
{
    if (m_channel || !m_serial->isOpen())
        return true;
    const auto flow = mode == 0 ? QSerialPort::NoFlowControl
                      : mode == 1 ? QSerialPort::SoftwareControl
                                  : QSerialPort::HardwareControl;
    if (!m_serial->setFlowControl(flow)) {
        m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), m_serial->errorString());
        m_serial->clearError();
        return false;
    }
    return true;
}

bool CMSComm::SetRThreshold(int threshold)
{
    m_threshold = threshold;
    return true;
}

bool CMSComm::SetDTREnable(bool on)
{
    // Modem lines do not exist on a pseudo-terminal or a bare adapter; that is
    // not a reason to give up the port.
    if (!m_channel && m_serial->isOpen() && !m_serial->setDataTerminalReady(on))
        m_serial->clearError();
    return true;
}

bool CMSComm::SetRTSEnable(bool on)
{
    if (!m_channel && m_serial->isOpen() && !m_serial->setRequestToSend(on))
        m_serial->clearError();
    return true;
}

bool CMSComm::SetOutput(const QByteArray &text)
{
    if (!GetPortOpen()) {
        m_lastError = QStringLiteral("The port is not open.");
        return false;
    }
    QIODevice *device = Device();
    if (device->write(text) != text.size()) {
        m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), device->errorString());
        return false;
    }
    return true;
}

QByteArray CMSComm::GetInput()
{
    QIODevice *device = Device();
    if (!device || !GetPortOpen())
        return {};
    return device->readAll();
}

void CMSComm::OnReadyRead()
{
    if (!GetPortOpen())
        return;
    m_commEvent = comEvReceive;
    if (m_threshold > 0)
        emit OnComm();
}

void CMSComm::OnSerialError(int error)
{
    switch (QSerialPort::SerialPortError(error)) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // On a hung-up device Qt reports ReadError over and over at full speed
        // and never ResourceError: treat them alike, close once, tell once.
        LoseDevice(QStringLiteral("%1: %2").arg(DeviceName(), m_serial->errorString()));
        break;
    default:
        break;
    }
}

void CMSComm::LoseDevice(const QString &message)
{
    if (m_losing || !m_serial->isOpen())
        return;
    m_losing = true;
    // Closing inside the port's own notification is not safe; do it next turn.
    QTimer::singleShot(0, this, [this, message] {
        CloseSerial();
        m_serial->clearError();
        m_losing = false;
        emit DeviceLost(message);
    });
}
