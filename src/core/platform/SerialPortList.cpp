// Listing the system's serial ports.
#include "SerialPortList.h"

#include <QSerialPortInfo>
#include <algorithm>

QList<SerialPortEntry> CSerialPortList::Available()
{
    QList<SerialPortEntry> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append(FromInfo(info));
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortEntry &a, const SerialPortEntry &b) { return a.location < b.location; });
    return ports;
}

SerialPortEntry CSerialPortList::FromInfo(const QSerialPortInfo &info)
{
    SerialPortEntry port;
    port.name = info.portName();
    port.location = info.systemLocation();
    port.description = info.description().trimmed();
    port.manufacturer = info.manufacturer().trimmed();
    port.serialNumber = info.serialNumber().trimmed();
    if (info.hasVendorIdentifier())
        port.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier())
        port.productId = info.productIdentifier();
    return port;
}

QString CSerialPortList::UsbIds(const SerialPortEntry &port)
{
    if (port.vendorId < 0 && port.productId < 0)
        return {};
    auto hex = [](int id) { return id < 0 ? QStringLiteral("????") : QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')); };
    return hex(port.vendorId) + QLatin1Char(':') + hex(port.productId);
}

QStringList CSerialPortList::Table(const QList<SerialPortEntry> &ports)
{
    if (ports.isEmpty())
        return {QStringLiteral("No serial ports found.")};
    const QStringList header = {QStringLiteral("Port"), QStringLiteral("Description"), QStringLiteral("Manufacturer"),
                                QStringLiteral("USB ID"), QStringLiteral("Serial number")};
    QList<QStringList> rows = {header};
    for (const SerialPortEntry &p : ports)
        rows.append({p.location, p.description, p.manufacturer, UsbIds(p), p.serialNumber});
    QList<int> widths(header.size(), 0);
    for (const QStringList &row : rows)
        for (int c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], int(row[c].size()));
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        lines.append(line.trimmed());
    }
    return lines;
}

QString CSerialPortList::Summary(const QList<SerialPortEntry> &ports)
{
    QStringList parts;
    for (const SerialPortEntry &p : ports)
        parts.append(p.description.isEmpty() ? p.location : QStringLiteral("%1 (%2)").arg(p.location, p.description));
    return parts.join(QStringLiteral(", "));
}
