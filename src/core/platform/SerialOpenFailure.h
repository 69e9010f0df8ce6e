// Why a serial device would not open, and what to do about it: the system's
// own message followed by the cause (no permission, another program holds
// the port, no such device) and the fix, in one text for the port dialog and
// the command line alike.
#pragma once

#include "SerialDevice.h"
#include "SerialPortList.h"

#include <QList>
#include <QString>

class CSerialOpenFailure
{
public:
    enum class Cause { Other, Permission, Busy, Missing };

    // error and message are what the serial device said of the failed open;
    // ports are the system's ports, named when the device is missing.
    CSerialOpenFailure(const QString &device, CSerialDevice::OpenError error, const QString &message,
                       const QList<SerialPortEntry> &ports);

    Cause GetCause() const { return m_cause; }
    // "/dev/ttyUSB0: Permission denied. ..." with the explanation.
    QString Text() const { return m_text; }

    // The process holding a device open, "minicom (process 1234)", from its
    // lock file or the open files in /proc; empty when it cannot be told.
    static QString Holder(const QString &device);

private:
    Cause m_cause = Cause::Other;
    QString m_text;
};
