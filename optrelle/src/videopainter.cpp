#include "videopainter.h"

#include "frameimage.h"
#include "videolayout.h"

#include <QFont>
#include <QPainter>

namespace optrelle {

namespace {

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
        QTransform flip(1, 0, 0, -1, 0, frame.height);
        painter.setTransform(flip * layout.frameToWindow(), true);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, layout.scale() < 4);
        painter.drawImage(QPointF(0, 0), wrapFrameUpsideDown(frame));
        painter.restore();
    }
    if (picture.signalLost)
        paintNoSignalMark(painter, area);
}

} // namespace optrelle
