#include "qvideoview.h"

#include <QPainter>

#include <cmath>

#include "common/programwide.h"
#include "viewing/qimageitem.h"
#include "viewing/twofingergesture.h"

double QVideoView::lastPinchRatio = 1.0;

QVideoView::QVideoView(QWidget *parent) : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::ScrollHandDrag);
    setRenderHint(QPainter::Antialiasing);
    // Every pixel is painted (drawBackground): no fill beforehand.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void QVideoView::drawBackground(QPainter *painter, const QRectF &exposed)
{
    // The live picture is opaque: the stage is filled only around it, as a screen
    // of fill for every frame costs about what copying the picture does.
    const QGraphicsPixmapItem *picture = livePictureItem;
    const QTransform toScreen =
        picture ? picture->deviceTransform(viewportTransform()) : QTransform();
    if (!picture || !picture->isVisible() || picture->pixmap().isNull() ||
        picture->pixmap().hasAlphaChannel() || toScreen.type() > QTransform::TxScale) {
        QGraphicsView::drawBackground(painter, exposed);
        return;
    }
    // The screen pixels wholly inside the picture; those on its edges are blended
    // with the fill.
    const QRectF onScreen = toScreen.mapRect(picture->boundingRect());
    const QRect inside(
        QPoint(int(std::ceil(onScreen.left())), int(std::ceil(onScreen.top()))),
        QPoint(int(std::floor(onScreen.right())) - 1, int(std::floor(onScreen.bottom())) - 1));
    const QRegion around =
        QRegion(viewportTransform().mapRect(exposed).toAlignedRect()).subtracted(inside);
    painter->save();
    painter->resetTransform();
    for (const QRect &strip : around)
        painter->fillRect(strip, backgroundBrush());
    painter->restore();
}

void QVideoView::wheelEvent(QWheelEvent *event)
{
    zoomByWheel(event, livePictureItem);
}

bool QVideoView::viewportEvent(QEvent *event)
{
    if (!isTouchEvent(event))
        return QGraphicsView::viewportEvent(event);
    applyTwoFingerGesture(event, livePictureItem, lastPinchRatio, m_dPinchRatio);
    return true;
}
