#pragma once
// The post window's tool bar images, drawn so that they stay crisp.

#include <QPixmap>

namespace compose {

// A 20x20 image for a command of the post window; a null pixmap for others.
QPixmap PostWindowImage(unsigned id);

} // namespace compose
