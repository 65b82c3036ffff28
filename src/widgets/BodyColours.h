#pragma once
// The body pane's five colours (text, header, boundary, attachment mark,
// background) as registry values (0x00BBGGRR), and their defaults.

#include "message/BodySink.h"

#include <QColor>

#include <array>

class QPalette;

namespace widgets {

message::Colour ToColour(const QColor& c);
QColor ToQColor(message::Colour c);

// The colours shown when none is set, from the window's active palette.
std::array<message::Colour, 5> DefaultBodyColours(const QPalette& palette);

} // namespace widgets
