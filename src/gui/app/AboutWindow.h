// The About window: the program's picture in a borderless window that closes
// when a key or the left mouse button is released over it.
#pragma once

#include <QWidget>

class CAboutWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CAboutWindow(QWidget *parent = nullptr);

    void ShowCentred(QWidget *over);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
};
