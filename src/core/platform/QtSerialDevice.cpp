// Serial device over QSerialPort.
#include "QtSerialDevice.h"

#include <QSerialPort>

CSerialDevice *CSerialDevice::Create(QObject *parent)
{
    return new CQtSerialDevice(parent);
}

CQtSerialDevice::CQtSerialDevice(QObject *parent) : CSerialDevice(parent), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &CSerialDevice::ReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        switch (e) {
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::ResourceError:
            // On a hung-up device Qt reports ReadError over and over at full
            // speed and never ResourceError: both mean the device is gone.
            if (m_port->isOpen())
                emit Failed(m_port->errorString());
            break;
        default:
            break;
        }
    });
}

bool CQtSerialDevice::Open(const QString &device)
{
    m_port->setPortName(device);
    if (m_port->open(QIODevice::ReadWrite)) {
        SetOpenError(OpenError::None, {});
        return true;
    }
    OpenError error = OpenError::Other;
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError: error = OpenError::NotFound; break;
    case QSerialPort::PermissionError: error = OpenError::Permission; break;
    default: break;
    }
    SetOpenError(error, m_port->errorString());
    m_port->clearError();
    return false;
}

void CQtSerialDevice::Close()
{
    m_port->close();
    m_port->clearError();
}

bool CQtSerialDevice::IsOpen() const
{
    return m_port->isOpen();
}

bool CQtSerialDevice::Refused()
{
    SetErrorString(m_port->errorString());
    m_port->clearError();
    return false;
}

bool CQtSerialDevice::Configure(int baud, Parity parity, int dataBits, int stopBits)
{
    const auto p = parity == Parity::None ? QSerialPort::NoParity
                   : parity == Parity::Even ? QSerialPort::EvenParity
                                            : QSerialPort::OddParity;
    if (!m_port->setBaudRate(baud) || !m_port->setParity(p) || !m_port->setDataBits(QSerialPort::DataBits(dataBits))
        || !m_port->setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop))
        return Refused();
    return true;
}

bool CQtSerialDevice::SetFlow(Flow flow)
{
    const auto f = flow == Flow::None ? QSerialPort::NoFlowControl
                   : flow == Flow::Software ? QSerialPort::SoftwareControl
                                            : QSerialPort::HardwareControl;
    return m_port->setFlowControl(f) || Refused();
}

bool CQtSerialDevice::SetDtr(bool on)
{
    return m_port->setDataTerminalReady(on) || Refused();
}

bool CQtSerialDevice::SetRts(bool on)
{
    return m_port->setRequestToSend(on) || Refused();
}

qint64 CQtSerialDevice::Write(const QByteArray &data)
{
    const qint64 n = m_port->write(data);
    if (n < 0)
        SetErrorString(m_port->errorString());
    return n;
}

QByteArray CQtSerialDevice::ReadAll()
{
    return m_port->readAll();
}

int CQtSerialDevice::Descriptor() const
{
#ifdef Q_OS_WIN
    return -1;
#else
    return m_port->isOpen() ? int(m_port->handle()) : -1;
#endif
}
