#include "widgets/AppIcons.h"

#include "platform/CommandIds.h"

#include <QPainter>
#include <QPainterPath>

namespace widgets {

namespace cmd = platform::cmd;

namespace {

const QColor kInk(40, 48, 64);
const QColor kPaper(252, 252, 246);
const QColor kBlue(52, 101, 164);
const QColor kGreen(78, 154, 6);
const QColor kRed(204, 0, 0);
const QColor kYellow(237, 212, 0);

QPixmap Blank(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A sheet of paper with a folded corner and a few lines of text.
void Sheet(QPainter& p, QRectF r, bool lines = true)
{
    const qreal fold = r.width() / 3;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    if (lines) {
        p.setPen(QPen(QColor(120, 130, 150), 1));
        for (qreal y = r.top() + fold + 3; y < r.bottom() - 2; y += 3)
            p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    }
}

void Envelope(QPainter& p, QRectF r)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + 1));
    p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + 1));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    QPolygonF head;
    head << to + u * 3 << to - u * 4 + n * 5 << to - u * 4 - n * 5;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
}

void Pencil(QPainter& p, QPointF tip)
{
    p.save();
    p.translate(tip);
    p.rotate(-45);
    p.setPen(QPen(kInk, 1));
    p.setBrush(kYellow);
    p.drawRect(QRectF(4, -2.5, 14, 5));
    p.setBrush(QColor(230, 190, 150));
    QPolygonF cone;
    cone << QPointF(0, 0) << QPointF(4, -2.5) << QPointF(4, 2.5);
    p.drawPolygon(cone);
    p.restore();
}

} // namespace

QPixmap AppIconPixmap(int size)
{
    QPixmap pixmap = Blank(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    // A globe of news behind a sheet with a Japanese character.
    QRadialGradient sky(QPointF(20, 18), 26);
    sky.setColorAt(0, QColor(114, 159, 207));
    sky.setColorAt(1, kBlue);
    p.setPen(QPen(QColor(32, 74, 135), 1.5));
    p.setBrush(sky);
    p.drawEllipse(QRectF(3, 3, 36, 36));
    p.setPen(QPen(QColor(220, 235, 250), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(12, 3, 18, 36));
    p.drawLine(QPointF(3, 21), QPointF(39, 21));
    p.drawLine(QPointF(6, 12), QPointF(36, 12));
    p.drawLine(QPointF(6, 30), QPointF(36, 30));
    Sheet(p, QRectF(24, 18, 21, 27), false);
    p.setPen(QPen(kRed, 2.2, Qt::SolidLine, Qt::RoundCap));
    // a simple "文"-like mark drawn with strokes
    p.drawLine(QPointF(34.5, 26), QPointF(34.5, 28));
    p.drawLine(QPointF(29, 29), QPointF(40, 29));
    p.drawLine(QPointF(30.5, 31), QPointF(39, 42));
    p.drawLine(QPointF(38.5, 31), QPointF(30, 42));
    return pixmap;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(AppIconPixmap(size));
    return icon;
}

QPixmap ToolBarImage(unsigned id)
{
    QPixmap pixmap = Blank(40, 30);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
    case cmd::AppExit: {
        // a door with an arrow leaving it
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(193, 125, 17));
        p.drawRect(QRectF(8, 4, 14, 22));
        p.setBrush(kYellow);
        p.drawEllipse(QRectF(18, 14, 2.5, 2.5));
        Arrow(p, QPointF(22, 15), QPointF(34, 15), kRed);
        break;
    }
    case cmd::FileOpen: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(196, 160, 0));
        p.drawRect(QRectF(7, 9, 24, 16));
        p.setBrush(kYellow);
        QPolygonF lid;
        lid << QPointF(11, 13) << QPointF(35, 13) << QPointF(31, 25) << QPointF(7, 25);
        p.drawPolygon(lid);
        Arrow(p, QPointF(24, 8), QPointF(31, 3), kGreen);
        break;
    }
    case cmd::FileSave: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(10, 4, 20, 22), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(13, 4, 14, 9));
        p.setBrush(QColor(186, 189, 182));
        p.drawRect(QRectF(14, 17, 12, 9));
        break;
    }
    case cmd::EditCopy:
        Sheet(p, QRectF(8, 3, 15, 19));
        Sheet(p, QRectF(17, 8, 15, 19));
        break;
    case cmd::Online: {
        // two plug halves meeting
        p.setPen(QPen(kInk, 1));
        p.setBrush(kGreen);
        p.drawRoundedRect(QRectF(6, 10, 11, 10), 2, 2);
        p.setBrush(QColor(186, 189, 182));
        p.drawRect(QRectF(17, 12, 4, 2));
        p.drawRect(QRectF(17, 16, 4, 2));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(23, 10, 11, 10), 2, 2);
        p.setPen(QPen(kInk, 2));
        p.drawLine(QPointF(1, 15), QPointF(6, 15));
        p.drawLine(QPointF(34, 15), QPointF(39, 15));
        break;
    }
    case cmd::PrevArticle:
        Sheet(p, QRectF(16, 4, 16, 22));
        Arrow(p, QPointF(16, 15), QPointF(6, 15), kBlue);
        break;
    case cmd::NextUnread:
        Sheet(p, QRectF(8, 4, 16, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QRectF(11, 6, 5, 5));
        Arrow(p, QPointF(24, 15), QPointF(34, 15), kBlue);
        break;
    case cmd::NewArticle:
        Sheet(p, QRectF(8, 3, 18, 24));
        Pencil(p, QPointF(18, 22));
        break;
    case cmd::FollowUp: {
        Sheet(p, QRectF(6, 3, 16, 21));
        Sheet(p, QRectF(18, 7, 16, 21));
        p.setPen(QPen(kGreen, 2));
        p.drawLine(QPointF(21, 20), QPointF(31, 20));
        p.drawLine(QPointF(21, 23), QPointF(29, 23));
        break;
    }
    case cmd::NewMail:
        Envelope(p, QRectF(6, 7, 24, 16));
        Pencil(p, QPointF(26, 20));
        break;
    case cmd::ReplyMail:
        Envelope(p, QRectF(12, 7, 24, 16));
        Arrow(p, QPointF(16, 25), QPointF(5, 25), kGreen);
        break;
    case cmd::MarkRead: {
        Sheet(p, QRectF(8, 3, 17, 23));
        p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF tick;
        tick << QPointF(19, 15) << QPointF(24, 21) << QPointF(34, 7);
        p.drawPolyline(tick);
        break;
    }
    case cmd::ShowHeader: {
        Sheet(p, QRectF(10, 3, 20, 24), false);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(13, 10, 14, 5));
        p.setPen(QPen(QColor(120, 130, 150), 1));
        for (qreal y = 18; y < 26; y += 3)
            p.drawLine(QPointF(13, y), QPointF(27, y));
        break;
    }
    default:
        return QPixmap();
    }
    return pixmap;
}

} // namespace widgets
