// Picture resources by number, as the program addresses them: the project's
// own PNGs, compiled in as ":/res/<id>.png". What else a resource carries
// (texts, hot spots, menus) is the program's and lives with it.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QPoint>

namespace platform {

// A bitmap resource at its own size; a null pixmap when there is none.
QPixmap LoadBitmap(int id);

// An icon resource for use at any size (window icons, the tray).
QIcon LoadIcon(int id);

// An icon resource rendered at cx x cy pixels, a picture of its own; a null
// pixmap when there is none.
QPixmap LoadIconImage(int id, int cx, int cy);

// A cursor resource with its hot spot, which the program's resource table
// gives; the arrow when there is no such picture.
QCursor LoadCursor(int id, QPoint hotSpot);

}  // namespace platform
