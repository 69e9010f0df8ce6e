// The serial device over the serial library (Linux and wherever it exists).
#pragma once

#include "SerialDevice.h"

class QSerialPort;

class CQtSerialDevice : public CSerialDevice
{
    Q_OBJECT
public:
    explicit CQtSerialDevice(QObject *parent = nullptr);

    bool Open(const QString &device) override;
    void Close() override;
    bool IsOpen() const override;
    bool Configure(int baud, Parity parity, int dataBits, int stopBits) override;
    bool SetFlow(Flow flow) override;
    bool SetDtr(bool on) override;
    bool SetRts(bool on) override;
    qint64 Write(const QByteArray &data) override;
    QByteArray ReadAll() override;
    int Descriptor() const override;

private:
    bool Refused();

    QSerialPort *m_port;
};
