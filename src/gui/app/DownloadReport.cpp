// The download check's report.
#include "DownloadReport.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

CDownloadReport::CDownloadReport(const QList<CDownloadDifference> &differences, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Download Check"));
    setObjectName(QStringLiteral("DownloadReport"));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto *text = new QLabel(QStringLiteral("The instrument does not hold these settings as they were sent. "
                                           "Check them in the settings windows and download again."));
    text->setWordWrap(true);
    top->addWidget(text, 1);
    layout->addLayout(top);

    m_table = new QTableWidget(int(differences.size()), 3);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Setting"), QStringLiteral("Sent"), QStringLiteral("Instrument holds")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < differences.size(); ++row) {
        const CDownloadDifference &d = differences[row];
        m_table->setItem(row, 0, new QTableWidgetItem(d.key));
        m_table->setItem(row, 1, new QTableWidgetItem(d.sent));
        m_table->setItem(row, 2, new QTableWidgetItem(d.readBack));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(520, 320);
}
