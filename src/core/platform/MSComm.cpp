// Serial control over the platform's serial device or an in-process line.
#include "MSComm.h"

#include "Preferences.h"
#include "SerialDevice.h"
#include "SerialOpenFailure.h"
#include "SerialPortList.h"

#include <QIODevice>
#include <QTimer>

CMSComm::CMSComm(QObject *parent) : QObject(parent), m_serial(CSerialDevice::Create(this))
{
    connect(m_serial, &CSerialDevice::ReadyRead, this, &CMSComm::OnReadyRead);
    connect(m_serial, &CSerialDevice::Failed, this,
            [this](const QString &message) { LoseDevice(QStringLiteral("%1: %2").arg(DeviceName(), message)); });
}

CMSComm::~CMSComm()
{
    CloseSerial();
}

void CMSComm::CloseSerial()
{
    if (!m_serial->IsOpen())
        return;
    m_lowLatency.Restore();
    m_serial->Close();
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
    if (m_serial->IsOpen()) {
        m_lastError = QStringLiteral("The port is already open.");
        return false;
    }
    const QString device = DeviceName();
    m_losing = false;
    m_lowLatency = CSerialLowLatency();
    if (!m_serial->Open(device)) {
        m_lastError = CSerialOpenFailure(device, m_serial->OpenFailure(), m_serial->ErrorString(),
                                         CSerialPortList::Available()).Text();
        return false;
    }
    m_lowLatency.Enable(m_serial->Descriptor());
    return true;
}

bool CMSComm::GetPortOpen() const
{
    if (m_channel)
        return m_channelOpen && m_channel->isOpen();
    return m_serial->IsOpen() && !m_losing;
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
    if (m_channel || !m_serial->IsOpen())
        return true;
    const auto p = parity == QLatin1String("n") ? CSerialDevice::Parity::None
                   : parity == QLatin1String("e") ? CSerialDevice::Parity::Even
                                                  : CSerialDevice::Parity::Odd;
    // A pseudo-terminal accepts these; a refusal from a real port is an error.
    if (!m_serial->Configure(baud, p, bits, stop)) {
        m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), m_serial->ErrorString());
        return false;
    }
    return true;
}

bool CMSComm::SetHandshaking(int mode)
{
    if (m_channel || !m_serial->IsOpen())
        return true;
    const auto flow = mode == 0 ? CSerialDevice::Flow::None
                      : mode == 1 ? CSerialDevice::Flow::Software
                                  : CSerialDevice::Flow::Hardware;
    if (!m_serial->SetFlow(flow)) {
        m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), m_serial->ErrorString());
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
    if (!m_channel && m_serial->IsOpen())
        m_serial->SetDtr(on);
    return true;
}

bool CMSComm::SetRTSEnable(bool on)
{
    if (!m_channel && m_serial->IsOpen())
        m_serial->SetRts(on);
    return true;
}

bool CMSComm::SetOutput(const QByteArray &text)
{
    if (!GetPortOpen()) {
        m_lastError = QStringLiteral("The port is not open.");
        return false;
    }
    if (m_channel) {
        if (m_channel->write(text) != text.size()) {
            m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), m_channel->errorString());
            return false;
        }
        return true;
    }
    if (m_serial->Write(text) != text.size()) {
        m_lastError = QStringLiteral("%1: %2").arg(DeviceName(), m_serial->ErrorString());
        return false;
    }
    return true;
}

QByteArray CMSComm::GetInput()
{
    if (!GetPortOpen())
        return {};
    return m_channel ? m_channel->readAll() : m_serial->ReadAll();
}

void CMSComm::OnReadyRead()
{
    if (!GetPortOpen())
        return;
    m_commEvent = comEvReceive;
    if (m_threshold > 0)
        emit OnComm();
}

void CMSComm::LoseDevice(const QString &message)
{
    if (m_losing || !m_serial->IsOpen())
        return;
    m_losing = true;
    // Closing inside the port's own notification is not safe; do it next turn.
    QTimer::singleShot(0, this, [this, message] {
        CloseSerial();
        m_losing = false;
        emit DeviceLost(message);
    });
}
