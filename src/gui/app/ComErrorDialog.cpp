// The COM error dialog.
#include "ComErrorDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CComErrorDialog::CComErrorDialog(int failedPort, const QString &reason, const QList<SerialPortEntry> &ports,
                                 QWidget *parent)
    : QDialog(parent), m_failedPort(failedPort)
{
    setWindowTitle(QStringLiteral("Dialog"));
    setObjectName(QStringLiteral("ComErrorDialog"));
    auto *layout = new QVBoxLayout(this);
    auto *error = new QLabel(QStringLiteral("Error Opening COM%1").arg(failedPort));
    error->setObjectName(QStringLiteral("ErrorText"));
    QFont bold = error->font();
    bold.setBold(true);
    error->setFont(bold);
    layout->addWidget(error);
    auto *why = new QLabel(reason);
    why->setObjectName(QStringLiteral("ReasonText"));
    why->setWordWrap(true);
    why->setTextInteractionFlags(Qt::TextSelectableByMouse);
    why->setVisible(!reason.isEmpty());
    layout->addWidget(why);
    layout->addWidget(new QLabel(QStringLiteral("Please select a new port")));
    auto *buttons = new QHBoxLayout;
    for (int port = 1; port <= 4; ++port) {
        auto *button = new QPushButton(QStringLiteral("COM%1").arg(port));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, port] {
            m_port = port;
            m_device.clear();
            accept();
        });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    // The system's ports: one of them can become the failed COM number's device.
    layout->addWidget(new QLabel(QStringLiteral("Serial ports on this computer:")));
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("PortList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Port"), QStringLiteral("Description"), QStringLiteral("Manufacturer"),
                             QStringLiteral("USB ID"), QStringLiteral("Serial number")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setMinimumSize(560, 110);
    layout->addWidget(m_list);
    m_use = new QPushButton(QStringLiteral("Use for COM%1").arg(failedPort));
    m_use->setObjectName(QStringLiteral("UsePort"));
    m_use->setAutoDefault(false);
    m_use->setEnabled(false);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { m_use->setEnabled(item != nullptr); });
    auto use = [this] {
        if (QTreeWidgetItem *item = m_list->currentItem()) {
            m_port = m_failedPort;
            m_device = item->data(0, Qt::UserRole).toString();
            accept();
        }
    };
    connect(m_use, &QPushButton::clicked, this, use);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, use);

    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_use);
    bottom->addStretch();
    bottom->addWidget(cancel);
    layout->addLayout(bottom);
    cancel->setDefault(true);
    SetPorts(ports);
}

void CComErrorDialog::SetPorts(const QList<SerialPortEntry> &ports)
{
    m_list->clear();
    for (const SerialPortEntry &p : ports) {
        auto *item = new QTreeWidgetItem(m_list, {p.location, p.description, p.manufacturer,
                                                  CSerialPortList::UsbIds(p), p.serialNumber});
        item->setData(0, Qt::UserRole, p.location);
    }
    m_use->setEnabled(m_list->currentItem() != nullptr);
}
