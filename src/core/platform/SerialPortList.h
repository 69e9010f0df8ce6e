// The serial ports this computer has, as the system describes them: for the
// port dialog, "altavo-cli ports" and the message when a device is missing.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct SerialPortEntry
{
    QString name;          // "ttyUSB0"
    QString location;      // "/dev/ttyUSB0" or "COM3": what a "COMn Device" preference holds
    QString description;   // "FT232R USB UART"
    QString manufacturer;  // "FTDI"
    QString serialNumber;
    int vendorId = -1;     // USB IDs; -1 for a port that is not on USB
    int productId = -1;
};

class CSerialPortList
{
public:
    // The system's ports, sorted by location: from the serial library where
    // there is one; on Windows from the registry's list of communication ports.
    static QList<SerialPortEntry> Available();

    // "0403:6001", or empty for a port without USB IDs.
    static QString UsbIds(const SerialPortEntry &port);
    // A header line and one aligned line per port; a single line saying so
    // when there are none.
    static QStringList Table(const QList<SerialPortEntry> &ports);
    // "/dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0" for a sentence.
    static QString Summary(const QList<SerialPortEntry> &ports);
};
