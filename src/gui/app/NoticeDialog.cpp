// The notice window.
#include "NoticeDialog.h"

#include "document/NoticeWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CNoticeDialog::CNoticeDialog(CNoticeWindow &notice, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint),
      m_notice(notice)
{
    setModal(false);
    setMinimumWidth(300);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    auto *icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);
    m_text = new QLabel;
    m_text->setWordWrap(true);
    row->addWidget(m_text, 1);
    layout->addLayout(row);
    m_button = new QPushButton;
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_button);
    layout->addLayout(bottom);
    connect(m_button, &QPushButton::clicked, this, &CNoticeDialog::reject);

    connect(&notice, &CNoticeWindow::Opened, this, [this] {
        Follow();
        show();
        raise();
    });
    connect(&notice, &CNoticeWindow::Changed, this, &CNoticeDialog::Follow);
    connect(&notice, &CNoticeWindow::Closed, this, &QWidget::hide);
}

void CNoticeDialog::Follow()
{
    setWindowTitle(m_notice.Caption());
    m_text->setText(m_notice.Text());
    m_button->setText(m_notice.ButtonText());
}

void CNoticeDialog::reject()
{
    m_notice.Close();
    hide();
}
