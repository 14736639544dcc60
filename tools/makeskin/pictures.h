// Every picture of the skin: its resource number, exact size, whether it
// carries alpha, and the code that draws it.
#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

#include <vector>

namespace makeskin {

struct PictureEntry {
    int id;
    QSize size;
    bool alpha;  // icons and the cursor; bitmaps are opaque RGB
    QImage (*draw)();
};

// All pictures, in resource-number order.
const std::vector<PictureEntry>& Pictures();

// The entry for `id`; nullptr when the skin has no such picture.
const PictureEntry* FindPicture(int id);

// Draws the picture in its stored form: 24-bit RGB for bitmaps, 32-bit ARGB
// (not premultiplied) for pictures with alpha.
QImage Render(const PictureEntry& entry);

// A picture button on the background: its plain picture, its lit one (hover
// or selected mode) and its top-left corner.
struct ButtonPlacement {
    int plainId;
    int litId;
    QPoint pos;
};

const std::vector<ButtonPlacement>& Buttons();

}  // namespace makeskin
