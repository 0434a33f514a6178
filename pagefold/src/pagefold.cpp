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

std::mutex pendingMutex;
std::vector<std::string> pendingPaths;

QString fileName(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::optional<JpegImage> readImage(const std::string &path)
{
    QFile file(fileName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(pagefoldLog, "cannot read image \"%s\": %s", path.c_str(),
                  qPrintable(file.errorString()));
        return std::nullopt;
    }
    JpegImage image;
    image.bytes = file.readAll().toStdString();
    const std::optional<pagefold::JpegHeader> header = pagefold::readJpegHeader(image.bytes);
    if (!header) {
        qCWarning(pagefoldLog, "not a complete 8-bit JPEG: \"%s\"", path.c_str());
        return std::nullopt;
    }
    image.header = *header;
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

bool makePdf(const std::string &path, const std::vector<std::string> &imagePaths)
{
    if (imagePaths.empty()) {
        qCWarning(pagefoldLog, "no images for \"%s\"", path.c_str());
        return false;
    }
    std::vector<JpegImage> images;
    images.reserve(imagePaths.size());
    for (const std::string &imagePath : imagePaths) {
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
    pendingPaths.clear();
    return true;
}

bool AddImage(const char *path)
{
    try {
        const std::lock_guard lock(pendingMutex);
        pendingPaths.emplace_back(path ? path : "");
        return path && *path;
    } catch (const std::exception &error) {
        qCWarning(pagefoldLog, "cannot add an image: %s", error.what());
        return false;
    }
}

bool MakePDF(const char *path, void *)
{
    if (!path || !*path)
        return false;
    try {
        const std::lock_guard lock(pendingMutex);
        return makePdf(path, pendingPaths);
    } catch (const std::exception &error) {
        qCWarning(pagefoldLog, "cannot make \"%s\": %s", path, error.what());
    } catch (...) {
        qCWarning(pagefoldLog, "cannot make \"%s\": unexpected failure", path);
    }
    return false;
}
