// Writing pictures as PNG files whose bytes depend only on the pixels.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace makeskin {

// The PNG encoding of `image`: no text, no time stamp, a fixed resolution.
// Opaque formats are stored without an alpha channel. Empty on failure, with
// the reason in *error.
QByteArray EncodePng(const QImage& image, QString* error);

// Replaces `path` with `bytes` in one step: on failure the old file is left
// as it was and *error says why.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

}  // namespace makeskin
