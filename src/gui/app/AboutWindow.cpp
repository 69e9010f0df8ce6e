// The About window.
#include "AboutWindow.h"

#include "BrandPicture.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

CAboutWindow::CAboutWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Altavo View"));
    m_picture = CBrandPicture::Draw(QStringLiteral("\u00a9 Veltrion Norvane. Free software under the GNU GPL."));
    setFixedSize(CBrandPicture::Width, CBrandPicture::Height);
    setFocusPolicy(Qt::StrongFocus);
}

void CAboutWindow::ShowCentred(QWidget *over)
{
    QScreen *screen = over && over->screen() ? over->screen() : QGuiApplication::primaryScreen();
    if (over && over->isVisible())
        move(over->frameGeometry().center() - rect().center());
    else if (screen)
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    setFocus();
}

void CAboutWindow::paintEvent(QPaintEvent *)
{
    QPainter(this).drawPixmap(0, 0, m_picture);
}

void CAboutWindow::keyReleaseEvent(QKeyEvent *)
{
    close();
}

void CAboutWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        close();
}
