#include "platform/resources.h"

#include <QFile>

#include "res/resource.h"

namespace platform {
namespace {

QString ResourcePath(int id) {
    return QStringLiteral(":/res/%1.png").arg(id);
}

}  // namespace

QPixmap LoadBitmap(int id) {
    return QPixmap(ResourcePath(id));
}

QIcon LoadIcon(int id) {
    const QString path = ResourcePath(id);
    if (!QFile::exists(path)) {
        return QIcon();
    }
    return QIcon(path);
}

QPixmap LoadIconImage(int id, int cx, int cy) {
    const QPixmap picture(ResourcePath(id));
    if (picture.isNull()) {
        return picture;
    }
    if (picture.width() == cx && picture.height() == cy) {
        return picture;
    }
    return picture.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QCursor LoadCursor(int id) {
    const QPixmap picture(ResourcePath(id));
    if (picture.isNull()) {
        return QCursor(Qt::ArrowCursor);
    }
    // The hand's finger tip is the hot spot.
    if (id == IDC_HAND) {
        return QCursor(picture, 5, 0);
    }
    return QCursor(picture, 0, 0);
}

QString LoadString(int id) {
    if (id == IDS_ABOUTBOX) {
        return QStringLiteral("关于 melvane(&A)...");
    }
    return QString();
}

}  // namespace platform
