#pragma once
// Printing the shown article: a "Page n/total" line at the top of each page,
// then the body lines, tabs expanded.
#include <QFont>
#include <QStringList>

class QPrinter;

namespace widgets {

struct BodyPrintLayout {
    int linesPerPage = 0;     // the header line included
    int bodyLinesPerPage = 0; // never below 1
    int totalPages = 0;
};

// areaHeight and lineHeight in the same units; lineCount the body lines.
BodyPrintLayout ComputeBodyPrintLayout(int areaHeight, int lineHeight, int lineCount);

// A line as printed: cut at its first CR, tabs expanded to 8 columns.
QString PrintableLine(const QString& line);

// Prints lines with font (a screen font, rescaled for the printer) and
// returns the page count; 0 when the printer could not be started.
int PrintBody(QPrinter& printer, const QFont& font, const QStringList& lines);

} // namespace widgets
