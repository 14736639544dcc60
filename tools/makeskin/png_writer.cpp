#include "png_writer.h"

#include <QBuffer>
#include <QImageWriter>
#include <QSaveFile>

namespace makeskin {

QByteArray EncodePng(const QImage& image, QString* error) {
    QImage stored = image;
    // Otherwise the resolution would follow the screen of the machine.
    constexpr int kDotsPerMeter = 3780;  // 96 dpi
    stored.setDotsPerMeterX(kDotsPerMeter);
    stored.setDotsPerMeterY(kDotsPerMeter);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(stored)) {
        *error = writer.errorString();
        return QByteArray();
    }
    return bytes;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace makeskin
