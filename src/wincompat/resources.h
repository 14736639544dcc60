// Resources by number, as the program addresses them. Pictures are the
// project's own PNGs, compiled in as ":/res/<id>.png".
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace platform {

// A bitmap resource at its own size; a null pixmap when there is none.
QPixmap LoadBitmap(int id);

// An icon resource for use at any size (window icons, the tray).
QIcon LoadIcon(int id);

// An icon resource rendered at cx x cy pixels, a picture of its own; a null
// pixmap when there is none.
QPixmap LoadIconImage(int id, int cx, int cy);

// A cursor resource with its hot spot; the arrow when there is none.
QCursor LoadCursor(int id);

// A string resource; empty when there is none.
QString LoadString(int id);

}  // namespace platform
