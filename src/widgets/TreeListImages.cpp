#include "widgets/TreeListImages.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace widgets {

namespace {

constexpr int S = kTreeImageSize;

// A selected image is the same picture under a blue veil, as icons of
// selected items usually look.
void Veil(QPainter& p, const QRect& cell)
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    p.fillRect(cell, QColor(40, 80, 200, 90));
    p.restore();
}

void Globe(QPainter& p, QPoint o)
{
    p.save();
    p.translate(o);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 140), 1));
    QRadialGradient g(6, 5, 9);
    g.setColorAt(0, QColor(150, 200, 255));
    g.setColorAt(1, QColor(30, 100, 200));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(230, 240, 255, 200), 0.8));
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
    p.restore();
}

void Folder(QPainter& p, QPoint o, bool open)
{
    p.save();
    p.translate(o);
    const QColor edge(150, 110, 20);
    p.setPen(edge);
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 3, 6, 2); // tab
    p.drawRect(1, 4, 13, 9);
    if (open) {
        QPolygon front;
        front << QPoint(3, 7) << QPoint(15, 7) << QPoint(13, 13) << QPoint(1, 13);
        p.setBrush(QColor(255, 225, 120));
        p.drawPolygon(front);
    }
    p.restore();
}

// A sheet of news: paper with text lines.
void Sheet(QPainter& p, QPoint o, QColor paper, QColor ink)
{
    p.save();
    p.translate(o);
    p.setPen(QColor(90, 90, 90));
    p.setBrush(paper);
    p.drawRect(2, 1, 11, 13);
    p.setPen(ink);
    for (int y = 4; y <= 11; y += 2)
        p.drawLine(4, y, 11, y);
    p.restore();
}

void Dot(QPainter& p, QPoint o, QColor colour)
{
    p.save();
    p.translate(o);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawEllipse(QRectF(8.5, 8.5, 6.5, 6.5));
    p.restore();
}

void Star(QPainter& p, QPoint o)
{
    p.save();
    p.translate(o);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath star;
    const QPointF c(11.5, 4.5);
    for (int i = 0; i < 10; ++i) {
        const double r = (i % 2) ? 1.8 : 4.2;
        const double a = -M_PI / 2 + i * M_PI / 5;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            star.moveTo(pt);
        else
            star.lineTo(pt);
    }
    star.closeSubpath();
    p.setPen(QPen(QColor(170, 110, 0), 0.8));
    p.setBrush(QColor(255, 210, 0));
    p.drawPath(star);
    p.restore();
}

void Check(QPainter& p, QPoint o)
{
    p.save();
    p.translate(o);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 140, 40), 2));
    p.drawLine(QPointF(8, 11), QPointF(10.5, 13.5));
    p.drawLine(QPointF(10.5, 13.5), QPointF(15, 7.5));
    p.restore();
}

void DrawGroupImage(QPainter& p, int index, QPoint o)
{
    const QColor white(255, 255, 255), grey(215, 215, 215), ink(60, 90, 160), pale(150, 150, 150);
    switch (index) {
    case 0: Globe(p, o); break;
    case 1: Folder(p, o, false); break;
    case 2: Folder(p, o, true); break;
    case 3: Folder(p, o, false); break; // not used by the pane
    case 4: Folder(p, o, true); break;  // not used by the pane
    case 5:
    case 6:
        Sheet(p, o, white, ink);
        Star(p, o);
        break;
    case 7:
    case 8:
        Sheet(p, o, white, ink);
        Dot(p, o, QColor(230, 40, 40));
        break;
    case 9:
    case 10: Sheet(p, o, white, ink); break;
    case 11:
    case 12:
        Sheet(p, o, grey, pale);
        Dot(p, o, QColor(230, 140, 140));
        break;
    default: Sheet(p, o, grey, pale); break;
    }
}

void DrawArticleImage(QPainter& p, int index, QPoint o)
{
    switch (index) {
    case 2: // not read
        Sheet(p, o, QColor(255, 255, 240), QColor(40, 40, 40));
        Dot(p, o, QColor(230, 40, 40));
        break;
    case 3: // read since it was fetched
        Sheet(p, o, QColor(255, 255, 255), QColor(120, 120, 120));
        Check(p, o);
        break;
    case 4: // already read when fetched
        Sheet(p, o, QColor(225, 225, 225), QColor(160, 160, 160));
        break;
    default:
        Sheet(p, o, QColor(255, 255, 255), QColor(190, 190, 190));
        break;
    }
}

} // namespace

QPixmap LoadTreeListImages(int bitmapId, int imageCount)
{
    const int count = std::max(imageCount, 1);
    QImage strip(S, S * count, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    for (int i = 0; i < imageCount; ++i) {
        const QPoint origin(0, i * S);
        const QRect cell(origin, QSize(S, S));
        p.save();
        p.setClipRect(cell);
        if (bitmapId == IDB_GROUP_IMAGES) {
            DrawGroupImage(p, i, origin);
            if (i == 6 || i == 8 || i == 10 || i == 12 || i == 14)
                Veil(p, cell);
        } else if (bitmapId == IDB_ARTICLE_IMAGES) {
            DrawArticleImage(p, i, origin);
        }
        p.restore();
    }
    p.end();
    return QPixmap::fromImage(strip);
}

} // namespace widgets
