// The program's picture, drawn rather than shipped so it follows the version.
#include "BrandPicture.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace {

void DrawDetector(QPainter &p, const QRectF &r)
{
    // Rubber housing with the yellow front of a handheld detector.
    QPainterPath body;
    body.addRoundedRect(r, 26, 26);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1c, 0x22, 0x28));
    p.drawPath(body.translated(4, 6));
    QLinearGradient shell(r.topLeft(), r.bottomRight());
    shell.setColorAt(0, QColor(0xff, 0xd1, 0x3b));
    shell.setColorAt(1, QColor(0xe0, 0x9b, 0x00));
    p.setBrush(shell);
    p.setPen(QPen(QColor(0x3a, 0x2c, 0x00), 2));
    p.drawPath(body);

    // Gas inlet grille at the top.
    p.setPen(QPen(QColor(0x4a, 0x3a, 0x05), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        const qreal x = r.center().x() - 40 + i * 20;
        p.drawLine(QPointF(x, r.top() + 18), QPointF(x, r.top() + 34));
    }

    // Display with the four channels.
    const QRectF screen(r.left() + 22, r.top() + 50, r.width() - 44, r.height() * 0.48);
    p.setPen(QPen(QColor(0x22, 0x22, 0x22), 3));
    p.setBrush(QColor(0xa9, 0xc9, 0x8f));
    p.drawRoundedRect(screen, 8, 8);
    QFont label = p.font();
    label.setPixelSize(11);
    label.setBold(true);
    QFont value = p.font();
    value.setPixelSize(20);
    value.setBold(true);
    const char *names[] = {"LEL", "O2", "CO", "H2S"};
    const char *values[] = {"0", "20.9", "0", "0.0"};
    const char *units[] = {"%", "%VOL", "PPM", "PPM"};
    const qreal row = (screen.height() - 8) / 4;
    const qreal unitWidth = 40;
    p.setPen(QColor(0x1b, 0x26, 0x1a));
    for (int i = 0; i < 4; ++i) {
        const QRectF line(screen.left() + 8, screen.top() + 4 + i * row, screen.width() - 16, row);
        p.setFont(label);
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, QLatin1String(names[i]));
        p.setFont(value);
        p.drawText(line.adjusted(30, 0, -unitWidth - 4, 0), Qt::AlignRight | Qt::AlignVCenter, QLatin1String(values[i]));
        p.setFont(label);
        p.drawText(QRectF(line.right() - unitWidth, line.top(), unitWidth, line.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QLatin1String(units[i]));
    }

    // Three buttons below the display.
    const qreal by = screen.bottom() + (r.bottom() - screen.bottom()) / 2;
    for (int i = -1; i <= 1; ++i) {
        p.setPen(QPen(QColor(0x22, 0x22, 0x22), 2));
        p.setBrush(i == 0 ? QColor(0xc6, 0x28, 0x28) : QColor(0x33, 0x3b, 0x44));
        p.drawEllipse(QPointF(r.center().x() + i * 46, by), 14, 14);
    }
    // Alarm lights at the shoulders.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0x4d, 0x3d));
    p.drawRoundedRect(QRectF(r.left() + 14, r.top() + 14, 22, 10), 4, 4);
    p.drawRoundedRect(QRectF(r.right() - 36, r.top() + 14, 22, 10), 4, 4);
}

} // namespace

QPixmap CBrandPicture::Draw(const QString &footer)
{
    QPixmap pixmap(Width, Height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, Width, Height);
    sky.setColorAt(0, QColor(0x0d, 0x2a, 0x4a));
    sky.setColorAt(1, QColor(0x06, 0x5a, 0x6b));
    p.fillRect(pixmap.rect(), sky);
    QRadialGradient glow(QPointF(460, 190), 260);
    glow.setColorAt(0, QColor(255, 255, 255, 46));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(pixmap.rect(), glow);

    // Faint gas-concentration trace across the picture.
    p.setPen(QPen(QColor(120, 220, 200, 70), 2));
    QPainterPath trace;
    trace.moveTo(0, 360);
    for (int x = 0; x <= Width; x += 20)
        trace.lineTo(x, 360 - 30 * std::sin(x / 45.0) - (x > 300 ? (x - 300) / 6.0 : 0));
    p.drawPath(trace);

    DrawDetector(p, QRectF(384, 46, 184, 300));

    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRectF(40, 72, 330, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Altavo View"));

    QFont sub = p.font();
    sub.setPixelSize(18);
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(QColor(0xcf, 0xe6, 0xf0));
    p.drawText(QRectF(42, 140, 330, 60), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Service, configuration and data log\nfor portable multi-gas detectors"));

    QFont small = p.font();
    small.setPixelSize(14);
    p.setFont(small);
    p.setPen(QColor(0xa8, 0xc8, 0xd8));
    p.drawText(QRectF(42, 214, 330, 24), Qt::AlignLeft,
               QStringLiteral("Version %1").arg(QCoreApplication::applicationVersion()));
    p.drawText(QRectF(42, 238, 330, 24), Qt::AlignLeft, QStringLiteral("HC  \u00b7  O2  \u00b7  Toxic 1  \u00b7  Toxic 2"));

    p.fillRect(QRectF(0, Height - 44, Width, 44), QColor(0, 0, 0, 90));
    p.setPen(QColor(0xe6, 0xf1, 0xf5));
    p.drawText(QRectF(24, Height - 44, Width - 48, 44), Qt::AlignLeft | Qt::AlignVCenter, footer);
    p.drawText(QRectF(24, Height - 44, Width - 48, 44), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Veltrion Norvane"));
    p.end();
    return pixmap;
}
