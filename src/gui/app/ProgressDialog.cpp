// The transfer progress window.
#include "ProgressDialog.h"

#include "document/TransferProgress.h"

#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CProgressDialog::CProgressDialog(CTransferProgress &progress, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint),
      m_progress(progress)
{
    setModal(false);
    setMinimumWidth(340);
    auto *layout = new QVBoxLayout(this);
    m_bar = new QProgressBar;
    m_bar->setTextVisible(true);
    layout->addWidget(m_bar);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &CProgressDialog::reject);
    layout->addWidget(buttons);

    connect(&progress, &CTransferProgress::Opened, this, [this] {
        Follow();
        show();
        raise();
    });
    connect(&progress, &CTransferProgress::Changed, this, &CProgressDialog::Follow);
    connect(&progress, &CTransferProgress::Closed, this, &QWidget::hide);
    if (progress.IsOpen()) {
        Follow();
        show();
    }
}

void CProgressDialog::Follow()
{
    setWindowTitle(m_progress.Caption());
    m_bar->setRange(m_progress.Minimum(), qMax(m_progress.Minimum(), m_progress.Maximum()));
    m_bar->setValue(m_progress.Position());
}

void CProgressDialog::reject()
{
    // Cancel only closes the window; the transfer's requests stay queued.
    m_progress.Close();
    hide();
}
