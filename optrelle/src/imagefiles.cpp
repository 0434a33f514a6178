#include "imagefiles.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTransform>

#include <functional>

namespace optrelle {

namespace {

constexpr int jpegQuality = 95;

// Reads the file, changes the picture and writes it back in the format it had.
bool rewriteImageFile(const QString &path, const std::function<QImage(const QImage &)> &change)
{
    QImageReader reader(path);
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    const QImage changed = change(image);
    return !changed.isNull() && writeImageAtomically(changed, path, format);
}

} // namespace

QByteArray stillFormatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "jpeg";
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return "tiff";
    if (suffix == QLatin1String("bmp") || suffix == QLatin1String("png"))
        return suffix.toLatin1();
    return {};
}

bool writeImageAtomically(const QImage &image, const QString &path, const QByteArray &format)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    if (format == "jpeg")
        writer.setQuality(jpegQuality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writeFileAtomically(const std::vector<std::uint8_t> &bytes, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())) !=
            qint64(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool rotateImageFile(const QString &path, int degrees)
{
    if (degrees % 360 == 0)
        return QImageReader(path).canRead();
    return rewriteImageFile(path, [degrees](const QImage &image) {
        // Right angles turn exactly; other angles are smoothed on a larger canvas.
        const Qt::TransformationMode mode =
            degrees % 90 == 0 ? Qt::FastTransformation : Qt::SmoothTransformation;
        return image.transformed(QTransform().rotate(degrees), mode);
    });
}

bool resampleImageFile(const QString &path, int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    // Read from the header: a still already at the size keeps its bytes.
    const QImageReader reader(path);
    if (reader.canRead() && reader.size() == QSize(width, height))
        return true;
    return rewriteImageFile(path, [width, height](const QImage &image) {
        return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    });
}

} // namespace optrelle
