#pragma once
// The application icon and the tool bar images, drawn here so that they stay
// crisp at the tool bar's 40x30 size.

#include <QIcon>
#include <QPixmap>

namespace widgets {

QIcon AppIcon();
QPixmap AppIconPixmap(int size);
// The tool bar image of a command (40x30); a null pixmap for other ids.
QPixmap ToolBarImage(unsigned id);

} // namespace widgets
