#include "frameimage.h"

#include <algorithm>
#include <cstring>

namespace optrelle {

QImage wrapFrameUpsideDown(const Frame &frame)
{
    return QImage(frame.pixels.data(), frame.width, frame.height, qsizetype(frame.rowBytes()),
                  QImage::Format_BGR888);
}

QRect regionInFrame(QSize frame, const QRectF &region)
{
    const QRect whole(QPoint(0, 0), frame);
    if (region.isEmpty())
        return whole;
    return whole & QRectF(region.x() * frame.width(), region.y() * frame.height(),
                          region.width() * frame.width(), region.height() * frame.height())
                       .toAlignedRect();
}

QSize imageSize(QSize frame, int quarterTurns, const QRectF &region)
{
    const QSize cut = regionInFrame(frame, region).size();
    return quarterTurns % 2 ? cut.transposed() : cut;
}

QImage frameToImage(const Frame &frame, int quarterTurns, const QRectF &region)
{
    const QRect cut = regionInFrame(QSize(frame.width, frame.height), region);
    const int turns = ((quarterTurns % 4) + 4) % 4;
    // A still's picture is kept for the next one on this thread: a fresh 36 MB
    // picture costs more in page faults than filling it does.
    static thread_local QImage image;
    const QSize size = imageSize(QSize(frame.width, frame.height), turns, region);
    if (image.size() != size || !image.isDetached())
        image = QImage(size, QImage::Format_BGR888);
    if (image.isNull())
        return image;
    // Cut, flip upright and turn in one pass: a 12-megapixel still is otherwise
    // copied three times. The picture is walked in tiles so that a quarter turn,
    // which reads across rows, stays within the cache.
    const int right = cut.width() - 1, bottom = cut.height() - 1;
    const auto source = [&](int dx, int dy) {
        switch (turns) {
        case 1:
            return QPoint(dy, bottom - dx);
        case 2:
            return QPoint(right - dx, bottom - dy);
        case 3:
            return QPoint(right - dy, dx);
        default:
            return QPoint(dx, dy);
        }
    };
    const auto address = [&](QPoint from) {
        return frame.rowFromTop(cut.y() + from.y()) + 3 * std::ptrdiff_t(cut.x() + from.x());
    };
    // One pixel to the right in the image is this far in the frame (rows are bottom-up).
    const std::ptrdiff_t row = std::ptrdiff_t(frame.rowBytes());
    const std::ptrdiff_t step = turns == 0 ? 3 : turns == 1 ? row : turns == 2 ? -3 : -row;
    constexpr int tile = 64;
    for (int top = 0; top < image.height(); top += tile) {
        const int tileBottom = std::min(top + tile, image.height());
        for (int left = 0; left < image.width(); left += tile) {
            const int width = std::min(left + tile, image.width()) - left;
            for (int dy = top; dy < tileBottom; ++dy) {
                uchar *out = image.scanLine(dy) + 3 * left;
                const std::uint8_t *in = address(source(left, dy));
                if (step == 3) {
                    std::memcpy(out, in, 3 * std::size_t(width));
                    continue;
                }
                for (int i = 0; i < width; ++i)
                    std::memcpy(out + 3 * i, in + i * step, 3);
            }
        }
    }
    return image;
}

void imageToFrame(const QImage &image, Frame &frame)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    frame.width = bgr.width();
    frame.height = bgr.height();
    frame.pixels.resize(frame.byteCount());
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(frame.rowFromTop(y), bgr.constScanLine(y), frame.rowBytes());
}

} // namespace optrelle
