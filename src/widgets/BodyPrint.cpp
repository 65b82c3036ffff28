#include "widgets/BodyPrint.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace widgets {

BodyPrintLayout ComputeBodyPrintLayout(int areaHeight, int lineHeight, int lineCount)
{
    BodyPrintLayout layout;
    layout.linesPerPage = lineHeight > 0 ? areaHeight / lineHeight : 0;
    // A font taller than the page still prints one body line per page.
    layout.bodyLinesPerPage = std::max(1, layout.linesPerPage - 1);
    layout.totalPages = std::max(0, lineCount) / layout.bodyLinesPerPage + 1;
    return layout;
}

QString PrintableLine(const QString& line)
{
    const qsizetype cr = line.indexOf(QLatin1Char('\r'));
    const QString cut = cr < 0 ? line : line.left(cr);
    QString out;
    out.reserve(cut.size());
    for (QChar c : cut) {
        if (c == QLatin1Char('\t')) {
            do
                out += QLatin1Char(' ');
            while (out.size() % 8 != 0);
        } else {
            out += c;
        }
    }
    return out;
}

int PrintBody(QPrinter& printer, const QFont& font, const QStringList& lines)
{
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    // Point sizes carry over to the printer's resolution by themselves.
    const QFont printerFont(font, &printer);
    painter.setFont(printerFont);
    const QFontMetrics fm(printerFont, &printer);

    const double pxPerMmX = printer.logicalDpiX() / 25.4;
    const double pxPerMmY = printer.logicalDpiY() / 25.4;
    const QRect page(0, 0, printer.width(), printer.height());
    QRect area = page;
    const QRect margined = page.adjusted(int(10 * pxPerMmX), int(10 * pxPerMmY), -int(15 * pxPerMmX),
                                         -int(10 * pxPerMmY));
    if (margined.width() > 0 && margined.height() > 0)
        area = margined;

    const int lineHeight = std::max(1, fm.boundingRect(QStringLiteral("BBB")).height());
    const BodyPrintLayout layout = ComputeBodyPrintLayout(area.height(), lineHeight, int(lines.size()));

    for (int pageNo = 1; pageNo <= layout.totalPages; ++pageNo) {
        if (pageNo > 1 && !printer.newPage())
            break;
        const QString header = QStringLiteral("Page %1/%2").arg(pageNo).arg(layout.totalPages);
        painter.drawText(QRect(area.left(), area.top(), area.width(), lineHeight), Qt::AlignRight | Qt::AlignTop,
                         header);
        const int first = (pageNo - 1) * layout.bodyLinesPerPage;
        const int last = std::min(int(lines.size()), first + layout.bodyLinesPerPage);
        for (int i = first; i < last; ++i) {
            const int y = area.top() + (i - first + 1) * lineHeight;
            painter.drawText(QPoint(area.left(), y + fm.ascent()), PrintableLine(lines[i]));
        }
    }
    painter.end();
    return layout.totalPages;
}

} // namespace widgets
