// The COM error dialog.
#include "ComErrorDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CComErrorDialog::CComErrorDialog(int failedPort, QWidget *parent) : QDialog(parent)
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
    layout->addWidget(new QLabel(QStringLiteral("Please select a new port")));
    auto *ports = new QHBoxLayout;
    for (int port = 1; port <= 4; ++port) {
        auto *button = new QPushButton(QStringLiteral("COM%1").arg(port));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, port] {
            m_port = port;
            accept();
        });
        ports->addWidget(button);
    }
    layout->addLayout(ports);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cancel);
    layout->addLayout(bottom);
    cancel->setDefault(true);
}
