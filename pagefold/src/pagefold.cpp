// The C interface: the pending list, reading the images, writing the file
// atomically; no exception crosses into the caller.
#include "pagefold.h"

#include "jpegheader.h"
#include "pdfpages.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>

#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using pagefold::JpegImage;

namespace {

Q_LOGGING_CATEGORY(pagefoldLog, "pagefold")

struct PendingImage
{
    std::string path;
    std::string textPdf; // empty: no text layer
};

std::mutex pendingMutex;
std::vector<PendingImage> pendingImages;

QString fileName(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::optional<std::string> readFile(const std::string &path)
{
    QFile file(fileName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(pagefoldLog, "cannot read \"%s\": %s", path.c_str(),
                  qPrintable(file.errorString()));
        return std::nullopt;
    }
    return file.readAll().toStdString();
}

std::optional<JpegImage> readImage(const PendingImage &pending)
{
    const std::string &path = pending.path;
    std::optional<std::string> bytes = readFile(path);
    if (!bytes)
        return std::nullopt;
    JpegImage image;
    image.bytes = std::move(*bytes);
    const std::optional<pagefold::JpegHeader> header = pagefold::readJpegHeader(image.bytes);
    if (!header) {
        qCWarning(pagefoldLog, "not a complete 8-bit JPEG: \"%s\"", path.c_str());
        return std::nullopt;
    }
    image.header = *header;
    if (!pending.textPdf.empty()) {
        std::optional<std::string> layer = readFile(pending.textPdf);
        if (!layer)
            return std::nullopt;
        image.textLayer = std::move(*layer);
    }
    return image;
}

bool writeFile(const std::string &path, const std::string &pdf)
{
    QSaveFile file(fileName(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(pdf.data(), qint64(pdf.size())) != qint64(pdf.size()) || !file.commit()) {
        qCWarning(pagefoldLog, "cannot write \"%s\": %s", path.c_str(),
                  qPrintable(file.errorString()));
        return false; // QSaveFile removes its temporary file
    }
    return true;
}

bool makePdf(const std::string &path, const std::vector<PendingImage> &pending)
{
    if (pending.empty()) {
        qCWarning(pagefoldLog, "no images for \"%s\"", path.c_str());
        return false;
    }
    std::vector<JpegImage> images;
    images.reserve(pending.size());
    for (const PendingImage &imagePath : pending) {
        std::optional<JpegImage> image = readImage(imagePath);
        if (!image)
            return false;
        images.push_back(std::move(*image));
    }
    return writeFile(path, pagefold::pdfOfImages(images));
}

} // namespace

bool ClearAll(void)
{
    const std::lock_guard lock(pendingMutex);
    pendingImages.clear();
    return true;
}

bool AddImageWithText(const char *path, const char *textPdf)
{
    try {
        const std::lock_guard lock(pendingMutex);
        const bool withText = textPdf != nullptr;
        pendingImages.push_back({path ? path : "", withText ? textPdf : ""});
        // An empty text layer is listed as a missing file, so MakePDF fails.
        if (withText && !*textPdf)
            pendingImages.back().path.clear();
        return path && *path && (!withText || *textPdf);
    } catch (const std::exception &error) {
        qCWarning(pagefoldLog, "cannot add an image: %s", error.what());
        return false;
    }
}

bool AddImage(const char *path)
{
    return AddImageWithText(path, nullptr);
}

bool MakePDF(const char *path, void *)
{
    if (!path || !*path)
        return false;
    try {
        const std::lock_guard lock(pendingMutex);
        return makePdf(path, pendingImages);
    } catch (const std::exception &error) {
        qCWarning(pagefoldLog, "cannot make \"%s\": %s", path, error.what());
    } catch (...) {
        qCWarning(pagefoldLog, "cannot make \"%s\": unexpected failure", path);
    }
    return false;
}
