#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace optrelle {

// The image format for a still path's extension ("jpeg", "bmp", "png", "tiff"),
// or empty for any other extension.
QByteArray stillFormatForPath(const QString &path);

// Writes image to path in format under a temporary name in the same folder and
// renames it into place, so a reader never sees part of the file.
bool writeImageAtomically(const QImage &image, const QString &path, const QByteArray &format);

// Writes bytes to path the same way.
bool writeFileAtomically(const std::vector<std::uint8_t> &bytes, const QString &path);

// Turn or rescale a picture file in place, in the format it has. False when the
// file cannot be read or written back; the file is then unchanged.
bool rotateImageFile(const QString &path, int degrees);
// A file already at the size is left untouched.
bool resampleImageFile(const QString &path, int width, int height);

} // namespace optrelle
