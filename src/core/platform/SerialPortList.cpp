// Listing the system's serial ports.
#include "SerialPortList.h"

#include <algorithm>

#if ALTAVO_HAVE_QTSERIALPORT
#include <QSerialPortInfo>
#else
#include <QCollator>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {
#if ALTAVO_HAVE_QTSERIALPORT
SerialPortEntry FromInfo(const QSerialPortInfo &info)
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

QList<SerialPortEntry> Scan()
{
    QList<SerialPortEntry> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append(FromInfo(info));
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortEntry &a, const SerialPortEntry &b) { return a.location < b.location; });
    return ports;
}
#else
// Windows keeps the ports there are under HARDWARE\DEVICEMAP\SERIALCOMM:
// one value per port, its name the driver's device ("\Device\Serial0"),
// its data the port ("COM1").
QList<SerialPortEntry> Scan()
{
    // Read with the registry calls: the value names hold backslashes, which
    // a settings object would take for key separators.
    QList<SerialPortEntry> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = 256, dataBytes = sizeof data, type = 0;
        const LONG result = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        SerialPortEntry port;
        port.name = QString::fromWCharArray(data, int(dataBytes / sizeof(wchar_t))).section(QChar(0), 0, 0).trimmed();
        if (port.name.isEmpty())
            continue;
        port.location = port.name;
        port.description = QString::fromWCharArray(name, int(nameLength)).section(QLatin1Char('\\'), -1);
        ports.append(port);
    }
    RegCloseKey(key);
    // COM2 before COM10.
    QCollator order;
    order.setNumericMode(true);
    std::sort(ports.begin(), ports.end(),
              [&order](const SerialPortEntry &a, const SerialPortEntry &b) { return order.compare(a.location, b.location) < 0; });
    return ports;
}
#endif
} // namespace

QList<SerialPortEntry> CSerialPortList::Available()
{
    return Scan();
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
