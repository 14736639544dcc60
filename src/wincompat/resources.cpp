#include "wincompat/resources.h"

#include <QImageReader>
#include <QPixmapCache>

namespace platform {
namespace {

QString ResourcePath(int id) {
    return QStringLiteral(":/res/%1.png").arg(id);
}

// Every picture is a PNG. Saying so, and nothing else, spares Qt from loading
// each of its image plugins to ask them first. As QPixmap's own loading does,
// a picture asked for twice is shared.
QPixmap LoadPng(int id) {
    const QString path = ResourcePath(id);
    QPixmap picture;
    if (QPixmapCache::find(path, &picture)) {
        return picture;
    }
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    picture = QPixmap::fromImage(reader.read());
    if (!picture.isNull()) {
        QPixmapCache::insert(path, picture);
    }
    return picture;
}

}  // namespace

QPixmap LoadBitmap(int id) {
    return LoadPng(id);
}

QIcon LoadIcon(int id) {
    // A missing picture gives a null icon.
    return QIcon(LoadPng(id));
}

QPixmap LoadIconImage(int id, int cx, int cy) {
    const QPixmap picture = LoadPng(id);
    if (picture.isNull()) {
        return picture;
    }
    if (picture.width() == cx && picture.height() == cy) {
        return picture;
    }
    return picture.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QCursor LoadCursor(int id, QPoint hotSpot) {
    const QPixmap picture = LoadPng(id);
    if (picture.isNull()) {
        return QCursor(Qt::ArrowCursor);
    }
    return QCursor(picture, hotSpot.x(), hotSpot.y());
}

}  // namespace platform
