#include "frameimage.h"

#include <QTransform>

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
    // Rows are bottom-up, so the cut's top row lies nearer the buffer's end.
    const QImage upright =
        wrapFrameUpsideDown(frame)
            .copy(cut.x(), frame.height - cut.y() - cut.height(), cut.width(), cut.height())
            .mirrored(false, true);
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0)
        return upright;
    return upright.transformed(QTransform().rotate(90.0 * turns));
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
