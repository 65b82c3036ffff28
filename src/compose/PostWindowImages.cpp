#include "compose/PostWindowImages.h"

#include "platform/CommandIds.h"

#include <QPainter>
#include <QPainterPath>

namespace compose {

namespace {

void Page(QPainter& p, QRectF r)
{
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(120, 120, 160), 1));
    for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 3)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

} // namespace

QPixmap PostWindowImage(unsigned id)
{
    namespace cmd = platform::cmd;
    namespace pcmd = platform::postcmd;
    QPixmap image(20, 20);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
    case pcmd::InsertFile:
        Page(p, QRectF(3.5, 1.5, 11, 14));
        p.setPen(QPen(QColor(0, 120, 0), 2));
        p.drawLine(QPointF(10, 12), QPointF(10, 19));
        p.drawLine(QPointF(7, 16), QPointF(10, 19));
        p.drawLine(QPointF(13, 16), QPointF(10, 19));
        break;
    case cmd::EditCut:
        p.setPen(QPen(Qt::black, 1.5));
        p.drawLine(QPointF(6, 2), QPointF(13, 13));
        p.drawLine(QPointF(14, 2), QPointF(7, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6, 15.5), 3, 3);
        p.drawEllipse(QPointF(14, 15.5), 3, 3);
        break;
    case cmd::EditCopy:
        Page(p, QRectF(2.5, 1.5, 10, 12));
        Page(p, QRectF(7.5, 6.5, 10, 12));
        break;
    case cmd::EditPaste:
        p.setPen(QPen(QColor(90, 60, 20), 1));
        p.setBrush(QColor(200, 160, 90));
        p.drawRoundedRect(QRectF(2.5, 3.5, 12, 15), 1.5, 1.5);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(QRectF(5.5, 1.5, 6, 3));
        Page(p, QRectF(8.5, 8.5, 9, 10));
        break;
    case pcmd::InsertSignature: {
        Page(p, QRectF(2.5, 1.5, 13, 16));
        QPainterPath pen;
        pen.moveTo(5, 15);
        pen.cubicTo(8, 9, 10, 17, 13, 12);
        pen.cubicTo(14, 11, 15, 14, 17, 13);
        p.setPen(QPen(QColor(0, 0, 180), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawPath(pen);
        break;
    }
    case pcmd::WordWrap: {
        p.setPen(QPen(Qt::black, 1.5));
        p.drawLine(QPointF(2, 4), QPointF(17, 4));
        p.drawLine(QPointF(2, 9), QPointF(13, 9));
        p.drawLine(QPointF(2, 15), QPointF(8, 15));
        QPainterPath arrow;
        arrow.moveTo(13, 9);
        arrow.cubicTo(19, 9, 19, 15, 13, 15);
        p.setPen(QPen(QColor(0, 100, 200), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(arrow);
        p.drawLine(QPointF(13, 15), QPointF(15.5, 12.5));
        p.drawLine(QPointF(13, 15), QPointF(15.5, 17.5));
        break;
    }
    case pcmd::Send: {
        QPainterPath plane;
        plane.moveTo(1, 9);
        plane.lineTo(19, 2);
        plane.lineTo(13, 18);
        plane.lineTo(9, 12);
        plane.closeSubpath();
        p.setPen(QPen(QColor(20, 60, 140), 1.2));
        p.setBrush(QColor(120, 170, 240));
        p.drawPath(plane);
        p.drawLine(QPointF(9, 12), QPointF(19, 2));
        break;
    }
    default:
        return {};
    }
    return image;
}

} // namespace compose
