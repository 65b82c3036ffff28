#pragma once

#include <QPixmap>

namespace widgets {

// Image strips of the tree lists: images of equal size stacked vertically,
// on a transparent background.
enum : int {
    IDB_GROUP_IMAGES = 102,   // 15 images: group pane
    IDB_ARTICLE_IMAGES = 103, // 5 images: article list
};

constexpr int kTreeImageSize = 16;

// The strip for a bitmap id; an unknown id gives empty images of the
// standard size so that rows keep their layout.
QPixmap LoadTreeListImages(int bitmapId, int imageCount);

} // namespace widgets
