#include "widgets/BodyColours.h"

#include <QPalette>

namespace widgets {

message::Colour ToColour(const QColor& c)
{
    return message::Colour(c.red()) | (message::Colour(c.green()) << 8) | (message::Colour(c.blue()) << 16);
}

QColor ToQColor(message::Colour c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

std::array<message::Colour, 5> DefaultBodyColours(const QPalette& pal)
{
    // The grey of header lines: between text and background, as dark as the
    // classic grey text; the style's disabled text is too faint to read.
    const QColor ink = pal.color(QPalette::Active, QPalette::Text);
    const QColor paper = pal.color(QPalette::Active, QPalette::Base);
    const QColor grey((ink.red() * 55 + paper.red() * 45) / 100, (ink.green() * 55 + paper.green() * 45) / 100,
                      (ink.blue() * 55 + paper.blue() * 45) / 100);
    return {ToColour(pal.color(QPalette::Active, QPalette::WindowText)), ToColour(grey), 0xFF0000, 0x0000FF,
            ToColour(paper)};
}

} // namespace widgets
