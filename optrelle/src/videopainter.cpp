#include "videopainter.h"

#include "frameimage.h"
#include "videolayout.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace optrelle {

namespace {

// Below this scale bilinear sampling skips most source pixels and fine print
// shimmers; the frame is first reduced by averaging.
constexpr double prefilterBelowScale = 1.0 / 3;

// The frame, still upside down, reduced by the whole factor k: each pixel is the
// mean of four samples spread over its k x k block. Costs four reads per output
// pixel however large the frame. The picture is kept for the next paint (GUI
// thread), so a steady stream allocates nothing.
const QImage &reducedUpsideDown(const Frame &frame, int k)
{
    thread_local QImage reduced;
    if (reduced.size() != QSize(frame.width / k, frame.height / k))
        reduced = QImage(frame.width / k, frame.height / k, QImage::Format_BGR888);
    const std::size_t row = frame.rowBytes();
    // Offsets an odd distance apart, so that even the finest pattern (a one-pixel
    // checkerboard, a halftone) is averaged, not sampled.
    const int near = k / 4;
    const int far = near + std::max(1, k / 2 - (k / 2 % 2 == 0 ? 1 : 0));
    for (int y = 0; y < reduced.height(); ++y) {
        const std::uint8_t *top = frame.pixels.data() + std::size_t(y * k + near) * row;
        const std::uint8_t *bottom = frame.pixels.data() + std::size_t(y * k + far) * row;
        std::uint8_t *out = reduced.scanLine(y);
        for (int x = 0; x < reduced.width(); ++x, out += 3) {
            const std::size_t left = std::size_t(x * k + near) * 3;
            const std::size_t right = std::size_t(x * k + far) * 3;
            for (int c = 0; c < 3; ++c)
                out[c] = std::uint8_t(
                    (top[left + c] + top[right + c] + bottom[left + c] + bottom[right + c] + 2) /
                    4);
        }
    }
    return reduced;
}

void paintCropFrame(QPainter &painter, const VideoLayout &layout, const Frame &frame,
                    const QRectF &region)
{
    const QRectF inFrame(region.x() * frame.width, region.y() * frame.height,
                         region.width() * frame.width, region.height() * frame.height);
    const QPolygonF outline = layout.frameToWindow().map(QPolygonF(inFrame));
    // Dark under light dashes, so the frame shows on paper and on the desk alike.
    QPen pen(QColor(0, 0, 0, 200), 3);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawPolygon(outline);
    pen.setColor(QColor(0, 200, 255));
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.drawPolygon(outline);
}

void paintNoSignalMark(QPainter &painter, const QRect &area)
{
    painter.resetTransform();
    QFont font = painter.font();
    font.setPixelSize(std::max(14, area.height() / 14));
    font.setBold(true);
    painter.setFont(font);
    const QString text = QStringLiteral("无信号  No signal");
    QRect box = painter.fontMetrics().boundingRect(text).adjusted(-24, -12, 24, 12);
    box.moveCenter(area.center());
    painter.fillRect(box, QColor(0, 0, 0, 190));
    painter.setPen(QColor(255, 80, 60));
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

void paintVideo(QPainter &painter, const QRect &area, const VideoPicture &picture)
{
    painter.fillRect(area, Qt::black);
    if (picture.frame) {
        const Frame &frame = *picture.frame;
        const VideoLayout layout(QSize(frame.width, frame.height), area.size(),
                                 picture.quarterTurns, picture.zoomStep);
        painter.save();
        painter.setClipRect(area);
        painter.translate(area.topLeft());
        // The wrapped buffer is upside down; the flip is folded into the transform
        // instead of copying the frame.
        const QTransform flip(1, 0, 0, -1, 0, frame.height);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, layout.scale() < 4);
        if (layout.scale() < prefilterBelowScale) {
            const int k = int(1 / layout.scale());
            painter.setTransform(QTransform::fromScale(k, k) * flip * layout.frameToWindow(), true);
            painter.drawImage(QPointF(0, 0), reducedUpsideDown(frame, k));
        } else {
            painter.setTransform(flip * layout.frameToWindow(), true);
            painter.drawImage(QPointF(0, 0), wrapFrameUpsideDown(frame));
        }
        painter.restore();
        if (!picture.cropRegion.isEmpty()) {
            painter.save();
            painter.translate(area.topLeft());
            paintCropFrame(painter, layout, frame, picture.cropRegion);
            painter.restore();
        }
    }
    if (picture.signalLost)
        paintNoSignalMark(painter, area);
}

} // namespace optrelle
