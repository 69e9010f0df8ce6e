// The start-up picture.
#include "SplashWindow.h"

#include "BrandPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

CSplashWindow::CSplashWindow(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_picture = CBrandPicture::Draw(QStringLiteral("Starting..."));
    setFixedSize(CBrandPicture::Width, CBrandPicture::Height);
    QTimer::singleShot(ShowMs, this, &QWidget::close);
}

void CSplashWindow::ShowCentred(QWidget *over)
{
    QScreen *screen = over && over->screen() ? over->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
}

void CSplashWindow::paintEvent(QPaintEvent *)
{
    QPainter(this).drawPixmap(0, 0, m_picture);
}
