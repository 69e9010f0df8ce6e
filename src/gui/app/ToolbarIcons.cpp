// Toolbar icons drawn with QPainter on a 24-unit grid.
#include "ToolbarIcons.h"

#include "CommandIds.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace {

const QColor Ink(0x2b, 0x3a, 0x4a);
const QColor Blue(0x1f, 0x6f, 0xc5);
const QColor Green(0x2e, 0x9d, 0x4f);
const QColor Orange(0xe8, 0x8a, 0x1a);
const QColor Red(0xc8, 0x37, 0x37);
const QColor Paper(0xfb, 0xfc, 0xfd);
const QColor Amber(0xf4, 0xb4, 0x00);

using Painter = std::function<void(QPainter &)>;

QIcon Make(const Painter &paint)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen Pen(const QColor &c, qreal w = 1.6)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A small handheld detector: body, display, button.
void Detector(QPainter &p, const QRectF &r)
{
    p.setPen(Pen(Ink, 1.2));
    p.setBrush(Amber);
    p.drawRoundedRect(r, 2.5, 2.5);
    const QRectF screen(r.left() + r.width() * 0.18, r.top() + r.height() * 0.14, r.width() * 0.64, r.height() * 0.42);
    p.setBrush(QColor(0x26, 0x33, 0x3d));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(screen, 1, 1);
    p.setPen(Pen(QColor(0x8c, 0xe9, 0x9a), 1.0));
    p.drawLine(QPointF(screen.left() + 1.5, screen.center().y()), QPointF(screen.right() - 1.5, screen.center().y()));
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(r.center().x(), r.bottom() - r.height() * 0.22), r.width() * 0.12, r.width() * 0.12);
}

void Monitor(QPainter &p, const QRectF &r)
{
    p.setPen(Pen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.75), 1.5, 1.5);
    p.drawLine(QPointF(r.center().x(), r.top() + r.height() * 0.75), QPointF(r.center().x(), r.bottom()));
    p.drawLine(QPointF(r.center().x() - r.width() * 0.25, r.bottom()), QPointF(r.center().x() + r.width() * 0.25, r.bottom()));
}

void Arrow(QPainter &p, QPointF from, QPointF to, const QColor &c)
{
    p.setPen(Pen(c, 2.2));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    QPainterPath head;
    head.moveTo(to + d * 1.5);
    head.lineTo(to - d * 3.0 + n * 3.2);
    head.lineTo(to - d * 3.0 - n * 3.2);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(head);
}

void Sheet(QPainter &p, const QRectF &r)
{
    p.setPen(Pen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRoundedRect(r, 1.5, 1.5);
}

void Table(QPainter &p, const QColor &head)
{
    Sheet(p, QRectF(3, 4, 18, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(head);
    p.drawRect(QRectF(3.6, 4.6, 16.8, 3.6));
    p.setPen(Pen(Ink, 0.9));
    for (qreal y : {11.0, 14.0, 17.0})
        p.drawLine(QPointF(4, y), QPointF(20, y));
    p.drawLine(QPointF(9, 8.2), QPointF(9, 19.5));
}

void Chip(QPainter &p, const QString &letter)
{
    p.setPen(Pen(Ink, 1.2));
    for (qreal v : {7.0, 10.5, 14.0, 17.5}) {
        p.drawLine(QPointF(2.5, v), QPointF(5, v));
        p.drawLine(QPointF(19, v), QPointF(21.5, v));
        p.drawLine(QPointF(v, 2.5), QPointF(v, 5));
        p.drawLine(QPointF(v, 19), QPointF(v, 21.5));
    }
    p.setBrush(QColor(0x3b, 0x4b, 0x5c));
    p.drawRoundedRect(QRectF(5, 5, 14, 14), 1.5, 1.5);
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(5, 5, 14, 14), Qt::AlignCenter, letter);
}

QIcon Build(int id)
{
    switch (id) {
    case CommandId::AdvancedFeatures:
        return Make([](QPainter &p) {
            const qreal knobs[] = {15, 8, 12};
            for (int i = 0; i < 3; ++i) {
                const qreal y = 6 + i * 6;
                p.setPen(Pen(Ink, 1.6));
                p.drawLine(QPointF(3, y), QPointF(21, y));
                p.setBrush(i == 1 ? Orange : Blue);
                p.setPen(Pen(Ink, 1.0));
                p.drawEllipse(QPointF(knobs[i], y), 2.6, 2.6);
            }
        });
    case CommandId::DatalogFeatures:
        return Make([](QPainter &p) {
            Sheet(p, QRectF(3, 3, 14, 18));
            p.setPen(Pen(Ink, 1.0));
            for (qreal y : {8.0, 11.0, 14.0})
                p.drawLine(QPointF(6, y), QPointF(13, y));
            p.setBrush(Paper);
            p.setPen(Pen(Blue, 1.6));
            p.drawEllipse(QPointF(16.5, 16.5), 5, 5);
            p.drawLine(QPointF(16.5, 16.5), QPointF(16.5, 13.5));
            p.drawLine(QPointF(16.5, 16.5), QPointF(18.8, 17.8));
        });
    case CommandId::ViewLog:
        return Make([](QPainter &p) {
            Sheet(p, QRectF(2.5, 3, 19, 18));
            p.setPen(Pen(Green, 1.8));
            QPainterPath path;
            path.moveTo(5, 15);
            path.lineTo(9, 10);
            path.lineTo(12, 13);
            path.lineTo(15, 7);
            path.lineTo(19, 11);
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
            p.setPen(Pen(Red, 1.0));
            p.drawLine(QPointF(4.5, 8), QPointF(19.5, 8));
            p.setPen(Pen(Ink, 1.0));
            p.drawLine(QPointF(5, 18), QPointF(19, 18));
        });
    case CommandId::DisplayMode:
        return Make([](QPainter &p) {
            p.setPen(Pen(Ink, 1.6));
            p.setBrush(Paper);
            QPainterPath dial;
            dial.moveTo(3, 17);
            dial.arcTo(QRectF(3, 5, 18, 24), 180, -180);
            dial.closeSubpath();
            p.drawPath(dial);
            p.setPen(Pen(Green, 2.4));
            p.drawArc(QRectF(5.5, 7.5, 13, 19), 180 * 16, -70 * 16);
            p.setPen(Pen(Orange, 2.4));
            p.drawArc(QRectF(5.5, 7.5, 13, 19), 110 * 16, -50 * 16);
            p.setPen(Pen(Red, 2.4));
            p.drawArc(QRectF(5.5, 7.5, 13, 19), 60 * 16, -60 * 16);
            p.setPen(Pen(Ink, 1.8));
            p.drawLine(QPointF(12, 17), QPointF(15.5, 10));
            p.setBrush(Ink);
            p.drawEllipse(QPointF(12, 17), 1.6, 1.6);
        });
    case CommandId::InstrumentHistory:
        // A card index of instruments with a clock: what happened when.
        return Make([](QPainter &p) {
            Sheet(p, QRectF(2.5, 3, 14, 18));
            p.setPen(Pen(Ink, 1.0));
            for (qreal y : {7.0, 10.0, 13.0})
                p.drawLine(QPointF(5, y), QPointF(13, y));
            p.setBrush(Paper);
            p.setPen(Pen(Orange, 1.6));
            p.drawEllipse(QPointF(16, 16), 5.5, 5.5);
            p.setPen(Pen(Ink, 1.4));
            p.drawLine(QPointF(16, 16), QPointF(16, 12.5));
            p.drawLine(QPointF(16, 16), QPointF(18.5, 17.5));
        });
    case CommandId::ResetViews:
    case CommandId::OptionsResetViews:
        return Make([](QPainter &p) {
            p.setPen(Pen(Ink, 1.2));
            p.setBrush(QColor(0xd8, 0xe6, 0xf5));
            p.drawRect(QRectF(3, 4, 8, 7));
            p.drawRect(QRectF(3, 13, 8, 7));
            p.setBrush(QColor(0xfd, 0xe8, 0xc8));
            p.drawRect(QRectF(13, 4, 8, 9));
            p.setPen(Pen(Blue, 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(13, 13.5, 8, 8), 90 * 16, 270 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(Blue);
            QPainterPath head;
            head.moveTo(17, 11.8);
            head.lineTo(19.6, 13.6);
            head.lineTo(17, 15.4);
            head.closeSubpath();
            p.drawPath(head);
        });
    case CommandId::Upload:
        return Make([](QPainter &p) {
            Detector(p, QRectF(2, 6, 8, 13));
            Monitor(p, QRectF(13, 5, 9, 14));
            Arrow(p, QPointF(9, 2.8), QPointF(15.5, 2.8), Green);
        });
    case CommandId::Download:
        return Make([](QPainter &p) {
            Detector(p, QRectF(2, 6, 8, 13));
            Monitor(p, QRectF(13, 5, 9, 14));
            Arrow(p, QPointF(16, 2.8), QPointF(8.5, 2.8), Orange);
        });
    case CommandId::ConfigurationWizard:
        return Make([](QPainter &p) {
            p.setPen(Pen(Ink, 2.6));
            p.drawLine(QPointF(4, 20), QPointF(15, 9));
            p.setPen(Pen(Paper, 1.2));
            p.drawLine(QPointF(13, 11), QPointF(15, 9));
            p.setPen(Qt::NoPen);
            p.setBrush(Amber);
            QPainterPath star;
            const QPointF c(17.5, 6.5);
            for (int i = 0; i < 10; ++i) {
                const qreal a = M_PI / 2 + i * M_PI / 5;
                const qreal r = (i % 2) ? 2.0 : 4.8;
                const QPointF pt(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
                i ? star.lineTo(pt) : star.moveTo(pt);
            }
            star.closeSubpath();
            p.drawPath(star);
        });
    case CommandId::InstrumentView:
        return Make([](QPainter &p) { Detector(p, QRectF(6, 2, 12, 20)); });
    case CommandId::Sensors:
        return Make([](QPainter &p) {
            p.setPen(Pen(Ink, 1.4));
            p.setBrush(QColor(0xc9, 0xd3, 0xdd));
            p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
            p.setBrush(Paper);
            p.drawEllipse(QPointF(12, 12), 5, 5);
            p.setPen(Pen(Ink, 0.9));
            for (int i = -2; i <= 2; ++i)
                p.drawLine(QPointF(9 + 0.2 * i, 12 + i * 1.6), QPointF(15 - 0.2 * i, 12 + i * 1.6));
        });
    case CommandId::Analog:
        return Make([](QPainter &p) {
            p.setPen(Pen(Ink, 1.0));
            p.drawLine(QPointF(3, 12), QPointF(21, 12));
            p.setPen(Pen(Blue, 2.0));
            QPainterPath wave;
            for (int i = 0; i <= 36; ++i) {
                const QPointF pt(3 + i * 0.5, 12 - 6.5 * std::sin(i * M_PI / 9));
                i ? wave.lineTo(pt) : wave.moveTo(pt);
            }
            p.drawPath(wave);
        });
    case CommandId::Digital:
        return Make([](QPainter &p) {
            p.setPen(Pen(Green, 2.0));
            const QPointF pts[] = {{3, 17}, {6, 17}, {6, 7}, {11, 7}, {11, 17}, {15, 17}, {15, 7}, {18, 7}, {18, 17}, {21, 17}};
            p.drawPolyline(pts, 10);
        });
    case CommandId::Memory:
        return Make([](QPainter &p) {
            p.setPen(Pen(Ink, 1.0));
            const QColor fills[] = {Blue, Blue, Orange, QColor(0xd0, 0xd7, 0xde), Green, QColor(0xd0, 0xd7, 0xde), Green};
            for (int i = 0; i < 7; ++i) {
                p.setBrush(fills[i]);
                p.drawRect(QRectF(4, 2.5 + i * 2.7, 16, 2.7));
            }
        });
    case CommandId::Flash:
        return Make([](QPainter &p) {
            Chip(p, QString());
            p.setPen(Qt::NoPen);
            p.setBrush(Amber);
            QPainterPath bolt;
            bolt.moveTo(13.5, 6);
            bolt.lineTo(8.5, 12.8);
            bolt.lineTo(11.8, 12.8);
            bolt.lineTo(10.3, 18);
            bolt.lineTo(15.5, 11);
            bolt.lineTo(12.2, 11);
            bolt.closeSubpath();
            p.drawPath(bolt);
        });
    case CommandId::Ram:
        return Make([](QPainter &p) { Chip(p, QStringLiteral("R")); });
    case CommandId::ToxicTable:
        return Make([](QPainter &p) { Table(p, Red); });
    case CommandId::RangeTable:
        return Make([](QPainter &p) { Table(p, Blue); });
    case CommandId::ViewHelp:
        return Make([](QPainter &p) {
            p.setPen(Pen(Blue, 1.6));
            p.setBrush(Paper);
            p.drawEllipse(QPointF(12, 12), 9, 9);
            QFont f = p.font();
            f.setPixelSize(13);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
        });
    default:
        return QIcon();
    }
}

} // namespace

QIcon CToolbarIcons::Icon(int commandId)
{
    return Build(commandId);
}

QIcon CToolbarIcons::AppIcon()
{
    return Make([](QPainter &p) { Detector(p, QRectF(5, 1.5, 14, 21)); });
}
