// Offered when a COM port cannot be opened: why it failed, pick another of
// COM1 to COM4, or put one of the system's serial ports behind the failed COM
// number and try again, or Cancel.
#pragma once

#include "platform/SerialPortList.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTreeWidget;

class CComErrorDialog : public QDialog
{
    Q_OBJECT
public:
    // reason: the explanation of the failure (may be empty); ports: the
    // system's serial ports to offer.
    CComErrorDialog(int failedPort, const QString &reason, const QList<SerialPortEntry> &ports,
                    QWidget *parent = nullptr);

    // The port clicked (1..4); 0 after Cancel.
    int ChosenPort() const { return m_port; }
    // The device chosen from the list for the failed port; empty when a COM
    // button or Cancel closed the dialog.
    QString ChosenDevice() const { return m_device; }

    // Replaces the list of offered ports.
    void SetPorts(const QList<SerialPortEntry> &ports);

private:
    int m_failedPort;
    int m_port = 0;
    QString m_device;
    QTreeWidget *m_list;
    QPushButton *m_use;
};
