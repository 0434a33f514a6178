#include "qvideoview.h"

#include "common/programwide.h"
#include "viewing/twofingergesture.h"

double QVideoView::lastPinchRatio = 1.0;

QVideoView::QVideoView(QWidget *parent) : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::ScrollHandDrag);
    setRenderHint(QPainter::Antialiasing);
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
