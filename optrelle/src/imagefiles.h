#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace optrelle {

// The image format for a still path's extension ("jpeg", "bmp", "png", "tiff"),
// or empty for any other extension.
QByteArray stillFormatForPath(const QString &path);

// Writes image to path in format under a temporary name in the same folder and
// renames it into place, so a reader never sees part of the file.
bool writeImageAtomically(const QImage &image, const QString &path, const QByteArray &format);

// Turn or rescale a picture file in place, in the format it has. False when the
// file cannot be read or written back; the file is then unchanged.
bool rotateImageFile(const QString &path, int degrees);
bool resampleImageFile(const QString &path, int width, int height);

} // namespace optrelle
