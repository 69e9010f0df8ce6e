// The picture shown while the program starts: three seconds, or until the
// first key or mouse press anywhere in the program.
#pragma once

#include <QWidget>

class CSplashWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ShowMs = 3000;

    explicit CSplashWindow(QWidget *parent = nullptr);

    // Shows it centred on the screen of the given window (or the primary).
    void ShowCentred(QWidget *over);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};
