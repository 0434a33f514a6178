#include "imagefiles.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTransform>

#include <turbojpeg.h>

#include <functional>
#include <memory>

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

bool writeBytesAtomically(const char *bytes, qint64 size, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes, size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// libturbojpeg's own encoder: about three times faster than going through the
// image writer on a 12-megapixel still. Same file as the writer gave: baseline,
// 4:2:0 (grey pictures stay grey), the picture's resolution in the JFIF header.
QByteArray encodeJpeg(const QImage &image)
{
    const bool grey = image.format() == QImage::Format_Grayscale8;
    const bool bgr = image.format() == QImage::Format_BGR888;
    const QImage pixels = grey || bgr ? image : image.convertToFormat(QImage::Format_RGB888);
    const int pixelFormat = grey ? TJPF_GRAY : bgr ? TJPF_BGR : TJPF_RGB;
    const std::unique_ptr<void, int (*)(tjhandle)> encoder(tjInitCompress(), tjDestroy);
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    if (!encoder || pixels.isNull() ||
        tjCompress2(encoder.get(), pixels.constBits(), pixels.width(), int(pixels.bytesPerLine()),
                    pixels.height(), pixelFormat, &jpeg, &size, grey ? TJSAMP_GRAY : TJSAMP_420,
                    jpegQuality, 0) != 0) {
        tjFree(jpeg);
        return {};
    }
    QByteArray bytes(reinterpret_cast<const char *>(jpeg), qsizetype(size));
    tjFree(jpeg);
    // The JFIF segment follows the start marker: units, then horizontal and vertical density.
    if (bytes.size() > 18 && bytes.mid(6, 5) == QByteArrayView("JFIF\0", 5)) {
        const auto dpi = [](int dotsPerMeter) {
            return qBound(1, qRound(dotsPerMeter * 0.0254), 65535);
        };
        const int x = dpi(image.dotsPerMeterX()), y = dpi(image.dotsPerMeterY());
        bytes[13] = 1; // dots per inch
        bytes[14] = char(x >> 8), bytes[15] = char(x & 0xff);
        bytes[16] = char(y >> 8), bytes[17] = char(y & 0xff);
    }
    return bytes;
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
    if (format == "jpeg") {
        const QByteArray jpeg = encodeJpeg(image);
        return !jpeg.isEmpty() && writeBytesAtomically(jpeg.constData(), jpeg.size(), path);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writeFileAtomically(const std::vector<std::uint8_t> &bytes, const QString &path)
{
    return writeBytesAtomically(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()),
                                path);
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
